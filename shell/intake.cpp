#include "shell/intake.h"

#include "media/paths.h"

namespace qn::shell {

using platform::ErrorCode;
namespace err = platform::err;

namespace {

constexpr std::string_view kFolderQuestion =
    "ドロップされたオブジェクトはフォルダです。\r\r"
    "このフォルダを出力先に設定しますか？";
constexpr std::string_view kManyQuestion =
    "複数のファイルがドロップされました。\r\r"
    "全てのファイルを処理しますか？";

std::string_view TrimSpaces(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The byte offset of each character of UTF-8 text: positions count
// characters, and a drive "letter" may be any character.
std::vector<size_t> CharStarts(std::string_view text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  return starts;
}

// What the source box shows for a path from the command line: its absolute
// long form, so that a relative path still names the file for the split.
std::string ShownPath(platform::System& sys, const std::string& path) {
  std::string normal = media::NormalPath(sys, path);
  return normal.empty() ? path : normal;
}

// Loading or starting failed during start-up: that ends the start-up.
void ThrowIfFailed(platform::System& sys, ErrorCode error) {
  if (error != err::kNone) throw StartupError(error, sys.DescribeError(error));
}

// Cuts text without quotation marks: a candidate starts at the character
// before a ":" or at a "\\" pair and runs to the end of what is left.
std::vector<std::string> CutAtPathStarts(std::string_view text) {
  std::vector<std::string> candidates;
  std::string rest(text);
  std::vector<size_t> starts = CharStarts(rest);
  // The character at 1-based position `pos`.
  auto at = [&](size_t pos) {
    const size_t begin = starts[pos - 1];
    const size_t end = pos < starts.size() ? starts[pos] : rest.size();
    return std::string_view(rest).substr(begin, end - begin);
  };
  size_t p = starts.size();
  while (p >= 2) {
    if (at(p) == ":" || (at(p - 1) == "\\" && at(p) == "\\")) {
      const size_t cut = starts[p - 2];  // where position p - 1 begins
      candidates.push_back(rest.substr(cut));
      rest = std::string(TrimSpaces(std::string_view(rest).substr(0, cut)));
      starts = CharStarts(rest);
      p = starts.size();
    }
    if (p <= 2) break;
    --p;
  }
  return candidates;
}

}  // namespace

std::vector<std::string> CutCommandText(std::string_view text) {
  // The shell quotes a path with blanks (Send To, a drop on the program's
  // icon); a path holds no quotation mark, so a pair encloses one path.
  struct Piece {
    std::string_view text;
    bool quoted;
  };
  std::vector<Piece> pieces;
  for (size_t from = 0;;) {
    const size_t open = text.find('"', from);
    const size_t close = open == std::string_view::npos ? open : text.find('"', open + 1);
    if (close == std::string_view::npos) {
      pieces.push_back({text.substr(from), false});  // a lone quotation mark is cut as any text
      break;
    }
    pieces.push_back({text.substr(from, open - from), false});
    pieces.push_back({text.substr(open + 1, close - open - 1), true});
    from = close + 1;
  }
  std::vector<std::string> candidates;
  for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
    const std::string_view trimmed = TrimSpaces(piece->text);
    if (piece->quoted) {
      if (!trimmed.empty()) candidates.emplace_back(trimmed);
    } else {
      for (std::string& cut : CutAtPathStarts(trimmed)) candidates.push_back(std::move(cut));
    }
  }
  return candidates;
}

ErrorCode StartInstance(platform::System& sys, std::string_view programShortPath, std::string_view path) {
  const std::string file = media::GetShortPath(sys, path);
  if (file.empty() || media::IsFolder(sys, path)) return err::kNone;
  const std::string program = media::GetShortPath(sys, programShortPath);
  if (program.empty()) return err::kFileNotFound;  // the program file itself has gone
  // Quoted: on a volume without short names the program's path may hold
  // blanks, and an unquoted C:\Program Files\... would start C:\Program.exe.
  return sys.StartProcess("\"" + program + "\" " + file, platform::ShowMode::kMinimized);
}

void TakeCommandLine(Program& program) {
  platform::System& sys = program.system();
  window::FrmMain* frm = program.frmMAIN();
  if (frm == nullptr) return;
  const std::string text(TrimSpaces(sys.CommandText()));
  if (text.empty()) return;

  // The whole text first: one path with spaces needs no quotes.
  if (media::Exists(sys, text)) {
    if (!media::IsFolder(sys, text)) ThrowIfFailed(sys, frm->TakeSource(text, ShownPath(sys, text)));
    return;
  }

  const std::vector<std::string> candidates = CutCommandText(text);
  if (candidates.empty()) return;
  const std::string& last = candidates.front();
  if (media::Exists(sys, last) && !media::IsFolder(sys, last)) {
    ThrowIfFailed(sys, frm->TakeSource(last, ShownPath(sys, last)));
  }
  for (size_t i = 1; i < candidates.size(); ++i) {
    ThrowIfFailed(sys, StartInstance(sys, program.ProgramShortPath(), candidates[i]));
  }
}

void TakeDrop(Program& program, platform::DroppedItems& items) {
  window::FrmMain* frm = program.frmMAIN();
  if (frm == nullptr) return;
  // A drop that arrives while a split runs (during one of its message boxes)
  // would swap the source and the part count under the running job and spoil
  // the parts it writes: it is ignored altogether.
  if (frm->Busy()) return;
  platform::System& sys = program.system();
  platform::Dialogs& dialogs = program.dialogs();
  try {
    uint32_t count = items.Count();
    std::string item = items.Item(0);
    std::string shortForm = media::GetShortPath(sys, item);
    if (count == 1 && !shortForm.empty() && media::IsFolder(sys, shortForm)) {
      const int answer = dialogs.MsgBox(kFolderQuestion, platform::mb::kYesNo | platform::mb::kQuestion, "");
      // In same-folder mode the output folder is the source's; the dropped one is not taken.
      if (answer == platform::answer::kYes && frm->chkSamDir.Value() == 0) frm->SetOutputFolder(item);
      return;
    }
    if (count > 1 && dialogs.MsgBox(kManyQuestion, platform::mb::kYesNo | platform::mb::kQuestion, "") !=
                         platform::answer::kYes) {
      count = 1;
    }
    for (uint32_t i = 0; i < count; ++i) {
      if (i > 0) {
        item = items.Item(i);
        shortForm = media::GetShortPath(sys, item);
      }
      // Folders are skipped, and so is an item the system cannot find (its
      // name cut at 259 characters, or gone since the drop): neither can be split.
      if (shortForm.empty() || media::IsFolder(sys, shortForm)) continue;
      const ErrorCode error =
          i == 0 ? frm->TakeSource(item, item) : StartInstance(sys, program.ProgramShortPath(), item);
      if (error != err::kNone && frm->recordError) frm->recordError(error);
    }
  } catch (...) {
    // What was taken so far stays; nothing may escape into the window procedure.
  }
}

Intake StandardIntake() {
  Intake intake;
  intake.takeCommandLine = [](Program& program) { TakeCommandLine(program); };
  intake.onDrop = [](Program& program, platform::DroppedItems& items) { TakeDrop(program, items); };
  return intake;
}

}  // namespace qn::shell
