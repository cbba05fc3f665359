#include "media/drives.h"

#include <string>

#include "media/paths.h"

namespace qn::media {
namespace {

constexpr uint32_t kPlatformWindows = 1;  // the 95/98 line
constexpr uint32_t kPlatformNt = 2;
constexpr std::string_view kTestLabel = "split";

// a × b × c exactly while it fits 64 bits (always for real cluster counts).
double ExactProduct(uint32_t a, uint32_t b, uint32_t c) {
  uint64_t product = 0;
  if (!__builtin_mul_overflow(static_cast<uint64_t>(a) * b, static_cast<uint64_t>(c), &product)) {
    return static_cast<double>(product);
  }
  return static_cast<double>(a) * static_cast<double>(b) * static_cast<double>(c);
}

double ToDouble(uint64_t value) {
  return LargeToDouble(static_cast<int32_t>(static_cast<uint32_t>(value)),
                       static_cast<int32_t>(static_cast<uint32_t>(value >> 32)));
}

}  // namespace

std::string DrivePart(std::string_view path) {
  size_t end = 0;
  for (int taken = 0; end < path.size() && taken < 2; ++taken) {
    ++end;
    while (end < path.size() && (static_cast<unsigned char>(path[end]) & 0xC0) == 0x80) ++end;
  }
  return std::string(path.substr(0, end));
}

int32_t GetPathAttributes(platform::System& sys, std::string_view path, uint8_t fileMode) {
  const std::string query = fileMode == 0 ? WithBackslash(path) : std::string(path);
  return WithoutCriticalErrorBox(sys, [&] { return sys.FileAttributes(query); });
}

int32_t GetPathDriveType(platform::System& sys, std::string_view path) {
  return sys.DriveTypeOf(WithBackslash(path));
}

double GetDriveCapacity(platform::System& sys, std::string_view path) {
  double total = 0;
  double free = 0;
  double available = 0;
  (void)QueryDiskSpace(sys, path, &total, &free, &available);
  return total;
}

// Takes a path whose first two characters name the drive; fills the three
// byte counts from the 64-bit query where the system has it, else from the
// cluster counts. Gives 1 on success; on failure 0, the out-values untouched.
int32_t QueryDiskSpace(platform::System& sys, std::string_view path, double* total, double* free,
                       double* available) {
  const std::string drive = DrivePart(path);
  if (HasExtendedDiskSpace(sys)) {
    platform::DiskSpaceEx space;
    if (!WithoutCriticalErrorBox(sys, [&] { return sys.FreeSpaceEx(drive, &space); })) return 0;
    *total = ToDouble(space.total);
    *free = ToDouble(space.totalFree);
    *available = ToDouble(space.availableToCaller);
    return 1;
  }
  platform::DiskClusters clusters;
  if (!WithoutCriticalErrorBox(sys, [&] { return sys.FreeSpaceClusters(drive, &clusters); })) return 0;
  *total = ExactProduct(clusters.totalClusters, clusters.sectorsPerCluster, clusters.bytesPerSector);
  *free = ExactProduct(clusters.freeClusters, clusters.sectorsPerCluster, clusters.bytesPerSector);
  *available = *free;
  return 1;
}

// The 64-bit call exists from NT 4.0 and from Windows 95 OSR2 (build 1000+).
bool HasExtendedDiskSpace(platform::System& sys) {
  platform::OsVersion version;
  version.size = 148;
  if (sys.QueryVersion(&version) <= 0) return false;
  switch (version.platformId) {
    case kPlatformWindows:
      if (version.major > 4) return true;
      return (version.build & 0xFFFFu) > 1000 && version.major >= 4;
    case kPlatformNt:
      return version.major >= 4;
    default:
      return false;
  }
}

double LargeToDouble(int32_t low, int32_t high) {
  constexpr double kTwoTo32 = 4294967296.0;
  const double lowPart = low < 0 ? low + kTwoTo32 : low;
  const double highPart = high < 0 ? high + kTwoTo32 : high;
  return lowPart + kTwoTo32 * highPart;
}

// Takes a drive ("A:") or its root; gives 1 when the label could be set (and
// puts the old one back), -1 when there is no disk, else the failed label
// call's value. An unreadable old label is restored as an empty one.
int32_t TestVolumeWritable(platform::System& sys, std::string_view path) {
  const std::string root = WithBackslash(path);
  if (GetPathAttributes(sys, root, 1) < 1) return -1;
  // The disk may have gone since the attribute query.
  std::string label;
  if (!WithoutCriticalErrorBox(sys, [&] { return sys.ReadVolumeLabel(root, &label); })) label.clear();
  label = TrimAtNull(label);
  const int32_t result = WithoutCriticalErrorBox(sys, [&] { return sys.WriteVolumeLabel(root, kTestLabel); });
  if (result == 1) (void)WithoutCriticalErrorBox(sys, [&] { return sys.WriteVolumeLabel(root, label); });
  return result;
}

}  // namespace qn::media
