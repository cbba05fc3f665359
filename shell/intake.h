// The command line and dropped files: how paths handed to the program become
// the main window's source or output folder, and how further files each get
// an instance of the program of their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"
#include "platform/window_host.h"
#include "shell/startup.h"
#include "window/frm_main.h"

namespace qn::shell {

// Cuts a command text (already trimmed of spaces) into candidate paths,
// element 0 the last path of the text. The text inside each pair of
// quotation marks is one candidate. Any other text is scanned from its end:
// a candidate starts at the character before a ":" (the drive letter) or at
// a "\\" pair (a network path) and runs to the end of what is left; a rest
// of one or two characters is never cut.
std::vector<std::string> CutCommandText(std::string_view text);

// Starts a further instance of the program (`programShortPath`, quoted) for
// the one file `path` (its short form), minimized with the focus, without
// waiting for it. Nothing for a path that does not exist or is
// a folder. The platform's error when the process cannot be started.
[[nodiscard]] platform::ErrorCode StartInstance(platform::System& sys, std::string_view programShortPath,
                                                std::string_view path);

// Takes the process's command line at start-up: the whole text when it names
// an existing path (a file is loaded, a folder ignored), otherwise the last
// candidate is loaded when it is an existing file and every other candidate
// gets an instance of its own. A loaded file shows its absolute long form. A
// file that cannot be measured or an instance that cannot be started throws
// StartupError, which ends the start-up.
void TakeCommandLine(Program& program);

// Handles one drop on the main window: one file becomes the source; a
// folder dropped alone may become the output folder (asked first); of
// several items (asked whether to take them all) the first, when it is a
// file, becomes the source and every further file gets an instance of its
// own. Folders among several items and items that do not exist (a name cut
// at 259 characters, say) are skipped without a word. While a split runs the
// drop is ignored. Failures are recorded (LastErrorNumber), never thrown.
void TakeDrop(Program& program, platform::DroppedItems& items);

// The program's intake: TakeCommandLine and TakeDrop.
Intake StandardIntake();

}  // namespace qn::shell
