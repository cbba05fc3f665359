// Runs one split of the real Quarnimo.exe as a user would: starts the
// program, chooses the size option, source and output folder, presses the
// split button and waits for the end message. Prints the seconds from the
// click to the end message and the program's peak memory (VmHWM of its Wine
// process, from the host's /proc) once with the idle window, before the
// click, and once after the split. The script times the parts themselves
// from their file times.
//
// Usage: split_bench_driver.exe SOURCE OUTFOLDER SIZEOPTION(0..2) WORKFOLDER [par2]
//   par2: with the recovery-data menu item checked.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/wine_test_util.h"

namespace {

using qn::winetest::Narrow;

constexpr const char* kFinished = "正常に分割を終了しました";
constexpr int kHour = 3600 * 1000;

int Fail(const std::string& why) {
  std::fprintf(stderr, "split_bench_driver: %s\n", why.c_str());
  return 1;
}

// The peak resident memory in kB of the process whose command line holds
// `token`, or -1.
long PeakMemoryKb(const std::string& token, const std::string& workFolder) {
  const std::string result = workFolder + "\\vmhwm.txt";
  DeleteFileW(qn::winetest::Widen(result).c_str());
  const std::string script = "pid=$(pgrep -n -f '" + token +
                             "') && grep VmHWM /proc/$pid/status | tr -dc 0-9 > '" +
                             qn::winetest::UnixPath(result) + "'";
  if (qn::winetest::RunHostScript(script) != 0) return -1;
  const std::string text = qn::winetest::ReadWholeFile(result);
  return text.empty() ? -1 : std::stol(text);
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || (argc != 5 && argc != 6)) return Fail("usage: SOURCE OUTFOLDER SIZEOPTION WORKFOLDER [par2]");
  const bool recovery = argc == 6 && Narrow(argv[5]) == "par2";
  const std::string source = Narrow(argv[1]);
  const std::string output = Narrow(argv[2]);
  const std::string option = Narrow(argv[3]);
  const std::string work = Narrow(argv[4]);
  LocalFree(argv);
  if (option != "0" && option != "1" && option != "2") return Fail("the size option must be 0, 1 or 2");

  // A folder name no other process has in its command line.
  const std::string token = "qbench" + std::to_string(GetCurrentProcessId());
  const std::string programFolder = work + "\\" + token;
  CreateDirectoryW(qn::winetest::Widen(programFolder).c_str(), nullptr);
  qn::winetest::QuarnimoApp app(programFolder);
  if (!app.ok()) return Fail(app.error());

  const std::string sizeOption = "optSpltSize(" + option + ")";
  if (option == "2") {
    // The CD size warns about the memory it needs.
    app.Click(sizeOption, false);
    std::optional<qn::winetest::SeenBox> warning = app.NextBox();
    if (!warning) return Fail("no memory warning for the CD size");
    app.Answer(*warning, IDOK);
  } else {
    app.Click(sizeOption);
  }
  app.SetText("txtInFile", source);
  app.SetText("txtOutPath", output);
  app.SetChecked("chkSamDir", false);
  app.SetChecked("chkMkBat", true);
  app.Click("optHmny(0)");
  if (recovery && !app.ChooseMenu("mnuMakePar2")) return Fail("no recovery-data menu item");

  const long idleKb = PeakMemoryKb(token, work);
  LARGE_INTEGER frequency{};
  LARGE_INTEGER start{};
  LARGE_INTEGER end{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  app.StartSplit();
  std::optional<qn::winetest::SeenBox> box = app.NextBox(kHour);
  QueryPerformanceCounter(&end);
  if (!box) return Fail("no end message within an hour");
  const double seconds =
      static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  const long peakKb = PeakMemoryKb(token, work);
  app.Answer(*box, IDOK);
  const int exitCode = app.Close();
  if (box->text != kFinished) return Fail("the split ended with \"" + box->text + "\"");
  std::printf("seconds=%.3f idle_kb=%ld peak_kb=%ld exit=%d\n", seconds, idleKb, peakKb, exitCode);
  qn::winetest::RemoveTree(qn::winetest::Widen(programFolder));
  return 0;
}
