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
  // A worker may still read the caller's buffer.
  Drain();
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
  for (auto& worker : workers_) worker = sys_.StartWorker();
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

void RecoveryData::Post(size_t index, std::function<void()> task) {
  if (workers_[index] != nullptr) {
    workers_[index]->Post(std::move(task));
  } else {
    task();
  }
}

void RecoveryData::Settle(size_t pending) {
  for (auto& worker : workers_) {
    if (worker != nullptr) worker->Wait(pending);
  }
}

// Calls visit(slice, within, data, bytes) for each piece of the chunk that
// lies in one slice of its part.
template <typename Visit>
void RecoveryData::EachSlicePiece(const Chunk& chunk, Visit&& visit) const {
  const int64_t slice = set_.SliceSize();
  for (size_t done = 0; done < chunk.bytes;) {
    const int64_t at = chunk.offset + static_cast<int64_t>(done);
    const int64_t within = at % slice;
    const auto take =
        static_cast<size_t>(std::min<int64_t>(slice - within, static_cast<int64_t>(chunk.bytes - done)));
    visit(static_cast<uint32_t>(at / slice), within, chunk.data + done, take);
    done += take;
  }
}

int64_t RecoveryData::PaddingOf(size_t part) const {
  return int64_t{set_.SlicesOf(part)} * set_.SliceSize() - set_.LengthOf(part);
}

// The part's hash and its slices' hashes: both over the same bytes, run
// side by side in one pass.
void RecoveryData::HashPart(const Chunk& chunk) {
  const int64_t slice = set_.SliceSize();
  EachSlicePiece(chunk, [&](uint32_t index, int64_t within, const char* data, size_t bytes) {
    recovery::Md5::UpdateBoth(partMd5_, sliceMd5_, data, bytes);
    if (within + static_cast<int64_t>(bytes) == slice) set_.Slice(chunk.part, index).md5 = sliceMd5_.Final();
  });
  if (!chunk.ends) return;
  set_.SetPartHash(chunk.part, partMd5_.Final());
  // The last slice counts as filled up with zero bytes.
  if (const int64_t missing = PaddingOf(chunk.part); missing > 0) {
    HashZeros(sliceMd5_, missing);
    set_.Slice(chunk.part, set_.SlicesOf(chunk.part) - 1).md5 = sliceMd5_.Final();
  }
  if (chunk.part + 1 == set_.PartCount()) hashed_ = true;
}

// The slices' CRCs and the recovery sums.
void RecoveryData::HashSlices(const Chunk& chunk) {
  EachSlicePiece(chunk, [&](uint32_t index, int64_t within, const char* data, size_t bytes) {
    recovery::SliceChecksum& checksum = set_.Slice(chunk.part, index);
    checksum.crc = recovery::Crc32(within == 0 ? 0 : checksum.crc, data, bytes);
    if (!inMemory_) return;
    const uint16_t constant = set_.Constant(chunk.part, index);
    for (size_t e = 0; e < sums_.size(); ++e) {
      Accumulate(recovery::gf16::Pow(constant, static_cast<uint32_t>(e)), data, bytes,
                 sums_[e].get() + within);
    }
  });
  if (!chunk.ends) return;
  if (const int64_t missing = PaddingOf(chunk.part); missing > 0) {
    recovery::SliceChecksum& checksum = set_.Slice(chunk.part, set_.SlicesOf(chunk.part) - 1);
    checksum.crc = recovery::Crc32Zeros(checksum.crc, static_cast<uint64_t>(missing));
  }
}

void RecoveryData::Feed(size_t part, int64_t offset, const char* data, size_t bytes, bool ends) {
  const Chunk chunk{part, offset, data, bytes, ends};
  Post(0, [this, chunk] { HashPart(chunk); });
  Post(1, [this, chunk] { HashSlices(chunk); });
}

platform::ErrorCode RecoveryData::WriteVolumes(const std::vector<size_t>& volumes,
                                               const std::vector<platform::File*>& files,
                                               platform::File& source, char* buffer, size_t bufferBytes) {
  const int64_t slice = set_.SliceSize();
  const size_t count = files.size();
  std::vector<uint32_t> exponents;
  std::vector<int64_t> headBytes;
  for (size_t v = 0; v < count; ++v) {
    exponents.push_back(set_.Volumes().at(volumes.at(v)).firstExponent);
    const std::string head = set_.VolumeHead(volumes[v]);
    headBytes.push_back(static_cast<int64_t>(head.size()));
    if (const platform::ErrorCode error = files[v]->Write(head.data(), head.size()); error != err::kNone) {
      return error;
    }
  }
  std::vector<recovery::Md5> hashes;
  for (uint32_t exponent : exponents) hashes.push_back(set_.RecoveryHash(exponent));

  // Each volume ends with what needs every part's checksums.
  auto writeTails = [&] {
    Drain();
    for (size_t v = 0; v < count; ++v) {
      const std::string tail = set_.VolumeTail(volumes[v]);
      if (const platform::ErrorCode error = files[v]->Write(tail.data(), tail.size()); error != err::kNone) {
        return error;
      }
    }
    return err::kNone;
  };

  if (inMemory_) {
    Drain();
    for (size_t v = 0; v < count; ++v) {
      const uint8_t* sum = sums_.at(exponents[v]).get();
      hashes[v].Update(sum, static_cast<size_t>(slice));
      const std::string header = set_.RecoveryHeader(exponents[v], hashes[v].Final());
      platform::ErrorCode error = files[v]->Write(header.data(), header.size());
      if (error == err::kNone) error = files[v]->Write(sum, static_cast<size_t>(slice));
      if (error != err::kNone) return error;
    }
    return writeTails();
  }

  // A packet's hash leads its data: a stand-in now, the hash at the end.
  for (size_t v = 0; v < count; ++v) {
    const std::string placeholder = set_.RecoveryHeader(exponents[v], recovery::Digest{});
    if (const platform::ErrorCode error = files[v]->Write(placeholder.data(), placeholder.size());
        error != err::kNone) {
      return error;
    }
  }
  // Every volume's stripe is summed from each read of the source; the
  // workers hash and write the stripes while this thread sums the next
  // ones into the other set of buffers.
  const int64_t width =
      std::min(slice, std::max<int64_t>(4, memoryBytes_ / static_cast<int64_t>(2 * count) / 4 * 4));
  std::array<std::vector<std::unique_ptr<uint8_t[]>>, 2> sets;
  for (auto& stripes : sets) {
    for (size_t v = 0; v < count; ++v) {
      stripes.emplace_back(new (std::nothrow) uint8_t[static_cast<size_t>(width)]);
      if (stripes.back() == nullptr) return err::kNotEnoughMemory;
    }
  }
  std::vector<platform::ErrorCode> written(count, err::kNone);
  auto firstFailure = [&written] {
    for (platform::ErrorCode error : written) {
      if (error != err::kNone) return error;
    }
    return err::kNone;
  };
  std::vector<uint16_t> factors(count);
  bool bothWorkers = false;  // the stripe before went to both workers
  for (int64_t from = 0, round = 0; from < slice; from += width, ++round) {
    std::vector<std::unique_ptr<uint8_t[]>>& stripes = sets[static_cast<size_t>(round % 2)];
    const int64_t to = std::min(slice, from + width);
    const auto bytes = static_cast<size_t>(to - from);
    for (auto& stripe : stripes) std::memset(stripe.get(), 0, bytes);
    for (size_t part = 0; part < set_.PartCount(); ++part) {
      const int64_t length = set_.LengthOf(part);
      for (uint32_t s = 0; s < set_.SlicesOf(part); ++s) {
        const int64_t end = std::min(to, std::min(slice, length - int64_t{s} * slice));
        for (size_t v = 0; v < count; ++v) {
          factors[v] = recovery::gf16::Pow(set_.Constant(part, s), exponents[v]);
        }
        for (int64_t at = from; at < end;) {
          const auto ask =
              static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(bufferBytes), end - at));
          size_t got = 0;
          const int64_t offset = static_cast<int64_t>(part) * partSize_ + int64_t{s} * slice + at;
          platform::ErrorCode error = source.ReadAt(offset, buffer, ask, &got);
          if (error == err::kNone && got < ask) error = err::kHandleEof;
          if (error != err::kNone) {
            Drain();
            return error;
          }
          for (size_t v = 0; v < count; ++v)
            Accumulate(factors[v], buffer, got, stripes[v].get() + (at - from));
          at += static_cast<int64_t>(got);
        }
      }
    }
    // The stripe before must be hashed and written before its buffers are
    // summed into again.
    if (bothWorkers) {
      Drain();
    } else if (workers_[1] != nullptr) {
      workers_[1]->Wait(0);
    }
    if (const platform::ErrorCode error = firstFailure(); error != err::kNone) return error;
    // One worker hashes the stripes, two at a time side by side, another
    // writes them, and this thread writes the last volume's. While the first
    // worker still hashes the last part's zero padding, the second does both.
    bothWorkers = hashed_;
    const std::vector<std::unique_ptr<uint8_t[]>>* done = &stripes;
    Post(bothWorkers ? 0 : 1, [&hashes, done, bytes, count] {
      for (size_t v = 0; v < count; v += 2) {
        if (v + 1 < count) {
          recovery::Md5::UpdatePair(hashes[v], (*done)[v].get(), hashes[v + 1], (*done)[v + 1].get(), bytes);
        } else {
          hashes[v].Update((*done)[v].get(), bytes);
        }
      }
    });
    Post(1, [&files, &written, done, bytes, count] {
      for (size_t v = 0; v + 1 < count; ++v) {
        if (written[v] == err::kNone) written[v] = files[v]->Write((*done)[v].get(), bytes);
      }
    });
    platform::ErrorCode& last = written[count - 1];
    if (last == err::kNone) last = files[count - 1]->Write((*done)[count - 1].get(), bytes);
  }
  Drain();
  if (const platform::ErrorCode error = firstFailure(); error != err::kNone) return error;
  if (const platform::ErrorCode error = writeTails(); error != err::kNone) return error;
  for (size_t v = 0; v < count; ++v) {
    const std::string header = set_.RecoveryHeader(exponents[v], hashes[v].Final());
    if (const platform::ErrorCode error = files[v]->WriteAt(headBytes[v], header.data(), header.size());
        error != err::kNone) {
      return error;
    }
  }
  return err::kNone;
}

}  // namespace qn::engine
