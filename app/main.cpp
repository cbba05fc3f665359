// Quarnimo.exe: the program entry. Runs the start procedure on the real
// machine and, once the main window is shown, its message loop until the
// window is closed. A start-up that cannot go on has told the user and
// recorded why; the process then ends with a non-zero exit code.
#include <windows.h>
// after windows.h
#include <objbase.h>

#include "platform/win32/dialogs_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/window_host_win32.h"
#include "recovery/cpu.h"
#include "shell/intake.h"
#include "shell/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // The folder dialog needs COM on this thread (apartment-threaded;
  // CoInitializeEx is missing from Windows 95 without DCOM).
  const HRESULT com = CoInitialize(nullptr);

  int exitCode = 1;
  {
    qn::platform::win32::Win32System system;
    // Me, and the NT line from 2000 on, keep the SSE registers across task
    // switches; 95, 98 and NT 4.0 do not.
    qn::platform::OsVersion version;
    if (system.QueryVersion(&version) > 0) {
      const bool nt = version.platformId == 2;
      qn::recovery::AllowVectorUnit(nt ? version.major >= 5 : version.major > 4 || version.minor >= 90);
    }
    qn::platform::win32::Win32Dialogs dialogs;
    qn::platform::win32::Win32WindowHost host(dialogs, showCommand, instance);
    qn::shell::Program program(system, dialogs, host);
    program.intake = qn::shell::StandardIntake();
    switch (program.Start()) {
      case qn::shell::StartOutcome::kShown:
        exitCode = host.RunMessageLoop();
        break;
      case qn::shell::StartOutcome::kBadProgramName:
        exitCode = 2;
        break;
      case qn::shell::StartOutcome::kFailed:
        exitCode = 1;
        break;
    }
  }

  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
