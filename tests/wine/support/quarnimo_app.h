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
// up to two minutes; gives its exit code, -1 when it did not start or end.
int RunWindowsProgram(const std::string& commandLine, const std::string& folder);

// The processes that descend from `root` and still run.
std::vector<DWORD> Descendants(DWORD root);
// Asks each process to close its windows and ends those still running a few
// seconds later.
void EndProcesses(const std::vector<DWORD>& processIds);

// The shown form window of a process whose owner is `owner` (nullptr: the
// main window); nullptr when there is none.
HWND FormWindowOf(DWORD processId, HWND owner = nullptr);
// The text of frmMAIN's control `name` ("txtInFile", "optSpltSize(3)") in
// the main window `main` of any instance; "" when there is none.
std::string ControlText(HWND main, std::string_view name);

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

// One running Quarnimo.exe, copied as `exeName` into `folder` (so it keeps
// its own values.ini there), started with `arguments` after its quoted path,
// and waited for until its main window or a message box shows. When the
// object goes, the further instances it started are closed, and the program
// itself is ended if the test did not close it.
class QuarnimoApp {
 public:
  explicit QuarnimoApp(const std::string& folder, const std::string& arguments = {},
                       const std::string& exeName = "Quarnimo.exe");
  ~QuarnimoApp();
  QuarnimoApp(const QuarnimoApp&) = delete;
  QuarnimoApp& operator=(const QuarnimoApp&) = delete;

  // False when the program could not be copied or started, or shows no
  // main window (yet); error() says why.
  [[nodiscard]] bool ok() const { return window_ != nullptr; }
  [[nodiscard]] const std::string& error() const { return error_; }
  [[nodiscard]] HWND window() const { return window_; }
  [[nodiscard]] DWORD processId() const { return processId_; }
  // Waits up to `milliseconds` for the shown main window or a message box;
  // ok() afterwards.
  bool WaitForWindow(int milliseconds = 60000);
  // The shown main windows of the further instances this program started.
  [[nodiscard]] std::vector<HWND> FurtherInstances() const;

  [[nodiscard]] HWND Control(std::string_view name) const;
  [[nodiscard]] std::string Text(std::string_view name) const { return ControlText(window_, name); }
  // Sets a text box's text as pasting would (WM_SETTEXT); false when the
  // control is missing.
  bool SetText(std::string_view name, const std::string& text);
  // Clicks a button, check box or option and, with `wait`, returns once its
  // handling is done; without, at once, for a click that shows message boxes.
  bool Click(std::string_view name, bool wait = true);
  // Chooses a menu item like Click; false also when its handling did not end
  // within a minute (a message box waits).
  bool ChooseMenu(std::string_view name, bool wait = true);
  // Clicks the check box when its state is not `checked`.
  bool SetChecked(std::string_view name, bool checked);
  [[nodiscard]] bool Checked(std::string_view name) const;
  // The design name of the control that has the keyboard focus; "" for none.
  [[nodiscard]] std::string Focused() const;
  // Real keyboard input (SendInput) to the program's window, brought to the
  // front first: `virtualKey` pressed and released, with `modifier`
  // (VK_SHIFT, VK_MENU for Alt) held when given; or the characters of `text`
  // typed one by one. False when the input could not be sent.
  bool PressKey(WORD virtualKey, WORD modifier = 0);
  bool TypeText(std::string_view text);
  // Drops `paths` on the window as the shell does: a DROPFILES block with
  // wide names in the program's own memory, posted as WM_DROPFILES.
  bool Drop(const std::vector<std::string>& paths);
  // Waits until the program's thread has handled everything posted to it.
  bool Settled() const;

  // The split button's click; returns at once (the split runs on the
  // program's thread and shows its boxes meanwhile).
  bool StartSplit() { return Click("btnSpltExec", false); }
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
