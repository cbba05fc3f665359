// The PAR 2.0 recovery set of one split: the parts are its input files. The
// index (stem.par2) holds every part's checksums; the recovery volumes
// (stem.volNN+MM.par2) hold enough recovery slices to rebuild any one part.
//
// The slice size is half the largest part, rounded up to 4 bytes: each part
// is then at most two slices, two recovery slices rebuild any one part, and
// a volume of one slice stays within a part, so each file fits on a disk of
// the part's size. Smaller slices would only add recovery slices to compute
// and store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recovery/md5.h"

namespace qn::recovery {

// What a client can tell apart: at most this many input slices in one set.
inline constexpr uint32_t kMaxInputSlices = 32768;

struct SliceChecksum {
  Digest md5{};
  uint32_t crc = 0;
};

struct Volume {
  std::string name;  // stem.volNN+MM.par2, without folder
  uint32_t firstExponent = 0;
  uint32_t count = 0;
  bool withCritical = false;  // carries a copy of the index's packets
  int64_t bytes = 0;
};

class RecoverySet {
 public:
  // Lays the set out for parts of these names (without folder, as the
  // client will look for them) and lengths. nullopt when no layout keeps
  // every file within the largest part or the parts need more slices than a
  // set can have. `creator` names this program in every file.
  static std::optional<RecoverySet> Plan(std::string stemName, std::vector<std::string> names,
                                         std::vector<int64_t> lengths, std::string creator);

  [[nodiscard]] int64_t SliceSize() const { return sliceSize_; }
  [[nodiscard]] size_t PartCount() const { return parts_.size(); }
  [[nodiscard]] uint32_t SlicesOf(size_t part) const;
  [[nodiscard]] int64_t LengthOf(size_t part) const { return parts_[part].length; }
  [[nodiscard]] const std::vector<Volume>& Volumes() const { return volumes_; }
  [[nodiscard]] std::string IndexName() const { return stemName_ + ".par2"; }
  [[nodiscard]] int64_t IndexBytes() const { return criticalBytes_ + CreatorBytes(); }

  // Fixes the set's identity and order from each part's MD5 of its first 16 KiB.
  void Identify(const std::vector<Digest>& first16k);
  // The constant of a part's slice in the recovery sums (after Identify).
  [[nodiscard]] uint16_t Constant(size_t part, uint32_t slice) const;
  // A part's checksums as it streams: its whole hash, and each slice's
  // hash and CRC, in place (Plan made room: nothing is allocated). They are
  // different fields, so two threads may fill them for one part at once.
  void SetPartHash(size_t part, const Digest& md5) { parts_[part].md5 = md5; }
  [[nodiscard]] SliceChecksum& Slice(size_t part, uint32_t index) { return parts_[part].slices[index]; }

  // The files' bytes, once every part's checksums are set.
  [[nodiscard]] std::string Index() const;
  // What a volume holds before its recovery packets (nothing that needs
  // the parts' checksums), and after them (the copy of the index's packets,
  // when it has one).
  [[nodiscard]] std::string VolumeHead(size_t volume) const;
  [[nodiscard]] std::string VolumeTail(size_t volume) const;
  // A recovery packet up to its data, given the packet's hash.
  [[nodiscard]] std::string RecoveryHeader(uint32_t exponent, const Digest& packetMd5) const;
  // A hash fed with what a recovery packet's hash covers before its data.
  [[nodiscard]] Md5 RecoveryHash(uint32_t exponent) const;

 private:
  struct Part {
    std::string name;
    int64_t length = 0;
    Digest first16k{};
    Digest id{};
    Digest md5{};
    std::vector<SliceChecksum> slices;
    uint32_t firstConstant = 0;  // index of its first slice's constant
  };
  RecoverySet() = default;
  [[nodiscard]] int64_t CreatorBytes() const;
  [[nodiscard]] std::string Critical() const;
  [[nodiscard]] std::string Creator() const;

  std::string stemName_;
  std::string creator_;
  int64_t sliceSize_ = 0;
  int64_t criticalBytes_ = 0;
  std::vector<Part> parts_;
  std::vector<size_t> order_;  // parts by file ID
  std::vector<Volume> volumes_;
  Digest setId_{};
};

}  // namespace qn::recovery
