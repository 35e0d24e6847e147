// The emulated command interpreter, run in this process so that each case
// can look at the files and at what the interpreter said.
#include "machine/batch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "platform/files.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

using posix::batch::Limits;
using posix::batch::Outcome;
using test::TestMachine;
using test::writeTestFile;
using MachineIni = std::map<std::string, std::string>;

using namespace std::chrono_literals;

class BatchTest : public testing::Test {
 protected:
  Str at(const Str& name) const { return machine_.scratch() + name; }
  Str file(const Str& name) const {
    writeTestFile(at(name), "x");
    return at(name);
  }
  Outcome run(const std::vector<Str>& lines, Limits limits = {}) {
    output_.str("");
    return posix::batch::runLines(lines, machine_.scratch(), limits, &output_);
  }
  std::string said() const { return output_.str(); }

  TestMachine machine_;
  std::ostringstream output_;
};

// The program's removal batch, for a folder with blanks in its name.
std::vector<Str> removalBatch(const Str& folder) {
  const Str setup = u"\"" + folder + u"Setup.exe\"";
  return {u"echo on", u":1", u"del " + setup, u"if exist " + setup + u" goto 1", u"rmdir \"" + folder + u"\""};
}

TEST_F(BatchTest, RemovalBatchRemovesProgramAndFolder) {
  const Str folder = at(u"Program Files\\Orvel Draw\\");
  file(u"Program Files\\Orvel Draw\\Setup.exe");
  EXPECT_EQ(run(removalBatch(folder)), Outcome::Finished);
  EXPECT_FALSE(files::directoryExists(folder));
  EXPECT_TRUE(files::directoryExists(at(u"Program Files")));
}

TEST_F(BatchTest, RemovalBatchLeavesOtherFiles) {
  const Str folder = at(u"OrvelDraw\\");
  file(u"OrvelDraw\\Setup.exe");
  file(u"OrvelDraw\\ODMachine.INI");
  EXPECT_EQ(run(removalBatch(folder)), Outcome::Finished);
  EXPECT_FALSE(files::fileExists(folder + u"Setup.exe"));
  EXPECT_TRUE(files::fileExists(folder + u"ODMachine.INI"));
  EXPECT_NE(said().find("The directory is not empty."), std::string::npos) << said();
}

TEST_F(BatchTest, LoopWaitsUntilTheLockGoes) {
  const Str folder = at(u"OrvelDraw\\");
  const Str setup = file(u"OrvelDraw\\Setup.exe");
  auto lock = files::ExclusiveLock::acquire(setup);
  ASSERT_TRUE(lock.has_value());
  std::thread releaser([&] {
    std::this_thread::sleep_for(200ms);
    lock->release();
  });
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run(removalBatch(folder)), Outcome::Finished);
  releaser.join();
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
  EXPECT_FALSE(files::directoryExists(folder));
  EXPECT_NE(said().find("being used by another process"), std::string::npos);
}

TEST_F(BatchTest, EndlessLoopIsGivenUp) {
  const Str folder = at(u"OrvelDraw\\");
  const Str setup = file(u"OrvelDraw\\Setup.exe");
  auto lock = files::ExclusiveLock::acquire(setup);
  ASSERT_TRUE(lock.has_value());
  Limits limits;
  limits.giveUpAfter = 150ms;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run(removalBatch(folder), limits), Outcome::GaveUp);
  auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_GE(spent, 150ms);
  EXPECT_LT(spent, 5s);
  EXPECT_TRUE(files::fileExists(setup));
}

TEST_F(BatchTest, DelOfReadOnlyFileNeedsForce) {
  const Str path = file(u"a.txt");
  ASSERT_TRUE(files::setAttributes(path, files::kReadOnly).ok());
  run({u"del " + path});
  EXPECT_TRUE(files::fileExists(path));
  EXPECT_NE(said().find("Access is denied."), std::string::npos) << said();
  run({u"del /F " + path});
  EXPECT_FALSE(files::fileExists(path));
}

TEST_F(BatchTest, DelWithWildcardsSkipsHiddenFiles) {
  file(u"a.tmp");
  file(u"b.TMP");
  const Str hidden = file(u"h.tmp");
  ASSERT_TRUE(files::setAttributes(hidden, files::kHidden).ok());
  const Str keep = file(u"keep.txt");
  run({u"del *.tmp"});
  EXPECT_FALSE(files::fileExists(at(u"a.tmp")));
  EXPECT_FALSE(files::fileExists(at(u"b.TMP")));
  EXPECT_TRUE(files::fileExists(hidden));
  EXPECT_TRUE(files::fileExists(keep));
  // A missing file is reported, and the batch goes on.
  const Str after = file(u"after.txt");
  run({u"del missing.txt", u"del after.txt"});
  EXPECT_NE(said().find("Could Not Find"), std::string::npos) << said();
  EXPECT_FALSE(files::fileExists(after));
}

TEST_F(BatchTest, Conditions) {
  const Str present = file(u"present.txt");
  struct Row {
    Str line;
    bool deletesPresent;
  };
  const std::vector<Row> rows = {
      {u"if exist present.txt del present.txt", true},        // 1
      {u"if exist missing.txt del present.txt", false},       // 2
      {u"if not exist missing.txt del present.txt", true},    // 3
      {u"IF EXIST PRESENT.TXT DEL PRESENT.TXT", true},        // 4 any letter case
      {u"if exist *.txt del present.txt", true},              // 5 a wildcard
      {u"if exist \"" + machine_.scratch() + u"\" del present.txt", true},  // 6 a folder, quoted
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    writeTestFile(present, "x");
    run({rows[i].line});
    EXPECT_EQ(!files::fileExists(present), rows[i].deletesPresent) << "row " << i + 1;
  }
}

TEST_F(BatchTest, JumpsAndLabels) {
  const Str skipped = file(u"skipped.txt");
  const Str reached = file(u"reached.txt");
  // Labels match in any letter case; "goto :eof" ends the batch.
  run({u"goto Later", u"del skipped.txt", u":LATER", u"del reached.txt", u"goto :eof", u"del skipped.txt"});
  EXPECT_TRUE(files::fileExists(skipped));
  EXPECT_FALSE(files::fileExists(reached));
  // A missing label ends the batch with a message.
  run({u"goto nowhere", u"del skipped.txt"});
  EXPECT_TRUE(files::fileExists(skipped));
  EXPECT_NE(said().find("cannot find the batch label"), std::string::npos);
}

TEST_F(BatchTest, RmdirRemovesOnlyEmptyFolders) {
  ASSERT_TRUE(files::forceDirectories(at(u"empty")).ok());
  file(u"full\\a.txt");
  run({u"rmdir empty", u"rd full"});
  EXPECT_FALSE(files::directoryExists(at(u"empty")));
  EXPECT_TRUE(files::fileExists(at(u"full\\a.txt")));
  // Removing content is not asked of this interpreter.
  run({u"rmdir /s /q full"});
  EXPECT_TRUE(files::fileExists(at(u"full\\a.txt")));
}

TEST_F(BatchTest, PercentSigns) {
  const Str percent = file(u"100%.txt");
  run({u"del 100%%.txt"});
  EXPECT_FALSE(files::fileExists(percent));
  // A variable is replaced by its value, an unset one by nothing.
  const Str named = file(u"ab.txt");
  setenv("ORVEL_BATCH_TEST", "b", 1);
  run({u"del a%ORVEL_BATCH_TEST%%ORVEL_UNSET_VARIABLE%.txt"});
  unsetenv("ORVEL_BATCH_TEST");
  EXPECT_FALSE(files::fileExists(named));
}

TEST_F(BatchTest, EchoState) {
  run({u"echo Hallo Welt", u"@echo off", u"echo zwei", u"echo", u"del nothing.txt", u"echo."});
  const std::string folder = toUtf8(machine_.scratch().substr(0, machine_.scratch().size() - 1));
  EXPECT_EQ(said(), folder + ">echo Hallo Welt\nHallo Welt\nzwei\nECHO is off.\nCould Not Find " + folder +
                        "\\nothing.txt\n\n");
}

TEST_F(BatchTest, UnknownCommandIsReportedAndTheBatchGoesOn) {
  const Str path = file(u"a.txt");
  run({u"@echo off", u"start notepad", u"del a.txt"});
  EXPECT_NE(said().find("'start' is not recognized"), std::string::npos) << said();
  EXPECT_FALSE(files::fileExists(path));
}

// The bytes of a batch file are read in the OEM code page.
TEST(BatchFile, ReadInTheOemCodePage) {
  struct Row {
    const char* oemCodePage;
    bool deletes;
  };
  const std::vector<Row> rows = {
      {"850", true},    // 1 0x81 0xE1 are "üß" in 850
      {"1252", false},  // 2 and other letters in 1252
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    TestMachine machine(MachineIni{{"Machine.OemCodePage", rows[i].oemCodePage}});
    const Str target = machine.scratch() + u"Grüße.txt";
    writeTestFile(target, "x");
    const Str batch = machine.scratch() + u"run.bat";
    writeTestFile(batch, "@echo off\r\ndel \"" + toUtf8(machine.scratch()) + "Gr\x81\xE1" "e.txt\"\r\n");
    EXPECT_EQ(posix::batch::runFile(batch, u""), Outcome::Finished) << "row " << i + 1;
    EXPECT_EQ(!files::fileExists(target), rows[i].deletes) << "row " << i + 1;
  }
  // No such batch file.
  TestMachine machine;
  EXPECT_EQ(posix::batch::runFile(machine.scratch() + u"missing.bat", u""), Outcome::Unreadable);
}

}  // namespace
}  // namespace orvel
