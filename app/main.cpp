// Quarnimo.exe: the program entry. For now one top-level window titled with
// the product name from the program's own version resource; it ends the
// program when it is closed.
#include <windows.h>
// after windows.h
#include <objbase.h>

#include <string>

#include "platform/win32/system_win32.h"
#include "platform/win32/wide.h"

namespace {

constexpr wchar_t kWindowClass[] = L"QuarnimoMain";
constexpr int kIconId = 1;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Registers the window class with the program's icon in both sizes the
// shell asks for; false when registration fails.
bool RegisterMainClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  windowClass.hIconSm =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  // A system colour index + 1 stands for that colour's brush.
  windowClass.hbrBackground =
      reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);  // NOLINT(performance-no-int-to-ptr)
  windowClass.lpszClassName = kWindowClass;
  return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // The folder dialog needs COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  qn::platform::win32::Win32System system;
  const std::wstring title = qn::platform::win32::Widen(system.ProgramVersion().productName);

  int exitCode = 1;
  if (RegisterMainClass(instance)) {
    const HWND window = CreateWindowExW(
        0, kWindowClass, title.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
        CW_USEDEFAULT, CW_USEDEFAULT, 300, 340, nullptr, nullptr, instance, nullptr);
    if (window != nullptr) {
      ShowWindow(window, showCommand);
      UpdateWindow(window);
      MSG message;
      BOOL got;
      while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      exitCode = got == 0 ? static_cast<int>(message.wParam) : 1;
    }
  }

  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
