#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_dialogs.h"
#include "platform/sim/sim_system.h"
#include "window/frm_main.h"

namespace qn::window {
namespace {

class MainDesign : public ::testing::Test {
 protected:
  platform::sim::SimSystem system;
  platform::sim::SimDialogs dialogs;  // any message box fails the test
  FrmMain frm{system, dialogs};
};

// Each menu holds its own item array in order (the recovery item after the
// range item), the overwrite items under "上書き処理(&O)", and no two items
// of one menu share an access key.
TEST_F(MainDesign, EveryMenuItemHangsUnderItsMenuWithItsOwnAccessKey) {
  using Items = std::vector<ui::MenuItem*>;
  auto all = [](auto& array) {
    Items items;
    for (ui::MenuItem& item : array) items.push_back(&item);
    return items;
  };
  EXPECT_EQ(frm.form.menuBar, (Items{&frm.mnuFile, &frm.mnuSet, &frm.mnuHelp})) << "a menu is missing";
  Items settings = all(frm.mnuSettings);
  settings.insert(settings.begin() + 4, &frm.mnuMakePar2);  // right after the range item
  for (const auto& [menu, items] :
       std::vector<std::pair<ui::MenuItem*, Items>>{{&frm.mnuFile, all(frm.mnuFiles)},
                                                    {&frm.mnuSet, settings},
                                                    {&frm.mnuSettings[1], all(frm.mnuSetOW)},
                                                    {&frm.mnuHelp, all(frm.mnuHelps)}}) {
    EXPECT_EQ(menu->items, items) << menu->name() << " lacks an item or holds another menu's";
    std::map<char, std::string> keys;
    for (const ui::MenuItem* item : items) {
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
