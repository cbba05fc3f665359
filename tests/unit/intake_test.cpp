// Paths handed to the program on its command line or dropped on its window:
// which becomes the source or the output folder, which get instances of
// their own, and what the user is asked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_dialogs.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_window_host.h"
#include "shell/intake.h"
#include "shell/startup.h"

namespace qn::shell {
namespace {

using platform::answer::kNo;
using platform::answer::kOk;
using platform::answer::kYes;
using Strings = std::vector<std::string>;

const std::string kIni = "C:\\Program Files\\Quarnimo\\values.ini";
const std::string kInstance = "\"C:\\PROGRA~1\\Quarnimo\\Quarnimo.exe\" ";  // what starts a further instance
const std::string kFolderQuestion =
    "ドロップされたオブジェクトはフォルダです。\r\rこのフォルダを出力先に設定しますか？";
const std::string kManyQuestion = "複数のファイルがドロップされました。\r\r全てのファイルを処理しますか？";
const std::string kStartupFailed =
    "起動エラー。起動できません。\r動作環境を満たしているかどうか確認して下さい。";

TEST(CommandText, IsCutAtDriveLettersAndNetworkPrefixesFromTheEnd) {
  struct Case {
    const char* text;
    Strings candidates;
  } cases[] = {
      {"", {}},
      {"C:", {"C:"}},
      {"x C:\\a.txt", {"C:\\a.txt"}},  // what stands before the first drive is no path
      {"能:\\a.txt", {"能:\\a.txt"}},  // a drive "letter" is one character, whatever its bytes
      {"a:b:c", {"b:c"}},              // a rest of two characters is never cut
      {"ab:C:\\f", {"C:\\f"}},         // the character just before a cut is not looked at
      // A pair of quotation marks holds one path; the text around it is cut as ever.
      {"\"C:\\a b\" D:\\c \"\\\\s\\x y\"", {"\\\\s\\x y", "D:\\c", "C:\\a b"}},
      {"\"C:\\a.txt", {"C:\\a.txt"}},  // a lone quotation mark is no pair
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutCommandText(c.text), c.candidates) << "command text \"" << c.text << "\"";
  }
}

class Intake : public ::testing::Test {
 protected:
  platform::sim::SimSystem system;
  platform::sim::SimDialogs dialogs;

  // The files given to further instances, each of which must be this program started minimized.
  Strings Started() {
    Strings started;
    for (const platform::sim::StartedProcess& process : system.startedProcesses) {
      EXPECT_TRUE(process.commandLine.starts_with(kInstance))
          << process.commandLine << " is not this program";
      EXPECT_EQ(process.show, platform::ShowMode::kMinimized) << "a further instance must start minimized";
      started.push_back(process.commandLine.substr(kInstance.size()));
    }
    return started;
  }

  void SetUp() override {
    system.AddDrive('D');
    system.AddShare("\\\\server\\share");
    system.WriteFile("C:\\My Files\\report one.txt", "report");
    system.WriteFile("C:\\a.txt", "a");
    system.WriteFile("D:\\b.txt", "bb");
    system.WriteFile("D:\\c.txt", "ccc");
    system.WriteFile("C:\\Two Words\\first file.bin", "first");
    system.WriteFile("D:\\Other Place\\second file.bin", "second!");
    system.WriteFile("\\\\server\\share\\net.bin", "network");
    system.MakeFolders("D:\\Out Folder");
  }
};

TEST_F(Intake, TheCommandLineLoadsTheLastFileAndStartsTheOthersOrFails) {
  struct Case {
    const char* text;
    const char* shown;  // txtInFile afterwards
    double size;        // lngFileSize afterwards
    Strings started;    // further instances, in order
  } cases[] = {
      {"   C:\\My Files\\report one.txt  ", "C:\\My Files\\report one.txt", 6, {}},
      {"\"C:\\My Files\\report one.txt\"", "C:\\My Files\\report one.txt", 6, {}},
      {"\"C:\\Two Words\\first file.bin\" \"D:\\Other Place\\second file.bin\"",
       "D:\\Other Place\\second file.bin",
       7,
       {"C:\\TWOWOR~1\\FIRSTF~1.BIN"}},
      {"report one.txt", "C:\\My Files\\report one.txt", 6, {}},  // relative to the working folder
      {"\"report one.txt\"", "C:\\My Files\\report one.txt", 6, {}},
      {"D:\\Out Folder", "", -1, {}},  // a folder alone
      {"C:\\a.txt D:\\b.txt D:\\c.txt", "D:\\c.txt", 3, {"D:\\b.txt", "C:\\a.txt"}},
      {"C:\\Two Words\\first file.bin D:\\Other Place\\second file.bin",
       "D:\\Other Place\\second file.bin",
       7,
       {"C:\\TWOWOR~1\\FIRSTF~1.BIN"}},
      {"C:\\a.txt D:\\b.txt C:\\My Files", "", -1, {"D:\\b.txt", "C:\\a.txt"}},
      {"C:\\My Files D:\\b.txt", "D:\\b.txt", 2, {}},
      {"\\\\server\\share\\net.bin C:\\a.txt", "C:\\a.txt", 1, {"\\\\server\\share\\net.bin"}},
      {"C:\\TWOWOR~1\\FIRSTF~1.BIN", "C:\\Two Words\\first file.bin", 5, {}},  // as an instance gets it
  };
  system.SetCurrentFolder("C:\\My Files");
  for (const Case& c : cases) {
    system.commandText = c.text;
    system.startedProcesses.clear();
    platform::sim::SimWindowHost host;
    Program program(system, dialogs, host);
    program.intake = StandardIntake();
    ASSERT_EQ(program.Start(), StartOutcome::kShown) << c.text;
    const window::FrmMain& frm = *program.frmMAIN();
    EXPECT_EQ(frm.txtInFile.Text(), c.shown) << "command line \"" << c.text << "\": wrong source shown";
    EXPECT_EQ(frm.split.lngFileSize, c.size) << "command line \"" << c.text << "\": wrong source size";
    EXPECT_EQ(Started(), c.started) << "command line \"" << c.text << "\": wrong further instances";
  }

  system.commandText = "C:\\a.txt D:\\b.txt";
  system.startProcessResult = platform::err::kNotEnoughMemory;
  dialogs.Expect(kStartupFailed, 16, "", kOk);
  platform::sim::SimWindowHost host;
  Program program(system, dialogs, host);
  program.intake = StandardIntake();
  EXPECT_EQ(program.Start(), StartOutcome::kFailed) << "the start-up must fail as a whole";
  EXPECT_FALSE(host.shown) << "a failed start-up must show no window";
  EXPECT_NE(system.ReadFile(kIni).find("LastErrorNumber=8\r\n"), std::string::npos)
      << "the failure's number must be recorded";
}

// The part count a command-line start shows is the one the split works
// from, so the range typed against it is what gets written.
TEST_F(Intake, ARangeTypedAfterACommandLineStartIsWhatTheSplitWrites) {
  system.WriteFile(kIni, "formext=-1\r\nsizeopt=3\r\ndevsize=2\r\nmakebatch=0\r\ndpath=D:\\Out Folder\r\n");
  system.commandText = "C:\\My Files\\report one.txt";  // 6 bytes: three parts
  platform::sim::SimWindowHost host;
  Program program(system, dialogs, host);
  program.intake = StandardIntake();
  ASSERT_EQ(program.Start(), StartOutcome::kShown);
  window::FrmMain& frm = *program.frmMAIN();
  ASSERT_EQ(frm.txtSpltPart[1].Text(), "3");
  frm.txtSpltPart[0].UserEdit("2", 1);
  dialogs.Expect("正常に分割を終了しました", 64, "", kOk);
  frm.btnSpltExec.UserClick();
  for (const char* part : {"001", "002", "003"}) {
    EXPECT_EQ(system.Exists(std::string("D:\\Out Folder\\REPORT~1.") + part), part != std::string("001"))
        << "part " << part << ": the typed range 2 to 3 is not what was written";
  }
}

class Drops : public Intake {
 protected:
  platform::sim::SimWindowHost host;
  Program program{system, dialogs, host};
  window::FrmMain* frm = nullptr;

  void SetUp() override {
    Intake::SetUp();
    system.WriteFile("C:\\old.bin", "old source");
    program.intake = StandardIntake();
    ASSERT_EQ(program.Start(), StartOutcome::kShown);
    frm = program.frmMAIN();
  }
};

TEST_F(Drops, EachDropTakesWhatTheUserAgreedToAndAFailedStartIsRecorded) {
  const std::string a = "C:\\a.txt", b = "D:\\b.txt", c3 = "D:\\c.txt", folder = "D:\\Out Folder";
  const std::string first = "C:\\Two Words\\first file.bin", firstShort = "C:\\TWOWOR~1\\FIRSTF~1.BIN";
  const std::string oldSource = "C:\\old.bin", programFolder = "C:\\Program Files\\Quarnimo";
  const std::string &askFolder = kFolderQuestion, &askMany = kManyQuestion;
  struct Case {
    const char* what;
    Strings dropped;
    std::string question;  // "" for none
    int answer;
    bool sameFolder;
    std::string source;  // "": the old one stays
    std::string output;  // "": the program's folder stays
    Strings started;     // files given to further instances
  } cases[] = {
      {"one file", {b}, "", 0, false, b, "", {}},
      {"a short path, shown as delivered", {firstShort}, "", 0, false, firstShort, "", {}},
      {"a folder, yes", {folder}, askFolder, kYes, false, "", folder, {}},
      {"a folder in short form, yes", {"D:\\OUTFOL~1"}, askFolder, kYes, false, "", folder, {}},
      {"a folder, no", {folder}, askFolder, kNo, false, "", "", {}},
      {"a folder in same-folder mode", {folder}, askFolder, kYes, true, "", "", {}},
      {"three files, yes", {a, b, c3}, askMany, kYes, false, a, "", {b, c3}},
      {"three files, no", {a, b, c3}, askMany, kNo, false, a, "", {}},
      {"a folder first, yes", {folder, b, first}, askMany, kYes, false, "", "", {b, firstShort}},
      {"a vanished file", {"C:\\gone.txt"}, "", 0, false, "", "", {}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(frm->TakeSource(oldSource, oldSource), platform::err::kNone);
    frm->chkSamDir.SetValue(c.sameFolder ? 1 : 0);
    frm->txtOutPath.SetText(programFolder);
    system.startedProcesses.clear();
    if (!c.question.empty()) dialogs.Expect(c.question, 36, "", c.answer);  // any other box fails

    EXPECT_TRUE(host.Drop(c.dropped)) << c.what;
    EXPECT_EQ(frm->txtInFile.Text(), c.source.empty() ? oldSource : c.source) << c.what << ": wrong source";
    EXPECT_EQ(frm->txtOutPath.Text(), c.output.empty() ? programFolder : c.output)
        << c.what << ": wrong output folder";
    EXPECT_EQ(Started(), c.started) << c.what << ": wrong further instances";
  }

  system.startProcessResult = platform::err::kNotEnoughMemory;
  dialogs.Expect(kManyQuestion, 36, "", kYes);
  EXPECT_TRUE(host.Drop({"C:\\a.txt", "D:\\b.txt", "D:\\c.txt"}));
  EXPECT_EQ(frm->txtInFile.Text(), "C:\\a.txt") << "the first file must still become the source";
  EXPECT_EQ(system.startedProcesses.size(), 2u) << "a failed start must not stop the next";
  EXPECT_NE(system.ReadFile(kIni).find("LastErrorNumber=8\r\n"), std::string::npos)
      << "the failure's number must be recorded";
}

}  // namespace
}  // namespace qn::shell
