#include "platform/sim/sim_window_host.h"

#include <utility>

namespace qn::platform::sim {

namespace {

// A drop's items as DragQueryFile hands them out: a 260-character buffer.
class SimDroppedItems : public DroppedItems {
 public:
  explicit SimDroppedItems(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  uint32_t Count() override { return static_cast<uint32_t>(paths_.size()); }
  std::string Item(uint32_t index) override {
    if (index >= paths_.size()) return {};
    const std::string& path = paths_[index];
    return path.substr(0, ui::ByteOffsetOfChar(path, 259));
  }

 private:
  std::vector<std::string> paths_;
};

}  // namespace

bool SimWindowHost::Drop(std::vector<std::string> paths) {
  if (!hooked || form == nullptr) return false;
  SimDroppedItems items(std::move(paths));
  if (onDrop_) onDrop_(items);
  return true;
}

ErrorCode SimWindowHost::CreateMainWindow(ui::Form& mainForm) {
  calls.emplace_back("create");
  if (createResult != err::kNone) return createResult;
  form = &mainForm;
  form->PlatformLoaded();
  return err::kNone;
}

void SimWindowHost::AcceptDroppedFiles() {
  calls.emplace_back("accept drops");
  acceptsDrops = form != nullptr;
}

void SimWindowHost::InstallDropHook(DropHandler onDrop) {
  calls.emplace_back("hook");
  if (form == nullptr) return;
  onDrop_ = std::move(onDrop);
  hooked = true;
}

void SimWindowHost::RemoveDropHook() {
  calls.emplace_back("unhook");
  onDrop_ = nullptr;
  hooked = false;
}

void SimWindowHost::Show() {
  calls.emplace_back("show");
  if (form == nullptr) return;
  if (onShow) onShow(*form);
  shown = true;
}

void SimWindowHost::ShowModal(ui::Form& modal) {
  modalForms.push_back(modal.Title());
  modal.PlatformLoaded();
  if (onModal) onModal(modal);
  if (!modal.Closed()) modal.PlatformUnloading();
}

uintptr_t SimWindowHost::WindowHandle() { return form != nullptr ? handle : 0; }

void SimWindowHost::Release() {
  calls.emplace_back("release");
  onDrop_ = nullptr;
  hooked = false;
  shown = false;
  form = nullptr;
}

}  // namespace qn::platform::sim
