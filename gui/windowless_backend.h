// The backend of a program that finds no desktop to show its windows on:
// no form is ever seen, the program ends as if its main window had been
// closed at once, a message box takes its first button (the default) and
// a dialog is cancelled. It reads nothing, so nothing can steer it.
#pragma once

#include "gui/backend.h"

namespace orvel::gui {

class WindowlessBackend : public Backend {
 public:
  void attach(Application& app) override { app_ = &app; }
  std::unique_ptr<FormPeer> createPeer(Form& form) override;
  void runLoop() override;
  void processMessages() override {}
  void cursorChanged(Cursor) override {}
  Button messageBox(const MessageBoxRequest& request) override;
  std::optional<Str> folderDialog(const Str&) override { return std::nullopt; }
  std::optional<Str> fileDialog(const Str&, const Str&, const Str&) override { return std::nullopt; }

 private:
  Application* app_ = nullptr;
};

}  // namespace orvel::gui
