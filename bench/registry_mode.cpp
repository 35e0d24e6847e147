// Registry mode with 1,000 settings, in registry storage and in INI storage:
// a first run that writes every value, and a second run with the same list,
// which only reads. Natively on a fresh emulated machine in a temporary
// folder; on Windows against the machine's registry below
// HKLM\Software\OrvelDraw\Bench, removed afterwards.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "common/fmx_utils.h"
#include "common/registry_access.h"
#include "platform/files.h"
#include "gui/gui.h"
#include "gui/script/scripted_gui.h"
#include "platform/registry.h"
#include "updater/updater.h"

namespace {

using orvel::Str;
constexpr int kSettings = 1000;

// Half strings, half integers, in one key.
Str SettingsList() {
  Str list;
  for (int i = 0; i < kSettings; ++i) {
    const Str n = orvel::fromUtf8(std::to_string(i));
    if (!list.empty()) list += u"#";
    list += i % 2 ? u"Bench|I" + n + u"|" + n + u"|i" : u"Bench|S" + n + u"|value " + n + u"|s";
  }
  return list;
}

double RunMs(const std::vector<Str>& args) {
  // The updater is a window: it needs an application, here without windows
  // on screen and with its transcript thrown away.
  std::ostringstream transcript;
  orvel::gui::Application app(std::make_unique<orvel::gui::ScriptedBackend>(std::string(), transcript));
  orvel::TFUpdater updater(app, args);
  const auto start = std::chrono::steady_clock::now();
  updater.MakeUpdate();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void Report(const char* storage, const std::vector<Str>& args) {
  const double write = RunMs(args);
  const double unchanged = RunMs(args);
  std::printf("%-9s %5d settings: first run %9.1f ms (%.3f ms each), unchanged run %9.1f ms (%.3f ms each)\n",
              storage, kSettings, write, write / kSettings, unchanged, unchanged / kSettings);
}

void RemoveBenchKey() {
  orvel::RegistryAccess registry;
  registry.SetRootKey(orvel::reg::Root::LocalMachine);
  registry.DeleteKey(u"\\Software\\OrvelDraw\\Bench");
}

}  // namespace

int main() {
  orvel::bench::BenchMachine machine;
  const Str list = SettingsList();
  const Str folder = orvel::TempDirectory() + u"orvel-bench\\";
  (void)orvel::files::forceDirectories(folder);
  const Str ini = folder + u"ODMachine.INI";
  (void)orvel::files::deleteFile(ini);

  RemoveBenchKey();
  Report("registry", {u"Setup.exe", u"-Registry", list});
  Report("INI", {u"Setup.exe", u"-Registry", list, u"-INI", ini});

  RemoveBenchKey();
  (void)orvel::files::deleteFile(ini);
  (void)orvel::files::removeDirectory(folder);
  return 0;
}
