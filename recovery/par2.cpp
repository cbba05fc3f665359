#include "recovery/par2.h"

#include <algorithm>
#include <cstring>

#include "recovery/gf16.h"

namespace qn::recovery {
namespace {

constexpr std::string_view kMagic{"PAR2\0PKT", 8};
constexpr std::string_view kMainType{"PAR 2.0\0Main\0\0\0\0", 16};
constexpr std::string_view kFileDescType{"PAR 2.0\0FileDesc", 16};
constexpr std::string_view kChecksumType{"PAR 2.0\0IFSC\0\0\0\0", 16};
constexpr std::string_view kRecoveryType{"PAR 2.0\0RecvSlic", 16};
constexpr std::string_view kCreatorType{"PAR 2.0\0Creator\0", 16};
constexpr int64_t kHeaderBytes = 64;

int64_t Padded(int64_t bytes) { return (bytes + 3) / 4 * 4; }

void Put(std::string* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}
void Put(std::string* out, const Digest& digest) {
  out->append(reinterpret_cast<const char*>(digest.data()), 16);
}

// Packed names and texts end with zero bytes up to a multiple of 4.
void PutPadded(std::string* out, std::string_view text) {
  out->append(text);
  out->append(
      static_cast<size_t>(Padded(static_cast<int64_t>(text.size())) - static_cast<int64_t>(text.size())),
      '\0');
}

std::string Packet(const Digest& setId, std::string_view type, std::string_view body) {
  std::string hashed;
  Put(&hashed, setId);
  hashed.append(type);
  hashed.append(body);
  std::string packet(kMagic);
  Put(&packet, static_cast<uint64_t>(kHeaderBytes) + body.size(), 8);
  Put(&packet, Md5Of(hashed.data(), hashed.size()));
  packet.append(hashed);
  return packet;
}

// File IDs order as 16-byte little-endian numbers.
bool IdBefore(const Digest& a, const Digest& b) {
  for (int i = 15; i >= 0; --i) {
    if (a[i] != b[i]) return a[i] < b[i];
  }
  return false;
}

}  // namespace

std::optional<RecoverySet> RecoverySet::Plan(std::string stemName, std::vector<std::string> names,
                                             std::vector<int64_t> lengths, std::string creator) {
  if (names.empty() || names.size() != lengths.size() || names.size() > kMaxInputSlices) return std::nullopt;
  RecoverySet set;
  set.stemName_ = std::move(stemName);
  set.creator_ = std::move(creator);
  const int64_t largest = *std::max_element(lengths.begin(), lengths.end());
  if (largest <= 0) return std::nullopt;
  set.sliceSize_ = Padded((largest + 1) / 2);

  int64_t slices = 0;
  set.criticalBytes_ = kHeaderBytes + 12 + 16 * static_cast<int64_t>(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    Part part;
    part.name = std::move(names[i]);
    part.length = lengths[i];
    set.parts_.push_back(std::move(part));
    const uint32_t count = set.SlicesOf(i);
    set.parts_[i].slices.resize(count);
    slices += count;
    set.criticalBytes_ += kHeaderBytes + 56 + Padded(static_cast<int64_t>(set.parts_[i].name.size()));
    set.criticalBytes_ += kHeaderBytes + 16 + 20 * int64_t{count};
  }
  if (slices > kMaxInputSlices) return std::nullopt;

  // One recovery slice per volume: two would never fit in a part.
  const auto recoverySlices = static_cast<uint32_t>((largest + set.sliceSize_ - 1) / set.sliceSize_);
  const int64_t bare = set.CreatorBytes() + kHeaderBytes + 4 + set.sliceSize_;
  if (bare > largest || set.IndexBytes() > largest) return std::nullopt;
  const bool withCritical = bare + set.criticalBytes_ <= largest;
  const size_t width = std::max<size_t>(2, std::to_string(recoverySlices).size());
  auto number = [width](uint32_t n) {
    std::string text = std::to_string(n);
    return std::string(width - std::min(width, text.size()), '0') + text;
  };
  for (uint32_t e = 0; e < recoverySlices; ++e) {
    Volume volume;
    volume.name = set.stemName_ + ".vol" + number(e) + "+" + number(1) + ".par2";
    volume.firstExponent = e;
    volume.count = 1;
    volume.withCritical = withCritical;
    volume.bytes = bare + (withCritical ? set.criticalBytes_ : 0);
    set.volumes_.push_back(std::move(volume));
  }
  return set;
}

uint32_t RecoverySet::SlicesOf(size_t part) const {
  return static_cast<uint32_t>((parts_[part].length + sliceSize_ - 1) / sliceSize_);
}

int64_t RecoverySet::CreatorBytes() const {
  return kHeaderBytes + Padded(static_cast<int64_t>(creator_.size()));
}

void RecoverySet::Identify(const std::vector<Digest>& first16k) {
  for (size_t i = 0; i < parts_.size(); ++i) {
    Part& part = parts_[i];
    part.first16k = first16k.at(i);
    std::string fields;
    Put(&fields, part.first16k);
    Put(&fields, static_cast<uint64_t>(part.length), 8);
    fields.append(part.name);
    part.id = Md5Of(fields.data(), fields.size());
  }
  order_.resize(parts_.size());
  for (size_t i = 0; i < order_.size(); ++i) order_[i] = i;
  std::stable_sort(order_.begin(), order_.end(),
                   [this](size_t a, size_t b) { return IdBefore(parts_[a].id, parts_[b].id); });
  uint32_t next = 0;
  std::string body;
  Put(&body, static_cast<uint64_t>(sliceSize_), 8);
  Put(&body, parts_.size(), 4);
  for (size_t index : order_) {
    parts_[index].firstConstant = next;
    next += SlicesOf(index);
    Put(&body, parts_[index].id);
  }
  setId_ = Md5Of(body.data(), body.size());
}

uint16_t RecoverySet::Constant(size_t part, uint32_t slice) const {
  return gf16::InputConstant(parts_[part].firstConstant + slice);
}

std::string RecoverySet::Critical() const {
  std::string body;
  Put(&body, static_cast<uint64_t>(sliceSize_), 8);
  Put(&body, parts_.size(), 4);
  for (size_t index : order_) Put(&body, parts_[index].id);
  std::string out = Packet(setId_, kMainType, body);
  for (size_t index : order_) {
    const Part& part = parts_[index];
    body.clear();
    Put(&body, part.id);
    Put(&body, part.md5);
    Put(&body, part.first16k);
    Put(&body, static_cast<uint64_t>(part.length), 8);
    PutPadded(&body, part.name);
    out += Packet(setId_, kFileDescType, body);
    body.clear();
    Put(&body, part.id);
    for (const SliceChecksum& slice : part.slices) {
      Put(&body, slice.md5);
      Put(&body, slice.crc, 4);
    }
    out += Packet(setId_, kChecksumType, body);
  }
  return out;
}

std::string RecoverySet::Creator() const {
  std::string body;
  PutPadded(&body, creator_);
  return Packet(setId_, kCreatorType, body);
}

std::string RecoverySet::Index() const { return Critical() + Creator(); }

std::string RecoverySet::VolumeHead(size_t /*volume*/) const { return Creator(); }

std::string RecoverySet::VolumeTail(size_t volume) const {
  return volumes_.at(volume).withCritical ? Critical() : std::string();
}

std::string RecoverySet::RecoveryHeader(uint32_t exponent, const Digest& packetMd5) const {
  std::string out(kMagic);
  Put(&out, static_cast<uint64_t>(kHeaderBytes + 4 + sliceSize_), 8);
  Put(&out, packetMd5);
  Put(&out, setId_);
  out.append(kRecoveryType);
  Put(&out, exponent, 4);
  return out;
}

Md5 RecoverySet::RecoveryHash(uint32_t exponent) const {
  std::string head;
  Put(&head, setId_);
  head.append(kRecoveryType);
  Put(&head, exponent, 4);
  Md5 md5;
  md5.Update(head.data(), head.size());
  return md5;
}

}  // namespace qn::recovery
