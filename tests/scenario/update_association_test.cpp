// The association rewrite (file class under both roots, extensions attached
// and detached, the shell told once) and the open-command rewrite, run with
// the application's command lines.
#include <gtest/gtest.h>

#include "tests/support/update_fixture.h"

namespace orvel {
namespace {

using test::keyExists;
using test::registryString;
using test::UpdateTest;

const Str kClass = u"SOFTWARE\\Classes\\OrvelDraw";
constexpr reg::Root kRoots[] = {reg::Root::LocalMachine, reg::Root::CurrentUser};

void SeedClass(reg::Root root, const Str& extension, const reg::Value& value) {
  test::seedValue(root, u"SOFTWARE\\Classes\\" + extension, u"", value);
}

std::optional<Str> ClassOf(reg::Root root, const Str& extension) {
  return registryString(root, u"SOFTWARE\\Classes\\" + extension);
}

class Association : public UpdateTest {
 protected:
  // The association rewrite of the executable at `exe` with this list.
  std::optional<Str> Associate(const Str& exe, const Str& list) {
    return Run(UpdateArgs(exe, u"C:\\Temp\\registry\\", list));
  }
  // The lines after the header and the folder line that Dest gives, without
  // the one naming update.txt.
  std::vector<Str> Body() const {
    std::vector<Str> lines(Log().begin() + 4, Log().end());
    if (!lines.empty() && lines.front().starts_with(u"create directory: ")) lines.erase(lines.begin());
    if (!lines.empty() && lines.back().ends_with(u"update.txt")) lines.pop_back();
    return lines;
  }
  // Notifications in the emulated machine's shell log.
  size_t Notifications() const {
    size_t n = 0;
    for (const std::string& line : machine_.shellLog()) n += line == "notify\t0x08000000\t0";
    return n;
  }
};

// Every value of the file class below both roots; a path with blanks is quoted.
TEST_F(Association, FileClassBelowBothRoots) {
  struct Row {
    Str exe;
    Str program;
  };
  const Row rows[] = {
      {u"C:\\Program Files\\Orvel\\OrvelDraw.exe", u"\"C:\\Program Files\\Orvel\\OrvelDraw.exe\""},  // 1
      {u"C:\\Orvel\\OrvelDraw.exe", u"C:\\Orvel\\OrvelDraw.exe"},                                    // 2
  };
  for (size_t r = 0; r < std::size(rows); ++r) {
    SCOPED_TRACE("row " + std::to_string(r + 1));
    ASSERT_EQ(Associate(rows[r].exe, u""), std::nullopt);
    for (reg::Root root : kRoots) {
      EXPECT_EQ(registryString(root, kClass), u"Orvel-Draw");
      EXPECT_EQ(registryString(root, kClass + u"\\DefaultIcon"), rows[r].program + u",0");
      EXPECT_EQ(registryString(root, kClass + u"\\Shell\\Open\\command"), rows[r].program);
      EXPECT_EQ(registryString(root, kClass + u"\\Shell\\Open\\ddeexec"), u"[FileOpen(\"%1\")]");
      EXPECT_EQ(registryString(root, kClass + u"\\Shell\\Open\\ddeexec\\Application"), u"OrvelDraw");
      EXPECT_EQ(registryString(root, kClass + u"\\Shell\\Open\\ddeexec\\topic"), u"System");
    }
    EXPECT_FALSE(FUpdater->Restart);
  }
}

// Attached under both roots; detached only where the class is ours; a
// missing key is not created; one line per pair; the shell told once.
TEST_F(Association, ExtensionsAttachedAndDetached) {
  for (reg::Root root : kRoots) {
    SeedClass(root, u".old", reg::makeString(u"OrvelDraw"));
    SeedClass(root, u".other", reg::makeString(u"OtherApp"));
  }
  test::writeTestFile(Inst() + u"OrvelDraw.exe", "the installed application");
  ASSERT_EQ(Associate(Inst() + u"OrvelDraw.exe", u".od True .old False .other false .missing 0 "), std::nullopt);
  // Dest, the executable, is taken for a folder to create, which fails quietly.
  EXPECT_EQ(Log(), (std::vector<Str>{u"Old Version: .od True .old False .other false .missing 0 ",
                                     u"Source     : C:\\Temp\\registry\\", u"Destination: " + Inst() + u"OrvelDraw.exe",
                                     u"", u"create directory: " + Inst() + u"OrvelDraw.exe", u".od True", u".old False",
                                     u".other false", u".missing 0", Inst() + u"update.txt"}));
  EXPECT_TRUE(files::fileExists(Inst() + u"OrvelDraw.exe"));
  for (reg::Root root : kRoots) {
    EXPECT_EQ(ClassOf(root, u".od"), u"OrvelDraw");
    EXPECT_EQ(ClassOf(root, u".old"), u"");  // key and value stay, emptied
    EXPECT_EQ(ClassOf(root, u".other"), u"OtherApp");
    EXPECT_FALSE(keyExists(root, u"SOFTWARE\\Classes\\.missing"));
  }
  EXPECT_EQ(Log().back(), Inst() + u"update.txt");
  EXPECT_TRUE(files::fileExists(Inst() + u"update.txt"));
  if (test::TestMachine::emulated()) {
    EXPECT_EQ(Notifications(), 1u);
  }
}

// The flag is a Boolean: True/False in any case or a number.
TEST_F(Association, FlagsAcceptedAndRefused) {
  ASSERT_EQ(Associate(Inst() + u"OrvelDraw.exe", u".a 1 .b TRUE .c -7 .d false .e 0 "), std::nullopt);
  for (const Str ext : {u".a", u".b", u".c"}) EXPECT_EQ(ClassOf(reg::Root::CurrentUser, ext), u"OrvelDraw");
  for (const Str ext : {u".d", u".e"}) EXPECT_FALSE(ClassOf(reg::Root::CurrentUser, ext));

  struct Row {
    Str list;
    Str error;
  };
  const Row rows[] = {
      {u".x True .y yes .z True ", u"'yes' ist kein gültiger boolescher Wert"},  // 1
      {u".x True .y False", u"'' ist kein gültiger boolescher Wert"},            // 2 no final blank
  };
  for (size_t r = 0; r < std::size(rows); ++r) {
    SCOPED_TRACE("row " + std::to_string(r + 1));
    test::TestMachine fresh;
    const Str dest = fresh.scratch() + u"OrvelDraw.exe";
    for (reg::Root root : kRoots) SeedClass(root, u".y", reg::makeString(u"OrvelDraw"));
    const size_t before = Log().size();
    EXPECT_EQ(Associate(dest, rows[r].list), rows[r].error);
    // The pairs before stay done and logged; nothing after, no notification, no update.txt.
    EXPECT_EQ(Log().back(), u".x True");
    EXPECT_EQ(Log().size(), before + 6);  // header, folder line, one pair
    EXPECT_EQ(ClassOf(reg::Root::LocalMachine, u".x"), u"OrvelDraw");
    EXPECT_EQ(ClassOf(reg::Root::LocalMachine, u".y"), u"OrvelDraw");
    EXPECT_FALSE(ClassOf(reg::Root::LocalMachine, u".z"));
    EXPECT_FALSE(files::fileExists(fresh.scratch() + u"update.txt"));
    if (test::TestMachine::emulated()) {
      size_t notes = 0;
      for (const std::string& line : fresh.shellLog()) notes += line.rfind("notify", 0) == 0;
      EXPECT_EQ(notes, 0u);
    }
  }
}

// One extension that cannot be handled is shown in a plain box; the next is handled.
TEST_F(Association, OneFailedExtensionIsShownAndTheNextHandled) {
  SeedClass(reg::Root::LocalMachine, u".bad", reg::makeDword(1));
  ASSERT_EQ(Associate(Inst() + u"OrvelDraw.exe", u".bad False .od True "), std::nullopt);
  EXPECT_EQ(w().take(), std::vector<std::string>{
                            "msgbox plain \"Setup\" \"Ungültiger Datentyp für ''\" \"OK\" -> \"OK\" (default)"});
  EXPECT_EQ(Body(), (std::vector<Str>{u".bad False", u".od True"}));
  EXPECT_EQ(ClassOf(reg::Root::LocalMachine, u".od"), u"OrvelDraw");
  EXPECT_EQ(ClassOf(reg::Root::CurrentUser, u".od"), u"OrvelDraw");
}

// A doubled blank gives an empty extension, which must not touch the Classes key itself.
TEST_F(Association, EmptyExtensionChangesNothing) {
  ASSERT_EQ(Associate(Inst() + u"OrvelDraw.exe", u" True .od True "), std::nullopt);
  EXPECT_EQ(Body(), (std::vector<Str>{u" True", u".od True"}));
  for (reg::Root root : kRoots) EXPECT_NE(registryString(root, u"SOFTWARE\\Classes"), u"OrvelDraw");
}

// The open command with "&quot;" for each double quote, only below HKEY_LOCAL_MACHINE.
TEST_F(Association, OpenCommandRewrite) {
  const Str fourth = u"&quot;C:\\Tools\\viewer.exe&quot; &quot;%1&quot;";
  ASSERT_EQ(Run(UpdateArgs(Inst() + u"OrvelDraw.exe", u"kxregistry", fourth)), std::nullopt);
  EXPECT_EQ(registryString(reg::Root::LocalMachine, kClass + u"\\Shell\\Open\\command"),
            u"\"C:\\Tools\\viewer.exe\" \"%1\"");
  EXPECT_FALSE(keyExists(reg::Root::CurrentUser, kClass));
  EXPECT_FALSE(registryString(reg::Root::LocalMachine, kClass));  // nothing else of the class
  EXPECT_EQ(Log().front(), u"Old Version: " + fourth);
  EXPECT_EQ(Log().back(), Inst() + u"update.txt");
  EXPECT_FALSE(FUpdater->Restart);
  if (test::TestMachine::emulated()) {
    EXPECT_EQ(Notifications(), 0u);
  }
}

// Without rights below HKEY_LOCAL_MACHINE the file class cannot be written:
// the run ends with the registry's error before any extension.
TEST_F(Association, EmulatedOnly_NonAdministratorEndsTheRun) {
  if (!test::TestMachine::emulated()) GTEST_SKIP() << "needs a non-administrator";
  test::TestMachine user(std::map<std::string, std::string>{{"Machine.Administrator", "0"}});
  EXPECT_EQ(Associate(user.scratch() + u"OrvelDraw.exe", u".od True "), u"Fehler beim Setzen der Daten für ''");
  EXPECT_FALSE(ClassOf(reg::Root::CurrentUser, u".od"));
  EXPECT_FALSE(files::fileExists(user.scratch() + u"update.txt"));
  EXPECT_EQ(Run(UpdateArgs(user.scratch(), u"kxregistry", u"x")), u"Fehler beim Setzen der Daten für ''");
}

}  // namespace
}  // namespace orvel
