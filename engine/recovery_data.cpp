#include "engine/recovery_data.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "engine/part_names.h"
#include "recovery/crc32.h"
#include "recovery/gf16.h"

namespace qn::engine {
namespace {

namespace err = platform::err;
constexpr size_t kFirstBytes = 16384;  // what a client identifies a renamed file by

void HashZeros(recovery::Md5& md5, int64_t bytes) {
  static const std::array<char, 4096> zeros{};
  while (bytes > 0) {
    const size_t take = static_cast<size_t>(std::min<int64_t>(bytes, zeros.size()));
    md5.Update(zeros.data(), take);
    bytes -= static_cast<int64_t>(take);
  }
}

}  // namespace

std::optional<recovery::RecoverySet> RecoveryData::Layout(std::string_view bareStem, int64_t partSize,
                                                          int64_t length, int64_t count,
                                                          std::string creator) {
  // Every part is at least one slice: more parts than slices ends it here,
  // before a name is made for each of up to two thousand million parts.
  if (count < 1 || count > recovery::kMaxInputSlices || partSize < 1) return std::nullopt;
  std::vector<std::string> names;
  std::vector<int64_t> lengths;
  for (int64_t n = 1; n <= count; ++n) {
    names.push_back(std::string(bareStem) + PartNumberText(n));
    lengths.push_back(std::min(partSize, length - (n - 1) * partSize));
  }
  std::string stem(bareStem);
  if (!stem.empty() && stem.back() == '.') stem.pop_back();
  return recovery::RecoverySet::Plan(std::move(stem), std::move(names), std::move(lengths),
                                     std::move(creator));
}

RecoveryData::RecoveryData(platform::System& sys, recovery::RecoverySet set, int64_t partSize,
                           int64_t memoryBytes)
    : sys_(sys),
      set_(std::move(set)),
      partSize_(partSize),
      memoryBytes_(std::max<int64_t>(4, memoryBytes / 4 * 4)) {}

RecoveryData::~RecoveryData() {
  // The worker may still read the caller's buffer.
  if (worker_ != nullptr) worker_->Wait();
}

platform::ErrorCode RecoveryData::Begin(platform::File& source, char* buffer, size_t bufferBytes) {
  std::vector<recovery::Digest> first;
  for (size_t part = 0; part < set_.PartCount(); ++part) {
    const int64_t offset = static_cast<int64_t>(part) * partSize_;
    const size_t ask = std::min({kFirstBytes, bufferBytes, static_cast<size_t>(set_.LengthOf(part))});
    size_t got = 0;
    if (const platform::ErrorCode error = source.ReadAt(offset, buffer, ask, &got); error != err::kNone)
      return error;
    if (got < ask) return err::kHandleEof;
    first.push_back(recovery::Md5Of(buffer, got));
  }
  set_.Identify(first);

  const uint32_t recoverySlices = static_cast<uint32_t>(set_.Volumes().size());
  inMemory_ = set_.SliceSize() * recoverySlices <= memoryBytes_;
  if (inMemory_) {
    for (uint32_t e = 0; e < recoverySlices; ++e) {
      sums_.emplace_back(new (std::nothrow) uint8_t[static_cast<size_t>(set_.SliceSize())]());
      if (sums_.back() == nullptr) return err::kNotEnoughMemory;
    }
  }
  worker_ = sys_.StartWorker();
  return err::kNone;
}

void RecoveryData::Accumulate(uint16_t factor, const char* data, size_t bytes, uint8_t* sum) {
  const auto* src = reinterpret_cast<const uint8_t*>(data);
  const size_t even = bytes & ~size_t{1};
  recovery::gf16::MulAdd(factor, src, sum, even);
  if (even < bytes) {
    // A part of odd length ends in half a word; its high byte is padding.
    const uint8_t last[2] = {src[even], 0};
    recovery::gf16::MulAdd(factor, last, sum + even, 2);
  }
}

void RecoveryData::WorkerShare(const Chunk& chunk) {
  partMd5_.Update(chunk.data, chunk.bytes);
  const int64_t slice = set_.SliceSize();
  for (size_t done = 0; done < chunk.bytes;) {
    const int64_t at = chunk.offset + static_cast<int64_t>(done);
    const auto index = static_cast<uint32_t>(at / slice);
    const int64_t within = at % slice;
    const size_t take =
        static_cast<size_t>(std::min<int64_t>(slice - within, static_cast<int64_t>(chunk.bytes - done)));
    crcs_[index] = recovery::Crc32(crcs_[index], chunk.data + done, take);
    if (inMemory_) {
      const uint16_t constant = set_.Constant(chunk.part, index);
      for (size_t e = 0; e < sums_.size(); ++e) {
        Accumulate(recovery::gf16::Pow(constant, static_cast<uint32_t>(e)), chunk.data + done, take,
                   sums_[e].get() + within);
      }
    }
    done += take;
  }
}

void RecoveryData::OwnShare(const Chunk& chunk) {
  const int64_t slice = set_.SliceSize();
  for (size_t done = 0; done < chunk.bytes;) {
    const int64_t at = chunk.offset + static_cast<int64_t>(done);
    const auto index = static_cast<size_t>(at / slice);
    const int64_t within = at % slice;
    const size_t take =
        static_cast<size_t>(std::min<int64_t>(slice - within, static_cast<int64_t>(chunk.bytes - done)));
    sliceMd5_.Update(chunk.data + done, take);
    if (within + static_cast<int64_t>(take) == slice) slices_[index].md5 = sliceMd5_.Final();
    done += take;
  }
}

void RecoveryData::Start(size_t part, int64_t offset, const char* data, size_t bytes) {
  if (offset == 0) {
    const uint32_t count = set_.SlicesOf(part);
    crcs_.assign(count, 0);
    slices_.assign(count, recovery::SliceChecksum{});
  }
  chunk_ = Chunk{part, offset, data, bytes};
  started_ = true;
  if (worker_ != nullptr) {
    worker_->Post([this, chunk = chunk_] { WorkerShare(chunk); });
  } else {
    WorkerShare(chunk_);
  }
}

void RecoveryData::Finish() {
  if (!started_) return;
  OwnShare(chunk_);
  if (worker_ != nullptr) worker_->Wait();
  started_ = false;
}

void RecoveryData::EndPart(size_t part) {
  const int64_t slice = set_.SliceSize();
  const int64_t length = set_.LengthOf(part);
  const size_t last = slices_.size() - 1;
  // The last slice counts as filled up with zero bytes.
  const int64_t missing = static_cast<int64_t>(slices_.size()) * slice - length;
  if (missing > 0) {
    HashZeros(sliceMd5_, missing);
    slices_[last].md5 = sliceMd5_.Final();
    crcs_[last] = recovery::Crc32Zeros(crcs_[last], static_cast<uint64_t>(missing));
  }
  for (size_t i = 0; i < slices_.size(); ++i) slices_[i].crc = crcs_[i];
  set_.SetChecksums(part, partMd5_.Final(), std::move(slices_));
  slices_.clear();
}

platform::ErrorCode RecoveryData::WriteVolume(size_t index, platform::File& file, platform::File& source,
                                              char* buffer, size_t bufferBytes) {
  const recovery::Volume& volume = set_.Volumes().at(index);
  const uint32_t exponent = volume.firstExponent;
  const int64_t slice = set_.SliceSize();
  const std::string head = set_.VolumeHead(index);
  if (const platform::ErrorCode error = file.Write(head.data(), head.size()); error != err::kNone)
    return error;
  recovery::Md5 md5 = set_.RecoveryHash(exponent);

  if (inMemory_) {
    const uint8_t* sum = sums_.at(exponent).get();
    md5.Update(sum, static_cast<size_t>(slice));
    const std::string header = set_.RecoveryHeader(exponent, md5.Final());
    if (const platform::ErrorCode error = file.Write(header.data(), header.size()); error != err::kNone)
      return error;
    return file.Write(sum, static_cast<size_t>(slice));
  }

  // The packet's hash leads its data: a stand-in now, the hash at the end.
  const std::string placeholder(set_.RecoveryHeader(exponent, recovery::Digest{}));
  if (const platform::ErrorCode error = file.Write(placeholder.data(), placeholder.size());
      error != err::kNone) {
    return error;
  }
  const int64_t width = std::min(slice, memoryBytes_);
  std::unique_ptr<uint8_t[]> stripe(new (std::nothrow) uint8_t[static_cast<size_t>(width)]);
  if (stripe == nullptr) return err::kNotEnoughMemory;
  for (int64_t from = 0; from < slice; from += width) {
    const int64_t to = std::min(slice, from + width);
    std::memset(stripe.get(), 0, static_cast<size_t>(to - from));
    for (size_t part = 0; part < set_.PartCount(); ++part) {
      const int64_t length = set_.LengthOf(part);
      for (uint32_t s = 0; s < set_.SlicesOf(part); ++s) {
        const int64_t filled = std::min(slice, length - int64_t{s} * slice);
        const uint16_t factor = recovery::gf16::Pow(set_.Constant(part, s), exponent);
        for (int64_t at = from; at < std::min(to, filled);) {
          const size_t ask = static_cast<size_t>(
              std::min<int64_t>(static_cast<int64_t>(bufferBytes), std::min(to, filled) - at));
          size_t got = 0;
          const int64_t offset = static_cast<int64_t>(part) * partSize_ + int64_t{s} * slice + at;
          if (const platform::ErrorCode error = source.ReadAt(offset, buffer, ask, &got);
              error != err::kNone) {
            return error;
          }
          if (got < ask) return err::kHandleEof;
          Accumulate(factor, buffer, got, stripe.get() + (at - from));
          at += static_cast<int64_t>(got);
        }
      }
    }
    md5.Update(stripe.get(), static_cast<size_t>(to - from));
    if (const platform::ErrorCode error = file.Write(stripe.get(), static_cast<size_t>(to - from));
        error != err::kNone) {
      return error;
    }
  }
  const std::string header = set_.RecoveryHeader(exponent, md5.Final());
  return file.WriteAt(static_cast<int64_t>(head.size()), header.data(), header.size());
}

}  // namespace qn::engine
