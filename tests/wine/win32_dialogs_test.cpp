// The real dialogs, answered by a helper thread that plays the user: the
// message box is modal over its owner and returns the pressed button; the
// open-file dialog hands back the chosen path through the record's buffer;
// the folder dialog reports a cancel as 0.
#include "platform/win32/dialogs_win32.h"

#include <windows.h>
// after windows.h
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <string>
#include <utility>

#include "tests/wine/support/gui.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

using platform::win32::Win32Dialogs;

// What the user saw of a dialog.
struct Seen {
  std::string title;
  std::string text;  // of a message box
  bool ownerDisabled = false;
  bool showsPrompt = false;  // a label of the dialog holds the prompt
};

// Plays the user on a helper thread (std::async) while this one shows a
// modal dialog: waits for the dialog, reads it, notes whether `owner` takes
// input meanwhile and whether a label shows `prompt`, and presses `button`.
Seen PlayUser(int button, HWND owner, const std::string& prompt) {
  Seen seen;
  const std::optional<guitest::MessageBoxInfo> box = guitest::WaitForMessageBox(GetCurrentProcessId(), 60000);
  if (!box) return seen;
  seen = {box->title, box->text, owner != nullptr && !IsWindowEnabled(owner),
          FindWindowExW(box->hwnd, nullptr, L"Static", Widen(prompt).c_str()) != nullptr};
  guitest::AnswerMessageBox(box->hwnd, button);
  return seen;
}

TEST(Win32Dialogs, MessageBoxIsModalOverItsOwnerAndReturnsTheAnswer) {
  const HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                     100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  Win32Dialogs dialogs;
  dialogs.SetOwner(owner);
  auto user = std::async(std::launch::async, PlayUser, IDNO, owner, "");
  const int answer = dialogs.MsgBox("同名のファイルが存在します。上書きしますか?",
                                    platform::mb::kYesNo | platform::mb::kQuestion, "確認");
  const Seen seen = user.get();
  EXPECT_EQ(answer, platform::answer::kNo) << "the program would act on a button the user did not press";
  EXPECT_TRUE(seen.ownerDisabled) << "the main window must take no input while the box is up";
  EXPECT_EQ(seen.title, "確認") << "the box's title is garbled";
  EXPECT_EQ(seen.text, "同名のファイルが存在します。上書きしますか?") << "the box's Japanese text is garbled";
  EXPECT_TRUE(IsWindowEnabled(owner)) << "the main window stays disabled after the box";
  DestroyWindow(owner);
}

TEST(Win32Dialogs, ShellDialogsHandBackTheChoiceAndKeepTheOldOneOnCancel) {
  // COM for the shell dialogs, as the program sets it up.
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string chosen = dir / "分割するファイル.bin";
  ASSERT_TRUE(WriteWholeFile(chosen, "data"));
  platform::OpenFileRecord record;
  record.title = "分割元ファイルの選択";
  record.filterDescription = "すべてのファイル (*.*)";
  record.filterPattern = "*.*";
  record.flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  record.maxFileChars = 520;
  for (const auto& [button, expected] : {std::pair{IDOK, 1}, {IDCANCEL, 0}}) {
    SCOPED_TRACE(button == IDOK ? "OK on the preset file" : "Cancel");
    record.fileName = chosen;
    auto user = std::async(std::launch::async, PlayUser, button, nullptr, "");
    const int result = Win32Dialogs().OpenFile(record);
    EXPECT_EQ(user.get().title, record.title) << "the dialog's Japanese title is garbled";
    EXPECT_EQ(result, expected) << "a choice and a cancel must be told apart";
    EXPECT_EQ(record.fileName, chosen) << "the chosen (or kept) file name came back changed";
  }

  platform::FolderRecord folder;
  folder.title = "出力先フォルダを選択してください";
  folder.flags = BIF_RETURNONLYFSDIRS;
  auto user = std::async(std::launch::async, PlayUser, IDCANCEL, nullptr, folder.title);
  std::string path = "unchanged";
  EXPECT_EQ(Win32Dialogs().BrowseFolder(folder, &path), 0)
      << "a cancelled folder dialog must not count as a choice";
  EXPECT_EQ(path, "unchanged") << "a cancel must not change the output folder";
  EXPECT_TRUE(user.get().showsPrompt) << "the prompt is missing or garbled";
  CoUninitialize();
}

}  // namespace
}  // namespace qn::winetest
