// The crash sweep: each job of the program is stopped as a kill stops it, in
// a process of its own, at every point where it touches the machine: before
// each platform call (so after the one before it), and inside each write of
// bytes to a file after a torn prefix (nothing, the first 4 KiB, all but the
// last byte), or with the disk full from that write on. After each stop:
// every file holds its old or its new bytes, or is absent where it was
// absent (a file that the INI service writes entry by entry: each entry);
// every registry value is its old or its new self and registry.reg reads.
// Then the same job runs again to its end: the machine must then be what an
// unbroken run leaves, with nothing of the stopped run left behind.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/mem_ini_file.h"
#include "machine/fault_injection.h"
#include "machine/machine.h"
#include "formats/registry_file.h"
#include "formats/utf16.h"
#include "tests/scenario/posix/sweep_jobs.h"

namespace orvel {
namespace {

using namespace sweep;
namespace faults = posix::faults;

// --- the machine as a user finds it ------------------------------------------

using Bytes = std::optional<std::string>;  // nothing: absent

struct MachineState {
  std::map<std::string, std::string> files;     // path below the root -> bytes
  std::map<std::string, std::string> registry;  // key path and value name -> type and data
  bool registryReadable = true;
  std::vector<std::string> litter;              // interim files, by path below the root
};

// What every case's machine names differently: its scratch folder's name.
class Normaliser {
 public:
  explicit Normaliser(const Str& scratch) {
    Str folder = scratch.substr(0, scratch.size() - 1);
    name_ = toUtf8(folder.substr(folder.find_last_of(u'\\') + 1));
    wide_ = formats::toUtf16(fromUtf8(name_));
  }
  std::string operator()(std::string text) const {
    for (const std::string* from : {&name_, &wide_}) {
      const std::string to = from == &name_ ? "<scratch>" : formats::toUtf16(u"<scratch>");
      for (size_t at = text.find(*from); at != std::string::npos; at = text.find(*from, at + to.size()))
        text.replace(at, from->size(), to);
    }
    return text;
  }

 private:
  std::string name_;
  std::string wide_;
};

bool isLitter(const std::string& path) {
  const std::string name = path.substr(path.find_last_of('/') + 1);
  return name.starts_with(".~orvel-") || name.ends_with(".orvel-new");
}

// The machine's own bookkeeping, which no job promises anything about.
bool isBookkeeping(const std::string& relative) {
  for (const char* own : {"registry.reg", "registry.reg.lock", "machine.ini", "shell.log"})
    if (relative == own) return true;
  return relative.starts_with("locks/") || relative.starts_with("recycle-bin/");
}

std::string readHost(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void flatten(const regfile::KeyNode& key, const std::string& path, const Normaliser& normal,
             std::map<std::string, std::string>& out) {
  for (const auto& value : key.values)
    out[normal(path + "\\\\" + toUtf8(value.name))] = std::to_string(value.type) + ":" + normal(value.data);
  for (const auto& sub : key.subKeys) flatten(sub, path + "\\" + toUtf8(sub.name), normal, out);
}

MachineState stateOf(const test::TestMachine& machine) {
  namespace fs = std::filesystem;
  const Normaliser normal(machine.scratch());
  const posix::Machine m = posix::Machine::current();
  MachineState state;
  const std::string root = machine.root();
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string host = it->path().string();
    const std::string relative = normal(host.substr(root.size() + 1));
    if (isLitter(host)) state.litter.push_back(relative);
    if (isBookkeeping(relative) || isLitter(host)) continue;
    std::string bytes = readHost(host);
    // A shortcut by what it points to: its bytes hold the paths in their own form.
    if (relative.ends_with(".lnk"))
      if (const auto link = test::readShortcut(m.windowsPath(host)))
        bytes = "shortcut to " + toUtf8(link->program) + " in " + toUtf8(link->workingDirectory);
    state.files[relative] = normal(bytes);
  }
  const std::string registry = readHost(m.registryFile());
  const auto hives = regfile::parse(std::string_view(registry).substr(0, regfile::wholePart(registry).size));
  state.registryReadable = hives.has_value() || registry.empty();
  if (hives) {
    flatten(hives->currentUser, "HKEY_CURRENT_USER", normal, state.registry);
    flatten(hives->localMachine, "HKEY_LOCAL_MACHINE", normal, state.registry);
  }
  return state;
}

// The path below the root of a Windows path of the machine, as stateOf names it.
std::string relativeOf(const test::TestMachine& machine, const Str& windowsPath) {
  const std::optional<std::string> host = posix::Machine::current().hostPath(windowsPath);
  return host ? Normaliser(machine.scratch())(host->substr(machine.root().size() + 1)) : std::string();
}

Bytes at(const std::map<std::string, std::string>& map, const std::string& key) {
  auto it = map.find(key);
  return it == map.end() ? Bytes() : Bytes(it->second);
}

// The entries of an INI text, "[section]name" -> value.
std::map<std::string, std::string> entriesOf(const Bytes& bytes) {
  std::map<std::string, std::string> entries;
  if (!bytes) return entries;
  MemIniFile ini = MemIniFile::Empty(u"x.ini");
  ini.LoadFromBytes(*bytes);
  for (const Str& section : ini.ReadSections())
    for (const Str& name : ini.ReadSection(section))
      entries["[" + toUtf8(section) + "]" + toUtf8(name)] = toUtf8(ini.ReadString(section, name, u""));
  return entries;
}

// --- one job, swept ------------------------------------------------------------

using MakeJob = std::function<std::unique_ptr<JobRun>()>;

struct Point {
  faults::Crash crash;
  std::string what;
};

class CrashSweep {
 public:
  CrashSweep(std::string name, MakeJob make) : name_(std::move(name)), make_(std::move(make)) {}

  // Sweeps every point, or stops at the first that breaks a promise.
  std::vector<std::string> run(bool untilFirst = false) {
    if (!reference()) return violations_;
    for (const Point& point : points()) {
      sweepPoint(point);
      ++runs_;
      if (untilFirst && !violations_.empty()) break;
    }
    return violations_;
  }
  size_t runs() const { return runs_; }
  const std::vector<std::string>& calls() const { return calls_; }

 private:
  // The unbroken run: its end state, the calls it makes and its writes.
  bool reference() {
    std::unique_ptr<JobRun> job = make_();
    faults::armCrash({});
    job->run();
    calls_ = faults::callsSeen();
    writes_ = faults::writesSeen();
    faults::disarmCrash();
    faults::newRun();  // the promises as the next process finds them
    end_ = stateOf(job->machine());
    for (const std::string& broken : job->promises()) violate(name_ + ", the unbroken run: " + broken);
    for (const std::string& path : end_.litter) violate(name_ + ", the unbroken run left behind: " + path);
    for (const Str& path : job->logs()) logs_.insert(relativeOf(job->machine(), path));
    for (const Str& path : job->writtenByEntries()) byEntries_.insert(relativeOf(job->machine(), path));
    if (calls_.empty()) violate("no platform call");
    return violations_.empty();
  }

  std::vector<Point> points() const {
    std::vector<Point> points;
    for (size_t n = 1; n <= calls_.size(); ++n)
      points.push_back({{n, 0, faults::Tear::Nothing, false}, "stopped before call " + std::to_string(n) + " (" + calls_[n - 1] + ")"});
    for (size_t w = 1; w <= writes_.size(); ++w) {
      const size_t size = writes_[w - 1];
      std::set<size_t> prefixes;
      const std::pair<faults::Tear, size_t> tears[] = {{faults::Tear::Nothing, 0},
                                                       {faults::Tear::First4KiB, std::min<size_t>(size, 4096)},
                                                       {faults::Tear::AllButLastByte, size ? size - 1 : 0}};
      for (const auto& [tear, prefix] : tears)
        if (prefixes.insert(prefix).second)
          points.push_back({{0, w, tear, false}, "write " + std::to_string(w) + " of " + std::to_string(size) +
                                                     " bytes torn after " + std::to_string(prefix)});
      points.push_back({{0, w, faults::Tear::AllButLastByte, true}, "disk full from write " + std::to_string(w)});
    }
    return points;
  }

  void sweepPoint(const Point& point) {
    std::unique_ptr<JobRun> job = make_();
    const MachineState before = stateOf(job->machine());
    const pid_t child = fork();
    if (child < 0) return violate("fork failed");
    if (child == 0) {
      faults::armCrash(point.crash);
      job->run();
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const std::string where = name_ + ", " + point.what + ": ";
    if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != faults::kStoppedExitCode))
      return violate(where + "the run ended otherwise than stopped");
    checkStopped(where, before, stateOf(job->machine()));
    // The same job again, as the next process: it finishes the work.
    faults::newRun();
    job->run();
    faults::newRun();
    checkRerun(where, stateOf(job->machine()));
  }

  void checkStopped(const std::string& where, const MachineState& before, const MachineState& now) {
    std::set<std::string> paths;
    for (const auto* state : {&before, &now})
      for (const auto& [path, bytes] : state->files) paths.insert(path);
    for (const std::string& path : paths) {
      const Bytes was = at(before.files, path), is = at(now.files, path), will = at(end_.files, path);
      if (byEntries_.count(path)) {
        const auto wasEntries = entriesOf(was), isEntries = entriesOf(is), willEntries = entriesOf(will);
        std::set<std::string> names;
        for (const auto* entries : {&wasEntries, &isEntries, &willEntries})
          for (const auto& [entry, value] : *entries) names.insert(entry);
        for (const std::string& entry : names) {
          const Bytes e = at(isEntries, entry);
          if (e != at(wasEntries, entry) && e != at(willEntries, entry))
            violate(where + "neither old nor new: " + path + " " + entry);
        }
      } else if (is != was && is != will) {
        violate(where + (is ? "neither old nor new: " : "lost: ") + path);
      }
    }
    if (!now.registryReadable) return violate(where + "registry.reg does not read");
    std::set<std::string> values;
    for (const auto* state : {&before, &now})
      for (const auto& [value, data] : state->registry) values.insert(value);
    for (const std::string& value : values) {
      const Bytes is = at(now.registry, value);
      if (is != at(before.registry, value) && is != at(end_.registry, value))
        violate(where + "registry value neither old nor new: " + value);
    }
  }

  void checkRerun(const std::string& where, const MachineState& now) {
    const std::string again = where + "after the rerun: ";
    for (const std::string& path : now.litter) violate(again + "left behind: " + path);
    if (!now.registryReadable) return violate(again + "registry.reg does not read");
    std::set<std::string> paths;
    for (const MachineState* state : {static_cast<const MachineState*>(&end_), &now})
      for (const auto& [path, bytes] : state->files) paths.insert(path);
    for (const std::string& path : paths) {
      const Bytes is = at(now.files, path), should = at(end_.files, path);
      const bool same = logs_.count(path) ? is.has_value() == should.has_value() : is == should;
      if (!same)
        violate(again + (is ? (should ? "not as unbroken: " : "extra: ") : "missing: ") + path +
                (is && should ? "\n  " + is->substr(0, 300) + "\n  instead of\n  " + should->substr(0, 300) : ""));
    }
    if (now.registry != end_.registry) violate(again + "the registry is not as after an unbroken run");
  }

  void violate(const std::string& what) { violations_.push_back(what); }

  std::string name_;
  MakeJob make_;
  std::vector<std::string> calls_;
  std::vector<size_t> writes_;
  MachineState end_;
  std::set<std::string> logs_;
  std::set<std::string> byEntries_;
  std::vector<std::string> violations_;
  size_t runs_ = 0;
};

using Way = InstallationRun::Way;

struct Job {
  const char* name;
  MakeJob make;
};

const std::vector<Job>& jobs() {
  static const std::vector<Job> all = {
      {"installation, registry", [] { return std::make_unique<InstallationRun>(Way::Registry); }},
      {"installation, INI", [] { return std::make_unique<InstallationRun>(Way::Ini); }},
      {"installation, portable", [] { return std::make_unique<InstallationRun>(Way::Portable); }},
      {"uninstallation", [] { return std::make_unique<UninstallationRun>(); }},
      {"file update, INI", [] { return std::make_unique<FileUpdateRun>(true); }},
      {"file update, registry", [] { return std::make_unique<FileUpdateRun>(true, FileUpdateRun::Storage::Registry); }},
      {"association rewrite", [] { return std::make_unique<AssociationRun>(); }},
      {"open-command rewrite", [] { return std::make_unique<OpenCommandRun>(); }},
      {"registry mode, registry appended to", [] { return std::make_unique<RegistryModeRun>(false, true); }},
      {"registry mode, INI", [] { return std::make_unique<RegistryModeRun>(true); }},
  };
  return all;
}

void report(const std::vector<std::string>& violations) {
  for (size_t i = 0; i < violations.size() && i < 400; ++i) ADD_FAILURE() << violations[i];
  if (violations.size() > 400) ADD_FAILURE() << "... " << violations.size() - 400 << " more";
}

TEST(CrashSweep, EmulatedOnly_EveryStoppedJobLeavesOldOrNewAndARerunFinishesIt) {
  const MachinesInMemory inMemory;
  const auto start = std::chrono::steady_clock::now();
  size_t runs = 0;
  std::vector<std::string> violations;
  std::set<std::string> kinds;
  // ORVEL_SWEEP_ONLY=<part of a job's name> sweeps only those jobs, to look into one.
  const char* only = std::getenv("ORVEL_SWEEP_ONLY");
  for (const Job& job : jobs()) {
    if (only && std::string(job.name).find(only) == std::string::npos) continue;
    CrashSweep sweep(job.name, job.make);
    const std::vector<std::string> found = sweep.run();
    violations.insert(violations.end(), found.begin(), found.end());
    runs += sweep.runs();
    kinds.insert(sweep.calls().begin(), sweep.calls().end());
    std::cout << "[ sweep    ] " << job.name << ": " << sweep.runs() << " stops\n";
  }
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "[ sweep    ] " << runs << " stops in " << seconds << " s, " << violations.size() << " violations\n";
  std::cout << "[ sweep    ] stopped before every call of";
  for (const std::string& kind : kinds) std::cout << " " << kind;
  std::cout << "\n";
  report(violations);
}

// The sweep itself is proved: each way of writing that loses data when a
// job is stopped, put back into the machine, makes it fail.
TEST(CrashSweep, EmulatedOnly_CatchesEveryUnsafeWayOfWriting) {
  const MachinesInMemory inMemory;
  struct Case {
    faults::Mutation mutation;
    const char* what;
    MakeJob job;
  };
  const Case cases[] = {
      {faults::Mutation::ReplaceDeletesFirst, "the update deletes the installed file, then moves the new one",
       [] { return std::make_unique<FileUpdateRun>(true); }},
      {faults::Mutation::FilesWrittenInPlace, "INI files written in place",
       [] { return std::make_unique<RegistryModeRun>(true); }},
      {faults::Mutation::RegistryWrittenInPlace, "registry.reg written in place",
       [] { return std::make_unique<RegistryModeRun>(false); }},
      {faults::Mutation::RegistryEndMarkSkipped, "an appended registry change without its end mark",
       [] { return std::make_unique<RegistryModeRun>(false, true); }},
  };
  for (const Case& c : cases) {
    faults::mutate(c.mutation);
    const std::vector<std::string> found = CrashSweep(c.what, c.job).run(true);
    faults::mutate(faults::Mutation::None);
    EXPECT_FALSE(found.empty()) << "the sweep misses: " << c.what;
    if (!found.empty()) std::cout << "[ caught   ] " << found.front() << "\n";
  }
}

}  // namespace
}  // namespace orvel
