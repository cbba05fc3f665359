#include "media/paths.h"

#include "media/drives.h"

namespace qn::media {
namespace {

constexpr size_t kFullPathBufferChars = 516;
constexpr size_t kShortPathBufferChars = 520;

constexpr int32_t kListMaskFolders = platform::attr::kReadOnly | platform::attr::kHidden |
                                     platform::attr::kSystem | platform::attr::kDirectory |
                                     platform::attr::kArchive;  // 55
constexpr int32_t kListMaskFiles = platform::attr::kReadOnly | platform::attr::kHidden |
                                   platform::attr::kSystem | platform::attr::kArchive;  // 39

}  // namespace

std::string GetFullPath(platform::System& sys, std::string_view path) {
  return TrimAtNull(sys.FullPathOf(path, kFullPathBufferChars));
}

std::string GetShortPath(platform::System& sys, std::string_view path) {
  // The existence test of every path the user names, floppy drives
  // included: an empty drive is a missing path.
  return WithoutCriticalErrorBox(sys,
                                 [&] { return TrimAtNull(sys.ShortPathOf(path, kShortPathBufferChars)); });
}

// Takes any path text; gives back the text itself when it holds no "~", else
// the drive (or network prefix and server) followed by every component in
// its stored name, or as written where the listing cannot name it. "" when
// the path does not exist or is relative (neither ":" nor a network prefix "\\").
std::string GetLongPath(platform::System& sys, std::string_view path) {
  if (!Exists(sys, path)) return "";
  const bool hasDrive = path.find(':') != std::string_view::npos;
  if (!hasDrive && path.find("\\\\") == std::string_view::npos) return "";
  if (path.find('~') == std::string_view::npos) return std::string(path);

  std::string result;
  size_t scan = 0;  // index of the first character not yet looked at
  if (hasDrive) {
    result = std::string(path.substr(0, 2));
    scan = 3;
  } else {
    size_t end = path.find('\\', 2);
    if (end == std::string_view::npos) end = path.size();
    result = std::string(path.substr(0, end));
    scan = end + 1;
  }

  // A component the listing cannot name (the share of a network path, whose
  // root cannot be listed) stays as written: leaving it out would name
  // another path.
  while (scan < path.size()) {
    const size_t slash = path.find('\\', scan);
    if (slash == std::string_view::npos) break;
    const std::string name = sys.ListFirst(path.substr(0, slash), kListMaskFolders);
    result += "\\";
    result += name.empty() ? path.substr(scan, slash - scan) : std::string_view(name);
    scan = slash + 1;
  }

  // A trailing backslash leaves no last component to name (listing it would
  // list the folder's content); keep the backslash so the text still names
  // the same folder.
  if (path.ends_with('\\')) return result + "\\";

  const int32_t mask = IsFolder(sys, path) ? kListMaskFolders : kListMaskFiles;
  const std::string last = sys.ListFirst(path, mask);
  const std::string_view written = scan < path.size() ? path.substr(scan) : std::string_view();
  const std::string_view name = last.empty() ? written : std::string_view(last);
  if (!name.empty()) result.append("\\").append(name);
  return result;
}

bool Exists(platform::System& sys, std::string_view path) { return !GetShortPath(sys, path).empty(); }

bool IsFolder(platform::System& sys, std::string_view path) {
  const int32_t attributes = sys.FileAttributes(path);
  return attributes != platform::attr::kInvalid && (attributes & platform::attr::kDirectory) != 0;
}

std::string NormalPath(platform::System& sys, std::string_view path) {
  if (!Exists(sys, path)) return "";
  return GetLongPath(sys, GetFullPath(sys, path));
}

std::string WithBackslash(std::string_view path) {
  std::string text(path);
  if (!text.ends_with('\\')) text += '\\';
  return text;
}

std::string TrimAtNull(std::string_view text) {
  const size_t nul = text.find('\0');
  return std::string(nul == std::string_view::npos ? text : text.substr(0, nul));
}

double ToUnsignedSize(int32_t length) {
  return length < 0 ? static_cast<double>(length) + 4294967296.0 : static_cast<double>(length);
}

}  // namespace qn::media
