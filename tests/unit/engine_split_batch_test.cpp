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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

// The parts a line joins, in order.
std::string Joined(int64_t from, int64_t to, const std::string& stem) {
  std::string text;
  for (int64_t i = from; i <= to; ++i) text += (i == from ? "" : "+") + stem + PartNumberText(i);
  return text;
}

TEST(RejoinBatchText, LinesOfSeventyPartsFromTheSecondLineOn) {
  const std::string t = "\"Annual Report.xls\"";
  const std::string first = "COPY /B " + Joined(1, 69, "ANNUAL~1.") + " " + t;
  struct Case {
    int64_t count;
    std::vector<std::string> lines;
  } cases[] = {
      {1, {"COPY /B ANNUAL~1.001 " + t}},
      {70, {first, "COPY /B " + t + "+ANNUAL~1.070 " + t}},
      {140,
       {first, "COPY /B " + t + "+" + Joined(70, 139, "ANNUAL~1.") + " " + t,
        "COPY /B " + t + "+ANNUAL~1.140 " + t}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.lines, Lines(RejoinBatchText("ANNUAL~1.", "Annual Report.xls", c.count)))
        << c.count << " parts: the batch file would not join them all, in order, into the source's name";
  }
  EXPECT_NE(std::string::npos, RejoinBatchText("D.", "d", 1001).find("+D.999+D.1000+D.1001 \"d\""))
      << "parts from 1000 on are misnamed";
  struct Named {
    const char* stem;
    const char* target;
    const char* text;
    const char* why;
  } named[] = {
      {"100%DO~1.", "100% done.txt", "COPY /B 100%%DO~1.001+100%%DO~1.002 \"100%% done.txt\"",
       "cmd would read a \"%\" as a variable"},
      {"R&D^(1)~1.", "R&D^(1).txt", "COPY /B \"R&D^(1)~1.001\"+\"R&D^(1)~1.002\" \"R&D^(1).txt\"",
       "cmd would run what follows \"&\" as a command of its own, and \"^\" escapes"},
      {"a+b c.", "a+b c.txt", "COPY /B \"a+b c.001\"+\"a+b c.002\" \"a+b c.txt\"",
       "without short names, a blank or a \"+\" splits the part's name"},
  };
  for (const Named& c : named) {
    EXPECT_EQ(c.text, RejoinBatchText(c.stem, c.target, 2)) << c.stem << ": " << c.why;
  }
}

// Writing through a gate that answers as told and says what it was asked.
class WriteBatch : public ::testing::Test {
 protected:
  platform::sim::SimSystem sim;
  int32_t gateResult = 0;
  uint8_t gateSkip = 0;
  int64_t asked = -1;
  std::string askedName;
  std::string askedProtected;
  std::vector<std::string> status;  // what the status line showed

  void SetUp() override {
    sim.AddDrive('D');
    sim.MakeFolders("D:\\OUT");
  }
  BatchOutcome Write(const BatchRequest& request) {
    const OutputGate gate = [this](std::string_view, std::string_view name, std::string_view protectedPath,
                                   int64_t required, uint8_t* skip, std::unique_ptr<platform::File>*) {
      askedName = std::string(name);
      askedProtected = std::string(protectedPath);
      asked = required;
      *skip = gateSkip;
      return gateResult;
    };
    return WriteRejoinBatch(
        sim, request, [this](std::string_view text) { status.emplace_back(text); }, gate);
  }
};

// On a volume without short names the parts keep the long stem, blank and all.
TEST_F(WriteBatch, AsksForTheBytesItWritesAndWritesCp932) {
  const BatchOutcome outcome = Write({"D:\\OUT\\年次 報告.", "年次 報告.xls", "C:\\DATA\\年次 報告.xls", 2});
  EXPECT_EQ(err::kNone, outcome.error) << "writing the batch file failed";
  const std::string bytes = sim.ReadFile("D:\\OUT\\年次 報告.bat");
  // 年次 報告 in code page 932.
  const std::string name = "\x94\x4e\x8e\x9f \x95\xf1\x8d\x90.";
  EXPECT_EQ("COPY /B \"" + name + "001\"+\"" + name + "002\" \"" + name + "xls\"\r\n", bytes)
      << "the batch file is not the COPY line in code page 932 with CR LF";
  EXPECT_EQ("bat", askedName) << "the gate was asked about another file";
  EXPECT_EQ("C:\\DATA\\年次 報告.xls", askedProtected) << "the gate cannot recognise the source";
  EXPECT_EQ(static_cast<int64_t>(bytes.size()), asked) << "the gate checked room for a different size";
  EXPECT_EQ((std::vector<std::string>{"Making Batch File", "Writing Batch File"}), status)
      << "the status line does not follow the batch file";
}

TEST_F(WriteBatch, ANameTheCodePageCannotSpellFallsBackToTheShortName) {
  EXPECT_EQ(err::kNone, Write({"D:\\OUT\\CAF_~1.", "café ☃.txt", "C:\\DATA\\CAF_~1.TXT", 1}).error);
  EXPECT_EQ("COPY /B CAF_~1.001 \"CAF_~1.TXT\"\r\n", sim.ReadFile("D:\\OUT\\CAF_~1.bat"))
      << "the batch file names a target with replaced characters";
}

TEST_F(WriteBatch, TheGatesAnswerComesBackAndAFileHeldBackIsNotWritten) {
  sim.WriteFile("D:\\OUT\\A.bat", "mine");
  const BatchRequest request{"D:\\OUT\\A.", "a.txt", "C:\\A.TXT", 2};
  gateResult = 2;
  EXPECT_EQ(2, Write(request).gateResult) << "the gate's answer is lost";
  gateResult = 0;
  gateSkip = 1;
  EXPECT_EQ(0, Write(request).gateResult);
  EXPECT_EQ("mine", sim.ReadFile("D:\\OUT\\A.bat")) << "a batch file the gate held back was written";
}

}  // namespace
}  // namespace qn::engine::testing
