#include "window/frm_version.h"

#include <string>
#include <string_view>
#include <utility>

namespace qn::window {

namespace {

constexpr std::string_view kTitle = "バージョン情報";
constexpr ui::Rect kClient = {0, 0, 3705, 1695};
constexpr std::string_view kFontFace = "ＭＳ Ｐゴシック";
constexpr int kShiftJisCharset = 128;
// At design the four name labels hold "*"; they are filled on every opening.
constexpr std::string_view kUnfilled = "*";

ui::Font Gothic(double points, bool bold, bool underline) {
  return ui::Font{std::string(kFontFace), points, bold, underline, kShiftJisCharset};
}

void Place(ui::Form& form, ui::Control& control, ui::Rect rect, std::string_view caption) {
  control.rect = rect;
  control.SetCaption(std::string(caption));
  form.Add(control);
}

void PlaceLabel(ui::Form& form, ui::Label& label, ui::Rect rect, std::string_view caption, ui::Font font) {
  label.font = std::move(font);
  label.ownFont = true;
  label.tabStop = false;
  Place(form, label, rect, caption);
}

std::string ZeroPadded(int value, size_t digits) {
  std::string text = std::to_string(value < 0 ? 0 : value);
  if (text.size() < digits) text.insert(0, digits - text.size(), '0');
  return text;
}

}  // namespace

std::string VersionText(int major, int minor) {
  return std::to_string(major) + "." + ZeroPadded(minor / 100, 2);
}

std::string BuildText(int revision) { return ZeroPadded(revision, 4); }

FrmVersion::FrmVersion(const platform::ProgramInfo& info, int iconResource)
    : form("frmVersion"),
      PicIcon("PicIcon"),
      lblpname{{ui::Label("lblpname(0)"), ui::Label("lblpname(1)"), ui::Label("lblpname(2)"),
                ui::Label("lblpname(3)")}},
      lblL1{{ui::Label("lblL1(0)"), ui::Label("lblL1(1)")}},
      btnClose("btnClose") {
  // A fixed dialog frame: no minimize or maximize box, no sizing border.
  form.minButton = false;
  form.maxButton = false;
  form.designClient = kClient;
  form.font = Gothic(9, false, false);
  form.SetTitle(std::string(kTitle));

  PicIcon.iconResource = iconResource;
  PicIcon.tabStop = false;
  Place(form, PicIcon, {120, 120, 480, 480}, "");
  PlaceLabel(form, lblpname[0], {840, 240, 2895, 375}, kUnfilled, Gothic(18, true, true));
  PlaceLabel(form, lblpname[1], {120, 720, 3615, 375}, kUnfilled, Gothic(9.75, false, false));
  // The captions "Version :" and "Build　:" reach into the labels of their
  // values; made first, the values lie above them and are not cut.
  PlaceLabel(form, lblpname[2], {1680, 1200, 615, 255}, kUnfilled, Gothic(9.75, false, false));
  PlaceLabel(form, lblpname[3], {1680, 1440, 615, 255}, kUnfilled, Gothic(9.75, false, false));
  PlaceLabel(form, lblL1[0], {870, 1200, 855, 255}, "Version :", Gothic(9, true, false));
  PlaceLabel(form, lblL1[1], {870, 1440, 855, 255}, "Build\u3000:", Gothic(9, true, false));
  btnClose.isDefault = true;
  btnClose.tabIndex = 0;
  Place(form, btnClose, {2640, 1200, 975, 375}, "閉じる");
  btnClose.onClick = [this] { form.Close(); };

  lblpname[0].SetCaption(info.title);
  lblpname[1].SetCaption(info.legalNotice);
  lblpname[2].SetCaption(VersionText(info.major, info.minor));
  lblpname[3].SetCaption(BuildText(info.revision));
}

}  // namespace qn::window
