#include "platform/sim/sim_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "platform/sim/sim_names.h"

namespace fs = std::filesystem;

namespace qn::platform::sim {
namespace {

constexpr int32_t kStoredBits = attr::kReadOnly | attr::kHidden | attr::kSystem | attr::kArchive;
constexpr ErrorCode kNotSameDevice = 17;

std::string Normalize(std::string_view path) {
  std::string text(path);
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

std::vector<std::string> SplitParts(std::string_view text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\\', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Windows drops trailing dots and blanks from a name when it looks it up.
std::string TrimTrailingDotsAndSpaces(std::string_view name) {
  size_t end = name.size();
  while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) --end;
  return std::string(name.substr(0, end));
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool HasDrive(std::string_view s) { return s.size() >= 2 && IsLetter(s[0]) && s[1] == ':'; }
bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

bool SharesRead(Share share) { return share != Share::kNone; }
bool SharesWrite(Share share) { return share == Share::kReadWrite || share == Share::kReadWriteDelete; }

uint64_t ClusterBytes(const DriveSpec& volume) {
  const uint64_t bytes = static_cast<uint64_t>(volume.bytesPerSector) * volume.sectorsPerCluster;
  return bytes == 0 ? 1 : bytes;
}

uint64_t RoundUp(uint64_t bytes, uint64_t cluster) { return (bytes + cluster - 1) / cluster * cluster; }

}  // namespace

// When a host folder last changed, to notice changes made behind the
// simulation's back.
SimSystem::Stamp SimSystem::DirStamp(const std::string& hostDir) {
  struct stat st {};
  if (::stat(hostDir.c_str(), &st) != 0) return Stamp{};
  return Stamp{static_cast<int64_t>(st.st_mtim.tv_sec), static_cast<int64_t>(st.st_mtim.tv_nsec),
               static_cast<int64_t>(st.st_ino)};
}

namespace {}  // namespace

// ---------------------------------------------------------------------------
// An open file: a host descriptor plus the simulation's checks.
class SimFile : public File {
 public:
  SimFile(SimSystem* sim, std::string path, int fd, Access access, char letter, std::string shareKey,
          std::string diskFolder)
      : sim_(sim),
        path_(std::move(path)),
        fd_(fd),
        access_(access),
        letter_(letter),
        shareKey_(std::move(shareKey)),
        diskFolder_(std::move(diskFolder)) {}
  ~SimFile() override { Release(); }

  ErrorCode ReadAt(int64_t offset, void* data, size_t size, size_t* got) override {
    *got = 0;
    if (fd_ < 0 || sim_ == nullptr) return err::kInvalidHandle;
    if (access_ != Access::kRead) return err::kAccessDenied;
    if (offset < 0) return err::kInvalidParameter;
    if (!DiskPresent()) return err::kNotReady;
    if (sim_->beforeRead) sim_->beforeRead(path_, offset, size);
    if (ErrorCode failure = sim_->Fault(Op::kRead, path_)) return failure;
    auto* bytes = static_cast<char*>(data);
    while (*got < size) {
      const ssize_t n = ::pread(fd_, bytes + *got, size - *got, offset + static_cast<int64_t>(*got));
      if (n < 0) return err::kReadFault;
      if (n == 0) break;
      *got += static_cast<size_t>(n);
    }
    return err::kNone;
  }

  // Writes what the disk can hold; a write that does not fit completely
  // leaves the part that fits and fails with err::kDiskFull.
  ErrorCode Write(const void* data, size_t size) override {
    if (fd_ < 0 || sim_ == nullptr) return err::kInvalidHandle;
    if (access_ != Access::kWrite) return err::kAccessDenied;
    if (!DiskPresent()) return err::kNotReady;
    const DriveSpec& volume = *sim_->VolumeFor(letter_, shareKey_);
    if (volume.writeProtected) return err::kWriteProtect;
    if (ErrorCode failure = sim_->Fault(Op::kWrite, path_)) return failure;

    struct stat st {};
    if (::fstat(fd_, &st) != 0) return err::kWriteFault;
    const uint64_t oldSize = static_cast<uint64_t>(st.st_size);
    const uint64_t cluster = ClusterBytes(volume);
    const uint64_t end = position_ + size;
    const uint64_t needed = end > oldSize ? RoundUp(end, cluster) - RoundUp(oldSize, cluster) : 0;
    uint64_t freeBytes = sim_->FreeBytes(volume);
    if (needed > freeBytes) {
      sim_->usedBytes_.erase(volume.hostFolder);  // count again before refusing
      freeBytes = sim_->FreeBytes(volume);
    }
    size_t fits = size;
    if (needed > freeBytes) {
      const uint64_t maxEnd = RoundUp(oldSize, cluster) + freeBytes / cluster * cluster;
      fits = maxEnd > position_ ? static_cast<size_t>(std::min<uint64_t>(size, maxEnd - position_)) : 0;
    }
    const auto* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < fits) {
      const ssize_t n = ::pwrite(fd_, bytes + done, fits - done, static_cast<off_t>(position_ + done));
      if (n <= 0) return err::kWriteFault;
      done += static_cast<size_t>(n);
    }
    position_ += done;
    sim_->SizeChanged(volume, oldSize, std::max<uint64_t>(oldSize, position_));
    return fits < size ? err::kDiskFull : err::kNone;
  }

  ErrorCode WriteAt(int64_t offset, const void* data, size_t size) override {
    if (offset < 0) return err::kInvalidParameter;
    position_ = static_cast<uint64_t>(offset);
    return Write(data, size);
  }

  ErrorCode Flush() override {
    if (fd_ < 0 || sim_ == nullptr) return err::kInvalidHandle;
    if (access_ != Access::kWrite) return err::kAccessDenied;
    if (!DiskPresent()) return err::kNotReady;
    if (ErrorCode failure = sim_->Fault(Op::kFlush, path_)) return failure;
    sim_->flushes.push_back(path_);
    return err::kNone;
  }

  ErrorCode Close() override {
    if (fd_ < 0) return err::kNone;
    const ErrorCode fault = sim_ != nullptr ? sim_->Fault(Op::kClose, path_) : err::kNone;
    Release();
    return fault;
  }

  // The simulation goes away first: close without reporting back.
  void Detach() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    sim_ = nullptr;
  }

 private:
  void Release() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    if (sim_ != nullptr) sim_->openFiles_.erase(this);
  }

  // The disk the file was opened on is still in its drive and ready.
  bool DiskPresent() const {
    const DriveSpec* volume = sim_->VolumeFor(letter_, shareKey_);
    return volume != nullptr && !volume->notReady && volume->hostFolder == diskFolder_;
  }

  SimSystem* sim_;  // not owned; outlives the file unless Detach() was called
  std::string path_;
  int fd_;
  Access access_;
  char letter_;
  std::string shareKey_;
  std::string diskFolder_;
  uint64_t position_ = 0;
};

// ---------------------------------------------------------------------------
// The machine.

SimSystem::SimSystem() {
  std::error_code ec;
  std::string pattern = (fs::temp_directory_path(ec) / "qn-sim-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot create the simulation's temporary directory " << pattern;
  }
  tempDir_ = pattern;
  AddDrive('C');
  SetCurrentFolder("C:\\");
  WriteFile(programFolder + "\\" + programFileName, "MZ");
}

SimSystem::~SimSystem() {
  for (auto& [file, handle] : openFiles_) file->Detach();
  openFiles_.clear();
  std::error_code ec;
  fs::remove_all(tempDir_, ec);
}

DriveSpec& SimSystem::AddDrive(char letter, DriveSpec disk) {
  letter = UpperLetter(letter);
  if (disk.hostFolder.empty()) disk.hostFolder = NewHostFolder(std::string("drive-") + letter);
  std::error_code ec;
  fs::create_directories(disk.hostFolder, ec);
  auto& slot = drives_[letter];
  slot = std::make_unique<DriveSpec>(std::move(disk));
  return *slot;
}

DriveSpec& SimSystem::Drive(char letter) {
  auto it = drives_.find(UpperLetter(letter));
  if (it != drives_.end()) return *it->second;
  ADD_FAILURE() << "the simulation has no drive " << letter << ":";
  return AddDrive(letter);
}

void SimSystem::RemoveDrive(char letter) { drives_.erase(UpperLetter(letter)); }

DriveSpec& SimSystem::AddShare(std::string_view unc, DriveSpec disk) {
  const std::string key = Fold(Normalize(unc));
  disk.type = drive::kRemote;
  if (disk.hostFolder.empty()) disk.hostFolder = NewHostFolder("share");
  std::error_code ec;
  fs::create_directories(disk.hostFolder, ec);
  auto& slot = shares_[key];
  slot = std::make_unique<DriveSpec>(std::move(disk));
  return *slot;
}

DriveSpec& SimSystem::ShareDrive(std::string_view unc) {
  auto it = shares_.find(Fold(Normalize(unc)));
  if (it != shares_.end()) return *it->second;
  ADD_FAILURE() << "the simulation has no share " << unc;
  return AddShare(unc);
}

std::string SimSystem::NewHostFolder(std::string_view hint) {
  std::string folder = tempDir_ + "/";
  folder.append(hint).append("-").append(std::to_string(++hostFolderCount_));
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) ADD_FAILURE() << "cannot create host folder " << folder << ": " << ec.message();
  return folder;
}

std::string SimSystem::SwapDisk(char letter, std::string_view label) {
  DriveSpec& disk = Drive(letter);
  disk.hostFolder = NewHostFolder("disk");
  disk.label = std::string(label);
  disk.notReady = false;
  disk.writeProtected = false;
  return disk.hostFolder;
}

void SimSystem::SetCurrentFolder(std::string_view path) {
  Location location = Parse(path);
  if (!location.valid) {
    ADD_FAILURE() << "not a folder path: " << path;
    return;
  }
  location.trailingSlash = false;
  current_ = location;
  if (location.letter != 0) driveFolders_[location.letter] = location.parts;
}

std::string SimSystem::CurrentFolder() const { return Display(current_); }

// ---- paths -----------------------------------------------------------------

SimSystem::Location SimSystem::Parse(std::string_view path) const {
  const std::string s = Normalize(path);
  Location location;
  if (s.empty()) return location;
  std::string rest;
  if (s.starts_with("\\\\")) {
    const size_t serverEnd = s.find('\\', 2);
    if (serverEnd == std::string::npos || serverEnd == 2) return location;
    const size_t shareEnd = s.find('\\', serverEnd + 1);
    const size_t prefixEnd = shareEnd == std::string::npos ? s.size() : shareEnd;
    if (prefixEnd == serverEnd + 1) return location;
    location.prefix = s.substr(0, prefixEnd);
    location.shareKey = Fold(location.prefix);
    rest = s.substr(prefixEnd);
  } else if (HasDrive(s)) {
    location.letter = UpperLetter(s[0]);
    location.prefix = s.substr(0, 2);
    rest = s.substr(2);
    if (!rest.starts_with('\\')) {
      auto it = driveFolders_.find(location.letter);
      if (it != driveFolders_.end()) location.parts = it->second;
    }
  } else {
    if (!current_.valid) return location;
    location = current_;
    if (s.starts_with('\\')) location.parts.clear();
    rest = s;
  }
  for (const std::string& piece : SplitParts(rest)) {
    if (piece == ".") continue;
    if (piece == "..") {
      if (!location.parts.empty()) location.parts.pop_back();
      continue;
    }
    std::string name = TrimTrailingDotsAndSpaces(piece);
    if (!name.empty()) location.parts.push_back(std::move(name));
  }
  location.trailingSlash = s.ends_with('\\');
  location.valid = true;
  return location;
}

std::string SimSystem::Display(const Location& location) const {
  std::string text = location.prefix;
  if (location.letter != 0 && location.parts.empty()) return text + "\\";
  for (const std::string& part : location.parts) text += "\\" + part;
  if (location.trailingSlash) text += "\\";
  return text;
}

DriveSpec* SimSystem::VolumeFor(char letter, const std::string& shareKey) const {
  if (letter != 0) {
    auto it = drives_.find(letter);
    return it == drives_.end() ? nullptr : it->second.get();
  }
  auto it = shares_.find(shareKey);
  return it == shares_.end() ? nullptr : it->second.get();
}

SimSystem::Found SimSystem::Lookup(const Location& location) {
  Found found;
  if (!location.valid) {
    found.error = err::kInvalidName;
    return found;
  }
  found.volume = VolumeFor(location.letter, location.shareKey);
  if (found.volume == nullptr) {
    found.error = err::kPathNotFound;
    return found;
  }
  std::error_code ec;
  if (found.volume->notReady || !fs::is_directory(found.volume->hostFolder, ec)) {
    found.error = err::kNotReady;
    return found;
  }
  std::string dir = found.volume->hostFolder;
  if (location.parts.empty()) {
    found.host = dir;
    found.exists = found.isDir = found.isRoot = true;
    return found;
  }
  for (size_t i = 0; i + 1 < location.parts.size(); ++i) {
    const std::optional<Entry> entry = FindChild(dir, location.parts[i]);
    if (!entry || !entry->isDir) {
      found.error = err::kPathNotFound;
      return found;
    }
    dir += "/" + entry->name;
  }
  found.parentHost = dir;
  const std::optional<Entry> entry = FindChild(dir, location.parts.back());
  found.exists = entry.has_value();
  found.isDir = entry && entry->isDir;
  found.name = entry ? entry->name : location.parts.back();
  found.host = dir + "/" + found.name;
  return found;
}

// Lists a host folder in name order, forgetting what is known about names
// that went away and giving every long name its short name on first sight.
std::vector<SimSystem::Entry> SimSystem::ListDir(const std::string& hostDir) {
  std::vector<std::pair<std::string, Entry>> sorted;  // folded name, entry
  std::error_code ec;
  for (fs::directory_iterator it(hostDir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    std::string name = it->path().filename().string();
    std::string folded = Fold(name);
    sorted.emplace_back(std::move(folded), Entry{std::move(name), "", it->is_directory(typeError)});
  }
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
  });
  std::vector<Entry> entries;
  entries.reserve(sorted.size());
  for (auto& item : sorted) entries.push_back(std::move(item.second));

  auto& table = meta_[hostDir];
  std::set<std::string> present;
  for (const Entry& entry : entries) present.insert(entry.name);
  std::erase_if(table, [&](const auto& item) { return !present.contains(item.first); });

  std::set<std::string> taken;
  for (const Entry& entry : entries) {
    if (IsValidShortName(entry.name)) taken.insert(Fold(entry.name));
  }
  for (const auto& [name, meta] : table) {
    if (!meta.shortName.empty()) taken.insert(Fold(meta.shortName));
  }
  for (Entry& entry : entries) {
    if (IsValidShortName(entry.name)) continue;
    Meta& meta = table[entry.name];
    if (meta.shortName.empty()) {
      meta.shortName =
          MakeShortName(entry.name, [&](const std::string& name) { return taken.contains(name); });
      taken.insert(Fold(meta.shortName));
    }
    entry.shortName = meta.shortName;
  }

  DirCache& cache = dirCache_[hostDir];
  cache = DirCache{};
  cache.stamp = DirStamp(hostDir);
  for (const Entry& entry : entries) {
    cache.names.emplace(Fold(entry.name), entry.name);
    if (!entry.shortName.empty()) cache.shorts.emplace(Fold(entry.shortName), entry.name);
  }
  return entries;
}

std::optional<SimSystem::Entry> SimSystem::FindChild(const std::string& hostDir, std::string_view name) {
  struct stat st {};
  if (IsValidLongName(name)) {
    const std::string host = hostDir + "/" + std::string(name);
    if (::stat(host.c_str(), &st) == 0) return Entry{std::string(name), "", S_ISDIR(st.st_mode)};
  }
  auto cached = dirCache_.find(hostDir);
  if (cached != dirCache_.end() && cached->second.stamp == DirStamp(hostDir)) {
    const DirCache& cache = cached->second;
    const std::string key = Fold(name);
    auto it = cache.names.find(key);
    if (it == cache.names.end()) {
      it = cache.shorts.find(key);
      if (it == cache.shorts.end()) return std::nullopt;
    }
    const std::string host = hostDir + "/" + it->second;
    if (::stat(host.c_str(), &st) == 0) return Entry{it->second, "", S_ISDIR(st.st_mode)};
  }
  const std::vector<Entry> entries = ListDir(hostDir);
  const Entry* entry = FindEntry(entries, name);
  return entry != nullptr ? std::optional<Entry>(*entry) : std::nullopt;
}

std::string SimSystem::ShortNameFor(const std::string& hostDir, const std::string& name) {
  if (IsValidShortName(name)) return "";
  auto folder = meta_.find(hostDir);
  if (folder != meta_.end()) {
    auto it = folder->second.find(name);
    if (it != folder->second.end() && !it->second.shortName.empty()) return it->second.shortName;
  }
  (void)ListDir(hostDir);
  return MetaOf(hostDir, name).shortName;
}

void SimSystem::NoteCreated(const std::string& hostDir, const std::string& name) {
  ForgetMeta(hostDir, name);
  std::string shortName;
  auto cached = dirCache_.find(hostDir);
  if (!IsValidShortName(name)) {
    // The lookup that found the name free has just brought the cache up to
    // date; only this creation changed the folder since.
    if (cached == dirCache_.end()) {
      (void)ListDir(hostDir);
      return;
    }
    const DirCache& cache = cached->second;
    shortName = MakeShortName(name, [&](const std::string& folded) {
      return cache.names.contains(folded) || cache.shorts.contains(folded);
    });
    MetaOf(hostDir, name).shortName = shortName;
  }
  CacheAdd(hostDir, name, shortName);
}

// A stored name wins over a short name that happens to be spelled the same.
const SimSystem::Entry* SimSystem::FindEntry(const std::vector<Entry>& entries, std::string_view name) const {
  const std::string key = Fold(name);
  for (const Entry& entry : entries) {
    if (Fold(entry.name) == key) return &entry;
  }
  for (const Entry& entry : entries) {
    if (!entry.shortName.empty() && Fold(entry.shortName) == key) return &entry;
  }
  return nullptr;
}

SimSystem::Meta& SimSystem::MetaOf(const std::string& parentHost, const std::string& name) {
  return meta_[parentHost][name];
}

void SimSystem::NoteRemoved(const std::string& hostDir, const std::string& name) {
  ForgetMeta(hostDir, name);
  meta_.erase(hostDir + "/" + name);
  dirCache_.erase(hostDir + "/" + name);
  auto cached = dirCache_.find(hostDir);
  if (cached == dirCache_.end()) return;
  cached->second.names.erase(Fold(name));
  std::erase_if(cached->second.shorts, [&](const auto& item) { return item.second == name; });
  cached->second.stamp = DirStamp(hostDir);
}

void SimSystem::CacheAdd(const std::string& hostDir, const std::string& name, const std::string& shortName) {
  auto cached = dirCache_.find(hostDir);
  if (cached == dirCache_.end()) return;
  cached->second.names[Fold(name)] = name;
  if (!shortName.empty()) cached->second.shorts[Fold(shortName)] = name;
  cached->second.stamp = DirStamp(hostDir);
}

void SimSystem::ForgetMeta(const std::string& parentHost, const std::string& name) {
  auto it = meta_.find(parentHost);
  if (it != meta_.end()) it->second.erase(name);
}

int32_t SimSystem::AttributesOf(const Found& found) {
  if (!found.exists) return attr::kInvalid;
  if (found.isRoot) return attr::kDirectory;
  const Meta& meta = MetaOf(found.parentHost, found.name);
  if (found.isDir) return attr::kDirectory | meta.attributes.value_or(0);
  const int32_t bits = meta.attributes.value_or(attr::kArchive);
  return bits == 0 ? attr::kNormal : bits;
}

bool SimSystem::IsReadOnly(const Found& found) {
  return found.exists && !found.isRoot && (AttributesOf(found) & attr::kReadOnly) != 0;
}

// Counted once per disk and then kept up to date by the simulation's own
// writes, creations and deletions.
uint64_t SimSystem::UsedBytes(const DriveSpec& volume) {
  const uint64_t cluster = ClusterBytes(volume);
  auto cached = usedBytes_.find(volume.hostFolder);
  if (cached != usedBytes_.end() && cached->second.cluster == cluster) return cached->second.bytes;
  uint64_t used = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(volume.hostFolder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code sizeError;
    if (it->is_regular_file(sizeError)) {
      const uintmax_t size = it->file_size(sizeError);
      if (!sizeError) used += RoundUp(size, cluster);
    }
  }
  usedBytes_[volume.hostFolder] = UsedCache{cluster, used};
  return used;
}

void SimSystem::SizeChanged(const DriveSpec& volume, uint64_t oldSize, uint64_t newSize) {
  auto cached = usedBytes_.find(volume.hostFolder);
  if (cached == usedBytes_.end()) return;
  const uint64_t cluster = cached->second.cluster;
  const uint64_t before = RoundUp(oldSize, cluster);
  if (cached->second.bytes < before) {
    usedBytes_.erase(cached);
    return;
  }
  cached->second.bytes = cached->second.bytes - before + RoundUp(newSize, cluster);
}

void SimSystem::ForgetCaches() {
  dirCache_.clear();
  usedBytes_.clear();
}

uint64_t SimSystem::FreeBytes(const DriveSpec& volume) {
  const uint64_t used = UsedBytes(volume);
  return volume.totalBytes > used ? volume.totalBytes - used : 0;
}

bool SimSystem::SharingAllows(const std::string& host, Access access, Share share) const {
  for (const auto& [file, handle] : openFiles_) {
    if (handle.host != host) continue;
    if (access == Access::kRead && !SharesRead(handle.share)) return false;
    if (access == Access::kWrite && !SharesWrite(handle.share)) return false;
    if (handle.access == Access::kRead && !SharesRead(share)) return false;
    if (handle.access == Access::kWrite && !SharesWrite(share)) return false;
  }
  return true;
}

bool SimSystem::DeleteAllowed(const std::string& host) const {
  for (const auto& [file, handle] : openFiles_) {
    if (handle.host == host && handle.share != Share::kReadWriteDelete) return false;
  }
  return true;
}

ErrorCode SimSystem::Fault(Op op, std::string_view path) { return fault ? fault(op, path) : err::kNone; }

void SimSystem::NoDiskBox(const Found& found, std::string_view path) {
  constexpr uint32_t kFailCriticalErrors = 1;
  if (found.error == err::kNotReady && (errorMode & kFailCriticalErrors) == 0) {
    noDiskBoxes.emplace_back(path);
  }
}

// ---- host access for tests ---------------------------------------------------

std::string SimSystem::HostPath(std::string_view path) {
  const Location location = Parse(path);
  const DriveSpec* volume = VolumeFor(location.letter, location.shareKey);
  if (!location.valid || volume == nullptr) return "";
  std::string dir = volume->hostFolder;
  for (const std::string& part : location.parts) {
    std::optional<Entry> entry;
    std::error_code ec;
    if (fs::is_directory(dir, ec)) entry = FindChild(dir, part);
    dir += "/" + (entry ? entry->name : part);
  }
  return dir;
}

std::string SimSystem::TestFolders(const Location& location, size_t count) {
  const DriveSpec* volume = VolumeFor(location.letter, location.shareKey);
  if (!location.valid || volume == nullptr) {
    ADD_FAILURE() << "the simulation has no drive or share for " << Display(location);
    return "";
  }
  std::string dir = volume->hostFolder;
  std::error_code ec;
  fs::create_directories(dir, ec);
  for (size_t i = 0; i < count && i < location.parts.size(); ++i) {
    const std::optional<Entry> entry = FindChild(dir, location.parts[i]);
    if (entry && !entry->isDir) {
      ADD_FAILURE() << Display(location) << ": " << entry->name << " is a file, not a folder";
      return "";
    }
    const std::string name = entry ? entry->name : location.parts[i];
    if (!entry) {
      fs::create_directory(fs::path(dir) / name, ec);
      if (ec) {
        ADD_FAILURE() << "cannot create folder for " << Display(location) << ": " << ec.message();
        return "";
      }
      NoteCreated(dir, name);
    }
    dir += "/" + name;
  }
  return dir;
}

std::string SimSystem::TestFile(std::string_view path) {
  const Location location = Parse(path);
  if (!location.valid || location.parts.empty()) {
    ADD_FAILURE() << "not a file path: " << path;
    return "";
  }
  const std::string dir = TestFolders(location, location.parts.size() - 1);
  if (dir.empty()) return "";
  const std::optional<Entry> entry = FindChild(dir, location.parts.back());
  const std::string name = entry ? entry->name : location.parts.back();
  if (!entry) {
    std::ofstream create(dir + "/" + name, std::ios::binary);
    NoteCreated(dir, name);
  }
  return dir + "/" + name;
}

void SimSystem::WriteFile(std::string_view path, std::string_view bytes) {
  const std::string host = TestFile(path);
  if (host.empty()) return;
  usedBytes_.clear();
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) ADD_FAILURE() << "cannot write the host file for " << path;
}

void SimSystem::MakeSparseFile(std::string_view path, int64_t length) {
  const std::string host = TestFile(path);
  if (host.empty()) return;
  usedBytes_.clear();
  std::error_code ec;
  fs::resize_file(host, static_cast<uintmax_t>(length), ec);
  if (ec) ADD_FAILURE() << "cannot size the host file for " << path << ": " << ec.message();
}

void SimSystem::MakeFolders(std::string_view path) {
  const Location location = Parse(path);
  (void)TestFolders(location, location.parts.size());
}

std::string SimSystem::ReadFile(std::string_view path) {
  const std::string host = HostPath(path);
  if (host.empty()) return "";
  std::ifstream in(host, std::ios::binary);
  if (!in) return "";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SimSystem::Exists(std::string_view path) {
  const std::string host = HostPath(path);
  std::error_code ec;
  return !host.empty() && fs::exists(host, ec);
}

std::vector<std::string> SimSystem::OpenFilePaths() const {
  std::vector<std::string> paths;
  for (const auto& [file, handle] : openFiles_) paths.push_back(handle.path);
  return paths;
}

// ---- System: files, folders and drives -------------------------------------------

uint32_t SimSystem::SwapErrorMode(uint32_t mode) {
  const uint32_t previous = errorMode;
  errorMode = mode;
  errorModeCalls.push_back(mode);
  return previous;
}

int32_t SimSystem::FileAttributes(std::string_view path) {
  attributeQueries.push_back(AttributeQuery{std::string(path), errorMode});
  const Location location = Parse(path);
  const Found found = Lookup(location);
  NoDiskBox(found, path);
  if (found.error != err::kNone || !found.exists) return attr::kInvalid;
  if (location.trailingSlash && !found.isDir) return attr::kInvalid;
  return AttributesOf(found);
}

ErrorCode SimSystem::ChangeFileAttributes(std::string_view path, int32_t attributes) {
  if (ErrorCode failure = Fault(Op::kChangeAttributes, path)) return failure;
  const Found found = LookupPath(path);
  if (found.error != err::kNone) return found.error;
  if (!found.exists) return err::kFileNotFound;
  if (found.volume->writeProtected) return err::kWriteProtect;
  if (found.isRoot) return err::kNone;
  MetaOf(found.parentHost, found.name).attributes = attributes & kStoredBits;
  return err::kNone;
}

int32_t SimSystem::DriveTypeOf(std::string_view root) {
  const std::string s = Normalize(root);
  if (s.empty()) {
    const DriveSpec* volume = VolumeFor(current_.letter, current_.shareKey);
    return volume != nullptr ? volume->type : drive::kNoRootDir;
  }
  if (HasDrive(s) && (s.size() == 2 || (s.size() == 3 && s[2] == '\\'))) {
    const DriveSpec* volume = VolumeFor(UpperLetter(s[0]), "");
    return volume != nullptr ? volume->type : drive::kNoRootDir;
  }
  if (s.starts_with("\\\\")) {
    const Location location = Parse(s);
    if (!location.valid || !location.parts.empty()) return drive::kNoRootDir;
    const DriveSpec* volume = VolumeFor(0, location.shareKey);
    return volume != nullptr ? volume->type : drive::kNoRootDir;
  }
  return drive::kNoRootDir;
}

bool SimSystem::FreeSpaceEx(std::string_view path, DiskSpaceEx* out) {
  const Found found = LookupPath(path);
  NoDiskBox(found, path);
  if (found.error != err::kNone || !found.isDir) return false;
  const uint64_t freeBytes = FreeBytes(*found.volume);
  out->total = found.volume->totalBytes;
  out->totalFree = freeBytes;
  out->availableToCaller = freeBytes;
  return true;
}

bool SimSystem::FreeSpaceClusters(std::string_view path, DiskClusters* out) {
  const Found found = LookupPath(path);
  NoDiskBox(found, path);
  if (found.error != err::kNone || !found.isDir) return false;
  const DriveSpec& volume = *found.volume;
  const uint64_t cluster = ClusterBytes(volume);
  auto clamp = [](uint64_t n) { return static_cast<uint32_t>(std::min<uint64_t>(n, UINT32_MAX)); };
  out->bytesPerSector = volume.bytesPerSector;
  out->sectorsPerCluster = volume.sectorsPerCluster;
  out->totalClusters = clamp(volume.totalBytes / cluster);
  out->freeClusters = clamp(FreeBytes(volume) / cluster);
  return true;
}

int SimSystem::QueryVersion(OsVersion* record) {
  // GetVersionEx refuses a record whose size field is not filled in.
  if (record == nullptr || (record->size != 148 && record->size != 156)) return 0;
  if (versionResult > 0) {
    const uint32_t size = record->size;
    *record = version;
    record->size = size;
  }
  return versionResult;
}

bool SimSystem::ReadVolumeLabel(std::string_view root, std::string* label) {
  if (Fault(Op::kVolumeLabel, root) != err::kNone) return false;
  const Location location = Parse(root);
  if (!location.parts.empty()) return false;
  const Found found = Lookup(location);
  NoDiskBox(found, root);
  if (found.error != err::kNone) return false;
  *label = found.volume->label;
  return true;
}

int SimSystem::WriteVolumeLabel(std::string_view root, std::string_view label) {
  const Location location = Parse(root);
  int result = 0;
  if (Fault(Op::kVolumeLabel, root) == err::kNone && location.parts.empty()) {
    const Found found = Lookup(location);
    NoDiskBox(found, root);
    if (found.error == err::kNone && !found.volume->writeProtected) {
      found.volume->label = std::string(label);
      result = 1;
    }
  }
  labelWrites.push_back(LabelWrite{std::string(root), std::string(label), result});
  return result;
}

std::string SimSystem::FullPathOf(std::string_view path, size_t bufferChars) {
  const Location location = Parse(path);
  if (!location.valid) return "";
  const std::string full = Display(location);
  return Utf16Length(full) + 1 > bufferChars ? "" : full;
}

// Keeps the path's own form (drive or share as written, relative stays
// relative); replaces each component by its short name unless it is already
// a valid 8.3 name as written.
std::string SimSystem::ShortPathOf(std::string_view path, size_t bufferChars) {
  const std::string s = Normalize(path);
  if (s.empty()) return "";
  Location at;
  std::string text;
  std::string rest;
  if (s.starts_with("\\\\")) {
    at = Parse(s);
    if (!at.valid) return "";
    at.parts.clear();
    text = at.prefix;
    rest = s.substr(at.prefix.size());
  } else if (HasDrive(s)) {
    at = Parse(s.substr(0, 2));
    text = s.substr(0, 2);
    rest = s.substr(2);
    if (rest.starts_with('\\')) at.parts.clear();
  } else {
    at = current_;
    if (s.starts_with('\\')) at.parts.clear();
    rest = s;
  }
  at.trailingSlash = false;

  const std::vector<std::string> pieces = SplitParts(rest);
  std::vector<std::string> shortPieces;
  Found found = Lookup(at);
  NoDiskBox(found, path);
  if (found.error != err::kNone || !found.isDir) return "";
  for (size_t i = 0; i < pieces.size(); ++i) {
    const std::string& piece = pieces[i];
    if (piece == "." || piece == "..") {
      if (piece == ".." && !at.parts.empty()) at.parts.pop_back();
      shortPieces.push_back(piece);
      continue;
    }
    const std::string name = TrimTrailingDotsAndSpaces(piece);
    const std::string dir = Lookup(at).host;
    const std::optional<Entry> entry = FindChild(dir, name);
    if (!entry) return "";
    const bool last = i + 1 == pieces.size();
    if (!entry->isDir && (!last || s.ends_with('\\'))) return "";
    if (name == piece && IsValidShortName(piece)) {
      shortPieces.push_back(piece);
    } else {
      const std::string shortName = ShortNameFor(dir, entry->name);
      shortPieces.push_back(shortName.empty() ? entry->name : shortName);
    }
    at.parts.push_back(entry->name);
  }

  if (rest.starts_with('\\')) text += "\\";
  for (size_t i = 0; i < shortPieces.size(); ++i) text += (i > 0 ? "\\" : "") + shortPieces[i];
  if (!shortPieces.empty() && rest.ends_with('\\')) text += "\\";
  return Utf16Length(text) + 1 > bufferChars ? "" : text;
}

std::string SimSystem::ListFirst(std::string_view pattern, int32_t attributeMask) {
  const std::string s = Normalize(pattern);
  if (s.empty() || s.ends_with('\\')) return "";
  const size_t slash = s.rfind('\\');
  std::string folder;
  std::string name;
  if (slash == std::string::npos) {
    folder = HasDrive(s) ? s.substr(0, 2) : "";
    name = s.substr(folder.size());
  } else {
    folder = s.substr(0, slash + 1);
    if (!(slash == 2 && HasDrive(s)) && slash != 0) folder.pop_back();
    name = s.substr(slash + 1);
  }
  if (!HasWildcard(name)) name = TrimTrailingDotsAndSpaces(name);
  if (name.empty()) return "";
  const Found found = folder.empty() ? Lookup(current_) : LookupPath(folder);
  if (found.error != err::kNone || !found.isDir) return "";
  const std::string key = Fold(name);
  for (const Entry& entry : ListDir(found.host)) {
    const bool matches =
        HasWildcard(name)
            ? WildcardMatch(name, entry.name) ||
                  (!entry.shortName.empty() && WildcardMatch(name, entry.shortName))
            : Fold(entry.name) == key || (!entry.shortName.empty() && Fold(entry.shortName) == key);
    if (!matches) continue;
    Found item;
    item.exists = true;
    item.isDir = entry.isDir;
    item.parentHost = found.host;
    item.name = entry.name;
    const int32_t filtered = attr::kHidden | attr::kSystem | attr::kDirectory;
    if ((AttributesOf(item) & filtered & ~attributeMask) == 0) return entry.name;
  }
  return "";
}

int64_t SimSystem::FileLengthOf(std::string_view path, ErrorCode* error) {
  auto fail = [&](ErrorCode code) {
    if (error != nullptr) *error = code;
    return int64_t{-1};
  };
  if (ErrorCode failure = Fault(Op::kFileLength, path)) return fail(failure);
  const Found found = LookupPath(path);
  if (found.error != err::kNone) return fail(found.error);
  if (!found.exists) return fail(err::kFileNotFound);
  if (error != nullptr) *error = err::kNone;
  if (found.isDir) return 0;
  std::error_code ec;
  const uintmax_t size = fs::file_size(found.host, ec);
  if (ec) return fail(err::kReadFault);
  return static_cast<int64_t>(size);
}

std::unique_ptr<File> SimSystem::Open(std::string_view path, Access access, Share share,
                                      Disposition disposition, ErrorCode* error) {
  auto finish = [&](ErrorCode code, std::unique_ptr<File> file) {
    opens.push_back(OpenRecord{std::string(path), access, share, disposition, code});
    if (error != nullptr) *error = code;
    return file;
  };
  if (ErrorCode failure = Fault(Op::kOpen, path)) return finish(failure, nullptr);
  const Location location = Parse(path);
  const Found found = Lookup(location);
  if (found.error != err::kNone) return finish(found.error, nullptr);
  if (found.isRoot || (found.exists && found.isDir)) return finish(err::kAccessDenied, nullptr);
  if (location.trailingSlash) return finish(err::kInvalidName, nullptr);
  const bool creates = disposition != Disposition::kOpenExisting;
  if (!found.exists && !creates) return finish(err::kFileNotFound, nullptr);
  if (found.exists && disposition == Disposition::kCreateNew) return finish(err::kFileExists, nullptr);
  const bool writes = access == Access::kWrite || creates;
  if (writes && found.volume->writeProtected) return finish(err::kWriteProtect, nullptr);
  if (writes && IsReadOnly(found)) return finish(err::kAccessDenied, nullptr);
  if (found.exists && !SharingAllows(found.host, writes ? Access::kWrite : access, share)) {
    return finish(err::kSharingViolation, nullptr);
  }
  if (!found.exists && !IsValidLongName(found.name)) return finish(err::kInvalidName, nullptr);

  int flags = O_CLOEXEC | (writes ? O_RDWR : O_RDONLY);
  if (creates) flags |= O_CREAT | O_TRUNC;
  std::error_code sizeError;
  const uint64_t oldSize = found.exists && creates ? fs::file_size(found.host, sizeError) : 0;
  const int fd = ::open(found.host.c_str(), flags, 0644);
  if (fd < 0) return finish(err::kAccessDenied, nullptr);
  if (oldSize > 0 && !sizeError) SizeChanged(*found.volume, oldSize, 0);
  if (!found.exists) {
    NoteCreated(found.parentHost, found.name);
  } else if (creates) {
    Meta& meta = MetaOf(found.parentHost, found.name);
    meta.attributes = meta.attributes.value_or(attr::kArchive) | attr::kArchive;
  }
  auto file = std::make_unique<SimFile>(this, std::string(path), fd, access, location.letter,
                                        location.shareKey, found.volume->hostFolder);
  openFiles_[file.get()] = Handle{found.host, std::string(path), access, share};
  return finish(err::kNone, std::move(file));
}

ErrorCode SimSystem::RemoveFile(std::string_view path) {
  if (ErrorCode failure = Fault(Op::kRemoveFile, path)) return failure;
  const Found found = LookupPath(path);
  if (found.error != err::kNone) return found.error;
  if (!found.exists) return err::kFileNotFound;
  if (found.isDir) return err::kAccessDenied;
  if (found.volume->writeProtected) return err::kWriteProtect;
  if (IsReadOnly(found)) return err::kAccessDenied;
  if (!DeleteAllowed(found.host)) return err::kSharingViolation;
  std::error_code ec;
  const uintmax_t size = fs::file_size(found.host, ec);
  if (!fs::remove(found.host, ec)) return err::kAccessDenied;
  NoteRemoved(found.parentHost, found.name);
  SizeChanged(*found.volume, size, 0);
  return err::kNone;
}

// The same host file, hard links included.
bool SimSystem::SameFile(std::string_view path, std::string_view other) {
  const Found first = LookupPath(path);
  const Found second = LookupPath(other);
  if (first.error != err::kNone || second.error != err::kNone || !first.exists || !second.exists)
    return false;
  struct stat a {};
  struct stat b {};
  if (::stat(first.host.c_str(), &a) != 0 || ::stat(second.host.c_str(), &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

ErrorCode SimSystem::MakeFolder(std::string_view path) {
  if (ErrorCode failure = Fault(Op::kMakeFolder, path)) return failure;
  const Found found = LookupPath(path);
  if (found.error != err::kNone) return found.error;
  if (found.exists) return err::kAlreadyExists;
  if (found.volume->writeProtected) return err::kWriteProtect;
  if (!IsValidLongName(found.name)) return err::kInvalidName;
  std::error_code ec;
  if (!fs::create_directory(found.host, ec)) return err::kAccessDenied;
  NoteCreated(found.parentHost, found.name);
  return err::kNone;
}

ErrorCode SimSystem::RemoveFolder(std::string_view path) {
  if (ErrorCode failure = Fault(Op::kRemoveFolder, path)) return failure;
  const Found found = LookupPath(path);
  if (found.error != err::kNone) return found.error;
  if (!found.exists) return err::kFileNotFound;
  if (found.isRoot) return err::kAccessDenied;
  if (!found.isDir) return err::kDirectory;
  if (found.volume->writeProtected) return err::kWriteProtect;
  if (IsReadOnly(found)) return err::kAccessDenied;
  std::error_code ec;
  if (!fs::is_empty(found.host, ec)) return err::kDirNotEmpty;
  if (!fs::remove(found.host, ec)) return err::kAccessDenied;
  NoteRemoved(found.parentHost, found.name);
  return err::kNone;
}

ErrorCode SimSystem::ReplaceFile(std::string_view from, std::string_view to) {
  if (ErrorCode failure = Fault(Op::kReplaceFile, to)) return failure;
  const Found source = LookupPath(from);
  if (source.error != err::kNone) return source.error;
  if (!source.exists) return err::kFileNotFound;
  if (source.isDir) return err::kAccessDenied;
  const Found target = LookupPath(to);
  if (target.error != err::kNone) return target.error;
  if (source.volume != target.volume) return kNotSameDevice;
  if (target.isRoot || (target.exists && target.isDir)) return err::kAccessDenied;
  if (source.volume->writeProtected) return err::kWriteProtect;
  if (target.exists && IsReadOnly(target)) return err::kAccessDenied;
  if (!DeleteAllowed(source.host) || (target.exists && !DeleteAllowed(target.host))) {
    return err::kSharingViolation;
  }
  if (source.host == target.host) return err::kNone;
  if (!target.exists && !IsValidLongName(target.name)) return err::kInvalidName;

  const std::optional<int32_t> attributes = MetaOf(source.parentHost, source.name).attributes;
  const std::string keptShortName = target.exists ? MetaOf(target.parentHost, target.name).shortName : "";
  std::error_code ec;
  const uintmax_t replacedSize = target.exists ? fs::file_size(target.host, ec) : 0;
  fs::rename(source.host, target.host, ec);
  if (ec) return err::kAccessDenied;
  SizeChanged(*target.volume, replacedSize, 0);
  NoteRemoved(source.parentHost, source.name);
  Meta& meta = MetaOf(target.parentHost, target.name);
  meta.attributes = attributes;
  meta.shortName = keptShortName;
  CacheAdd(target.parentHost, target.name, keptShortName);
  if (keptShortName.empty() && !IsValidShortName(target.name)) (void)ListDir(target.parentHost);
  return err::kNone;
}

namespace {

// Runs each task at once on the caller's thread: the same results, in an
// order a test can follow.
class InlineWorker : public Worker {
 public:
  void Post(std::function<void()> task) override { task(); }
  void Wait(size_t /*pending*/) override {}
};

}  // namespace

std::unique_ptr<Worker> SimSystem::StartWorker() { return std::make_unique<InlineWorker>(); }

std::string SimSystem::DescribeError(ErrorCode code) {
  static const std::map<ErrorCode, std::string_view> kTexts = {
      {0, "The operation completed successfully."},
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {8, "Not enough memory resources are available to process this command."},
      {14, "Not enough memory resources are available to complete this operation."},
      {17, "The system cannot move the file to a different disk drive."},
      {19, "The media is write protected."},
      {21, "The device is not ready."},
      {23, "Data error (cyclic redundancy check)."},
      {25, "The drive cannot locate a specific area or track on the disk."},
      {27, "The drive cannot find the sector requested."},
      {29, "The system cannot write to the specified device."},
      {30, "The system cannot read from the specified device."},
      {31, "A device attached to the system is not functioning."},
      {32, "The process cannot access the file because it is being used by another process."},
      {33, "The process cannot access the file because another process has locked a portion of the file."},
      {38, "Reached the end of the file."},
      {39, "The disk is full."},
      {80, "The file exists."},
      {87, "The parameter is incorrect."},
      {112, "There is not enough space on the disk."},
      {123, "The filename, directory name, or volume label syntax is incorrect."},
      {145, "The directory is not empty."},
      {183, "Cannot create a file when that file already exists."},
      {206, "The filename or extension is too long."},
      {267, "The directory name is invalid."},
      {1117, "The request could not be performed because of an I/O device error."},
  };
  auto it = kTexts.find(code);
  return it != kTexts.end() ? std::string(it->second) : "Unknown error " + std::to_string(code);
}

// ---- System: the program and its process -------------------------------------------

std::string SimSystem::ProgramFolder() { return programFolder; }
std::string SimSystem::ProgramFileName() { return programFileName; }
ProgramInfo SimSystem::ProgramVersion() { return programInfo; }
std::string SimSystem::CommandText() { return commandText; }

ErrorCode SimSystem::StartProcess(std::string_view commandLine, ShowMode show) {
  startedProcesses.push_back(StartedProcess{std::string(commandLine), show});
  return startProcessResult;
}

intptr_t SimSystem::ShellOpen(uintptr_t ownerWindow, std::string_view target, std::string_view folder) {
  shellOpens.push_back(ShellOpenCall{ownerWindow, std::string(target), std::string(folder)});
  if (shellOpenResult) return *shellOpenResult;
  std::string path(target);
  const std::string normalized = Normalize(target);
  if (!folder.empty() && !HasDrive(normalized) && !normalized.starts_with('\\')) {
    path = std::string(folder) + "\\" + path;
  }
  const Found found = LookupPath(path);
  return found.error == err::kNone && found.exists && !found.isDir ? 42 : 2;
}

// ---- System: screen and text ----------------------------------------------------------

int SimSystem::SystemMetric(int index) {
  auto it = metrics.find(index);
  return it != metrics.end() ? it->second : 0;
}

double SimSystem::TwipsPerPixelX() { return twipsPerPixelX; }
double SimSystem::TwipsPerPixelY() { return twipsPerPixelY; }

std::string SimSystem::ToAnsi(std::string_view utf8, bool* exact) {
  std::string out;
  const bool ok = Utf8ToCp932(utf8, &out);
  if (exact != nullptr) *exact = ok;
  return out;
}

std::string SimSystem::FromAnsi(std::string_view ansi) { return Cp932ToUtf8(ansi); }

}  // namespace qn::platform::sim
