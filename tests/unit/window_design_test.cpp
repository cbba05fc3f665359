#include <gtest/gtest.h>

#include <cctype>
#include <map>
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
