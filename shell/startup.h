// The program's start procedure and its exit. Start() checks the program's
// own file name, measures the screen, makes the main window, hooks dropped
// files into it, places it where it was last closed, applies the stored
// settings, hands over to the command-line intake and shows the window; the
// caller then runs the message loop. Closing the window by any means saves
// its position and takes the drop hook away again.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "platform/system.h"
#include "platform/window_host.h"
#include "window/frm_main.h"

namespace qn::shell {

// The usable screen in twips, in single precision.
struct ScreenExtent {
  float width = 0;
  float height = 0;
};

// Width: twips per pixel x SM_CXFULLSCREEN; height: twips per pixel x
// (SM_CYFULLSCREEN + SM_CYMENU).
ScreenExtent GetScreenExtent(platform::System& sys);

// Where a window edge goes for a stored position: the text's leading number
// in single precision, 0 when below 0, `screen` - `window` when beyond
// `screen`. An edge inside the screen stays even if the window reaches past it.
float PlaceEdge(std::string_view stored, float screen, float window);

// A start-up step that cannot go on, with the number and the description
// recorded for it. Other exceptions are recorded as a general failure.
class StartupError : public std::runtime_error {
 public:
  StartupError(platform::ErrorCode number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  platform::ErrorCode number() const { return number_; }

 private:
  platform::ErrorCode number_;
};

enum class StartOutcome {
  kShown,           // the window is shown: run the message loop
  kBadProgramName,  // the program file is not named *.exe: told and recorded, no window
  kFailed,          // a later step failed: told and recorded, the window discarded
};

class Program;

// Steps the intake fills in; an empty one does nothing.
struct Intake {
  // The command-line hand-off: runs once, after the settings are applied and
  // before the window is shown. A throw ends the start-up as a failure.
  std::function<void(Program&)> takeCommandLine;
  // Runs for every drop on the window, before the message goes on to the
  // window's own procedure.
  std::function<void(Program&, platform::DroppedItems&)> onDrop;
};

class Program {
 public:
  // All three must outlive the program.
  Program(platform::System& sys, platform::Dialogs& dialogs, platform::WindowHost& host);
  // Lets go of the window before the form it shows goes.
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Runs the start procedure once; never throws. On kShown the window's
  // message loop runs everything from here on.
  [[nodiscard]] StartOutcome Start() noexcept;

  Intake intake;

  platform::System& system() { return sys_; }
  platform::Dialogs& dialogs() { return dialogs_; }
  platform::WindowHost& host() { return host_; }
  // The main window; nullptr until start-up has made it.
  window::FrmMain* frmMAIN() { return frm_.get(); }
  // The short form of the program's own file path, set by the self check.
  const std::string& ProgramShortPath() const { return programShortPath_; }

 private:
  StartOutcome Run();
  void Fail(platform::ErrorCode number, const std::string& description) noexcept;
  void Form_QueryUnload();

  platform::System& sys_;
  platform::Dialogs& dialogs_;
  platform::WindowHost& host_;
  std::unique_ptr<window::FrmMain> frm_;
  std::string programShortPath_;
};

}  // namespace qn::shell
