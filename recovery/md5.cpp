#include "recovery/md5.h"

#include <algorithm>
#include <cstring>

namespace qn::recovery {
namespace {

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t Word(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The 64 steps: RFC 1321's sines, shifts and message word order.
constexpr uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr size_t WordOf(size_t step) {
  switch (step / 16) {
    case 0:
      return step % 16;
    case 1:
      return (5 * step + 1) % 16;
    case 2:
      return (3 * step + 5) % 16;
    default:
      return (7 * step) % 16;
  }
}

template <size_t Step>
[[gnu::always_inline]] inline uint32_t Mix(uint32_t b, uint32_t c, uint32_t d) {
  if constexpr (Step < 16) return d ^ (b & (c ^ d));
  if constexpr (Step >= 16 && Step < 32) return c ^ (d & (b ^ c));
  if constexpr (Step >= 32 && Step < 48) return b ^ c ^ d;
  if constexpr (Step >= 48) return c ^ (b | ~d);
}

template <size_t Step, size_t Lane, size_t Lanes>
[[gnu::always_inline]] inline void LaneStep(uint32_t (&v)[Lanes][4], const uint32_t (&x)[Lanes][16]) {
  constexpr size_t t = (64 - Step) % 4;  // the word this step replaces: a, d, c, b, a, ...
  constexpr size_t b = (t + 1) % 4;
  const uint32_t sum = v[Lane][t] + Mix<Step>(v[Lane][b], v[Lane][(t + 2) % 4], v[Lane][(t + 3) % 4]) +
                       x[Lane][WordOf(Step)] + kSines[Step];
  v[Lane][t] = v[Lane][b] + Rotl(sum, kShifts[Step / 16][Step % 4]);
}

// One step for every lane, each with its own state and message block.
// Lanes are independent chains the processor runs side by side.
template <size_t Step, size_t Lanes, size_t... L>
[[gnu::always_inline]] inline void Round(uint32_t (&v)[Lanes][4], const uint32_t (&x)[Lanes][16],
                                         std::index_sequence<L...>) {
  (LaneStep<Step, L>(v, x), ...);
}

template <size_t Lanes, size_t... Steps>
[[gnu::always_inline]] inline void AllRounds(uint32_t (&v)[Lanes][4], const uint32_t (&x)[Lanes][16],
                                             std::index_sequence<Steps...>) {
  (Round<Steps>(v, x, std::make_index_sequence<Lanes>()), ...);
}

template <size_t Lanes>
void Compress(std::array<uint32_t, 4>* (&states)[Lanes], const uint8_t* (&data)[Lanes], size_t count) {
  for (; count > 0; --count) {
    uint32_t x[Lanes][16];
    uint32_t v[Lanes][4];
    for (size_t lane = 0; lane < Lanes; ++lane) {
      for (size_t i = 0; i < 16; ++i) x[lane][i] = Word(data[lane] + 4 * i);
      for (size_t i = 0; i < 4; ++i) v[lane][i] = (*states[lane])[i];
      data[lane] += 64;
    }
    AllRounds(v, x, std::make_index_sequence<64>());
    for (size_t lane = 0; lane < Lanes; ++lane) {
      for (size_t i = 0; i < 4; ++i) (*states[lane])[i] += v[lane][i];
    }
  }
}

}  // namespace

void Md5::Blocks(const uint8_t* data, size_t count) {
  std::array<uint32_t, 4>* states[1] = {&state_};
  const uint8_t* blocks[1] = {data};
  Compress(states, blocks, count);
}

void Md5::UpdateBoth(Md5& first, Md5& second, const void* data, size_t bytes) {
  UpdatePair(first, data, second, data, bytes);
}

void Md5::UpdatePair(Md5& first, const void* firstData, Md5& second, const void* secondData, size_t bytes) {
  auto p = static_cast<const uint8_t*>(firstData);
  auto q = static_cast<const uint8_t*>(secondData);
  // Each lane takes whole blocks: both must stand at the same place in one.
  if (first.pendingBytes_ != second.pendingBytes_) {
    first.Update(p, bytes);
    second.Update(q, bytes);
    return;
  }
  const size_t head = first.pendingBytes_ == 0 ? 0 : std::min(bytes, 64 - first.pendingBytes_);
  first.Update(p, head);
  second.Update(q, head);
  bytes -= head;
  const size_t blocks = bytes / 64;
  std::array<uint32_t, 4>* states[2] = {&first.state_, &second.state_};
  const uint8_t* lanes[2] = {p + head, q + head};
  Compress(states, lanes, blocks);
  first.totalBytes_ += blocks * 64;
  second.totalBytes_ += blocks * 64;
  first.Update(lanes[0], bytes % 64);
  second.Update(lanes[1], bytes % 64);
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
