#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/sim/sim_dialogs.h"
#include "platform/sim/sim_system.h"
#include "shell/settings.h"
#include "window/frm_main.h"

namespace qn::shell {
namespace {

using platform::sim::Op;

const std::string kFolder = "C:\\Program Files\\Quarnimo";
const std::string kIni = kFolder + "\\values.ini";

class Settings : public ::testing::Test {
 protected:
  platform::sim::SimSystem system;
  platform::sim::SimDialogs dialogs;

  std::string File() { return system.ReadFile(kIni); }
  // Names in the program's folder besides the program and values.ini: leftovers of a write.
  std::vector<std::string> Strays() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(system.HostPath(kFolder))) {
      const std::string name = entry.path().filename().string();
      if (name != "Quarnimo.exe" && name != "values.ini") names.push_back(name);
    }
    return names;
  }
};

TEST_F(Settings, ReadsTheFirstEntryAndRewritesEveryEntryKeepingOtherLines) {
  struct Case {
    const char* what;
    std::string file;
    int code;
    std::string read;   // what reading gives
    std::string after;  // the file once "N" is written for the code
  } cases[] = {
      {"spaces around key and value", "  dpath  =  C:\\x  \r\n", 0, "C:\\x", "  dpath  =N\r\n"},
      {"a value cut at its own \"=\"", "dpath=C:\\a=b\r\n", 0, "C:\\a", "dpath=N=b\r\n"},
      {"two entries: the first is read, both are written", "dpath=C:\\one\r\nx=1\r\ndpath=C:\\two\r\n", 0,
       "C:\\one", "dpath=N\r\nx=1\r\ndpath=N\r\n"},
      {"a key line without \"=\" is skipped and kept", "dpath\r\ndpath=C:\\y\r\n", 0, "C:\\y",
       "dpath\r\ndpath=N\r\n"},
      {"empty lines are dropped, blank ones kept", "\r\n   \r\n\r\nxpos=15\r\n", 100, "15",
       "   \r\nxpos=N\r\n"},
      {"a key in capitals is another key", "XPOS=15\r\n", 100, "", "XPOS=15\r\nxpos=N\r\n"},
      {"lone CR ends a line", "xpos=1\rypos=2\r", 101, "2", "xpos=1\r\nypos=N\r\n"},
      {"lone LF does not", "xpos=1\nypos=2\r\n", 100, "1\nypos", "xpos=N=2\r\n"},
      {"last line without a line end", "junk\r\nsizeopt=3", 3, "3", "junk\r\nsizeopt=N\r\n"},
      {"error keys are never read", "LastError=x\r\nLastErrorNumber=5\r\n", 255, "",
       "LastError=N\r\nLastErrorNumber=5\r\n"},
      {"Shift_JIS value", "dpath=C:\\\x94\\\x97\xcd\r\n", 0, "C:\\能力", "dpath=N\r\n"},
  };
  for (const Case& c : cases) {
    system.WriteFile(kIni, c.file);
    EXPECT_EQ(ReadSetting(system, c.code), c.read) << c.what << ": the stored choice is read wrongly";
    EXPECT_EQ(File(), c.file) << c.what << ": reading changed the file";
    WriteSetting(system, c.code, "N");
    EXPECT_EQ(File(), c.after) << c.what << ": the settings file is rewritten wrongly";
  }
}

TEST_F(Settings, MissingOrUnreadableFileGivesTheMarkerAndRecordsWhy) {
  WriteSetting(system, 8, "x");
  EXPECT_FALSE(system.Exists(kIni)) << "an unknown code created the settings file";
  EXPECT_EQ(ReadSetting(system, 255), kErrorValue)
      << "a missing file must read as the error marker, whatever the code";
  EXPECT_EQ(File(), "LastErrorNumber=0\r\nLastError=\r\n")
      << "a missing file must be created with the error keys";
  EXPECT_EQ(ReadSetting(system, 0), "") << "the created file has no choices yet";
  WriteSetting(system, 0, " x ");
  EXPECT_EQ(File(), "LastErrorNumber=0\r\nLastError=\r\ndpath= x \r\n") << "a value must be stored as given";

  system.WriteFile(kIni, "dpath=C:\\x\r\n");
  int failures = 1;
  system.fault = [&](Op op, std::string_view path) {
    return op == Op::kRead && path == kIni && failures-- > 0 ? platform::err::kCrc : platform::err::kNone;
  };
  EXPECT_EQ(ReadSetting(system, 0), kErrorValue) << "a read failure must read as the error marker";
  EXPECT_EQ(File(),
            "dpath=C:\\x\r\nLastErrorNumber=23\r\nLastError=Data error (cyclic redundancy check).\r\n")
      << "a read failure must be recorded by number and description";
}

TEST_F(Settings, AFailedWriteKeepsTheOldFileAndABriefLockIsWaitedFor) {
  const std::string old = "dpath=C:\\x\r\nxpos=15\r\n";
  struct Case {
    const char* what;
    Op op;
    platform::ErrorCode error;
    bool onTemporaryFile;
  } cases[] = {
      {"folder refuses new files", Op::kOpen, platform::err::kAccessDenied, true},
      {"disk full while writing", Op::kWrite, platform::err::kDiskFull, true},
      {"closing fails", Op::kClose, platform::err::kWriteFault, true},
      {"file stays locked", Op::kReplaceFile, platform::err::kSharingViolation, false},
  };
  for (const Case& c : cases) {
    system.WriteFile(kIni, old);
    system.fault = [&](Op op, std::string_view path) {
      const bool target = c.onTemporaryFile ? path != kIni : path == kIni;
      return op == c.op && target ? c.error : platform::err::kNone;
    };
    WriteSetting(system, 100, "99");
    system.fault = nullptr;
    EXPECT_EQ(File(), old) << c.what << ": a failed save damaged the stored settings";
    EXPECT_EQ(Strays(), std::vector<std::string>{}) << c.what << ": a failed save left a file behind";
  }
  int busy = 2;  // another instance holding the file for a moment
  system.fault = [&](Op op, std::string_view) {
    return op == Op::kReplaceFile && busy-- > 0 ? platform::err::kSharingViolation : platform::err::kNone;
  };
  WriteSetting(system, 100, "3");
  system.fault = nullptr;
  EXPECT_EQ(File(), "dpath=C:\\x\r\nxpos=3\r\n") << "a save was lost to a moment's lock by another instance";
}

class ApplyingSettings : public Settings {
 protected:
  window::FrmMain frm{system, dialogs};
};

TEST_F(ApplyingSettings, EachKeyTakesItsDefaultWhenNotAcceptable) {
  system.AddDrive('D');
  system.MakeFolders("D:\\Out");
  system.WriteFile("D:\\file.txt", "x");
  struct Case {
    const char* file;
    std::string outPath;
    int makeBatch, overwrite;
    double partSize;
    int sizeOption, sameDir;
    bool rangeMode;
  } cases[] = {
      {"", kFolder, 1, 0, 1457664, 0, 0, false},
      {"dpath= D:\\Out \r\nmakebatch=0\r\ncheckow=2\r\ndevsize=12345\r\nsizeopt=3\r\nsamedir=1\r\nformext=-1",
       "D:\\Out", 0, 2, 12345, 3, 1, true},
      {"dpath=D:\\file.txt\r\nmakebatch=x\r\ncheckow=3\r\nsizeopt=x\r\nsamedir=2\r\nformext=1", kFolder, 0, 0,
       1457664, 0, 0, false},
      {"dpath=D:\\missing\r\nmakebatch=10\r\ncheckow=02\r\nsizeopt=4\r\nsamedir=-1\r\nformext=x", kFolder, 1,
       0, 1457664, 0, 0, false},
      {"makebatch=.\r\nformext=-2\r\nsizeopt=3\r\ndevsize=2147483647", kFolder, 0, 0, 2147483647, 3, 0,
       false},
      {"sizeopt=3\r\ndevsize=2147483648\r\nformext=00", kFolder, 1, 0, 1457664, 3, 0, false},
      {"sizeopt=3\r\ndevsize=00000000005", kFolder, 1, 0, 1457664, 3, 0, false},
      {"sizeopt=3\r\ndevsize=0", kFolder, 1, 0, 1457664, 3, 0, false},
      {"sizeopt=3\r\ndevsize=1e3", kFolder, 1, 0, 1000, 3, 0, false},
      {"sizeopt=3\r\ndevsize=1.5", kFolder, 1, 0, 2, 3, 0, false},  // rounded as a typed size: as shown
  };
  for (const Case& c : cases) {
    window::FrmMain w(system, dialogs);
    system.WriteFile(kIni, c.file);
    ApplySettings(system, w);
    EXPECT_EQ(w.txtOutPath.Text(), c.outPath) << c.file << ": wrong output folder";
    EXPECT_EQ(w.chkMkBat.Value(), c.makeBatch) << c.file << ": wrong batch choice";
    EXPECT_EQ(w.split.byteHmny, c.overwrite) << c.file << ": wrong overwrite policy";
    EXPECT_TRUE(w.optHmny[static_cast<size_t>(c.overwrite)].Value())
        << c.file << ": wrong overwrite option shown";
    EXPECT_EQ(w.split.lngSpltSize, c.partSize) << c.file << ": wrong part size";
    EXPECT_EQ(w.split.byteSpltSize, c.sizeOption) << c.file << ": wrong size option";
    EXPECT_EQ(w.chkSamDir.Value(), c.sameDir) << c.file << ": wrong same-folder choice";
    EXPECT_EQ(w.mnuSettings[3].Checked(), c.rangeMode) << c.file << ": wrong range mode";
    EXPECT_EQ(w.txtSpltPart[0].Enabled() && w.txtSpltPart[1].Enabled(), c.rangeMode)
        << c.file << ": the range boxes must take input exactly in range mode";
  }
  system.WriteFile(kIni, "sizeopt=3\r\ndevsize=1");
  ApplySettings(system, frm);
  EXPECT_EQ(frm.lbl1[0].Caption(), "byte") << "a part size of 1 is one byte";
}

TEST_F(ApplyingSettings, TheCdOptionWarnsAndItsSizeReplacesTheStoredOne) {
  dialogs.Answer(platform::answer::kOk);  // the CD option's memory warning, checked in the window's tests
  dialogs.onBox = [](const platform::sim::BoxRecord& box) {
    EXPECT_EQ(box.style, 64) << "a box other than the CD option's memory warning came up";
  };
  system.WriteFile(
      kIni,
      "formext=-1\r\nsamedir=1\r\nsizeopt=2\r\ndevsize=12345\r\ncheckow=1\r\nmakebatch=0\r\ndpath=C:\\\r\n");
  ApplySettings(system, frm);
  EXPECT_EQ(frm.split.lngSpltSize, 681984000) << "a stored part size survives only with the free-size option";
  ConnectSettings(system, frm);
  frm.mnuSettings[6].UserClick();
  EXPECT_EQ(File(),
            "formext=-1\r\nsamedir=1\r\nsizeopt=2\r\ndevsize=681984000\r\ncheckow=1\r\nmakebatch=0\r\n"
            "dpath=C:\\\r\n")
      << "the save must write the preset's size and keep the file's order";
}

TEST_F(ApplyingSettings, MenuSavesTheWindowAndLoadsItBack) {
  ConnectSettings(system, frm);
  system.WriteFile(kIni, "LastErrorNumber=0\r\n");
  // Typed relative and saved before the focus left the box: the folder the
  // split would use is stored, not text a later start reads elsewhere.
  system.MakeFolders("C:\\DATA\\分割先");
  system.MakeFolders("C:\\DATA\\SUB");
  system.SetCurrentFolder("C:\\DATA\\SUB");
  frm.txtOutPath.SetText("..\\分割先");
  frm.chkMkBat.SetValue(1);
  frm.optHmny[2].Select();
  frm.split.lngSpltSize = 12345;
  frm.optSpltSize[3].Select();
  frm.chkSamDir.SetValue(1);
  frm.mnuSettings[3].UserClick();
  frm.mnuSettings[6].UserClick();
  EXPECT_EQ(File(),
            "LastErrorNumber=0\r\ndpath=C:\\DATA\\\x95\xaa\x8a\x84\x90\xe6\r\nmakebatch=1\r\ncheckow="
            "2\r\nsizeopt=3\r\n"
            "devsize=12345\r\nsamedir=1\r\nformext=-1\r\n")
      << "the menu save must write the seven choices in order";

  // A load that switches range mode on does what the menu item does.
  window::FrmMain other(system, dialogs);
  ConnectSettings(system, other);
  other.split.lngFileSize = 30000;  // three parts of the stored size, and a range within them
  other.split.lngSpltSize = 12345;
  other.Size_Change(0, 1);
  other.txtSpltPart[0].SetText("2");
  other.mnuSettings[5].UserClick();
  EXPECT_EQ(other.split.lngSpltSize, 12345) << "the menu load must bring the free size back";
  EXPECT_TRUE(other.mnuSettings[3].Checked()) << "the menu load must bring range mode back";
  EXPECT_EQ(other.form.Height(), 4995) << "the range row stays cut off after the load";
  EXPECT_TRUE(other.txtSpltPart[0].Enabled() && other.txtSpltPart[1].Enabled())
      << "the range cannot be typed after the load";
  EXPECT_EQ(other.txtSpltPart[0].Text() + "-" + other.txtSpltPart[1].Text(), "1-3")
      << "range mode must start from the whole plan";
}

// Recovery data is stored only once the user has chosen it, so that without
// it a save writes the file as it always did; what is stored is read back
// from either truth value a hand-edited file may hold.
TEST_F(ApplyingSettings, RecoveryDataIsStoredOnlyOnceChosenAndReadBackFromEitherTruthValue) {
  ConnectSettings(system, frm);
  const std::string seven =
      "LastErrorNumber=0\r\ndpath=C:\\Program Files\\Quarnimo\r\nmakebatch=1\r\ncheckow=0\r\nsizeopt=0\r\n"
      "devsize=1457664\r\nsamedir=0\r\nformext=0\r\n";
  system.WriteFile(kIni, "LastErrorNumber=0\r\n");
  frm.mnuSettings[5].UserClick();
  for (int save = 0; save < 2; ++save) {
    frm.mnuSettings[6].UserClick();
    EXPECT_EQ(File(), seven) << "a save without recovery data does not write the file it always wrote";
  }
  frm.mnuMakePar2.UserClick();
  frm.mnuSettings[6].UserClick();
  EXPECT_EQ(File(), seven + "makepar2=1\r\n") << "the chosen recovery data is not stored after range mode";
  frm.mnuMakePar2.UserClick();
  frm.mnuSettings[6].UserClick();
  EXPECT_EQ(File(), seven + "makepar2=0\r\n") << "turning recovery data off again is not stored";

  const struct {
    const char* line;
    bool checked;
  } loads[] = {{"makepar2=1", true},  {"makepar2=-1", true},  {"makepar2= 1 ", true}, {"makepar2=0", false},
               {"makepar2=2", false}, {"makepar2=x1", false}, {"makepar2=10", false}, {"makepar2", false}};
  for (const auto& load : loads) {
    system.WriteFile(kIni, std::string(load.line) + "\r\n");
    frm.mnuMakePar2.SetChecked(!load.checked);
    frm.mnuSettings[5].UserClick();
    EXPECT_EQ(frm.mnuMakePar2.Checked(), load.checked) << load.line << ": the load shows the wrong choice";
  }
}

}  // namespace
}  // namespace qn::shell
