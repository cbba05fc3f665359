#include "recovery/md5.h"

#include <algorithm>
#include <cstring>

namespace qn::recovery {
namespace {

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t Word(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

void Md5::Blocks(const uint8_t* data, size_t count) {
  uint32_t a0 = state_[0];
  uint32_t b0 = state_[1];
  uint32_t c0 = state_[2];
  uint32_t d0 = state_[3];
  for (; count > 0; --count, data += 64) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = Word(data + 4 * i);
    uint32_t a = a0;
    uint32_t b = b0;
    uint32_t c = c0;
    uint32_t d = d0;
#define QN_STEP(f, w, x_, t, s) \
  w += f + x_ + t;              \
  w = Rotl(w, s)
#define QN_F(b, c, d) (d ^ (b & (c ^ d)))
#define QN_G(b, c, d) (c ^ (d & (b ^ c)))
#define QN_H(b, c, d) (b ^ c ^ d)
#define QN_I(b, c, d) (c ^ (b | ~d))
    QN_STEP(QN_F(b, c, d), a, x[0], 0xd76aa478, 7);
    a += b;
    QN_STEP(QN_F(a, b, c), d, x[1], 0xe8c7b756, 12);
    d += a;
    QN_STEP(QN_F(d, a, b), c, x[2], 0x242070db, 17);
    c += d;
    QN_STEP(QN_F(c, d, a), b, x[3], 0xc1bdceee, 22);
    b += c;
    QN_STEP(QN_F(b, c, d), a, x[4], 0xf57c0faf, 7);
    a += b;
    QN_STEP(QN_F(a, b, c), d, x[5], 0x4787c62a, 12);
    d += a;
    QN_STEP(QN_F(d, a, b), c, x[6], 0xa8304613, 17);
    c += d;
    QN_STEP(QN_F(c, d, a), b, x[7], 0xfd469501, 22);
    b += c;
    QN_STEP(QN_F(b, c, d), a, x[8], 0x698098d8, 7);
    a += b;
    QN_STEP(QN_F(a, b, c), d, x[9], 0x8b44f7af, 12);
    d += a;
    QN_STEP(QN_F(d, a, b), c, x[10], 0xffff5bb1, 17);
    c += d;
    QN_STEP(QN_F(c, d, a), b, x[11], 0x895cd7be, 22);
    b += c;
    QN_STEP(QN_F(b, c, d), a, x[12], 0x6b901122, 7);
    a += b;
    QN_STEP(QN_F(a, b, c), d, x[13], 0xfd987193, 12);
    d += a;
    QN_STEP(QN_F(d, a, b), c, x[14], 0xa679438e, 17);
    c += d;
    QN_STEP(QN_F(c, d, a), b, x[15], 0x49b40821, 22);
    b += c;

    QN_STEP(QN_G(b, c, d), a, x[1], 0xf61e2562, 5);
    a += b;
    QN_STEP(QN_G(a, b, c), d, x[6], 0xc040b340, 9);
    d += a;
    QN_STEP(QN_G(d, a, b), c, x[11], 0x265e5a51, 14);
    c += d;
    QN_STEP(QN_G(c, d, a), b, x[0], 0xe9b6c7aa, 20);
    b += c;
    QN_STEP(QN_G(b, c, d), a, x[5], 0xd62f105d, 5);
    a += b;
    QN_STEP(QN_G(a, b, c), d, x[10], 0x02441453, 9);
    d += a;
    QN_STEP(QN_G(d, a, b), c, x[15], 0xd8a1e681, 14);
    c += d;
    QN_STEP(QN_G(c, d, a), b, x[4], 0xe7d3fbc8, 20);
    b += c;
    QN_STEP(QN_G(b, c, d), a, x[9], 0x21e1cde6, 5);
    a += b;
    QN_STEP(QN_G(a, b, c), d, x[14], 0xc33707d6, 9);
    d += a;
    QN_STEP(QN_G(d, a, b), c, x[3], 0xf4d50d87, 14);
    c += d;
    QN_STEP(QN_G(c, d, a), b, x[8], 0x455a14ed, 20);
    b += c;
    QN_STEP(QN_G(b, c, d), a, x[13], 0xa9e3e905, 5);
    a += b;
    QN_STEP(QN_G(a, b, c), d, x[2], 0xfcefa3f8, 9);
    d += a;
    QN_STEP(QN_G(d, a, b), c, x[7], 0x676f02d9, 14);
    c += d;
    QN_STEP(QN_G(c, d, a), b, x[12], 0x8d2a4c8a, 20);
    b += c;

    QN_STEP(QN_H(b, c, d), a, x[5], 0xfffa3942, 4);
    a += b;
    QN_STEP(QN_H(a, b, c), d, x[8], 0x8771f681, 11);
    d += a;
    QN_STEP(QN_H(d, a, b), c, x[11], 0x6d9d6122, 16);
    c += d;
    QN_STEP(QN_H(c, d, a), b, x[14], 0xfde5380c, 23);
    b += c;
    QN_STEP(QN_H(b, c, d), a, x[1], 0xa4beea44, 4);
    a += b;
    QN_STEP(QN_H(a, b, c), d, x[4], 0x4bdecfa9, 11);
    d += a;
    QN_STEP(QN_H(d, a, b), c, x[7], 0xf6bb4b60, 16);
    c += d;
    QN_STEP(QN_H(c, d, a), b, x[10], 0xbebfbc70, 23);
    b += c;
    QN_STEP(QN_H(b, c, d), a, x[13], 0x289b7ec6, 4);
    a += b;
    QN_STEP(QN_H(a, b, c), d, x[0], 0xeaa127fa, 11);
    d += a;
    QN_STEP(QN_H(d, a, b), c, x[3], 0xd4ef3085, 16);
    c += d;
    QN_STEP(QN_H(c, d, a), b, x[6], 0x04881d05, 23);
    b += c;
    QN_STEP(QN_H(b, c, d), a, x[9], 0xd9d4d039, 4);
    a += b;
    QN_STEP(QN_H(a, b, c), d, x[12], 0xe6db99e5, 11);
    d += a;
    QN_STEP(QN_H(d, a, b), c, x[15], 0x1fa27cf8, 16);
    c += d;
    QN_STEP(QN_H(c, d, a), b, x[2], 0xc4ac5665, 23);
    b += c;

    QN_STEP(QN_I(b, c, d), a, x[0], 0xf4292244, 6);
    a += b;
    QN_STEP(QN_I(a, b, c), d, x[7], 0x432aff97, 10);
    d += a;
    QN_STEP(QN_I(d, a, b), c, x[14], 0xab9423a7, 15);
    c += d;
    QN_STEP(QN_I(c, d, a), b, x[5], 0xfc93a039, 21);
    b += c;
    QN_STEP(QN_I(b, c, d), a, x[12], 0x655b59c3, 6);
    a += b;
    QN_STEP(QN_I(a, b, c), d, x[3], 0x8f0ccc92, 10);
    d += a;
    QN_STEP(QN_I(d, a, b), c, x[10], 0xffeff47d, 15);
    c += d;
    QN_STEP(QN_I(c, d, a), b, x[1], 0x85845dd1, 21);
    b += c;
    QN_STEP(QN_I(b, c, d), a, x[8], 0x6fa87e4f, 6);
    a += b;
    QN_STEP(QN_I(a, b, c), d, x[15], 0xfe2ce6e0, 10);
    d += a;
    QN_STEP(QN_I(d, a, b), c, x[6], 0xa3014314, 15);
    c += d;
    QN_STEP(QN_I(c, d, a), b, x[13], 0x4e0811a1, 21);
    b += c;
    QN_STEP(QN_I(b, c, d), a, x[4], 0xf7537e82, 6);
    a += b;
    QN_STEP(QN_I(a, b, c), d, x[11], 0xbd3af235, 10);
    d += a;
    QN_STEP(QN_I(d, a, b), c, x[2], 0x2ad7d2bb, 15);
    c += d;
    QN_STEP(QN_I(c, d, a), b, x[9], 0xeb86d391, 21);
    b += c;
#undef QN_STEP
#undef QN_F
#undef QN_G
#undef QN_H
#undef QN_I
    a0 += a;
    b0 += b;
    c0 += c;
    d0 += d;
  }
  state_ = {a0, b0, c0, d0};
}

void Md5::Update(const void* data, size_t bytes) {
  auto p = static_cast<const uint8_t*>(data);
  totalBytes_ += bytes;
  if (pendingBytes_ > 0) {
    const size_t take = std::min(bytes, pending_.size() - pendingBytes_);
    std::memcpy(pending_.data() + pendingBytes_, p, take);
    pendingBytes_ += take;
    p += take;
    bytes -= take;
    if (pendingBytes_ < pending_.size()) return;
    Blocks(pending_.data(), 1);
    pendingBytes_ = 0;
  }
  Blocks(p, bytes / 64);
  p += bytes / 64 * 64;
  bytes %= 64;
  std::memcpy(pending_.data(), p, bytes);
  pendingBytes_ = bytes;
}

Digest Md5::Final() {
  const uint64_t bits = totalBytes_ * 8;
  uint8_t tail[72] = {0x80};
  const size_t pad = (pendingBytes_ < 56 ? 56 : 120) - pendingBytes_;
  for (int i = 0; i < 8; ++i) tail[pad + i] = static_cast<uint8_t>(bits >> (8 * i));
  Update(tail, pad + 8);
  Digest digest;
  for (int i = 0; i < 16; ++i) digest[i] = static_cast<uint8_t>(state_[i / 4] >> (8 * (i % 4)));
  *this = Md5();
  return digest;
}

Digest Md5Of(const void* data, size_t bytes) {
  Md5 md5;
  md5.Update(data, bytes);
  return md5.Final();
}

}  // namespace qn::recovery
