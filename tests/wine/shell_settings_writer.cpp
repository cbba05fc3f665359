// Saves the settings into <folder>\values.ini <rounds> times over, as another
// running instance of the program would: the writing side of the settings
// concurrency test. Usage: shell_settings_writer <folder> <rounds>
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "platform/win32/system_win32.h"
#include "platform/win32/wide.h"
#include "shell/settings.h"

namespace {

class FolderSystem : public qn::platform::win32::Win32System {
 public:
  explicit FolderSystem(std::string folder) : folder_(std::move(folder)) {}
  std::string ProgramFolder() override { return folder_; }

 private:
  std::string folder_;
};

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 3) return 2;
  FolderSystem system(qn::platform::win32::Narrow(argv[1]));
  const int rounds = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
  LocalFree(argv);
  for (int round = 0; round < rounds; ++round) {
    // Lengths change from round to round, so a cut file cannot pass for a whole one.
    const bool odd = round % 2 != 0;
    namespace setting = qn::shell::setting;
    qn::shell::WriteSetting(system, setting::kDpath, odd ? "C:\\" : "C:\\a rather longer folder name\\parts");
    qn::shell::WriteSetting(system, setting::kMakeBatch, odd ? "0" : "1");
    qn::shell::WriteSetting(system, setting::kCheckOw, std::to_string(round % 3));
    qn::shell::WriteSetting(system, setting::kSizeOpt, std::to_string(round % 4));
    qn::shell::WriteSetting(system, setting::kDevSize, std::to_string(1 + round * 7919));
    qn::shell::WriteSetting(system, setting::kSameDir, odd ? "1" : "0");
    qn::shell::WriteSetting(system, setting::kFormExt, odd ? "-1" : "0");
  }
  return 0;
}
