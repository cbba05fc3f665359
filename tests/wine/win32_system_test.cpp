// The real backend on a real (Wine) file system: what the media and split
// tests do not reach. Sharing, a length over 4 GiB and whole CD-sized reads,
// deleting a read-only file, replacement, one file under two spellings and
// code page 932.
#include "platform/win32/system_win32.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/shim.h"
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

TEST_F(Win32SystemTest, AFileOver4GiBHasItsTrueLengthAndReadsLandWhereAsked) {
  // The split reads on from where the last read stopped, and jumps over a
  // part the policy left out; the host file is sparse.
  constexpr int64_t kLength = (int64_t{5} << 30) + 3;
  constexpr int64_t kPart = 681984000;
  const std::string path = dir_ / "huge.bin";
  ASSERT_TRUE(MakeLongFile(path, kLength, {{0, 'a'}, {1, 'b'}, {2, 'c'}, {kPart - 1, 'd'}, {kPart, 'e'}}));
  ErrorCode error = 99;
  EXPECT_EQ(sys_.FileLengthOf(path, &error), kLength) << "a source over 4 GiB would be misjudged";
  auto file = sys_.Open(path, Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_NE(file, nullptr) << error;
  std::string got;
  for (const int64_t offset : {int64_t{0}, int64_t{1}, kPart - 1, int64_t{2}}) {
    char pair[2] = {};
    size_t read = 0;
    ASSERT_EQ(file->ReadAt(offset, pair, 2, &read), err::kNone);
    got.append(pair, read);
  }
  EXPECT_EQ(got, std::string("ab"
                             "bc"
                             "de"
                             "c\0",
                             8))
      << "a read after a jump, forward or back, came from the wrong place";
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
  // UTF-8 and UTF-16 are converted by the program itself (Windows 95 cannot):
  // damaged UTF-8 must name nothing rather than another file.
  const struct {
    std::string_view utf8;
    std::wstring_view utf16;
    std::string_view back;  // the UTF-8 the UTF-16 gives again
  } texts[] = {
      {"a\xC3\xA9\xE5\x88\x86", L"a\u00E9\u5206", "a\xC3\xA9\xE5\x88\x86"},
      {"\xF0\x9F\x98\x80", L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},  // outside the BMP: a surrogate pair
      {"a\xC3", L"a\xFFFD", "a\xEF\xBF\xBD"},                     // cut short
      {"\xC0\xAF", L"\xFFFD\xFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // an overlong "/"
      {"\xED\xA0\x80x", L"\xFFFDx", "\xEF\xBF\xBDx"},             // an encoded surrogate
  };
  for (const auto& t : texts) {
    EXPECT_EQ(platform::win32::Widen(t.utf8), t.utf16) << "UTF-8 " << ::testing::PrintToString(t.utf8);
    EXPECT_EQ(platform::win32::Narrow(t.utf16), t.back) << "UTF-8 " << ::testing::PrintToString(t.utf8);
  }
  EXPECT_EQ(platform::win32::Narrow(std::wstring(1, wchar_t{0xDC00})), "\xEF\xBF\xBD") << "a lone surrogate";
  for (const ErrorCode code : {err::kFileNotFound, err::kDiskFull, 0xDEAD0001u}) {
    const std::string text = sys.DescribeError(code);
    EXPECT_FALSE(text.empty()) << code << ": the recorded LastError would be blank";
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << code << ": a line end would break values.ini";
  }
}

}  // namespace
}  // namespace qn::winetest
