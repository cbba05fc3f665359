// MD5 (RFC 1321), the digest the recovery files identify everything by.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace qn::recovery {

using Digest = std::array<uint8_t, 16>;

class Md5 {
 public:
  void Update(const void* data, size_t bytes);
  // The digest of everything given so far; the object starts afresh after it.
  [[nodiscard]] Digest Final();
  // Both hashes continued over the same bytes; about twice as fast as one
  // after the other when they stand at the same place in a 64-byte block.
  static void UpdateBoth(Md5& first, Md5& second, const void* data, size_t bytes);
  // The same over two different runs of bytes of one length.
  static void UpdatePair(Md5& first, const void* firstData, Md5& second, const void* secondData,
                         size_t bytes);

 private:
  void Blocks(const uint8_t* data, size_t count);

  std::array<uint32_t, 4> state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  std::array<uint8_t, 64> pending_{};
  size_t pendingBytes_ = 0;
  uint64_t totalBytes_ = 0;
};

[[nodiscard]] Digest Md5Of(const void* data, size_t bytes);

}  // namespace qn::recovery
