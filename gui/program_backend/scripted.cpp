// The backend of the programs that take their user actions from a script:
// the emulated machine's Setup, whose only GUI is the scripted one, and the
// Windows test variant. ORVEL_GUI_SCRIPT names the script and
// ORVEL_GUI_TRANSCRIPT the transcript; without a script the native windows
// where there are any, else the actions typed on standard input. The Windows
// program as it ships links program_backend/native.cpp instead and reads
// neither variable.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "gui/script/scripted_gui.h"
#include "platform/terminal.h"

namespace orvel::gui {
namespace {

// Where a person typing at a terminal sees the windows: standard output
// when it is that terminal, else standard error when that is one.
std::ostream* terminalDisplay(terminal::Stream& stream) {
  if (terminal::isTerminal(terminal::Stream::Output)) {
    stream = terminal::Stream::Output;
    return &std::cout;
  }
  if (terminal::isTerminal(terminal::Stream::Error)) {
    stream = terminal::Stream::Error;
    return &std::cerr;
  }
  return nullptr;
}

std::unique_ptr<Backend> scriptedBackendFromEnvironment() {
  std::unique_ptr<std::istream> script;
  std::unique_ptr<std::ostream> transcript;
  std::string problem;
  if (auto path = environmentVariable("ORVEL_GUI_TRANSCRIPT"); path && !path->empty()) {
    auto file = std::make_unique<std::ofstream>(std::filesystem::path(*path), std::ios::binary | std::ios::trunc);
    if (*file)
      transcript = std::move(file);
    else
      problem = "cannot write the transcript " + toUtf8(*path);
  }
  const auto scriptPath = environmentVariable("ORVEL_GUI_SCRIPT");
  const bool fromStandardInput = !scriptPath || scriptPath->empty();
  if (!fromStandardInput) {
    auto file = std::make_unique<std::ifstream>(std::filesystem::path(*scriptPath), std::ios::binary);
    if (*file) {
      script = std::move(file);
    } else {
      problem = "cannot read the script " + toUtf8(*scriptPath);
      script = std::make_unique<std::istringstream>();
    }
  }
  const bool interactive = fromStandardInput && standardInputIsTerminal();
  terminal::Stream displayStream = terminal::Stream::Output;
  std::ostream* display = interactive ? terminalDisplay(displayStream) : nullptr;
  // On the terminal the drawn windows stand for the transcript's lines.
  if (display == &std::cout && !transcript) transcript = std::make_unique<std::ostream>(nullptr);
  const TerminalStyle style = display ? terminalStyleFor(displayStream) : TerminalStyle{};
  auto backend = makeOwningScriptedBackend(std::move(script), std::move(transcript), interactive, display, style);
  if (!problem.empty()) backend->write("error " + quoteForTranscript(fromUtf8(problem)));
  return backend;
}

}  // namespace

std::unique_ptr<Backend> makeProgramBackend() {
  const auto script = environmentVariable("ORVEL_GUI_SCRIPT");
  if (!script || script->empty()) {
    if (auto native = makeNativeBackend()) return native;
  }
  return scriptedBackendFromEnvironment();
}

}  // namespace orvel::gui
