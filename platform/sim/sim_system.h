// A simulated Windows machine for native tests. Drive letters and network
// shares map onto folders of a temporary directory that lives as long as the
// SimSystem; paths follow Windows rules (backslashes or slashes, names found
// without regard to letter case, drive-relative and relative paths against a
// current folder, "." and "..", trailing dots and spaces dropped); names that
// are not valid 8.3 names get generated short names such as PROGRA~1; open
// files obey Windows sharing rules; each drive has a type, a size, a label, a
// write-protect flag and a not-ready (no disk) flag that a test may change at
// any moment, for example between two message boxes.
//
// Tests set the public knobs and read the public records directly.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"

namespace qn::platform::sim {

// One drive or network share. Every field may be changed by a test at any
// time through the reference AddDrive/Drive/AddShare/ShareDrive return.
struct DriveSpec {
  int32_t type = drive::kFixed;
  uint64_t totalBytes = 8ull << 30;  // free space is this minus the files on the drive
  std::string label{};
  bool writeProtected = false;
  bool notReady = false;  // no disk: everything on the drive fails with err::kNotReady
  uint32_t bytesPerSector = 512;
  uint32_t sectorsPerCluster = 1;
  // The host folder that holds the disk's content. Empty when adding: a fresh
  // folder under the temporary directory. Point it elsewhere to swap disks.
  std::string hostFolder{};
};

// The operations a test's fault hook can make fail.
enum class Op {
  kOpen,
  kRead,
  kWrite,
  kClose,
  kRemoveFile,
  kReplaceFile,  // path: the destination
  kMakeFolder,
  kRemoveFolder,
  kFileLength,
  kChangeAttributes,
  kFlush,
  kVolumeLabel,  // before reading or setting a label (path: the root)
};

struct AttributeQuery {
  std::string path;
  uint32_t errorMode = 0;  // the error mode in force during the query
};

struct OpenRecord {
  std::string path;
  Access access = Access::kRead;
  Share share = Share::kNone;
  Disposition disposition = Disposition::kOpenExisting;
  ErrorCode result = 0;
};

struct StartedProcess {
  std::string commandLine;
  ShowMode show = ShowMode::kNormal;
};

struct ShellOpenCall {
  uintptr_t owner = 0;
  std::string target;
  std::string folder;
};

struct LabelWrite {
  std::string root;
  std::string label;
  int result = 0;
};

class SimFile;

class SimSystem : public System {
 public:
  // Creates the temporary directory, drive C: (fixed, 8 GiB) with the current
  // folder at its root, and the program file C:\Program Files\Quarnimo\Quarnimo.exe.
  SimSystem();
  // Closes any file still open and removes the temporary directory.
  ~SimSystem() override;
  SimSystem(const SimSystem&) = delete;
  SimSystem& operator=(const SimSystem&) = delete;

  // ---- the machine ----------------------------------------------------------
  // Adds (or replaces) drive `letter` (either case). Returns its live settings.
  DriveSpec& AddDrive(char letter, DriveSpec disk = {});
  // The live settings of an existing drive; a test failure and a fresh fixed drive
  // when there is none.
  DriveSpec& Drive(char letter);
  // Removes a drive: its letter then reports drive type 1 (no root folder).
  void RemoveDrive(char letter);
  // Adds a share "\\server\share"; its type is always remote (4).
  DriveSpec& AddShare(std::string_view unc, DriveSpec disk = {});
  DriveSpec& ShareDrive(std::string_view unc);
  // A new empty host folder under the temporary directory.
  std::string NewHostFolder(std::string_view hint = "disk");
  // Puts a new, empty, ready, writable disk with `label` into drive `letter` (the old
  // disk's folder stays as it was). Returns the new host folder.
  std::string SwapDisk(char letter, std::string_view label = "");
  // The current folder, an absolute Windows path; also remembered as the
  // current folder of its drive for drive-relative paths ("D:name").
  void SetCurrentFolder(std::string_view path);
  std::string CurrentFolder() const;

  // ---- host access for tests (these bypass write protection, sharing and
  // the fault hook; they fail the test when the host refuses) ---------------
  const std::string& TempDir() const { return tempDir_; }
  // The host path a Windows path names: existing components as stored,
  // missing ones as written. "" when the drive or share is unknown.
  std::string HostPath(std::string_view path);
  // Writes a whole file, creating missing folders on the way.
  void WriteFile(std::string_view path, std::string_view bytes);
  // A file of `length` bytes that takes no host disk space (reads as zeros).
  void MakeSparseFile(std::string_view path, int64_t length);
  // Creates a folder and any missing parents.
  void MakeFolders(std::string_view path);
  // The whole content of a file; "" when it cannot be read.
  std::string ReadFile(std::string_view path);
  bool Exists(std::string_view path);
  // The simulation remembers folder listings and the bytes used on each disk.
  // A test that changes host files directly (not through SimSystem or the
  // helpers above) calls this before relying on lookups or free space.
  void ForgetCaches();
  // Files opened through Open and not yet closed.
  size_t OpenFileCount() const { return openFiles_.size(); }
  std::vector<std::string> OpenFilePaths() const;

  // ---- knobs ----------------------------------------------------------------
  // Consulted before each operation named by Op: a non-zero result makes the
  // call fail with that code (for kClose the handle is closed all the same).
  std::function<ErrorCode(Op op, std::string_view path)> fault;
  // Runs before each ReadAt (for example to shrink the source being read).
  std::function<void(std::string_view path, int64_t offset, size_t size)> beforeRead;
  OsVersion version{148, 5, 0, 2195, 2};
  int versionResult = 1;
  std::string programFolder = "C:\\Program Files\\Quarnimo";
  std::string programFileName = "Quarnimo.exe";
  ProgramInfo programInfo{"Quarnimo", "Quarnimo", "Copyright (C) Quarnimo", 1, 0, 1};
  std::string commandText;
  ErrorCode startProcessResult = 0;
  std::optional<intptr_t> shellOpenResult;  // unset: 42 for an existing file, else 2
  std::map<int, int> metrics{{0, 1024}, {1, 768}, {15, 19}, {16, 1024}, {17, 705}};
  double twipsPerPixelX = 15;
  double twipsPerPixelY = 15;

  // ---- records --------------------------------------------------------------
  uint32_t errorMode = 0;
  std::vector<uint32_t> errorModeCalls;          // every mode passed to SwapErrorMode
  std::vector<AttributeQuery> attributeQueries;  // every FileAttributes call
  std::vector<OpenRecord> opens;
  std::vector<StartedProcess> startedProcesses;
  std::vector<ShellOpenCall> shellOpens;
  std::vector<LabelWrite> labelWrites;
  std::vector<std::string> flushes;  // every file flushed, by the path it was opened with
  // The system's own "no disk" box: a query met a drive without a disk while
  // the error mode let the system ask the user (one entry per box, the path).
  std::vector<std::string> noDiskBoxes;

  // ---- System ---------------------------------------------------------------
  uint32_t SwapErrorMode(uint32_t mode) override;
  int32_t FileAttributes(std::string_view path) override;
  [[nodiscard]] ErrorCode ChangeFileAttributes(std::string_view path, int32_t attributes) override;
  int32_t DriveTypeOf(std::string_view root) override;
  bool FreeSpaceEx(std::string_view path, DiskSpaceEx* out) override;
  bool FreeSpaceClusters(std::string_view path, DiskClusters* out) override;
  int QueryVersion(OsVersion* record) override;
  bool ReadVolumeLabel(std::string_view root, std::string* label) override;
  int WriteVolumeLabel(std::string_view root, std::string_view label) override;
  std::string FullPathOf(std::string_view path, size_t bufferChars) override;
  std::string ShortPathOf(std::string_view path, size_t bufferChars) override;
  std::string ListFirst(std::string_view pattern, int32_t attributeMask) override;
  int64_t FileLengthOf(std::string_view path, ErrorCode* error) override;
  std::unique_ptr<File> Open(std::string_view path, Access access, Share share, Disposition disposition,
                             ErrorCode* error) override;
  [[nodiscard]] ErrorCode RemoveFile(std::string_view path) override;
  bool SameFile(std::string_view path, std::string_view other) override;
  [[nodiscard]] ErrorCode MakeFolder(std::string_view path) override;
  [[nodiscard]] ErrorCode RemoveFolder(std::string_view path) override;
  [[nodiscard]] ErrorCode ReplaceFile(std::string_view from, std::string_view to) override;
  std::string DescribeError(ErrorCode code) override;
  std::unique_ptr<Worker> StartWorker() override;
  std::string ProgramFolder() override;
  std::string ProgramFileName() override;
  ProgramInfo ProgramVersion() override;
  std::string CommandText() override;
  [[nodiscard]] ErrorCode StartProcess(std::string_view commandLine, ShowMode show) override;
  intptr_t ShellOpen(uintptr_t ownerWindow, std::string_view target, std::string_view folder) override;
  int SystemMetric(int index) override;
  double TwipsPerPixelX() override;
  double TwipsPerPixelY() override;
  std::string ToAnsi(std::string_view utf8, bool* exact) override;
  std::string FromAnsi(std::string_view ansi) override;

 private:
  friend class SimFile;

  // A path made absolute by text alone, components as written.
  struct Location {
    bool valid = false;
    char letter = 0;       // drive letter (upper case), 0 for a share
    std::string shareKey;  // upper-cased "\\SERVER\SHARE" for a share
    std::string prefix;    // "C:" or "\\server\share" as written
    std::vector<std::string> parts;
    bool trailingSlash = false;
  };
  // What a Location names on the host.
  struct Found {
    ErrorCode error = 0;  // the volume or a folder on the way is missing or not ready
    DriveSpec* volume = nullptr;
    std::string parentHost;  // host folder that holds the last component
    std::string name;        // the last component: stored name, or as written when missing
    std::string host;        // host path of the target
    bool exists = false;
    bool isDir = false;
    bool isRoot = false;
  };
  struct Entry {
    std::string name;
    std::string shortName;  // empty for a valid 8.3 name
    bool isDir = false;
  };
  struct Meta {
    std::string shortName;
    std::optional<int32_t> attributes;  // read-only, hidden, system, archive bits
  };
  struct Stamp {
    int64_t seconds = 0;
    int64_t nanoseconds = 0;
    int64_t inode = 0;
    bool operator==(const Stamp&) const = default;
  };
  // The names of a host folder as last listed, so that looking up a name
  // that is not there does not list the folder again.
  struct DirCache {
    Stamp stamp;
    std::map<std::string, std::string> names;   // folded stored name -> stored name
    std::map<std::string, std::string> shorts;  // folded short name -> stored name
  };
  static Stamp DirStamp(const std::string& hostDir);

  struct Handle {
    std::string host;
    std::string path;  // as opened
    Access access;
    Share share;
  };

  Location Parse(std::string_view path) const;
  std::string Display(const Location& location) const;
  DriveSpec* VolumeFor(char letter, const std::string& shareKey) const;
  Found Lookup(const Location& location);
  Found LookupPath(std::string_view path) { return Lookup(Parse(path)); }
  std::vector<Entry> ListDir(const std::string& hostDir);
  const Entry* FindEntry(const std::vector<Entry>& entries, std::string_view name) const;
  // The entry `name` names in a host folder: a name spelled exactly as stored
  // is found without listing the folder (its shortName is then left empty);
  // otherwise by letter case or short name.
  std::optional<Entry> FindChild(const std::string& hostDir, std::string_view name);
  // The short name of a stored name, assigned now if it has none yet; "" for
  // a valid 8.3 name.
  std::string ShortNameFor(const std::string& hostDir, const std::string& name);
  // A name was just created: forget what an earlier file of that name had and
  // give it its short name at once.
  void NoteCreated(const std::string& hostDir, const std::string& name);
  // A name was just removed (or renamed away).
  void NoteRemoved(const std::string& hostDir, const std::string& name);
  void CacheAdd(const std::string& hostDir, const std::string& name, const std::string& shortName);
  Meta& MetaOf(const std::string& parentHost, const std::string& name);
  void ForgetMeta(const std::string& parentHost, const std::string& name);
  int32_t AttributesOf(const Found& found);
  bool IsReadOnly(const Found& found);
  uint64_t UsedBytes(const DriveSpec& volume);
  uint64_t FreeBytes(const DriveSpec& volume);
  // A file on `volume` went from `oldSize` to `newSize` bytes (0: removed).
  void SizeChanged(const DriveSpec& volume, uint64_t oldSize, uint64_t newSize);
  bool SharingAllows(const std::string& host, Access access, Share share) const;
  bool DeleteAllowed(const std::string& host) const;
  ErrorCode Fault(Op op, std::string_view path);
  // Records the system's "no disk" box when `found` met an empty drive with
  // the critical-error box on.
  void NoDiskBox(const Found& found, std::string_view path);
  // Host folder of the first `count` components, created as needed; "" on failure.
  std::string TestFolders(const Location& location, size_t count);
  // Host path of a file, created empty (with its folders) when missing.
  std::string TestFile(std::string_view path);

  std::string tempDir_;
  int hostFolderCount_ = 0;
  std::map<char, std::unique_ptr<DriveSpec>> drives_;
  std::map<std::string, std::unique_ptr<DriveSpec>> shares_;  // by upper-cased UNC
  std::map<std::string, std::string> shareNames_;             // upper-cased UNC -> as added
  Location current_;
  std::map<char, std::vector<std::string>> driveFolders_;    // current folder of each drive
  std::map<std::string, std::map<std::string, Meta>> meta_;  // host folder -> stored name -> meta
  std::map<std::string, DirCache> dirCache_;                 // by host folder
  struct UsedCache {
    uint64_t cluster = 0;
    uint64_t bytes = 0;
  };
  std::map<std::string, UsedCache> usedBytes_;  // by a disk's host folder
  std::map<SimFile*, Handle> openFiles_;
};

}  // namespace qn::platform::sim
