// Shortcuts of the system's shell link object and of our .lnk encoder are
// the same format: each side reads what the other wrote.
#include <gtest/gtest.h>

#include "common/shell_link.h"
#include "platform/files.h"
#include "formats/lnk_format.h"
#include "platform/shelllink.h"
#include "tests/support/test_machine.h"
#include "tests/support/todo_wine.h"

namespace orvel {
namespace {

class ShellLinkLnkFormat : public testing::Test {
 protected:
  void SetUp() override {
    program_ = machine_.scratch() + u"Orvel Draw\\OrvelDraw.exe";
    test::writeTestFile(program_, "MZ stand-in");
  }
  test::TestMachine machine_;
  Str program_;
};

// The decoder reads every property from the bytes that the shell's object saved.
TEST_F(ShellLinkLnkFormat, DecoderReadsWhatTheShellWrote) {
  const struct {
    TWindowState state;
    uint32_t showCommand;
  } rows[] = {{wsNormal, 1}, {wsMinimized, 6}, {wsMaximized, 3}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.showCommand);
    TShellLink link;
    link.Arguments = u"-open \"a b.odr\"";
    link.Description = u"Orvel-Draw zeichnen \u00FC";
    link.IconFile = program_;
    link.IconIndex = 3;
    link.HotKey = 0x064F;
    link.LinkFile = machine_.scratch() + u"shell.lnk";
    link.ProgramFile = program_;
    link.WindowState = row.state;
    link.Write();

    auto decoded = lnk::decode(test::readTestFile(link.LinkFile));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(toUtf8(decoded->target), toUtf8(program_));
    EXPECT_EQ(toUtf8(decoded->arguments), toUtf8(link.Arguments));
    EXPECT_EQ(toUtf8(decoded->description), toUtf8(link.Description));
    EXPECT_EQ(toUtf8(decoded->iconLocation), toUtf8(program_));
    EXPECT_EQ(decoded->iconIndex, 3);
    EXPECT_EQ(decoded->hotKey, 0x064F);
    EXPECT_EQ(decoded->showCommand, row.showCommand);
    EXPECT_EQ(toUtf8(decoded->workingDirectory), toUtf8(machine_.scratch() + u"Orvel Draw\\"));
  }
}

// A target on a share: the decoder finds it where the shell put it.
TEST_F(ShellLinkLnkFormat, DecoderReadsAUncTargetTheShellWrote) {
  TShellLink link;
  link.LinkFile = machine_.scratch() + u"unc.lnk";
  link.ProgramFile = u"\\\\orvelserver\\apps\\Orvel Draw\\OrvelDraw.exe";
  link.Write();
  auto decoded = lnk::decode(test::readTestFile(link.LinkFile));
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(toUtf8(decoded->target), toUtf8(link.ProgramFile));
  EXPECT_EQ(toUtf8(decoded->workingDirectory), "\\\\orvelserver\\apps\\Orvel Draw\\");
}

// The shell's object loads what our encoder wrote, the local form and a
// target without a file behind it alike.
TEST_F(ShellLinkLnkFormat, ShellReadsWhatTheEncoderWrote) {
  for (const Str& target : {program_, machine_.scratch() + u"Nirgends\\Fehlt.exe",
                            Str(u"\\\\orvelserver\\apps\\Orvel Draw\\OrvelDraw.exe")}) {
    SCOPED_TRACE(toUtf8(target));
    lnk::Shortcut shortcut;
    shortcut.target = target;
    shortcut.description = u"Beschreibung \u00E4";
    shortcut.workingDirectory = machine_.scratch();
    shortcut.arguments = u"/x \"y z\"";
    shortcut.iconLocation = program_;
    shortcut.iconIndex = 4;
    shortcut.hotKey = 0x0541;
    shortcut.showCommand = 3;
    const Str linkFile = machine_.scratch() + u"encoded.lnk";
    ASSERT_TRUE(files::writeFile(linkFile, lnk::encode(shortcut)));

    shelllink::LinkData data = shelllink::load(linkFile, 260).value();
    if (target.starts_with(u"\\\\")) {
      // Wine saves a share's path as a local path and finds none in the
      // network part of the LinkInfo, where Windows keeps it.
      test::todoWine("a target on a share", [&] { EXPECT_EQ(toUtf8(data.path), toUtf8(target)); });
    } else {
      EXPECT_EQ(toUtf8(data.path), toUtf8(target));
    }
    EXPECT_EQ(toUtf8(data.description), toUtf8(shortcut.description));
    EXPECT_EQ(toUtf8(data.workingDirectory), toUtf8(shortcut.workingDirectory));
    EXPECT_EQ(toUtf8(data.arguments), toUtf8(shortcut.arguments));
    EXPECT_EQ(toUtf8(data.iconFile), toUtf8(program_));
    EXPECT_EQ(data.iconIndex, 4);
    EXPECT_EQ(data.hotKey, 0x0541);
    test::todoWine("the loaded show command", [&] { EXPECT_EQ(data.showCommand, 3); });
  }
}

}  // namespace
}  // namespace orvel
