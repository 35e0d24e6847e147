// The program's windows with the updater window on the scripted GUI, for the
// updater's scenario tests: the updater takes the command line the test
// gives; the test adds to the script and reads the transcript.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/windows.h"
#include "gui/gui.h"
#include "gui/script/scripted_gui.h"
#include "updater/updater.h"

namespace orvel::test {

// A scripted application without windows of its own, for tests that need
// only the updater object.
class ScriptedApplication {
 public:
  ScriptedApplication() {
    auto backend = std::make_unique<gui::ScriptedBackend>(std::string(), transcript_);
    script_ = backend.get();
    app_ = std::make_unique<gui::Application>(std::move(backend));
  }
  gui::Application& app() { return *app_; }
  gui::ScriptedBackend& script() { return *script_; }
  // The transcript lines written since the last call.
  std::vector<std::string> take() {
    std::vector<std::string> lines;
    std::istringstream in(transcript_.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    transcript_.str("");
    return lines;
  }

 private:
  std::ostringstream transcript_;
  gui::ScriptedBackend* script_ = nullptr;
  std::unique_ptr<gui::Application> app_;
};

// FSetup, FUpdater, FMemo and Fwait in the program's order, globals set.
class UpdaterWindows : public ScriptedApplication {
 public:
  explicit UpdaterWindows(std::vector<Str> arguments = {u"C:\\Orvel\\Setup.exe"}) {
    windows_ = std::make_unique<ProgramWindows>(app(), [&] {
      updater_ = std::make_unique<TFUpdater>(app(), std::move(arguments));
      updater_->Texts = FSetup;
      FUpdater = updater_.get();
    });
  }
  ~UpdaterWindows() {
    windows_.reset();
    FUpdater = nullptr;
  }
  TFUpdater& updater() { return *updater_; }
  // Runs one action as a user does it.
  void act(const std::string& line) { script().perform(line); }
  void addActions(const std::string& lines) { script().addActions(lines); }

 private:
  std::unique_ptr<TFUpdater> updater_;
  std::unique_ptr<ProgramWindows> windows_;
};

}  // namespace orvel::test
