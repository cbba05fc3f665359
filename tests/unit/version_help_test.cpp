// The help menu: the help document and the support page handed to the shell,
// and the version dialog with its version and build texts.
#include <gtest/gtest.h>

#include <map>
#include <optional>
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
  struct Version {
    int major, minor;
    const char* text;
  } versions[] = {
      {3, 1250, "3.12"}, {3, 405, "3.04"},    {1, 99, "1.00"},
      {1, 1000, "1.10"}, {12, 9999, "12.99"}, {2, -5, "2.00"},
  };
  for (const Version& v : versions) {
    EXPECT_EQ(window::VersionText(v.major, v.minor), v.text) << "major " << v.major << ", minor " << v.minor;
  }
  struct Build {
    int revision;
    const char* text;
  } builds[] = {{0, "0000"}, {7, "0007"}, {131, "0131"}, {2345, "2345"}, {65535, "65535"}};
  for (const Build& b : builds) {
    EXPECT_EQ(window::BuildText(b.revision), b.text) << "revision " << b.revision;
  }
}

TEST(HelpDocument, LiesBesideTheProgramWithOneBackslash) {
  EXPECT_EQ(HelpDocumentPath("C:\\Program Files\\Quarnimo"), "C:\\Program Files\\Quarnimo\\readme.html");
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
  struct Case {
    const char* what;
    std::optional<intptr_t> shellResult;  // unset: as the shell finds the file
    bool present;
    bool told;
  } cases[] = {
      {"present", {}, true, false},
      {"missing", {}, false, true},
      {"the shell's lowest success", 33, true, false},
      {"the shell's highest failure", 32, true, true},
  };
  for (const Case& c : cases) {
    if (c.present) {
      system.WriteFile(document, "<html></html>");
    } else {
      (void)system.RemoveFile(document);
    }
    system.shellOpenResult = c.shellResult;
    system.shellOpens.clear();
    dialogs.boxes.clear();
    if (c.told) dialogs.Expect(kHelpMissing, 48, "", platform::answer::kOk);

    frm->mnuHelps[0].UserClick();
    ASSERT_EQ(system.shellOpens.size(), 1u) << c.what << ": the help document was not handed to the shell";
    EXPECT_EQ(system.shellOpens[0].target, document) << c.what;
    EXPECT_EQ(system.shellOpens[0].folder, folder) << c.what << ": the document opens in the wrong folder";
    EXPECT_EQ(system.shellOpens[0].owner, host.handle) << c.what << ": the shell's window has no owner";
    EXPECT_EQ(dialogs.boxes.size(), c.told ? 1u : 0u) << c.what;
  }
}

TEST_F(HelpMenu, TheSupportPageOpensAndAFailureIsNotReported) {
  for (intptr_t result : {42, 2}) {
    system.shellOpenResult = result;
    system.shellOpens.clear();
    frm->mnuHelps[1].UserClick();
    ASSERT_EQ(system.shellOpens.size(), 1u) << "the support page was not handed to the shell";
    EXPECT_EQ(system.shellOpens[0].target, kSupportPageAddress);
    EXPECT_EQ(system.shellOpens[0].folder, "C:\\Program Files\\Quarnimo");
  }
  EXPECT_TRUE(dialogs.boxes.empty()) << "a support page that cannot open must not be reported";
}

TEST_F(HelpMenu, TheVersionDialogIsFreshAndModalEachTime) {
  struct Shown {
    std::map<std::string, std::string> captions;  // by label name
    int icon;
    bool closed;
  };
  std::vector<Shown> shown;
  host.onModal = [&](ui::Form& form) {
    Shown seen{{}, 0, false};
    ui::CommandButton* close = nullptr;
    for (ui::Control* control : form.Controls()) {
      if (control->kind() == ui::Kind::kImage) seen.icon = static_cast<ui::Image*>(control)->iconResource;
      if (control->name().starts_with("lblpname")) seen.captions[control->name()] = control->Caption();
      if (control->name() == "btnClose") close = static_cast<ui::CommandButton*>(control);
    }
    ASSERT_NE(close, nullptr) << "the dialog has no close button";
    EXPECT_TRUE(close->isDefault) << "Enter must close the dialog";
    close->UserClick();
    seen.closed = form.Closed();
    shown.push_back(seen);
  };

  system.programInfo = {"Quarnimo", "Quarnimo Splitter", "Copyright (C) 2026 Someone", 3, 1250, 7};
  frm->mnuHelps[3].UserClick();
  system.programInfo = {"Quarnimo", "Other Title", "(C) Other", 2, 405, 2345};
  frm->mnuHelps[3].UserClick();

  ASSERT_EQ(shown.size(), 2u) << "the version dialog was not shown modally each time";
  using Captions = std::map<std::string, std::string>;
  EXPECT_EQ(shown[0].captions, (Captions{{"lblpname(0)", "Quarnimo Splitter"},
                                         {"lblpname(1)", "Copyright (C) 2026 Someone"},
                                         {"lblpname(2)", "3.12"},
                                         {"lblpname(3)", "0007"}}))
      << "the dialog shows the wrong program information";
  EXPECT_EQ(shown[1].captions["lblpname(2)"], "2.04") << "a second opening must show freshly filled labels";
  EXPECT_EQ(shown[1].captions["lblpname(3)"], "2345") << "a second opening must show freshly filled labels";
  EXPECT_EQ(shown[0].icon, frm->form.iconResource) << "the dialog must show the main window's icon";
  EXPECT_TRUE(shown[0].closed) << "the close button does not close the dialog";
  EXPECT_EQ(host.modalForms, (std::vector<std::string>{"バージョン情報", "バージョン情報"}));
  EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
}  // namespace qn::shell
