// The jobs that the failure sweep and the crash sweep run, each on a fresh
// emulated machine: prepared unarmed, then run with a plan armed.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/fmx_utils.h"
#include "common/mem_ini_file.h"
#include "platform/files.h"
#include "machine/paths.h"
#include "platform/registry.h"
#include "tests/support/installer_fixture.h"
#include "tests/support/scripted_windows.h"

namespace orvel::sweep {

namespace fs = std::filesystem;

// Every file on the machine's drives by its Windows path in upper case, with
// its bytes (the registry is compared on its own; the recycle bin and the
// shell log may take anything).
using Snapshot = std::map<Str, std::string>;

inline std::string iniOf(const Str& user) {
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

  // What a whole run promises to leave, as read through the platform: the
  // broken promises, none when kept.
  virtual std::vector<std::string> promises() const = 0;
  // Files whose text a run of the job again writes otherwise (its logs).
  virtual std::vector<Str> logs() const { return {}; }
  // Files the job writes entry by entry through the INI service, which are
  // then compared entry by entry rather than whole.
  virtual std::vector<Str> writtenByEntries() const { return {}; }
};

// The broken promises of a file's expected bytes (nothing: that it is absent).
inline void expectFile(std::vector<std::string>& broken, const Str& path, const std::optional<std::string>& bytes) {
  const std::optional<std::string> now = files::readFile(path);
  if (now != bytes) broken.push_back((bytes ? "not as promised: " : "still there: ") + toUtf8(path));
}

inline void expectRegistry(std::vector<std::string>& broken, reg::Root root, const Str& key, const Str& name,
                           const std::optional<reg::Value>& value) {
  const std::optional<reg::Value> now = test::registryValue(root, key, name);
  const bool same = now.has_value() == value.has_value() && (!now || (now->type == value->type && now->data == value->data));
  if (!same) broken.push_back("registry value not as promised: " + toUtf8(key) + "\\" + toUtf8(name));
}

// Every file of `folder` in `before` is still there after, in some version,
// or (for a language file) kept under its versioned name.
inline void expectNoneLost(const Snapshot& before, const Snapshot& after, const Str& folder, const Str& version = {}) {
  const Str prefix = formats::upcased(folder);
  for (const auto& [path, bytes] : before) {
    if (!path.starts_with(prefix)) continue;
    const bool kept = after.count(path) ||
                      (!version.empty() && after.count(path.substr(0, path.size() - 4) + formats::upcased(version) + u".INI"));
    EXPECT_TRUE(kept) << "lost: " << toUtf8(path);
  }
}

inline void expectSame(const Snapshot& before, const Snapshot& after, const Str& file) {
  const Str key = formats::upcased(file);
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
  std::vector<std::string> promises() const override {
    std::vector<std::string> broken;
    for (const Str name : {u"OrvelDraw.exe", u"Setup.exe", u"languages\\english.ini", u"styles\\dark.css"})
      expectFile(broken, c_.target() + name, test::standardDistribution().at(name));
    if (!files::fileExists(c_.target() + u"install.txt")) broken.push_back("no install.txt");
    if (way_ == Way::Registry) {
      if (!test::registryValue(reg::Root::LocalMachine, u"Software\\OrvelDraw\\Orvel", u"PortableApplication"))
        broken.push_back("no configuration in the registry");
    } else if (MemIniFile(c_.target() + u"ODMachine.INI").ReadString(u"Orvel", u"PortableApplication", u"") !=
               (way_ == Way::Portable ? u"1" : u"0")) {
      broken.push_back("no configuration in ODMachine.INI");
    }
    return broken;
  }
  std::vector<Str> logs() const override { return {c_.target() + u"install.txt"}; }
  std::vector<Str> writtenByEntries() const override { return {c_.target() + u"ODMachine.INI"}; }

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
    if (!after.count(formats::upcased(batch)) || !FMemo->RemovalBatch) return;
    EXPECT_EQ(after.at(formats::upcased(batch)), *FMemo->RemovalBatch);
    const uint32_t attributes = files::getAttributes(c_.target() + u"Setup.exe");
    EXPECT_TRUE(attributes == files::kInvalidAttributes || !(attributes & files::kReadOnly)) << "endless batch file";
  }
  std::vector<std::string> promises() const override {
    std::vector<std::string> broken;
    for (const Str name : {u"OrvelDraw.exe", u"ODMachine.INI", u"install.txt", u"languages\\english.ini"})
      expectFile(broken, c_.target() + name, std::nullopt);
    if (!files::fileExists(TempDirectory() + u"RunOrvel.bat")) broken.push_back("no RunOrvel.bat");
    return broken;
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
  enum class Storage { Ini, Registry };
  // `withUpdateEntries`: the store holds the entries that the update moves
  // or removes, so that it writes them; a read-only style is replaced too.
  explicit FileUpdateRun(bool withUpdateEntries = false, Storage storage = Storage::Ini)
      : withUpdateEntries_(withUpdateEntries), storage_(storage) {
    test::writeFiles(inst(), {{u"OrvelDraw.exe", "exe 2.1"}, {u"Setup.exe", "setup 2.1"},
                              {u"languages\\english.ini", "en 2.1"}, {u"styles\\classic.ods", "classic 2.1"}});
    test::writeFiles(src(), {{u"OrvelDraw.exe", "exe 2.2"}, {u"Setup.exe", "setup 2.2"},
                             {u"languages\\english.ini", "en 2.2"}, {u"styles\\classic.ods", "classic 2.2"},
                             {u"img\\logo.png", "logo 2.2"}});
    test::writeTestFile(ini(), iniOf(u"Data") + (withUpdateEntries ? "[Program]\r\nUpdate=5\r\nNextUpdate=7\r\n" : ""));
    if (withUpdateEntries) {
      // Large enough to be torn after its first 4 KiB.
      test::writeTestFile(inst() + u"OrvelDraw.exe", std::string(9000, 'o'));
      test::writeTestFile(src() + u"OrvelDraw.exe", std::string(10000, 'n'));
      test::writeTestFile(inst() + u"img\\logo.png", "logo 2.1");
      (void)files::setAttributes(inst() + u"styles\\classic.ods", files::kReadOnly);
    }
    if (withUpdateEntries && storage == Storage::Registry) {
      reg::Key program;
      if (!reg::Key::open(reg::Root::LocalMachine, test::kProgramKey, reg::kKeyAllAccess, reg::Open::OrCreate,
                          program) ||
          !program.setValue(u"Update", reg::makeDword(5)) || !program.setValue(u"NextUpdate", reg::makeDword(7)))
        throw std::runtime_error("cannot prepare the registry");
    }
    // The installed setup program is older than the new one.
    const uint64_t thirtyDays = 30ull * 24 * 3600 * 10'000'000;
    (void)files::setLastWriteTime(inst() + u"Setup.exe", files::lastWriteTime(inst() + u"Setup.exe").value_or(0) - thirtyDays);
    arguments_ = {u"C:\\Orvel\\Setup.exe", u"-Update", inst(), src(), u"2.1"};
    if (storage == Storage::Ini) arguments_.insert(arguments_.end(), {u"-INI", ini()});
  }
  std::vector<Str> places() const override { return {inst()}; }
  void check(const Snapshot& before, const Snapshot& after) const override {
    expectNoneLost(before, after, inst(), u"2.1");
    expectSame(before, after, ini());
  }
  std::vector<std::string> promises() const override {
    std::vector<std::string> broken;
    expectFile(broken, inst() + u"OrvelDraw.exe", files::readFile(src() + u"OrvelDraw.exe"));
    expectFile(broken, inst() + u"Setup.exe", std::string("setup 2.2"));
    expectFile(broken, inst() + u"languages\\english.ini", std::string("en 2.2"));
    expectFile(broken, inst() + u"languages\\english2.1.ini", std::string("en 2.1"));
    expectFile(broken, inst() + u"styles\\classic.ods", std::string("classic 2.2"));
    if (!withUpdateEntries_) return broken;
    expectFile(broken, inst() + u"img\\logo.png", std::string("logo 2.2"));
    if (storage_ == Storage::Ini) {
      if (MemIniFile(ini()).ValueExists(u"Program", u"Update")) broken.push_back("Update still in ODMachine.INI");
      return broken;
    }
    expectRegistry(broken, reg::Root::LocalMachine, test::kProgramKey, u"Update", std::nullopt);
    expectRegistry(broken, reg::Root::CurrentUser, test::kProgramKey, u"Update", reg::makeDword(5));
    expectRegistry(broken, reg::Root::CurrentUser, test::kProgramKey, u"NextUpdate", reg::makeDword(7));
    return broken;
  }
  std::vector<Str> logs() const override { return {inst() + u"update.txt"}; }
  std::vector<Str> writtenByEntries() const override { return {ini()}; }

 private:
  bool withUpdateEntries_;
  Storage storage_;
};

class AssociationRun : public UpdaterRun {
 public:
  AssociationRun() {
    test::writeTestFile(inst() + u"OrvelDraw.exe", "exe");
    arguments_ = {u"C:\\Orvel\\Setup.exe", u"-Update", inst() + u"OrvelDraw.exe", u"C:\\Temp\\registry\\", u".od True "};
  }
  std::vector<Str> places() const override { return {inst()}; }
  void check(const Snapshot& before, const Snapshot& after) const override {
    expectSame(before, after, inst() + u"OrvelDraw.exe");
  }
  std::vector<std::string> promises() const override {
    std::vector<std::string> broken;
    expectRegistry(broken, reg::Root::ClassesRoot, u".od", u"", reg::makeString(u"OrvelDraw"));
    return broken;
  }
  std::vector<Str> logs() const override { return {inst() + u"update.txt"}; }
};

// The open-command rewrite: the file class's open command below the machine.
class OpenCommandRun : public UpdaterRun {
 public:
  OpenCommandRun() {
    test::writeTestFile(inst() + u"OrvelDraw.exe", "exe");
    arguments_ = {u"C:\\Orvel\\Setup.exe", u"-Update", inst() + u"OrvelDraw.exe", u"C:\\Temp\\kxregistry\\",
                  u"&quot;C:\\Orvel\\OrvelDraw.exe&quot; &quot;%1&quot;"};
  }
  std::vector<Str> places() const override { return {inst()}; }
  void check(const Snapshot& before, const Snapshot& after) const override {
    expectSame(before, after, inst() + u"OrvelDraw.exe");
  }
  std::vector<std::string> promises() const override {
    std::vector<std::string> broken;
    expectRegistry(broken, reg::Root::LocalMachine, u"SOFTWARE\\Classes\\OrvelDraw\\Shell\\Open\\command", u"",
                   reg::makeString(u"\"C:\\Orvel\\OrvelDraw.exe\" \"%1\""));
    return broken;
  }
  std::vector<Str> logs() const override { return {inst() + u"update.txt"}; }
};

class RegistryModeRun : public UpdaterRun {
 public:
  // `largeRegistry`: the registry holds other settings, so many that the
  // changes are appended to it.
  explicit RegistryModeRun(bool iniStorage, bool largeRegistry = false) : iniStorage_(iniStorage) {
    if (largeRegistry) {
      reg::Key other;
      if (!reg::Key::open(reg::Root::CurrentUser, u"Software\\Other", reg::kKeyAllAccess, reg::Open::OrCreate, other))
        throw std::runtime_error("cannot fill the registry");
      for (int i = 0; i < 60; ++i)
        (void)other.setValue(u"value" + fromUtf8(std::to_string(i)), reg::makeString(Str(40, u'x')));
    }
    arguments_ = {u"C:\\Orvel\\Setup.exe", u"-Registry", test::kExampleSettingsList + u"#Orvel|Language|y|s"};
    if (iniStorage) {
      test::writeTestFile(ini(), iniOf(u"Data"));
      arguments_.insert(arguments_.end(), {u"-INI", ini()});
    }
  }
  std::vector<Str> places() const override { return {ini()}; }
  void check(const Snapshot&, const Snapshot& after) const override {
    if (!iniStorage_) return;
    // The installation's own entries survive whatever the run managed to write.
    const Str key = formats::upcased(ini());
    ASSERT_TRUE(after.count(key)) << "the machine INI file is gone";
    MemIniFile now = MemIniFile::Empty(ini());
    now.LoadFromBytes(after.at(key));
    EXPECT_EQ(now.ReadString(u"User", u"HomeDir", u"-"), u"Data");
    EXPECT_EQ(now.ReadString(u"Orvel", u"PortableApplication", u"-"), u"0");
  }
  std::vector<std::string> promises() const override {
    std::vector<std::string> broken;
    if (iniStorage_) {
      const MemIniFile now(ini());
      if (now.ReadString(u"Program", u"A", u"") != u"text" || now.ReadString(u"Program", u"B", u"") != u"12" ||
          now.ReadString(u"Orvel", u"Language", u"") != u"y" || now.ReadString(u"User", u"HomeDir", u"") != u"Data")
        broken.push_back("ODMachine.INI not as promised");
      return broken;
    }
    const Str base = u"Software\\OrvelDraw\\";
    expectRegistry(broken, reg::Root::LocalMachine, base + u"Program", u"A", reg::makeString(u"text"));
    expectRegistry(broken, reg::Root::LocalMachine, base + u"Program", u"B", reg::makeDword(12));
    expectRegistry(broken, reg::Root::LocalMachine, base + u"Orvel", u"Language", reg::makeString(u"y"));
    return broken;
  }
  // Each setting is written back on its own.
  std::vector<Str> writtenByEntries() const override { return {ini()}; }

 private:
  bool iniStorage_;
};

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

}  // namespace orvel::sweep
