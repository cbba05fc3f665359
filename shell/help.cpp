#include "shell/help.h"

#include "media/paths.h"
#include "window/frm_version.h"

namespace qn::shell {

namespace {

constexpr std::string_view kHelpDocumentName = "readme.html";
constexpr std::string_view kHelpMissing = "readme.htmlが見つかりません";
constexpr intptr_t kShellFailureLimit = 32;  // ShellExecute: 32 or less is an error

}  // namespace

std::string HelpDocumentPath(std::string_view programFolder) {
  return media::WithBackslash(programFolder).append(kHelpDocumentName);
}

intptr_t OpenWithShell(platform::System& sys, uintptr_t owner, std::string_view target) {
  return sys.ShellOpen(owner, target, sys.ProgramFolder());
}

void ShowHelpDocument(platform::System& sys, platform::Dialogs& dialogs, uintptr_t owner) {
  if (OpenWithShell(sys, owner, HelpDocumentPath(sys.ProgramFolder())) <= kShellFailureLimit) {
    (void)dialogs.MsgBox(kHelpMissing, platform::mb::kOk | platform::mb::kExclamation, "");
  }
}

void ShowSupportPage(platform::System& sys, uintptr_t owner) {
  (void)OpenWithShell(sys, owner, kSupportPageAddress);
}

void ShowVersionDialog(platform::System& sys, platform::WindowHost& host, int iconResource) {
  window::FrmVersion dialog(sys.ProgramVersion(), iconResource);
  host.ShowModal(dialog.form);
}

void ConnectHelpMenu(platform::System& sys, platform::Dialogs& dialogs, platform::WindowHost& host,
                     window::FrmMain& frm) {
  frm.onHelpDocument = [&sys, &dialogs, &host] { ShowHelpDocument(sys, dialogs, host.WindowHandle()); };
  frm.onSupportPage = [&sys, &host] { ShowSupportPage(sys, host.WindowHandle()); };
  frm.onVersionInfo = [&sys, &host, &frm] { ShowVersionDialog(sys, host, frm.form.iconResource); };
}

}  // namespace qn::shell
