// The program's windows on the scripted GUI, for scenario tests: a fresh
// application whose script the test adds to and whose transcript it reads,
// with the setup program's windows or with the updater's.
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
  ScriptedApplication(const ScriptedApplication&) = delete;
  ScriptedApplication& operator=(const ScriptedApplication&) = delete;

  gui::Application& app() { return *app_; }
  gui::ScriptedBackend& script() { return *script_; }
  // Runs one action as a user does it; lines from addActions come after it
  // as answers or for the loop.
  void act(const std::string& line) { script_->perform(line); }
  void addActions(const std::string& lines) { script_->addActions(lines); }

  // The transcript lines written since the last call.
  std::vector<std::string> take() {
    std::vector<std::string> lines;
    std::istringstream in(transcript_.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    transcript_.str("");
    return lines;
  }
  // The dumped line of one control of a window.
  std::string dumped(const std::string& form, const std::string& control) {
    take();
    act("dump " + form);
    for (const std::string& line : take())
      if (line.rfind(form + "." + control + " ", 0) == 0) return line;
    return "(no line for " + form + "." + control + ")";
  }

 private:
  std::ostringstream transcript_;
  gui::ScriptedBackend* script_ = nullptr;
  std::unique_ptr<gui::Application> app_;
};

// The setup program's windows, globals set.
class ScriptedWindows : public ScriptedApplication {
 public:
  // The setup program's own path is argument 0 of the test program.
  ScriptedWindows() : windows_(std::make_unique<ProgramWindows>(app())) {}
  explicit ScriptedWindows(const Str& setupOwnPath) : windows_(std::make_unique<ProgramWindows>(app(), setupOwnPath)) {}

 private:
  std::unique_ptr<ProgramWindows> windows_;
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

 private:
  std::unique_ptr<TFUpdater> updater_;
  std::unique_ptr<ProgramWindows> windows_;
};

}  // namespace orvel::test
