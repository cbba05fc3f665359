// The recovery data of one split, beside the parts: the checksums gathered
// while the parts stream, and the recovery slices, summed while they stream
// when that fits in memory, else afterwards from the source in stripes.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"
#include "recovery/par2.h"

namespace qn::engine {

// The split asked for recovery data that its part size cannot have.
inline constexpr std::string_view kNoRecoveryLayout = "この分割サイズでは修復用データを作成できません";

class RecoveryData {
 public:
  // The layout for `count` parts of `partSize` bytes of a `length`-byte
  // source, the parts named bareStem + number; nullopt when none fits.
  static std::optional<recovery::RecoverySet> Layout(std::string_view bareStem, int64_t partSize,
                                                     int64_t length, int64_t count, std::string creator);

  // `memoryBytes` is the most the recovery sums may hold at once.
  RecoveryData(platform::System& sys, recovery::RecoverySet set, int64_t partSize, int64_t memoryBytes);
  ~RecoveryData();
  RecoveryData(const RecoveryData&) = delete;
  RecoveryData& operator=(const RecoveryData&) = delete;

  // Reads the first 16 KiB of every part from `source` through `buffer` (at
  // least 16 KiB or a part) and fixes the set's order; sets aside the sums'
  // memory when they fit. Gives err::kNone, kHandleEof for a source that
  // became shorter, kNotEnoughMemory, or the read's error.
  [[nodiscard]] platform::ErrorCode Begin(platform::File& source, char* buffer, size_t bufferBytes);

  // `bytes` of part `part` (0-based) at `offset` in it, in order; `ends`
  // when they are the part's last. Hands them to the workers (the part's
  // and its slices' hashes on one; the slices' CRCs and the sums on the
  // other) and returns, so the caller can write them and read on into other buffers
  // meanwhile. The bytes must stay unchanged until Settle says they are done.
  void Feed(size_t part, int64_t offset, const char* data, size_t bytes, bool ends);
  // Waits until every feed is done but the last `pending` ones.
  void Settle(size_t pending);
  // Waits until everything fed is in the checksums and sums.
  void Drain() { Settle(0); }

  [[nodiscard]] const recovery::RecoverySet& Set() const { return set_; }
  // Writes the volumes numbered in `volumes`, each to the file beside it in
  // `files`. Sums not held in memory are made here in stripes, all these
  // volumes' in one pass over `source` read through `buffer`, beginning
  // while the workers still finish the last part's checksums.
  [[nodiscard]] platform::ErrorCode WriteVolumes(const std::vector<size_t>& volumes,
                                                 const std::vector<platform::File*>& files,
                                                 platform::File& source, char* buffer, size_t bufferBytes);

 private:
  struct Chunk {
    size_t part = 0;
    int64_t offset = 0;
    const char* data = nullptr;
    size_t bytes = 0;
    bool ends = false;
  };
  template <typename Visit>
  void EachSlicePiece(const Chunk& chunk, Visit&& visit) const;
  // The zero bytes that fill up the part's last slice.
  [[nodiscard]] int64_t PaddingOf(size_t part) const;
  void HashPart(const Chunk& chunk);
  void HashSlices(const Chunk& chunk);
  // Runs `task` on worker `index`, or here when there is none.
  void Post(size_t index, std::function<void()> task);
  void Accumulate(uint16_t factor, const char* data, size_t bytes, uint8_t* sum);

  platform::System& sys_;
  recovery::RecoverySet set_;
  int64_t partSize_;
  int64_t memoryBytes_;
  std::array<std::unique_ptr<platform::Worker>, 2> workers_;
  // Set by the first worker once the last part's hashes are final: until
  // then, the stripes' work goes to the second.
  std::atomic<bool> hashed_{false};
  bool inMemory_ = false;
  std::vector<std::unique_ptr<uint8_t[]>> sums_;  // one per recovery slice, in memory only
  // The first worker's: the part in hand's whole hash and its slice's hash.
  recovery::Md5 partMd5_;
  recovery::Md5 sliceMd5_;
};

}  // namespace qn::engine
