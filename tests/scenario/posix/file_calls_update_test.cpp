// How many calls of the file service an update makes for each file it
// replaces, counted on the emulated machine (Windows has no such counter):
// the copy beside the installed file and the move that puts it in its place,
// whatever the number of files. Every other call is made once per folder.
#include <gtest/gtest.h>

#include "machine/call_count.h"
#include "tests/support/update_fixture.h"

namespace orvel {
namespace {

using FileCallsPerUpdatedFile = test::UpdateTest;

TEST_F(FileCallsPerUpdatedFile, EmulatedOnly_AnUpdateReplacesEachFileWithTwoCalls) {
  const int sizes[2] = {40, 200};
  uint64_t calls[2] = {};
  uint64_t copiesAndMoves[2] = {};
  std::string seen[2];
  for (int i = 0; i < 2; ++i) {
    for (int n = 0; n < sizes[i]; ++n) {
      const Str name = u"styles\\style" + fromUtf8(std::to_string(i) + "-" + std::to_string(n)) + u".ods";
      test::writeTestFile(Src() + name, "new style");
      test::writeTestFile(Inst() + name, "old style");
    }
    const posix::calls::Counting counting;
    ASSERT_EQ(Run(UpdateArgs(Inst(), Src(), u"2.1")), std::nullopt);
    calls[i] = counting.total();
    for (const char* service : {"files.copyFile", "files.replaceFile"})
      if (auto n = counting.byService().find(service); n != counting.byService().end()) copiesAndMoves[i] += n->second;
    seen[i] = counting.describe();
    ASSERT_EQ(test::readTestFile(Inst() + u"styles\\style" + fromUtf8(std::to_string(i)) + u"-0.ods"), "new style");
  }
  // The second run updates the first run's styles too.
  const uint64_t more = static_cast<uint64_t>(sizes[0] + sizes[1] - sizes[0]);
  EXPECT_EQ(copiesAndMoves[1] - copiesAndMoves[0], 2 * more) << seen[0] << "\n" << seen[1];
  // The first run also makes the folders: the second makes no more calls but these.
  EXPECT_LE(calls[1] - calls[0], 2 * more) << seen[0] << "\n" << seen[1];
}

}  // namespace
}  // namespace orvel
