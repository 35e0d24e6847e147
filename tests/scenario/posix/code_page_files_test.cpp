// The files the program writes, byte for byte, on machines whose code pages
// are not Western European: install.txt, ODMachine.INI and update.txt in the
// ANSI code page, RunOrvel.bat in the OEM code page, for an installation in
// a folder with a Cyrillic or Japanese name.
#include <gtest/gtest.h>

#include <map>

#include "common/fmx_utils.h"
#include "tests/support/installer_fixture.h"
#include "tests/support/scripted_windows.h"
#include "updater/updater.h"

namespace orvel {
namespace {

using Letters = std::map<char16_t, std::string>;

struct CodePages {
  const char* ansi;
  const char* oem;
  Str folder;        // the installation folder's name
  Letters ansiBytes;  // its letters in each code page
  Letters oemBytes;
};

// A text as the code page holds it: ASCII as it is, the listed letters as
// listed, anything else (the German texts' umlauts) the default character.
std::string bytesOf(const Str& text, const Letters& letters) {
  std::string bytes;
  for (char16_t c : text) {
    if (c < 0x80) bytes.push_back(static_cast<char>(c));
    else if (auto it = letters.find(c); it != letters.end()) bytes += it->second;
    else bytes.push_back('?');
  }
  return bytes;
}

std::string linesOf(const std::vector<Str>& lines, const Letters& letters) {
  std::string bytes;
  for (const Str& line : lines) bytes += bytesOf(line, letters) + "\r\n";
  return bytes;
}

// The installation folder's name and the user folder "Настройки" in it.
const Letters kCyrillicIn866 = {{u'Д', "\x84"}, {u'о', "\xAE"}, {u'м', "\xAC"}};

const CodePages kMachines[] = {
    {"1251", "866", u"Дом",
     {{u'Д', "\xC4"}, {u'о', "\xEE"}, {u'м', "\xEC"}, {u'Н', "\xCD"}, {u'а', "\xE0"}, {u'с', "\xF1"},
      {u'т', "\xF2"}, {u'р', "\xF0"}, {u'й', "\xE9"}, {u'к', "\xEA"}, {u'и', "\xE8"}},
     kCyrillicIn866},
    // 932 has Cyrillic too; ソ ends in 0x5C, the backslash's byte.
    {"932", "866", u"ソフト日本Дом",
     {{u'ソ', "\x83\x5C"}, {u'フ', "\x83\x74"}, {u'ト', "\x83\x67"}, {u'日', "\x93\xFA"}, {u'本', "\x96\x7B"},
      {u'Д', "\x84\x44"}, {u'о', "\x84\x80"}, {u'м', "\x84\x7D"}, {u'Н', "\x84\x4E"}, {u'а', "\x84\x70"},
      {u'с', "\x84\x83"}, {u'т', "\x84\x84"}, {u'р', "\x84\x82"}, {u'й', "\x84\x7A"}, {u'к', "\x84\x7B"},
      {u'и', "\x84\x79"}},
     kCyrillicIn866},
};

TEST(CodePageFiles, EmulatedOnly_WrittenInTheMachinesCodePages) {
  for (const CodePages& row : kMachines) {
    SCOPED_TRACE(row.ansi);
    const test::MachineIni machineIni = {{"Machine.AnsiCodePage", row.ansi}, {"Machine.OemCodePage", row.oem}};
    Str target;
    {
      test::InstallerCase c(machineIni);
      target = c.scratch() + row.folder + u"\\";
      const Str settings = target + u"Настройки";
      c.w().act("set FSetup.EFolder " + toUtf8(target));
      c.w().act("select FSetup.RGRegOrIni 1");
      c.w().act("set FSetup.EUserfolder " + toUtf8(settings));
      c.install();
      ASSERT_TRUE(test::exists(target + u"OrvelDraw.exe"));

      EXPECT_EQ(test::readTestFile(target + u"install.txt"), linesOf(FMemo->MInstallation->lines(), row.ansiBytes));
      EXPECT_EQ(test::readTestFile(target + u"ODMachine.INI"),
                "[User]\r\nHomeDir=" + bytesOf(settings, row.ansiBytes) +
                    "\\\r\n[Orvel]\r\nLanguage=\r\nPortableApplication=0\r\n");

      FSetup->NachDir = target;
      FSetup->SetupLoeschen();
      const std::string folder = bytesOf(target, row.oemBytes);
      EXPECT_EQ(test::readTestFile(TempDirectory() + u"RunOrvel.bat"),
                "echo on\r\n:1\r\ndel " + folder + "Setup.exe\r\nif exist " + folder + "Setup.exe goto 1\r\nrmdir " +
                    folder + "\r\n");
    }
    {
      test::TestMachine machine(machineIni);
      test::UpdaterWindows windows;
      const Str inst = machine.scratch() + row.folder + u"\\";
      const Str src = machine.scratch() + row.folder + u" 2\\";
      test::writeTestFile(inst + u"OrvelDraw.exe", "exe 2.1");
      test::writeTestFile(src + u"OrvelDraw.exe", "exe 2.2");
      FUpdater->Source = src;
      FUpdater->Dest = inst;
      FUpdater->SetCommandLine({u"C:\\Orvel\\Setup.exe", u"-Update", inst, src, u"2.1"});
      FUpdater->MakeUpdate();
      const std::vector<Str>& log = FUpdater->Memo->lines();
      ASSERT_GT(log.size(), 3u);
      EXPECT_EQ(log[1], u"Source     : " + src);
      EXPECT_EQ(test::readTestFile(inst + u"update.txt"), linesOf(log, row.ansiBytes));
    }
  }
}

}  // namespace
}  // namespace orvel
