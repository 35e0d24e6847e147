#include "gui/windowless_backend.h"

namespace orvel::gui {
namespace {

class UnseenForm : public FormPeer {
 public:
  void componentAdded(Component&) override {}
  void componentChanged(Component&, Property) override {}
  void formChanged(Property) override {}
  void shown() override {}
  void hidden() override {}
  void closed() override {}
  void repaint() override {}
};

}  // namespace

std::unique_ptr<FormPeer> WindowlessBackend::createPeer(Form&) { return std::make_unique<UnseenForm>(); }

void WindowlessBackend::runLoop() {
  if (!app_ || app_->terminated()) return;
  if (Form* main = app_->mainForm()) app_->dispatch([main] { main->close(); });
  app_->terminate();
}

Button WindowlessBackend::messageBox(const MessageBoxRequest& request) {
  return request.buttons.empty() ? Button::Cancel : request.buttons.front();
}

}  // namespace orvel::gui
