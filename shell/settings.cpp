#include "shell/settings.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/numbers.h"
#include "media/paths.h"

namespace qn::shell {

using platform::ErrorCode;
namespace err = platform::err;

namespace {

constexpr std::string_view kFileName = "values.ini";

struct KeyOfCode {
  int code;
  std::string_view key;
};
constexpr std::array<KeyOfCode, 12> kKeys = {{
    {setting::kDpath, "dpath"},
    {setting::kMakeBatch, "makebatch"},
    {setting::kCheckOw, "checkow"},
    {setting::kSizeOpt, "sizeopt"},
    {setting::kDevSize, "devsize"},
    {setting::kSameDir, "samedir"},
    {setting::kFormExt, "formext"},
    {setting::kMakePar2, "makepar2"},
    {setting::kXpos, "xpos"},
    {setting::kYpos, "ypos"},
    {setting::kLastError, "LastError"},
    {setting::kLastErrorNumber, "LastErrorNumber"},
}};

// The error keys are written for the user to look at, never read back.
bool Readable(int code) {
  return (code >= setting::kDpath && code <= setting::kMakePar2) || code == setting::kXpos ||
         code == setting::kYpos;
}

std::string_view Trim(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The file's lines: CR LF or a lone CR ends one, a lone LF is part of it.
// Works on the ANSI bytes: CR, LF, "=", space and tab never occur inside a
// double-byte character of code page 932, so this cuts where the characters do.
std::vector<std::string_view> Lines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

std::vector<std::string_view> Pieces(std::string_view line) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  for (size_t at = line.find('='); at != std::string_view::npos; at = line.find('=', start)) {
    pieces.push_back(line.substr(start, at - start));
    start = at + 1;
  }
  pieces.push_back(line.substr(start));
  return pieces;
}

bool IsEntryFor(const std::vector<std::string_view>& pieces, std::string_view key) {
  return pieces.size() >= 2 && Trim(pieces[0]) == key;
}

// The value of the first entry for `key` in the file's bytes, untrimmed.
std::optional<std::string_view> FindEntry(std::string_view bytes, std::string_view key) {
  for (std::string_view line : Lines(bytes)) {
    if (line.empty()) continue;
    const std::vector<std::string_view> pieces = Pieces(line);
    if (IsEntryFor(pieces, key)) return pieces[1];
  }
  return std::nullopt;
}

// The whole file, opened so that a writer replacing it at the same moment is
// never refused. err::kNone or why it could not be read.
ErrorCode ReadAll(platform::System& sys, const std::string& path, std::string* out) {
  try {
    ErrorCode error = err::kNone;
    std::unique_ptr<platform::File> file =
        sys.Open(path, platform::Access::kRead, platform::Share::kReadWriteDelete,
                 platform::Disposition::kOpenExisting, &error);
    if (!file) return error != err::kNone ? error : err::kGenFailure;
    std::array<char, 8192> buffer{};
    int64_t offset = 0;
    for (;;) {
      size_t got = 0;
      error = file->ReadAt(offset, buffer.data(), buffer.size(), &got);
      if (error != err::kNone) return error;
      out->append(buffer.data(), got);
      offset += static_cast<int64_t>(got);
      if (got < buffer.size()) break;
    }
    (void)file->Close();  // nothing was written: a failing close loses nothing
    return err::kNone;
  } catch (const std::bad_alloc&) {
    return err::kNotEnoughMemory;
  }
}

std::string TempName() {
  static std::mt19937 generator = [] {
    std::seed_seq seed{static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()),
                       [] {
                         try {
                           return std::random_device{}();
                         } catch (...) {
                           return 0u;
                         }
                       }()};
    return std::mt19937(seed);
  }();
  char name[32];
  std::snprintf(name, sizeof name, "values.%08x.tmp", static_cast<unsigned>(generator()));
  return name;
}

// Puts `content` in place of the file at `path` in one step. A failure half
// way through a rewrite in place would leave the settings cut short, and
// another instance reading at that moment would see half a file; so the new
// content goes to a temporary file of its own beside it (created exclusively:
// no other instance can share it) and is then moved over the old file. On
// failure the temporary file is removed and the old file is untouched.
ErrorCode ReplaceWhole(platform::System& sys, const std::string& path, std::string_view content) {
  const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
  std::string temp;
  std::unique_ptr<platform::File> file;
  ErrorCode error = err::kNone;
  for (int attempt = 0; attempt < 16 && !file; ++attempt) {
    temp = folder + TempName();
    file = sys.Open(temp, platform::Access::kWrite, platform::Share::kNone, platform::Disposition::kCreateNew,
                    &error);
    if (!file && error != err::kFileExists && error != err::kAlreadyExists) break;
  }
  if (!file) return error != err::kNone ? error : err::kGenFailure;
  error = file->Write(content.data(), content.size());
  const ErrorCode closed = file->Close();
  if (error == err::kNone) error = closed;
  if (error == err::kNone) {
    // Another instance's reader may hold the file for a moment.
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
      error = sys.ReplaceFile(temp, path);
      const bool busy =
          error == err::kSharingViolation || error == err::kAccessDenied || error == err::kLockViolation;
      if (!busy || attempt == kAttempts) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10 * attempt));
    }
  }
  if (error != err::kNone) (void)sys.RemoveFile(temp);
  return error;
}

// A stored value, or `fallback` when it is the error marker, its length in
// characters is outside [minChars, maxChars] or its leading number outside
// [low, high].
std::string Accepted(std::string value, int minChars, int maxChars, double low, double high,
                     std::string_view fallback) {
  const int chars = ui::CharCount(value);
  const double number = engine::LeadingNumber(value);
  if (value == kErrorValue || chars < minChars || chars > maxChars || number < low || number > high) {
    return std::string(fallback);
  }
  return value;
}

// True when the file has an entry for `code`'s key; false also when it
// cannot be read. Writes nothing, not even the error keys.
bool HasEntry(platform::System& sys, int code) {
  const std::string path = SettingsPath(sys);
  std::string bytes;
  return media::Exists(sys, path) && ReadAll(sys, path, &bytes) == err::kNone &&
         FindEntry(bytes, SettingKey(code)).has_value();
}

// An accepted one-character index or state (0 to at most 3).
int SmallNumber(const std::string& value) { return static_cast<int>(engine::LeadingNumber(value)); }

}  // namespace

std::string_view SettingKey(int code) {
  for (const KeyOfCode& entry : kKeys) {
    if (entry.code == code) return entry.key;
  }
  return {};
}

std::string SettingsPath(platform::System& sys) {
  return media::WithBackslash(sys.ProgramFolder()).append(kFileName);
}

std::string ReadSetting(platform::System& sys, int code) {
  const std::string path = SettingsPath(sys);
  ErrorCode failure = err::kNone;
  if (media::Exists(sys, path)) {
    if (!Readable(code)) return {};
    std::string bytes;
    failure = ReadAll(sys, path, &bytes);
    if (failure == err::kNone) {
      const std::optional<std::string_view> value = FindEntry(bytes, SettingKey(code));
      return value ? sys.FromAnsi(Trim(*value)) : std::string();
    }
  }
  // A missing file has no failure to tell of: this writes LastErrorNumber=0
  // and an empty LastError, and so creates the file.
  WriteSetting(sys, setting::kLastErrorNumber, std::to_string(failure));
  WriteSetting(sys, setting::kLastError, failure == err::kNone ? std::string() : sys.DescribeError(failure));
  return std::string(kErrorValue);
}

void WriteSetting(platform::System& sys, int code, std::string_view value) {
  const std::string_view key = SettingKey(code);
  if (key.empty()) return;
  try {
    const std::string path = SettingsPath(sys);
    const std::string ansiValue = sys.ToAnsi(value, nullptr);
    std::string content;
    bool found = false;
    if (media::Exists(sys, path)) {
      // A read-only file is not to be rewritten; replacing it whole would
      // otherwise succeed where a rewrite in place is refused.
      const int32_t attributes = sys.FileAttributes(path);
      if (attributes != platform::attr::kInvalid && (attributes & platform::attr::kReadOnly) != 0) return;
      std::string old;
      // Rewriting a file that could not be read would throw its other lines away.
      if (ReadAll(sys, path, &old) != err::kNone) return;
      for (std::string_view line : Lines(old)) {
        if (line.empty()) continue;
        std::vector<std::string_view> pieces = Pieces(line);
        if (IsEntryFor(pieces, key)) {
          found = true;
          pieces[1] = ansiValue;
        }
        for (size_t i = 0; i < pieces.size(); ++i) {
          if (i > 0) content += '=';
          content += pieces[i];
        }
        content += "\r\n";
      }
    }
    if (!found) {
      content += key;
      content += '=';
      content += ansiValue;
      content += "\r\n";
    }
    (void)ReplaceWhole(sys, path, content);  // a failed write stores nothing and says nothing
  } catch (const std::bad_alloc&) {
    // Nothing stored; the file is as it was.
  }
}

void ApplySettings(platform::System& sys, window::FrmMain& frm) {
  // The part size comes before the size option: a preset option then
  // replaces it by its own size, the free-size option keeps it.
  const std::string dpath = ReadSetting(sys, setting::kDpath);
  const bool isFolder = !dpath.empty() && media::Exists(sys, dpath) && media::IsFolder(sys, dpath);
  frm.SetOutputFolder(isFolder ? dpath : sys.ProgramFolder());

  const std::string makebatch = Accepted(ReadSetting(sys, setting::kMakeBatch), 1, 1, 0, 1, "1");
  frm.chkMkBat.SetValue(SmallNumber(makebatch));

  const std::string checkow = Accepted(ReadSetting(sys, setting::kCheckOw), 1, 1, 0, 2, "0");
  frm.optHmny[static_cast<size_t>(SmallNumber(checkow))].Select();

  const std::string devsize =
      Accepted(ReadSetting(sys, setting::kDevSize), 1, 10, 1, 2147483647.0, "1457664");
  // Rounded as a typed free size is ("1.5" gives 2): the part size the split
  // uses must be the one the field shows.
  frm.split.lngSpltSize = std::nearbyint(engine::LeadingNumber(devsize));
  frm.lbl1[0].SetCaption(frm.split.lngSpltSize <= 1 ? "byte" : "bytes");

  const std::string sizeopt = Accepted(ReadSetting(sys, setting::kSizeOpt), 1, 1, 0, 3, "0");
  frm.optSpltSize[static_cast<size_t>(SmallNumber(sizeopt))].Select();

  const std::string samedir = Accepted(ReadSetting(sys, setting::kSameDir), 1, 1, 0, 1, "0");
  frm.chkSamDir.SetValue(SmallNumber(samedir));

  // Within the accepted lengths and range only "-1" reads as a non-zero
  // number; a value that is no number at all ("x") reads as range mode off.
  const std::string formext = Accepted(ReadSetting(sys, setting::kFormExt), 1, 2, -1, 0, "0");
  frm.SetRangeMode(engine::LeadingNumber(formext) != 0);

  // "-1" as well as "1": a hand-edited file may hold either truth value.
  const std::string makepar2 = Accepted(ReadSetting(sys, setting::kMakePar2), 1, 2, -1, 1, "0");
  frm.mnuMakePar2.SetChecked(engine::LeadingNumber(makepar2) != 0);
}

void SaveSettings(platform::System& sys, window::FrmMain& frm) {
  WriteSetting(sys, setting::kDpath, frm.txtOutPath.Text());
  WriteSetting(sys, setting::kMakeBatch, std::to_string(frm.chkMkBat.Value()));
  WriteSetting(sys, setting::kCheckOw, std::to_string(frm.split.byteHmny));
  WriteSetting(sys, setting::kSizeOpt, std::to_string(frm.split.byteSpltSize));
  WriteSetting(sys, setting::kDevSize, engine::ShortestText(frm.split.lngSpltSize));
  WriteSetting(sys, setting::kSameDir, std::to_string(frm.chkSamDir.Value()));
  WriteSetting(sys, setting::kFormExt, frm.mnuSettings[3].Checked() ? "-1" : "0");
  const bool makePar2 = frm.mnuMakePar2.Checked();
  if (makePar2 || HasEntry(sys, setting::kMakePar2))
    WriteSetting(sys, setting::kMakePar2, makePar2 ? "1" : "0");
}

void ConnectSettings(platform::System& sys, window::FrmMain& frm) {
  frm.onLoadSettings = [&sys, &frm] { ApplySettings(sys, frm); };
  frm.onSaveSettings = [&sys, &frm] { SaveSettings(sys, frm); };
  frm.recordError = [&sys](platform::ErrorCode code) {
    WriteSetting(sys, setting::kLastErrorNumber, std::to_string(code));
  };
}

}  // namespace qn::shell
