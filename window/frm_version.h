// frmVersion, the version dialog of the help menu: the program's icon, its
// application title, legal notice line, version and build. A fresh dialog
// is made each time it is shown; closing it ends it.
#pragma once

#include <array>
#include <string>

#include "platform/system.h"
#include "platform/ui/controls.h"

namespace qn::window {

// The version as the dialog shows it: the major number, ".", and the minor
// number divided by 100 (remainder dropped) as at least two digits. The last
// two digits of the minor number are not shown: (3, 1250) gives "3.12",
// (3, 50) "3.00", (3, 405) "3.04". A negative minor number counts as 0.
std::string VersionText(int major, int minor);

// The build as the dialog shows it: the revision padded on the left with
// zeros to four digits ("0007", "0131", "2345", "12345"). A negative
// revision counts as 0.
std::string BuildText(int revision);

class FrmVersion {
 public:
  // The dialog filled from `info`, with the icon resource `iconResource`
  // (the main window's) in its picture.
  FrmVersion(const platform::ProgramInfo& info, int iconResource);
  FrmVersion(const FrmVersion&) = delete;
  FrmVersion& operator=(const FrmVersion&) = delete;

  ui::Form form;
  ui::Image PicIcon;
  // 0 the application title, 1 the legal notice line, 2 the version, 3 the build.
  std::array<ui::Label, 4> lblpname;
  std::array<ui::Label, 2> lblL1;  // "Version :", "Build　:"
  ui::CommandButton btnClose;      // the default button; closes the dialog
};

}  // namespace qn::window
