// The modal boxes and dialogs the program shows. The real backend draws them
// with Win32; the simulated one answers from a test's script and records them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qn::platform {

// Message box styles: button set plus icon, as MessageBox takes them.
namespace mb {
inline constexpr int kOk = 0;
inline constexpr int kOkCancel = 1;
inline constexpr int kYesNoCancel = 3;
inline constexpr int kYesNo = 4;
inline constexpr int kRetryCancel = 5;
inline constexpr int kCritical = 16;
inline constexpr int kQuestion = 32;
inline constexpr int kExclamation = 48;
inline constexpr int kInformation = 64;
}  // namespace mb

// MessageBox answers.
namespace answer {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kRetry = 4;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace answer

// The open-file dialog's settings, prepared once with the window and kept for
// its lifetime. `fileName` is the dialog's buffer: it carries the last choice
// into the next dialog.
struct OpenFileRecord {
  std::string title;
  std::string filterDescription;
  std::string filterPattern;
  uint32_t flags = 0;
  std::string defaultExtension;
  size_t maxFileChars = 512;
  std::string fileName;
};

// The folder dialog's settings.
struct FolderRecord {
  std::string title;
  uint32_t flags = 0;  // 1: file-system folders only
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal message box over the main window; returns the answer (answer::).
  virtual int MsgBox(std::string_view text, int style, std::string_view title) = 0;
  // The open-file dialog; non-zero when a file was chosen. Updates record.fileName.
  virtual int OpenFile(OpenFileRecord& record) = 0;
  // The folder dialog; non-zero when a folder with a file-system path was
  // chosen, which is then in *path.
  virtual int BrowseFolder(const FolderRecord& record, std::string* path) = 0;
};

}  // namespace qn::platform
