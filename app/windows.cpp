#include "app/windows.h"

namespace orvel {

ProgramWindows::ProgramWindows(gui::Application& app, const std::function<void()>& createUpdater)
    : setup_(std::make_unique<TFSetup>(app)) {
  createRest(app, createUpdater);
}

ProgramWindows::ProgramWindows(gui::Application& app, Str setupOwnPath, const std::function<void()>& createUpdater)
    : setup_(std::make_unique<TFSetup>(app, std::move(setupOwnPath))) {
  createRest(app, createUpdater);
}

void ProgramWindows::createRest(gui::Application& app, const std::function<void()>& createUpdater) {
  FSetup = setup_.get();
  if (createUpdater) createUpdater();
  memo_ = std::make_unique<TFMemo>(app);
  memo_->ApplicationFolder = [setup = setup_.get()] { return setup->NachDir; };
  FMemo = memo_.get();
  wait_ = std::make_unique<TFwait>(app);
  Fwait = wait_.get();
}

ProgramWindows::~ProgramWindows() {
  Fwait = nullptr;
  FMemo = nullptr;
  FSetup = nullptr;
  wait_.reset();
  memo_.reset();
  setup_.reset();
}

}  // namespace orvel
