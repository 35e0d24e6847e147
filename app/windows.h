// The program's windows, created in their fixed order: FSetup first (the main
// window: closing it ends the program), then FUpdater, FMemo and Fwait. None
// is shown; each one's creation handler has run. Each global points to its
// window while this object lives.
#pragma once

#include <functional>
#include <memory>

#include "app/wait_window.h"
#include "common/log_window.h"
#include "gui/gui.h"
#include "setup/setup_window.h"

namespace orvel {

class ProgramWindows {
 public:
  // `createUpdater` runs between the setup window and the log window and
  // creates the updater window, which its owner keeps.
  explicit ProgramWindows(gui::Application& app, const std::function<void()>& createUpdater = nullptr);
  // The same with the setup program's own path given instead of argument 0.
  ProgramWindows(gui::Application& app, Str setupOwnPath, const std::function<void()>& createUpdater = nullptr);
  ~ProgramWindows();
  ProgramWindows(const ProgramWindows&) = delete;
  ProgramWindows& operator=(const ProgramWindows&) = delete;

  TFSetup& setup() const { return *setup_; }
  TFMemo& memo() const { return *memo_; }
  TFwait& wait() const { return *wait_; }

 private:
  void createRest(gui::Application& app, const std::function<void()>& createUpdater);

  std::unique_ptr<TFSetup> setup_;
  std::unique_ptr<TFMemo> memo_;
  std::unique_ptr<TFwait> wait_;
};

}  // namespace orvel
