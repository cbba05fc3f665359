#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/sim_dialogs.h"
#include "platform/sim/sim_system.h"
#include "window/frm_main.h"
#include "window/frm_main_design.h"

namespace qn::window {
namespace {

class MainDesign : public ::testing::Test {
 protected:
  platform::sim::SimSystem system;
  platform::sim::SimDialogs dialogs;  // any message box fails the test
  FrmMain frm{system, dialogs};
};

// Each control on the form, inside its frame or the client area, above the
// range row unless it is part of it, captioned unless blank by design, with
// its own place in the focus order.
TEST_F(MainDesign, EveryControlIsSeenCaptionedAndReachedByTab) {
  const std::vector<ui::Control*>& controls = frm.form.Controls();
  ASSERT_EQ(controls.size(), design::kControls.size()) << "a designed control is missing from the window";
  // The frame (borders, title, menu bar) is what the tall form adds to the client area.
  const int shortClientBottom =
      design::kOuterHeightWithoutRange - (design::kOuterHeightWithRange - design::kClient.height);
  const std::set<const ui::Control*> rangeRow = {&frm.txtSpltPart[0], &frm.txtSpltPart[1], &frm.lbl1[1],
                                                 &frm.lbl1[2]};
  std::vector<int> tabs;
  for (const ui::Control* control : controls) {
    tabs.push_back(control->tabIndex);
    const ui::Rect& r = control->rect;
    ui::Rect outer = design::kClient;
    if (control->container) {
      outer = {0, 0, control->container->rect.width, control->container->rect.height};
    } else if (rangeRow.contains(control)) {
      EXPECT_GE(r.top, shortClientBottom) << control->name() << " shows without range mode";
    } else {
      EXPECT_LE(r.top + r.height, shortClientBottom)
          << control->name() << " is cut off when range mode is off";
    }
    EXPECT_TRUE(r.width > 0 && r.height > 0 && r.left >= outer.left && r.top >= outer.top &&
                r.left + r.width <= outer.left + outer.width && r.top + r.height <= outer.top + outer.height)
        << control->name() << " has no size or is cut off by what holds it";
    const bool blankByDesign =
        control->kind() == ui::Kind::kTextBox || control == &frm.lblComplt || control == &frm.frameSpltSize;
    EXPECT_TRUE(blankByDesign || !control->Caption().empty()) << control->name() << " shows no caption";
  }
  std::sort(tabs.begin(), tabs.end());
  for (int i = 0; i < static_cast<int>(tabs.size()); ++i) {
    EXPECT_EQ(tabs[static_cast<size_t>(i)], i)
        << "the Tab key would skip or repeat a place in the focus order";
  }
  EXPECT_EQ(frm.form.font.charset, 128) << "Japanese captions need the Shift-JIS character set";
  EXPECT_TRUE(frm.btnSpltExec.isDefault) << "Enter would not start the split";
}

// Each menu holds exactly the items the design puts under it, in order, and
// no two items of one menu share an access key.
TEST_F(MainDesign, EveryMenuItemHangsUnderItsMenuWithItsOwnAccessKey) {
  std::map<std::string, std::vector<std::string>> designed;  // parent -> items; "" the menu bar
  for (const design::MenuDesign& entry : design::kMenus)
    designed[std::string(entry.parent)].emplace_back(entry.name);
  std::map<std::string, std::vector<std::string>> built;
  std::vector<const ui::MenuItem*> menus;
  for (const ui::MenuItem* top : frm.form.menuBar) {
    built[""].push_back(top->name());
    menus.push_back(top);
  }
  for (size_t i = 0; i < menus.size(); ++i) {
    std::map<char, std::string> keys;
    for (const ui::MenuItem* item : menus[i]->items) {
      built[menus[i]->name()].push_back(item->name());
      if (!item->items.empty()) menus.push_back(item);
      size_t amp = item->Caption().find('&');
      if (amp == std::string::npos || amp + 1 >= item->Caption().size()) continue;
      char key = static_cast<char>(std::toupper(static_cast<unsigned char>(item->Caption()[amp + 1])));
      auto [it, fresh] = keys.emplace(key, item->name());
      EXPECT_TRUE(fresh) << item->name() << " and " << it->second << " share the access key " << key;
    }
  }
  EXPECT_EQ(built, designed) << "a menu item is missing from its menu or hangs under another";
}

}  // namespace
}  // namespace qn::window
