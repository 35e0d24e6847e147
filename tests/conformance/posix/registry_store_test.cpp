// The emulated machine's registry as a file: its text form, the lock that
// keeps processes from losing each other's changes, the atomic replacement,
// what a machine without administrator rights may write, damaged files; and
// the INI service's use of the machine's ANSI code page.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
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

// The registry file's text in UTF-8; the machine writes it in UTF-16LE with
// its byte-order mark, as regedit does.
std::string textOf(const std::string& bytes) {
  if (bytes.rfind("\xFF\xFE", 0) != 0) return bytes;
  Str text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  return toUtf8(text);
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
  std::string registryBytes() const { return readHostFile(registryFile()); }
  std::string registryText() const { return textOf(registryBytes()); }
  static Result set(Root root, const Str& path, const Str& name, const Value& value) {
    Key key;
    Result r = Key::open(root, path, kKeyAllAccess, reg::Open::OrCreate, key);
    return r ? key.setValue(name, value) : r;
  }
  static Str stringAt(Root root, const Str& path, const Str& name) {
    Key key;
    Value value;
    if (!Key::open(root, path, kKeyRead, reg::Open::Existing, key) || !key.queryValue(name, value)) return u"<none>";
    return stringOf(value);
  }

  TestMachine machine_;
};

// Changes made through the service read as a regedit export, both hives,
// keys in tree order, in UTF-16LE after its byte-order mark, ending with the
// comment that marks a whole change.
TEST_F(RegistryStoreTest, EmulatedOnly_FileIsARegeditExport) {
  ASSERT_TRUE(set(Root::LocalMachine, kBase + u"\\Orvel", u"PortableApplication", makeDword(0)).ok());
  ASSERT_TRUE(set(Root::LocalMachine, kBase + u"\\Orvel", u"Language", makeString(u"C:\\O\\english.ini")).ok());
  ASSERT_TRUE(set(Root::CurrentUser, kBase + u"\\Program", u"Update", makeString(u"1\r\n")).ok());
  ASSERT_TRUE(set(Root::ClassesRoot, u".od", u"", makeString(u"OrvelDraw")).ok());
  EXPECT_EQ(registryBytes().substr(0, 4), std::string("\xFF\xFEW\0", 4));
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
            "\"PortableApplication\"=dword:00000000\r\n\r\n"
            ";orvel: end of change\r\n");
}

// A file written by hand (LF line ends, no signature, parents not listed,
// UTF-8) is read, and the next change writes it in the machine's own form.
TEST_F(RegistryStoreTest, EmulatedOnly_HandWrittenFile) {
  writeHostFile(registryFile(),
                "[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw\\Orvel]\n"
                "\"Language\"=\"d\xC3\xA9.ini\"\n"
                "[HKEY_CURRENT_USER\\Software\\OrvelDraw\\Program]\n"
                "\"NextUpdate\"=dword:0000002a\n");
  EXPECT_EQ(stringAt(Root::LocalMachine, kBase + u"\\orvel", u"language"), u"d\u00e9.ini");
  Key program;
  ASSERT_TRUE(Key::open(Root::CurrentUser, kBase + u"\\Program", kKeyRead, reg::Open::Existing, program).ok());
  Value value;
  ASSERT_TRUE(program.queryValue(u"NextUpdate", value).ok());
  EXPECT_EQ(dwordOf(value), 42u);

  ASSERT_TRUE(set(Root::CurrentUser, kBase, u"x", makeDword(1)).ok());
  EXPECT_EQ(registryBytes().rfind("\xFF\xFE", 0), 0u);
  EXPECT_NE(registryText().find("\"Language\"=\"d\xC3\xA9.ini\"\r\n"), std::string::npos);
}

// A file that cannot be read whole is never written over: every call fails
// as a refused registry call, and the file stays as it is.
TEST_F(RegistryStoreTest, EmulatedOnly_DamagedFileIsRefusedAndKept) {
  const std::string good = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"a\"=\"1\"\r\n";
  std::string bigEndian = "\xFE\xFF";
  for (char c : good) bigEndian += std::string{'\0', c};
  for (const std::string& damaged : {good + "[HKEY_CURRENT_USER\\Software\\Unclosed\r\n\"b\"=\"2\"\r\n",
                                     good + "\x01\xff\r\n", bigEndian}) {
    writeHostFile(registryFile(), damaged);
    Key key;
    EXPECT_EQ(Key::open(Root::CurrentUser, u"Software", kKeyRead, reg::Open::Existing, key).error, 1009u);
    EXPECT_FALSE(set(Root::CurrentUser, kBase, u"x", makeDword(1)).ok());
    EXPECT_EQ(deleteKey(Root::CurrentUser, u"Software").error, 1009u);
    EXPECT_EQ(registryBytes(), damaged);
  }
  // Mended, it is read again.
  writeHostFile(registryFile(), good);
  EXPECT_EQ(stringAt(Root::CurrentUser, u"Software", u"a"), u"1");
}

// A large registry gets each change appended as a regedit block, and is
// written anew, sorted, once the blocks outgrow the rest; every state of the
// file reads as the registry, in this process and in any other.
TEST_F(RegistryStoreTest, EmulatedOnly_LargeRegistryTakesChangesAppended) {
  for (int i = 0; i < 400; ++i)
    ASSERT_TRUE(set(Root::CurrentUser, kBase + u"\\Large", fromUtf8("value" + std::to_string(i)),
                    makeString(u"some text to make the file large")).ok());
  const std::string whole = registryBytes();
  const size_t before = whole.size();
  ASSERT_GT(before, 16u * 1024);
  ASSERT_TRUE(set(Root::CurrentUser, kBase + u"\\Large", u"value7", makeDword(7)).ok());
  {
    Key sub;
    ASSERT_TRUE(Key::open(Root::CurrentUser, kBase + u"\\Large\\Sub", kKeyAllAccess, reg::Open::OrCreate, sub).ok());
  }
  ASSERT_TRUE(deleteKey(Root::CurrentUser, kBase + u"\\Large\\Sub").ok());
  {
    Key key;
    ASSERT_TRUE(Key::open(Root::CurrentUser, kBase + u"\\Large", kKeyAllAccess, reg::Open::Existing, key).ok());
    ASSERT_TRUE(key.deleteValue(u"VALUE8").ok());
  }
  const std::string text = registryText();
  EXPECT_GT(registryBytes().size(), before) << "appended";
  EXPECT_EQ(registryBytes().compare(0, before, whole), 0);
  EXPECT_NE(text.find("\"value7\"=dword:00000007"), std::string::npos);
  EXPECT_NE(text.find("\"VALUE8\"=-"), std::string::npos);

  // Another process sees every change, and its own changes are seen here.
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    Key key;
    Value value;
    bool ok = Key::open(Root::CurrentUser, kBase + u"\\Large", kKeyAllAccess, reg::Open::Existing, key).ok() &&
              key.queryValue(u"value7", value).ok() && dwordOf(value) == 7 &&
              key.queryValue(u"value8", value).error == err::kFileNotFound &&
              key.setValue(u"child", makeDword(99)).ok();
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  Key key;
  Value value;
  ASSERT_TRUE(Key::open(Root::CurrentUser, kBase + u"\\Large", kKeyRead, reg::Open::Existing, key).ok());
  ASSERT_TRUE(key.queryValue(u"child", value).ok());
  EXPECT_EQ(dwordOf(value), 99u);
  std::vector<Str> names;
  ASSERT_TRUE(key.valueNames(names).ok());
  EXPECT_EQ(names.size(), 400u);

  // Many more changes: the file is written anew, sorted, without the blocks.
  for (int i = 0; i < 400; ++i) ASSERT_TRUE(set(Root::CurrentUser, kBase + u"\\Large", u"value1", makeDword(i)).ok());
  EXPECT_LT(registryBytes().size(), 3 * before);
  EXPECT_EQ(registryText().find("=-"), std::string::npos) << "the deletion is folded in";
}

// A change appended by a process that dies while writing it leaves a torn
// block: the registry reads as it was before it, and the next change puts
// the file in order again. (The child's file size limit cuts its write.)
TEST_F(RegistryStoreTest, EmulatedOnly_TornAppendReadsAsTheOldRegistry) {
  for (int i = 0; i < 400; ++i)
    ASSERT_TRUE(set(Root::CurrentUser, kBase, fromUtf8("value" + std::to_string(i)),
                    makeString(u"some text to make the file large")).ok());
  ASSERT_TRUE(set(Root::CurrentUser, kBase, u"value1", makeDword(1)).ok());
  const std::string before = registryBytes();
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{static_cast<rlim_t>(before.size() + 11), static_cast<rlim_t>(before.size() + 11)};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    bool refused = !set(Root::CurrentUser, kBase, u"value2", makeDword(2)).ok();
    ::_exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(registryBytes().size(), before.size() + 11) << "torn";

  EXPECT_EQ(stringAt(Root::CurrentUser, kBase, u"value2"), u"some text to make the file large");
  ASSERT_TRUE(set(Root::CurrentUser, kBase, u"value3", makeDword(3)).ok());
  const std::string after = registryBytes();
  EXPECT_EQ(after.compare(0, before.size(), before), 0);
  EXPECT_EQ(after.size() % 2, 0u);
  EXPECT_EQ(textOf(after).find("\"value2\"=dword"), std::string::npos);
  EXPECT_NE(textOf(after).find("\"value3\"=dword:00000003"), std::string::npos);
}

// A change torn at a line's end reads like a whole one, but lacks its end
// mark: the registry reads as before it, and the next change cuts it off.
TEST_F(RegistryStoreTest, EmulatedOnly_ChangeWithoutItsEndMarkIsNotRead) {
  for (int i = 0; i < 200; ++i)
    ASSERT_TRUE(set(Root::CurrentUser, kBase, fromUtf8("value" + std::to_string(i)),
                    makeString(u"some text to make the file large")).ok());
  ASSERT_TRUE(set(Root::CurrentUser, kBase, u"value1", makeDword(1)).ok());  // appended
  {
    std::ofstream out(registryFile(), std::ios::binary | std::ios::app);
    for (char c : std::string("[HKEY_CURRENT_USER\\Software\\OrvelDraw]\r\n\"T\"=\"ttt\"\r\n")) out << c << '\0';
  }
  EXPECT_EQ(stringAt(Root::CurrentUser, kBase, u"T"), u"<none>");
  ASSERT_TRUE(set(Root::CurrentUser, kBase, u"value2", makeDword(2)).ok());
  EXPECT_EQ(textOf(registryBytes()).find("\"T\""), std::string::npos);
  EXPECT_EQ(stringAt(Root::CurrentUser, kBase, u"T"), u"<none>");
  Key key;
  Value value;
  ASSERT_TRUE(Key::open(Root::CurrentUser, kBase, kKeyRead, reg::Open::Existing, key).ok());
  ASSERT_TRUE(key.queryValue(u"value2", value).ok());
  EXPECT_EQ(dwordOf(value), 2u);
}

// A change replaces the file by renaming a new one over it: a reader that
// has the old file open goes on reading it whole, and no temporary file is
// left behind.
TEST_F(RegistryStoreTest, EmulatedOnly_ChangeReplacesTheFileAtomically) {
  ASSERT_TRUE(set(Root::CurrentUser, kBase, u"first", makeDword(1)).ok());
  const std::string before = registryBytes();
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
    EXPECT_TRUE((name.rfind("registry.reg", 0) != 0 || name == "registry.reg" || name == "registry.reg.lock") &&
                name.rfind(".~orvel-", 0) != 0)
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
  ASSERT_TRUE(Key::open(Root::CurrentUser, kBase + u"\\Concurrent", kKeyRead, reg::Open::Existing, key).ok());
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
  EXPECT_EQ(Key::open(Root::LocalMachine, kBase + u"\\Orvel", kKeyWrite, reg::Open::Existing, key).error, err::kAccessDenied);
  EXPECT_EQ(Key::open(Root::LocalMachine, kBase + u"\\Orvel", kKeyAllAccess, reg::Open::OrCreate, key).error, err::kAccessDenied);
  EXPECT_EQ(Key::open(Root::LocalMachine, kBase + u"\\New", kKeyRead, reg::Open::OrCreate, key).error, err::kAccessDenied);
  EXPECT_EQ(deleteKey(Root::LocalMachine, kBase + u"\\Orvel").error, err::kAccessDenied);
  EXPECT_EQ(Key::open(Root::ClassesRoot, u".od", kKeyAllAccess, reg::Open::Existing, key).error, err::kAccessDenied);
  EXPECT_EQ(Key::open(Root::ClassesRoot, u"OrvelDraw", kKeyAllAccess, reg::Open::OrCreate, key).error, err::kAccessDenied);
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
  ASSERT_TRUE(Key::open(Root::LocalMachine, kBase, kKeyAllAccess, reg::Open::OrCreate, key).ok());
  ASSERT_TRUE(key.setValue(u"v", makeDword(1)).ok());
  writeHostFile(machine_.root() + "/machine.ini", "[Machine]\nAdministrator=0\nSleepScale=0\n");
  EXPECT_EQ(key.setValue(u"v", makeDword(2)).error, err::kAccessDenied);
  EXPECT_EQ(key.deleteValue(u"v").error, err::kAccessDenied);
  Key child;
  EXPECT_EQ(Key::open(key, u"Child", kKeyAllAccess, reg::Open::OrCreate, child).error, err::kAccessDenied);
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
