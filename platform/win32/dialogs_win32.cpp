#include "platform/win32/dialogs_win32.h"

#include <windows.h>
// after windows.h
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "platform/win32/wide.h"

namespace qn::platform::win32 {
namespace {

// An item list the shell allocated for us.
class ItemList {
 public:
  explicit ItemList(PIDLIST_ABSOLUTE list) : list_(list) {}
  ~ItemList() { CoTaskMemFree(list_); }
  ItemList(const ItemList&) = delete;
  ItemList& operator=(const ItemList&) = delete;
  [[nodiscard]] PIDLIST_ABSOLUTE get() const { return list_; }

 private:
  PIDLIST_ABSOLUTE list_;
};

}  // namespace

int Win32Dialogs::MsgBox(std::string_view text, int style, std::string_view title) {
  return MessageBoxW(owner_, Widen(text).c_str(), Widen(title).c_str(), static_cast<UINT>(style));
}

int Win32Dialogs::OpenFile(OpenFileRecord& record) {
  std::wstring filter = Widen(record.filterDescription);
  filter += L'\0';
  filter += Widen(record.filterPattern);
  filter += L'\0';  // the string's own terminator supplies the second one

  // The dialog needs room for at least the terminator; a seed that does not
  // fit is cut, never at half a surrogate pair.
  std::vector<wchar_t> buffer(std::max<size_t>(record.maxFileChars, 1), L'\0');
  const std::wstring seed = Widen(record.fileName);
  size_t seedChars = std::min(seed.size(), buffer.size() - 1);
  if (seedChars > 0 && seedChars < seed.size() && IS_HIGH_SURROGATE(seed[seedChars - 1])) --seedChars;
  std::copy_n(seed.begin(), seedChars, buffer.begin());

  const std::wstring title = Widen(record.title);
  const std::wstring extension = Widen(record.defaultExtension);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner_;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  dialog.Flags = record.flags;
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  const BOOL chosen = GetOpenFileNameW(&dialog);

  record.fileName = Narrow(std::wstring_view(buffer.data(), wcsnlen(buffer.data(), buffer.size())));
  return chosen ? 1 : 0;
}

int Win32Dialogs::BrowseFolder(const FolderRecord& record, std::string* path) {
  wchar_t displayName[MAX_PATH] = {};
  const std::wstring title = Widen(record.title);
  BROWSEINFOW browse{};
  browse.hwndOwner = owner_;
  browse.pszDisplayName = displayName;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = record.flags;
  const ItemList chosen(SHBrowseForFolderW(&browse));
  if (chosen.get() == nullptr) return 0;
  wchar_t folder[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(chosen.get(), folder) || folder[0] == L'\0') return 0;
  if (path != nullptr) *path = Narrow(std::wstring_view(folder, wcsnlen(folder, MAX_PATH)));
  return 1;
}

}  // namespace qn::platform::win32
