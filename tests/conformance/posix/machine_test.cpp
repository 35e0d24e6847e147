// The emulated machine: where its root is, what machine.ini sets, and how
// Windows paths map onto the root and back.
#include "machine/machine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

namespace fs = std::filesystem;
using posix::Machine;
using test::TestMachine;
using MachineIni = std::map<std::string, std::string>;

// Sets or unsets an environment variable for one scope.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedVariable() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A temporary host folder, removed with everything in it.
class HostFolder {
 public:
  HostFolder() {
    path_ = (fs::temp_directory_path() / "orvel-host-XXXXXX").string();
    if (!mkdtemp(path_.data())) throw std::runtime_error("mkdtemp");
  }
  ~HostFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string readHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Machine, DefaultsOfAFreshMachine) {
  ScopedVariable lang("LANG", "C.UTF-8");
  ScopedVariable user("USER", "anna");
  TestMachine machine;
  Machine current = Machine::current();
  const posix::MachineSettings& settings = current.settings();
  EXPECT_EQ(settings.userName, Str(u"anna"));
  EXPECT_EQ(settings.langId, 0x0409);
  EXPECT_TRUE(settings.administrator);
  EXPECT_EQ(settings.ansiCodePage, 1252u);
  EXPECT_EQ(settings.oemCodePage, 850u);
  EXPECT_EQ(sys::tempPath(255), Str(u"C:\\Users\\anna\\AppData\\Local\\Temp\\"));
  struct Row {
    int csidl;
    Str folder;
  };
  const std::vector<Row> rows = {
      {shell::kCsidlProgramFiles, u"C:\\Program Files"},                                        // 1
      {shell::kCsidlCommonDesktopDirectory, u"C:\\Users\\Public\\Desktop"},                     // 2
      {shell::kCsidlDesktopDirectory, u"C:\\Users\\anna\\Desktop"},                             // 3
      {shell::kCsidlCommonStartMenu, u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu"},       // 4
      {shell::kCsidlStartMenu, u"C:\\Users\\anna\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},  // 5
      {shell::kCsidlAppData, u"C:\\Users\\anna\\AppData\\Roaming"},                             // 6
      {0x05, u""},  // 7 a folder the machine does not have (CSIDL_PERSONAL)
  };
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(toUtf8(shell::specialFolder(rows[i].csidl)), toUtf8(rows[i].folder)) << "row " << i + 1;
  // A new machine has its folders.
  EXPECT_TRUE(fs::is_directory(machine.root() + "/drive_c/Users/Public/Desktop"));
  EXPECT_TRUE(fs::is_directory(machine.root() + "/drive_c/Users/anna/AppData/Local/Temp"));
}

TEST(Machine, AFileCallOnAMachineWithoutDriveCGivesItItsFolders) {
  // Whatever drive the first call names, and whether or not it finds its file.
  const std::vector<Str> paths = {u"C:\\Windows\\win.ini", u"D:\\setup\\Setup.exe", u"C:\\"};
  for (size_t i = 0; i < paths.size(); ++i) {
    TestMachine machine;
    fs::remove_all(machine.root() + "/drive_c");
    EXPECT_FALSE(files::fileExists(paths[i])) << "row " << i + 1;
    EXPECT_TRUE(fs::is_directory(machine.root() + "/drive_c/Program Files")) << "row " << i + 1;
  }
}

TEST(Machine, MachineIniOverridesTheDefaults) {
  struct Row {
    const char* key;
    const char* value;
    std::function<bool()> holds;
  };
  const std::vector<Row> rows = {
      {"Machine.UserName", "Bernd", [] { return sys::networkUserName(256) == Str(u"Bernd"); }},      // 1
      {"Machine.UserName", "", [] { return !sys::networkUserName(256).has_value(); }},               // 2 fails
      {"Machine.LangId", "0x0407", [] { return sys::userDefaultLangId() == 0x0407; }},              // 3 hex
      {"Machine.LangId", "3082", [] { return sys::userDefaultLangId() == 0x0C0A; }},                // 4 decimal
      {"Machine.LangId", "german", [] { return sys::userDefaultLangId() == 0x0409; }},              // 5 not a number
      {"Machine.Administrator", "0", [] { return !sys::isAdministrator(); }},                        // 6
      {"Machine.AnsiCodePage", "1250", [] { return sys::ansiCodePage() == 1250; }},                 // 7
      {"Machine.OemCodePage", "437", [] { return sys::oemCodePage() == 437; }},                     // 8
      {"Folders.Temp", "D:\\Temp", [] { return sys::tempPath(255) == Str(u"D:\\Temp\\"); }},        // 9 gets its "\"
      {"Folders.Temp", "", [] { return !sys::tempPath(255).has_value(); }},                         // 10 unavailable
      {"Folders.Desktop", "C:\\Desk\\", [] { return shell::specialFolder(shell::kCsidlDesktopDirectory) == u"C:\\Desk"; }},  // 11
      {"Folders.CommonDesktop", "", [] { return shell::specialFolder(shell::kCsidlCommonDesktopDirectory).empty(); }},  // 12
  };
  ScopedVariable lang("LANG", "C");
  for (size_t i = 0; i < rows.size(); ++i) {
    // Written once the test machine stands: it needs a Temp folder itself.
    TestMachine machine;
    std::string key = rows[i].key;
    std::ofstream(machine.root() + "/machine.ini", std::ios::app)
        << "[" << key.substr(0, key.find('.')) << "]\n" << key.substr(key.find('.') + 1) << "=" << rows[i].value << "\n";
    EXPECT_TRUE(rows[i].holds()) << "row " << i + 1;
  }
}

TEST(Machine, LanguageFollowsLangUnlessMachineIniSaysOtherwise) {
  struct Row {
    const char* lang;
    uint16_t langId;
  };
  const std::vector<Row> rows = {
      {"de_DE.UTF-8", 0x0407},  // 1 German
      {"de_AT", 0x0407},        // 2 every German region
      {"es_ES.UTF-8", 0x0C0A},  // 3 Spanish
      {"nl_BE", 0x0413},        // 4 Dutch
      {"fr_FR.UTF-8", 0x0409},  // 5 otherwise English
      {nullptr, 0x0409},        // 6 no $LANG
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    ScopedVariable lang("LANG", rows[i].lang);
    TestMachine machine;
    EXPECT_EQ(sys::userDefaultLangId(), rows[i].langId) << "row " << i + 1;
  }
  ScopedVariable lang("LANG", "de_DE.UTF-8");
  TestMachine machine(MachineIni{{"Machine.LangId", "0x0413"}});
  EXPECT_EQ(sys::userDefaultLangId(), 0x0413);
}

TEST(Machine, RootComesFromTheEnvironment) {
  HostFolder host;
  ScopedVariable machine("ORVEL_MACHINE", nullptr);
  {
    // $XDG_DATA_HOME/orvel-machine, created with its machine.ini and drive C:.
    ScopedVariable data("XDG_DATA_HOME", (host.path() + "/data").c_str());
    EXPECT_EQ(Machine::current().root(), host.path() + "/data/orvel-machine");
    EXPECT_NE(readHostFile(host.path() + "/data/orvel-machine/machine.ini").find("[Machine]"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(host.path() + "/data/orvel-machine/drive_c/Program Files"));
  }
  {
    // Without it, below $HOME.
    ScopedVariable data("XDG_DATA_HOME", nullptr);
    ScopedVariable home("HOME", host.path().c_str());
    EXPECT_EQ(Machine::current().root(), host.path() + "/.local/share/orvel-machine");
  }
  {
    // $ORVEL_MACHINE first.
    ScopedVariable explicitRoot("ORVEL_MACHINE", (host.path() + "/m").c_str());
    EXPECT_EQ(Machine::current().root(), host.path() + "/m");
  }
}

TEST(Machine, EachCallSeesTheEnvironmentAsItIsThen) {
  // Each variable the machine depends on, set anew after a call, is seen at
  // the next one; a variable whose name begins like it, set before it, never is.
  HostFolder host;
  const std::string h = host.path();
  TestMachine machine;  // the root while ORVEL_MACHINE stays
  auto root = [] { return Machine::current().root(); };
  auto langId = [] { return std::to_string(sys::userDefaultLangId()); };
  auto user = [] { return toUtf8(sys::networkUserName(256).value_or(u"-")); };
  struct Row {
    const char* name;
    const char* lookAlike;
    std::vector<std::pair<const char*, std::string>> others;  // the other variables meanwhile ("-": unset)
    std::function<std::string()> seen;
    std::vector<std::pair<std::string, std::string>> values;  // set, then seen
  };
  const std::vector<Row> rows = {
      {"ORVEL_MACHINE", "ORVEL_MACHINES", {{"XDG_DATA_HOME", h + "/data"}}, root,  // 1
       {{h + "/a", h + "/a"}, {h + "/b", h + "/b"}, {"", h + "/data/orvel-machine"}}},
      {"LANG", "LANGUAGE", {}, langId, {{"nl_NL", "1043"}, {"es_ES.UTF-8", "3082"}, {"", "1033"}}},  // 2
      {"USER", "USERNAME", {}, user, {{"carla", "carla"}, {"dora", "dora"}, {"", "user"}}},          // 3
      // 4 an empty ORVEL_MACHINE is none, whatever comes after it
      {"XDG_DATA_HOME", "XDG_DATA_HOMES",
       {{"ORVEL_MACHINE", ""}, {"LANG", "C"}, {"USER", "eva"}, {"HOME", h + "/home"}}, root,
       {{h + "/x", h + "/x/orvel-machine"},
        {h + "/y", h + "/y/orvel-machine"},
        {"", h + "/home/.local/share/orvel-machine"}}},
      {"HOME", "HOMEDRIVE", {{"ORVEL_MACHINE", ""}, {"LANG", "C"}, {"USER", "eva"}, {"XDG_DATA_HOME", "-"}}, root,  // 5
       {{h + "/h1", h + "/h1/.local/share/orvel-machine"}, {h + "/h2", h + "/h2/.local/share/orvel-machine"}}},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    std::vector<std::unique_ptr<ScopedVariable>> others;
    for (const auto& [name, value] : rows[i].others)
      others.push_back(std::make_unique<ScopedVariable>(name, value == "-" ? nullptr : value.c_str()));
    ScopedVariable variable(rows[i].name, nullptr);
    ScopedVariable lookAlike(rows[i].lookAlike, (h + "/wrong").c_str());
    for (size_t k = 0; k < rows[i].values.size(); ++k) {
      setenv(rows[i].name, rows[i].values[k].first.c_str(), 1);
      EXPECT_EQ(rows[i].seen(), rows[i].values[k].second) << "row " << i + 1 << " value " << k + 1;
    }
  }
}

TEST(Machine, AMachineIniChangedBetweenCallsIsReadAgain) {
  // Rewritten in place right after the last read, or once that read has
  // settled, to the same size or another.
  TestMachine machine;
  struct Row {
    const char* langId;
    bool settled;
    uint16_t seen;
  };
  const std::vector<Row> rows = {
      {"0x0407", false, 0x0407},  // 1
      {"0x0413", false, 0x0413},  // 2 the same size at once
      {"0x0C0A", true, 0x0C0A},   // 3 the same size later
      {"1043", true, 0x0413},     // 4 shorter
      {"0x0407", false, 0x0407},  // 5
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].settled) {
      std::this_thread::sleep_for(std::chrono::milliseconds(80));
      sys::userDefaultLangId();
    }
    std::ofstream(machine.root() + "/machine.ini", std::ios::binary) << "[Machine]\nLangId=" << rows[i].langId << "\n";
    EXPECT_EQ(sys::userDefaultLangId(), rows[i].seen) << "row " << i + 1;
  }
}

TEST(Machine, HostPathsOfWindowsPaths) {
  HostFolder host;
  const std::string& r = host.path();
  fs::create_directories(r + "/drive_c/Program Files/OrvelDraw");
  fs::create_directories(r + "/unc/Server/Share/Setup");
  const std::string longName(150, 'L');  // longer than a name usually is
  std::ofstream(r + "/drive_c/Program Files/OrvelDraw/" + longName + ".txt").put('x');
  std::string deep;  // more names than a path usually has
  std::string deepHost;
  for (int i = 1; i <= 40; ++i) {
    deep += "\\n" + std::to_string(i);
    if (i < 40) deepHost += "/n" + std::to_string(i);
  }
  Machine machine(r);
  struct Row {
    Str windows;
    std::optional<std::string> host;
  };
  const std::vector<Row> rows = {
      {u"C:\\", r + "/drive_c"},                                                      // 1 a drive
      {u"c:", r + "/drive_c"},                                                        // 2 lower case, no "\"
      {u"C:\\PROGRAM FILES\\orveldraw\\New File.txt", r + "/drive_c/Program Files/OrvelDraw/New File.txt"},  // 3 existing parts keep their case
      {u"C:\\Program Files\\", r + "/drive_c/Program Files/"},                        // 4 the trailing separator stays
      {u"D:\\x", r + "/drive_d/x"},                                                   // 5 any drive
      {u"C:/Program Files/x", r + "/drive_c/Program Files/x"},                       // 6 forward slashes
      {u"C:\\a\\..\\b\\.\\c", r + "/drive_c/b/c"},                                    // 7 . and ..
      {u"C:\\..\\..\\b", r + "/drive_c/b"},                                           // 8 never above the drive
      {u"\\\\server\\share\\setup\\Setup.exe", r + "/unc/Server/Share/Setup/Setup.exe"},  // 9 UNC
      {u"\\\\?\\C:\\x", r + "/drive_c/x"},                                            // 10 long-path prefix
      {u"\\\\?\\UNC\\server\\share\\x", r + "/unc/Server/Share/x"},                   // 11
      {u"Z:\\usr\\bin", "/usr/bin"},                                                  // 12 Z: is the host
      {u"Z:\\", "/"},                                                                 // 13
      {u"relative\\x", std::nullopt},                                                 // 14 not absolute
      {u"\\x", std::nullopt},                                                         // 15 no volume
      {u"C:x", std::nullopt},                                                         // 16 drive-relative
      {u"\\\\server", std::nullopt},                                                  // 17 no share
      {u"", std::nullopt},                                                            // 18
      // 19 names beyond ASCII, longer in UTF-8, with names and a ".." after them
      {u"C:\\\u65E5\u672C\u8A9E\u306E\u30D5\u30A9\u30EB\u30C0\\abcdefghijklmnop\\..\\Stra\u00DFe.txt",
       r + "/drive_c/" + toUtf8(u"\u65E5\u672C\u8A9E\u306E\u30D5\u30A9\u30EB\u30C0") + "/" + toUtf8(u"Stra\u00DFe.txt")},
      {u"\\\\server\\share\\..\\..\\x", r + "/unc/Server/Share/x"},  // 20 never above the share
      {u"C:\\a\\\\b\\.", r + "/drive_c/a/b"},                    // 21 empty names, a last "."
      {fromUtf8("C:\\PROGRAM FILES\\OrvelDraw\\" + std::string(150, 'l') + ".TXT"),
       r + "/drive_c/Program Files/OrvelDraw/" + longName + ".txt"},                  // 22 a long name in another case
      {fromUtf8("C:" + deep + "\\..\\x"), r + "/drive_c" + deepHost + "/x"},         // 23 many names
      {u"//?/unc/server/share/x", r + "/unc/Server/Share/x"},                      // 24 the prefix with slashes
      {u"\\\\.\\UNC/server\\share", r + "/unc/Server/Share"},                   // 25
      {u"\\\\?\\UNC\\server", std::nullopt},                                      // 26 no share
  };
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(machine.hostPath(rows[i].windows), rows[i].host) << "row " << i + 1;
}

TEST(Machine, WindowsPathsOfHostPaths) {
  HostFolder host;
  const std::string& r = host.path();
  Machine machine(r);
  struct Row {
    std::string host;
    Str windows;
  };
  const std::vector<Row> rows = {
      {r + "/drive_c", u"C:\\"},                                   // 1
      {r + "/drive_c/Program Files/x.exe", u"C:\\Program Files\\x.exe"},  // 2
      {r + "/drive_d/", u"D:\\"},                                  // 3
      {r + "/unc/server/share/a/b", u"\\\\server\\share\\a\\b"},  // 4
      {r + "/unc/server/share", u"\\\\server\\share"},             // 5
      {"/usr/bin/env", u"Z:\\usr\\bin\\env"},                      // 6 outside the root
      {"/", u"Z:\\"},                                              // 7
      {r + "/registry.reg", u"Z:" + fromUtf8(r) + u"\\registry.reg"},  // 8 the root itself is no drive
      {r + "/drive_c/a/../b", u"C:\\b"},                           // 9
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    Str expected = rows[i].windows;
    for (char16_t& c : expected)
      if (c == u'/') c = u'\\';
    EXPECT_EQ(toUtf8(machine.windowsPath(rows[i].host)), toUtf8(expected)) << "row " << i + 1;
  }
}

TEST(Machine, ProgramPathAndArgumentZeroAreWindowsPaths) {
  TestMachine machine;
  const Str module = sys::modulePath();
  EXPECT_EQ(module.rfind(u"Z:\\", 0), 0u) << toUtf8(module);
  EXPECT_EQ(posix::Machine::current().hostPath(module), fs::canonical("/proc/self/exe").string());
  const std::vector<Str> arguments = sys::commandLineArguments();
  ASSERT_FALSE(arguments.empty());
  EXPECT_EQ(arguments[0].find(u'/'), Str::npos) << toUtf8(arguments[0]);
}

}  // namespace
}  // namespace orvel
