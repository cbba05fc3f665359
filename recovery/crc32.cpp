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
  // A zero byte changes the CRC register linearly, so n of them are the
  // n-th power of one 32x32 bit matrix, had by squaring: hundreds of
  // megabytes of padding cost microseconds. Column i is the image of bit i.
  using Matrix = std::array<uint32_t, 32>;
  auto times = [](const Matrix& m, uint32_t v) {
    uint32_t sum = 0;
    for (size_t i = 0; v != 0; v >>= 1, ++i) {
      if ((v & 1) != 0) sum ^= m[i];
    }
    return sum;
  };
  auto square = [&](const Matrix& m) {
    Matrix out{};
    for (size_t i = 0; i < 32; ++i) out[i] = times(m, m[i]);
    return out;
  };
  Matrix op{};  // one zero bit
  op[0] = 0xEDB88320u;
  for (size_t i = 1; i < 32; ++i) op[i] = uint32_t{1} << (i - 1);
  for (int i = 0; i < 3; ++i) op = square(op);  // one zero byte
  uint32_t reg = ~crc;
  for (; bytes != 0; bytes >>= 1) {
    if ((bytes & 1) != 0) reg = times(op, reg);
    if (bytes > 1) op = square(op);
  }
  return ~reg;
}

}  // namespace qn::recovery
