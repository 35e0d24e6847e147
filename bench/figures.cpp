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
#include <stdexcept>
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
  if (!started || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error(argv[0] + " failed (status " + std::to_string(status) + ")");
  const double wall = orvel::bench::MsSince(start);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return {wall, ms(usage.ru_utime) + ms(usage.ru_stime)};
}

// One timed program: what runs before it outside the clock, and its command.
struct Job {
  std::function<void()> prepare;
  std::vector<std::string> argv;
};

// The best of kRounds runs of each job, the jobs taking turns in every
// round, so that the machine's other load falls on all of them alike.
std::vector<Time> Best(const std::vector<Job>& jobs) {
  std::vector<Time> best(jobs.size());
  for (int round = 0; round < kRounds; ++round) {
    for (size_t i = 0; i < jobs.size(); ++i) {
      jobs[i].prepare();
      const Time t = Run(jobs[i].argv);
      best[i].wall = std::min(best[i].wall, t.wall);
      best[i].cpu = std::min(best[i].cpu, t.cpu);
    }
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
    const fs::path copy = drive_c_ / "bench" / "copy";
    const std::vector<Time> t = Best({{[&] { Remove(copy); }, {"cp", "-rp", Distribution(2000).string(), copy.string()}},
                                      Installation(2000), Installation(4000)});
    for (int templates : {2000, 4000}) {
      const std::string n = std::to_string(templates);
      if (!fs::exists(drive_c_ / "bench" / ("OrvelDraw" + n) / "templates" / ("template" + std::to_string(templates - 1) + ".odt")))
        Fail("the installation did not install every template");
    }
    Figure("installation, 2,000 templates of 4 KiB", t[1], "cp -rp of the same", t[0], "at most 1.2x, never above 2x");
    Figure("installation, 4,000 templates", t[2], "2,000 templates", t[1], "about 2x");
  }

  void RegistryMode() {
    const std::vector<Time> t = Best({Settings(0), Settings(1000), Settings(2000)});
    Figure("-Registry, 1,000 settings in the registry", t[1], "an empty list", t[0], "at most 10x, never above 50x");
    Figure("-Registry, 2,000 settings", t[2], "1,000 settings", t[1], "about 2x");
  }

  void LanguageFiles() {
    const std::vector<Time> t = Best({FirstPaint(0), FirstPaint(5000), FirstPaint(10000)});
    for (int keys : {0, 5000, 10000}) {
      std::ifstream in(work_ / ("transcript" + std::to_string(keys)), std::ios::binary);
      const std::string transcript(std::istreambuf_iterator<char>(in), {});
      if ((transcript.find("caption=\"Bench caption\"") != std::string::npos) != (keys > 0))
        Fail("the language file was not read on the first paint");
    }
    Figure("first paint, language file of 10,000 keys", t[2], "no language file", t[0], "under 500 ms");
    Figure("first paint, language file of 10,000 keys", t[2], "5,000 keys", t[1], "about 2x (linear)");
  }

  void Associations() {
    const std::vector<Time> t = Best({Association(2500), Association(5000)});
    if (!RegistryHolds(u"Classes\\.e4999]")) Fail("the association rewrite did not write every extension");
    Figure("association rewrite, 5,000 pairs", t[1], "2,500 pairs", t[0], "about 2x, a few seconds");
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

  // The program with a GUI script of these lines, its transcript kept apart.
  Job Scripted(const std::string& name, const std::string& script, std::function<void()> prepare,
               std::vector<std::string> argv) {
    const fs::path file = work_ / (name + ".script");
    WriteFile(file, script);
    const fs::path transcript = work_ / ("transcript" + name.substr(name.find_first_of("0123456789")));
    return {[file, transcript, prepare] {
              setenv("ORVEL_GUI_SCRIPT", file.c_str(), 1);
              setenv("ORVEL_GUI_TRANSCRIPT", transcript.c_str(), 1);
              prepare();
            },
            std::move(argv)};
  }

  // Into INI files, without shortcuts: the installation leaves nothing
  // outside its two folders, which are its own.
  Job Installation(int templates) {
    const std::string n = std::to_string(templates);
    const fs::path dist = Distribution(templates);
    return Scripted("install" + n,
                    "set FSetup.EFolder C:\\bench\\OrvelDraw" + n + "\\\n"
                    "select FSetup.RGRegOrIni 1\n"
                    "set FSetup.EUserfolder C:\\bench\\Settings" + n + "\\\n"
                    "uncheck FSetup.CBDesktopSymbol\n"
                    "uncheck FSetup.CBStartmenu\n"
                    "click FSetup.BInstall\n",
                    [this, n] {
                      Remove(drive_c_ / "bench" / ("OrvelDraw" + n));
                      Remove(drive_c_ / "bench" / ("Settings" + n));
                    },
                    {(dist / "Setup.exe").string()});
  }

  // Half strings, half integers, in one key, written into a registry that
  // does not hold them yet.
  Job Settings(int settings) {
    std::string list;
    for (int i = 0; i < settings; ++i) {
      const std::string n = std::to_string(i);
      if (!list.empty()) list += "#";
      list += i % 2 ? "Bench|I" + n + "|" + n + "|i" : "Bench|S" + n + "|value " + n + "|s";
    }
    return Scripted("settings" + std::to_string(settings), "", [this] { Remove(machine_.root() / "registry.reg"); },
                    {setup_, "-Registry", list});
  }

  // The default language file of an English-speaking user: its keys in
  // [Installation], most of them no control's, the translated caption last,
  // so that every lookup passes them all. The script shows the window's
  // state after its first paint, its caption among it.
  Job FirstPaint(int keys) {
    const fs::path folder = drive_c_ / "bench" / ("language" + std::to_string(keys));
    Remove(folder);
    fs::create_directories(folder / "languages");
    fs::copy_file(setup_, folder / "Setup.exe");
    if (keys > 0) {
      std::string text = "[Installation]\r\n";
      for (int i = 0; i < keys - 2; ++i) text += "Text" + std::to_string(i) + "=Translated text " + std::to_string(i) + "\r\n";
      text += "BInstall=Install\r\nCaption=Bench caption\r\n";
      WriteFile(folder / "languages" / "english.ini", text);
    }
    return Scripted("language" + std::to_string(keys), "dump FSetup\n", [] {}, {(folder / "Setup.exe").string()});
  }

  // .e0 True .e1 True ... with the final blank, into a registry without them.
  Job Association(int pairs) {
    std::string list;
    for (int i = 0; i < pairs; ++i) list += ".e" + std::to_string(i) + " True ";
    fs::create_directories(drive_c_ / "bench");
    return Scripted("association" + std::to_string(pairs), "", [this] { Remove(machine_.root() / "registry.reg"); },
                    {setup_, "-Update", "C:\\bench\\OrvelDraw.exe", "C:\\bench\\registryupdate\\", list});
  }

  // The registry file (UTF-16LE after its mark) holds that text.
  bool RegistryHolds(const orvel::Str& text) const {
    std::ifstream in(machine_.root() / "registry.reg", std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    std::string wanted;
    for (char16_t c : text) wanted += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes.find(wanted) != std::string::npos;
  }

  [[noreturn]] static void Fail(const char* what) { throw std::runtime_error(what); }

  orvel::bench::BenchMachine machine_{"LangId=0x0409\n"};
  fs::path work_ = machine_.root() / "bench-work";
  std::string setup_;
  fs::path drive_c_;
};

}  // namespace

int main(int argc, char** argv) {
  // Figures may be named (installation, registry, language, association):
  // only those run. None named: all of them.
  auto wanted = [&](const std::string& name) {
    if (argc < 2) return true;
    for (int i = 1; i < argc; ++i)
      if (name == argv[i]) return true;
    return false;
  };
  // A failure ends the run by an exception, so that the machine is removed.
  try {
    Figures figures;
    std::printf("best of %d runs of whole processes: wall time and processor time\n", kRounds);
    if (wanted("installation")) figures.Installations();
    if (wanted("registry")) figures.RegistryMode();
    if (wanted("language")) figures.LanguageFiles();
    if (wanted("association")) figures.Associations();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
