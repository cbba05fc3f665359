// The settings file on Wine's real file system: code page 932 on disk, a
// write that cannot replace the file, and another process saving while this
// one reads.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/system_win32.h"
#include "shell/settings.h"
#include "tests/wine/support/gui.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

// The real machine with the program's folder moved to a test's folder.
class FolderSystem : public platform::win32::Win32System {
 public:
  explicit FolderSystem(std::string folder) : folder_(std::move(folder)) {}
  std::string ProgramFolder() override { return folder_; }

 private:
  std::string folder_;
};

// Names in `folder` other than values.ini: what a write may have left behind.
std::vector<std::string> Strays(const TempDir& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry{};
  const HANDLE find = FindFirstFileW(Widen(dir / "*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = Narrow(entry.cFileName);
    if (name != "." && name != ".." && name != "values.ini") names.push_back(name);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

TEST(ShellSettings, JapaneseFolderIsStoredInCodePage932AndReadBack) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  FolderSystem system(dir.path());
  ASSERT_EQ(GetACP(), 932u) << "the test needs the Japanese code page";
  shell::WriteSetting(system, shell::setting::kDpath, "C:\\能力\\分割先");
  EXPECT_EQ(ReadWholeFile(dir / "values.ini"), "dpath=C:\\\x94\\\x97\xcd\\\x95\xaa\x8a\x84\x90\xe6\r\n")
      << "values.ini must hold Shift_JIS, as other programs on the system read it";
  EXPECT_EQ(shell::ReadSetting(system, shell::setting::kDpath), "C:\\能力\\分割先")
      << "a Japanese output folder does not survive a save";
  EXPECT_EQ(Strays(dir), std::vector<std::string>{}) << "a save left a temporary file behind";
}

TEST(ShellSettings, ReadOnlyFileIsLeftAsItWasAndNothingIsLeftBehind) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  FolderSystem system(dir.path());
  const std::string ini = dir / "values.ini";
  ASSERT_TRUE(WriteWholeFile(ini, "xpos=15\r\n"));
  ASSERT_TRUE(SetFileAttributesW(Widen(ini).c_str(), FILE_ATTRIBUTE_READONLY));
  shell::WriteSetting(system, shell::setting::kXpos, "30");
  EXPECT_EQ(ReadWholeFile(ini), "xpos=15\r\n") << "a read-only settings file was changed";
  EXPECT_EQ(Strays(dir), std::vector<std::string>{}) << "a refused save left a temporary file behind";
  EXPECT_EQ(shell::ReadSetting(system, shell::setting::kXpos), "15");
}

TEST(ShellSettings, AReaderNeverSeesAHalfWrittenFileWhileAnotherProcessSaves) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string ini = dir / "values.ini";
  const char* const keys[] = {"LastErrorNumber", "LastError", "xpos",    "ypos",    "dpath",  "makebatch",
                              "checkow",         "sizeopt",   "devsize", "samedir", "formext"};
  std::string first;
  for (const char* key : keys) first += std::string(key) + "=0\r\n";
  ASSERT_TRUE(WriteWholeFile(ini, first));

  std::wstring command = L"\"" + Widen(BuildDir() + "\\tests\\wine\\shell_settings_writer.exe") + L"\" \"" +
                         Widen(dir.path()) + L"\" 80";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION writer{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &writer))
      << "the writer cannot be started: error " << GetLastError();
  CloseHandle(writer.hThread);

  int reads = 0;
  int bad = 0;
  std::string firstBad;
  bool writing = true;
  while (writing) {
    writing = WaitForSingleObject(writer.hProcess, 0) != WAIT_OBJECT_0;
    // Opened as every instance opens it for reading.
    const HANDLE file =
        CreateFileW(Widen(ini).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string content;
    if (file == INVALID_HANDLE_VALUE) {
      content = "<cannot open: error " + std::to_string(GetLastError()) + ">";
    } else {
      char buffer[4096];
      DWORD got = 0;
      while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
      CloseHandle(file);
    }
    ++reads;
    int lines = 0;
    for (size_t at = content.find("\r\n"); at != std::string::npos; at = content.find("\r\n", at + 2))
      ++lines;
    bool whole = lines == 11 && content.size() >= 2 && content.ends_with("\r\n");
    for (const char* key : keys) {
      whole = whole && (content.starts_with(std::string(key) + "=") ||
                        content.find("\r\n" + std::string(key) + "=") != std::string::npos);
    }
    if (!whole && bad++ == 0) firstBad = content;
  }
  DWORD code = 1;
  GetExitCodeProcess(writer.hProcess, &code);
  CloseHandle(writer.hProcess);
  EXPECT_EQ(code, 0u) << "the writer failed";
  EXPECT_GT(reads, 1) << "the reader never ran alongside the writer";
  EXPECT_EQ(bad, 0) << bad << " of " << reads
                    << " reads saw a cut or missing settings file while another instance saved; the first:\n"
                    << firstBad;
  EXPECT_EQ(shell::ReadSetting(*std::make_unique<FolderSystem>(dir.path()), shell::setting::kDevSize),
            std::to_string(1 + 79 * 7919))
      << "the last save is not what the file holds";
  EXPECT_EQ(Strays(dir), std::vector<std::string>{}) << "the saves left temporary files behind";
}

}  // namespace
}  // namespace qn::winetest
