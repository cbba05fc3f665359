#include "platform/win32/dialogs_win32.h"

#include <utility>

#include "platform/win32/shim.h"

namespace qn::platform::win32 {

int Win32Dialogs::MsgBox(std::string_view text, int style, std::string_view title) {
  return MessageBoxU(owner_, text, title, static_cast<UINT>(style));
}

int Win32Dialogs::OpenFile(OpenFileRecord& record) { return GetOpenFileNameU(owner_, record) ? 1 : 0; }

int Win32Dialogs::BrowseFolder(const FolderRecord& record, std::string* path) {
  std::string folder;
  if (!BrowseForFolderU(owner_, record, &folder)) return 0;
  if (path != nullptr) *path = std::move(folder);
  return 1;
}

}  // namespace qn::platform::win32
