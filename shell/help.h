// The help menu: the help document readme.html beside the program and the
// maker's support page, both handed to the shell, and the version dialog.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "platform/system.h"
#include "platform/window_host.h"
#include "window/frm_main.h"

namespace qn::shell {

// The maker's support page, opened by the help menu's second item.
inline constexpr std::string_view kSupportPageAddress = "https://quarnimo.example/support/";

// readme.html in `programFolder`, with one "\" between them even when the
// folder is a drive root ("C:\").
std::string HelpDocumentPath(std::string_view programFolder);

// Hands `target` (a document or an address) to the shell to open with the
// verb "open", no parameters, the program's folder as working folder and the
// normal window state, owned by `owner`. The shell's result: 32 or less
// means it failed.
intptr_t OpenWithShell(platform::System& sys, uintptr_t owner, std::string_view target);

// The help document; when the shell cannot open it (missing, or no viewer
// for the file type), the user is told so.
void ShowHelpDocument(platform::System& sys, platform::Dialogs& dialogs, uintptr_t owner);
// The support page; a failure is not reported.
void ShowSupportPage(platform::System& sys, uintptr_t owner);
// A fresh version dialog, modal over the main window, filled from the
// program's own version information and showing the main window's icon.
void ShowVersionDialog(platform::System& sys, platform::WindowHost& host, int iconResource);

// Connects the help menu of `frm` to the three items above. All three
// objects must outlive the window.
void ConnectHelpMenu(platform::System& sys, platform::Dialogs& dialogs, platform::WindowHost& host,
                     window::FrmMain& frm);

}  // namespace qn::shell
