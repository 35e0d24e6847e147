// The failure sweep: each job of the program is run once per platform call it
// makes, with that call failing (access denied, sharing violation, disk full,
// path not found in turn), and after every run the machine is checked for
// what must hold whatever fails: nothing outside the job's own places
// created, changed or deleted; no file of the distribution or of the update
// source lost; the installed files there in one version or the other; the
// registry and every INI file still readable; the removal batch file ending.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/fmx_utils.h"
#include "common/mem_ini_file.h"
#include "platform/posix/batch.h"
#include "platform/posix/fault_injection.h"
#include "platform/posix/machine.h"
#include "platform/posix/paths.h"
#include "platform/posix/registry_file.h"
#include "tests/scenario/installer_fixture.h"
#include "tests/scenario/updater_windows.h"

namespace orvel {
namespace {

namespace fs = std::filesystem;
namespace faults = posix::faults;

constexpr uint32_t kDiskFull = 112;
constexpr uint32_t kErrors[] = {err::kAccessDenied, err::kSharingViolation, kDiskFull, err::kPathNotFound};

// Every file on the machine's drives by its Windows path in upper case, with
// its bytes (the registry is compared on its own; the recycle bin and the
// shell log may take anything).
using Snapshot = std::map<Str, std::string>;

Snapshot snapshot(const test::TestMachine& machine) {
  const posix::Machine m = posix::Machine::current();
  Snapshot files;
  std::error_code ec;
  for (const char* drives : {"/drive_c", "/unc"})
  for (auto it = fs::recursive_directory_iterator(machine.root() + drives, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::ifstream in(it->path(), std::ios::binary);
    files[posix::upcased(m.windowsPath(it->path().string()))] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

bool below(const Str& path, const std::vector<Str>& places) {
  for (const Str& place : places)
    if (path.starts_with(posix::upcased(place))) return true;
  return false;
}

// Keys without values or subkeys: the parents that creating a key of the
// program makes on the way.
void pruneEmpty(posix::regfile::KeyNode& key) {
  for (posix::regfile::KeyNode& sub : key.subKeys) pruneEmpty(sub);
  std::erase_if(key.subKeys, [](const posix::regfile::KeyNode& sub) { return sub.values.empty() && sub.subKeys.empty(); });
}

// The registry without the keys a job may change.
posix::regfile::Hives registryOutside(const std::vector<std::pair<bool, std::vector<Str>>>& allowed) {
  const posix::Machine m = posix::Machine::current();
  posix::regfile::Hives hives;
  std::ifstream in(m.registryFile(), std::ios::binary);
  if (in) {
    const auto parsed =
        posix::regfile::parse(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    if (parsed)
      hives = *parsed;
    else
      ADD_FAILURE() << "registry.reg no longer parses";
  }
  for (const auto& [machineWide, path] : allowed) {
    posix::regfile::KeyNode& hive = machineWide ? hives.localMachine : hives.currentUser;
    std::vector<Str> parent(path.begin(), path.end() - 1);
    if (posix::regfile::KeyNode* key = hive.find(parent)) key->removeSubKey(path.back());
  }
  pruneEmpty(hives.currentUser);
  pruneEmpty(hives.localMachine);
  return hives;
}

const std::vector<std::pair<bool, std::vector<Str>>> kProgramKeys = {
    {true, {u"Software", u"OrvelDraw"}},          {false, {u"Software", u"OrvelDraw"}},
    {true, {u"Software", u"Classes", u"OrvelDraw"}}, {false, {u"Software", u"Classes", u"OrvelDraw"}},
    {true, {u"Software", u"Classes", u".od"}},     {false, {u"Software", u"Classes", u".od"}},
    {true, {u"Software", u"Microsoft", u"Windows", u"CurrentVersion", u"Uninstall", u"OrvelDraw"}},
};

std::string iniOf(const Str& user) {
  return "[User]\r\nHomeDir=" + toUtf8(user) + "\r\n[Orvel]\r\nLanguage=x\r\nPortableApplication=0\r\n";
}

// One run of a job on a fresh machine: prepared unarmed, run armed.
class JobRun {
 public:
  virtual ~JobRun() = default;
  virtual const test::TestMachine& machine() const = 0;
  virtual void run() = 0;
  // The places the job may change (Windows paths, folders with "\").
  virtual std::vector<Str> places() const = 0;
  // What must hold after the run besides the common checks.
  virtual void check(const Snapshot& before, const Snapshot& after) const = 0;
};

// Every file of `folder` in `before` is still there after, in some version,
// or (for a language file) kept under its versioned name.
void expectNoneLost(const Snapshot& before, const Snapshot& after, const Str& folder, const Str& version = {}) {
  const Str prefix = posix::upcased(folder);
  for (const auto& [path, bytes] : before) {
    if (!path.starts_with(prefix)) continue;
    const bool kept = after.count(path) ||
                      (!version.empty() && after.count(path.substr(0, path.size() - 4) + posix::upcased(version) + u".INI"));
    EXPECT_TRUE(kept) << "lost: " << toUtf8(path);
  }
}

void expectSame(const Snapshot& before, const Snapshot& after, const Str& file) {
  const Str key = posix::upcased(file);
  ASSERT_TRUE(before.count(key)) << toUtf8(file);
  EXPECT_TRUE(after.count(key) && after.at(key) == before.at(key)) << "not intact: " << toUtf8(file);
}

// The installation in one of its three ways, from <scratch>dist\.
class InstallationRun : public JobRun {
 public:
  enum class Way { Registry, Ini, Portable };
  explicit InstallationRun(Way way) : way_(way) {
    if (way == Way::Ini) {
      c_.w().act("select FSetup.RGRegOrIni 1");
      c_.w().act("set FSetup.EUserfolder " + toUtf8(c_.scratch() + u"Users\\anna\\Settings"));
      test::writeTestFile(c_.scratch() + u"Users\\anna\\Settings\\ODUser.ini", "[Einstellungen]\r\nFarbe=rot\r\n");
    }
    if (way == Way::Portable) c_.w().act("check FSetup.CBPortableApplication");
  }
  const test::TestMachine& machine() const override { return const_cast<test::InstallerCase&>(c_).machine(); }
  void run() override { c_.install(); }
  std::vector<Str> places() const override {
    std::vector<Str> places = {c_.target(), c_.desktopShortcut(), c_.startMenuShortcut()};
    return places;
  }
  void check(const Snapshot& before, const Snapshot& after) const override {
    for (const auto& [name, bytes] : test::standardDistribution()) expectSame(before, after, c_.dist() + name);
  }

 protected:
  Way way_;
  test::InstallerCase c_;
};

// The uninstallation by the installed copy of an INI installation.
class UninstallationRun : public JobRun {
 public:
  UninstallationRun() {
    c_.w().act("select FSetup.RGRegOrIni 1");
    c_.w().act("set FSetup.EUserfolder " + toUtf8(c_.scratch() + u"Users\\anna\\Settings"));
    c_.install();
    test::writeTestFile(c_.scratch() + u"Users\\anna\\Settings\\ODUser.ini", "[Einstellungen]\r\nFarbe=rot\r\n");
    c_.start(c_.target() + u"Setup.exe");
  }
  const test::TestMachine& machine() const override { return const_cast<test::InstallerCase&>(c_).machine(); }
  void run() override { c_.uninstall(); }
  std::vector<Str> places() const override {
    const Str settings = c_.scratch() + u"Users\\anna\\Settings\\";
    return {c_.target(),          c_.desktopShortcut(),         c_.startMenuShortcut(),
            TempDirectory() + u"RunOrvel.bat", settings + u"ODUser.ini", settings + u"ODOrvelCol.ini",
            settings + u"ODHTMLCol.ini"};
  }
  void check(const Snapshot& before, const Snapshot& after) const override {
    for (const auto& [name, bytes] : test::standardDistribution()) expectSame(before, after, c_.dist() + name);
    // The batch file, when there, is the one the run wrote, and its "del" can
    // delete the setup program once it has ended, so that its loop ends.
    const Str batch = TempDirectory() + u"RunOrvel.bat";
    if (!after.count(posix::upcased(batch)) || !FMemo->RemovalBatch) return;
    EXPECT_EQ(after.at(posix::upcased(batch)), *FMemo->RemovalBatch);
    const uint32_t attributes = files::getAttributes(c_.target() + u"Setup.exe");
    EXPECT_TRUE(attributes == files::kInvalidAttributes || !(attributes & files::kReadOnly)) << "endless batch file";
  }

 private:
  test::InstallerCase c_;
};

// A run of the updater with this command line (after the program's path).
class UpdaterRun : public JobRun {
 public:
  const test::TestMachine& machine() const override { return machine_; }
  void run() override {
    windows_ = std::make_unique<test::UpdaterWindows>(arguments_);
    try {
      FUpdater->MakeUpdate();
    } catch (const Error&) {
      // An error that escapes the run ends it, as the framework's handler does.
    }
  }
  Str inst() const { return machine_.scratch() + u"Orvel\\"; }
  Str src() const { return machine_.scratch() + u"Neue Version\\"; }
  Str ini() const { return inst() + u"ODMachine.INI"; }

 protected:
  test::TestMachine machine_;
  std::vector<Str> arguments_;
  std::unique_ptr<test::UpdaterWindows> windows_;
};

class FileUpdateRun : public UpdaterRun {
 public:
  FileUpdateRun() {
    test::writeFiles(inst(), {{u"OrvelDraw.exe", "exe 2.1"}, {u"Setup.exe", "setup 2.1"},
                              {u"languages\\english.ini", "en 2.1"}, {u"styles\\classic.ods", "classic 2.1"}});
    test::writeFiles(src(), {{u"OrvelDraw.exe", "exe 2.2"}, {u"Setup.exe", "setup 2.2"},
                             {u"languages\\english.ini", "en 2.2"}, {u"styles\\classic.ods", "classic 2.2"},
                             {u"img\\logo.png", "logo 2.2"}});
    test::writeTestFile(ini(), iniOf(u"Data"));
    // The installed setup program is older than the new one.
    const uint64_t thirtyDays = 30ull * 24 * 3600 * 10'000'000;
    (void)files::setLastWriteTime(inst() + u"Setup.exe", files::lastWriteTime(inst() + u"Setup.exe").value_or(0) - thirtyDays);
    arguments_ = {u"C:\\Orvel\\Setup.exe", u"-Update", inst(), src(), u"2.1", u"-INI", ini()};
  }
  std::vector<Str> places() const override { return {inst()}; }
  void check(const Snapshot& before, const Snapshot& after) const override {
    expectNoneLost(before, after, inst(), u"2.1");
    expectSame(before, after, ini());
  }
};

class AssociationRun : public UpdaterRun {
 public:
  AssociationRun() {
    test::writeTestFile(inst() + u"OrvelDraw.exe", "exe");
    arguments_ = {u"C:\\Orvel\\Setup.exe", u"-Update", inst() + u"OrvelDraw.exe", u"C:\\Temp\\registry\\", u".od True"};
  }
  std::vector<Str> places() const override { return {inst()}; }
  void check(const Snapshot& before, const Snapshot& after) const override {
    expectSame(before, after, inst() + u"OrvelDraw.exe");
  }
};

class RegistryModeRun : public UpdaterRun {
 public:
  explicit RegistryModeRun(bool iniStorage) : iniStorage_(iniStorage) {
    arguments_ = {u"C:\\Orvel\\Setup.exe", u"-Registry", u"Program|A|text|s#Program|B|2|i#Orvel|Language|y|s"};
    if (iniStorage) {
      test::writeTestFile(ini(), iniOf(u"Data"));
      arguments_.insert(arguments_.end(), {u"-INI", ini()});
    }
  }
  std::vector<Str> places() const override { return {ini()}; }
  void check(const Snapshot&, const Snapshot& after) const override {
    if (!iniStorage_) return;
    // The installation's own entries survive whatever the run managed to write.
    const Str key = posix::upcased(ini());
    ASSERT_TRUE(after.count(key)) << "the machine INI file is gone";
    MemIniFile now = MemIniFile::Empty(ini());
    now.LoadFromBytes(after.at(key));
    EXPECT_EQ(now.ReadString(u"User", u"HomeDir", u"-"), u"Data");
    EXPECT_EQ(now.ReadString(u"Orvel", u"PortableApplication", u"-"), u"0");
  }

 private:
  bool iniStorage_;
};

using MakeRun = std::function<std::unique_ptr<JobRun>()>;

// Runs the job once unarmed to count its calls, then once per call with
// that call failing; the number of failing runs.
size_t sweep(const char* name, const MakeRun& make) {
  size_t calls = 0;
  {
    std::unique_ptr<JobRun> job = make();
    faults::ScopedPlan counting(faults::Plan{"", 0, 0});
    job->run();
    calls = faults::counted();
  }
  EXPECT_GT(calls, 0u) << name;
  for (size_t n = 1; n <= calls; ++n) {
    std::unique_ptr<JobRun> job = make();
    const Snapshot before = snapshot(job->machine());
    const auto registryBefore = registryOutside(kProgramKeys);
    const uint32_t error = kErrors[n % std::size(kErrors)];
    std::string failed;
    {
      faults::ScopedPlan plan(faults::Plan{"", n, error});
      job->run();
      failed = faults::failedCall();
    }
    SCOPED_TRACE(std::string(name) + ": call " + std::to_string(n) + " (" + failed + ") failing with " +
                 std::to_string(error));
    const Snapshot after = snapshot(job->machine());
    const std::vector<Str> places = job->places();
    for (const auto& [path, bytes] : before)
      if (!below(path, places) && (!after.count(path) || after.at(path) != bytes))
        ADD_FAILURE() << "changed or deleted: " << toUtf8(path);
    for (const auto& [path, bytes] : after)
      if (!below(path, places) && !before.count(path)) ADD_FAILURE() << "created: " << toUtf8(path);
    const auto registryAfter = registryOutside(kProgramKeys);
    EXPECT_TRUE(registryAfter == registryBefore) << "a registry key outside the program's changed:\n"
                                                 << posix::regfile::write(registryBefore) << "\n---\n"
                                                 << posix::regfile::write(registryAfter);
    for (const auto& [path, bytes] : after)
      if (path.ends_with(u".INI")) {
        MemIniFile ini = MemIniFile::Empty(path);
        ini.LoadFromBytes(bytes);
        MemIniFile again = MemIniFile::Empty(path);
        again.LoadFromBytes(ini.SaveToBytes());
        EXPECT_EQ(again.Lines(), ini.Lines()) << "unreadable INI: " << toUtf8(path);
      }
    job->check(before, after);
  }
  std::cout << "[ sweep    ] " << name << ": " << calls << " runs\n";
  return calls;
}

// The sweep's machines live in memory where the host has a memory file
// system: a few hundred machines, each with its registry flushed to disk
// after every write, would otherwise wait for the disk most of the time.
class MachinesInMemory {
 public:
  MachinesInMemory() {
    const char* previous = std::getenv("TMPDIR");
    if (previous) previous_ = previous;
    hadPrevious_ = previous != nullptr;
    std::error_code ec;
    if (fs::is_directory("/dev/shm", ec)) setenv("TMPDIR", "/dev/shm", 1);
  }
  ~MachinesInMemory() {
    if (hadPrevious_)
      setenv("TMPDIR", previous_.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
  MachinesInMemory(const MachinesInMemory&) = delete;
  MachinesInMemory& operator=(const MachinesInMemory&) = delete;

 private:
  std::string previous_;
  bool hadPrevious_ = false;
};

TEST(FailureSweep, EmulatedOnly_EveryFailingCallKeepsWhatTheUserHas) {
  const MachinesInMemory inMemory;
  const auto start = std::chrono::steady_clock::now();
  size_t runs = 0;
  using Way = InstallationRun::Way;
  runs += sweep("installation, registry", [] { return std::make_unique<InstallationRun>(Way::Registry); });
  runs += sweep("installation, INI", [] { return std::make_unique<InstallationRun>(Way::Ini); });
  runs += sweep("installation, portable", [] { return std::make_unique<InstallationRun>(Way::Portable); });
  runs += sweep("uninstallation", [] { return std::make_unique<UninstallationRun>(); });
  runs += sweep("file update", [] { return std::make_unique<FileUpdateRun>(); });
  runs += sweep("association rewrite", [] { return std::make_unique<AssociationRun>(); });
  runs += sweep("registry mode, registry", [] { return std::make_unique<RegistryModeRun>(false); });
  runs += sweep("registry mode, INI", [] { return std::make_unique<RegistryModeRun>(true); });
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "[ sweep    ] " << runs << " runs in " << seconds << " s, "
            << testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count()
            << " violated invariants\n";
}

}  // namespace
}  // namespace orvel
