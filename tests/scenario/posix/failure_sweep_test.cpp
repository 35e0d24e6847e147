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
#include "machine/batch.h"
#include "machine/fault_injection.h"
#include "machine/machine.h"
#include "machine/paths.h"
#include "formats/registry_file.h"
#include "tests/support/installer_fixture.h"
#include "tests/support/scripted_windows.h"
#include "tests/scenario/posix/sweep_jobs.h"

namespace orvel {
namespace {

namespace fs = std::filesystem;
namespace faults = posix::faults;
using namespace sweep;

constexpr uint32_t kDiskFull = 112;
constexpr uint32_t kErrors[] = {err::kAccessDenied, err::kSharingViolation, kDiskFull, err::kPathNotFound};

Snapshot snapshot(const test::TestMachine& machine) {
  const posix::Machine m = posix::Machine::current();
  Snapshot files;
  std::error_code ec;
  for (const char* drives : {"/drive_c", "/unc"})
  for (auto it = fs::recursive_directory_iterator(machine.root() + drives, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::ifstream in(it->path(), std::ios::binary);
    files[formats::upcased(m.windowsPath(it->path().string()))] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

bool below(const Str& path, const std::vector<Str>& places) {
  for (const Str& place : places)
    if (path.starts_with(formats::upcased(place))) return true;
  return false;
}

// Keys without values or subkeys: the parents that creating a key of the
// program makes on the way.
void pruneEmpty(regfile::KeyNode& key) {
  for (regfile::KeyNode& sub : key.subKeys) pruneEmpty(sub);
  std::erase_if(key.subKeys, [](const regfile::KeyNode& sub) { return sub.values.empty() && sub.subKeys.empty(); });
}

// The registry without the keys a job may change.
regfile::Hives registryOutside(const std::vector<std::pair<bool, std::vector<Str>>>& allowed) {
  const posix::Machine m = posix::Machine::current();
  regfile::Hives hives;
  std::ifstream in(m.registryFile(), std::ios::binary);
  if (in) {
    const auto parsed =
        regfile::parse(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    if (parsed)
      hives = *parsed;
    else
      ADD_FAILURE() << "registry.reg no longer parses";
  }
  for (const auto& [machineWide, path] : allowed) {
    regfile::KeyNode& hive = machineWide ? hives.localMachine : hives.currentUser;
    std::vector<Str> parent(path.begin(), path.end() - 1);
    if (regfile::KeyNode* key = hive.find(parent)) key->removeSubKey(path.back());
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
                                                 << regfile::write(registryBefore) << "\n---\n"
                                                 << regfile::write(registryAfter);
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
