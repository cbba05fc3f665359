// Quarnimo.exe's start and exit as the user meets them: each case copies the
// real program into a folder of its own (so it has its own values.ini),
// starts it, looks at its window, boxes and settings file from outside, and
// closes it the way a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/system_win32.h"
#include "tests/wine/support/gui.h"
#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/support/split_support.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

RECT Placement(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

// Moves the window to (`x`, `y`) pixels; gives the xpos and ypos lines the
// program must save for it at 96 dpi.
std::string MoveTo(HWND hwnd, int x, int y) {
  SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  guitest::PumpFor(200);
  return "xpos=" + std::to_string(x * 15) + "\r\nypos=" + std::to_string(y * 15) + "\r\n";
}

TEST(ShellStartup, FirstRunWritesTheErrorKeysAndThePositionAndTheNextRunOpensThere) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  {
    QuarnimoApp app(dir.path());
    ASSERT_TRUE(app.ok()) << app.error();
    EXPECT_EQ(Placement(app.window()).left, 0) << "without settings the window opens at the left border";
    EXPECT_EQ(Placement(app.window()).top, 0) << "without settings the window opens at the top border";
    const std::string position = MoveTo(app.window(), 100, 80);
    EXPECT_EQ(app.Close(), 0) << "closing must end the program normally";
    EXPECT_EQ(ReadWholeFile(dir / "values.ini"), "LastErrorNumber=0\r\nLastError=\r\n" + position)
        << "the first run must leave exactly the error keys and the position";
  }
  QuarnimoApp again(dir.path());
  ASSERT_TRUE(again.ok()) << again.error();
  EXPECT_EQ(Placement(again.window()).left, 100) << "the window must open where it was closed";
  EXPECT_EQ(Placement(again.window()).top, 80) << "the window must open where it was closed";
  EXPECT_EQ(again.Close(), 0);
}

TEST(ShellStartup, StoredSettingsReachTheRealControlsAndTheMenuSavesThemBack) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string stored =
      "xpos=1500\r\nypos=750\r\n sizeopt = 3 \r\ndevsize=12345\r\ncheckow=2\r\n"
      "makebatch=0\r\nsamedir=1\r\nformext=-1\r\ndpath=" +
      dir.path() + "\r\n";
  ASSERT_TRUE(WriteWholeFile(dir / "values.ini", stored));
  QuarnimoApp app(dir.path());
  ASSERT_TRUE(app.ok()) << app.error();

  EXPECT_EQ(app.Text("txt_Sizes"), "12,345") << "the stored free size is not shown";
  EXPECT_EQ(app.Text("txtOutPath"), dir.path()) << "the stored output folder is not shown";
  const struct {
    const char* control;
    bool checked;
  } marks[] = {{"optSpltSize(3)", true}, {"optSpltSize(0)", false}, {"optHmny(2)", true},
               {"optHmny(0)", false},    {"chkMkBat", false},       {"chkSamDir", true}};
  for (const auto& mark : marks) {
    EXPECT_EQ(app.Checked(mark.control), mark.checked) << mark.control << " does not show the stored choice";
  }
  EXPECT_FALSE(IsWindowEnabled(app.Control("txtOutPath"))) << "same-folder mode must lock the output box";
  const RECT r = Placement(app.window());
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.bottom - r.top, 333) << "range mode must show the range row (4995 twips)";

  // The menu's save writes back what the window holds, range-mode mark
  // included; closing by the menu then replaces only the position.
  ASSERT_TRUE(app.ChooseMenu("mnuSettings(6)"));
  std::string saved = stored;
  saved.replace(saved.find(" sizeopt = 3 "), 13, " sizeopt =3");
  EXPECT_EQ(ReadWholeFile(dir / "values.ini"), saved)
      << "the menu save does not write back the stored settings";
  const std::string position = MoveTo(app.window(), 40, 20);
  ASSERT_TRUE(app.ChooseMenu("mnuFiles(5)", false));
  EXPECT_EQ(app.WaitForExit(), 0) << "the menu's exit does not end the program normally";
  saved.replace(0, saved.find("ypos=750\r\n") + 10, position);
  EXPECT_EQ(ReadWholeFile(dir / "values.ini"), saved) << "closing must save the position and nothing else";
}

TEST(ShellStartup, StoredCdSizeWarnsBeforeTheWindowAppears) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteWholeFile(dir / "values.ini", "sizeopt=2\r\n"));
  QuarnimoApp app(dir.path());
  const SeenBox box =
      ExpectBox(app,
                "CD-Rサイズで分割する場合は、それだけメモリの容量が必要になります。\r\n"
                "とりあえず警告しますが、もしこれにより、パソコンが不安定になっても知りません。\r\n"
                "（今後、要望があれば小メモリでも分割できるようにする予定です。）",
                64);  // OK and the information icon
  EXPECT_FALSE(app.WaitForWindow(0)) << "the window must not show before the warning is answered";
  ASSERT_TRUE(box.hwnd != nullptr && app.Answer(box, IDOK));
  ASSERT_TRUE(app.WaitForWindow()) << "the window must show once the warning is answered";
  EXPECT_EQ(app.Close(), 0);
}

TEST(ShellStartup, ProgramWithAnotherExtensionAsksForExeAndRecordsWhy) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  QuarnimoApp app(dir.path(), "", "Quarnimo.bin");
  const SeenBox box = ExpectBox(app, "Quarnimoの拡張子を、.exeに変更して下さい。", 48);  // OK, exclamation
  EXPECT_FALSE(app.WaitForWindow(0)) << "no window may open for a misnamed program";
  ASSERT_TRUE(box.hwnd != nullptr && app.Answer(box, IDOK));
  EXPECT_GT(app.WaitForExit(), 0) << "the program must end after the box, with a non-zero exit code";
  EXPECT_EQ(ReadWholeFile(dir / "values.ini"),
            std::string("LastErrorNumber=\0\r\n", 19) + "LastError=" +
                platform::win32::Win32System().ToAnsi("Quarnimoのファイル名が不正である可能性があります。",
                                                      nullptr) +
                "\r\n")
      << "the misnamed program file must be recorded";
}

}  // namespace
}  // namespace qn::winetest
