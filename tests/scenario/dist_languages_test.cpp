// The distribution's own language files, read as the program reads them: each
// carries every key that the two windows and the messages offer, nothing
// else, message texts whose "%s" placeholders fit their use, and text that
// survives the profile reader whatever the system's code page.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/format.h"
#include "common/language_file.h"
#include "platform/files.h"
#include "tests/support/language_keys.h"
#include "tests/support/machine_state.h"
#include "tests/support/scripted_windows.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

using test::distributionFolder;
using test::kMessageKeys;
using test::kWindowKeys;
using test::TestMachine;

// Each file and the caption it must show, which proves that its letters
// beyond ASCII arrive intact.
const std::vector<std::pair<Str, Str>> kFiles = {
    {u"english.ini", u"Setup for Orvel-Draw"},
    {u"espanol.ini", u"Instalación de Orvel-Draw"},
    {u"dutch.ini", u"Installatie van Orvel-Draw"},
};

size_t countOf(const Str& text, const Str& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != Str::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

bool isAscii(const std::string& bytes) {
  for (unsigned char c : bytes)
    if (c >= 0x80) return false;
  return true;
}

TEST(DistributionLanguages, TheDistributionShipsTheThreeFiles) {
  TestMachine machine;
  std::set<Str> names;
  for (const files::FindEntry& entry : files::findFiles(distributionFolder() + u"languages\\*.ini"))
    names.insert(entry.name);
  EXPECT_EQ(names, (std::set<Str>{u"dutch.ini", u"english.ini", u"espanol.ini"}));
}

// Every key present and non-empty, no key the program does not know (a
// misspelt key would silently leave a German text), and text beyond ASCII
// only in UTF-16, which reads the same under every code page.
TEST(DistributionLanguages, EachFileHasEveryKeyAndNoOther) {
  TestMachine machine;
  std::set<Str> offered(kWindowKeys.begin(), kWindowKeys.end());
  for (const auto& message : kMessageKeys) offered.insert(message.key);
  for (const auto& [name, caption] : kFiles) {
    SCOPED_TRACE(toUtf8(name));
    const Str path = distributionFolder() + u"languages\\" + name;
    const std::string bytes = test::readTestFile(path);
    EXPECT_TRUE(bytes.rfind("\xFF\xFE", 0) == 0 || isAscii(bytes)) << "not UTF-16 and not ASCII";

    const TranslationList list = ReadTranslationList(path);
    EXPECT_EQ(list.Value(u"Caption"), caption);
    for (const Str& key : offered) EXPECT_NE(list.Value(key), u"") << toUtf8(key) << " is missing";
    for (const Str& line : list.Lines()) {
      const Str key = line.substr(0, line.find(u'='));
      EXPECT_TRUE(offered.count(key)) << toUtf8(key) << " is no key of the program";
      EXPECT_EQ(line.find(u'\uFFFD'), Str::npos) << toUtf8(line);
    }
    EXPECT_EQ(list.Lines().size(), offered.size());
    // The label explains the placeholder that the user may type: it stays as it is.
    EXPECT_NE(list.Value(u"LHint2").find(u"%Username%"), Str::npos);
  }
}

// Each message has as many "%s" as its use fills, and no other "%": the
// paths come out in their order and nothing is left of the placeholders.
TEST(DistributionLanguages, MessagePlaceholdersFitTheirUse) {
  TestMachine machine;
  for (const auto& [name, caption] : kFiles) {
    const TranslationList list = ReadTranslationList(distributionFolder() + u"languages\\" + name);
    for (const test::MessageKey& message : kMessageKeys) {
      SCOPED_TRACE(toUtf8(name + u" " + message.key));
      const Str text = list.Value(message.key);
      const int placeholders = message.paths;
      EXPECT_EQ(countOf(text, u"%s"), static_cast<size_t>(placeholders));
      EXPECT_EQ(countOf(text, u"%"), static_cast<size_t>(placeholders));
      const Str first = u"C:\\first path", second = u"D:\\second path";
      Str formatted;
      EXPECT_NO_THROW(formatted = placeholders == 2 ? Format(text, {first, second}) : Format(text, {first}));
      if (placeholders >= 1) {
        EXPECT_NE(formatted.find(first), Str::npos);
      }
      if (placeholders == 2) {
        EXPECT_LT(formatted.find(first), formatted.find(second));
      }
    }
  }
}

// Loaded through the Language button, each file gives the radio group two
// choices and keeps the selection, and every control of both windows shows
// the file's texts.
TEST(DistributionLanguages, EachFileTranslatesBothWindows) {
  TestMachine machine;
  for (const auto& [name, caption] : kFiles) {
    SCOPED_TRACE(toUtf8(name));
    test::ScriptedWindows w;
    FSetup->show();
    w.act("select FSetup.RGRegOrIni 1");
    w.addActions("file " + toUtf8(distributionFolder()) + "languages\\" + toUtf8(name) + "\n");
    w.act("click FSetup.BLanguage");
    EXPECT_EQ(FSetup->caption(), caption);
    EXPECT_EQ(FMemo->caption(), caption);
    ASSERT_EQ(FSetup->RGRegOrIni->items().size(), 2u);
    for (const Str& item : FSetup->RGRegOrIni->items()) EXPECT_FALSE(item.empty());
    EXPECT_EQ(FSetup->RGRegOrIni->itemIndex(), 1);
    for (gui::Form* form : {static_cast<gui::Form*>(FSetup), static_cast<gui::Form*>(FMemo)}) {
      for (const auto& c : form->components()) {
        SCOPED_TRACE(toUtf8(form->name() + u"." + c->name()));
        const gui::Kind kind = c->kind();
        if (kind == gui::Kind::Button || kind == gui::Kind::CheckBox || kind == gui::Kind::Edit ||
            kind == gui::Kind::SpeedButton) {
          EXPECT_FALSE(c->hint().empty());
        }
      }
    }
    EXPECT_EQ(FMemo->BClose->caption(), FSetup->BClose->caption());
  }
}

}  // namespace
}  // namespace orvel
