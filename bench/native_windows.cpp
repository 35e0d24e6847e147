// The installation of a distribution with many templates through Setup.exe's
// own windows against the same installation through the scripted GUI and
// against a plain copy of the same files with CopyFileW (the floor for an
// installer that copies files), on the same machine in the same run, with
// 500 and with 2,000 templates of 4 KiB.
//
// A Windows program, run under Wine with a display (xvfb-run) in the test
// prefix and as a German user, as the native-window tests run, from the
// build folder (rounds: 3 unless given; the best of them counts):
//   xvfb-run -a env WINEPREFIX=$PWD/wineprefix LOCPATH=$PWD/locale LC_ALL=de_DE.UTF-8
//     WINEDEBUG=-all /usr/lib/wine/wine64 bench/bench_native_windows.exe [rounds]
//
// The real windows: the driver starts Setup.exe without a script, chooses INI
// files and no shortcuts, clicks "Installieren" and times until the program
// reads messages again, which is when the click handler (the whole
// installation) has returned, and the log window holds every line. The
// scripted GUI: the test variant of the same program with a script of the
// same choices, timed as a whole process, start-up included.
// Nothing is left outside the benchmark's folder: no shortcut, no registry key.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "tests/native/desktop.h"
#include "tests/native/machine.h"
#include "tests/native/program_windows.h"
#include "tests/native/setup_process.h"

namespace {

using namespace orvel::native;
using Clock = std::chrono::steady_clock;

constexpr size_t kTemplateBytes = 4096;
constexpr int kSizes[] = {500, 2000};
constexpr auto kJobLimit = 600s;  // one installation, slow windows included

const std::wstring kFolder = L"C:\\orvel-bench-windows\\";
const std::wstring kSavedLogLine = L"Speichere Installationsablauf in ";

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "bench_native_windows: %s\n", what.c_str());
  removeFolder(kFolder);
  std::exit(1);
}

// A built distribution (`built`: the shipped one or the scripted variant's)
// with `templates` files of 4 KiB in place of its own.
std::wstring MakeDistribution(const char* built, const std::wstring& name, int templates) {
  const std::wstring dist = kFolder + name + std::to_wstring(templates) + L"\\";
  if (!copyFolder(windowsPathOf(built), dist)) Fail("the distribution could not be copied");
  removeFolder(dist + L"templates");
  makeFolders(dist + L"templates");
  std::string bytes(kTemplateBytes, 'x');
  for (int i = 0; i < templates; ++i) {
    bytes[0] = static_cast<char>('a' + i % 26);
    std::ofstream(std::filesystem::path(dist + L"templates\\template" + std::to_wstring(i) + L".odt"),
                  std::ios::binary)
        << bytes;
  }
  if (filesIn(dist + L"templates").size() != static_cast<size_t>(templates)) Fail("the templates were not written");
  return dist;
}

std::wstring Target() { return kFolder + L"OrvelDraw\\"; }
std::wstring UserFolder() { return kFolder + L"Settings\\"; }

void Clean() {
  removeFolder(Target());
  removeFolder(UserFolder());
}

// A finished installation wrote its log with every template's line.
void CheckInstalled(int templates) {
  const auto lines = crlfLines(Target() + L"install.txt", CP_ACP);
  if (!lines || lines->size() < static_cast<size_t>(templates)) Fail("the installation saved no complete log");
  if (filesIn(Target() + L"templates").size() != static_cast<size_t>(templates))
    Fail("the installation did not copy every template");
}

double RealWindowsMs(const std::wstring& dist, int templates) {
  Clean();
  SetupProcess setup(dist + L"Setup.exe", {}, kFolder);
  if (!setup.started()) Fail("Setup.exe did not start");
  const HWND form = setup.window(caption::kSetup);
  SetupWindow w;
  waitUntil([&] { return (w = findSetupWindow(form)).missing().empty(); }, 20s);
  if (!w.missing().empty()) Fail("setup window without " + w.missing());
  typeInto(w.EFolder, Target());
  click(w.IniItem);
  if (!waitUntil([&] { return isEnabled(w.EUserfolder); }, 10s)) Fail("the user folder field stays disabled");
  typeInto(w.EUserfolder, UserFolder());
  if (!setChecked(w.CBStartmenu, false) || !setChecked(w.CBDesktopSymbol, false)) Fail("shortcut boxes stay checked");
  if (!waitUntilIdle(form)) Fail("the setup window does not answer");

  const auto start = Clock::now();
  click(w.BInstall);
  const LogWindow log = findLogWindow(setup.window(caption::kLog, kJobLimit));
  if (!log.MInstallation) Fail("no log window: " + describeWindows(setup.id()));
  if (!waitUntilIdle(form, kJobLimit)) Fail("the installation did not end");
  // Until the log window holds every line: a memo asked for its text puts
  // in what waits for it first.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(log.MInstallation, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL,
                           static_cast<UINT>(Millis(kJobLimit).count()), &length))
    Fail("the log window does not answer");
  const double ms = orvel::bench::MsSince(start);

  if (!memoHasLineStarting(log.MInstallation, kSavedLogLine)) Fail("the log window lacks lines");
  CheckInstalled(templates);
  // Closing the setup window ends the program; the log window's button would
  // start the application as well.
  PostMessageW(form, WM_CLOSE, 0, 0);
  if (!setup.waitForExit(30s)) Fail("Setup.exe did not end");
  return ms;
}

// What the installation copies (the program, the setup program, the language
// files, templates and styles) copied by a plain loop of CopyFileW, the
// folders made as it goes.
double PlainCopyMs(const std::wstring& dist, int templates) {
  const std::wstring target = kFolder + L"PlainCopy\\";
  removeFolder(target);
  const auto start = Clock::now();
  bool copied = CreateDirectoryW(target.c_str(), nullptr);
  for (const wchar_t* file : {L"OrvelDraw.exe", L"Setup.exe"})
    copied = copied && CopyFileW((dist + file).c_str(), (target + file).c_str(), FALSE);
  for (const wchar_t* folder : {L"languages\\", L"templates\\", L"styles\\"}) {
    copied = copied && CreateDirectoryW((target + folder).c_str(), nullptr);
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW((dist + folder + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      copied = copied && CopyFileW((dist + folder + entry.cFileName).c_str(),
                                   (target + folder + entry.cFileName).c_str(), FALSE);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  const double ms = orvel::bench::MsSince(start);
  if (!copied || filesIn(target + L"templates").size() != static_cast<size_t>(templates)) Fail("the plain copy failed");
  removeFolder(target);
  return ms;
}

double ScriptedMs(const std::wstring& dist, int templates) {
  Clean();
  const std::wstring script = kFolder + L"install.script";
  {
    std::ofstream out(std::filesystem::path(script), std::ios::binary);
    out << "set FSetup.EFolder " << utf8(Target()) << "\n"
        << "select FSetup.RGRegOrIni 1\n"
        << "set FSetup.EUserfolder " << utf8(UserFolder()) << "\n"
        << "uncheck FSetup.CBStartmenu\n"
        << "uncheck FSetup.CBDesktopSymbol\n"
        << "click FSetup.BInstall\n";
  }
  const auto start = Clock::now();
  SetupProcess setup(dist + L"Setup.exe", {}, kFolder,
                     {L"ORVEL_GUI_SCRIPT=" + script, L"ORVEL_GUI_TRANSCRIPT=" + kFolder + L"transcript"});
  if (!setup.started()) Fail("Setup.exe did not start");
  if (!setup.waitForExit(kJobLimit)) Fail("the scripted installation did not end");
  const double ms = orvel::bench::MsSince(start);
  if (setup.exitCode() != 0) Fail("the scripted installation ended with " + std::to_string(setup.exitCode()));
  CheckInstalled(templates);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  removeFolder(kFolder);
  makeFolders(kFolder);
  std::map<int, double> real, scripted, plain;
  for (int templates : kSizes) {
    const std::wstring dist = MakeDistribution(ORVEL_DIST_DIR, L"dist", templates);
    const std::wstring scriptedDist = MakeDistribution(ORVEL_SCRIPTED_DIST_DIR, L"scripted", templates);
    std::vector<double> reals, scripteds, plains;
    // Taking turns, so that a busy moment of the machine falls on all three.
    for (int round = 0; round < rounds; ++round) {
      reals.push_back(RealWindowsMs(dist, templates));
      scripteds.push_back(ScriptedMs(scriptedDist, templates));
      plains.push_back(PlainCopyMs(dist, templates));
      std::printf("%5d templates, round %d: real windows %9.1f ms, scripted %9.1f ms, plain copy %9.1f ms\n",
                  templates, round + 1, reals.back(), scripteds.back(), plains.back());
      std::fflush(stdout);
    }
    // The best round of each: the other load of the machine only adds.
    real[templates] = *std::min_element(reals.begin(), reals.end());
    scripted[templates] = *std::min_element(scripteds.begin(), scripteds.end());
    plain[templates] = *std::min_element(plains.begin(), plains.end());
    removeFolder(dist);
    removeFolder(scriptedDist);
  }
  Clean();
  removeFolder(kFolder);

  std::printf("\ntemplates of %zu bytes, best of %d rounds\n", kTemplateBytes, rounds);
  std::printf("templates  real windows (click to idle)  scripted (whole process)  plain CopyFileW copy\n");
  for (int templates : kSizes)
    std::printf("%9d  %23.1f ms  %21.1f ms  %17.1f ms\n", templates, real[templates], scripted[templates],
                plain[templates]);
  for (int templates : kSizes)
    std::printf("ratio installation (real windows) / plain copy at %d templates: %.2f (goal at most 1.2)\n", templates,
                real[templates] / plain[templates]);
  std::printf("growth %d / %d templates: real windows %.2f, plain copy %.2f (goal: no faster than the copy's)\n",
              kSizes[1], kSizes[0], real[kSizes[1]] / real[kSizes[0]], plain[kSizes[1]] / plain[kSizes[0]]);
  std::printf("ratio real windows / scripted at %d templates: %.2f\n", kSizes[1], real[kSizes[1]] / scripted[kSizes[1]]);
  return 0;
}
