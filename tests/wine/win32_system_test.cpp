// The real backend on a real (Wine) file system: what the media tests do not
// reach. Sharing, reads at offsets, write and delete failures, replacement,
// listings with attribute masks, code page 932 and the program's own data.
#include "platform/win32/system_win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

using platform::Access;
using platform::Disposition;
using platform::ErrorCode;
using platform::Share;
using platform::win32::Win32System;
namespace err = platform::err;

class Win32SystemTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()) << "no temporary folder"; }

  // A file with the given content in the test's folder; its path.
  std::string Make(const std::string& name, std::string_view content = "content") {
    std::string path = dir_ / name;
    EXPECT_TRUE(WriteWholeFile(path, content)) << "cannot set up " << path;
    return path;
  }

  Win32System sys_;
  TempDir dir_;
};

// ---- opening and sharing ---------------------------------------------------

enum class Second { kOpen, kRemove };

struct SharingCase {
  const char* what;
  Access firstAccess;
  Share firstShare;
  Second second;
  Access secondAccess;
  Share secondShare;
  ErrorCode expected;
};

TEST_F(Win32SystemTest, SecondOpenOrDeleteHonoursTheFirstHandlesSharing) {
  const SharingCase cases[] = {
      {"a writer while the source is read with read sharing", Access::kRead, Share::kRead, Second::kOpen,
       Access::kWrite, Share::kReadWrite, err::kSharingViolation},
      {"a second reader of a read-shared file", Access::kRead, Share::kRead, Second::kOpen, Access::kRead,
       Share::kRead, err::kNone},
      {"a reader of a file locked without sharing", Access::kRead, Share::kNone, Second::kOpen, Access::kRead,
       Share::kReadWrite, err::kSharingViolation},
      {"a reader that tolerates the existing writer", Access::kWrite, Share::kRead, Second::kOpen,
       Access::kRead, Share::kReadWrite, err::kNone},
      {"a reader that does not tolerate the existing writer", Access::kWrite, Share::kRead, Second::kOpen,
       Access::kRead, Share::kRead, err::kSharingViolation},
      {"deleting a file open without delete sharing", Access::kRead, Share::kReadWrite, Second::kRemove,
       Access::kRead, Share::kNone, err::kSharingViolation},
  };
  int n = 0;
  for (const SharingCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Make("shared" + std::to_string(++n) + ".bin");
    ErrorCode error = 99;
    const std::unique_ptr<platform::File> first =
        sys_.Open(path, c.firstAccess, c.firstShare, Disposition::kOpenExisting, &error);
    ASSERT_NE(first, nullptr) << "first open failed with " << error;
    ErrorCode got = 0;
    std::unique_ptr<platform::File> second;
    if (c.second == Second::kOpen) {
      second = sys_.Open(path, c.secondAccess, c.secondShare, Disposition::kOpenExisting, &got);
      EXPECT_EQ(second == nullptr, got != err::kNone)
          << "a handle must come back exactly when there is no error";
    } else {
      got = sys_.RemoveFile(path);
    }
    EXPECT_EQ(got, c.expected) << "the program would misjudge whether another program holds the file";
  }
}

TEST_F(Win32SystemTest, DispositionsCreateOpenOrRefuse) {
  const std::string existing = Make("existing.txt", "old content");
  ErrorCode error = 0;
  EXPECT_EQ(sys_.Open(existing, Access::kWrite, Share::kNone, Disposition::kCreateNew, &error), nullptr);
  EXPECT_EQ(error, err::kFileExists) << "creating a new file must not destroy an existing one";
  EXPECT_EQ(ReadWholeFile(existing), "old content") << "a refused create changed the file";

  EXPECT_EQ(sys_.Open(dir_ / "missing.txt", Access::kRead, Share::kRead, Disposition::kOpenExisting, &error),
            nullptr);
  EXPECT_EQ(error, err::kFileNotFound) << "a missing source must be reported as not found";
  EXPECT_EQ(
      sys_.Open(dir_ / "no folder\\x.txt", Access::kWrite, Share::kNone, Disposition::kCreateAlways, &error),
      nullptr);
  EXPECT_EQ(error, err::kPathNotFound) << "a vanished output folder must be reported as such";

  auto file = sys_.Open(existing, Access::kWrite, Share::kNone, Disposition::kCreateAlways, &error);
  ASSERT_NE(file, nullptr) << "overwriting an existing part failed with " << error;
  EXPECT_EQ(error, err::kNone);
  EXPECT_EQ(file->Close(), err::kNone);
  EXPECT_EQ(ReadWholeFile(existing), "") << "an overwritten part keeps stale bytes of the old file";
}

TEST_F(Win32SystemTest, WriteReportsFailureAndCloseIsIdempotent) {
  const std::string path = Make("readonly-handle.txt", "abc");
  ErrorCode error = 0;
  auto reader = sys_.Open(path, Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_NE(reader, nullptr) << error;
  EXPECT_EQ(reader->Write("xyz", 3), err::kAccessDenied) << "a failed write must not look like success";
  EXPECT_EQ(reader->Close(), err::kNone);
  EXPECT_EQ(reader->Close(), err::kNone) << "a second Close must be harmless";
  EXPECT_EQ(reader->Write("xyz", 3), err::kInvalidHandle) << "writing after Close must fail";
  EXPECT_EQ(ReadWholeFile(path), "abc") << "the file changed although every write failed";

  auto writer =
      sys_.Open(dir_ / "written.bin", Access::kWrite, Share::kNone, Disposition::kCreateNew, &error);
  ASSERT_NE(writer, nullptr) << error;
  const std::string data(100000, 'q');
  EXPECT_EQ(writer->Write(data.data(), data.size()), err::kNone);
  EXPECT_EQ(writer->Write("", 0), err::kNone) << "an empty write is not an error";
  EXPECT_EQ(writer->Close(), err::kNone);
  EXPECT_EQ(ReadWholeFile(dir_ / "written.bin"), data) << "a written part differs from what was written";
}

// ---- reading ----------------------------------------------------------------

TEST_F(Win32SystemTest, ReadAtReadsFromTheGivenOffset) {
  std::string content(100000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + i / 256);
  const std::string path = Make("pattern.bin", content);
  ErrorCode error = 0;
  auto file = sys_.Open(path, Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_NE(file, nullptr) << error;

  struct Case {
    int64_t offset;
    size_t size;
    size_t expectedGot;
  } const cases[] = {
      {0, 100, 100},   {4096, 5000, 5000},  {99990, 100, 10}, {100000, 10, 0},
      {250000, 10, 0}, {0, 200000, 100000}, {4096, 100, 100},  // again after a later offset: no reliance on
                                                               // the file position
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("offset " + std::to_string(c.offset) + " size " + std::to_string(c.size));
    std::vector<char> buffer(c.size, '\x55');
    size_t got = 12345;
    EXPECT_EQ(file->ReadAt(c.offset, buffer.data(), c.size, &got), err::kNone);
    ASSERT_EQ(got, c.expectedGot) << "a part would get the wrong number of bytes";
    EXPECT_EQ(std::memcmp(buffer.data(), content.data() + std::min<size_t>(c.offset, content.size()), got), 0)
        << "a part would get bytes from the wrong place of the source";
  }
  size_t got = 7;
  char byte = 0;
  EXPECT_NE(file->ReadAt(-1, &byte, 1, &got), err::kNone) << "a negative offset must fail";
  EXPECT_EQ(got, 0u);
}

TEST_F(Win32SystemTest, ReadsAWholeCdSizedPartInOneCall) {
  // 650 MB parts are read whole into memory; the host file is sparse.
  constexpr int64_t kPart = 681984000;
  constexpr int64_t kChunk = int64_t{16} << 20;  // where the backend splits its reads
  const std::string path = dir_ / "cd-source.bin";
  ASSERT_TRUE(MakeLongFile(path, kPart + 1234,
                           {{0, 'a'}, {kChunk - 1, 'b'}, {kChunk, 'c'}, {kPart - 1, 'd'}, {kPart, 'e'}}));
  ErrorCode error = 0;
  auto file = sys_.Open(path, Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_NE(file, nullptr) << error;
  std::vector<char> part(static_cast<size_t>(kPart));
  size_t got = 0;
  ASSERT_EQ(file->ReadAt(0, part.data(), part.size(), &got), err::kNone);
  ASSERT_EQ(got, part.size()) << "the first CD part would be cut short";
  EXPECT_EQ(part[0], 'a');
  EXPECT_EQ(part[kChunk - 1], 'b') << "bytes around an internal chunk boundary were misplaced";
  EXPECT_EQ(part[kChunk], 'c') << "bytes around an internal chunk boundary were misplaced";
  EXPECT_EQ(part[kPart - 1], 'd');
  EXPECT_EQ(part[12345], '\0');
  ASSERT_EQ(file->ReadAt(kPart, part.data(), part.size(), &got), err::kNone);
  EXPECT_EQ(got, 1234u) << "the last, shorter part must get exactly the rest of the source";
  EXPECT_EQ(part[0], 'e');
}

TEST_F(Win32SystemTest, FileLengthIsTheTrue64BitLength) {
  const int64_t fiveGiB = (int64_t{5} << 30) + 3;
  ASSERT_TRUE(MakeLongFile(dir_ / "huge.bin", fiveGiB));
  ErrorCode error = 99;
  EXPECT_EQ(sys_.FileLengthOf(dir_ / "huge.bin", &error), fiveGiB)
      << "a source over 4 GiB would be misjudged";
  EXPECT_EQ(error, err::kNone);
  EXPECT_EQ(sys_.FileLengthOf(Make("small.txt", "12345"), &error), 5);
  EXPECT_EQ(sys_.FileLengthOf(dir_ / "missing.bin", &error), -1);
  EXPECT_EQ(error, err::kFileNotFound) << "a missing file must say so";
  EXPECT_EQ(sys_.FileLengthOf(dir_.path(), &error), 0)
      << "a folder lists as 0 bytes, as on the simulated machine";
  EXPECT_EQ(error, err::kNone);
}

TEST_F(Win32SystemTest, SameFileKnowsOneFileUnderAnySpelling) {
  const std::string path = Make("Annual Report.txt");
  const std::string other = Make("other.txt");
  std::string upper = path;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  ErrorCode error = err::kNone;
  // Held as the split holds its source: sharing reads only.
  auto open = sys_.Open(path, Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_EQ(error, err::kNone);
  EXPECT_TRUE(sys_.SameFile(path, upper)) << "another letter case is taken for another file";
  EXPECT_TRUE(sys_.SameFile(sys_.ShortPathOf(path, 520), path)) << "the short name is taken for another file";
  EXPECT_FALSE(sys_.SameFile(path, other)) << "two files are taken for one";
  EXPECT_FALSE(sys_.SameFile(path, dir_ / "missing.txt")) << "a missing file is taken for an existing one";
}

// ---- deleting, replacing, folders --------------------------------------------

TEST_F(Win32SystemTest, ReadOnlyFileCannotBeRemovedUntilItsAttributeIsCleared) {
  const std::string path = Make("protected.txt");
  ASSERT_EQ(sys_.ChangeFileAttributes(path, platform::attr::kReadOnly), err::kNone);
  EXPECT_EQ(sys_.FileAttributes(path) & platform::attr::kReadOnly, platform::attr::kReadOnly);
  EXPECT_EQ(sys_.RemoveFile(path), err::kAccessDenied) << "deleting a read-only part must fail with 5";
  EXPECT_NE(RawAttributes(path), INVALID_FILE_ATTRIBUTES) << "the read-only file vanished";
  ASSERT_EQ(sys_.ChangeFileAttributes(path, platform::attr::kNormal), err::kNone);
  EXPECT_EQ(sys_.RemoveFile(path), err::kNone);
  EXPECT_EQ(RawAttributes(path), INVALID_FILE_ATTRIBUTES) << "the removed file is still there";
  EXPECT_EQ(sys_.RemoveFile(path), err::kFileNotFound);
  EXPECT_EQ(sys_.ChangeFileAttributes(path, platform::attr::kNormal), err::kFileNotFound);
}

TEST_F(Win32SystemTest, ReplaceFileSwapsInTheNewContentWhole) {
  const std::string target = Make("values.ini", "old=1\r\n");
  const std::string fresh = Make("values.tmp", "new=2\r\n");
  EXPECT_EQ(sys_.ReplaceFile(fresh, target), err::kNone);
  EXPECT_EQ(ReadWholeFile(target), "new=2\r\n") << "the settings file kept its old content";
  EXPECT_EQ(RawAttributes(fresh), INVALID_FILE_ATTRIBUTES) << "the temporary file was left behind";
  EXPECT_EQ(sys_.ReplaceFile(fresh, target), err::kFileNotFound) << "replacing from a missing file must fail";
  EXPECT_EQ(ReadWholeFile(target), "new=2\r\n") << "a failed replacement damaged the target";
  const std::string moved = dir_ / "moved.ini";
  EXPECT_EQ(sys_.ReplaceFile(target, moved), err::kNone) << "replacing onto a new name is a plain move";
  EXPECT_EQ(ReadWholeFile(moved), "new=2\r\n");
}

TEST_F(Win32SystemTest, FoldersAreMadeAndRemovedWithTheSystemsErrors) {
  const std::string folder = dir_ / "made";
  EXPECT_EQ(sys_.MakeFolder(folder), err::kNone);
  EXPECT_EQ(sys_.FileAttributes(folder), platform::attr::kDirectory) << "a fresh folder should be exactly 16";
  EXPECT_EQ(sys_.MakeFolder(folder), err::kAlreadyExists);
  Make("made\\inside.txt");
  EXPECT_EQ(sys_.RemoveFolder(folder), err::kDirNotEmpty) << "a folder with files must not vanish";
  EXPECT_EQ(sys_.RemoveFile(folder), err::kAccessDenied) << "a folder is not a file";
  EXPECT_EQ(sys_.RemoveFolder(dir_ / "never made"), err::kFileNotFound);
}

// ---- listings and path forms -------------------------------------------------

TEST_F(Win32SystemTest, ListFirstFiltersByHiddenSystemAndFolderBits) {
  Make("Visible.txt");
  ASSERT_EQ(SetFileAttributesW(Widen(Make("Hidden.txt")).c_str(), FILE_ATTRIBUTE_HIDDEN), TRUE);
  ASSERT_EQ(SetFileAttributesW(Widen(Make("System.dat")).c_str(), FILE_ATTRIBUTE_SYSTEM), TRUE);
  ASSERT_EQ(sys_.MakeFolder(dir_ / "Folder"), err::kNone);
  ASSERT_EQ(sys_.MakeFolder(dir_ / "HiddenFolder"), err::kNone);
  ASSERT_EQ(SetFileAttributesW(Widen(dir_ / "HiddenFolder").c_str(), FILE_ATTRIBUTE_HIDDEN), TRUE);
  ASSERT_EQ(sys_.MakeFolder(dir_ / "Empty"), err::kNone);

  struct Case {
    const char* pattern;
    int32_t mask;
    const char* expected;
  } const cases[] = {
      {"visible.txt", 0, "Visible.txt"},  // the stored spelling, not the asked one
      {"Hidden.txt", 0, ""},              // hidden, not allowed
      {"Hidden.txt", 2, "Hidden.txt"},
      {"Hidden.txt", 39, "Hidden.txt"},
      {"System.dat", 2, ""},  // system, only hidden allowed
      {"System.dat", 4, "System.dat"},
      {"Folder", 39, ""},  // a folder where only files are wanted
      {"Folder", 55, "Folder"},
      {"HiddenFolder", 16, ""},  // folder allowed, hidden not
      {"HiddenFolder", 18, "HiddenFolder"},
      {"*.txt", 0, "Visible.txt"},  // the one plain file among them
      {"Empty\\*", 55, ""},         // "." and ".." are never names
      {"missing.txt", 55, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sys_.ListFirst(dir_ / c.pattern, c.mask), c.expected)
        << c.pattern << " with mask " << c.mask << ": the long form of a path would be rebuilt wrongly";
  }
}

TEST_F(Win32SystemTest, PathFormsThatDoNotFitTheBufferAreEmpty) {
  const std::string name = "a rather long file name for the buffer.txt";
  const std::string path = Make(name);
  const std::string full = sys_.FullPathOf(path, 516);
  ASSERT_EQ(full, path) << "the absolute form of an absolute path must be itself";
  const std::wstring wide = Widen(full);
  EXPECT_EQ(sys_.FullPathOf(path, wide.size() + 1), full)
      << "a buffer with room for the terminator is enough";
  EXPECT_EQ(sys_.FullPathOf(path, wide.size()), "") << "a cut path would name another file";

  const std::string shortForm = sys_.ShortPathOf(path, 520);
  ASSERT_FALSE(shortForm.empty()) << "an existing file must have a short form";
  EXPECT_EQ(shortForm.find(' '), std::string::npos) << "a short form with blanks cannot go on a command line";
  const size_t shortChars = Widen(shortForm).size();
  EXPECT_EQ(sys_.ShortPathOf(path, shortChars + 1), shortForm);
  EXPECT_EQ(sys_.ShortPathOf(path, shortChars), "") << "a cut short form would name another file";
  EXPECT_EQ(sys_.ShortPathOf(dir_ / "missing.txt", 520), "") << "a missing file must have no short form";
  EXPECT_EQ(sys_.FullPathOf(path, 0), "");
}

// ---- text -------------------------------------------------------------------

TEST(Win32SystemText, AnsiConversionUsesCodePage932) {
  Win32System sys;
  struct Case {
    const char* utf8;
    const char* ansi;
    bool exact;
  } const cases[] = {
      {"abc", "abc", true},
      {"分割", "\x95\xaa\x8a\x84", true},              // two double-byte characters
      {"ｱｲ", "\xb1\xb2", true},                        // half-width katakana are single bytes
      {"C:\\表\\a.001", "C:\\\x95\x5c\\a.001", true},  // a trail byte that is a backslash
      {"é", "?", false},                               // no best fit to a different letter
      {"", "", true},
  };
  for (const Case& c : cases) {
    bool exact = !c.exact;
    EXPECT_EQ(sys.ToAnsi(c.utf8, &exact), c.ansi)
        << c.utf8 << ": the batch or settings file would be garbled";
    EXPECT_EQ(exact, c.exact) << c.utf8 << ": a lossy conversion must be reported, an exact one not";
    if (c.exact) {
      EXPECT_EQ(sys.FromAnsi(c.ansi), c.utf8) << c.utf8 << ": reading values.ini back changes it";
    }
  }
}

TEST(Win32SystemText, ErrorDescriptionsHaveNoLineEnd) {
  Win32System sys;
  for (const platform::ErrorCode code :
       {err::kFileNotFound, err::kAccessDenied, err::kDiskFull, 0xDEAD0001u}) {
    const std::string text = sys.DescribeError(code);
    EXPECT_FALSE(text.empty()) << code << ": the recorded LastError would be blank";
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << code << ": a line end would break values.ini";
  }
}

// ---- the program itself ------------------------------------------------------

TEST(Win32SystemProgram, ProgramFolderNameAndVersionAreSaneWithoutAVersionResource) {
  Win32System sys;
  const std::string folder = sys.ProgramFolder();
  const std::string name = sys.ProgramFileName();
  EXPECT_EQ(name, "win32_system_test.exe") << "the program's own file name is wrong";
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\') << "values.ini and readme.html paths would get a double backslash";
  EXPECT_NE(RawAttributes(folder + "\\" + name), INVALID_FILE_ATTRIBUTES)
      << "folder and name do not give back the running program";
  const platform::ProgramInfo info = sys.ProgramVersion();
  EXPECT_EQ(info.productName, "win32_system_test") << "a program without version resource needs a title";
  EXPECT_EQ(info.title, "win32_system_test");
  EXPECT_EQ(info.legalNotice, "");
  EXPECT_EQ(info.major, 0);
  EXPECT_EQ(info.revision, 0);
  platform::ProgramInfo raw;
  EXPECT_FALSE(platform::win32::ReadVersionResource(platform::win32::ProgramPath(), &raw))
      << "the test program unexpectedly has a version resource";
}

TEST(Win32SystemProgram, CommandTextIsWhatFollowsTheProgramName) {
  struct Case {
    const char* line;
    const char* text;
  } const cases[] = {
      {"Quarnimo.exe", ""},
      {"Quarnimo.exe C:\\a b.txt", " C:\\a b.txt"},  // untrimmed: the caller trims
      {"\"C:\\Program Files\\Q\\Quarnimo.exe\" D:\\x.bin  ", " D:\\x.bin  "},
      {"\"C:\\Program Files\\Q\\Quarnimo.exe\"D:\\x.bin", "D:\\x.bin"},
      {"C:\\PROGRA~1\\Q\\QUARNI~1.EXE\tE:\\y", "\tE:\\y"},
      {"\"C:\\unterminated quote E:\\y", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::win32::TextAfterProgramName(c.line), c.text)
        << c.line << ": the files named on the command line would be misread";
  }
  Win32System sys;
  EXPECT_EQ(sys.CommandText().find_first_not_of(" \t"), std::string::npos)
      << "the test runs without arguments, so nothing but blanks may follow its name: " << sys.CommandText();
}

TEST(Win32SystemProgram, StartProcessRunsTheCommandLine) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  Win32System sys;
  const std::string made = dir / "made by child";
  ASSERT_EQ(sys.StartProcess("cmd.exe /c mkdir \"" + made + "\"", platform::ShowMode::kMinimized), err::kNone)
      << "a further instance could not be started";
  // The child runs on its own; give it ample time to finish.
  for (int i = 0; i < 600 && RawAttributes(made) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  EXPECT_NE(RawAttributes(made), INVALID_FILE_ATTRIBUTES) << "the started command did not run";
  EXPECT_EQ(sys.StartProcess(dir / "no such program.exe", platform::ShowMode::kNormal), err::kFileNotFound)
      << "starting a missing program must fail, not pretend";
}

TEST(Win32SystemVersion, VersionRecordNeedsTheAnsiRecordSize) {
  Win32System sys;
  platform::OsVersion record;
  EXPECT_GT(sys.QueryVersion(&record), 0);
  EXPECT_EQ(record.platformId, 2u) << "Wine reports an NT-line system";
  EXPECT_GE(record.major, 5u);
  platform::OsVersion wrong;
  wrong.size = 0;
  EXPECT_EQ(sys.QueryVersion(&wrong), 0) << "a record of the wrong size must fail as the system call does";
}

}  // namespace
}  // namespace qn::winetest
