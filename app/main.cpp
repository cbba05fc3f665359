// Quarnimo.exe: the program entry. Creates the main window on the real
// machine and runs its message loop until the window is closed.
#include <windows.h>
// after windows.h
#include <objbase.h>

#include "platform/win32/dialogs_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/ui_form.h"
#include "window/frm_main.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // The folder dialog needs COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  qn::platform::win32::Win32System system;
  qn::platform::win32::Win32Dialogs dialogs;
  qn::window::FrmMain frmMAIN(system, dialogs);
  frmMAIN.form.SetTitle(system.ProgramVersion().productName);

  int exitCode = 1;
  qn::platform::win32::FormWindow window(frmMAIN.form, instance);
  if (window.Create()) {
    dialogs.SetOwner(window.hwnd());
    window.Show(showCommand);
    exitCode = qn::platform::win32::RunMessageLoop(window);
  }

  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
