#include "tests/wine/support/split_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/wine/wine_test_util.h"

namespace qn::winetest {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

std::string MediaFolder() {
  const std::string build = BuildDir();
  return build.empty() ? std::string() : build + "\\split-media";
}

}  // namespace

std::string RandomBytes(size_t length, uint32_t seed) {
  std::string bytes(length, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < length; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

void StartSplit(QuarnimoApp& app, const Choice& choice) {
  ASSERT_TRUE(app.Click(choice.freeSize.empty() ? "optSpltSize(0)" : "optSpltSize(3)"));
  if (!choice.freeSize.empty()) {
    // A click gives a control the focus from the program's own thread, as the
    // mouse does; the field's got-focus handling shows the plain number, so
    // the text goes in after it, and leaving the field takes the number.
    const auto click = [&](const char* control) {
      SendMessageW(app.Control(control), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
      SendMessageW(app.Control(control), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    };
    click("txt_Sizes");
    ASSERT_TRUE(app.SetText("txt_Sizes", choice.freeSize));
    click("txtOutPath");
  }
  ASSERT_TRUE(app.SetText("txtInFile", choice.source));
  ASSERT_TRUE(app.SetText("txtOutPath", choice.outFolder));
  ASSERT_TRUE(app.SetChecked("chkSamDir", false)) << "the same-folder box does not take the click";
  ASSERT_TRUE(app.SetChecked("chkMkBat", choice.batch)) << "the batch box does not take the click";
  ASSERT_TRUE(app.Click("optHmny(" + std::to_string(choice.policy) + ")"));
  ASSERT_TRUE(app.StartSplit());
}

SeenBox ExpectBox(QuarnimoApp& app, const std::string& text, int style) {
  std::optional<SeenBox> box = app.NextBox(120000);
  EXPECT_TRUE(box.has_value()) << "the program shows no message where the user expects \"" << text << "\"";
  if (!box) return {};
  EXPECT_EQ(box->text, text) << "the user is told the wrong thing";
  EXPECT_EQ(box->style, style) << "\"" << box->text << "\" has the wrong buttons or icon";
  EXPECT_EQ(box->title, "") << "\"" << box->text << "\" must have an empty title";
  return *box;
}

void ExpectEnd(QuarnimoApp& app, const std::string& text, int style) {
  const SeenBox end = ExpectBox(app, text, style);
  ASSERT_NE(end.hwnd, nullptr);
  EXPECT_EQ(app.Text("lblComplt"), "Splitting Completed") << "the status line must say the run completed";
  ASSERT_TRUE(app.Answer(end, IDOK));
  EXPECT_TRUE(guitest::PumpUntil([&] { return app.Idle(); }, 30000))
      << "after the end message the window must be unlocked with an empty status line";
}

void ExpectRejoin(const std::string& folder, const std::string& source, const std::string& bytes) {
  // Quoted twice, as the shell starts a batch file: cmd strips the outer
  // pair, and the name may hold "&" or "(".
  ASSERT_EQ(
      RunWindowsProgram("C:\\windows\\system32\\cmd.exe /c \"\"" + BareStem(source) + "bat\"\"", folder), 0)
      << "the batch file fails under cmd";
  const std::string joined = ReadWholeFile(folder + "\\" + FileNameOf(source));
  ASSERT_EQ(joined.size(), bytes.size()) << "the rejoined " << FileNameOf(source) << " has the wrong length";
  EXPECT_TRUE(joined == bytes) << "the rejoined " << FileNameOf(source) << " differs from the source";
}

std::string BareStem(const std::string& source) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD got = GetShortPathNameW(Widen(source).c_str(), buffer, MAX_PATH * 2);
  std::string name = got == 0 || got >= MAX_PATH * 2 ? std::string() : FileNameOf(Narrow(buffer));
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  return name + ".";
}

std::string PartNumber(int n) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03d", n);
  return digits;
}

int CountFiles(const std::string& folder) {
  WIN32_FIND_DATAW entry{};
  const HANDLE find = FindFirstFileW(Widen(folder + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return count;
}

std::string MediaUnavailableReason() {
  const std::string folder = MediaFolder();
  if (folder.empty() || Environment("QUARNIMO_SOURCE_DIR").empty()) {
    return "the test does not know its build and source folders";
  }
  if (RawAttributes(folder) == INVALID_FILE_ATTRIBUTES) {
    return "the split_media fixture did not run (no " + folder + ")";
  }
  std::string reason = ReadWholeFile(folder + "\\unavailable");
  if (!reason.empty()) return reason;
  if (RawAttributes(FloppyFolder(1)) == INVALID_FILE_ATTRIBUTES) return "the test disks are not mounted";
  return {};
}

bool RunMedia(std::string_view action, int disk) {
  auto quoted = [](const std::string& text) { return "'" + text + "'"; };
  std::string script = "sh " + quoted(Environment("QUARNIMO_SOURCE_DIR") + "/tests/wine/split_media.sh") +
                       " " + std::string(action) + " " + quoted(Environment("QUARNIMO_BUILD_DIR")) + " " +
                       quoted(Environment("QUARNIMO_WINEPREFIX"));
  if (disk > 0) script += " " + std::to_string(disk);
  return RunHostScript(script) == 0;
}

std::string FloppyFolder(int disk) { return MediaFolder() + "\\fd" + std::to_string(disk); }

std::string FixedDiskFolder() { return MediaFolder() + "\\full"; }

}  // namespace qn::winetest
