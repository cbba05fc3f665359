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
// range row unless it is part of it, with its own place in the focus order.
TEST_F(MainDesign, EveryControlIsSeenInItsPlaceAndReachedByTab) {
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
      EXPECT_EQ(control->container->kind(), ui::Kind::kFrame) << control->name() << " sits in a non-frame";
      outer = {0, 0, control->container->rect.width, control->container->rect.height};
    } else if (rangeRow.contains(control)) {
      EXPECT_GE(r.top, shortClientBottom) << control->name() << " shows without range mode";
    } else {
      EXPECT_LE(r.top + r.height, shortClientBottom)
          << control->name() << " is cut off when range mode is off";
    }
    EXPECT_GT(r.width, 0) << control->name() << " has no width and cannot be seen";
    EXPECT_GT(r.height, 0) << control->name() << " has no height and cannot be seen";
    EXPECT_GE(r.left, outer.left) << control->name() << " is cut off on the left";
    EXPECT_GE(r.top, outer.top) << control->name() << " is cut off at the top";
    EXPECT_LE(r.left + r.width, outer.left + outer.width) << control->name() << " is cut off on the right";
    EXPECT_LE(r.top + r.height, outer.top + outer.height) << control->name() << " is cut off at the bottom";
  }
  std::sort(tabs.begin(), tabs.end());
  for (int i = 0; i < static_cast<int>(tabs.size()); ++i) {
    EXPECT_EQ(tabs[static_cast<size_t>(i)], i)
        << "the Tab key would skip or repeat a place in the focus order";
  }
}

TEST_F(MainDesign, CaptionsAndWhatTheUserMeetsFirst) {
  for (const ui::Control* control : frm.form.Controls()) {
    const bool captioned = control->kind() != ui::Kind::kTextBox;
    const bool blankByDesign = control == &frm.lblComplt || control == &frm.frameSpltSize;
    if (captioned && !blankByDesign) {
      EXPECT_FALSE(control->Caption().empty()) << control->name() << " shows no caption";
    }
  }
  EXPECT_EQ(frm.txtSpltPart[0].Text(), "1") << "the range must start at part 1";
  EXPECT_EQ(frm.txtSpltPart[1].Text(), "1") << "the range must start at part 1";
  EXPECT_EQ(frm.form.font.charset, 128) << "Japanese captions need the Shift-JIS character set";
  EXPECT_TRUE(frm.btnSpltExec.isDefault) << "Enter would not start the split";
}

TEST_F(MainDesign, MenusHaveUniqueAccessKeysAndNoMarksAtDesign) {
  ASSERT_EQ(frm.form.menuBar.size(), 3u) << "the menu bar needs file, settings and help";
  std::vector<const ui::MenuItem*> menus = {&frm.mnuFile, &frm.mnuSet, &frm.mnuHelp, &frm.mnuSettings[1]};
  for (const ui::MenuItem* menu : menus) {
    std::map<char, std::string> keys;
    for (const ui::MenuItem* item : menu->items) {
      EXPECT_FALSE(item->Caption().empty()) << item->name() << " has no caption";
      EXPECT_FALSE(item->Checked()) << item->name() << " is checked before the settings are applied";
      EXPECT_TRUE(item->Enabled()) << item->name() << " is disabled at design";
      size_t amp = item->Caption().find('&');
      if (amp == std::string::npos || amp + 1 >= item->Caption().size()) continue;
      char key = static_cast<char>(std::toupper(static_cast<unsigned char>(item->Caption()[amp + 1])));
      auto [it, fresh] = keys.emplace(key, item->name());
      EXPECT_TRUE(fresh) << item->name() << " and " << it->second << " share the access key " << key;
    }
  }
}

}  // namespace
}  // namespace qn::window
