#include "shell/startup.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>
#include <string>

#include "engine/numbers.h"
#include "media/paths.h"
#include "shell/help.h"
#include "shell/settings.h"

namespace qn::shell {

using platform::ErrorCode;
namespace err = platform::err;

namespace {

constexpr std::string_view kRenameMessage = "Quarnimoの拡張子を、.exeに変更して下さい。";
constexpr std::string_view kBadNameRecord = "Quarnimoのファイル名が不正である可能性があります。";
constexpr std::string_view kStartupFailedMessage =
    "起動エラー。起動できません。\r"
    "動作環境を満たしているかどうか確認して下さい。";

constexpr int kCxFullScreen = 16;
constexpr int kCyFullScreen = 17;
constexpr int kCyMenu = 15;

// A number in single precision; beyond its range it is the largest single of its sign.
float Single(double value) {
  return static_cast<float>(std::clamp(value, -double{FLT_MAX}, double{FLT_MAX}));
}

// The form keeps whole twips.
int Twips(float value) { return static_cast<int>(std::lround(std::clamp(value, -1e9f, 1e9f))); }

// An edge as the settings file keeps it: the decimal text of the single-precision twips.
std::string EdgeText(int twips) { return engine::ShortestText(static_cast<float>(twips)); }

}  // namespace

ScreenExtent GetScreenExtent(platform::System& sys) {
  ScreenExtent extent;
  extent.width = Single(sys.TwipsPerPixelX() * sys.SystemMetric(kCxFullScreen));
  extent.height = Single(sys.TwipsPerPixelY() *
                         (static_cast<double>(sys.SystemMetric(kCyFullScreen)) + sys.SystemMetric(kCyMenu)));
  return extent;
}

float PlaceEdge(std::string_view stored, float screen, float window) {
  float edge = Single(engine::LeadingNumber(stored));
  if (edge < 0) edge = 0;
  if (edge > screen) edge = screen - window;
  return edge;
}

Program::Program(platform::System& sys, platform::Dialogs& dialogs, platform::WindowHost& host)
    : sys_(sys), dialogs_(dialogs), host_(host) {}

Program::~Program() { host_.Release(); }

StartOutcome Program::Start() noexcept {
  try {
    return Run();
  } catch (const StartupError& failure) {
    Fail(failure.number(), failure.what());
  } catch (const std::bad_alloc&) {
    Fail(err::kNotEnoughMemory, sys_.DescribeError(err::kNotEnoughMemory));
  } catch (const std::exception& failure) {
    Fail(err::kGenFailure, failure.what());
  } catch (...) {
    Fail(err::kGenFailure, sys_.DescribeError(err::kGenFailure));
  }
  return StartOutcome::kFailed;
}

StartOutcome Program::Run() {
  // Self check: the program must be named *.exe, for the further instances
  // the intake starts by this name.
  std::string stem = sys_.ProgramFileName();
  if (const size_t dot = stem.rfind('.'); dot != std::string::npos) stem.resize(dot);
  programShortPath_ =
      media::GetShortPath(sys_, media::WithBackslash(sys_.ProgramFolder()).append(stem).append(".exe"));
  if (programShortPath_.empty()) {
    (void)dialogs_.MsgBox(kRenameMessage, platform::mb::kOk | platform::mb::kExclamation, "");
    WriteSetting(sys_, setting::kLastErrorNumber, std::string(1, '\0'));
    WriteSetting(sys_, setting::kLastError, kBadNameRecord);
    return StartOutcome::kBadProgramName;
  }

  const ScreenExtent screen = GetScreenExtent(sys_);

  // FrmMain's constructor is the window's creation handler: what the window
  // prepares once, when it is made, belongs there.
  frm_ = std::make_unique<window::FrmMain>(sys_, dialogs_);
  window::FrmMain& frm = *frm_;
  ConnectSettings(sys_, frm);
  ConnectHelpMenu(sys_, dialogs_, host_, frm);
  frm.form.onQueryUnload = [this] { Form_QueryUnload(); };
  if (const ErrorCode refused = host_.CreateMainWindow(frm.form); refused != err::kNone) {
    throw StartupError(refused, sys_.DescribeError(refused));
  }

  frm.form.SetTitle(sys_.ProgramVersion().productName);
  host_.AcceptDroppedFiles();
  host_.InstallDropHook([this](platform::DroppedItems& items) {
    if (intake.onDrop) intake.onDrop(*this, items);
  });
  frm.split.lngFileSize = -1;
  frm.lblOutSelect.SetMousePointer(frm.lblInSelect.MousePointer());
  frm.btnSpltExec.SetMousePointer(frm.lblInSelect.MousePointer());

  // The first read creates a missing settings file; every key then takes its default.
  ui::Form& form = frm.form;
  const float left =
      PlaceEdge(ReadSetting(sys_, setting::kXpos), screen.width, static_cast<float>(form.Width()));
  form.Move(Twips(left), form.Top());
  const float top =
      PlaceEdge(ReadSetting(sys_, setting::kYpos), screen.height, static_cast<float>(form.Height()));
  form.Move(form.Left(), Twips(top));

  ApplySettings(sys_, frm);
  if (intake.takeCommandLine) intake.takeCommandLine(*this);
  form.SetState(ui::WindowState::kNormal);
  // The part count stays the one the command line's source gave: zeroing it
  // here would make the split's own plan reset a range typed against it.
  host_.Show();
  return StartOutcome::kShown;
}

void Program::Fail(ErrorCode number, const std::string& description) noexcept {
  try {
    host_.Release();
    WriteSetting(sys_, setting::kLastErrorNumber, std::to_string(number));
    WriteSetting(sys_, setting::kLastError, description);
    (void)dialogs_.MsgBox(kStartupFailedMessage, platform::mb::kOk | platform::mb::kCritical, "");
  } catch (...) {
    // The start-up ends all the same; there is nobody left to tell.
  }
}

void Program::Form_QueryUnload() {
  WriteSetting(sys_, setting::kXpos, EdgeText(frm_->form.Left()));
  WriteSetting(sys_, setting::kYpos, EdgeText(frm_->form.Top()));
  host_.RemoveDropHook();
}

}  // namespace qn::shell
