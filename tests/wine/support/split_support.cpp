#include "tests/wine/support/split_support.h"

#include <cstdlib>

#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string MediaFolder() {
  const std::string build = BuildDir();
  return build.empty() ? std::string() : build + "\\split-media";
}

}  // namespace

std::string RandomBytes(size_t length, uint32_t seed) {
  std::string bytes(length, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < length; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

std::string ShortPath(const std::string& path) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD got = GetShortPathNameW(Widen(path).c_str(), buffer, MAX_PATH * 2);
  if (got == 0 || got >= MAX_PATH * 2) return {};
  return Narrow(buffer);
}

std::string BareStem(const std::string& source) {
  std::string name = FileNameOf(ShortPath(source));
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  return name + ".";
}

std::string PartNumber(int n) {
  std::string digits = std::to_string(n);
  while (digits.size() < 3) digits.insert(digits.begin(), '0');
  return digits;
}

std::string ToCp932(std::string_view utf8) {
  const std::wstring wide = Widen(utf8);
  if (wide.empty()) return {};
  const int size =
      WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::string ExpectedBatch(const std::string& source, int count) {
  const std::string stem = BareStem(source);
  const std::string target = "\"" + ToCp932(FileNameOf(source)) + "\"";
  std::string text = "COPY /B " + stem + "001";
  for (int i = 2; i <= count; ++i) {
    if (i % 70 == 0) {
      text.append(" ").append(target).append("\r\nCOPY /B ").append(target);
    }
    text.append("+").append(stem).append(PartNumber(i));
  }
  return text + " " + target + "\r\n";
}

bool CopyFolderFiles(const std::string& from, const std::string& to) {
  WIN32_FIND_DATAW entry{};
  const HANDLE find = FindFirstFileW(Widen(from + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::string name = Narrow(entry.cFileName);
    ok = CopyFileW(Widen(from + "\\" + name).c_str(), Widen(to + "\\" + name).c_str(), FALSE) != FALSE;
  } while (ok && FindNextFileW(find, &entry));
  FindClose(find);
  return ok;
}

int CountFiles(const std::string& folder) {
  WIN32_FIND_DATAW entry{};
  const HANDLE find = FindFirstFileW(Widen(folder + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return count;
}

std::string MediaUnavailableReason() {
  const std::string folder = MediaFolder();
  if (folder.empty() || Environment("QUARNIMO_SOURCE_DIR").empty()) {
    return "the test does not know its build and source folders";
  }
  if (RawAttributes(folder) == INVALID_FILE_ATTRIBUTES) {
    return "the split_media fixture did not run (no " + folder + ")";
  }
  std::string reason = ReadWholeFile(folder + "\\unavailable");
  if (!reason.empty()) return reason;
  if (RawAttributes(FloppyFolder(1)) == INVALID_FILE_ATTRIBUTES) return "the test disks are not mounted";
  return {};
}

bool RunMedia(std::string_view action, int disk) {
  auto quoted = [](const std::string& text) { return "'" + text + "'"; };
  std::string script = "sh " + quoted(Environment("QUARNIMO_SOURCE_DIR") + "/tests/wine/split_media.sh") +
                       " " + std::string(action) + " " + quoted(Environment("QUARNIMO_BUILD_DIR")) + " " +
                       quoted(Environment("QUARNIMO_WINEPREFIX"));
  if (disk > 0) script += " " + std::to_string(disk);
  return RunHostScript(script) == 0;
}

std::string FloppyFolder(int disk) { return MediaFolder() + "\\fd" + std::to_string(disk); }

std::string FixedDiskFolder() { return MediaFolder() + "\\full"; }

}  // namespace qn::winetest
