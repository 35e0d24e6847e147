// The entry of Setup.exe: the first argument chooses between setup mode and
// updater mode ("-Update", "-Registry").
#include <cstdio>
#include <exception>
#include <vector>

#include "common/error.h"
#include "platform/entry.h"
#include "platform/errorbox.h"
#include "platform/system.h"
#include "updater/updater.h"

namespace orvel {
namespace {

const Str kUpdateSwitch = u"-Update";
const Str kRegistrySwitch = u"-Registry";
const Str kApplicationTitle = u"Setup";
constexpr int kExitFailure = 1;

bool IsUpdaterMode(const Str& firstArgument) {
  // Exact and case-sensitive: "-update", "/Update" or "-Update:x" mean setup mode.
  return firstArgument == kUpdateSwitch || firstArgument == kRegistrySwitch;
}

void ReportFailure(const Str& message) {
  const Str text = ErrorBoxText(message);
  std::fprintf(stderr, "%s\n", toUtf8(text).c_str());
  std::fflush(stderr);
  showErrorBox(kApplicationTitle, text);
}

// Runs the updater once. What it wrote before an error stays written.
int RunUpdaterMode(std::vector<Str> arguments) {
  TFUpdater updater(std::move(arguments));
  try {
    updater.MakeUpdate();
  } catch (const orvel::Error& e) {
    ReportFailure(e.message());
    return kExitFailure;
  } catch (const std::exception& e) {
    ReportFailure(fromUtf8(e.what()));
    return kExitFailure;
  }
  return 0;
}

}  // namespace

int programMain() {
  std::vector<Str> arguments = sys::commandLineArguments();
  const Str firstArgument = arguments.size() > 1 ? arguments[1] : Str();
  if (IsUpdaterMode(firstArgument)) return RunUpdaterMode(std::move(arguments));
  // Setup mode shows the setup window, which comes with the GUI.
  return 0;
}

}  // namespace orvel
