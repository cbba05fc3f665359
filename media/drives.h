// Drive services: whether a path exists and what it is, the kind of drive it
// lies on, how large that drive is, and whether its disk can be written.
// Every failure comes back as a value; none shows anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace qn::media {

// Runs `query` with the system's critical-error box off: a drive without a
// disk must fail the query, not stop the user with the system's own "no
// disk" box before the program's prompt, and again on every retry.
template <typename Query>
auto WithoutCriticalErrorBox(platform::System& sys, Query query) {
  constexpr uint32_t kNoCriticalErrorDialog = 1;
  constexpr uint32_t kDefaultErrorMode = 0;
  sys.SwapErrorMode(kNoCriticalErrorDialog);
  auto result = query();
  // Back to the default, not to the previous mode: the program never sets another.
  sys.SwapErrorMode(kDefaultErrorMode);
  return result;
}

// The drive part of a path: its first two characters ("A:", or "\\" of a network path).
std::string DrivePart(std::string_view path);

// Attribute bits of `path`, or -1 when it is missing or its drive is not
// ready. fileMode 0: the path names a folder or drive and gets a trailing
// backslash. The critical-error dialog is off during the query.
int32_t GetPathAttributes(platform::System& sys, std::string_view path, uint8_t fileMode);
// Drive type code (platform::drive) of the drive of `path` ("A:" asks "A:\").
int32_t GetPathDriveType(platform::System& sys, std::string_view path);
// Total size in bytes of the drive named by the first two characters of
// `path`; 0 when it cannot be queried.
double GetDriveCapacity(platform::System& sys, std::string_view path);
// Total, free and available-to-caller bytes of the drive of `path`. Non-zero
// on success; on failure the out-values keep what the caller put in them.
int32_t QueryDiskSpace(platform::System& sys, std::string_view path, double* total, double* free,
                       double* available);
// True when the system offers the 64-bit disk-space call.
bool HasExtendedDiskSpace(platform::System& sys);
// An unsigned 64-bit value given as two 32-bit halves, each read as signed.
double LargeToDouble(int32_t low, int32_t high);
// Write test of the disk in the drive of `path`: sets the label to "split"
// and restores it. 1 writable, -1 no disk or not ready, otherwise the failed
// label call's value.
int32_t TestVolumeWritable(platform::System& sys, std::string_view path);

}  // namespace qn::media
