// The settings file of the real Quarnimo.exe on Wine's real file system:
// code page 932 on disk, a save that cannot replace the file, and this
// process reading while the program saves again and again.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/shim.h"
#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

constexpr const char* kSave = "mnuSettings(6)";

// Files in the folder other than the program and values.ini: what a save
// may have left behind.
std::vector<std::string> Strays(const TempDir& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry{};
  const HANDLE find = FindFirstFileW(Widen(dir / "*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = Narrow(entry.cFileName);
    const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!folder && name != "values.ini" && name != "Quarnimo.exe") names.push_back(name);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

TEST(ShellSettings, JapaneseFolderIsStoredInCodePage932AndReadBack) {
  ASSERT_EQ(GetACP(), 932u) << "the test needs the Japanese code page";
  TempDir dir;
  const std::string folder = dir / "能力";
  ASSERT_TRUE(dir.ok() && CreateDirectoryW(Widen(folder).c_str(), nullptr));
  {
    QuarnimoApp app(dir.path());
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(app.SetText("txtOutPath", folder));
    ASSERT_TRUE(app.ChooseMenu(kSave));
    EXPECT_NE(ReadWholeFile(dir / "values.ini").find("\r\ndpath=" + dir.path() + "\\\x94\\\x97\xcd\r\n"),
              std::string::npos)
        << "values.ini must hold Shift_JIS, as other programs on the system read it";
    EXPECT_EQ(app.Close(), 0);
  }
  QuarnimoApp again(dir.path());
  ASSERT_TRUE(again.ok()) << again.error();
  EXPECT_EQ(again.Text("txtOutPath"), folder) << "a Japanese output folder does not survive a save";
  EXPECT_EQ(Strays(dir), std::vector<std::string>{}) << "a save left a temporary file behind";
}

TEST(ShellSettings, ReadOnlyFileIsLeftAsItWasAndNothingIsLeftBehind) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string ini = dir / "values.ini";
  ASSERT_TRUE(WriteWholeFile(ini, "xpos=15\r\n"));
  ASSERT_TRUE(SetFileAttributesW(Widen(ini).c_str(), FILE_ATTRIBUTE_READONLY));
  QuarnimoApp app(dir.path());
  ASSERT_TRUE(app.ok()) << app.error();
  ASSERT_TRUE(app.ChooseMenu(kSave));
  EXPECT_TRUE(app.Idle()) << "a refused save must show nothing";
  EXPECT_EQ(app.Close(), 0);
  EXPECT_EQ(ReadWholeFile(ini), "xpos=15\r\n") << "a read-only settings file was changed";
  EXPECT_EQ(Strays(dir), std::vector<std::string>{}) << "a refused save left a temporary file behind";
}

TEST(ShellSettings, AReaderNeverSeesAHalfWrittenFileWhileTheProgramSaves) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string ini = dir / "values.ini";
  const std::vector<std::string> keys = {"LastErrorNumber", "LastError", "xpos",    "ypos",
                                         "dpath",           "makebatch", "checkow", "sizeopt",
                                         "devsize",         "samedir",   "formext"};
  std::string first;
  for (const std::string& key : keys) first += key + "=0\r\n";
  ASSERT_TRUE(WriteWholeFile(ini, first));
  QuarnimoApp app(dir.path());
  ASSERT_TRUE(app.ok()) << app.error();

  std::atomic<bool> saving = true;
  int reads = 0;
  int bad = 0;
  std::string firstBad;
  // The 9x line cannot move a file over another in one step: there a reader
  // may find no file for a moment, never a cut one.
  const bool gapAllowed = platform::win32::AnsiOnly();
  std::thread reader([&] {
    for (; saving; ++reads) {
      const std::string raw = ReadWholeFile(ini);
      if (raw.empty() && gapAllowed) continue;   // no file (the program never writes an empty one)
      const std::string content = "\r\n" + raw;  // so that every key follows a line end
      bool whole = content.ends_with("\r\n") && std::count(content.begin(), content.end(), '\n') == 12;
      for (const std::string& key : keys)
        whole = whole && content.find("\r\n" + key + "=") != std::string::npos;
      if (!whole && bad++ == 0) firstBad = content;
    }
  });
  // Lengths change from save to save, so a cut file cannot pass for a whole one.
  for (int round = 0; round < 60; ++round) {
    ASSERT_TRUE(app.SetText("txtOutPath", round % 2 == 0 ? "C:\\" : dir.path()));
    ASSERT_TRUE(app.SetChecked("chkMkBat", round % 2 == 0));
    ASSERT_TRUE(app.ChooseMenu(kSave));
  }
  saving = false;
  reader.join();
  // A reader as greedy as this one can hold the file through every retry of
  // a save, which then gives up and keeps the old file; once it stops, a save
  // must land.
  ASSERT_TRUE(app.ChooseMenu(kSave));
  EXPECT_GT(reads, 1) << "the reader never ran alongside the saves";
  EXPECT_EQ(bad, 0) << bad << " of " << reads
                    << " reads saw a cut or missing settings file while the program saved; the first:"
                    << firstBad;
  EXPECT_EQ(app.Setting("dpath"), dir.path()) << "the last save is not what the file holds";
  EXPECT_EQ(app.Close(), 0);
  EXPECT_EQ(Strays(dir), std::vector<std::string>{}) << "the saves left temporary files behind";
}

}  // namespace
}  // namespace qn::winetest
