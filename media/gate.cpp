#include "media/gate.h"

#include "media/drives.h"
#include "media/paths.h"

namespace qn::media {
namespace {

namespace mb = platform::mb;
namespace answer = platform::answer;

constexpr std::string_view kNextDisk = "次のディスクを入れて下さい";
constexpr std::string_view kInsertDisk = "ディスクを装着して下さい";
constexpr std::string_view kCannotWrite = "ディスクに書き込みが出来ません";
constexpr std::string_view kAbortQuestion = "分割を中断しますか？";
constexpr std::string_view kNoRoom = "容量が足りません。続行しますか？";
constexpr std::string_view kOverwriteQuestion = "を上書きしますか？";
constexpr std::string_view kIsSourceMessage = "ファイルを上書きするのは無理でした";
constexpr std::string_view kCannotOverwrite = "を上書きできません\r再試行しますか？";

constexpr int kStyleNextDisk = mb::kOkCancel | mb::kInformation;        // 65
constexpr int kStyleInsertDisk = mb::kOkCancel | mb::kExclamation;      // 49
constexpr int kStyleCannotWrite = mb::kRetryCancel | mb::kExclamation;  // 53
constexpr int kStyleAbort = mb::kYesNo | mb::kQuestion;                 // 36
constexpr int kStyleNoRoom = mb::kYesNo | mb::kCritical;                // 20
constexpr int kStyleOverwrite = mb::kYesNoCancel | mb::kQuestion;       // 35
constexpr int kStyleIsSource = mb::kOk | mb::kCritical;                 // 16
constexpr int kStyleNoFolder = mb::kRetryCancel | mb::kCritical;        // 21

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes the UTF-8 character at `text[*at]` and advances past it; a broken
// byte stands for itself.
char32_t NextChar(std::string_view text, size_t* at) {
  const auto lead = static_cast<unsigned char>(text[*at]);
  size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (*at + length > text.size()) length = 1;
  for (size_t i = 1; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[*at + i]))) length = 1;
  }
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) c = (c << 6) | (static_cast<unsigned char>(text[*at + i]) & 0x3F);
  *at += length;
  return c;
}

// The upper-case partner of a character in the scripts a file name commonly
// uses, as the file system's case table pairs them.
char32_t UpperCase(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;  // Latin-1
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~char32_t{1};
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) != 0 ? c : c - 1;
  if (c == 0x3C2) return 0x3A3;                     // final sigma
  if (c >= 0x3B1 && c <= 0x3C9) return c - 0x20;    // Greek
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;    // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;    // Cyrillic with marks
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;  // full-width Latin
  return c;
}

std::u32string FoldedCase(std::string_view text) {
  std::u32string folded;
  for (size_t at = 0; at < text.size();) folded.push_back(UpperCase(NextChar(text, &at)));
  return folded;
}

std::string Root(std::string_view drive) { return std::string(drive) + "\\"; }

// Bytes the file at `path` can have on the disk in `drive`: what the disk
// still offers the user plus what an existing file there would give back
// when it is replaced. 0 when there is no disk to ask.
double RoomOnDisk(platform::System& sys, std::string_view drive, std::string_view path) {
  double total = 0;
  double free = 0;
  double available = 0;
  if (QueryDiskSpace(sys, drive, &total, &free, &available) == 0) return 0;
  double room = available;
  const int32_t attributes = GetPathAttributes(sys, path, 1);
  if (attributes != platform::attr::kInvalid && (attributes & platform::attr::kDirectory) == 0) {
    platform::ErrorCode error = platform::err::kNone;
    const int64_t length = sys.FileLengthOf(path, &error);
    if (error == platform::err::kNone && length > 0) room += static_cast<double>(length);
  }
  return room;
}

// Whether `path` exists, by one attribute query: the same answer as its
// short form, which looks up every component of the path again. The gate
// asks it for every part.
bool ExistsNow(platform::System& sys, std::string_view path) {
  return GetPathAttributes(sys, path, 1) != platform::attr::kInvalid;
}

// True when no file is at `path`. With `fresh`, the test is creating it
// (new, for writing, shared with nobody): on success *fresh holds the file.
// Any other failure than an existing file leaves the answer to the attribute
// query, and the creation, with its own failure, to the caller.
bool Missing(platform::System& sys, const std::string& path, std::unique_ptr<platform::File>* fresh) {
  if (fresh != nullptr) {
    platform::ErrorCode error = platform::err::kNone;
    *fresh = WithoutCriticalErrorBox(sys, [&] {
      return sys.Open(path, platform::Access::kWrite, platform::Share::kNone,
                      platform::Disposition::kCreateNew, &error);
    });
    if (*fresh != nullptr) return true;
    if (error == platform::err::kFileExists || error == platform::err::kAlreadyExists) return false;
  }
  return !ExistsNow(sys, path);
}

// Takes back a file the gate created and is not handing over.
void Discard(platform::System& sys, const std::string& path, std::unique_ptr<platform::File>* fresh) {
  if (*fresh == nullptr) return;
  (void)(*fresh)->Close();
  fresh->reset();
  (void)sys.RemoveFile(path);
}

// The drive's type, asked once per run.
int32_t DriveType(platform::System& sys, DriveFacts* run, const std::string& drive) {
  if (run == nullptr) return GetPathDriveType(sys, drive);
  if (run->drive != drive) *run = DriveFacts{drive, std::nullopt, std::nullopt};
  if (!run->type) run->type = GetPathDriveType(sys, drive);
  return *run->type;
}

// The total size of a drive that is not removable, asked once per run: no
// other disk can come into it. A failed query is asked again next time.
double FixedCapacity(platform::System& sys, DriveFacts* run, const std::string& drive) {
  if (run == nullptr || run->drive != drive) return GetDriveCapacity(sys, drive);
  if (!run->capacity) {
    const double capacity = GetDriveCapacity(sys, drive);
    if (capacity <= 0) return capacity;
    run->capacity = capacity;
  }
  return *run->capacity;
}

}  // namespace

bool NamesSameFile(platform::System& sys, std::string_view path, std::string_view other) {
  // Windows names files without regard to letter case: an exact text
  // comparison would let a differently spelled source be deleted.
  const std::string shortPath = GetShortPath(sys, path);
  if (!shortPath.empty() && FoldedCase(shortPath) == FoldedCase(other)) return true;
  return sys.SameFile(path, other);
}

int32_t PrepareOutputFile(platform::System& sys, platform::Dialogs& dialogs, const GateInputs& inputs,
                          std::string_view stem, std::string_view name, std::string_view protectedPath,
                          int64_t requiredBytes, uint8_t* skip, std::unique_ptr<platform::File>* created) {
  const std::string drive = DrivePart(stem);
  const std::string path = std::string(stem) + std::string(name);
  const auto required = static_cast<double>(requiredBytes);
  *skip = 0;
  if (created != nullptr) created->reset();
  // A fixed drive's size cannot change while the user looks at the question:
  // Yes means write anyway, not ask again.
  bool roomAccepted = false;

  for (;;) {
    // Drive: a removable disk must be there, writable and roomy enough.
    if (DriveType(sys, inputs.run, drive) == platform::drive::kRemovable) {
      std::string_view body;
      int style = 0;
      // The room left on the disk in the drive, not the disk's size: a
      // part that fits a fresh disk would otherwise overfill a used one.
      if (required > RoomOnDisk(sys, drive, path)) {
        body = kNextDisk;
        style = kStyleNextDisk;
      } else if (GetPathAttributes(sys, Root(drive), 0) == platform::attr::kInvalid) {
        body = kInsertDisk;
        style = kStyleInsertDisk;
      } else if (TestVolumeWritable(sys, drive) != 1) {
        body = kCannotWrite;
        style = kStyleCannotWrite;
      }
      if (!body.empty()) {
        const int answer = dialogs.MsgBox("ドライブ " + drive + " に" + std::string(body), style, "");
        if (answer == answer::kOk || answer == answer::kRetry) continue;
        // A failed box counts as Yes: asking again for ever would hang the window.
        if (dialogs.MsgBox(kAbortQuestion, kStyleAbort, "") == answer::kNo) continue;
        return gate::kAborted;
      }
    } else if (!roomAccepted && required > FixedCapacity(sys, inputs.run, drive)) {
      if (dialogs.MsgBox(kNoRoom, kStyleNoRoom, "") != answer::kYes) return gate::kAborted;
      roomAccepted = true;
    }

    bool refused = false;
    std::unique_ptr<platform::File> fresh;
    if (*skip == 0 && !Missing(sys, path, created != nullptr ? &fresh : nullptr)) {
      // An output file exists already.
      if (inputs.byteHmny == policy::kAsk) {
        const int answer = dialogs.MsgBox(path + std::string(kOverwriteQuestion), kStyleOverwrite, "");
        if (answer == answer::kNo) {
          *skip = 1;
          continue;
        }
        if (answer != answer::kYes) return gate::kAborted;
      } else if (inputs.byteHmny == policy::kSkip) {
        *skip = 1;
        continue;
      }
      if (NamesSameFile(sys, path, protectedPath)) {
        (void)dialogs.MsgBox(kIsSourceMessage, kStyleIsSource, "");
        return gate::kIsSource;
      }
      if (GetPathAttributes(sys, path, 1) == platform::attr::kDirectory ||
          GetPathAttributes(sys, Root(drive), 0) == platform::attr::kInvalid) {
        refused = true;
      } else {
        const platform::ErrorCode error = sys.RemoveFile(path);
        if (error == platform::err::kNone) continue;
        // A read-only file, or a folder with more than the folder bit.
        if (error != platform::err::kAccessDenied) {
          if (inputs.recordError) inputs.recordError(error);
          return gate::kFailed;
        }
        refused = true;
      }
    }

    if (!refused) {
      // The folder named in the window must still be there.
      if (name != kBatchName && !ExistsNow(sys, inputs.outputFolder)) {
        Discard(sys, path, &fresh);
        if (dialogs.MsgBox(kNoOutputFolder, kStyleNoFolder, "") == answer::kRetry) continue;
        return gate::kFailed;
      }
      if (created != nullptr) *created = std::move(fresh);
      return gate::kGo;
    }

    const int answer = dialogs.MsgBox(path + std::string(kCannotOverwrite), kStyleOverwrite, "");
    if (answer == answer::kYes) continue;
    if (answer == answer::kNo) {
      *skip = 1;
      continue;
    }
    return gate::kFailed;
  }
}

}  // namespace qn::media
