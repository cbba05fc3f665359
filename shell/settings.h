// The settings file values.ini in the program's folder: key=value lines in
// the ANSI code page, read and rewritten whole on every call, shared by every
// running instance. Callers name a key by its setting code.
#pragma once

#include <string>
#include <string_view>

#include "platform/system.h"
#include "window/frm_main.h"

namespace qn::shell {

namespace setting {
inline constexpr int kDpath = 0;
inline constexpr int kMakeBatch = 1;
inline constexpr int kCheckOw = 2;
inline constexpr int kSizeOpt = 3;
inline constexpr int kDevSize = 4;
inline constexpr int kSameDir = 5;
inline constexpr int kFormExt = 6;
inline constexpr int kMakePar2 = 7;  // recovery data beside the parts
inline constexpr int kXpos = 100;
inline constexpr int kYpos = 101;
inline constexpr int kLastError = 255;
inline constexpr int kLastErrorNumber = 256;
}  // namespace setting

// What ReadSetting gives when the file is missing or cannot be read.
inline constexpr std::string_view kErrorValue = "ERROR_VALUE";

// The key of a setting code; "" for a code outside the table.
std::string_view SettingKey(int code);

// The program's folder, a backslash unless it ends with one, "values.ini".
std::string SettingsPath(platform::System& sys);

// The value of the first entry for `code`'s key, spaces and tabs trimmed; ""
// when there is none or the code is not readable (only 0 to 7, 100 and 101
// are). When the file is missing or unreadable: records the failure (number
// and description; 0 and "" for a missing file, which creates the file) and
// gives kErrorValue.
std::string ReadSetting(platform::System& sys, int code);

// Sets `code`'s key to `value` in every entry for it, appends an entry when
// there is none, keeps every other non-empty line. A code outside the table
// does nothing. Fails silently: the file is then left exactly as it was.
void WriteSetting(platform::System& sys, int code, std::string_view value);

// Reads dpath, makebatch, checkow, devsize, sizeopt, samedir, formext and
// makepar2 in that order, puts each unacceptable value back to its default,
// sets the window from them (running the controls' own handling) and lays it
// out.
void ApplySettings(platform::System& sys, window::FrmMain& frm);

// The settings menu's save: codes 0 to 7 in order, from the window as it is.
// makepar2 only when its item is checked or the file has an entry for it
// already, so that a user who never turned it on finds the file as before.
void SaveSettings(platform::System& sys, window::FrmMain& frm);

// Sets the window's load and save settings hooks and its error recorder to
// the operations above. `sys` must outlive the window.
void ConnectSettings(platform::System& sys, window::FrmMain& frm);

}  // namespace qn::shell
