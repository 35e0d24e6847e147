// A file update of an installation with 500 language files and 500 styles,
// timed against a plain copy of the same files into an empty folder. The
// update's 2000 ms wait for the application is taken out: natively the
// emulated machine's SleepScale is 0; on Windows the wait is subtracted.
// Prints both times and their ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "app/windows.h"
#include "common/fmx_utils.h"
#include "platform/files.h"
#include "gui/gui.h"
#include "gui/script/scripted_gui.h"
#include "platform/system.h"
#include "updater/updater.h"

namespace {

using orvel::Str;
namespace files = orvel::files;
constexpr int kFilesPerGroup = 500;
constexpr int kRuns = 5;
#ifdef _WIN32
constexpr double kWaitMs = 2000;  // the real wait, subtracted
#else
constexpr double kWaitMs = 0;  // SleepScale=0
#endif

Str Number(int i) {
  char text[8];
  std::snprintf(text, sizeof text, "%03d", i);
  return orvel::fromUtf8(text);
}

void Write(const Str& path, const std::string& bytes) {
  if (!files::writeFile(path, bytes)) {
    std::fprintf(stderr, "cannot write %s\n", orvel::toUtf8(path).c_str());
    std::exit(1);
  }
}

// The update's source: language files of a few kilobytes, styles a little larger.
void WriteSource(const Str& src) {
  (void)files::forceDirectories(src + u"languages");
  (void)files::forceDirectories(src + u"styles");
  (void)files::forceDirectories(src + u"img");
  const std::string language = "[Setup]\r\n" + std::string(2000, 'l') + "\r\n";
  const std::string style = std::string(6000, 's');
  for (int i = 0; i < kFilesPerGroup; ++i) {
    Write(src + u"languages\\lang" + Number(i) + u".ini", language);
    Write(src + u"styles\\style" + Number(i) + u".ods", style);
  }
  Write(src + u"OrvelDraw.exe", std::string(200000, 'x'));
  Write(src + u"Setup.exe", std::string(200000, 'y'));
}

// An installation of the previous version: every file there already.
void WriteInstallation(const Str& inst) {
  (void)files::forceDirectories(inst + u"languages");
  (void)files::forceDirectories(inst + u"styles");
  (void)files::forceDirectories(inst + u"templates");
  (void)files::forceDirectories(inst + u"img");
  for (int i = 0; i < kFilesPerGroup; ++i) {
    Write(inst + u"languages\\lang" + Number(i) + u".ini", "[Setup]\r\nold\r\n");
    Write(inst + u"styles\\style" + Number(i) + u".ods", "old style");
  }
  Write(inst + u"OrvelDraw.exe", "old");
}

double TimeUpdate(const Str& src, const Str& inst) {
  std::ostringstream transcript;
  orvel::gui::Application app(std::make_unique<orvel::gui::ScriptedBackend>(std::string(), transcript));
  std::unique_ptr<orvel::TFUpdater> updater;
  orvel::ProgramWindows windows(app, [&] {
    updater = std::make_unique<orvel::TFUpdater>(
        app, std::vector<Str>{u"Setup.exe", u"-Update", inst, src, u"2.1", u"-INI", inst + u"ODMachine.INI"});
    orvel::FUpdater = updater.get();
  });
  const auto start = std::chrono::steady_clock::now();
  updater->MakeUpdate();
  const double ms = orvel::bench::MsSince(start) - kWaitMs;
  if (updater->Error) {
    std::fprintf(stderr, "the update failed:\n");
    for (const Str& line : updater->Memo->lines()) std::fprintf(stderr, "  %s\n", orvel::toUtf8(line).c_str());
    std::exit(1);
  }
  orvel::FUpdater = nullptr;
  return ms;
}

// The same files copied one by one into an empty folder.
double TimePlainCopy(const Str& src, const Str& target) {
  const auto start = std::chrono::steady_clock::now();
  for (const Str group : {u"languages\\", u"styles\\"}) {
    (void)files::forceDirectories(target + group);
    for (const files::FindEntry& entry : files::findFiles(src + group + u"*.*"))
      (void)files::copyFile(src + group + entry.name, target + group + entry.name, files::IfExists::Replace);
  }
  for (const Str name : {u"OrvelDraw.exe", u"Setup.exe"}) (void)files::copyFile(src + name, target + name, files::IfExists::Replace);
  return orvel::bench::MsSince(start);
}

}  // namespace

int main() {
  orvel::bench::BenchMachine machine;
  const Str base = orvel::TempDirectory() + u"orvel-bench-update\\";
  orvel::bench::RemoveTree(base);
  const Str src = base + u"source\\";
  WriteSource(src);

  std::vector<double> update, copy;
  for (int run = 0; run < kRuns; ++run) {
    const Str inst = base + u"installation\\";
    const Str plain = base + u"plain\\";
    WriteInstallation(inst);
    update.push_back(TimeUpdate(src, inst));
    copy.push_back(TimePlainCopy(src, plain));
    orvel::bench::RemoveTree(inst);
    orvel::bench::RemoveTree(plain);
  }
  const double u = orvel::bench::Median(update);
  const double c = orvel::bench::Median(copy);
  std::printf("file update, %d language files + %d styles (wait taken out): %8.1f ms (median of %d)\n",
              kFilesPerGroup, kFilesPerGroup, u, kRuns);
  std::printf("plain copy of the same files:                              %8.1f ms (median of %d)\n", c, kRuns);
  std::printf("ratio update / plain copy: %.2f\n", u / c);

  orvel::bench::RemoveTree(base);
  return 0;
}
