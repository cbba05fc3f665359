// Arithmetic in GF(2^16) with the generator 0x1100B, in which the recovery
// slices are sums of the input slices' 16-bit little-endian words, each
// multiplied by its slice's constant raised to the recovery slice's exponent.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn::recovery::gf16 {

[[nodiscard]] uint16_t Mul(uint16_t a, uint16_t b);
[[nodiscard]] uint16_t Pow(uint16_t base, uint32_t exponent);

// The constant of the input slice at `index` (0-based, at most 32767) in the
// set's order: the powers of 2 whose exponents share no factor with 65535.
[[nodiscard]] uint16_t InputConstant(uint32_t index);

// dst ^= factor * src, word by word, over `bytes` bytes (even). Takes the
// processor's shuffle instructions where it has them.
void MulAdd(uint16_t factor, const uint8_t* src, uint8_t* dst, size_t bytes);

// The same without them: what MulAdd must equal on every processor.
void MulAddPortable(uint16_t factor, const uint8_t* src, uint8_t* dst, size_t bytes);

}  // namespace qn::recovery::gf16
