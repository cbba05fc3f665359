#include "recovery/gf16.h"

#include "recovery/cpu.h"

#include <array>
#include <cstring>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#define QN_GF16_X86 1
#endif

namespace qn::recovery::gf16 {
namespace {

constexpr uint32_t kGenerator = 0x1100B;
constexpr uint32_t kOrder = 65535;

struct Tables {
  std::vector<uint16_t> log = std::vector<uint16_t>(65536);
  std::vector<uint16_t> exp = std::vector<uint16_t>(2 * kOrder);  // doubled: no modulo in Mul
  std::vector<uint16_t> constants;
  Tables() {
    uint32_t x = 1;
    for (uint32_t i = 0; i < kOrder; ++i) {
      exp[i] = exp[i + kOrder] = static_cast<uint16_t>(x);
      log[x] = static_cast<uint16_t>(i);
      x <<= 1;
      if ((x & 0x10000) != 0) x ^= kGenerator;
    }
    constants.reserve(32768);
    for (uint32_t n = 1; n < kOrder && constants.size() < 32768; ++n) {
      if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0) constants.push_back(exp[n]);
    }
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

// The products of `factor` with every low byte and every high byte.
struct ByteProducts {
  std::array<uint16_t, 256> low;
  std::array<uint16_t, 256> high;
  explicit ByteProducts(uint16_t factor) {
    for (uint32_t b = 0; b < 256; ++b) {
      low[b] = Mul(factor, static_cast<uint16_t>(b));
      high[b] = Mul(factor, static_cast<uint16_t>(b << 8));
    }
  }
};

#ifdef QN_GF16_X86
// Four nibble tables per result byte: each 16-bit product is the sum of the
// products of the word's four nibbles, and a shuffle looks up 16 at once.
__attribute__((target("ssse3"))) void MulAddShuffle(uint16_t factor, const uint8_t* src, uint8_t* dst,
                                                    size_t bytes) {
  alignas(16) uint8_t tables[8][16];
  for (int nibble = 0; nibble < 4; ++nibble) {
    for (int v = 0; v < 16; ++v) {
      const uint16_t product = Mul(factor, static_cast<uint16_t>(v << (4 * nibble)));
      tables[nibble][v] = static_cast<uint8_t>(product);
      tables[4 + nibble][v] = static_cast<uint8_t>(product >> 8);
    }
  }
  __m128i lowOf[4];
  __m128i highOf[4];
  for (int i = 0; i < 4; ++i) {
    lowOf[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(tables[i]));
    highOf[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(tables[4 + i]));
  }
  const __m128i nibbleMask = _mm_set1_epi8(0x0f);
  const __m128i byteMask = _mm_set1_epi16(0x00ff);
  size_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
    // The low bytes of the 16 words side by side, and their high bytes.
    const __m128i lo = _mm_packus_epi16(_mm_and_si128(a, byteMask), _mm_and_si128(b, byteMask));
    const __m128i hi = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
    const __m128i n0 = _mm_and_si128(lo, nibbleMask);
    const __m128i n1 = _mm_and_si128(_mm_srli_epi16(lo, 4), nibbleMask);
    const __m128i n2 = _mm_and_si128(hi, nibbleMask);
    const __m128i n3 = _mm_and_si128(_mm_srli_epi16(hi, 4), nibbleMask);
    const __m128i rlo =
        _mm_xor_si128(_mm_xor_si128(_mm_shuffle_epi8(lowOf[0], n0), _mm_shuffle_epi8(lowOf[1], n1)),
                      _mm_xor_si128(_mm_shuffle_epi8(lowOf[2], n2), _mm_shuffle_epi8(lowOf[3], n3)));
    const __m128i rhi =
        _mm_xor_si128(_mm_xor_si128(_mm_shuffle_epi8(highOf[0], n0), _mm_shuffle_epi8(highOf[1], n1)),
                      _mm_xor_si128(_mm_shuffle_epi8(highOf[2], n2), _mm_shuffle_epi8(highOf[3], n3)));
    __m128i* out = reinterpret_cast<__m128i*>(dst + i);
    _mm_storeu_si128(out, _mm_xor_si128(_mm_loadu_si128(out), _mm_unpacklo_epi8(rlo, rhi)));
    _mm_storeu_si128(out + 1, _mm_xor_si128(_mm_loadu_si128(out + 1), _mm_unpackhi_epi8(rlo, rhi)));
  }
  if (i < bytes) MulAddPortable(factor, src + i, dst + i, bytes - i);
}

bool HasShuffle() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return has;
}
#endif

void XorInto(const uint8_t* src, uint8_t* dst, size_t bytes) {
  size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    uint64_t a;
    uint64_t b;
    std::memcpy(&a, src + i, 8);
    std::memcpy(&b, dst + i, 8);
    b ^= a;
    std::memcpy(dst + i, &b, 8);
  }
  for (; i < bytes; ++i) dst[i] ^= src[i];
}

}  // namespace

uint16_t Mul(uint16_t a, uint16_t b) {
  if (a == 0 || b == 0) return 0;
  const Tables& t = T();
  return t.exp[uint32_t{t.log[a]} + t.log[b]];
}

uint16_t Pow(uint16_t base, uint32_t exponent) {
  if (exponent == 0) return 1;
  if (base == 0) return 0;
  const Tables& t = T();
  return t.exp[static_cast<uint32_t>((uint64_t{t.log[base]} * exponent) % kOrder)];
}

uint16_t InputConstant(uint32_t index) { return T().constants.at(index); }

void MulAddPortable(uint16_t factor, const uint8_t* src, uint8_t* dst, size_t bytes) {
  if (factor == 0) return;
  if (factor == 1) return XorInto(src, dst, bytes);
  const ByteProducts p(factor);
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    const uint16_t product = p.low[src[i]] ^ p.high[src[i + 1]];
    dst[i] ^= static_cast<uint8_t>(product);
    dst[i + 1] ^= static_cast<uint8_t>(product >> 8);
  }
}

void MulAdd(uint16_t factor, const uint8_t* src, uint8_t* dst, size_t bytes) {
#ifdef QN_GF16_X86
  if (factor > 1 && VectorUnitAllowed() && HasShuffle()) return MulAddShuffle(factor, src, dst, bytes);
#endif
  MulAddPortable(factor, src, dst, bytes);
}

}  // namespace qn::recovery::gf16
