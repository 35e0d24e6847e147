// The emulated machine's costs as whole processes of the native Setup.exe,
// each figure next to the goal it is held to:
//   - an installation of 2,000 templates of 4 KiB against `cp -rp` of the
//     same distribution, and 4,000 templates against 2,000;
//   - registry mode with 1,000 settings in registry storage against an empty
//     list, and 2,000 settings against 1,000;
//   - a language file of 10,000 keys read on the first paint of the setup
//     window, and 5,000 keys for its growth;
//   - an association rewrite of 5,000 pairs, and 2,500 for its growth.
// Every time is the best of five runs (wall and processor time each) on a fresh emulated machine in the
// temporary folder; the installation and the registry runs each start from
// an empty target. Natively only: it starts the build's Setup.exe and cp.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
constexpr int kRounds = 5;

// A process's wall time and the processor time it used (user and system), in ms.
struct Time {
  double wall = 1e300;
  double cpu = 1e300;
};

// Runs a program with its output thrown away; its time, or a message and
// the end of the benchmark when it fails.
Time Run(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = 0;
  rusage usage{};
  const bool started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!started || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed (status %d)\n", argv[0].c_str(), status);
    std::exit(1);
  }
  const double wall = orvel::bench::MsSince(start);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return {wall, ms(usage.ru_utime) + ms(usage.ru_stime)};
}

// The best of kRounds runs, `prepare` before each outside the clock.
Time Best(const std::function<void()>& prepare, const std::vector<std::string>& argv) {
  Time best;
  for (int round = 0; round < kRounds; ++round) {
    prepare();
    const Time t = Run(argv);
    best.wall = std::min(best.wall, t.wall);
    best.cpu = std::min(best.cpu, t.cpu);
  }
  return best;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

void Remove(const fs::path& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
}

void Figure(const char* job, Time t, const char* against, Time base, const char* goal) {
  std::printf("%-44s %8.1f ms (cpu %7.1f)  against %-20s %8.1f ms (cpu %7.1f)  %6.2fx (cpu %6.2fx)  goal %s\n", job,
              t.wall, t.cpu, against, base.wall, base.cpu, t.wall / base.wall, t.cpu / base.cpu, goal);
}

class Figures {
 public:
  Figures() : setup_(std::string(ORVEL_DIST_DIR) + "/Setup.exe") {
    // A first run gives the new machine its standard folders.
    drive_c_ = machine_.root() / "drive_c";
    WriteFile(work_ / "empty.script", "");
    setenv("ORVEL_GUI_SCRIPT", (work_ / "empty.script").c_str(), 1);
    setenv("ORVEL_GUI_TRANSCRIPT", (work_ / "transcript").c_str(), 1);
    Run({setup_});
  }

  void Installations() {
    const Time copy2000 = CopyMs(2000);
    const Time install2000 = InstallationMs(2000);
    const Time install4000 = InstallationMs(4000);
    Figure("installation, 2,000 templates of 4 KiB", install2000, "cp -rp of the same", copy2000,
           "at most 1.2x, never above 2x");
    Figure("installation, 4,000 templates", install4000, "2,000 templates", install2000, "about 2x");
  }

  void RegistryMode() {
    const Time empty = SettingsMs(0);
    const Time s1000 = SettingsMs(1000);
    const Time s2000 = SettingsMs(2000);
    Figure("-Registry, 1,000 settings in the registry", s1000, "an empty list", empty,
           "at most 10x, never above 50x");
    Figure("-Registry, 2,000 settings", s2000, "1,000 settings", s1000, "about 2x");
  }

  void LanguageFiles() {
    const Time none = FirstPaintMs(0);
    const Time k5000 = FirstPaintMs(5000);
    const Time k10000 = FirstPaintMs(10000);
    Figure("first paint, language file of 10,000 keys", k10000, "no language file", none, "under 500 ms");
    Figure("first paint, language file of 10,000 keys", k10000, "5,000 keys", k5000, "about 2x (linear)");
  }

  void Associations() {
    const Time p2500 = AssociationMs(2500);
    const Time p5000 = AssociationMs(5000);
    Figure("association rewrite, 5,000 pairs", p5000, "2,500 pairs", p2500, "about 2x, a few seconds");
  }

 private:
  // The distribution: the build's, with that many templates of 4 KiB.
  fs::path Distribution(int templates) {
    const fs::path dist = drive_c_ / "bench" / ("dist" + std::to_string(templates));
    if (fs::exists(dist)) return dist;
    fs::create_directories(dist);
    fs::copy(ORVEL_DIST_DIR, dist, fs::copy_options::recursive);
    std::string bytes(4096, 'x');
    for (int i = 0; i < templates; ++i) {
      bytes[0] = static_cast<char>('a' + i % 26);
      WriteFile(dist / "templates" / ("template" + std::to_string(i) + ".odt"), bytes);
    }
    return dist;
  }

  Time CopyMs(int templates) {
    const fs::path dist = Distribution(templates);
    const fs::path copy = drive_c_ / "bench" / "copy";
    return Best([&] { Remove(copy); }, {"cp", "-rp", dist.string(), copy.string()});
  }

  // Into INI files, without shortcuts: the installation leaves nothing
  // outside its two folders.
  Time InstallationMs(int templates) {
    const fs::path dist = Distribution(templates);
    const fs::path script = work_ / "install.script";
    WriteFile(script,
              "set FSetup.EFolder C:\\bench\\OrvelDraw\\\n"
              "select FSetup.RGRegOrIni 1\n"
              "set FSetup.EUserfolder C:\\bench\\Settings\\\n"
              "uncheck FSetup.CBDesktopSymbol\n"
              "uncheck FSetup.CBStartmenu\n"
              "click FSetup.BInstall\n");
    setenv("ORVEL_GUI_SCRIPT", script.c_str(), 1);
    const Time ms = Best(
        [&] {
          Remove(drive_c_ / "bench" / "OrvelDraw");
          Remove(drive_c_ / "bench" / "Settings");
        },
        {(dist / "Setup.exe").string()});
    setenv("ORVEL_GUI_SCRIPT", (work_ / "empty.script").c_str(), 1);
    if (!fs::exists(drive_c_ / "bench" / "OrvelDraw" / "templates" / ("template" + std::to_string(templates - 1) + ".odt")))
      Fail("the installation did not install every template");
    return ms;
  }

  // Half strings, half integers, in one key, written into a registry that
  // does not hold them yet.
  Time SettingsMs(int settings) {
    std::string list;
    for (int i = 0; i < settings; ++i) {
      const std::string n = std::to_string(i);
      if (!list.empty()) list += "#";
      list += i % 2 ? "Bench|I" + n + "|" + n + "|i" : "Bench|S" + n + "|value " + n + "|s";
    }
    const Time ms = Best([&] { Remove(machine_.root() / "registry.reg"); }, {setup_, "-Registry", list});
    if (settings > 0 && !RegistryHolds(u"\"S0\"=\"value 0\"")) Fail("registry mode wrote no settings");
    return ms;
  }

  // The default language file of an English-speaking user: its keys in
  // [Installation], most of them no control's, the translated caption last,
  // so that every lookup passes them all.
  Time FirstPaintMs(int keys) {
    const fs::path folder = drive_c_ / "bench" / "language";
    const fs::path file = folder / "languages" / "english.ini";
    const fs::path setup = folder / "Setup.exe";
    Remove(folder);
    fs::create_directories(file.parent_path());
    fs::copy_file(setup_, setup);
    if (keys > 0) {
      std::string text = "[Installation]\r\n";
      for (int i = 0; i < keys - 2; ++i) text += "Text" + std::to_string(i) + "=Translated text " + std::to_string(i) + "\r\n";
      text += "BInstall=Install\r\nCaption=Bench caption\r\n";
      WriteFile(file, text);
    }
    // The window's state after its first paint, its caption among it.
    const fs::path script = work_ / "dump.script";
    WriteFile(script, "dump FSetup\n");
    setenv("ORVEL_GUI_SCRIPT", script.c_str(), 1);
    const Time ms = Best([] {}, {setup.string()});
    setenv("ORVEL_GUI_SCRIPT", (work_ / "empty.script").c_str(), 1);
    const bool translated = Transcript().find("caption=\"Bench caption\"") != std::string::npos;
    Remove(folder);
    if (translated != (keys > 0)) Fail("the language file was not read on the first paint");
    return ms;
  }

  // .e0 True .e1 True ... with the final blank, into a registry without them.
  Time AssociationMs(int pairs) {
    std::string list;
    for (int i = 0; i < pairs; ++i) list += ".e" + std::to_string(i) + " True ";
    fs::create_directories(drive_c_ / "bench");
    const Time ms = Best([&] { Remove(machine_.root() / "registry.reg"); },
                             {setup_, "-Update", "C:\\bench\\OrvelDraw.exe", "C:\\bench\\registryupdate\\", list});
    if (!RegistryHolds(u"Classes\\.e" + orvel::fromUtf8(std::to_string(pairs - 1)) +
                       u"]"))
      Fail("the association rewrite did not write every extension");
    return ms;
  }

  std::string Transcript() const {
    std::ifstream in(work_ / "transcript", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // The registry file (UTF-16LE after its mark) holds that text.
  bool RegistryHolds(const orvel::Str& text) const {
    std::ifstream in(machine_.root() / "registry.reg", std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    std::string wanted;
    for (char16_t c : text) wanted += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes.find(wanted) != std::string::npos;
  }

  [[noreturn]] static void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::exit(1);
  }

  orvel::bench::BenchMachine machine_{"LangId=0x0409\n"};
  fs::path work_ = machine_.root() / "bench-work";
  std::string setup_;
  fs::path drive_c_;
};

}  // namespace

int main() {
  Figures figures;
  std::printf("best of %d runs of whole processes: wall time and processor time\n", kRounds);
  figures.Installations();
  figures.RegistryMode();
  figures.LanguageFiles();
  figures.Associations();
  return 0;
}
