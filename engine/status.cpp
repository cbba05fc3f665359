#include "engine/status.h"

#include <string>

namespace qn::engine {

void ShowStatus(ui::Label& lblComplt, std::string_view text) {
  lblComplt.SetCaption(std::string(text));
  lblComplt.Refresh();
}

void SetControlsEnabled(const LockView& view, int16_t flag) {
  const bool enabled = flag != 0;
  view.txtInFile.SetEnabled(enabled);
  view.txtOutPath.SetEnabled(enabled);
  view.btnSpltExec.SetEnabled(enabled);
  view.chkMkBat.SetEnabled(enabled);
  view.chkSamDir.SetEnabled(enabled);
  view.frameHmny.SetEnabled(enabled);
  for (ui::OptionButton& option : view.optHmny) option.SetEnabled(enabled);
  view.frameSpltSize.SetEnabled(enabled);
  for (ui::OptionButton& option : view.optSpltSize) option.SetEnabled(enabled);
  // Outside range mode the range boxes stay disabled whatever the flag.
  if (view.rangeMode.Checked()) {
    for (ui::TextBox& box : view.txtSpltPart) box.SetEnabled(enabled);
  }
  view.mnuFile.SetEnabled(enabled);
  view.mnuSet.SetEnabled(enabled);
  view.mnuHelp.SetEnabled(enabled);
  view.lblInSelect.SetEnabled(enabled);
  view.lblOutSelect.SetEnabled(enabled);
  view.form.SetCloseEnabled(flag == -1);
}

}  // namespace qn::engine
