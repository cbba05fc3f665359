// The help menu: the help document and the support page handed to the shell,
// and the version dialog with its version and build texts.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/sim/sim_dialogs.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_window_host.h"
#include "shell/help.h"
#include "shell/startup.h"
#include "window/frm_version.h"

namespace qn::shell {
namespace {

const std::string kHelpMissing = "readme.htmlが見つかりません";

TEST(VersionTexts, ShowTwoDigitsOfTheMinorNumberAndFourOfTheBuild) {
  struct Case {
    int major, minor, revision;
    const char* version;
    const char* build;
  } cases[] = {{3, 405, 0, "3.04", "0000"},
               {1, 99, 7, "1.00", "0007"},
               {1, 1000, 65535, "1.10", "65535"},
               {2, -5, 7, "2.00", "0007"}};
  for (const Case& c : cases) {
    EXPECT_EQ(window::VersionText(c.major, c.minor), c.version)
        << "major " << c.major << ", minor " << c.minor;
    EXPECT_EQ(window::BuildText(c.revision), c.build) << "revision " << c.revision;
  }
}

TEST(HelpDocument, LiesBesideTheProgramWithOneBackslash) {
  EXPECT_EQ(HelpDocumentPath("C:\\"), "C:\\readme.html") << "a program in a drive root";
}

class HelpMenu : public ::testing::Test {
 protected:
  platform::sim::SimSystem system;
  platform::sim::SimDialogs dialogs;
  platform::sim::SimWindowHost host;
  Program program{system, dialogs, host};
  window::FrmMain* frm = nullptr;

  void SetUp() override {
    ASSERT_EQ(program.Start(), StartOutcome::kShown);
    frm = program.frmMAIN();
  }
};

TEST_F(HelpMenu, TheHelpDocumentOpensThroughTheShellOrTheUserIsTold) {
  const std::string folder = "C:\\Program Files\\Quarnimo";
  const std::string document = folder + "\\readme.html";
  // The shell's answer alone decides; a really missing document is tried on Wine.
  struct Case {
    const char* what;
    intptr_t shellResult;
    bool told;
  } cases[] = {{"the shell's lowest success", 33, false}, {"the shell's highest failure", 32, true}};
  for (const Case& c : cases) {
    system.shellOpenResult = c.shellResult;
    system.shellOpens.clear();
    if (c.told) dialogs.Expect(kHelpMissing, 48, "", platform::answer::kOk);

    frm->mnuHelps[0].UserClick();
    ASSERT_EQ(system.shellOpens.size(), 1u) << c.what << ": the help document was not handed to the shell";
    EXPECT_EQ(system.shellOpens[0].target, document) << c.what;
    EXPECT_EQ(system.shellOpens[0].folder, folder) << c.what << ": the document opens in the wrong folder";
    EXPECT_EQ(system.shellOpens[0].owner, host.handle) << c.what << ": the shell's window has no owner";
  }
}

TEST_F(HelpMenu, TheSupportPageOpensAndAFailureIsNotReported) {
  system.shellOpenResult = 2;  // any box about it fails the test
  frm->mnuHelps[1].UserClick();
  ASSERT_EQ(system.shellOpens.size(), 1u) << "the support page was not handed to the shell";
  EXPECT_EQ(system.shellOpens[0].target, kSupportPageAddress) << "the menu opens the wrong page";
  EXPECT_EQ(system.shellOpens[0].folder, "C:\\Program Files\\Quarnimo");
}

// The dialog's look, icon and closing are checked on the real window; here
// each opening must show the program information of that moment.
TEST_F(HelpMenu, TheVersionDialogIsFreshAndModalEachTime) {
  using Captions = std::map<std::string, std::string>;  // by label name
  std::vector<Captions> shown;
  host.onModal = [&](ui::Form& form) {
    Captions& seen = shown.emplace_back();
    for (ui::Control* control : form.Controls()) {
      if (control->name().starts_with("lblpname")) seen[control->name()] = control->Caption();
      if (control->Caption() == "閉じる") control->UserClick();
    }
    EXPECT_TRUE(form.Closed()) << "閉じる does not close the version dialog";
  };

  system.programInfo = {"Quarnimo", "Quarnimo Splitter", "Copyright (C) 2026 Someone", 3, 1250, 7};
  frm->mnuHelps[3].UserClick();
  system.programInfo = {"Quarnimo", "Other Title", "(C) Other", 2, 405, 2345};
  frm->mnuHelps[3].UserClick();

  ASSERT_EQ(host.modalForms.size(), 2u) << "the version dialog was not shown modally each time";
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], (Captions{{"lblpname(0)", "Quarnimo Splitter"},
                                {"lblpname(1)", "Copyright (C) 2026 Someone"},
                                {"lblpname(2)", "3.12"},
                                {"lblpname(3)", "0007"}}))
      << "the dialog shows the wrong program information";
  EXPECT_EQ(shown[1]["lblpname(2)"], "2.04") << "a second opening must show freshly filled labels";
  EXPECT_EQ(shown[1]["lblpname(3)"], "2345") << "a second opening must show freshly filled labels";
}

}  // namespace
}  // namespace qn::shell
