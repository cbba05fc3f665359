// The rejoin batch file: its text, its bytes on disk, and how the split job
// writes it through the gate.
#include "engine/batch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/part_names.h"
#include "engine_split_fixture.h"

namespace qn::engine::testing {
namespace {

namespace err = platform::err;
using platform::sim::Op;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

// The parts a line joins, in order, and the target it writes.
std::string Joined(int64_t from, int64_t to, const std::string& stem) {
  std::string text;
  for (int64_t i = from; i <= to; ++i) text += (i == from ? "" : "+") + stem + PartNumberText(i);
  return text;
}

TEST(RejoinBatchText, LinesOfSeventyPartsFromTheSecondLineOn) {
  const std::string t = "\"Annual Report.xls\"";
  struct Case {
    int64_t count;
    std::vector<std::string> lines;
  } cases[] = {
      {1, {"COPY /B ANNUAL~1.001 " + t}},
      {3, {"COPY /B ANNUAL~1.001+ANNUAL~1.002+ANNUAL~1.003 " + t}},
      {69, {"COPY /B " + Joined(1, 69, "ANNUAL~1.") + " " + t}},
      {70, {"COPY /B " + Joined(1, 69, "ANNUAL~1.") + " " + t, "COPY /B " + t + "+ANNUAL~1.070 " + t}},
      {75,
       {"COPY /B " + Joined(1, 69, "ANNUAL~1.") + " " + t,
        "COPY /B " + t + "+" + Joined(70, 75, "ANNUAL~1.") + " " + t}},
      {140,
       {"COPY /B " + Joined(1, 69, "ANNUAL~1.") + " " + t,
        "COPY /B " + t + "+" + Joined(70, 139, "ANNUAL~1.") + " " + t,
        "COPY /B " + t + "+ANNUAL~1.140 " + t}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.lines, Lines(RejoinBatchText("ANNUAL~1.", "Annual Report.xls", c.count)))
        << c.count << " parts: the batch file would not join them all, in order, into the source's name";
  }
}

TEST(RejoinBatchText, PercentSignsSurviveTheCommandInterpreter) {
  EXPECT_EQ("COPY /B 100%%DO~1.001+100%%DO~1.002 \"100%% done.txt\"",
            RejoinBatchText("100%DO~1.", "100% done.txt", 2))
      << "COPY would read a \"%\" as a variable and join into the wrong file";
}

TEST(RejoinBatchText, FourDigitPartsFromOneThousand) {
  const std::vector<std::string> lines = Lines(RejoinBatchText("D.", "d", 1001));
  EXPECT_NE(std::string::npos, lines.back().find("+D.999+D.1000+D.1001 \"d\""))
      << "parts from 1000 on are misnamed";
}

// Writing through a gate that says what it was asked.
TEST(WriteRejoinBatch, AsksForTheBytesItWritesAndWritesCp932) {
  platform::sim::SimSystem sim;
  sim.AddDrive('D');
  sim.MakeFolders("D:\\OUT");
  std::vector<std::string> status;
  int64_t asked = -1;
  std::string askedName;
  const OutputGate gate = [&](std::string_view, std::string_view name, std::string_view protectedPath,
                              int64_t required, uint8_t* skip) {
    askedName = std::string(name);
    asked = required;
    EXPECT_EQ("C:\\DATA\\NENJI~1.XLS", protectedPath) << "the gate cannot recognise the source";
    *skip = 0;
    return 0;
  };
  const BatchRequest request{"D:\\OUT\\NENJI~1.", "年次 報告.xls", "C:\\DATA\\NENJI~1.XLS", 2};
  const BatchOutcome outcome = WriteRejoinBatch(
      sim, request, [&](std::string_view text) { status.emplace_back(text); }, gate);
  EXPECT_EQ(err::kNone, outcome.error) << "writing the batch file failed";
  const std::string bytes = sim.ReadFile("D:\\OUT\\NENJI~1.bat");
  const std::string expected =
      "COPY /B NENJI~1.001+NENJI~1.002 \"\x94\x4e\x8e\x9f \x95\xf1\x8d\x90.xls\"\r\n";  // 年次 報告 in code
                                                                                        // page 932
  EXPECT_EQ(expected, bytes) << "the batch file is not the COPY line in code page 932 with CR LF";
  EXPECT_EQ("bat", askedName) << "the gate was asked about another file";
  EXPECT_EQ(static_cast<int64_t>(bytes.size()), asked) << "the gate checked room for a different size";
  EXPECT_EQ((std::vector<std::string>{"Making Batch File", "Writing Batch File"}), status)
      << "the status line does not follow the batch file";
}

TEST(WriteRejoinBatch, ANameTheCodePageCannotSpellFallsBackToTheShortName) {
  platform::sim::SimSystem sim;
  sim.AddDrive('D');
  sim.MakeFolders("D:\\OUT");
  const OutputGate gate = [](std::string_view, std::string_view, std::string_view, int64_t, uint8_t* skip) {
    *skip = 0;
    return 0;
  };
  const BatchRequest request{"D:\\OUT\\CAF_~1.", "café ☃.txt", "C:\\DATA\\CAF_~1.TXT", 1};
  const BatchOutcome outcome = WriteRejoinBatch(
      sim, request, [](std::string_view) {}, gate);
  EXPECT_EQ(err::kNone, outcome.error) << "writing the batch file failed";
  EXPECT_EQ("COPY /B CAF_~1.001 \"CAF_~1.TXT\"\r\n", sim.ReadFile("D:\\OUT\\CAF_~1.bat"))
      << "the batch file names a target with replaced characters";
}

TEST(WriteRejoinBatch, GateAnswersAndWriteFailuresComeBack) {
  platform::sim::SimSystem sim;
  sim.AddDrive('D');
  sim.MakeFolders("D:\\OUT");
  sim.WriteFile("D:\\OUT\\A.bat", "mine");
  const BatchRequest request{"D:\\OUT\\A.", "a.txt", "C:\\A.TXT", 2};
  auto gateGiving = [](int32_t result, uint8_t skipFlag) -> OutputGate {
    return [=](std::string_view, std::string_view, std::string_view, int64_t, uint8_t* skip) {
      *skip = skipFlag;
      return result;
    };
  };
  for (int32_t result : {1, 2, 999}) {
    EXPECT_EQ(result, WriteRejoinBatch(
                          sim, request, [](std::string_view) {}, gateGiving(result, 0))
                          .gateResult)
        << "the gate's answer is lost";
  }
  EXPECT_EQ(0, WriteRejoinBatch(
                   sim, request, [](std::string_view) {}, gateGiving(0, 1))
                   .gateResult);
  EXPECT_EQ("mine", sim.ReadFile("D:\\OUT\\A.bat")) << "a batch file the gate held back was written";

  sim.fault = [](Op op, std::string_view) { return op == Op::kWrite ? err::kDiskFull : err::kNone; };
  EXPECT_EQ(err::kDiskFull, WriteRejoinBatch(
                                sim, request, [](std::string_view) {}, gateGiving(0, 0))
                                .error)
      << "a batch file that did not fit is reported as written";
}

// ---- through the window --------------------------------------------------------

using SplitBatchTest = SplitFixture;

TEST_F(SplitBatchTest, ARangeSplitNamesEveryPart) {
  Source("C:\\DATA\\Annual Report.xls", 10, 1);
  frm.chkMkBat.SetValue(1);
  frm.mnuSettings[3].UserClick();
  frm.txtSpltPart[0].SetText("3");
  frm.txtSpltPart[1].SetText("5");
  Split(kDone, 64);
  EXPECT_EQ("COPY /B " + Joined(1, 10, "ANNUAL~1.") + " \"Annual Report.xls\"\r\n",
            sim.ReadFile("D:\\OUT\\ANNUAL~1.bat"))
      << "the batch file of a range does not join the whole file";
}

TEST_F(SplitBatchTest, AnExistingBatchFileIsKeptUnderTheSkipPolicy) {
  Source("C:\\DATA\\REPORT.TXT", 6, 4);
  frm.chkMkBat.SetValue(1);
  sim.WriteFile("D:\\OUT\\REPORT.bat", "my own");
  Policy(1);
  Split(kDone, 64);
  EXPECT_EQ("my own", sim.ReadFile("D:\\OUT\\REPORT.bat")) << "the skip policy replaced a batch file";
  EXPECT_EQ(Slice(2, 4), sim.ReadFile("D:\\OUT\\REPORT.002")) << "the parts were not written";
}

TEST_F(SplitBatchTest, AJapaneseSourceJoinsUnderItsOwnName) {
  Source("C:\\データ\\年次 報告.xls", 9, 4);
  frm.chkMkBat.SetValue(1);
  Split(kDone, 64);
  const std::string stem = TextAfterLast(sim.ShortPathOf(sourcePath, 520), "\\");
  const std::string bare = stem.substr(0, stem.rfind('.') + 1);  // a short name of Japanese characters
  bool exact = false;
  const std::string line = sim.ToAnsi("COPY /B " + Joined(1, 3, bare) + " \"年次 報告.xls\"", &exact);
  ASSERT_TRUE(exact);
  EXPECT_EQ(line + "\r\n", sim.ReadFile("D:\\OUT\\" + bare + "bat"))
      << "the batch file does not name the Japanese source in code page 932";
}

}  // namespace
}  // namespace qn::engine::testing
