#include "recovery/crc32.h"

#include <array>
#include <cstring>

namespace qn::recovery {
namespace {

// Eight tables: the loop below takes eight bytes per step.
struct Tables {
  std::array<std::array<uint32_t, 256>, 8> t{};
  Tables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
      for (size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff];
    }
  }
};

const Tables& Table() {
  static const Tables tables;
  return tables;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t bytes) {
  const auto& t = Table().t;
  auto p = static_cast<const uint8_t*>(data);
  crc = ~crc;
  for (; bytes >= 8; bytes -= 8, p += 8) {
    const uint32_t lo =
        crc ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
    const uint32_t hi = uint32_t{p[4]} | uint32_t{p[5]} << 8 | uint32_t{p[6]} << 16 | uint32_t{p[7]} << 24;
    crc = t[7][lo & 0xff] ^ t[6][(lo >> 8) & 0xff] ^ t[5][(lo >> 16) & 0xff] ^ t[4][lo >> 24] ^
          t[3][hi & 0xff] ^ t[2][(hi >> 8) & 0xff] ^ t[1][(hi >> 16) & 0xff] ^ t[0][hi >> 24];
  }
  for (; bytes > 0; --bytes, ++p) crc = t[0][(crc ^ *p) & 0xff] ^ (crc >> 8);
  return ~crc;
}

uint32_t Crc32Zeros(uint32_t crc, uint64_t bytes) {
  static const std::array<uint8_t, 4096> zeros{};
  while (bytes > 0) {
    const size_t take = bytes < zeros.size() ? static_cast<size_t>(bytes) : zeros.size();
    crc = Crc32(crc, zeros.data(), take);
    bytes -= take;
  }
  return crc;
}

}  // namespace qn::recovery
