// An installation of a distribution with 2,000 files in templates\ against a
// plain copy of the same files, on the same machine in the same run: what
// the installer's logging, checks and bookkeeping cost on top of copying.
// Natively on a fresh emulated machine in a temporary folder; on Windows in
// the user's temporary folder. The installation writes INI files and no
// desktop or Start-menu shortcut, so that it leaves nothing outside its folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "app/windows.h"
#include "common/fmx_utils.h"
#include "common/log_window.h"
#include "platform/files.h"
#include "gui/gui.h"
#include "gui/script/scripted_gui.h"
#include "setup/setup_window.h"

namespace {

using orvel::Str;
namespace files = orvel::files;

constexpr int kTemplates = 2000;
constexpr size_t kTemplateBytes = 4096;
constexpr int kRounds = 3;

Str Number(int i) { return orvel::fromUtf8(std::to_string(i)); }

// The distribution's files below its folder.
std::vector<Str> Distribution(const Str& dist) {
  std::vector<Str> names = {u"OrvelDraw.exe", u"Setup.exe", u"languages\\english.ini", u"languages\\dutch.ini",
                            u"languages\\espanol.ini", u"styles\\dark.css", u"styles\\light.css"};
  for (int i = 0; i < kTemplates; ++i) names.push_back(u"templates\\template" + Number(i) + u".odt");
  for (const char16_t* folder : {u"languages", u"styles", u"templates"}) (void)files::forceDirectories(dist + folder);
  std::string bytes(kTemplateBytes, 'x');
  for (const Str& name : names) {
    bytes[0] = static_cast<char>('a' + name.size() % 26);
    (void)files::writeFile(dist + name, bytes);
  }
  return names;
}

// The same files copied with the same platform service, folders made first.
double PlainCopyMs(const Str& dist, const std::vector<Str>& names, const Str& target) {
  const auto start = std::chrono::steady_clock::now();
  for (const char16_t* folder : {u"languages", u"styles", u"templates"}) (void)files::forceDirectories(target + folder);
  for (const Str& name : names) (void)files::copyFile(dist + name, target + name, files::IfExists::Replace);
  return orvel::bench::MsSince(start);
}

// A whole installation through the setup window, as a click on "Installieren".
double InstallationMs(const Str& dist, const Str& target, const Str& userFolder, size_t& logLines) {
  std::ostringstream transcript;
  orvel::gui::Application app(std::make_unique<orvel::gui::ScriptedBackend>(std::string(), transcript));
  orvel::ProgramWindows windows(app, dist + u"Setup.exe");
  orvel::TFSetup& setup = windows.setup();
  setup.EFolder->setText(target);
  setup.RGRegOrIni->setItemIndex(1);
  setup.EUserfolder->setText(userFolder);
  setup.CBDesktopSymbol->setChecked(false);
  setup.CBStartmenu->setChecked(false);
  const auto start = std::chrono::steady_clock::now();
  setup.BInstallClick(nullptr);
  const double ms = orvel::bench::MsSince(start);
  logLines = windows.memo().MInstallation->lines().size();
  if (windows.memo().Installation != 0) std::fprintf(stderr, "the installation reported an error\n");
  return ms;
}

}  // namespace

int main() {
  orvel::bench::BenchMachine machine;
  const Str folder = orvel::TempDirectory() + u"orvel-bench-install\\";
  orvel::bench::RemoveTree(folder);
  const Str dist = folder + u"dist\\";
  const std::vector<Str> names = Distribution(dist);

  std::vector<double> copies, installations;
  size_t logLines = 0;
  for (int round = 0; round < kRounds; ++round) {
    const Str copied = folder + u"copy\\";
    const Str installed = folder + u"OrvelDraw\\";
    copies.push_back(PlainCopyMs(dist, names, copied));
    installations.push_back(InstallationMs(dist, installed, folder + u"Settings\\", logLines));
    orvel::bench::RemoveTree(copied);
    orvel::bench::RemoveTree(installed);
  }
  const double copy = orvel::bench::Median(copies);
  const double install = orvel::bench::Median(installations);
  std::printf("%zu files (%d templates of %zu bytes), median of %d rounds\n", names.size(), kTemplates,
              kTemplateBytes, kRounds);
  std::printf("plain copy    %9.1f ms\n", copy);
  std::printf("installation  %9.1f ms  (%zu log lines)\n", install, logLines);
  std::printf("ratio installation / copy: %.2f\n", install / copy);

  orvel::bench::RemoveTree(folder);
  return 0;
}
