// What the split tests under Wine share besides driving the program: source
// files of random bytes, the names the parts and the rejoin batch file must
// have, the batch text a user's cmd will read, and the test disks of
// split_media.sh.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace qn::winetest {

// `length` reproducible pseudo-random bytes (every byte value occurs).
std::string RandomBytes(size_t length, uint32_t seed);

// The short (8.3) form of an existing path as the system gives it; "" when
// the path does not exist.
std::string ShortPath(const std::string& path);
// The bare stem of the parts of `source`: its short file name without the
// extension, with the dot ("ANNUAL~1.").
std::string BareStem(const std::string& source);
// The extension of part `n`: 001 to 099, then plain digits.
std::string PartNumber(int n);
// `text` in code page 932, as the batch file stores it.
std::string ToCp932(std::string_view utf8);
// The rejoin batch file a user needs for `count` parts of `source`: the
// COPY /B lines, 69 parts on the first and 70 on each further line, ending
// with the quoted long name, in code page 932.
std::string ExpectedBatch(const std::string& source, int count);

// Copies every file of `from` into `to`; false on the first failure.
bool CopyFolderFiles(const std::string& from, const std::string& to);
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
