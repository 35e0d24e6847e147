// The program's windows on the scripted GUI, for scenario tests: a fresh
// application whose script the test adds to and whose transcript it reads.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/windows.h"
#include "gui/gui.h"
#include "gui/script/scripted_gui.h"

namespace orvel::test {

class ScriptedWindows {
 public:
  // The setup program's own path is argument 0 of the test program.
  ScriptedWindows() { start(nullptr); }
  explicit ScriptedWindows(const Str& setupOwnPath) { start(&setupOwnPath); }

  gui::Application& app() { return *app_; }
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
  void start(const Str* ownPath) {
    auto backend = std::make_unique<gui::ScriptedBackend>(std::string(), transcript_);
    script_ = backend.get();
    app_ = std::make_unique<gui::Application>(std::move(backend));
    windows_ = ownPath ? std::make_unique<ProgramWindows>(*app_, *ownPath) : std::make_unique<ProgramWindows>(*app_);
  }

  std::ostringstream transcript_;
  gui::ScriptedBackend* script_ = nullptr;
  std::unique_ptr<gui::Application> app_;
  std::unique_ptr<ProgramWindows> windows_;
};

}  // namespace orvel::test
