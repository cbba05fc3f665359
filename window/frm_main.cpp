#include "window/frm_main.h"

#include <optional>
#include <string>
#include <utility>

#include "engine/numbers.h"
#include "engine/status.h"
#include "media/gate.h"
#include "media/paths.h"
#include "window/frm_main_design.h"

namespace qn::window {

namespace {

constexpr double kMaxPartNumber = 2147483647.0;

constexpr std::string_view kMemoryWarning =
    "CD-Rサイズで分割する場合は、それだけメモリの容量が必要になります。\r\n"
    "とりあえず警告しますが、もしこれにより、パソコンが不安定になっても知りません。\r\n"
    "（今後、要望があれば小メモリでも分割できるようにする予定です。）";
constexpr std::string_view kSizeRangeMessage =
    "ファイルのサイズは1-2,147,483,647バイトの範囲内にしてください";
constexpr std::string_view kSizeRangeTitle = "データ形式が不正です ";

constexpr std::string_view kOpenFileTitle = "分割元ファイルを開く";
constexpr std::string_view kOpenFileFilter = "全てのファイル(*.*)";
constexpr std::string_view kAllFiles = "*.*";
// OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_LONGNAMES: a chosen file always exists.
constexpr uint32_t kOpenFileFlags = 0x201004;
constexpr size_t kOpenFileBufferChars = 512;
constexpr std::string_view kFolderTitle = "出力先フォルダを指定";
constexpr uint32_t kFolderFlags = 1;  // BIF_RETURNONLYFSDIRS

ui::MenuItem Menu(std::string_view name) {
  return ui::MenuItem(std::string(name), std::string(design::MenuCaption(name)));
}

void Run(const std::function<void()>& hook) {
  if (hook) hook();
}

void SelectAll(ui::TextBox& box) {
  box.SetSelStart(0);
  box.SetSelLength(box.Length());
}

// A range box's number; nullopt when the text starts with a number too large
// to read at all, which the range handling treats as a type mismatch.
std::optional<double> PartNumber(const ui::TextBox& box) {
  bool overflow = false;
  double value = engine::LeadingNumber(box.Text(), &overflow);
  if (overflow) return std::nullopt;
  return value;
}

}  // namespace

FrmMain::FrmMain(platform::System& system, platform::Dialogs& dialogs)
    : form(std::string(design::kFormName)),
      txtInFile("txtInFile"),
      txtOutPath("txtOutPath"),
      btnSpltExec("btnSpltExec"),
      chkMkBat("chkMkBat"),
      chkSamDir("chkSamDir"),
      frameHmny("frameHmny"),
      optHmny{
          {ui::OptionButton("optHmny(0)"), ui::OptionButton("optHmny(1)"), ui::OptionButton("optHmny(2)")}},
      frameSpltSize("frameSpltSize"),
      optSpltSize{{ui::OptionButton("optSpltSize(0)"), ui::OptionButton("optSpltSize(1)"),
                   ui::OptionButton("optSpltSize(2)"), ui::OptionButton("optSpltSize(3)")}},
      txt_Sizes("txt_Sizes"),
      txtSpltPart{{ui::TextBox("txtSpltPart(0)"), ui::TextBox("txtSpltPart(1)")}},
      lbl1{{ui::Label("lbl1(0)"), ui::Label("lbl1(1)"), ui::Label("lbl1(2)")}},
      lblInSelect("lblInSelect"),
      lblOutSelect("lblOutSelect"),
      lblSize("lblSize"),
      lblFInfo("lblFInfo"),
      lblComplt("lblComplt"),
      mnuFile(Menu("mnuFile")),
      mnuFiles{{Menu("mnuFiles(0)"), Menu("mnuFiles(1)"), Menu("mnuFiles(2)"), Menu("mnuFiles(3)"),
                Menu("mnuFiles(4)"), Menu("mnuFiles(5)")}},
      mnuSet(Menu("mnuSet")),
      mnuSettings{{Menu("mnuSettings(0)"), Menu("mnuSettings(1)"), Menu("mnuSettings(2)"),
                   Menu("mnuSettings(3)"), Menu("mnuSettings(4)"), Menu("mnuSettings(5)"),
                   Menu("mnuSettings(6)")}},
      mnuMakePar2(Menu("mnuMakePar2")),
      mnuSetOW{{Menu("mnuSetOW(0)"), Menu("mnuSetOW(1)"), Menu("mnuSetOW(2)")}},
      mnuHelp(Menu("mnuHelp")),
      mnuHelps{{Menu("mnuHelps(0)"), Menu("mnuHelps(1)"), Menu("mnuHelps(2)"), Menu("mnuHelps(3)")}},
      system_(system),
      dialogs_(dialogs) {
  ApplyDesign();
  ConnectHandlers();
  Form_Initialize();
  onSplit = [this] {
    // Enter and the file menu split with the focus still in the free-size
    // field: what was typed there counts, as if the focus had left it, and
    // a refused size starts nothing.
    if (form.Focused() == &txt_Sizes && !txt_Sizes_LostFocus()) return;
    ExecuteSplit();
  };
  onChooseSource = [this] { ChooseSource(); };
  onChooseOutput = [this] { ChooseOutput(); };
  onSourceLostFocus = [this] { txtInFile_LostFocus(); };
  onOutputLostFocus = [this] { txtOutPath_LostFocus(); };
}

void FrmMain::Form_Initialize() {
  openFileRecord.title = std::string(kOpenFileTitle);
  openFileRecord.filterDescription = std::string(kOpenFileFilter);
  openFileRecord.filterPattern = std::string(kAllFiles);
  openFileRecord.flags = kOpenFileFlags;
  openFileRecord.defaultExtension = std::string(kAllFiles);
  openFileRecord.maxFileChars = kOpenFileBufferChars;
  openFileRecord.fileName.clear();
  folderRecord.title = std::string(kFolderTitle);
  folderRecord.flags = kFolderFlags;
}

ui::Control* FrmMain::FindControl(std::string_view name) {
  ui::Control* const all[] = {
      &txtInFile,      &txtOutPath,     &btnSpltExec,    &chkMkBat,       &chkSamDir,
      &frameHmny,      &optHmny[0],     &optHmny[1],     &optHmny[2],     &frameSpltSize,
      &optSpltSize[0], &optSpltSize[1], &optSpltSize[2], &optSpltSize[3], &txt_Sizes,
      &txtSpltPart[0], &txtSpltPart[1], &lbl1[0],        &lbl1[1],        &lbl1[2],
      &lblInSelect,    &lblOutSelect,   &lblSize,        &lblFInfo,       &lblComplt};
  for (ui::Control* control : all) {
    if (control->name() == name) return control;
  }
  return nullptr;
}

void FrmMain::ApplyDesign() {
  form.designClient = design::kClient;
  form.font =
      ui::Font{std::string(design::kFontFace), design::kFontPoints, false, false, design::kShiftJisCharset};
  form.iconResource = design::kIconResource;

  for (const design::ControlDesign& entry : design::kControls) {
    ui::Control* control = FindControl(entry.name);
    if (control == nullptr || control->kind() != entry.kind) continue;  // the design tests catch this
    control->rect = entry.rect;
    control->tabIndex = entry.tabIndex;
    control->tooltip = std::string(entry.tooltip);
    control->tag = std::string(entry.tag);
    if (!entry.container.empty()) control->container = FindControl(entry.container);
    if (entry.kind == ui::Kind::kTextBox) {
      static_cast<ui::TextBox*>(control)->SetText(std::string(entry.text));
    } else {
      control->SetCaption(std::string(entry.text));
    }
    if (entry.looks & design::look::kLabelButton) {
      // The form's font, underlined.
      if (control->kind() == ui::Kind::kLabel) static_cast<ui::Label*>(control)->underline = true;
      control->SetForeColor(ui::kButtonTextColor);
    }
    if (entry.looks & design::look::kHandPointer) control->SetMousePointer(ui::Pointer::kHand);
    if (entry.looks & design::look::kRedText) control->SetForeColor(ui::Rgb(255, 0, 0));
    if ((entry.looks & design::look::kDefaultButton) && control->kind() == ui::Kind::kCommandButton) {
      static_cast<ui::CommandButton*>(control)->isDefault = true;
    }
    if (entry.looks & design::look::kSystemFont) {
      control->font = ui::Font{};  // empty face: the window's default font
      control->ownFont = true;
    }
    form.Add(*control);
  }

  hmnyGroup_ = {&optHmny[0], &optHmny[1], &optHmny[2]};
  sizeGroup_ = {&optSpltSize[0], &optSpltSize[1], &optSpltSize[2], &optSpltSize[3]};
  for (ui::OptionButton& option : optHmny) option.group = &hmnyGroup_;
  for (ui::OptionButton& option : optSpltSize) option.group = &sizeGroup_;

  // Menus: each item under the parent the design names.
  ui::MenuItem* const menus[] = {
      &mnuFile,        &mnuFiles[0],    &mnuFiles[1],    &mnuFiles[2],    &mnuFiles[3],    &mnuFiles[4],
      &mnuFiles[5],    &mnuSet,         &mnuSettings[0], &mnuSettings[1], &mnuSetOW[0],    &mnuSetOW[1],
      &mnuSetOW[2],    &mnuSettings[2], &mnuSettings[3], &mnuMakePar2,    &mnuSettings[4], &mnuSettings[5],
      &mnuSettings[6], &mnuHelp,        &mnuHelps[0],    &mnuHelps[1],    &mnuHelps[2],    &mnuHelps[3]};
  auto findMenu = [&](std::string_view name) -> ui::MenuItem* {
    for (ui::MenuItem* item : menus) {
      if (item->name() == name) return item;
    }
    return nullptr;
  };
  for (const design::MenuDesign& entry : design::kMenus) {
    ui::MenuItem* item = findMenu(entry.name);
    if (item == nullptr) continue;
    if (entry.parent.empty()) {
      form.menuBar.push_back(item);
    } else if (ui::MenuItem* parent = findMenu(entry.parent)) {
      parent->items.push_back(item);
    }
  }

  // The design's client area is the tall form's.
  form.SetOuterSize(design::kOuterWidth, design::kOuterHeightWithRange);
}

void FrmMain::ConnectHandlers() {
  form.onResize = [this] { Form_Resize(); };

  btnSpltExec.onClick = [this] { Run(onSplit); };
  txtInFile.onLostFocus = [this] { Run(onSourceLostFocus); };
  txtOutPath.onLostFocus = [this] { Run(onOutputLostFocus); };
  txtOutPath.onGotFocus = [this] { SelectAll(txtOutPath); };

  chkMkBat.onClick = [this] { chkMkBat_Click(); };
  chkSamDir.onClick = [this] { chkSamDir_Click(); };

  for (int i = 0; i < 3; ++i) {
    optHmny[i].onClick = [this, i] { optHmny_Click(i); };
    mnuSetOW[i].onClick = [this, i] { optHmny[i].Select(); };
  }
  for (int i = 0; i < 4; ++i) {
    optSpltSize[i].onClick = [this, i] { optSpltSize_Click(i); };
    optSpltSize[i].onKeyPress = [this, i](int& key) { optSpltSize_KeyPress(i, key); };
  }
  txt_Sizes.onGotFocus = [this] { txt_Sizes_GotFocus(); };
  txt_Sizes.onLostFocus = [this] { (void)txt_Sizes_LostFocus(); };
  for (int i = 0; i < 2; ++i) {
    txtSpltPart[i].onChange = [this, i] { txtSpltPart_Change(i); };
    txtSpltPart[i].onGotFocus = [this, i] { SelectAll(txtSpltPart[i]); };
    txtSpltPart[i].onKeyPress = [](int& key) {
      if (!(key >= '0' && key <= '9') && key != 8) key = 0;
    };
  }

  // The label buttons show the highlight colour while pressed; the click that
  // follows the release opens a dialog over the label at rest.
  for (ui::Label* label : {&lblInSelect, &lblOutSelect}) {
    label->onMouseDown = [label](int) { label->SetForeColor(ui::kHighlightColor); };
    label->onDblClick = [label] { label->SetForeColor(ui::kHighlightColor); };
    label->onMouseUp = [label](int) { label->SetForeColor(ui::kButtonTextColor); };
  }
  lblInSelect.onClick = [this] { Run(onChooseSource); };
  lblOutSelect.onClick = [this] { Run(onChooseOutput); };

  mnuFiles[0].onClick = [this] { Run(onChooseSource); };
  mnuFiles[2].onClick = [this] { Run(onChooseOutput); };
  mnuFiles[3].onClick = [this] { Run(onSplit); };
  mnuFiles[5].onClick = [this] { form.Close(); };
  for (int i = 0; i < 7; ++i) mnuSettings[i].onClick = [this, i] { mnuSettings_Click(i); };
  mnuMakePar2.onClick = [this] { mnuMakePar2_Click(); };
  mnuHelps[0].onClick = [this] { Run(onHelpDocument); };
  mnuHelps[1].onClick = [this] { Run(onSupportPage); };
  mnuHelps[3].onClick = [this] { Run(onVersionInfo); };
}

engine::PlanView FrmMain::Plan() {
  return engine::PlanView{split, lbl1[0], txt_Sizes, lblFInfo, chkMkBat, txtSpltPart[0], txtSpltPart[1]};
}

void FrmMain::Size_Change(int16_t intKey1, int16_t intKey2) { engine::Size_Change(Plan(), intKey1, intKey2); }

void FrmMain::ExecuteSplit() {
  // The lock keeps a second split out; this also holds should input slip through.
  if (splitting_) return;
  splitting_ = true;
  media::DriveFacts drive;
  runDrive_ = &drive;
  try {
    const engine::SplitJobView view{
        Plan(),
        txtInFile,
        txtOutPath,
        chkSamDir,
        mnuSettings[3],
        lblSize,
        [this](std::string_view text) { ShowStatus(text); },
        [this](int16_t flag) { SetControlsEnabled(flag); },
        [this](std::string_view stem, std::string_view name, std::string_view protectedPath,
               int64_t requiredBytes, uint8_t* skip, std::unique_ptr<platform::File>* created) {
          return PrepareOutputFile(stem, name, protectedPath, requiredBytes, skip, created);
        },
        recordError,
        copyBuffer,
        &mnuMakePar2,
    };
    (void)engine::ExecuteSplit(system_, dialogs_, view);
  } catch (...) {
    // Nothing may escape into the window.
  }
  runDrive_ = nullptr;
  splitting_ = false;
}

int32_t FrmMain::PrepareOutputFile(std::string_view stem, std::string_view name,
                                   std::string_view protectedPath, int64_t requiredBytes, uint8_t* skip,
                                   std::unique_ptr<platform::File>* created) {
  const media::GateInputs inputs{split.byteHmny, txtOutPath.Text(), recordError, runDrive_};
  return media::PrepareOutputFile(system_, dialogs_, inputs, stem, name, protectedPath, requiredBytes, skip,
                                  created);
}

void FrmMain::ShowStatus(std::string_view text) { engine::ShowStatus(lblComplt, text); }

void FrmMain::SetControlsEnabled(int16_t flag) {
  locked_ = flag == 0;
  const engine::LockView view{txtInFile,      txtOutPath, btnSpltExec,   chkMkBat,    chkSamDir,
                              frameHmny,      optHmny,    frameSpltSize, optSpltSize, txtSpltPart,
                              mnuSettings[3], mnuFile,    mnuSet,        mnuHelp,     lblInSelect,
                              lblOutSelect,   form};
  engine::SetControlsEnabled(view, flag);
}

void FrmMain::Form_Resize() {
  // Restoring a maximized window runs this again, nested, and that run sizes it.
  if (form.State() == ui::WindowState::kMaximized) form.SetState(ui::WindowState::kNormal);
  if (form.State() == ui::WindowState::kNormal) {
    form.SetOuterSize(design::kOuterWidth, mnuSettings[3].Checked() ? design::kOuterHeightWithRange
                                                                    : design::kOuterHeightWithoutRange);
  }
}

void FrmMain::SetRangeMode(bool on) {
  const bool switched = mnuSettings[3].Checked() != on;
  mnuSettings[3].SetChecked(on);
  // Boxes cut off by the short window must not take the focus either.
  txtSpltPart[0].SetEnabled(on);
  txtSpltPart[1].SetEnabled(on);
  if (switched) {
    // Either way the range starts again from the whole plan.
    txtSpltPart[0].SetText("1");
    txtSpltPart[1].SetText(engine::ShortestText(split.lngFileCount));
  }
  Form_Resize();
}

void FrmMain::chkMkBat_Click() {
  mnuSettings[0].SetChecked(chkMkBat.Value() != 0);
  Size_Change(0, 0);  // the count text names the batch file
}

void FrmMain::chkSamDir_Click() {
  bool sameFolder = chkSamDir.Value() != 0;
  mnuSettings[2].SetChecked(sameFolder);
  lblOutSelect.SetEnabled(!sameFolder);
  txtOutPath.SetEnabled(!sameFolder);
}

void FrmMain::mnuSettings_Click(int index) {
  switch (index) {
    case 0:
      chkMkBat.SetValue(chkMkBat.Value() == 0 ? 1 : 0);
      break;
    case 2:
      chkSamDir.SetValue(chkSamDir.Value() == 0 ? 1 : 0);
      break;
    case 3:
      SetRangeMode(!mnuSettings[3].Checked());
      break;
    case 5:
      Run(onLoadSettings);
      break;
    case 6:
      // A folder typed but not yet left is stored as the split would use
      // it; typed text would be read against another folder at the next start.
      SetOutputFolder(txtOutPath.Text());
      Run(onSaveSettings);
      break;
    default:
      break;  // the overwrite submenu's parent and the separator
  }
}

void FrmMain::mnuMakePar2_Click() {
  // The mark must not change under a running split: the locked menu bar
  // keeps the user out, and this keeps out a command that slips past it.
  if (Busy()) return;
  mnuMakePar2.SetChecked(!mnuMakePar2.Checked());
}

void FrmMain::optSpltSize_Click(int index) {
  if (index != 3) {
    if (std::optional<int32_t> size = engine::WholeNumber(optSpltSize[index].tag)) split.lngSpltSize = *size;
  }
  if (index == 2) {
    (void)dialogs_.MsgBox(kMemoryWarning, platform::mb::kOk | platform::mb::kInformation, "");
  }
  txt_Sizes.SetEnabled(index == 3);
  Size_Change(0, 1);
  split.byteSpltSize = static_cast<uint8_t>(index);  // after the plan: it names the option whose handling ran
}

void FrmMain::optSpltSize_KeyPress(int index, int& key) {
  // Keys beyond 16 bits cannot be digits; -1 passes them on as "another key".
  auto key16 = static_cast<int16_t>(key >= -32768 && key <= 32767 ? key : -1);
  Size_Change(index == 3 ? key16 : int16_t{0}, 1);
}

void FrmMain::txt_Sizes_GotFocus() {
  txt_Sizes.SetText(engine::ShortestText(split.lngSpltSize));
  txt_Sizes.SetMaxLength(10);
  SelectAll(txt_Sizes);
}

bool FrmMain::txt_Sizes_LostFocus() {
  std::optional<int32_t> size = engine::WholeNumber(txt_Sizes.Text());
  bool usable = false;
  if (size) {
    split.lngSpltSize = *size;
    usable = *size >= 1;
    if (!usable) split.lngSpltSize = 0;  // the split job refuses a size of 0
  }
  if (!usable) {
    (void)dialogs_.MsgBox(kSizeRangeMessage, platform::mb::kOk | platform::mb::kCritical, kSizeRangeTitle);
    form.SetFocus(txt_Sizes);  // takes effect once this handling has ended
  }
  txt_Sizes.SetMaxLength(13);  // "2,147,483,647"
  // The count and the range follow the new size at once: a range typed
  // against a stale count would be reset when the split starts.
  Size_Change(0, 1);
  return usable;
}

void FrmMain::txtSpltPart_Change(int index) {
  // Each SetText below runs this handling again, nested, for the box it sets.
  ui::TextBox& first = txtSpltPart[0];
  ui::TextBox& last = txtSpltPart[1];
  auto resetRange = [&] {
    first.SetText("1");
    last.SetText(engine::ShortestText(split.lngFileCount));
  };
  try {
    ui::TextBox& box = txtSpltPart[index];
    int pos = box.SelStart();
    if (box.Length() > 1 && box.Text().front() == '0') pos = 0;  // a typed leading zero goes away

    std::optional<double> value = PartNumber(box);
    if (!value) return resetRange();
    if (*value < 1) {
      box.SetText("1");
    } else if (*value > kMaxPartNumber) {
      box.SetText("2147483647");
      --pos;
    }

    std::optional<double> lastValue = PartNumber(last);
    if (!lastValue) return resetRange();
    if (split.lngFileCount > 0 && *lastValue > split.lngFileCount) {
      last.SetText(engine::ShortestText(split.lngFileCount));
    }

    std::optional<double> firstValue = PartNumber(first);
    lastValue = PartNumber(last);
    if (!firstValue || !lastValue) return resetRange();
    if (*firstValue > *lastValue) first.SetText(std::string(last.Text()));

    value = PartNumber(box);
    if (!value) return resetRange();
    box.SetText(engine::ShortestText(*value));  // drops leading zeros and trailing non-digits

    if (pos >= 0) box.SetSelStart(pos);
  } catch (...) {
    // Anything else leaves the texts as they are now; nothing may escape into the window.
  }
}

void FrmMain::optHmny_Click(int index) {
  for (ui::MenuItem& item : mnuSetOW) item.SetChecked(false);
  mnuSetOW[index].SetChecked(true);
  split.byteHmny = static_cast<uint8_t>(index);
}

// ---- source and destination -------------------------------------------------------

int FrmMain::ShowOpenFile(std::string* path) {
  const int ok = dialogs_.OpenFile(openFileRecord);
  *path = media::TrimAtNull(openFileRecord.fileName);
  return ok;
}

int FrmMain::ShowDir(std::string* path) {
  std::string chosen;
  const int ok = dialogs_.BrowseFolder(folderRecord, &chosen);
  *path = media::TrimAtNull(chosen);
  return ok;
}

platform::ErrorCode FrmMain::TakeSource(std::string_view path, std::string shownText) {
  // The length comes first: a file that cannot be measured leaves the old source whole.
  platform::ErrorCode error = platform::err::kNone;
  const int64_t length = system_.FileLengthOf(path, &error);
  if (length < 0) return error != platform::err::kNone ? error : platform::err::kGenFailure;
  txtInFile.SetText(std::move(shownText));
  split.lngFileSize = static_cast<double>(length);
  lblSize.SetCaption(engine::SourceSizeText(split.lngFileSize));
  Size_Change(0, 1);
  return platform::err::kNone;
}

void FrmMain::ChooseSource() {
  std::string path;
  if (ShowOpenFile(&path) == 0) return;
  // Taken as the dialog gives it: the dialog only returns existing files.
  if (const platform::ErrorCode error = TakeSource(path, path); error != platform::err::kNone) {
    if (recordError) recordError(error);
  }
}

void FrmMain::ChooseOutput() {
  std::string path;
  if (ShowDir(&path) == 0) return;
  SetOutputFolder(std::move(path));
}

void FrmMain::SetOutputFolder(std::string path) {
  std::string normal = media::NormalPath(system_, path);
  txtOutPath.SetText(normal.empty() ? std::move(path) : std::move(normal));
}

void FrmMain::txtInFile_LostFocus() {
  // The split took its source when it started; a focus change while the
  // window is locked must not swap it.
  if (Busy()) return;
  const std::string path = media::NormalPath(system_, txtInFile.Text());
  if (path.empty()) return;  // nothing there, or too long: left as typed
  if (const platform::ErrorCode error = TakeSource(path, path); error != platform::err::kNone) {
    if (recordError) recordError(error);
  }
}

void FrmMain::txtOutPath_LostFocus() {
  // Only once the user is done: normalising under the caret would turn
  // "Z:" into the current folder of Z: while "Z:\tmp" is being typed.
  // A folder not there (yet) is left as typed; the split says so.
  if (Busy()) return;
  SetOutputFolder(txtOutPath.Text());
}

}  // namespace qn::window
