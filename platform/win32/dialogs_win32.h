// The real modal boxes and dialogs: MessageBox, GetOpenFileName and
// SHBrowseForFolder (through the shim), all owned by the window the program names.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/dialogs.h"

namespace qn::platform::win32 {

class Win32Dialogs : public Dialogs {
 public:
  // The window every box and dialog belongs to (and disables while shown);
  // nullptr (the default) shows them without an owner.
  void SetOwner(HWND owner) { owner_ = owner; }
  [[nodiscard]] HWND owner() const { return owner_; }

  int MsgBox(std::string_view text, int style, std::string_view title) override;
  // The record's filter becomes "description\0pattern\0\0"; its flags go to
  // the dialog unchanged. record.fileName seeds a buffer of maxFileChars
  // characters and receives the buffer's text afterwards, chosen or not.
  int OpenFile(OpenFileRecord& record) override;
  // Needs COM initialised on this thread by the program. 0 when the user
  // cancels or picks something without a file-system path (a printer, say).
  int BrowseFolder(const FolderRecord& record, std::string* path) override;

 private:
  HWND owner_ = nullptr;  // not owned
};

}  // namespace qn::platform::win32
