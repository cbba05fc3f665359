// The scripted message boxes that window and job tests rely on: a box that
// differs from the script, or that nobody scripted, must fail the test.
#include "platform/sim/sim_dialogs.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <tuple>

namespace qn::platform::sim {
namespace {

TEST(SimDialogsTest, AnswersFromTheScriptAndFailsOnAnyOtherBox) {
  SimDialogs dialogs;
  int seen = 0;
  dialogs.onBox = [&](const BoxRecord&) { ++seen; };
  dialogs.Expect("ドライブ A: に次のディスクを入れて下さい", 65, "", answer::kOk);
  dialogs.Answer(answer::kYes);
  EXPECT_EQ(answer::kOk, dialogs.MsgBox("ドライブ A: に次のディスクを入れて下さい", 65, ""));
  EXPECT_EQ(answer::kYes, dialogs.MsgBox("分割を中断しますか？", 36, ""));
  EXPECT_EQ(2, seen) << "checks made while a box is shown would be skipped";
  ASSERT_EQ(2u, dialogs.boxes.size());
  EXPECT_EQ("分割を中断しますか？", dialogs.boxes[1].text);

  int result = 0;
  EXPECT_NONFATAL_FAILURE(result = dialogs.MsgBox("容量が足りません。続行しますか？", 20, ""),
                          "容量が足りません");
  EXPECT_EQ(answer::kNo, result) << "a Yes/No box nobody scripted must back out with No";
  // A box with the wrong text, icon or title must not pass for the scripted one.
  using Box = std::tuple<const char*, int, const char*>;
  for (auto [text, style, title] :
       {Box{"wrong text", 16, ""}, Box{"right text", 48, ""}, Box{"right text", 16, "title"}}) {
    dialogs.Expect("right text", 16, "", answer::kOk);
    EXPECT_NONFATAL_FAILURE((void)dialogs.MsgBox(text, style, title), "right text");
  }
  EXPECT_NONFATAL_FAILURE(
      {
        SimDialogs unused;
        unused.Expect("never shown", 0, "", answer::kOk);
      },
      "never shown");
}

}  // namespace
}  // namespace qn::platform::sim
