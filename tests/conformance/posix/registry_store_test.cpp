// The emulated machine's registry as a file: its text form, the lock that
// keeps processes from losing each other's changes, the atomic replacement,
// what a machine without administrator rights may write, damaged files; and
// the INI service's use of the machine's ANSI code page.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/profile.h"
#include "platform/registry.h"
#include "tests/support/test_machine.h"

namespace orvel::reg {
namespace {

using test::TestMachine;

const Str kBase = u"Software\\OrvelDraw";

std::string readHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeHostFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class RegistryStoreTest : public testing::Test {
 protected:
  explicit RegistryStoreTest(std::map<std::string, std::string> ini = {}) : machine_(ini) {}
  void SetUp() override {
    if (!TestMachine::emulated()) GTEST_SKIP() << "the emulated machine's registry file";
  }
  std::string registryFile() const { return machine_.root() + "/registry.reg"; }
  std::string registryText() const { return readHostFile(registryFile()); }
  static Result set(Root root, const Str& path, const Str& name, const Value& value) {
    Key key;
    Result r = Key::open(root, path, kKeyAllAccess, true, key);
    return r ? key.setValue(name, value) : r;
  }
  static Str stringAt(Root root, const Str& path, const Str& name) {
    Key key;
    Value value;
    if (!Key::open(root, path, kKeyRead, false, key) || !key.queryValue(name, value)) return u"<none>";
    return stringOf(value);
  }

  TestMachine machine_;
};

// Changes made through the service read as a regedit export, both hives,
// keys in tree order.
TEST_F(RegistryStoreTest, EmulatedOnly_FileIsARegeditExport) {
  ASSERT_TRUE(set(Root::LocalMachine, kBase + u"\\Orvel", u"PortableApplication", makeDword(0)).ok());
  ASSERT_TRUE(set(Root::LocalMachine, kBase + u"\\Orvel", u"Language", makeString(u"C:\\O\\english.ini")).ok());
  ASSERT_TRUE(set(Root::CurrentUser, kBase + u"\\Program", u"Update", makeString(u"1\r\n")).ok());
  ASSERT_TRUE(set(Root::ClassesRoot, u".od", u"", makeString(u"OrvelDraw")).ok());
  EXPECT_EQ(registryText(),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\OrvelDraw]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\OrvelDraw\\Program]\r\n"
            "\"Update\"=hex(1):31,00,0d,00,0a,00,00,00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Classes]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.od]\r\n"
            "@=\"OrvelDraw\"\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw\\Orvel]\r\n"
            "\"Language\"=\"C:\\\\O\\\\english.ini\"\r\n"
            "\"PortableApplication\"=dword:00000000\r\n\r\n");
}

// A file written by hand (LF line ends, no signature, parents not listed) is
// read; lines it cannot read are passed over, and the next change writes the
// file anew without them.
TEST_F(RegistryStoreTest, EmulatedOnly_HandWrittenAndDamagedFiles) {
  writeHostFile(registryFile(),
                "[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw\\Orvel]\n"
                "\"Language\"=\"de.ini\"\n"
                "\"Broken\"=hex:zz\n"
                "\x01\xff garbage \"=\n"
                "[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw\\Unclosed\n"
                "\"Lost\"=\"x\"\n"
                "[HKEY_CURRENT_USER\\Software\\OrvelDraw\\Program]\n"
                "\"NextUpdate\"=dword:0000002a\n");
  EXPECT_EQ(stringAt(Root::LocalMachine, kBase + u"\\orvel", u"language"), u"de.ini");
  Key program;
  ASSERT_TRUE(Key::open(Root::CurrentUser, kBase + u"\\Program", kKeyRead, false, program).ok());
  Value value;
  ASSERT_TRUE(program.queryValue(u"NextUpdate", value).ok());
  EXPECT_EQ(dwordOf(value), 42u);
  Key orvel;
  ASSERT_TRUE(Key::open(Root::LocalMachine, kBase, kKeyRead, false, orvel).ok());
  std::vector<Str> names;
  ASSERT_TRUE(orvel.subKeyNames(names).ok());
  EXPECT_EQ(names, std::vector<Str>{u"Orvel"});

  ASSERT_TRUE(set(Root::CurrentUser, kBase, u"x", makeDword(1)).ok());
  EXPECT_EQ(registryText().find("garbage"), std::string::npos);
  EXPECT_EQ(registryText().find("Broken"), std::string::npos);
  EXPECT_NE(registryText().find("\"Language\"=\"de.ini\"\r\n"), std::string::npos);
}

// A change replaces the file by renaming a new one over it: a reader that
// has the old file open goes on reading it whole, and no temporary file is
// left behind.
TEST_F(RegistryStoreTest, EmulatedOnly_ChangeReplacesTheFileAtomically) {
  ASSERT_TRUE(set(Root::CurrentUser, kBase, u"first", makeDword(1)).ok());
  const std::string before = registryText();
  int fd = ::open(registryFile().c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(set(Root::CurrentUser, kBase, u"second", makeDword(2)).ok());
  std::string old(before.size() + 100, '\0');
  ssize_t n = ::pread(fd, old.data(), old.size(), 0);
  ::close(fd);
  EXPECT_EQ(old.substr(0, n > 0 ? static_cast<size_t>(n) : 0), before);
  EXPECT_NE(registryText().find("\"second\"=dword:00000002"), std::string::npos);
  for (const auto& entry : std::filesystem::directory_iterator(machine_.root())) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.rfind("registry.reg", 0) != 0 || name == "registry.reg" || name == "registry.reg.lock")
        << "left behind: " << name;
  }
}

// A change waits while another process holds the registry's lock.
TEST_F(RegistryStoreTest, EmulatedOnly_ChangesWaitForTheLock) {
  int lock = ::open((registryFile() + ".lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    EXPECT_TRUE(set(Root::CurrentUser, kBase, u"waited", makeDword(1)).ok());
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(done);
  EXPECT_EQ(registryText().find("waited"), std::string::npos);
  ::close(lock);
  writer.join();
  EXPECT_NE(registryText().find("\"waited\"=dword:00000001"), std::string::npos);
}

// Processes that change the registry at the same time lose nothing.
TEST_F(RegistryStoreTest, EmulatedOnly_ConcurrentProcessesLoseNoChange) {
  constexpr int kProcesses = 4;
  constexpr int kValues = 20;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int v = 0; v < kValues; ++v) {
        Str name = fromUtf8("p" + std::to_string(p) + "v" + std::to_string(v));
        ok = ok && set(Root::CurrentUser, kBase + u"\\Concurrent", name, makeDword(v)).ok();
      }
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Key key;
  ASSERT_TRUE(Key::open(Root::CurrentUser, kBase + u"\\Concurrent", kKeyRead, false, key).ok());
  std::vector<Str> names;
  ASSERT_TRUE(key.valueNames(names).ok());
  EXPECT_EQ(names.size(), static_cast<size_t>(kProcesses * kValues));
}

class NonAdministratorTest : public RegistryStoreTest {
 protected:
  NonAdministratorTest() : RegistryStoreTest({{"Machine.Administrator", "0"}}) {}
  void SetUp() override {
    RegistryStoreTest::SetUp();
    writeHostFile(registryFile(),
                  "Windows Registry Editor Version 5.00\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw\\Orvel]\r\n"
                  "\"Language\"=\"de.ini\"\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.od]\r\n"
                  "@=\"OrvelDraw\"\r\n\r\n");
  }
};

// Without administrator rights the machine hive can be read, and every way of
// writing it is refused with access denied, also through HKEY_CLASSES_ROOT.
TEST_F(NonAdministratorTest, EmulatedOnly_MachineHiveIsReadOnly) {
  const std::string before = registryText();
  EXPECT_EQ(stringAt(Root::LocalMachine, kBase + u"\\Orvel", u"Language"), u"de.ini");
  Key key;
  EXPECT_EQ(Key::open(Root::LocalMachine, kBase + u"\\Orvel", kKeyWrite, false, key).error, err::kAccessDenied);
  EXPECT_EQ(Key::open(Root::LocalMachine, kBase + u"\\Orvel", kKeyAllAccess, true, key).error, err::kAccessDenied);
  EXPECT_EQ(Key::open(Root::LocalMachine, kBase + u"\\New", kKeyRead, true, key).error, err::kAccessDenied);
  EXPECT_EQ(deleteKey(Root::LocalMachine, kBase + u"\\Orvel").error, err::kAccessDenied);
  EXPECT_EQ(Key::open(Root::ClassesRoot, u".od", kKeyAllAccess, false, key).error, err::kAccessDenied);
  EXPECT_EQ(Key::open(Root::ClassesRoot, u"OrvelDraw", kKeyAllAccess, true, key).error, err::kAccessDenied);
  EXPECT_EQ(deleteKey(Root::ClassesRoot, u".od").error, err::kAccessDenied);
  EXPECT_EQ(registryText(), before);

  // The user's hive, and a user's class key through the classes root, stay writable.
  EXPECT_TRUE(set(Root::CurrentUser, kBase, u"x", makeDword(1)).ok());
  ASSERT_TRUE(set(Root::CurrentUser, u"Software\\Classes\\.od", u"", makeString(u"Mine")).ok());
  EXPECT_TRUE(set(Root::ClassesRoot, u".od", u"", makeString(u"Changed")).ok());
  EXPECT_EQ(stringAt(Root::CurrentUser, u"Software\\Classes\\.od", u""), u"Changed");
  EXPECT_TRUE(deleteKey(Root::ClassesRoot, u".od").ok());
  EXPECT_EQ(stringAt(Root::ClassesRoot, u".od", u""), u"OrvelDraw");
}

// A key opened for writing while the user was an administrator can no
// longer be written once the machine says otherwise.
TEST_F(RegistryStoreTest, EmulatedOnly_RightsAreCheckedOnEveryWrite) {
  Key key;
  ASSERT_TRUE(Key::open(Root::LocalMachine, kBase, kKeyAllAccess, true, key).ok());
  ASSERT_TRUE(key.setValue(u"v", makeDword(1)).ok());
  writeHostFile(machine_.root() + "/machine.ini", "[Machine]\nAdministrator=0\nSleepScale=0\n");
  EXPECT_EQ(key.setValue(u"v", makeDword(2)).error, err::kAccessDenied);
  EXPECT_EQ(key.deleteValue(u"v").error, err::kAccessDenied);
  Key child;
  EXPECT_EQ(Key::open(key, u"Child", kKeyAllAccess, true, child).error, err::kAccessDenied);
  EXPECT_EQ(key.deleteSubKey(u"").error, err::kAccessDenied);
  Value value;
  ASSERT_TRUE(key.queryValue(u"v", value).ok());
  EXPECT_EQ(dwordOf(value), 1u);
}

// INI text without a byte-order mark is read and written in the machine's
// ANSI code page.
TEST(ProfileCodePage, EmulatedOnly_MachineCodePageIsUsed) {
  TestMachine machine(std::map<std::string, std::string>{{"Machine.AnsiCodePage", "850"}});
  if (!TestMachine::emulated()) GTEST_SKIP() << "machine.ini sets the code page";
  const Str file = machine.scratch() + u"cp.ini";
  test::writeTestFile(file, "[A]\r\nk=\x84\r\n");  // a-umlaut in 850
  EXPECT_EQ(profile::readString(file, u"A", u"k", u""), u"\u00e4");
  ASSERT_TRUE(profile::writeString(file, u"A", u"q", u"\u00f6").ok());
  EXPECT_EQ(test::readTestFile(file), "[A]\r\nk=\x84\r\nq=\x94\r\n");
}

}  // namespace
}  // namespace orvel::reg
