// The design of the main window frmMAIN: every control and menu item with its
// kind, caption, tooltip, tag, focus order and place. The window's texts live
// here once; frm_main.cpp builds the controls from these tables.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/ui/controls.h"

namespace qn::window::design {

// Looks beyond the form's defaults.
namespace look {
inline constexpr uint32_t kPlain = 0;
inline constexpr uint32_t kLabelButton = 1;    // underlined, button-text colour, acts as a button
inline constexpr uint32_t kHandPointer = 2;    // the pointing-hand mouse pointer
inline constexpr uint32_t kRedText = 4;        // text drawn in pure red
inline constexpr uint32_t kDefaultButton = 8;  // Enter anywhere in the window presses it
inline constexpr uint32_t kSystemFont = 16;    // the window's default font, not the form's
}  // namespace look

struct ControlDesign {
  std::string_view name;  // "optHmny(0)" for a member of a control array
  ui::Kind kind;
  std::string_view text;  // caption, or the initial text of a text box
  std::string_view tooltip;
  std::string_view tag;
  int tabIndex;
  ui::Rect rect;               // twips, within the client area or within `container`
  std::string_view container;  // the frame that holds the control, or empty
  uint32_t looks;
};

using ui::Kind;

// In focus order.
inline constexpr std::array<ControlDesign, 25> kControls = {{
    {"txtInFile", Kind::kTextBox, "", "", "", 0, {720, 195, 3495, 270}, "", look::kPlain},
    {"txtOutPath", Kind::kTextBox, "", "", "", 1, {720, 960, 3495, 270}, "", look::kRedText},
    {"btnSpltExec",
     Kind::kCommandButton,
     "分割実行(&E)",
     "",
     "",
     2,
     {3080, 1440, 1215, 495},
     "",
     look::kDefaultButton},
    {"chkMkBat",
     Kind::kCheckBox,
     "結合用バッチファイルを作成(&M)",
     "",
     "",
     3,
     {120, 1320, 3015, 255},
     "",
     look::kPlain},
    {"chkSamDir",
     Kind::kCheckBox,
     "分割元と同じフォルダに分割(&E)",
     "",
     "",
     4,
     {120, 1680, 3015, 255},
     "",
     look::kPlain},
    {"optHmny(0)",
     Kind::kOptionButton,
     "上書き(&O)",
     "",
     "",
     5,
     {120, 240, 1095, 255},
     "frameHmny",
     look::kPlain},
    {"optHmny(1)",
     Kind::kOptionButton,
     "とばす(&N)",
     "",
     "",
     6,
     {1320, 240, 1095, 255},
     "frameHmny",
     look::kPlain},
    {"optHmny(2)",
     Kind::kOptionButton,
     "確認する(&Q)",
     "",
     "",
     7,
     {2520, 240, 1455, 255},
     "frameHmny",
     look::kPlain},
    {"optSpltSize(0)",
     Kind::kOptionButton,
     "1.&44MB/FD",
     "DOS/V",
     "1457664",
     8,
     {0, 0, 1215, 255},
     "frameSpltSize",
     look::kPlain},
    {"optSpltSize(1)",
     Kind::kOptionButton,
     "1.&25MB/FD",
     "NEC PC-98",
     "1250304",
     9,
     {1320, 0, 1215, 255},
     "frameSpltSize",
     look::kPlain},
    {"optSpltSize(3)",
     Kind::kOptionButton,
     "F&ree Size",
     "分割サイズを指定します。",
     "",
     10,
     {0, 360, 1215, 255},
     "frameSpltSize",
     look::kPlain},
    {"txtSpltPart(0)", Kind::kTextBox, "1", "", "", 11, {360, 3960, 1095, 270}, "", look::kPlain},
    {"txtSpltPart(1)", Kind::kTextBox, "1", "", "", 12, {1920, 3960, 1095, 270}, "", look::kPlain},
    {"frameSpltSize", Kind::kFrame, "", "", "", 13, {120, 2760, 3975, 735}, "", look::kPlain},
    {"lbl1(0)", Kind::kLabel, "byte", "", "", 14, {3150, 405, 735, 255}, "frameSpltSize", look::kPlain},
    {"lblInSelect",
     Kind::kLabel,
     "分割元",
     "分割元ファイルを参照します。",
     "",
     15,
     {60, 240, 615, 255},
     "",
     look::kLabelButton | look::kHandPointer},
    {"lblOutSelect",
     Kind::kLabel,
     "出力先",
     "出力先のフォルダを参照します。",
     "",
     16,
     {60, 1000, 615, 255},
     "",
     look::kLabelButton},
    {"lblSize",
     Kind::kLabel,
     "Size:",
     "分割元ファイルのサイズです。",
     "",
     17,
     {720, 600, 3495, 255},
     "",
     look::kPlain},
    {"lblFInfo",
     Kind::kLabel,
     "File Info",
     "分割されるファイル数です。",
     "",
     18,
     {2400, 3600, 1815, 255},
     "",
     look::kPlain},
    {"lblComplt", Kind::kLabel, "", "", "", 19, {120, 3600, 2175, 255}, "", look::kPlain},
    {"frameHmny",
     Kind::kFrame,
     "同名のファイルが存在していたときの処理方法",
     "",
     "",
     20,
     {120, 2040, 4095, 615},
     "",
     look::kPlain},
    {"lbl1(1)", Kind::kLabel, "から", "", "", 21, {1560, 4035, 345, 255}, "", look::kPlain},
    {"lbl1(2)", Kind::kLabel, "ファイルまで", "", "", 22, {3120, 4035, 1095, 255}, "", look::kPlain},
    {"optSpltSize(2)",
     Kind::kOptionButton,
     "&650MB/CD",
     "650MB",
     "681984000",
     23,
     {2640, 0, 1215, 255},
     "frameSpltSize",
     look::kPlain},
    {"txt_Sizes", Kind::kTextBox, "", "", "", 24, {1320, 360, 1815, 270}, "frameSpltSize", look::kSystemFont},
}};

struct MenuDesign {
  std::string_view name;
  std::string_view caption;  // "-" draws a separator line
  std::string_view parent;   // empty for a menu of the menu bar
};

// Menu bar order, each menu followed by its items.
inline constexpr std::array<MenuDesign, 24> kMenus = {{
    {"mnuFile", "ファイル(&F)", ""},
    {"mnuFiles(0)", "分割元ファイル指定(&O)", "mnuFile"},
    {"mnuFiles(1)", "-", "mnuFile"},
    {"mnuFiles(2)", "出力先フォルダ指定(&P)", "mnuFile"},
    {"mnuFiles(3)", "分割実行(&E)", "mnuFile"},
    {"mnuFiles(4)", "-", "mnuFile"},
    {"mnuFiles(5)", "終了(&X)", "mnuFile"},
    {"mnuSet", "設定(&S)", ""},
    {"mnuSettings(0)", "バッチファイル作成(&M)", "mnuSet"},
    {"mnuSettings(1)", "上書き処理(&O)", "mnuSet"},
    {"mnuSetOW(0)", "上書きする(&O)", "mnuSettings(1)"},
    {"mnuSetOW(1)", "そこだけとばす(&N)", "mnuSettings(1)"},
    {"mnuSetOW(2)", "その都度確認メッセージ", "mnuSettings(1)"},
    {"mnuSettings(2)", "分割元と同じ場所に分割(&Q)", "mnuSet"},
    {"mnuSettings(3)", "分割箇所を指定する(&A)", "mnuSet"},
    {"mnuMakePar2", "修復用データを作成(&R)", "mnuSet"},
    {"mnuSettings(4)", "-", "mnuSet"},
    {"mnuSettings(5)", "設定を呼出(&L)", "mnuSet"},
    {"mnuSettings(6)", "設定を保存(&S)", "mnuSet"},
    {"mnuHelp", "ヘルプ(&H)", ""},
    {"mnuHelps(0)", "ヘルプ(&H)", "mnuHelp"},
    {"mnuHelps(1)", "公式サポートページ?(&E)", "mnuHelp"},
    {"mnuHelps(2)", "-", "mnuHelp"},
    {"mnuHelps(3)", "バージョン情報(&V)", "mnuHelp"},
}};

// The caption of a menu item of kMenus; empty for an unknown name.
constexpr std::string_view MenuCaption(std::string_view name) {
  for (const MenuDesign& item : kMenus) {
    if (item.name == name) return item.caption;
  }
  return {};
}

// The form.
inline constexpr std::string_view kFormName = "frmMAIN";
inline constexpr ui::Rect kClient = {0, 0, 4305, 4335};
inline constexpr std::string_view kFontFace = "Terminal";
inline constexpr double kFontPoints = 9.75;
inline constexpr int kShiftJisCharset = 128;
inline constexpr int kIconResource = 1;  // the program icon in the resource script

// Outer size: borders, title bar and menu bar included. The tall form shows the
// range row; the short one ends the client area above it.
inline constexpr int kOuterWidth = 4395;
inline constexpr int kOuterHeightWithRange = 4995;
inline constexpr int kOuterHeightWithoutRange = 4530;

}  // namespace qn::window::design
