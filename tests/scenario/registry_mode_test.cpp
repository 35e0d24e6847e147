// Registry mode: the settings list written through the settings store into
// the registry or the machine INI file, on a fresh machine per case.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "tests/support/machine_state.h"
#include "tests/support/scripted_windows.h"
#include "tests/support/test_machine.h"
#include "updater/updater.h"

namespace orvel {
namespace {

using test::TestMachine;
using MachineIni = std::map<std::string, std::string>;

using test::kProgramKey;

std::vector<Str> RegistryArgs(const Str& list, std::vector<Str> more = {}) {
  std::vector<Str> args = {u"C:\\Orvel\\Setup.exe", u"-Registry", list};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::optional<reg::Value> MachineValue(const Str& name) { return test::registryValue(reg::Root::LocalMachine, kProgramKey, name); }

void SeedMachineValue(const Str& name, const reg::Value& value) {
  test::seedValue(reg::Root::LocalMachine, kProgramKey, name, value);
}

// Runs MakeUpdate and returns the error text that escaped it, if any.
std::optional<Str> RunMakeUpdate(TFUpdater& updater) {
  try {
    updater.MakeUpdate();
  } catch (const Error& e) {
    return e.message();
  }
  return std::nullopt;
}

class RegistryModeTest : public testing::Test {
 protected:
  Str IniPath() const { return machine_.scratch() + u"ODMachine.INI"; }
  TestMachine machine_;
  test::ScriptedApplication app_;
};

// The example list lands under HKLM as REG_SZ and REG_DWORD, each logged.
TEST_F(RegistryModeTest, RegistryStorageWritesStringAndInteger) {
  TFUpdater updater(app_.app(), RegistryArgs(test::kExampleSettingsList));
  updater.Restart = true;
  ASSERT_EQ(RunMakeUpdate(updater), std::nullopt);
  EXPECT_TRUE(updater.UseRegistry);
  EXPECT_FALSE(updater.Restart);
  EXPECT_FALSE(updater.Error);
  EXPECT_EQ(updater.Memo->lines(), (std::vector<Str>{u"Key: Program name: A Value: text", u"Key: Program name: B Value: 12"}));
  auto a = MachineValue(u"A");
  auto b = MachineValue(u"B");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->type, reg::kSz);
  EXPECT_EQ(reg::stringOf(*a), u"text");
  EXPECT_EQ(b->type, reg::kDword);
  EXPECT_EQ(reg::dwordOf(*b), 12u);
  EXPECT_FALSE(test::keyExists(reg::Root::CurrentUser, kProgramKey));  // never the per-user part
}

// Only the type's first letter counts, lower case only; the log shows every entry as parsed.
TEST_F(RegistryModeTest, TypeFieldSelectsTheOperation) {
  TFUpdater updater(app_.app(), RegistryArgs(
      u"\"K|S1|text|S#K|X1|text|x#K|I1|12|integer#K|E1|s#K|T1|text|#K|T2|#K|N1|-7|i#K|Q1|q|string\""));
  ASSERT_EQ(RunMakeUpdate(updater), std::nullopt);
  EXPECT_EQ(updater.Memo->lines(), (std::vector<Str>{
                              u"Key: K name: S1 Value: text",
                              u"Key: K name: X1 Value: text",
                              u"Key: K name: I1 Value: 12",
                              u"Key: K name: E1 Value: ",
                              u"Key: K name: T1 Value: text",
                              u"Key: K name: T2 Value: ",
                              u"Key: K name: N1 Value: -7",
                              u"Key: K name: Q1 Value: q",
                          }));
  const Str key = u"Software\\OrvelDraw\\K";
  EXPECT_FALSE(test::registryValue(reg::Root::LocalMachine, key, u"S1"));  // capital S
  EXPECT_FALSE(test::registryValue(reg::Root::LocalMachine, key, u"X1"));
  EXPECT_FALSE(test::registryValue(reg::Root::LocalMachine, key, u"E1"));  // "" where nothing is stored: no write
  EXPECT_FALSE(test::registryValue(reg::Root::LocalMachine, key, u"T1"));  // empty type writes nothing
  EXPECT_FALSE(test::registryValue(reg::Root::LocalMachine, key, u"T2"));
  auto i1 = test::registryValue(reg::Root::LocalMachine, key, u"I1");
  auto n1 = test::registryValue(reg::Root::LocalMachine, key, u"N1");
  auto q1 = test::registryValue(reg::Root::LocalMachine, key, u"Q1");
  ASSERT_TRUE(i1 && n1 && q1);
  EXPECT_EQ(reg::dwordOf(*i1), 12u);
  EXPECT_EQ(static_cast<int32_t>(reg::dwordOf(*n1)), -7);
  EXPECT_EQ(reg::stringOf(*q1), u"q");
}

// Empty entries (leading, doubled, trailing "#") are skipped without a log line.
TEST_F(RegistryModeTest, EmptyEntriesAreSkipped) {
  TFUpdater updater(app_.app(), RegistryArgs(u"#Program|A|1|s##Program|B|2|s#"));
  ASSERT_EQ(RunMakeUpdate(updater), std::nullopt);
  EXPECT_EQ(updater.Memo->lines().size(), 2u);
}

// Writing what is stored, or ""/0 where nothing is, changes nothing and creates no key.
TEST_F(RegistryModeTest, WritesOnlyWhenDifferent) {
  TFUpdater empty(app_.app(), RegistryArgs(u"Program|A||s#Program|B|0|i"));
  ASSERT_EQ(RunMakeUpdate(empty), std::nullopt);
  EXPECT_FALSE(test::keyExists(reg::Root::LocalMachine, kProgramKey));

  SeedMachineValue(u"A", reg::makeString(u"text"));
  TFUpdater caseOnly(app_.app(), RegistryArgs(u"Program|A|TEXT|s"));
  ASSERT_EQ(RunMakeUpdate(caseOnly), std::nullopt);
  EXPECT_EQ(reg::stringOf(*MachineValue(u"A")), u"TEXT");  // letter case counts
}

// A value of the other type is a type error that ends the run; earlier entries stay.
TEST_F(RegistryModeTest, TypeErrorsEscapeAndKeepEarlierSettings) {
  SeedMachineValue(u"S", reg::makeString(u"x"));
  SeedMachineValue(u"D", reg::makeDword(5));
  struct Row {
    Str list;
    Str error;
  };
  const std::vector<Row> rows = {
      {u"Program|First|1|s#Program|S|12|i#Program|After|2|s", u"Ungültiger Datentyp für 'S'"},  // 1
      {u"Program|First|1|s#Program|D|x|s#Program|After|2|s", u"Ungültiger Datentyp für 'D'"},   // 2
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    TFUpdater updater(app_.app(), RegistryArgs(rows[i].list));
    EXPECT_EQ(RunMakeUpdate(updater), rows[i].error) << "row " << i + 1;
    EXPECT_EQ(updater.Memo->lines().size(), 2u) << "row " << i + 1;
    EXPECT_TRUE(MachineValue(u"First")) << "row " << i + 1;
    EXPECT_FALSE(MachineValue(u"After")) << "row " << i + 1;
  }
  EXPECT_EQ(reg::stringOf(*MachineValue(u"S")), u"x");
  EXPECT_EQ(reg::dwordOf(*MachineValue(u"D")), 5u);
}

TEST_F(RegistryModeTest, IntegerThatIsNoNumberEndsTheRun) {
  TFUpdater updater(app_.app(), RegistryArgs(u"Program|A|1|s#Program|B|zwölf|i#Program|C|3|s"));
  EXPECT_EQ(RunMakeUpdate(updater), u"'zwölf' ist kein gültiger Integerwert");
  EXPECT_EQ(updater.Memo->lines().back(), u"Key: Program name: B Value: zwölf");
  EXPECT_TRUE(MachineValue(u"A"));
  EXPECT_FALSE(MachineValue(u"B"));
  EXPECT_FALSE(MachineValue(u"C"));
}

// Without write access to HKLM the key cannot be created: nothing written, nothing reported.
TEST_F(RegistryModeTest, EmulatedOnly_NonAdministratorWritesNothingSilently) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a non-administrator";
  TestMachine user(MachineIni{{"Machine.Administrator", "0"}});
  TFUpdater updater(app_.app(), RegistryArgs(test::kExampleSettingsList));
  EXPECT_EQ(RunMakeUpdate(updater), std::nullopt);
  EXPECT_EQ(updater.Memo->lines().size(), 2u);
  EXPECT_FALSE(test::keyExists(reg::Root::LocalMachine, kProgramKey));
}

// "-INI" with a path selects the machine INI file; the registry stays untouched.
TEST_F(RegistryModeTest, IniStorageWritesThePlainIniText) {
  const std::vector<std::vector<Str>> variants = {
      {u"-INI", IniPath()},                      // 1 plain path
      {u"-INI", u"\"" + IniPath() + u"\""},      // 2 quoted path
      {u"x", u"-INI", IniPath(), u"y"},          // 3 anywhere after argument 1
  };
  for (size_t i = 0; i < variants.size(); ++i) {
    TFUpdater updater(app_.app(), RegistryArgs(u"Program|A|text|s#Program|B|12|i", variants[i]));
    ASSERT_EQ(RunMakeUpdate(updater), std::nullopt) << "row " << i + 1;
    EXPECT_FALSE(updater.UseRegistry) << "row " << i + 1;
    EXPECT_EQ(test::readTestFile(IniPath()), "[Program]\r\nA=text\r\nB=12\r\n") << "row " << i + 1;
    EXPECT_EQ(updater.ReadInteger(u"program", u"b", 0), 12) << "row " << i + 1;
    test::writeTestFile(IniPath(), "");
  }
  EXPECT_FALSE(test::keyExists(reg::Root::LocalMachine, kProgramKey));
}

// "-INI" as the last argument or in another letter case is not the switch.
TEST_F(RegistryModeTest, IniSwitchOnlyExactAndWithAPath) {
  const std::vector<std::vector<Str>> variants = {{u"-INI"}, {u"-ini", IniPath()}, {u"/INI", IniPath()}};
  for (size_t i = 0; i < variants.size(); ++i) {
    TFUpdater updater(app_.app(), RegistryArgs(u"Program|A|text|s", variants[i]));
    ASSERT_EQ(RunMakeUpdate(updater), std::nullopt) << "row " << i + 1;
    EXPECT_TRUE(updater.UseRegistry) << "row " << i + 1;
  }
  EXPECT_TRUE(MachineValue(u"A"));
  EXPECT_FALSE(files::fileExists(IniPath()));
}

// An unchanged value leaves the file as it is; a change rewrites it in the plain form.
TEST_F(RegistryModeTest, IniFileIsRewrittenOnlyForAChange) {
  const std::string original = "[Orvel]\r\nLanguage = languages\\english.ini\r\n[Program]\r\nA = text\r\nB=0x0C\r\n";
  test::writeTestFile(IniPath(), original);
  TFUpdater same(app_.app(), RegistryArgs(u"program|a|text|s#PROGRAM|B|12|i", {u"-INI", IniPath()}));
  ASSERT_EQ(RunMakeUpdate(same), std::nullopt);
  EXPECT_EQ(test::readTestFile(IniPath()), original);

  TFUpdater changed(app_.app(), RegistryArgs(u"Program|A|Text|s", {u"-INI", IniPath()}));
  ASSERT_EQ(RunMakeUpdate(changed), std::nullopt);
  EXPECT_EQ(test::readTestFile(IniPath()),
            "[Orvel]\r\nLanguage=languages\\english.ini\r\n\r\n[Program]\r\nA=Text\r\nB=0x0C\r\n");
}

// Entries the INI text cannot hold are logged and left out; no other entry changes.
TEST_F(RegistryModeTest, IniStorageLeavesOutEntriesThatWouldBreakTheFile) {
  const std::string original = "[Orvel]\r\nPortableApplication=0\r\n";
  test::writeTestFile(IniPath(), original);
  const Str list =
      u"Program|A\r\n[Orvel]\r\nPortableApplication|1|s"  // 1 line break in a name
      u"#Program|A|x\r\n[Orvel]\r\nPortableApplication=1|s"  // 2 line break in a value
      u"#Orvel]x|PortableApplication|1|s"                 // 3 "]" in a section
      u"#Orvel|PortableApplication=1|1|s"                 // 4 "=" in a name
      u"#Orvel|[Orvel]|1|s"                               // 5 name like a section
      u"#Orvel|;x|1|s"                                    // 6 name like a comment
      u"#Orvel| PortableApplication|1|i"                  // 7 blank around a name
      u"#Program|OK|fine|s";                              // 8 a sound entry still goes in
  TFUpdater updater(app_.app(), RegistryArgs(list, {u"-INI", IniPath()}));
  ASSERT_EQ(RunMakeUpdate(updater), std::nullopt);
  EXPECT_EQ(updater.Memo->lines().size(), 8u);
  EXPECT_EQ(test::readTestFile(IniPath()), original + "\r\n[Program]\r\nOK=fine\r\n");
}

// A value the file's code page lacks would come back as question marks: the
// entry stays as it was, as for a name the code page lacks; a Unicode file
// takes it.
TEST_F(RegistryModeTest, IniStorageKeepsAnEntryWhoseValueTheCodePageLacks) {
  const std::string original = "[User]\r\nName=Anna\r\n";
  test::writeTestFile(IniPath(), original);
  TFUpdater ansi(app_.app(), RegistryArgs(u"User|Name|Жанна 😀|s#User|Ort|Köln|s", {u"-INI", IniPath()}));
  ASSERT_EQ(RunMakeUpdate(ansi), std::nullopt);
  EXPECT_EQ(test::readTestFile(IniPath()), original + "Ort=K\xF6ln\r\n");

  test::writeTestFile(IniPath(), "\xEF\xBB\xBF" + original);
  TFUpdater utf8(app_.app(), RegistryArgs(u"User|Name|Жанна 😀|s", {u"-INI", IniPath()}));
  ASSERT_EQ(RunMakeUpdate(utf8), std::nullopt);
  EXPECT_EQ(test::readTestFile(IniPath()), "\xEF\xBB\xBF[User]\r\nName=" + toUtf8(u"Жанна 😀") + "\r\n");
}

// In the INI file an integer is decimal, or hexadecimal after "0x": "$10",
// "x10" and "X10" are no number, so a 16 still has to be written.
TEST_F(RegistryModeTest, IniIntegersTakeOnlyTheIniForms) {
  for (const char* stored : {"$10", "x10", "X10"}) {
    SCOPED_TRACE(stored);
    test::writeTestFile(IniPath(), std::string("[Program]\r\nB=") + stored + "\r\n");
    TFUpdater updater(app_.app(), RegistryArgs(u"Program|B|16|i", {u"-INI", IniPath()}));
    ASSERT_EQ(RunMakeUpdate(updater), std::nullopt);
    EXPECT_EQ(test::readTestFile(IniPath()), "[Program]\r\nB=16\r\n");
  }
}

// The registry holds such names and values as they are.
TEST_F(RegistryModeTest, RegistryStorageTakesNamesTheIniCannotHold) {
  TFUpdater updater(app_.app(), RegistryArgs(u"Program|A=B|x\r\ny|s#Program|[C]|1|i"));
  ASSERT_EQ(RunMakeUpdate(updater), std::nullopt);
  EXPECT_EQ(reg::stringOf(*MachineValue(u"A=B")), u"x\r\ny");
  EXPECT_EQ(reg::dwordOf(*MachineValue(u"[C]")), 1u);
}

// The portable entry and the drive of the INI path are read at the store selection.
TEST_F(RegistryModeTest, IniStorageReadsPortableApplicationAndDrive) {
  test::writeTestFile(IniPath(), "[Orvel]\r\nPortableApplication=1\r\n");
  TFUpdater updater(app_.app(), RegistryArgs(u"", {u"-INI", IniPath()}));
  ASSERT_EQ(RunMakeUpdate(updater), std::nullopt);
  EXPECT_TRUE(updater.PortableApplication);
  EXPECT_EQ(updater.PortAppDrive, IniPath().substr(0, 1));

  struct Row {
    Str path;
    Str drive;
    bool portable;
  };
  const std::vector<Row> rows = {
      {u"\\\\srv\\share\\Orvel\\ODMachine.INI", u"\\\\srv\\share", false},  // 1 network path
      {u"Orvel\\ODMachine.INI", u"", false},                               // 2 relative path
      {u"d:ODMachine.INI", u"d", false},                                   // 3 drive-relative
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    TFUpdater other(app_.app(), RegistryArgs(u"", {u"-INI", rows[i].path}));
    ASSERT_EQ(RunMakeUpdate(other), std::nullopt) << "row " << i + 1;
    EXPECT_EQ(other.PortAppDrive, rows[i].drive) << "row " << i + 1;
    EXPECT_EQ(other.PortableApplication, rows[i].portable) << "row " << i + 1;
  }
}

// A second run selects the store anew and reads the INI file again.
TEST_F(RegistryModeTest, EveryRunReadsTheIniFileAgain) {
  test::writeTestFile(IniPath(), "[Program]\r\nA=1\r\n");
  TFUpdater updater(app_.app(), RegistryArgs(u"Program|B|2|s", {u"-INI", IniPath()}));
  ASSERT_EQ(RunMakeUpdate(updater), std::nullopt);
  test::writeTestFile(IniPath(), "[Program]\r\nA=changed\r\n");
  ASSERT_EQ(RunMakeUpdate(updater), std::nullopt);
  EXPECT_EQ(updater.ReadString(u"Program", u"A", u""), u"changed");
  EXPECT_EQ(test::readTestFile(IniPath()), "[Program]\r\nA=changed\r\nB=2\r\n");
  EXPECT_EQ(updater.Memo->lines().size(), 2u);  // the log grows across runs
}

// Reads give the default when nothing is stored, in both storages.
TEST_F(RegistryModeTest, StoreReadsGiveTheDefaultWhenMissing) {
  for (const auto& extra : {std::vector<Str>{}, std::vector<Str>{u"-INI", IniPath()}}) {
    TFUpdater updater(app_.app(), RegistryArgs(u"", extra));
    ASSERT_EQ(RunMakeUpdate(updater), std::nullopt);
    EXPECT_EQ(updater.ReadString(u"Program", u"Nothing", u"def"), u"def");
    EXPECT_EQ(updater.ReadInteger(u"Program", u"Nothing", -1), -1);
    updater.WriteInteger(u"Program", u"Count", 3);
    EXPECT_EQ(updater.ReadInteger(u"Program", u"Count", -1), 3);
  }
}

TEST_F(RegistryModeTest, SaveLogWritesAnsiLinesOrRaisesTheFileError) {
  TFUpdater updater(app_.app(), std::vector<Str>{u"Setup.exe"});
  updater.AddLog(u"Größe");
  updater.AddLog(u"");
  updater.AddLog(u"Ende");
  const Str path = machine_.scratch() + u"update.txt";
  updater.SaveLog(path);
  EXPECT_EQ(test::readTestFile(path), "Gr\xF6\xDF" "e\r\n\r\nEnde\r\n");

  const Str bad = machine_.scratch() + u"missing\\update.txt";
  try {
    updater.SaveLog(bad);
    FAIL() << "no error raised";
  } catch (const Error& e) {
    const Str prefix = u"Datei \"" + bad + u"\" kann nicht erstellt werden. ";
    EXPECT_EQ(e.message().substr(0, prefix.size()), prefix);
    EXPECT_GT(e.message().size(), prefix.size());  // the system's reason follows
  }
}

}  // namespace
}  // namespace orvel
