// The arithmetic every PAR 2.0 client recomputes: a wrong digest, CRC or
// field product makes a client call an intact part damaged, or rebuild a
// lost one wrongly.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "recovery/crc32.h"
#include "recovery/gf16.h"
#include "recovery/md5.h"

namespace qn::recovery {
namespace {

std::string Hex(const Digest& digest) {
  std::string text;
  char two[3];
  for (uint8_t b : digest) {
    std::snprintf(two, sizeof two, "%02x", b);
    text += two;
  }
  return text;
}

TEST(RecoveryArithmetic, MatchesPublishedValuesAndTheFieldsRules) {
  // RFC 1321's test suite, each also fed in uneven pieces across block ends.
  const std::pair<std::string, std::string> md5Cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [text, expected] : md5Cases) {
    EXPECT_EQ(expected, Hex(Md5Of(text.data(), text.size()))) << "MD5 of \"" << text << "\"";
    Md5 pieces;
    for (size_t at = 0, step = 1; at < text.size(); at += step, step = step * 2 + 1) {
      pieces.Update(text.data() + at, std::min(step, text.size() - at));
    }
    EXPECT_EQ(expected, Hex(pieces.Final())) << "MD5 of \"" << text << "\" fed in pieces";
  }

  // Two hashes run side by side, in step within a block or not.
  const std::string text(1000, 'q');
  for (size_t offset : {0, 64, 7}) {
    Md5 first;
    Md5 second;
    first.Update(text.data(), 64);
    second.Update(text.data(), offset);
    for (size_t at = 0; at < 900; at += 300) Md5::UpdateBoth(first, second, text.data() + at, 300);
    EXPECT_EQ(Hex(Md5Of(text.data(), 964)), Hex(first.Final())) << "the first of two hashes run together";
    const std::string expected = text.substr(0, offset) + text.substr(0, 900);
    EXPECT_EQ(Hex(Md5Of(expected.data(), expected.size())), Hex(second.Final()))
        << "the second of two hashes run together, " << offset << " bytes apart";
  }

  // The CRC-32 check value; the folding path against a bit-by-bit CRC at
  // every length around its 64-byte steps; zero padding as if the zeros were there.
  EXPECT_EQ(0xCBF43926u, Crc32(0, "123456789", 9));
  auto bitwise = [](uint32_t crc, const std::string& bytes) {
    crc = ~crc;
    for (unsigned char c : bytes) {
      crc ^= c;
      for (int k = 0; k < 8; ++k) crc = (crc & 1) != 0 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
  };
  std::mt19937 noiseSource(11);
  std::string noise(300, '\0');
  for (char& c : noise) c = static_cast<char>(noiseSource());
  for (size_t length : {63, 64, 65, 127, 128, 143, 300}) {
    const std::string piece = noise.substr(0, length);
    EXPECT_EQ(bitwise(0x1234, piece), Crc32(0x1234, piece.data(), piece.size())) << length << " bytes";
  }
  const std::string zeros(70000, '\0');
  EXPECT_EQ(Crc32(Crc32(0, "abc", 3), zeros.data(), zeros.size()),
            Crc32Zeros(Crc32(0, "abc", 3), zeros.size()));

  // The first input constants as published, and the field's own laws.
  const uint16_t constants[] = {2, 4, 16, 128, 256, 2048, 8192, 16384, 4107, 32856, 17132};
  for (uint32_t i = 0; i < std::size(constants); ++i) EXPECT_EQ(constants[i], gf16::InputConstant(i)) << i;
  EXPECT_EQ(0x100B, gf16::Mul(0x8000, 2)) << "x^16 must reduce by the generator 0x1100B";
  for (uint16_t x : {1, 2, 3, 0x1234, 0xFFFF}) {
    EXPECT_EQ(1, gf16::Mul(x, gf16::Pow(x, 65534))) << x << " times its inverse";
  }

  // The fast path must equal the portable one for every length and factor.
  std::mt19937 random(7);
  std::vector<uint8_t> src(1000);
  for (uint8_t& b : src) b = static_cast<uint8_t>(random());
  for (uint16_t factor : {0, 1, 2, 0x100B, 0xFFFF, 0x8421}) {
    for (size_t bytes : {0, 2, 30, 32, 34, 998}) {
      std::vector<uint8_t> fast(1000, 0x5A);
      std::vector<uint8_t> portable(1000, 0x5A);
      gf16::MulAdd(factor, src.data() + 2, fast.data() + 2, bytes);
      gf16::MulAddPortable(factor, src.data() + 2, portable.data() + 2, bytes);
      EXPECT_EQ(portable, fast) << "factor " << factor << ", " << bytes << " bytes";
      const auto word = static_cast<uint16_t>(src[2] | src[3] << 8);
      if (bytes >= 2) {
        EXPECT_EQ(0x5A5A ^ gf16::Mul(factor, word), portable[2] | portable[3] << 8) << "factor " << factor;
      }
    }
  }
}

}  // namespace
}  // namespace qn::recovery
