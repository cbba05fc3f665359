// frmMAIN, the program's one main window: its controls and menus (built from
// frm_main_design.h), the split settings it owns, and the handling of its
// options, size and range controls, and the choice of source and output
// folder. Work that lives elsewhere (the split job, the settings file, help)
// is reached through the hook members below, which the program sets once
// after constructing the window.
//
// The range boxes always hold a part number from 1 to 2,147,483,647, the
// last one at most the part count when there is a plan. A pasted number too
// large to read at all ("1e999") cannot be bounded and resets the range to 1
// and the part count instead.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/plan.h"
#include "engine/split_job.h"
#include "engine/split_settings.h"
#include "media/gate.h"
#include "platform/dialogs.h"
#include "platform/system.h"
#include "platform/ui/controls.h"

namespace qn::window {

class FrmMain {
 public:
  // Builds the controls and menus from the design and connects their handling.
  // `system` is the machine the window's operations work on and `dialogs`
  // shows its message boxes; both must outlive the window.
  FrmMain(platform::System& system, platform::Dialogs& dialogs);
  FrmMain(const FrmMain&) = delete;
  FrmMain& operator=(const FrmMain&) = delete;

  ui::Form form;
  engine::SplitSettings split;

  // ---- controls ---------------------------------------------------------------
  ui::TextBox txtInFile;
  ui::TextBox txtOutPath;
  ui::CommandButton btnSpltExec;
  ui::CheckBox chkMkBat;
  ui::CheckBox chkSamDir;
  ui::Frame frameHmny;
  std::array<ui::OptionButton, 3> optHmny;  // 0 overwrite, 1 skip, 2 ask
  ui::Frame frameSpltSize;
  std::array<ui::OptionButton, 4> optSpltSize;  // 0 1.44 MB, 1 1.25 MB, 2 650 MB, 3 free size
  ui::TextBox txt_Sizes;                        // the free size in bytes
  std::array<ui::TextBox, 2> txtSpltPart;       // first and last part of the range
  std::array<ui::Label, 3> lbl1;                // 0 the size unit, 1 "から", 2 "ファイルまで"
  ui::Label lblInSelect;
  ui::Label lblOutSelect;
  ui::Label lblSize;
  ui::Label lblFInfo;
  ui::Label lblComplt;

  // ---- menus ------------------------------------------------------------------
  ui::MenuItem mnuFile;
  std::array<ui::MenuItem, 6> mnuFiles;
  ui::MenuItem mnuSet;
  std::array<ui::MenuItem, 7> mnuSettings;  // 1 holds the submenu mnuSetOW
  // Recovery data (PAR2) beside the parts: shown after mnuSettings(3), named
  // on its own so that the load and save items keep their indexes.
  ui::MenuItem mnuMakePar2;
  std::array<ui::MenuItem, 3> mnuSetOW;
  ui::MenuItem mnuHelp;
  std::array<ui::MenuItem, 4> mnuHelps;

  // ---- hooks: set by the program; an empty hook does nothing ------------------
  std::function<void()> onSplit;            // btnSpltExec, mnuFiles(3); set to ExecuteSplit
  std::function<void()> onChooseSource;     // mnuFiles(0), lblInSelect; set to the open-file dialog
  std::function<void()> onChooseOutput;     // mnuFiles(2), lblOutSelect; set to the folder dialog
  std::function<void()> onLoadSettings;     // mnuSettings(5)
  std::function<void()> onSaveSettings;     // mnuSettings(6)
  std::function<void()> onHelpDocument;     // mnuHelps(0)
  std::function<void()> onSupportPage;      // mnuHelps(1)
  std::function<void()> onVersionInfo;      // mnuHelps(3)
  std::function<void()> onSourceLostFocus;  // the focus left txtInFile; set to take the typed source
  std::function<void()> onOutputLostFocus;  // the focus left txtOutPath; set to normalise the typed folder
  // Records the number of a failure that has no message of its own (the
  // settings file's LastErrorNumber).
  std::function<void(platform::ErrorCode)> recordError;

  // ---- operations ---------------------------------------------------------------
  // Gives the window its fixed outer size: tall with range mode on, short
  // without. A maximized window is restored first; a minimized one is left.
  void Form_Resize();
  // Refreshes the split plan and its display (see engine::Size_Change).
  void Size_Change(int16_t intKey1, int16_t intKey2);
  // Turns range mode on or off: the menu mark, the range boxes usable exactly
  // in range mode, the window's height. A real switch also resets the range
  // to 1 and the part count.
  void SetRangeMode(bool on);
  // The part of the window the split plan reads and writes.
  engine::PlanView Plan();

  // ---- the split ----------------------------------------------------------------
  // Splits the source named in the window (see engine::ExecuteSplit). Runs
  // to its end on the window's thread; nothing escapes from it.
  void ExecuteSplit();
  // The output gate for the file stem + name with the window's overwrite
  // policy and output folder (see media::PrepareOutputFile).
  [[nodiscard]] int32_t PrepareOutputFile(std::string_view stem, std::string_view name,
                                          std::string_view protectedPath, int64_t requiredBytes,
                                          uint8_t* skip, std::unique_ptr<platform::File>* created = nullptr);
  // Puts `text` on the status line and repaints it at once.
  void ShowStatus(std::string_view text);
  // Locks (0) or unlocks (-1) the window against input during a split.
  void SetControlsEnabled(int16_t flag);
  // The buffer the split moves the parts through. Tests make it fail or small.
  engine::CopyBuffer copyBuffer;
  // True while a split runs: from the start of ExecuteSplit, and while the
  // window is locked against input.
  [[nodiscard]] bool Busy() const { return splitting_ || locked_; }

  // ---- source and destination ---------------------------------------------------
  // The two dialogs' settings, prepared when the window is made and kept as
  // long as it. The open-file record's buffer (fileName) carries the last
  // choice into the next dialog; nothing else changes it.
  platform::OpenFileRecord openFileRecord;
  platform::FolderRecord folderRecord;
  // Shows the open-file dialog over the window: non-zero when a file was
  // chosen. *path gets the dialog's file buffer cut at its first NUL, chosen or not.
  int ShowOpenFile(std::string* path);
  // Shows the folder dialog over the window: non-zero when a folder with a
  // file-system path was chosen, which is then in *path.
  int ShowDir(std::string* path);
  // Makes the file at `path` the source: txtInFile shows `shownText`,
  // lngFileSize is the file's true length, lblSize its size text, and the plan
  // is refreshed (Size_Change(0, 1)). When the length cannot be read the
  // window is left as it was and the platform's error is returned.
  [[nodiscard]] platform::ErrorCode TakeSource(std::string_view path, std::string shownText);
  // Makes `path` the output folder, shown at once in its absolute long form
  // (as given when nothing is there): a folder chosen, dropped or loaded.
  void SetOutputFolder(std::string path);

 private:
  void ApplyDesign();
  void ConnectHandlers();
  void Form_Initialize();
  void ChooseSource();
  void ChooseOutput();
  void txtInFile_LostFocus();
  void txtOutPath_LostFocus();
  ui::Control* FindControl(std::string_view name);

  void chkMkBat_Click();
  void chkSamDir_Click();
  void mnuSettings_Click(int index);
  void mnuMakePar2_Click();
  void optSpltSize_Click(int index);
  void optSpltSize_KeyPress(int index, int& key);
  void txt_Sizes_GotFocus();
  // Gives false when the typed size was refused (the user has been told).
  bool txt_Sizes_LostFocus();
  void txtSpltPart_Change(int index);
  void optHmny_Click(int index);

  platform::System& system_;
  platform::Dialogs& dialogs_;
  std::vector<ui::OptionButton*> hmnyGroup_;
  std::vector<ui::OptionButton*> sizeGroup_;
  bool splitting_ = false;
  bool locked_ = false;                    // SetControlsEnabled(0) until SetControlsEnabled(-1)
  media::DriveFacts* runDrive_ = nullptr;  // the running split's, not owned
};

}  // namespace qn::window
