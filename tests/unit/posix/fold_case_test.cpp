// Letter case on the emulated machine: which names are the same name, and
// the order the registry lists them in.
#include "formats/fold_case.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace orvel::formats {
namespace {

TEST(FoldCase, NamesThatAreTheSameName) {
  struct Row {
    Str a, b;
    bool same;
  };
  const Row rows[] = {
      {u"Größe Ÿ Łódź Юг", u"GRÖßE ÿ łÓDŹ юГ", true},  // 1 Latin and Cyrillic, ß stays
      {u"ςσ Άλφα", u"ΣΣ ΆΛΦΑ", true},                  // 2 Greek, final sigma, accents
      {u"Բարեւ", u"ԲԱՐԵՒ", true},                      // 3 Armenian
      {u"ｏｒｖｅｌ", u"ＯＲＶＥＬ", true},             // 4 full-width Latin
      {u"ⴀⴁ", u"ႠႡ", true},                            // 5 Georgian Nuskhuri and Asomtavruli
      {u"ა", u"Ა", false},                             // 6 Mkhedruli and Mtavruli (Unicode 11)
      {u"ß", u"ẞ", false},                             // 7 the capital sharp s came later
      {u"ı", u"I", false},                             // 8 dotless i
      {u"i", u"İ", false},                             // 9 dotted capital I
      {u"ſ", u"S", false},                             // 10 long s
      {u"µ", u"Μ", false},                             // 11 micro sign and Greek Mu
      {u"ǅ", u"Ǆ", false},                             // 12 a title-case letter
      {u"ǆ", u"Ǆ", true},                              // 13 its small and capital forms
      {u"ꭰ", u"Ꭰ", false},                             // 14 Cherokee small letters (Unicode 8)
      {u"\U00010428", u"\U00010400", false},           // 15 Deseret, beyond the basic plane
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(equalNoCase(rows[i].a, rows[i].b), rows[i].same) << "row " << i + 1;
    EXPECT_EQ(compareNoCase(rows[i].a, rows[i].b) == 0, rows[i].same) << "row " << i + 1;
    EXPECT_EQ(upcased(rows[i].a) == upcased(rows[i].b), rows[i].same) << "row " << i + 1;
  }
}

// The registry keeps its names sorted and looks them up by that order, so
// the order must agree with equality: sorted, every unit of the basic plane
// lies in one run with exactly the units of the same capital, and a capital
// stays a capital.
TEST(FoldCase, OrderAgreesWithEqualityOverTheBasicPlane) {
  std::vector<char16_t> units;
  for (unsigned u = 0; u < 0x10000; ++u) units.push_back(static_cast<char16_t>(u));
  auto name = [](const char16_t& c) { return StrView(&c, 1); };
  std::stable_sort(units.begin(), units.end(),
                   [&](const char16_t& a, const char16_t& b) { return compareNoCase(name(a), name(b)) < 0; });
  std::set<char16_t> capitalsSeen;
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t capital = upcase(units[i]);
    ASSERT_EQ(upcase(capital), capital) << std::hex << int(units[i]);
    const bool sameRun = i > 0 && compareNoCase(name(units[i - 1]), name(units[i])) == 0;
    if (sameRun) {
      ASSERT_EQ(upcase(units[i - 1]), capital) << std::hex << int(units[i]);
    } else {
      ASSERT_TRUE(capitalsSeen.insert(capital).second) << std::hex << int(units[i]);
    }
  }
}

// Names sort as Wine lists registry keys: by their lower-case forms, so that
// an underscore comes before the letters.
TEST(FoldCase, NamesSortByTheirLowerCaseForms) {
  EXPECT_LT(compareNoCase(u"a_", u"aB"), 0);
  EXPECT_LT(compareNoCase(u"_", u"Z"), 0);
  EXPECT_LT(compareNoCase(u"ÿ", u"Ā"), 0);
  EXPECT_LT(compareNoCase(u"abc", u"ABCD"), 0);
}

}  // namespace
}  // namespace orvel::formats
