// The entry of Setup.exe: creates the four windows and lets the first
// argument choose between setup mode (the setup window) and updater mode
// ("-Update", "-Registry": the updater's procedure runs once under the wait
// window).
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#include "app/windows.h"
#include "common/error.h"
#include "platform/entry.h"
#include "gui/gui.h"
#include "platform/system.h"
#include "updater/updater.h"

namespace orvel {
namespace {

const Str kUpdateSwitch = u"-Update";
const Str kRegistrySwitch = u"-Registry";
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

bool IsUpdaterMode(const Str& firstArgument) {
  // Exact and case-sensitive: "-update", "/Update" or "-Update:x" mean setup mode.
  return firstArgument == kUpdateSwitch || firstArgument == kRegistrySwitch;
}

Str ReadFirstArgument() {
  const std::vector<Str> arguments = sys::commandLineArguments();
  return arguments.size() > 1 ? arguments[1] : Str();
}

// The updater window lives outside ProgramWindows; its global must not
// outlive it.
class UpdaterGlobal {
 public:
  UpdaterGlobal() = default;
  ~UpdaterGlobal() { FUpdater = nullptr; }
  UpdaterGlobal(const UpdaterGlobal&) = delete;
  UpdaterGlobal& operator=(const UpdaterGlobal&) = delete;
};

int RunSetupMode(gui::Application& app) {
  app.setShowMainForm(true);
  app.run();  // until the setup window closes
  return kExitSuccess;
}

// MakeUpdate, with the text of an error that escapes it kept for the report.
std::optional<Error> RunProcedure() {
  try {
    FUpdater->MakeUpdate();
  } catch (const std::exception& e) {
    // The program's own error keeps its text; a programming error is named as one.
    return Error(gui::exceptionText(e));
  } catch (...) {
    return Error(gui::kUnknownExceptionText);
  }
  return std::nullopt;
}

// An error that escaped the procedure: on standard error for the caller's
// log, and in the error box as the GUI shows any escaped error.
void ReportFailure(gui::Application& app, const Error& error) {
  std::fprintf(stderr, "%s\n", toUtf8(ErrorBoxText(error.message())).c_str());
  std::fflush(stderr);
  app.handleException(error);
}

// Runs the updater's procedure once while only the wait window shows, then
// restarts the application, shows the log, or just ends.
int RunUpdaterMode(gui::Application& app) {
  app.setShowMainForm(false);  // the setup window stays hidden in any loop
  // Drawn before the procedure blocks the GUI thread.
  Fwait->show();
  Fwait->repaint();
  app.processMessages();
  app.setCursor(gui::Cursor::Hourglass);
  const auto failure = RunProcedure();
  Fwait->hide();
  app.setCursor(gui::Cursor::Default);
  if (failure) {
    ReportFailure(app, *failure);
    return kExitFailure;
  }
  if (FUpdater->Restart && FUpdater->Error) {
    // The user reads the log, may retry, and leaves with OK.
    FUpdater->show();
    app.run();
  } else if (FUpdater->Restart) {
    FUpdater->BOKClick(nullptr);
  }
  return kExitSuccess;
}

}  // namespace

int programMain() {
  gui::Application app;  // initialises COM on this thread
  std::unique_ptr<TFUpdater> updater;
  UpdaterGlobal updaterGlobal;
  ProgramWindows windows(app, [&] {
    updater = std::make_unique<TFUpdater>(app);
    updater->Texts = FSetup;
    FUpdater = updater.get();
  });
  const Str firstArgument = ReadFirstArgument();
  return IsUpdaterMode(firstArgument) ? RunUpdaterMode(app) : RunSetupMode(app);
}

}  // namespace orvel
