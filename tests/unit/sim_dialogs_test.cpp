// The scripted message boxes and dialogs that window and job tests rely on.
#include "platform/sim/sim_dialogs.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace qn::platform::sim {
namespace {

TEST(SimDialogsTest, AnswersFromTheScriptAndRecordsEveryBox) {
  SimDialogs dialogs;
  dialogs.Expect("ドライブ A: に次のディスクを入れて下さい", 65, "", answer::kOk);
  dialogs.Answer(answer::kYes);
  std::vector<int> stylesSeenBeforeAnswer;
  dialogs.onBox = [&](const BoxRecord& box) { stylesSeenBeforeAnswer.push_back(box.style); };
  EXPECT_EQ(answer::kOk, dialogs.MsgBox("ドライブ A: に次のディスクを入れて下さい", 65, ""));
  EXPECT_EQ(answer::kYes, dialogs.MsgBox("分割を中断しますか？", 36, ""));
  EXPECT_EQ((std::vector<int>{65, 36}), stylesSeenBeforeAnswer) << "onBox must run for every box";
  ASSERT_EQ(2u, dialogs.boxes.size());
  EXPECT_EQ("分割を中断しますか？", dialogs.boxes[1].text);
  EXPECT_EQ(0u, dialogs.Pending());
}

TEST(SimDialogsTest, AnUnexpectedBoxOrAnUnusedScriptFailsTheTest) {
  SimDialogs dialogs;
  int result = 0;
  EXPECT_NONFATAL_FAILURE(result = dialogs.MsgBox("容量が足りません。続行しますか？", 20, ""),
                          "容量が足りません");
  EXPECT_EQ(answer::kNo, result) << "a Yes/No box nobody scripted must back out with No";
  dialogs.Expect("right text", 16, "", answer::kOk);
  EXPECT_NONFATAL_FAILURE((void)dialogs.MsgBox("wrong text", 16, ""), "wrong text");
  EXPECT_NONFATAL_FAILURE(
      {
        SimDialogs unused;
        unused.Expect("never shown", 0, "", answer::kOk);
      },
      "never shown");
}

}  // namespace
}  // namespace qn::platform::sim
