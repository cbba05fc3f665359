// What the split tests under Wine share besides driving the program: source
// files of random bytes, the choices made in the window before a split, the
// boxes a split shows, the names the parts and the rejoin batch file must
// have, the rejoin by the user's cmd, and the test disks of split_media.sh.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "tests/wine/support/quarnimo_app.h"

namespace qn::winetest {

inline constexpr const char* kFinished = "正常に分割を終了しました";
inline constexpr int kInformation = 64;
inline constexpr int kCritical = 16;

// `length` reproducible pseudo-random bytes (every byte value occurs).
std::string RandomBytes(size_t length, uint32_t seed);

// What the user chooses in the window before pressing the split button.
struct Choice {
  std::string source;
  std::string outFolder;
  std::string freeSize;  // the free size field's text; empty selects the 1.44 MB preset
  bool batch = true;
  int policy = 0;  // 0 overwrite, 1 skip, 2 ask
};
// Sets the window up as `choice` says (output folder of its own) and presses
// the split button; a failed step is a test failure.
void StartSplit(QuarnimoApp& app, const Choice& choice);
// Waits for the next box and checks its text, style and empty title; an
// empty box when none came.
SeenBox ExpectBox(QuarnimoApp& app, const std::string& text, int style);
// Expects the run's end message with the status line beside it, answers it
// and waits until the window is unlocked with an empty status line.
void ExpectEnd(QuarnimoApp& app, const std::string& text, int style);
// Runs the batch file of `source` with Wine's cmd in `folder`, which holds
// the parts, and expects the joined file there to be `bytes`.
void ExpectRejoin(const std::string& folder, const std::string& source, const std::string& bytes);

// The bare stem of the parts of `source`: its short file name without the
// extension, with the dot ("ANNUAL~1.").
std::string BareStem(const std::string& source);
// The extension of part `n`: 001 to 099, then plain digits.
std::string PartNumber(int n);

// The number of files in `folder` (folders not counted).
int CountFiles(const std::string& folder);

// The test disks: `reason` is empty when they are mounted, and why not
// otherwise. RunMedia runs one action of split_media.sh (insert, eject,
// protect, unprotect, format, wipe) and says whether it worked.
std::string MediaUnavailableReason();
bool RunMedia(std::string_view action, int disk = 0);
// The host folder behind floppy `disk`, and the one behind drive M:, as
// Windows paths (Z:...).
std::string FloppyFolder(int disk);
std::string FixedDiskFolder();

}  // namespace qn::winetest
