// Choosing the source and the output folder in the main window: the two
// dialogs, typed paths and the size shown for a source.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/sim_dialogs.h"
#include "platform/sim/sim_system.h"
#include "window/frm_main.h"

namespace qn::window {
namespace {

class Selection : public ::testing::Test {
 protected:
  platform::sim::SimSystem system;
  platform::sim::SimDialogs dialogs;
  FrmMain frm{system, dialogs};
  std::vector<platform::ErrorCode> recorded;

  void SetUp() override {
    frm.recordError = [this](platform::ErrorCode code) { recorded.push_back(code); };
    frm.optSpltSize[0].UserClick();  // parts of 1,457,664 bytes
  }
  void LeaveSourceBox() {
    frm.form.UserMoveFocus(&frm.txtInFile);
    frm.form.UserMoveFocus(&frm.txtOutPath);
  }
};

TEST_F(Selection, AChosenSourceShowsItsSizeAndRefreshesThePlan) {
  struct Case {
    const char* made;  // the file on disk
    const char* path;  // as the dialog gives it
    int64_t length;
    const char* sizeText;
    double parts;
  } cases[] = {
      {"C:\\empty.bin", "C:\\empty.bin", 0, "Size: 0 byte", 1},
      {"C:\\one.bin", "C:\\one.bin", 1, "Size: 1 byte", 1},
      {"C:\\Program Files\\big.iso", "C:\\PROGRA~1\\big.iso", 3000000000, "Size: 3,000,000,000 bytes", 2059},
  };
  for (const Case& c : cases) {
    system.MakeSparseFile(c.made, c.length);
    dialogs.ChooseFile(c.path);
    frm.lblInSelect.UserClick();
    EXPECT_EQ(frm.txtInFile.Text(), c.path) << "the chosen path must be shown as the dialog gives it";
    EXPECT_EQ(frm.split.lngFileSize, static_cast<double>(c.length))
        << c.path << ": the split would be planned for the wrong length";
    EXPECT_EQ(frm.lblSize.Caption(), c.sizeText) << c.path << ": the size is shown wrongly";
    EXPECT_EQ(frm.split.lngFileCount, c.parts) << c.path << ": the part count was not refreshed";
  }
}

TEST_F(Selection, CancellingOrAnUnmeasurableFileChangesNothingAndTheLastChoiceComesBack) {
  system.WriteFile("C:\\a.bin", "aaa");
  system.WriteFile("C:\\typed.bin", "typed");
  system.WriteFile("C:\\locked.bin", "locked");
  dialogs.ChooseFile("C:\\a.bin");
  frm.mnuFiles[0].UserClick();

  frm.txtInFile.UserEdit("C:\\typed.bin", 12);  // a source taken by typing
  LeaveSourceBox();
  EXPECT_EQ(frm.split.lngFileSize, 5) << "the typed source was not taken";

  dialogs.CancelOpenFile();
  frm.mnuFiles[0].UserClick();
  ASSERT_EQ(dialogs.openFileCalls.size(), 2u);
  EXPECT_EQ(dialogs.openFileCalls[1].fileName, "C:\\a.bin")
      << "the next dialog must start at the last file chosen in a dialog, not at a typed one";
  EXPECT_EQ(frm.txtInFile.Text(), "C:\\typed.bin") << "cancelling the dialog changed the source";
  EXPECT_EQ(frm.split.lngFileSize, 5) << "cancelling the dialog changed the size";

  system.fault = [](platform::sim::Op op, std::string_view path) -> platform::ErrorCode {
    return op == platform::sim::Op::kFileLength && path.find("locked") != std::string_view::npos
               ? platform::err::kAccessDenied
               : platform::err::kNone;
  };
  dialogs.ChooseFile("C:\\locked.bin");
  frm.mnuFiles[0].UserClick();
  EXPECT_EQ(frm.txtInFile.Text(), "C:\\typed.bin") << "a source without a length must not be shown";
  EXPECT_EQ(frm.split.lngFileSize, 5) << "the old source's size must stay";
  EXPECT_EQ(recorded, std::vector<platform::ErrorCode>{platform::err::kAccessDenied})
      << "the failure must go to LastErrorNumber";

  frm.txtOutPath.SetText("C:\\");
  dialogs.CancelFolder();
  frm.lblOutSelect.UserClick();
  EXPECT_EQ(frm.txtOutPath.Text(), "C:\\") << "cancelling the folder dialog changed the output folder";
}

TEST_F(Selection, TypedPathsAreMadeAbsoluteAndLong) {
  system.MakeFolders("C:\\Data Files\\sub");
  system.WriteFile("C:\\Data Files\\sub\\Report 2024.doc", std::string(3000000, 'r'));
  system.WriteFile("C:\\plain.txt", "12345");
  system.SetCurrentFolder("C:\\Data Files");
  struct Case {
    const char* typed;
    const char* shown;  // what the box holds afterwards
    double size;        // lngFileSize afterwards
  } cases[] = {
      {"sub\\Report 2024.doc", "C:\\Data Files\\sub\\Report 2024.doc", 3000000},
      {"c:\\PLAIN.TXT", "c:\\PLAIN.TXT", 5},  // no "~": only made absolute, spelling kept
      {"..\\plain.txt", "C:\\plain.txt", 5},
      {"C:\\missing.bin", "C:\\missing.bin", 5},  // nothing there: text, size and plan stay
      {"", "", 5},
  };
  for (const Case& c : cases) {
    frm.txtInFile.UserEdit(c.typed, 0);
    LeaveSourceBox();
    EXPECT_EQ(frm.txtInFile.Text(), c.shown) << "typed \"" << c.typed << "\"";
    EXPECT_EQ(frm.split.lngFileSize, c.size) << "typed \"" << c.typed << "\": wrong source size";
  }
  EXPECT_EQ(frm.lblSize.Caption(), "Size: 5 bytes") << "a missing path must not change the size shown";

  frm.txtInFile.UserEdit("C:\\plain.txt", 0);
  LeaveSourceBox();
  system.WriteFile("C:\\plain.txt", std::string(1457665, 'p'));  // two parts now
  LeaveSourceBox();
  EXPECT_EQ(frm.split.lngFileSize, 1457665) << "leaving the box must read the file's length again";
  EXPECT_EQ(frm.txtSpltPart[1].Text(), "2") << "a new part count must reset the range";
}

// The folder box is left alone while the user types: every prefix of a path
// names some folder ("C:", "\\", ".."), and rewriting it under the caret
// makes the path impossible to type. Leaving the box, or the split, makes it
// whole; a folder chosen in the dialog or dropped shows its normal form at once.
TEST_F(Selection, ATypedFolderStaysAsTypedUntilTheFocusLeaves) {
  system.MakeFolders("C:\\Data Files\\sub");
  system.AddShare("\\\\server\\share");
  system.SetCurrentFolder("C:\\Data Files");
  struct Case {
    const char* typed;
    const char* shown;  // once the focus has left the box
  } cases[] = {
      {"C:\\DATAFI~1\\sub", "C:\\Data Files\\sub"},
      {"..", "C:\\"},
      {"\\\\server\\share", "\\\\server\\share"},
      {"C:\\Data Files\\New", "C:\\Data Files\\New"},  // not there (yet): as typed
  };
  for (const Case& c : cases) {
    frm.form.UserMoveFocus(&frm.txtOutPath);  // selects the old folder, which typing replaces
    const std::string typed = c.typed;
    for (size_t i = 0; i < typed.size(); ++i) {
      int key = static_cast<unsigned char>(typed[i]);
      frm.txtOutPath.UserKeyPress(key);
      ASSERT_EQ(frm.txtOutPath.Text(), typed.substr(0, i + 1))
          << "typing \"" << c.typed << "\" was rewritten";
    }
    frm.form.UserMoveFocus(&frm.txtInFile);
    EXPECT_EQ(frm.txtOutPath.Text(), c.shown) << "typed \"" << c.typed << "\", then left the box";
  }

  dialogs.ChooseFolder("C:\\DATAFI~1\\sub");
  frm.lblOutSelect.UserClick();
  EXPECT_EQ(frm.txtOutPath.Text(), "C:\\Data Files\\sub")
      << "a chosen folder must show its long form at once";
}

TEST_F(Selection, ALockedWindowDoesNotTakeATypedSource) {
  system.WriteFile("C:\\a.bin", "aaaa");
  frm.txtInFile.UserEdit("C:\\A.BIN", 0);
  frm.form.UserMoveFocus(&frm.txtInFile);
  frm.SetControlsEnabled(0);
  frm.form.UserMoveFocus(&frm.txtOutPath);
  EXPECT_EQ(frm.split.lngFileSize, -1) << "a focus change during a split swapped the source under it";
  frm.SetControlsEnabled(-1);
  LeaveSourceBox();
  EXPECT_EQ(frm.split.lngFileSize, 4) << "after the split the typed source must be taken again";
}

}  // namespace
}  // namespace qn::window
