#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/sim/sim_dialogs.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_window_host.h"
#include "shell/settings.h"
#include "shell/startup.h"

namespace qn::shell {
namespace {

const std::string kIni = "C:\\Program Files\\Quarnimo\\values.ini";
const std::string kStartupFailed =
    "起動エラー。起動できません。\r動作環境を満たしているかどうか確認して下さい。";

class Startup : public ::testing::Test {
 protected:
  platform::sim::SimSystem system;
  platform::sim::SimDialogs dialogs;
  platform::sim::SimWindowHost host;

  std::string File() { return system.ReadFile(kIni); }
};

TEST_F(Startup, StepsRunInOrderAndTheWindowShowsLast) {
  system.WriteFile(kIni, "xpos=1200\r\nypos=900\r\nsizeopt=1\r\n");
  Program program(system, dialogs, host);
  bool handedOver = false;
  program.intake.takeCommandLine = [&](Program& p) {
    handedOver = true;
    window::FrmMain& frm = *p.frmMAIN();
    EXPECT_FALSE(host.shown) << "the command line must be taken before the window shows";
    EXPECT_TRUE(host.hooked) << "drops must be hooked before the command line is taken";
    EXPECT_EQ(frm.form.Left(), 1200) << "the window must be placed before the command line is taken";
    EXPECT_EQ(frm.split.lngSpltSize, 1250304)
        << "the settings must be applied before the command line is taken";
    frm.split.lngFileCount = 7;  // as a plan computed for a file on the command line
    frm.form.SetState(ui::WindowState::kMinimized);
  };
  host.onShow = [&](ui::Form& form) {
    window::FrmMain& frm = *program.frmMAIN();
    EXPECT_EQ(form.Title(), "Quarnimo") << "the title must be the product name";
    EXPECT_EQ(form.State(), ui::WindowState::kNormal) << "the window must open in the normal state";
    EXPECT_EQ(frm.split.lngFileCount, 7) << "the part count the window shows must stay the split's plan";
    EXPECT_FALSE(frm.txtSpltPart[0].Enabled() || frm.txtSpltPart[1].Enabled())
        << "the range boxes, cut off without range mode, must not take the focus";
    for (const ui::Control* c :
         std::initializer_list<const ui::Control*>{&frm.lblInSelect, &frm.lblOutSelect, &frm.btnSpltExec}) {
      EXPECT_EQ(c->MousePointer(), ui::Pointer::kHand) << c->name() << " does not show the hand pointer";
    }
  };
  ASSERT_EQ(program.Start(), StartOutcome::kShown);
  EXPECT_TRUE(handedOver) << "the command-line hand-off never ran";
  EXPECT_EQ(host.calls, (std::vector<std::string>{"create", "accept drops", "hook", "show"}));
}

TEST_F(Startup, StoredPositionIsClampedToTheScreen) {
  // Screen 1024 x (705 + 19) pixels at 15 twips: 15360 x 10860 twips; window 4395 x 4995.
  struct Case {
    std::string file;
    int left, top;
  } cases[] = {
      {"", 0, 0},
      {"xpos=-500\r\nypos=-1\r\n", 0, 0},
      {"xpos=15360\r\nypos=10860\r\n", 15360, 10860},
      {"xpos=15361\r\nypos=10861\r\n", 10965, 5865},
      {"xpos=99999999\r\nypos=1e999\r\n", 10965, 5865},
      {"xpos=abc\r\nypos=1200.4 twips\r\n", 0, 1200},
  };
  for (const Case& c : cases) {
    (void)system.RemoveFile(kIni);
    if (!c.file.empty()) system.WriteFile(kIni, c.file);
    platform::sim::SimWindowHost h;
    Program program(system, dialogs, h);
    ASSERT_EQ(program.Start(), StartOutcome::kShown) << c.file;
    EXPECT_EQ(program.frmMAIN()->form.Left(), c.left)
        << c.file << ": the window opens at the wrong left edge";
    EXPECT_EQ(program.frmMAIN()->form.Top(), c.top) << c.file << ": the window opens at the wrong top edge";
  }
  EXPECT_EQ(File(), "xpos=abc\r\nypos=1200.4 twips\r\n") << "starting must not rewrite the settings";
}

TEST_F(Startup, ProgramNotNamedExeIsToldAndRecordedWithoutAWindow) {
  const std::string folder = "C:\\Program Files\\Quarnimo\\";
  (void)system.RemoveFile(folder + "Quarnimo.exe");
  system.WriteFile(folder + "Quarnimo.bin", "MZ");
  system.programFileName = "Quarnimo.bin";
  dialogs.Expect("Quarnimoの拡張子を、.exeに変更して下さい。", 48, "", platform::answer::kOk);
  Program program(system, dialogs, host);
  EXPECT_EQ(program.Start(), StartOutcome::kBadProgramName) << "a misnamed program passed the self check";
  EXPECT_EQ(host.calls, std::vector<std::string>{}) << "no window may be made";
  EXPECT_EQ(File(), std::string("LastErrorNumber=\0\r\nLastError=", 29) +
                        system.ToAnsi("Quarnimoのファイル名が不正である可能性があります。", nullptr) + "\r\n")
      << "the bad file name must be recorded";

  // The check looks for NAME.exe beside the program, whatever the program's own extension.
  system.WriteFile(folder + "Quarnimo.exe", "MZ");
  platform::sim::SimWindowHost h;
  Program named(system, dialogs, h);
  EXPECT_EQ(named.Start(), StartOutcome::kShown) << "a Quarnimo.exe beside the program failed the self check";
}

TEST_F(Startup, FailureInALaterStepIsToldRecordedAndShowsNoWindow) {
  const std::string noMemory =
      "LastErrorNumber=8\r\nLastError=Not enough memory resources are available to process this command.\r\n";
  struct Case {
    const char* what;
    platform::ErrorCode refuseWindow;
    std::function<void()> commandLine;
    std::string record;
  } cases[] = {
      {"window refused", platform::err::kNotEnoughMemory, nullptr, noMemory},
      {"other exception", 0, [] { throw std::runtime_error("broken"); },
       "LastErrorNumber=31\r\nLastError=broken\r\n"},
      {"out of memory", 0, [] { throw std::bad_alloc(); }, noMemory},
  };
  for (const Case& c : cases) {
    system.WriteFile(kIni, "xpos=0\r\n");
    platform::sim::SimDialogs boxes;
    boxes.Expect(kStartupFailed, 16, "", platform::answer::kOk);
    platform::sim::SimWindowHost h;
    h.createResult = c.refuseWindow;
    Program program(system, boxes, h);
    if (c.commandLine) program.intake.takeCommandLine = [&c](Program&) { c.commandLine(); };
    EXPECT_EQ(program.Start(), StartOutcome::kFailed) << c.what;
    EXPECT_FALSE(h.shown) << c.what << ": a failed start must not show the window";
    EXPECT_EQ(h.form, nullptr) << c.what << ": the window must be discarded";
    EXPECT_EQ(File(), "xpos=0\r\n" + c.record)
        << c.what << ": the failure must be recorded, nothing else saved";
  }
}

TEST_F(Startup, ClosingSavesOnlyThePositionAndRemovesTheDropHook) {
  const std::string stored =
      "LastErrorNumber=0\r\nLastError=\r\nxpos=1200\r\nypos=900\r\ndpath=C:\\\r\nmakebatch=1\r\ncheckow=0\r\n"
      "sizeopt=0\r\ndevsize=1457664\r\nsamedir=0\r\nformext=0\r\n";
  system.WriteFile(kIni, stored);
  Program program(system, dialogs, host);
  ASSERT_EQ(program.Start(), StartOutcome::kShown);

  window::FrmMain& frm = *program.frmMAIN();
  frm.chkMkBat.UserClick();
  frm.optSpltSize[1].UserClick();
  frm.form.PlatformPlaced(3000, 1500, frm.form.Width(), frm.form.Height(), ui::WindowState::kNormal);
  frm.mnuFiles[5].UserClick();  // 終了(&X)
  std::string saved = stored;
  saved.replace(saved.find("xpos=1200\r\nypos=900"), 19, "xpos=3000\r\nypos=1500");
  EXPECT_EQ(File(), saved) << "closing must save the position and nothing else";
  EXPECT_EQ(host.calls.back(), "unhook") << "closing must take the drop hook away";
  EXPECT_FALSE(host.Drop({"C:\\a.txt"})) << "a closed window takes no drops";

  // Without a file the first exit writes the two error keys and the position: four lines.
  (void)system.RemoveFile(kIni);
  platform::sim::SimWindowHost h;
  Program second(system, dialogs, h);
  ASSERT_EQ(second.Start(), StartOutcome::kShown);
  second.frmMAIN()->form.Move(-480000, 15);
  second.frmMAIN()->form.Close();
  EXPECT_EQ(File(), "LastErrorNumber=0\r\nLastError=\r\nxpos=-480000\r\nypos=15\r\n");
}

}  // namespace
}  // namespace qn::shell
