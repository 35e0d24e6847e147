// Update mode never paints the setup window, so no language file is loaded:
// the copy lines of an update stay German whatever file lies beside the program.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/fmx_utils.h"
#include "tests/support/language_files.h"
#include "tests/support/update_fixture.h"

namespace orvel {
namespace {

using LanguageUpdate = test::UpdateTest;

TEST_F(LanguageUpdate, CopyLinesStayGermanWhateverLanguageFileExists) {
  const Str defaultFile = DefaultLanguageFile();
  if (defaultFile.back() == u'\\') GTEST_SKIP() << "the user's language is German: no file to lie beside the program";
  test::LanguagesBesideProgram languages;
  languages.put(defaultFile.substr(defaultFile.rfind(u'\\') + 1),
                "[Installation]\r\nLNGCopyFromTo=Copying %s to %s\r\nLNGCanNotDelete=Cannot delete %s\r\n");
  test::writeFiles(Inst(), {{u"OrvelDraw.exe", "exe 2.1"}});
  test::writeFiles(Src(), {{u"OrvelDraw.exe", "exe 2.2"}});

  // As the program runs an update: only the wait window shows.
  w().app().setShowMainForm(false);
  Fwait->show();
  w().app().processMessages();
  ASSERT_EQ(Run(UpdateArgs(Inst(), Src(), u"2.1")), std::nullopt);

  EXPECT_TRUE(FSetup->Starting);
  EXPECT_EQ(FSetup->Sprachdatei, u"");
  const Str copyLine = u"Kopiere " + Src() + u"OrvelDraw.exe nach " + Inst() + u"OrvelDraw.exe";
  EXPECT_NE(std::find(Log().begin(), Log().end(), copyLine), Log().end());
  for (const Str& line : Log()) EXPECT_EQ(line.find(u"Copying"), Str::npos) << toUtf8(line);
}

}  // namespace
}  // namespace orvel
