#include "recovery/crc32.h"

#include "recovery/cpu.h"

#include <array>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#define QN_CRC_X86 1
#endif

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

// The register (not inverted) continued over `bytes` bytes, by the tables.
uint32_t TableUpdate(uint32_t reg, const uint8_t* p, size_t bytes) {
  const auto& t = Table().t;
  for (; bytes >= 8; bytes -= 8, p += 8) {
    const uint32_t lo =
        reg ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
    const uint32_t hi = uint32_t{p[4]} | uint32_t{p[5]} << 8 | uint32_t{p[6]} << 16 | uint32_t{p[7]} << 24;
    reg = t[7][lo & 0xff] ^ t[6][(lo >> 8) & 0xff] ^ t[5][(lo >> 16) & 0xff] ^ t[4][lo >> 24] ^
          t[3][hi & 0xff] ^ t[2][(hi >> 8) & 0xff] ^ t[1][(hi >> 16) & 0xff] ^ t[0][hi >> 24];
  }
  for (; bytes > 0; --bytes, ++p) reg = t[0][(reg ^ *p) & 0xff] ^ (reg >> 8);
  return reg;
}

#ifdef QN_CRC_X86
// Carry-less multiplication folds the message 64 bytes at a time into 128
// bits whose CRC is the message's; the last 16 bytes go through the
// tables. The constants are powers of x modulo the polynomial, bit-reflected.
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

__attribute__((target("sse2"))) inline __m128i Load(const uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

__attribute__((target("pclmul,sse2"))) uint32_t FoldUpdate(uint32_t reg, const uint8_t* p, size_t bytes) {
  const __m128i byFour = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
  const __m128i byOne = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
  __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x2 = Load(p + 16);
  __m128i x3 = Load(p + 32);
  __m128i x4 = Load(p + 48);
  p += 64;
  bytes -= 64;
  for (; bytes >= 64; bytes -= 64, p += 64) {
    x1 = _mm_xor_si128(Fold(x1, byFour), Load(p));
    x2 = _mm_xor_si128(Fold(x2, byFour), Load(p + 16));
    x3 = _mm_xor_si128(Fold(x3, byFour), Load(p + 32));
    x4 = _mm_xor_si128(Fold(x4, byFour), Load(p + 48));
  }
  x1 = _mm_xor_si128(Fold(x1, byOne), x2);
  x1 = _mm_xor_si128(Fold(x1, byOne), x3);
  x1 = _mm_xor_si128(Fold(x1, byOne), x4);
  for (; bytes >= 16; bytes -= 16, p += 16) x1 = _mm_xor_si128(Fold(x1, byOne), Load(p));
  alignas(16) uint8_t rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), x1);
  return TableUpdate(TableUpdate(0, rest, 16), p, bytes);
}

bool HasCarrylessMultiply() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") != 0 && __builtin_cpu_supports("sse2") != 0;
  }();
  return has;
}
#endif

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t bytes) {
  const auto* p = static_cast<const uint8_t*>(data);
#ifdef QN_CRC_X86
  if (bytes >= 64 && VectorUnitAllowed() && HasCarrylessMultiply()) return ~FoldUpdate(~crc, p, bytes);
#endif
  return ~TableUpdate(~crc, p, bytes);
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
