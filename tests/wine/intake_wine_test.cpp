// Paths handed to the real Quarnimo.exe: on its command line, and dropped on
// its window as the shell drops them (a real WM_DROPFILES whose DROPFILES
// block lies in the program's own memory). Each case runs a private copy of
// the program in a folder of its own; the further instances it starts are
// counted and closed with it.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/wine/support/gui.h"
#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/support/split_support.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

constexpr int kWaitMs = 60000;
constexpr int kYesNoQuestion = 36;

class Intake : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok() && data.ok()); }
  // Starts the program, with `arguments` on its command line.
  void Start(const std::string& arguments = {}) {
    app.emplace(dir.path(), arguments);
    ASSERT_TRUE(app->ok()) << app->error();
  }
  // Files of `data`, each holding its own name.
  std::vector<std::string> Files(std::initializer_list<const char*> names) {
    std::vector<std::string> paths;
    for (const char* name : names) {
      paths.push_back(data / name);
      EXPECT_TRUE(WriteWholeFile(paths.back(), name));
    }
    return paths;
  }
  TempDir dir;
  TempDir data;
  std::optional<QuarnimoApp> app;
};

// The shell quotes a path with blanks (Send To, a drop on the program's
// icon); typed by hand it may come without quotes. Either way it is taken whole.
TEST_F(Intake, OnePathWithBlanksOnTheCommandLineIsTakenWholeWithOrWithoutQuotes) {
  ASSERT_TRUE(CreateDirectoryW(Widen(data / "My Files").c_str(), nullptr));
  const std::string file = data / "My Files\\R&D Plan (1).txt";
  ASSERT_TRUE(WriteWholeFile(file, std::string(3000000, 'r')));
  for (const std::string& arguments : {file, "\"" + file + "\""}) {
    ASSERT_NO_FATAL_FAILURE(Start(arguments));
    EXPECT_EQ(app->Text("txtInFile"), file) << arguments << ": the path with blanks was not taken whole";
    EXPECT_EQ(app->Text("lblSize"), "Size: 3,000,000 bytes") << arguments << ": the source size is not shown";
    EXPECT_FALSE(IsIconic(app->window())) << "the program itself must open in the normal state";
    EXPECT_NE(GetWindowLongW(app->window(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0)
        << "the window must accept files dropped from the shell";
    EXPECT_TRUE(app->FurtherInstances().empty())
        << arguments << ": one path must not start further instances";
    EXPECT_EQ(app->Close(), 0);
  }
}

TEST_F(Intake, TwoQuotedPathsLoadTheLastAndStartAnInstanceForTheOther) {
  const std::vector<std::string> files = Files({"first file.bin", "R&D Plan (1).txt"});
  ASSERT_NO_FATAL_FAILURE(Start("\"" + files[0] + "\" \"" + files[1] + "\""));
  EXPECT_EQ(app->Text("txtInFile"), files[1]) << "the last path must be this window's source";
  std::vector<HWND> others;
  EXPECT_TRUE(guitest::PumpUntil([&] { return !(others = app->FurtherInstances()).empty(); }, kWaitMs))
      << "the further instance did not appear";
  guitest::PumpFor(500);  // an unexpected second would show by now
  others = app->FurtherInstances();
  ASSERT_EQ(others.size(), 1u) << "one further instance for the other file";
  EXPECT_TRUE(IsIconic(others[0])) << "a further instance must start minimized";
  EXPECT_EQ(ControlText(others[0], "txtInFile"), files[0])
      << "the further instance must show its own file in its long form";
}

// One window takes a file, then a folder (Yes), then three files (No): each
// drop sets its own field, so they follow one another.
TEST_F(Intake, DroppedFileFolderAndThreeFilesAreTakenAsTheUserAnswers) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::string file = data / "dropped file.bin";
  ASSERT_TRUE(WriteWholeFile(file, std::string(1457665, 'd')));
  ASSERT_TRUE(app->Drop({file}) && app->Settled()) << "the drop could not be delivered";
  EXPECT_EQ(app->Text("txtInFile"), file) << "DragQueryFile did not give the dropped file to the program";
  EXPECT_EQ(app->Text("lblFInfo"), "2 + 1 File(s)") << "the plan does not follow the dropped source";
  EXPECT_TRUE(app->Idle()) << "one file must be taken without a question";

  ASSERT_TRUE(app->Drop({data.path()})) << "the drop could not be delivered";
  SeenBox box =
      ExpectBox(*app, "ドロップされたオブジェクトはフォルダです。\r\rこのフォルダを出力先に設定しますか？",
                kYesNoQuestion);
  ASSERT_TRUE(box.hwnd != nullptr && app->Answer(box, IDYES) && app->Settled());
  EXPECT_EQ(app->Text("txtOutPath"), data.path()) << "Yes must make the folder the output folder";

  const std::vector<std::string> files = Files({"one.bin", "two.bin", "three.bin"});
  ASSERT_TRUE(app->Drop(files)) << "the drop could not be delivered";
  box = ExpectBox(*app, "複数のファイルがドロップされました。\r\r全てのファイルを処理しますか？",
                  kYesNoQuestion);
  ASSERT_TRUE(box.hwnd != nullptr && app->Answer(box, IDNO) && app->Settled());
  EXPECT_EQ(app->Text("txtInFile"), files[0]) << "No must still take the first file";
  EXPECT_TRUE(app->FurtherInstances().empty()) << "No must start no further instance";
}

TEST_F(Intake, DropsDuringASplitAreIgnored) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::vector<std::string> files = Files({"src.bin", "other.bin"});
  TempDir out;
  ASSERT_TRUE(out.ok());
  ASSERT_TRUE(WriteWholeFile(out / "src.001", "stale part"));
  ASSERT_NO_FATAL_FAILURE(StartSplit(*app, {files[0], out.path(), "", false, 2}));  // ask before overwriting
  std::optional<SeenBox> question = app->NextBox(kWaitMs);
  ASSERT_TRUE(question.has_value()) << "the overwrite question never came";
  ASSERT_EQ(question->text, out / "src.001" + "を上書きしますか？");
  // While the split waits for the answer, the user drops a file and a folder.
  ASSERT_TRUE(app->Drop({files[1]}));
  ASSERT_TRUE(app->Drop({data.path()}));
  ASSERT_TRUE(app->Answer(*question, IDYES));

  ExpectEnd(*app, kFinished, kInformation);  // and no question about the drops
  EXPECT_EQ(app->Text("txtInFile"), files[0]) << "a drop during the split changed the source";
  EXPECT_EQ(app->Text("txtOutPath"), out.path()) << "a drop during the split changed the output folder";
  EXPECT_EQ(ReadWholeFile(out / "src.001"), "src.bin") << "the part is not the source";
  ASSERT_TRUE(app->Drop({files[1]}));
  EXPECT_TRUE(guitest::PumpUntil([&] { return app->Text("txtInFile") == files[1]; }, kWaitMs))
      << "after the split drops must be taken again";
}

}  // namespace
}  // namespace qn::winetest
