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

#include <atomic>
#include <string>
#include <thread>

#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

using platform::win32::Win32Dialogs;

struct DialogSearch {
  HWND found = nullptr;
};

BOOL CALLBACK FindOwnDialog(HWND window, LPARAM param) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && std::wstring(className) == L"#32770") {
    reinterpret_cast<DialogSearch*>(param)->found = window;  // NOLINT(performance-no-int-to-ptr)
    return FALSE;
  }
  return TRUE;
}

// The first visible dialog of this process; waits generously for it.
HWND WaitForDialog() {
  for (int i = 0; i < 600; ++i) {
    DialogSearch search;
    EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    Sleep(100);
  }
  return nullptr;
}

BOOL CALLBACK CollectStaticTexts(HWND child, LPARAM param) {
  wchar_t className[16] = {};
  GetClassNameW(child, className, 16);
  if (_wcsicmp(className, L"Static") == 0) {
    wchar_t text[512] = {};
    GetWindowTextW(child, text, 512);
    *reinterpret_cast<std::wstring*>(param) += text;  // NOLINT(performance-no-int-to-ptr)
  }
  return TRUE;
}

// COM for the shell dialogs, as the program sets it up.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT result_;
};

TEST(Win32Dialogs, MessageBoxIsModalOverItsOwnerAndReturnsTheAnswer) {
  const HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                     100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  Win32Dialogs dialogs;
  dialogs.SetOwner(owner);

  std::atomic<bool> ownerDisabled{false};
  std::wstring title, text;
  std::thread user([&] {
    const HWND box = WaitForDialog();
    if (box == nullptr) return;
    ownerDisabled = !IsWindowEnabled(owner);
    wchar_t caption[256] = {};
    GetWindowTextW(box, caption, 256);
    title = caption;
    EnumChildWindows(box, CollectStaticTexts, reinterpret_cast<LPARAM>(&text));
    PostMessageW(box, WM_COMMAND, IDNO, 0);
  });
  const int answer = dialogs.MsgBox("同名のファイルが存在します。上書きしますか?",
                                    platform::mb::kYesNo | platform::mb::kQuestion, "確認");
  user.join();
  EXPECT_EQ(answer, platform::answer::kNo) << "the program would act on a button the user did not press";
  EXPECT_TRUE(ownerDisabled) << "the main window must take no input while the box is up";
  EXPECT_EQ(Narrow(title), "確認") << "the box's title is garbled";
  EXPECT_NE(Narrow(text).find("同名のファイルが存在します。上書きしますか?"), std::string::npos)
      << "the box's Japanese text is garbled: " << Narrow(text);
  EXPECT_TRUE(IsWindowEnabled(owner)) << "the main window stays disabled after the box";
  DestroyWindow(owner);
}

TEST(Win32Dialogs, OpenFileHandsBackTheChosenPathOrKeepsTheOldOne) {
  const ComScope com;
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

  struct Case {
    const char* what;
    WPARAM button;
    int expected;
  } const cases[] = {{"OK on the preset file", IDOK, 1}, {"Cancel", IDCANCEL, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    record.fileName = chosen;
    std::wstring caption;
    std::thread user([&] {
      const HWND dialog = WaitForDialog();
      if (dialog == nullptr) return;
      wchar_t text[256] = {};
      GetWindowTextW(dialog, text, 256);
      caption = text;
      PostMessageW(dialog, WM_COMMAND, c.button, 0);
    });
    Win32Dialogs dialogs;
    const int result = dialogs.OpenFile(record);
    user.join();
    EXPECT_EQ(Narrow(caption), record.title) << "the dialog's Japanese title is garbled";
    EXPECT_EQ(result, c.expected) << "a choice and a cancel must be told apart";
    EXPECT_EQ(record.fileName, chosen) << "the chosen (or kept) file name came back changed";
  }
}

TEST(Win32Dialogs, FolderDialogCancelledGivesZeroAndNoPath) {
  const ComScope com;
  platform::FolderRecord record;
  record.title = "出力先フォルダを選択してください";
  record.flags = BIF_RETURNONLYFSDIRS;
  std::wstring shown;
  std::thread user([&] {
    const HWND dialog = WaitForDialog();
    if (dialog == nullptr) return;
    EnumChildWindows(dialog, CollectStaticTexts, reinterpret_cast<LPARAM>(&shown));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  Win32Dialogs dialogs;
  std::string path = "unchanged";
  EXPECT_EQ(dialogs.BrowseFolder(record, &path), 0) << "a cancelled folder dialog must not count as a choice";
  user.join();
  EXPECT_EQ(path, "unchanged") << "a cancel must not change the output folder";
  EXPECT_NE(Narrow(shown).find(record.title), std::string::npos) << "the prompt is missing or garbled";
}

}  // namespace
}  // namespace qn::winetest
