// The real backend on a real (Wine) file system: what the media tests do not
// reach. Sharing, a length over 4 GiB and whole CD-sized reads, write and
// delete failures, replacement, code page 932 and the command line.
#include "platform/win32/system_win32.h"

#include <gtest/gtest.h>

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

TEST_F(Win32SystemTest, SecondOpenOrDeleteHonoursTheFirstHandlesSharing) {
  const std::string path = Make("shared.bin");
  const struct {
    const char* what;
    Access firstAccess;
    Share firstShare;
    Access secondAccess;
    Share secondShare;
    ErrorCode expected;
  } cases[] = {
      {"a writer beside a read-shared reader", Access::kRead, Share::kRead, Access::kWrite, Share::kReadWrite,
       err::kSharingViolation},
      {"a second reader", Access::kRead, Share::kRead, Access::kRead, Share::kRead, err::kNone},
      {"a reader tolerating the writer", Access::kWrite, Share::kRead, Access::kRead, Share::kReadWrite,
       err::kNone},
      {"a reader not tolerating the writer", Access::kWrite, Share::kRead, Access::kRead, Share::kRead,
       err::kSharingViolation},
  };
  for (const auto& c : cases) {
    ErrorCode error = 99;
    const auto first = sys_.Open(path, c.firstAccess, c.firstShare, Disposition::kOpenExisting, &error);
    ASSERT_NE(first, nullptr) << c.what << ": the first open failed with " << error;
    const auto second = sys_.Open(path, c.secondAccess, c.secondShare, Disposition::kOpenExisting, &error);
    EXPECT_EQ(error, c.expected) << c.what
                                 << ": the program would misjudge whether another program holds the file";
    EXPECT_EQ(second == nullptr, error != err::kNone)
        << c.what << ": a handle must come back exactly without error";
  }
  ErrorCode error = 99;
  const auto held = sys_.Open(path, Access::kRead, Share::kReadWrite, Disposition::kOpenExisting, &error);
  EXPECT_EQ(sys_.RemoveFile(path), err::kSharingViolation)
      << "a file held open without delete sharing vanished";
}

TEST_F(Win32SystemTest, OpeningAndWritingReportTheSystemsErrorsAndSpareExistingFiles) {
  const std::string existing = Make("existing.txt", "old content");
  ErrorCode error = 0;
  EXPECT_EQ(sys_.Open(existing, Access::kWrite, Share::kNone, Disposition::kCreateNew, &error), nullptr);
  EXPECT_EQ(error, err::kFileExists) << "creating a new file must not destroy an existing one";
  EXPECT_EQ(
      sys_.Open(dir_ / "no folder\\x.txt", Access::kWrite, Share::kNone, Disposition::kCreateAlways, &error),
      nullptr);
  EXPECT_EQ(error, err::kPathNotFound) << "a vanished output folder must be reported as such";
  auto reader = sys_.Open(existing, Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_NE(reader, nullptr) << error;
  EXPECT_EQ(reader->Write("xyz", 3), err::kAccessDenied) << "a failed write must not look like success";
  EXPECT_EQ(reader->Close(), err::kNone);
  EXPECT_EQ(reader->Write("xyz", 3), err::kInvalidHandle) << "writing after Close must fail";
  EXPECT_EQ(ReadWholeFile(existing), "old content") << "the file changed although every write failed";
}

TEST_F(Win32SystemTest, AFileOver4GiBHasItsTrueLengthAndAWholeCdSizedPartIsReadAtOnce) {
  // 650 MB parts are read whole into memory; the host file is sparse.
  constexpr int64_t kLength = (int64_t{5} << 30) + 3;
  constexpr int64_t kPart = 681984000;
  constexpr int64_t kChunk = int64_t{16} << 20;  // where the backend splits its reads
  const std::string path = dir_ / "huge.bin";
  ASSERT_TRUE(MakeLongFile(
      path, kLength, {{0, 'a'}, {kChunk - 1, 'b'}, {kChunk, 'c'}, {kPart - 1, 'd'}, {kLength - 1, 'e'}}));
  ErrorCode error = 99;
  EXPECT_EQ(sys_.FileLengthOf(path, &error), kLength) << "a source over 4 GiB would be misjudged";
  EXPECT_EQ(sys_.FileLengthOf(dir_ / "missing.bin", &error), -1);
  EXPECT_EQ(error, err::kFileNotFound) << "a missing file must say so";
  auto file = sys_.Open(path, Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_NE(file, nullptr) << error;
  std::vector<char> part(static_cast<size_t>(kPart));
  size_t got = 0;
  ASSERT_EQ(file->ReadAt(0, part.data(), part.size(), &got), err::kNone);
  ASSERT_EQ(got, part.size()) << "the first CD part would be cut short";
  EXPECT_EQ(std::string({part[0], part[kChunk - 1], part[kChunk], part[12345], part[kPart - 1]}),
            std::string("abc\0d", 5))
      << "bytes of the part were misplaced, around an internal chunk boundary or at its end";
  ASSERT_EQ(file->ReadAt(kLength - 2, part.data(), part.size(), &got), err::kNone);
  EXPECT_EQ(std::string(part.data(), got), std::string("\0e", 2))
      << "the last part must get exactly the rest";
  EXPECT_EQ(file->ReadAt(kLength, part.data(), 10, &got), err::kNone);
  EXPECT_EQ(got, 0u) << "a read at the end must give nothing";
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

TEST_F(Win32SystemTest, ReadOnlyFileCannotBeRemovedUntilItsAttributeIsCleared) {
  const std::string path = Make("protected.txt");
  ASSERT_EQ(sys_.ChangeFileAttributes(path, platform::attr::kReadOnly), err::kNone);
  EXPECT_EQ(sys_.RemoveFile(path), err::kAccessDenied) << "deleting a read-only part must fail with 5";
  EXPECT_NE(RawAttributes(path), INVALID_FILE_ATTRIBUTES) << "the read-only file vanished";
  ASSERT_EQ(sys_.ChangeFileAttributes(path, platform::attr::kNormal), err::kNone);
  EXPECT_EQ(sys_.RemoveFile(path), err::kNone);
  EXPECT_EQ(RawAttributes(path), INVALID_FILE_ATTRIBUTES) << "the removed file is still there";
  EXPECT_EQ(sys_.RemoveFile(path), err::kFileNotFound);
}

TEST_F(Win32SystemTest, ReplaceFileSwapsInTheNewContentWhole) {
  const std::string target = Make("values.ini", "old=1\r\n");
  const std::string fresh = Make("values.tmp", "new=2\r\n");
  EXPECT_EQ(sys_.ReplaceFile(fresh, target), err::kNone);
  EXPECT_EQ(ReadWholeFile(target), "new=2\r\n") << "the settings file kept its old content";
  EXPECT_EQ(RawAttributes(fresh), INVALID_FILE_ATTRIBUTES) << "the temporary file was left behind";
  EXPECT_EQ(sys_.ReplaceFile(fresh, target), err::kFileNotFound) << "replacing from a missing file must fail";
  EXPECT_EQ(ReadWholeFile(target), "new=2\r\n") << "a failed replacement damaged the target";
  EXPECT_EQ(sys_.ReplaceFile(target, dir_ / "moved.ini"), err::kNone)
      << "the first settings file cannot be made";
  EXPECT_EQ(ReadWholeFile(dir_ / "moved.ini"), "new=2\r\n");
}

TEST(Win32SystemText, AnsiConversionUsesCodePage932) {
  Win32System sys;
  const struct {
    const char* utf8;
    const char* ansi;
    bool exact;
  } cases[] = {
      {"abc", "abc", true},
      {"分割", "\x95\xaa\x8a\x84", true},              // two double-byte characters
      {"ｱｲ", "\xb1\xb2", true},                        // half-width katakana are single bytes
      {"C:\\表\\a.001", "C:\\\x95\x5c\\a.001", true},  // a trail byte that is a backslash
      {"é", "?", false},                               // no best fit to a different letter
  };
  for (const auto& c : cases) {
    bool exact = !c.exact;
    EXPECT_EQ(sys.ToAnsi(c.utf8, &exact), c.ansi)
        << c.utf8 << ": the batch or settings file would be garbled";
    EXPECT_EQ(exact, c.exact) << c.utf8 << ": a lossy conversion must be reported, an exact one not";
    if (c.exact) {
      EXPECT_EQ(sys.FromAnsi(c.ansi), c.utf8) << c.utf8 << ": reading values.ini back changes it";
    }
  }
  for (const ErrorCode code : {err::kFileNotFound, err::kDiskFull, 0xDEAD0001u}) {
    const std::string text = sys.DescribeError(code);
    EXPECT_FALSE(text.empty()) << code << ": the recorded LastError would be blank";
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << code << ": a line end would break values.ini";
  }
}

TEST(Win32SystemProgram, CommandTextAndFurtherInstances) {
  const struct {
    const char* line;
    const char* text;
  } cases[] = {
      {"Quarnimo.exe C:\\a b.txt", " C:\\a b.txt"},  // untrimmed: the caller trims
      {"\"C:\\Program Files\\Q\\Quarnimo.exe\"D:\\x.bin", "D:\\x.bin"},
      {"\"C:\\unterminated quote E:\\y", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::win32::TextAfterProgramName(c.line), c.text)
        << c.line << ": the files named on the command line would be misread";
  }
  Win32System sys;
  EXPECT_EQ(sys.StartProcess(sys.ProgramFolder() + "\\no such program.exe", platform::ShowMode::kNormal),
            err::kFileNotFound)
      << "a further instance that cannot start must fail, not pretend";
}

}  // namespace
}  // namespace qn::winetest
