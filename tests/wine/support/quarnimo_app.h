// Drives the real Quarnimo.exe from a Wine test as a user would: a private
// copy of the program in its own folder, its controls found by their design
// names, texts set and buttons pressed through window messages, files dropped
// as the shell drops them, and every message box read (text, title, style)
// and answered. Also runs host commands (mounts, disk swaps) and Windows
// programs (the rejoin batch file under cmd) and waits for them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/wine/support/gui.h"

namespace qn::winetest {

// The host (Unix) path of a Windows path; "" when Wine cannot map it.
std::string UnixPath(const std::string& windowsPath);

// Runs `script` with the host's /bin/sh and waits up to `milliseconds` for it
// to end. Wine can start a host program but not wait on it, so the script's
// exit status comes back through a file. Gives the exit status, -1 when the
// script did not start or did not end in time.
int RunHostScript(const std::string& script, int milliseconds = 60000);

// Runs a Windows command line with `folder` as its working folder and waits
// up to `milliseconds`; gives its exit code, -1 when it did not start or end.
int RunWindowsProgram(const std::string& commandLine, const std::string& folder, int milliseconds = 120000);

// The processes that descend from `root` and still run.
std::vector<DWORD> Descendants(DWORD root);
// Asks each process to close its windows, then ends those still running
// after `graceMilliseconds`; gives how many had to be ended by force.
int EndProcesses(const std::vector<DWORD>& processIds, int graceMilliseconds = 20000);

// The real child window of frmMAIN's control `name` ("txtInFile",
// "optSpltSize(3)") in the main window `main` of any instance, and its text;
// nullptr and "" when there is none.
HWND ControlOf(HWND main, std::string_view name);
std::string ControlText(HWND main, std::string_view name);
// The command id of frmMAIN's menu item `name` ("mnuSettings(3)"). Menus
// cannot be read across processes under Wine, so the id comes from the
// item's place in the design, as the binding numbers the items.
UINT MenuCommand(std::string_view name);

// A message box as the test saw it. `style` is the platform's style value:
// its button set (0 OK, 1 OK and Cancel, 3 Yes/No/Cancel, 4 Yes/No, 5
// Retry/Cancel) plus its icon (16 stop, 32 question, 48 exclamation, 64
// information), the icon told apart by what the screen shows; -1 when the
// buttons or the icon are none of these.
struct SeenBox {
  HWND hwnd = nullptr;
  std::string text;
  std::string title;
  int style = -1;
};

// How the program is started.
struct Launch {
  std::string arguments{};               // what follows the quoted program path
  std::string exeName = "Quarnimo.exe";  // the copy's file name
  bool waitForWindow = true;             // false: a box may come before the window
};

// One running Quarnimo.exe, copied into `folder` (so it keeps its own
// values.ini there) and started. When the object goes, the further instances
// it started are closed, and the program itself is ended if the test did not
// close it.
class QuarnimoApp {
 public:
  explicit QuarnimoApp(const std::string& folder, const Launch& launch = {});
  ~QuarnimoApp();
  QuarnimoApp(const QuarnimoApp&) = delete;
  QuarnimoApp& operator=(const QuarnimoApp&) = delete;

  [[nodiscard]] bool started() const { return process_ != nullptr; }
  // False when the program could not be copied or started, or showed no
  // window; error() says why.
  [[nodiscard]] bool ok() const { return window_ != nullptr; }
  [[nodiscard]] const std::string& error() const { return error_; }
  [[nodiscard]] HWND window() const { return window_; }
  [[nodiscard]] DWORD processId() const { return processId_; }
  // Waits up to `milliseconds` for the shown main window; ok() afterwards.
  bool WaitForWindow(int milliseconds = 60000);
  // The shown main windows of the further instances this program started.
  [[nodiscard]] std::vector<HWND> FurtherInstances() const;

  [[nodiscard]] HWND Control(std::string_view name) const { return ControlOf(window_, name); }
  [[nodiscard]] std::string Text(std::string_view name) const { return ControlText(window_, name); }
  // Sets a text box's text as pasting would (WM_SETTEXT); false when the
  // control is missing.
  bool SetText(std::string_view name, const std::string& text);
  // Clicks a button, check box or option and waits until its handling is
  // done. Not for a click that opens a message box: see PostClick.
  bool Click(std::string_view name);
  // Clicks without waiting, for a click whose handling shows message boxes.
  bool PostClick(std::string_view name);
  // Chooses a menu item and waits until its handling is done.
  bool ChooseMenu(std::string_view name);
  // Clicks the check box when its state is not `checked`.
  bool SetChecked(std::string_view name, bool checked);
  [[nodiscard]] bool Checked(std::string_view name) const;
  // Selects the free size and types `text` into its field, then moves the
  // focus on so that the field's lost-focus handling takes the number.
  bool SetFreeSize(const std::string& text);
  // Drops `paths` on the window as the shell does: a DROPFILES block with
  // wide names in the program's own memory, posted as WM_DROPFILES.
  bool Drop(const std::vector<std::string>& paths);
  // Waits until the program's thread has handled everything posted to it.
  bool Settled() const;

  // The split button's click; returns at once (the split runs on the
  // program's thread and shows its boxes meanwhile).
  bool StartSplit() { return PostClick("btnSpltExec"); }
  // Waits up to `milliseconds` for the next message box of the program.
  std::optional<SeenBox> NextBox(int milliseconds = 60000);
  // Presses a button of a box and waits until the box is gone.
  bool Answer(const SeenBox& box, int buttonId);
  // True once the program shows no message box and its window is enabled
  // for input again (the split has ended).
  [[nodiscard]] bool Idle() const;

  // Waits for the process to end; its exit code, or -1 when it did not end
  // (it is then killed). Close first closes the main window.
  int WaitForExit(int milliseconds = 30000);
  int Close(int milliseconds = 30000);

  // The value of `key` in the program's settings file (nothing when the file
  // or the key is missing).
  [[nodiscard]] std::optional<std::string> Setting(std::string_view key) const;

 private:
  std::string folder_;
  std::string error_;
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
};

}  // namespace qn::winetest
