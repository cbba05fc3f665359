// The real Quarnimo.exe's window driven from the keyboard, as a user who
// does not reach for the mouse: real key presses (SendInput) into the
// program's window, Tab and Shift+Tab from control to control, paths and
// sizes typed character by character, Enter for the split button.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/wine/support/gui.h"
#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/support/split_support.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

using Names = std::vector<std::string>;

// Presses Tab (Shift+Tab when `back`) and gives the control that has the
// focus once it has moved; "" when it did not move.
std::string Tab(QuarnimoApp& app, bool back = false) {
  const std::string from = app.Focused();
  std::string now;
  if (!app.PressKey(VK_TAB, back ? VK_SHIFT : 0)) return {};
  guitest::PumpUntil([&] { return (now = app.Focused()) != from; }, 10000);
  return now == from ? std::string() : now;
}

// Types `text` into the focused box and waits until the box shows `shows`.
bool TypeInto(QuarnimoApp& app, const std::string& box, const std::string& text, const std::string& shows) {
  return app.TypeText(text) && guitest::PumpUntil([&] { return app.Text(box) == shows; }, 10000);
}

// The stops of the window's focus order, as the design orders them, for
// two stored choices: every stop once, in order, forward and backward.
TEST(WindowKeys, TabAndShiftTabVisitTheControlsInTheDesignedOrder) {
  const Names common = {"txtInFile", "txtOutPath", "btnSpltExec", "chkMkBat", "chkSamDir", "optHmny(0)"};
  const struct {
    const char* what;
    const char* settings;
    Names rest;  // after the common stops
  } cases[] = {
      {"free size in range mode",
       "sizeopt=3\r\nformext=-1\r\n",
       {"optSpltSize(3)", "txtSpltPart(0)", "txtSpltPart(1)", "txt_Sizes"}},
      {"CD size without range mode: the cut-off range boxes are passed by",
       "sizeopt=2\r\n",
       {"optSpltSize(2)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    ASSERT_TRUE(dir.ok() && WriteWholeFile(dir / "values.ini", c.settings));
    QuarnimoApp app(dir.path());
    if (!app.ok()) {
      const std::optional<SeenBox> warning = app.NextBox();  // the CD size's memory warning comes first
      ASSERT_TRUE(warning && app.Answer(*warning, IDOK) && app.WaitForWindow()) << app.error();
    }
    ASSERT_TRUE(guitest::PumpUntil([&] { return app.Focused() == "txtInFile"; }, 10000))
        << "the window does not open with the focus in the source box";
    Names order = common;
    order.insert(order.end(), c.rest.begin(), c.rest.end());
    Names forward;
    for (size_t i = 0; i < order.size(); ++i) forward.push_back(Tab(app));
    Names expected(order.begin() + 1, order.end());
    expected.push_back(order.front());
    EXPECT_EQ(forward, expected) << "Tab must visit the controls in the designed order, then start again";
    Names backward;
    for (size_t i = 0; i < order.size(); ++i) backward.push_back(Tab(app, true));
    EXPECT_EQ(backward, Names(order.rbegin(), order.rend())) << "Shift+Tab must go back the same way";
  }
}

// A program folder and a data folder with its own output folder "out".
struct Folders {
  TempDir program;
  TempDir data;
  bool ok = program.ok() && data.ok() && CreateDirectoryW(Widen(data / "out").c_str(), nullptr);
};

// The source and the output folder typed key by key, each taken when Tab
// leaves its box; Enter in the folder box starts the split. Every prefix of
// the folder ("C:", "C:\\...\\out\\..") names something, and none of them may
// be put in its place while the user types.
TEST(WindowKeys, AFolderTypedKeyByKeyIsWhereEnterSplits) {
  Folders dirs;
  ASSERT_TRUE(dirs.ok &&
              WriteWholeFile(dirs.program / "values.ini", "sizeopt=3\r\ndevsize=1000\r\nmakebatch=0\r\n"));
  const std::string source = dirs.data / "source.bin";
  const std::string bytes = RandomBytes(2500, 7);
  ASSERT_TRUE(WriteWholeFile(source, bytes));
  QuarnimoApp app(dirs.program.path());
  ASSERT_TRUE(app.ok()) << app.error();
  ASSERT_TRUE(guitest::PumpUntil([&] { return app.Focused() == "txtInFile"; }, 10000));

  ASSERT_TRUE(TypeInto(app, "txtInFile", source, source)) << "the source box shows " << app.Text("txtInFile");
  ASSERT_EQ(Tab(app), "txtOutPath");
  EXPECT_EQ(app.Text("lblSize"), "Size: 2,500 bytes")
      << "leaving the source box did not take the typed source";
  const std::string typed = dirs.data / "out\\..\\out";
  ASSERT_TRUE(TypeInto(app, "txtOutPath", typed, typed))
      << "the folder was rewritten while it was typed: " << app.Text("txtOutPath");
  ASSERT_TRUE(app.PressKey(VK_RETURN));
  ExpectEnd(app, kFinished, kInformation);
  EXPECT_EQ(app.Text("txtOutPath"), dirs.data / "out") << "the split did not show the folder it used";
  for (int n = 1; n <= 3; ++n) {
    EXPECT_TRUE(ReadWholeFile(dirs.data / "out\\" + BareStem(source) + PartNumber(n)) ==
                bytes.substr(static_cast<size_t>(n - 1) * 1000, 1000))
        << "part " << n << " is missing from the typed folder or holds the wrong bytes";
  }
}

// The program started with the file `name` (holding `bytes`, in the data
// folder) on its command line, the free size 1000, no batch file and the
// output folder "out" stored, plus `more` settings; nullptr when it did not
// open with the focus in the source box.
std::unique_ptr<QuarnimoApp> StartedOn(const Folders& dirs, const std::string& name, const std::string& bytes,
                                       const std::string& more = {}) {
  const std::string settings = "sizeopt=3\r\ndevsize=1000\r\nmakebatch=0\r\ndpath=" + dirs.data / "out\r\n";
  if (!dirs.ok || !WriteWholeFile(dirs.program / "values.ini", settings + more) ||
      !WriteWholeFile(dirs.data / name, bytes)) {
    return nullptr;
  }
  auto app = std::make_unique<QuarnimoApp>(dirs.program.path(), dirs.data / name);
  if (!app->ok() || !guitest::PumpUntil([&] { return app->Focused() == "txtInFile"; }, 10000)) return nullptr;
  return app;
}

// Started with a file on the command line in range mode, the user gives a
// new free size, leaves the field (the part count and the range follow it at
// once) and types the range 2 to 3: Enter writes those two parts and no other.
TEST(WindowKeys, ARangeTypedAfterACommandLineStartAndANewSizeIsWhatEnterSplits) {
  Folders dirs;
  const std::unique_ptr<QuarnimoApp> started =
      StartedOn(dirs, "ten.bin", RandomBytes(10000, 3), "formext=-1\r\n");
  ASSERT_TRUE(started) << "the program did not start";
  QuarnimoApp& app = *started;
  ASSERT_EQ(app.Text("lblFInfo"), "10 File(s)") << "the command line's file was not planned";

  ASSERT_EQ(Tab(app, true), "txt_Sizes");
  ASSERT_TRUE(TypeInto(app, "txt_Sizes", "2500", "2500"));
  ASSERT_EQ(Tab(app, true), "txtSpltPart(1)");
  EXPECT_EQ(app.Text("txt_Sizes"), "2,500");
  EXPECT_EQ(app.Text("lblFInfo"), "4 File(s)") << "leaving the size field left the old part count";
  EXPECT_EQ(app.Text("txtSpltPart(0)") + "-" + app.Text("txtSpltPart(1)"), "1-4")
      << "the range does not follow the new part count";
  ASSERT_TRUE(TypeInto(app, "txtSpltPart(1)", "3", "3"));
  ASSERT_EQ(Tab(app, true), "txtSpltPart(0)");
  ASSERT_TRUE(TypeInto(app, "txtSpltPart(0)", "2", "2"));
  ASSERT_TRUE(app.PressKey(VK_RETURN));
  ExpectEnd(app, kFinished, kInformation);
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(RawAttributes(dirs.data / "out\\ten." + PartNumber(n)) != INVALID_FILE_ATTRIBUTES,
              n == 2 || n == 3)
        << "part " << n << ": the typed range 2 to 3 is not what was written";
  }
}

// A size typed into the free-size field and Enter at once: the focus never
// leaves the field, and the split must still use what was typed.
TEST(WindowKeys, ASizeTypedJustBeforeEnterIsTheSizeSplit) {
  Folders dirs;
  const std::string bytes = RandomBytes(2500, 5);
  const std::unique_ptr<QuarnimoApp> started = StartedOn(dirs, "size.bin", bytes);
  ASSERT_TRUE(started) << "the program did not start";
  QuarnimoApp& app = *started;
  ASSERT_EQ(Tab(app, true), "txt_Sizes");
  ASSERT_TRUE(TypeInto(app, "txt_Sizes", "1200", "1200"));
  ASSERT_TRUE(app.PressKey(VK_RETURN));
  ExpectEnd(app, kFinished, kInformation);
  const std::string stem = dirs.data / "out\\size.";
  EXPECT_EQ(ReadWholeFile(stem + PartNumber(1)), bytes.substr(0, 1200)) << "the split used the old size";
  EXPECT_EQ(ReadWholeFile(stem + PartNumber(3)), bytes.substr(2400)) << "the last part is not the rest";
  EXPECT_EQ(RawAttributes(stem + PartNumber(4)), INVALID_FILE_ATTRIBUTES)
      << "the old size's parts were written";
}

// The open popup menu of the program; nullptr when no menu is open.
HWND OpenMenu(const QuarnimoApp& app) {
  for (HWND top : guitest::TopLevelWindows(app.processId())) {
    if (guitest::ClassName(top) == "#32768") return top;
  }
  return nullptr;
}

// The recovery item, chosen from the keyboard in the open settings menu,
// turns the choice the menu's save stores on and off and touches nothing
// else; during a split even a command sent past the locked menu bar changes
// nothing. (Another process cannot read the mark itself under Wine.)
TEST(WindowKeys, TheRecoveryItemTogglesFromTheKeyboardButNotDuringASplit) {
  Folders dirs;
  const std::unique_ptr<QuarnimoApp> started =
      StartedOn(dirs, "par.bin", RandomBytes(2500, 9), "checkow=2\r\n");
  ASSERT_TRUE(started) << "the program did not start";
  QuarnimoApp& app = *started;
  auto saved = [&] {
    return app.ChooseMenu("mnuSettings(6)") ? app.Setting("makepar2").value_or("none") : "no save";
  };
  EXPECT_EQ(saved(), "none") << "recovery data is chosen, or stored, before the user asked for it";
  const std::string info = app.Text("lblFInfo");
  for (bool on : {true, false}) {
    SCOPED_TRACE(on ? "turning it on" : "turning it off");
    ASSERT_TRUE(app.PressKey('S', VK_MENU));
    HWND menu = nullptr;
    ASSERT_TRUE(guitest::PumpUntil([&] { return (menu = OpenMenu(app)) != nullptr; }, 10000))
        << "Alt+S does not open the settings menu";
    if (!on) {                // the mark shows on the item
      guitest::PumpFor(300);  // let the menu reach the X screen
      RECT shown{};
      RECT popup{};
      GetWindowRect(app.window(), &shown);
      GetWindowRect(menu, &popup);
      UnionRect(&shown, &shown, &popup);
      const std::string folder = guitest::ScreenshotFolder();
      EXPECT_TRUE(!folder.empty() && guitest::SaveScreenImage(shown, folder + "\\settings_menu.bmp"))
          << "the open settings menu could not be saved";
    }
    ASSERT_TRUE(app.PressKey('R'));
    ASSERT_TRUE(guitest::PumpUntil([&] { return OpenMenu(app) == nullptr; }, 10000) && app.Settled())
        << "R does not choose an item of the settings menu";
    EXPECT_EQ(saved(), on ? "1" : "0") << "R does not toggle the recovery item";
  }
  EXPECT_EQ(app.Text("lblFInfo"), info) << "the recovery item changed the part count text";

  ASSERT_TRUE(WriteWholeFile(dirs.data / "out\\" + BareStem(dirs.data / "par.bin") + PartNumber(1), "old"));
  ASSERT_TRUE(app.StartSplit());
  const std::optional<SeenBox> ask = app.NextBox();
  ASSERT_TRUE(ask && ask->style == 35) << "the split does not ask about the existing part";
  ASSERT_TRUE(app.ChooseMenu("mnuMakePar2", false) && app.Settled());  // handled while the box is up
  ASSERT_TRUE(app.Answer(*ask, IDCANCEL));
  ExpectEnd(app, "分割を中断しました", 48);
  EXPECT_EQ(saved(), "0") << "the recovery choice changed during the split";
}

}  // namespace
}  // namespace qn::winetest
