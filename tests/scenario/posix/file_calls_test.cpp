// How many calls of the file service an installation makes for each file it
// copies, counted on the emulated machine (Windows has no such counter): the
// copy alone, into a new folder or over an earlier installation, whatever
// the number of files. Every other call is made once per folder or job.
#include <gtest/gtest.h>

#include "machine/call_count.h"
#include "tests/support/installer_fixture.h"

namespace orvel {
namespace {

using test::FileSet;
using test::InstallerCase;

FileSet distributionWith(int templates) {
  FileSet files = test::standardDistribution();
  for (int i = 0; i < templates; ++i)
    files[u"templates\\template" + fromUtf8(std::to_string(i)) + u".odt"] = "template " + std::to_string(i);
  return files;
}

TEST(FileCallsPerCopiedFile, EmulatedOnly_AnInstallationCopiesEachFileWithOneCall) {
  for (const bool again : {false, true}) {
    SCOPED_TRACE(again ? "over an earlier installation" : "into a new folder");
    uint64_t calls[2] = {};
    uint64_t copies[2] = {};
    std::string seen[2];
    const int sizes[2] = {50, 250};
    for (int i = 0; i < 2; ++i) {
      InstallerCase c({}, distributionWith(sizes[i]));
      if (again) c.install();
      const posix::calls::Counting counting;
      c.install();
      ASSERT_EQ(test::listed(c.target() + u"templates\\*.*").size(), static_cast<size_t>(sizes[i] + 2));
      ASSERT_EQ(FMemo->Installation, 0);
      calls[i] = counting.total();
      const auto copied = counting.byService().find("files.copyFile");
      copies[i] = copied == counting.byService().end() ? 0 : copied->second;
      seen[i] = counting.describe();
    }
    const uint64_t more = static_cast<uint64_t>(sizes[1] - sizes[0]);
    EXPECT_EQ(copies[1] - copies[0], more) << seen[0] << "\n" << seen[1];
    EXPECT_EQ(calls[1] - calls[0], more) << seen[0] << "\n" << seen[1];
  }
}

}  // namespace
}  // namespace orvel
