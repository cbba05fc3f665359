#include "engine/split_job.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "engine/numbers.h"
#include "engine/part_names.h"
#include "engine/recovery_data.h"
#include "media/drives.h"
#include "media/gate.h"
#include "media/paths.h"

namespace qn::engine {
namespace {

namespace mb = platform::mb;
namespace err = platform::err;

constexpr std::string_view kNoSource = "分割するファイルがありません";
constexpr std::string_view kIsFolder = "ディレクトリは分割できません";
constexpr std::string_view kNoPartSize = "分割サイズを0バイトより大きくして下さい";
constexpr std::string_view kEmptySource = "ファイルのサイズが0バイトなので分割を行いません";
constexpr std::string_view kTooLarge = "ファイルのサイズが２ＧＢ以上なので分割ができません";
constexpr std::string_view kNotWritable = "書き込み出来ないディスクです";

constexpr int64_t kLargestSource = 2147483647;  // 2^31 - 1
constexpr double kLargestPartNumber = 2147483647;

bool IsMemoryError(platform::ErrorCode error) {
  return error == err::kNotEnoughMemory || error == err::kOutOfMemory;
}

bool IsDeviceError(platform::ErrorCode error) {
  switch (error) {
    case err::kCrc:
    case err::kSeek:
    case err::kSectorNotFound:
    case err::kWriteFault:
    case err::kReadFault:
    case err::kGenFailure:
    case err::kIoDevice:
    case err::kNotReady:
      return true;
    default:
      return false;
  }
}

// The end state a platform failure gives: 4 for memory, 5 for a device error,
// else 1 after recording the number.
int32_t StateForFailure(platform::ErrorCode error,
                        const std::function<void(platform::ErrorCode)>& recordError) {
  if (IsMemoryError(error)) return end_state::kOutOfMemory;
  if (IsDeviceError(error)) return end_state::kDeviceError;
  if (error != err::kNone && recordError) recordError(error);
  return end_state::kFailed;
}

// A part number typed in a range box, as a whole number the loop can count
// with; the window keeps the boxes at 1 or more, this keeps the arithmetic
// safe whatever they hold.
int64_t RangeNumber(double value) {
  return static_cast<int64_t>(std::floor(std::clamp(value, 0.0, kLargestPartNumber)));
}

std::unique_ptr<char[]> HeapBuffer(size_t bytes) {
  return std::unique_ptr<char[]>(new (std::nothrow) char[bytes]);
}

struct EndMessage {
  int32_t state;
  std::string_view text;
  int icon;
};
constexpr std::array<EndMessage, 5> kEndMessages = {{
    {end_state::kCompleted, "正常に分割を終了しました", mb::kInformation},
    {end_state::kFailed, "正常に終了できませんでした", mb::kCritical},
    {end_state::kAborted, "分割を中断しました", mb::kExclamation},
    {end_state::kOutOfMemory, "メモリが不足不足しているので中断しました", mb::kCritical},
    {end_state::kDeviceError, "メディアからの読み込みが出来ないので中断しました", mb::kCritical},
}};

// Any other state: the reason was shown already.
void ShowEndMessage(platform::Dialogs& dialogs, int32_t state) {
  for (const EndMessage& message : kEndMessages) {
    if (message.state == state) (void)dialogs.MsgBox(message.text, mb::kOk | message.icon, "");
  }
}

// One run's working values and open files.
class Job {
 public:
  Job(platform::System& sys, platform::Dialogs& dialogs, const SplitJobView& view)
      : sys_(sys), dialogs_(dialogs), view_(view) {}

  // Everything from the normalising of the fields to the batch file. Gives
  // the end state; may throw std::bad_alloc.
  int32_t Run();

  // Closes whatever is still open and removes a part the run did not
  // finish; errors no longer matter on this way out.
  void CloseAll() {
    recovery_.reset();  // first: its workers may be reading the buffers
    buffer_.reset();
    spares_.clear();
    if (part_ != nullptr) (void)part_->Close();
    part_.reset();
    // A part cut short would pass for finished: a rerun with the skip policy
    // keeps it, and the batch file then joins a corrupt file. It is always
    // the run's own file, created new.
    if (!unfinished_.empty()) (void)sys_.RemoveFile(unfinished_);
    unfinished_.clear();
    for (HeldFile& held : held_) {
      (void)held.file->Close();
      (void)sys_.RemoveFile(held.path);
    }
    held_.clear();
    if (source_ != nullptr) (void)source_->Close();
    source_.reset();
  }

 private:
  int32_t Refuse(std::string_view message, int icon) {
    (void)dialogs_.MsgBox(message, mb::kOk | icon, "");
    return end_state::kAlreadyTold;
  }
  int32_t Fail(platform::ErrorCode error) { return StateForFailure(error, view_.recordError); }
  void Normalise(ui::TextBox& box);
  // The run's one buffer, at most `partSize` bytes. Gives false when
  // memory is short.
  bool MakeBuffer(int64_t partSize);
  // Copies `size` bytes from `offset` of the source into the new file at
  // `path`, a buffer at a time: into the part the gate created, else into a
  // file made here. Gives 0, or the end state of the failure that stopped it.
  int32_t WritePart(const std::string& path, int64_t offset, int64_t size, int64_t n);
  // Reads a part that is not written, for the recovery data only.
  int32_t HashPart(int64_t offset, int64_t size, int64_t n);
  // Opens the new file at `path` unless the gate made it; it is then the
  // run's to finish or remove. Gives 0 or the end state of the failure.
  int32_t CreateOwn(const std::string& path);
  // Puts the finished file on the disk and closes it.
  int32_t CloseOwn();
  // Plans the recovery files before any is written; 0 or the end state.
  int32_t PrepareRecovery(std::string_view stem, int64_t partSize, int64_t length, int64_t count);
  // The buffer to read into next: with recovery data, the buffers take
  // turns, as the workers may still hash the ones read before.
  char* NextBuffer() {
    if (spares_.empty()) return buffer_.get();
    // The buffer taken now was read into as many reads ago as there are
    // buffers; its bytes must be hashed by then.
    recovery_->Settle(spares_.size());
    std::swap(buffer_, spares_[nextSpare_]);
    nextSpare_ = (nextSpare_ + 1) % spares_.size();
    return buffer_.get();
  }
  // The volumes and then the index, each through the gate like a part.
  int32_t WriteRecoveryFiles();
  int32_t WriteIndex();
  int32_t WriteOutput(std::string_view name, int64_t bytes,
                      const std::function<platform::ErrorCode(platform::File&)>& fill);

  platform::System& sys_;
  platform::Dialogs& dialogs_;
  const SplitJobView& view_;
  std::unique_ptr<platform::File> source_;
  std::unique_ptr<platform::File> part_;
  std::string unfinished_;  // the path of a part created and not yet finished
  std::unique_ptr<char[]> buffer_;
  std::vector<std::unique_ptr<char[]>> spares_;  // with recovery data only: see NextBuffer
  size_t nextSpare_ = 0;
  size_t bufferSize_ = 0;
  bool removable_ = false;  // the parts go to a removable drive
  std::unique_ptr<RecoveryData> recovery_;
  // Volumes created and held open to be written together: the run's own
  // until they are finished.
  struct HeldFile {
    std::unique_ptr<platform::File> file;
    std::string path;
  };
  std::vector<HeldFile> held_;
  std::string stem_;
  std::string sourcePath_;
};

void Job::Normalise(ui::TextBox& box) {
  // A path that is not there, or too long, is left as the user typed it.
  std::string normal = media::NormalPath(sys_, box.Text());
  if (!normal.empty()) box.SetText(std::move(normal));
}

int32_t Job::Run() {
  SplitSettings& split = view_.plan.split;
  Normalise(view_.txtInFile);
  Normalise(view_.txtOutPath);
  const std::string sourcePath = media::GetShortPath(sys_, view_.txtInFile.Text());

  if (sourcePath.empty()) return Refuse(kNoSource, mb::kCritical);
  if (!media::Exists(sys_, view_.txtOutPath.Text())) return Refuse(media::kNoOutputFolder, mb::kCritical);
  const int32_t attributes = media::GetPathAttributes(sys_, sourcePath, 1);
  if (attributes != platform::attr::kInvalid && (attributes & platform::attr::kDirectory) != 0) {
    return Refuse(kIsFolder, mb::kExclamation);
  }
  platform::ErrorCode error = err::kNone;
  const int64_t length = sys_.FileLengthOf(sourcePath, &error);
  if (length < 0) return Fail(error != err::kNone ? error : err::kFileNotFound);
  split.lngFileSize = static_cast<double>(length);
  if (!(split.lngSpltSize >= 1)) return Refuse(kNoPartSize, mb::kExclamation);
  if (length == 0) return Refuse(kEmptySource, mb::kExclamation);
  if (length > kLargestSource) return Refuse(kTooLarge, mb::kExclamation);

  const auto partSizeSetting = static_cast<int64_t>(split.lngSpltSize);
  const int64_t count = GetFileCount(split.lngFileSize, split.lngSpltSize);
  const std::string stem = OutputStem(sourcePath, view_.chkSamDir.Value() != 0, view_.txtOutPath.Text());
  const int32_t driveType = media::GetPathDriveType(sys_, media::DrivePart(stem));
  if (driveType != platform::drive::kRemovable && driveType != platform::drive::kFixed &&
      driveType != platform::drive::kRamDisk) {
    return Refuse(kNotWritable, mb::kCritical);
  }
  removable_ = driveType == platform::drive::kRemovable;

  view_.lblSize.SetCaption(SourceSizeText(split.lngFileSize));
  Size_Change(view_.plan, 0, 1);
  stem_ = stem;
  sourcePath_ = sourcePath;
  if (view_.makeRecovery != nullptr && view_.makeRecovery->Checked()) {
    if (const int32_t refused = PrepareRecovery(stem, partSizeSetting, length, count)) return refused;
  }
  // Sharing reads only: nobody may change or delete the source under the run.
  source_ = sys_.Open(sourcePath, platform::Access::kRead, platform::Share::kRead,
                      platform::Disposition::kOpenExisting, &error);
  if (source_ == nullptr) return Fail(error != err::kNone ? error : err::kAccessDenied);
  view_.showStatus("0 File /");

  ui::TextBox& lastBox = view_.plan.txtSpltPart1;
  if (LeadingNumber(lastBox.Text()) == split.lngFileCount)
    lastBox.SetText(ShortestText(static_cast<double>(count)));
  int64_t first = 1;
  int64_t last = count;
  if (view_.rangeMode.Checked()) {
    last = RangeNumber(LeadingNumber(lastBox.Text()));
    first = std::max<int64_t>(1, RangeNumber(LeadingNumber(view_.plan.txtSpltPart0.Text())));
  }
  if (recovery_ != nullptr) {
    if (!MakeBuffer(partSizeSetting)) return end_state::kOutOfMemory;
    error = recovery_->Begin(*source_, buffer_.get(), bufferSize_);
    if (error != err::kNone) return Fail(error);
  }

  // The recovery data describes every part, also those a range leaves out.
  const int64_t from = recovery_ != nullptr ? 1 : first;
  const int64_t to = recovery_ != nullptr ? count : last;
  int64_t offset = (from - 1) * partSizeSetting;
  int64_t shown = first;  // the status line's count after the last part
  for (int64_t n = from; n <= to; ++n) {
    const std::string number = PartNumberText(n);
    const int64_t remaining = length - offset;
    if (n < first || n > last) {
      const int64_t size = std::min(partSizeSetting, remaining);
      if (const int32_t failed = HashPart(offset, size, n)) return failed;
      offset += size;
      continue;
    }
    shown = n;
    int64_t partSize = partSizeSetting;
    if (!((n != last || static_cast<double>(last) != split.lngFileCount) && remaining >= partSizeSetting)) {
      partSize = remaining;
      if (partSize <= 0) break;
    }

    // Made before the first part's gate, so a lack of memory ends the run
    // before any prompt.
    if (buffer_ == nullptr && !MakeBuffer(partSizeSetting)) return end_state::kOutOfMemory;

    uint8_t skip = 0;
    const int32_t result = view_.prepareOutputFile(stem, number, sourcePath, partSize, &skip, &part_);
    // From here on a part the gate created is this run's to finish or remove.
    if (part_ != nullptr) unfinished_ = stem + number;
    view_.showStatus(GroupedNumber(static_cast<double>(n)) + " File /");
    if (result > 0) return result;
    if (skip == 0) {
      if (const int32_t failed = WritePart(stem + number, offset, partSize, n)) return failed;
    } else if (recovery_ != nullptr) {
      if (const int32_t failed = HashPart(offset, partSize, n)) return failed;
    }
    shown = n + 1;
    offset += partSize;  // also past a part left out, so the next keeps its place
  }

  // The recovery files are read back from the source after the batch file.
  if (recovery_ == nullptr) CloseAll();
  view_.showStatus(GroupedNumber(static_cast<double>(shown)) + " File /");
  if (view_.plan.chkMkBat.Value() != 0) {
    const std::string longName = TextAfterLast(view_.txtInFile.Text(), "\\");
    const BatchRequest request{stem, longName, sourcePath, count, removable_};
    const BatchOutcome batch = WriteRejoinBatch(sys_, request, view_.showStatus, view_.prepareOutputFile);
    if (batch.error != err::kNone) return Fail(batch.error);
    if (batch.gateResult != 0) return batch.gateResult;
  }
  if (recovery_ != nullptr) return WriteRecoveryFiles();
  return end_state::kCompleted;
}

int32_t Job::PrepareRecovery(std::string_view stem, int64_t partSize, int64_t length, int64_t count) {
  const platform::ProgramInfo program = sys_.ProgramVersion();
  std::string creator = "Created by Quarnimo version ";
  creator.append(std::to_string(program.major)).append(".").append(std::to_string(program.minor));
  creator.append(".").append(std::to_string(program.revision));
  std::optional<recovery::RecoverySet> set =
      RecoveryData::Layout(TextAfterLast(stem, "\\"), partSize, length, count, std::move(creator));
  if (!set) return Refuse(kNoRecoveryLayout, mb::kCritical);
  recovery_ = std::make_unique<RecoveryData>(sys_, std::move(*set), partSize, view_.copyBuffer.sumBytes);
  return 0;
}

int32_t Job::WriteRecoveryFiles() {
  view_.showStatus("Writing Recovery Files");
  const recovery::RecoverySet& set = recovery_->Set();
  const std::string bareStem = TextAfterLast(stem_, "\\");
  // The volumes first: they begin while the workers still finish the last
  // part's checksums, which the index needs whole.
  int32_t result = 0;
  if (removable_) {
    // One at a time: the next may need the next disk.
    for (size_t i = 0; result == 0 && i < set.Volumes().size(); ++i) {
      const recovery::Volume& volume = set.Volumes()[i];
      result = WriteOutput(volume.name.substr(bareStem.size()), volume.bytes, [&](platform::File& file) {
        return recovery_->WriteVolumes({i}, {&file}, *source_, buffer_.get(), bufferSize_);
      });
    }
    return result == 0 ? WriteIndex() : result;
  }

  // All at once: one read of the source makes every volume's stripes.
  std::vector<size_t> volumes;
  std::vector<platform::File*> files;
  for (size_t i = 0; i < set.Volumes().size(); ++i) {
    const recovery::Volume& volume = set.Volumes()[i];
    const std::string name = volume.name.substr(bareStem.size());
    uint8_t skip = 0;
    result = view_.prepareOutputFile(stem_, name, sourcePath_, volume.bytes, &skip, &part_);
    if (part_ != nullptr) unfinished_ = stem_ + name;
    if (result > 0) return result;
    if (skip != 0) continue;
    if (const int32_t failed = CreateOwn(stem_ + name)) return failed;
    held_.push_back(HeldFile{std::move(part_), stem_ + name});
    unfinished_.clear();
    volumes.push_back(i);
    files.push_back(held_.back().file.get());
  }
  if (!held_.empty()) {
    const platform::ErrorCode error =
        recovery_->WriteVolumes(volumes, files, *source_, buffer_.get(), bufferSize_);
    if (error != err::kNone) return Fail(error);
  }
  while (!held_.empty()) {
    part_ = std::move(held_.back().file);
    unfinished_ = held_.back().path;
    held_.pop_back();
    if (const int32_t failed = CloseOwn()) return failed;
  }
  return WriteIndex();
}

int32_t Job::WriteIndex() {
  recovery_->Drain();
  const recovery::RecoverySet& set = recovery_->Set();
  const std::string index = set.Index();
  const int32_t result = WriteOutput(
      set.IndexName().substr(TextAfterLast(stem_, "\\").size()), static_cast<int64_t>(index.size()),
      [&](platform::File& file) { return file.Write(index.data(), index.size()); });
  return result == 0 ? end_state::kCompleted : result;
}

int32_t Job::WriteOutput(std::string_view name, int64_t bytes,
                         const std::function<platform::ErrorCode(platform::File&)>& fill) {
  const std::string path = stem_ + std::string(name);
  uint8_t skip = 0;
  const int32_t result = view_.prepareOutputFile(stem_, name, sourcePath_, bytes, &skip, &part_);
  if (part_ != nullptr) unfinished_ = path;
  if (result > 0) return result;
  if (skip != 0) return 0;
  if (const int32_t failed = CreateOwn(path)) return failed;
  if (const platform::ErrorCode error = fill(*part_); error != err::kNone) return Fail(error);
  return CloseOwn();
}

bool Job::MakeBuffer(int64_t partSize) {
  const CopyBuffer& copy = view_.copyBuffer;
  // With recovery data, every read is handed to the workers, and each
  // handing costs trips through Wine's server: reads four times as large
  // made the split with recovery data 12% faster.
  const size_t most = recovery_ != nullptr ? copy.bytes * 4 : copy.bytes;
  const size_t bytes = std::max<size_t>(1, std::min(most, static_cast<size_t>(partSize)));
  buffer_ = copy.allocate ? copy.allocate(bytes) : HeapBuffer(bytes);
  // The workers may run this many reads behind the copy.
  constexpr int kSpares = 3;
  for (int i = 0; buffer_ != nullptr && recovery_ != nullptr && i < kSpares; ++i) {
    spares_.push_back(copy.allocate ? copy.allocate(bytes) : HeapBuffer(bytes));
    if (spares_.back() == nullptr) buffer_.reset();
  }
  bufferSize_ = buffer_ != nullptr ? bytes : 0;
  return buffer_ != nullptr;
}

int32_t Job::CreateOwn(const std::string& path) {
  platform::ErrorCode error = err::kNone;
  if (part_ == nullptr) {
    // New only: a file that appeared since the gate looked is not overwritten.
    part_ = sys_.Open(path, platform::Access::kWrite, platform::Share::kNone,
                      platform::Disposition::kCreateNew, &error);
  }
  if (part_ == nullptr) return Fail(error != err::kNone ? error : err::kAccessDenied);
  unfinished_ = path;
  return 0;
}

int32_t Job::CloseOwn() {
  // The next prompt invites the user to take the disk out: the file must be
  // on it by then, not in the system's write cache.
  if (removable_) {
    if (const platform::ErrorCode error = part_->Flush(); error != err::kNone) return Fail(error);
  }
  // A failed close may have lost the last bytes: the file is not finished.
  const platform::ErrorCode error = part_->Close();
  part_.reset();
  if (error != err::kNone) return Fail(error);
  unfinished_.clear();
  return 0;
}

int32_t Job::WritePart(const std::string& path, int64_t offset, int64_t size, int64_t n) {
  if (const int32_t failed = CreateOwn(path)) return failed;
  for (int64_t done = 0; done < size;) {
    char* buffer = NextBuffer();
    const size_t ask = std::min(bufferSize_, static_cast<size_t>(size - done));
    size_t got = 0;
    platform::ErrorCode error = source_->ReadAt(offset + done, buffer, ask, &got);
    if (error != err::kNone) return Fail(error);
    if (got > 0) {
      // The recovery data is gathered beside the write, from the same bytes.
      if (recovery_ != nullptr) {
        recovery_->Feed(static_cast<size_t>(n - 1), done, buffer, got,
                        done + static_cast<int64_t>(got) == size);
      }
      error = part_->Write(buffer, got);
      if (error != err::kNone) return Fail(error);
    }
    // The source became shorter during the run: the run fails, so no part
    // and no batch file pretends to be whole.
    if (got < ask) return Fail(err::kHandleEof);
    done += static_cast<int64_t>(got);
  }
  return CloseOwn();
}

int32_t Job::HashPart(int64_t offset, int64_t size, int64_t n) {
  for (int64_t done = 0; done < size;) {
    char* buffer = NextBuffer();
    const size_t ask = std::min(bufferSize_, static_cast<size_t>(size - done));
    size_t got = 0;
    const platform::ErrorCode error = source_->ReadAt(offset + done, buffer, ask, &got);
    if (error != err::kNone) return Fail(error);
    if (got < ask) return Fail(err::kHandleEof);
    recovery_->Feed(static_cast<size_t>(n - 1), done, buffer, got, done + static_cast<int64_t>(got) == size);
    done += static_cast<int64_t>(got);
  }
  return 0;
}

}  // namespace

int32_t ExecuteSplit(platform::System& sys, platform::Dialogs& dialogs, const SplitJobView& view) {
  int32_t state = end_state::kAlreadyTold;
  Job job(sys, dialogs, view);
  try {
    view.showStatus("Initializing");
    view.setControlsEnabled(0);
    state = job.Run();
  } catch (const std::bad_alloc&) {
    state = end_state::kOutOfMemory;
  } catch (...) {
    state = end_state::kFailed;  // no number to record
  }
  job.CloseAll();
  // However the run went, the user is told and gets the window back.
  try {
    view.showStatus("Splitting Completed");
    ShowEndMessage(dialogs, state);
  } catch (...) {
  }
  try {
    view.showStatus("");
  } catch (...) {
  }
  try {
    view.setControlsEnabled(-1);
  } catch (...) {
  }
  return state;
}

}  // namespace qn::engine
