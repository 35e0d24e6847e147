// A languages folder beside the running program (the test binary), where the
// setup window looks for the file of the user's language.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/fmx_utils.h"
#include "platform/files.h"
#include "tests/support/test_machine.h"

namespace orvel::test {

// Made for one case and removed with everything in it afterwards, also when
// an earlier run left one behind.
class LanguagesBesideProgram {
 public:
  LanguagesBesideProgram() : folder_(ProgramFolder() + u"languages\\") {
    removeAll();
    EXPECT_TRUE(files::forceDirectories(folder_).ok());
  }
  ~LanguagesBesideProgram() { removeAll(); }
  LanguagesBesideProgram(const LanguagesBesideProgram&) = delete;
  LanguagesBesideProgram& operator=(const LanguagesBesideProgram&) = delete;

  // Writes a file into the folder; its full path.
  Str put(const Str& name, const std::string& bytes) {
    writeTestFile(folder_ + name, bytes);
    return folder_ + name;
  }

 private:
  void removeAll() {
    for (const files::FindEntry& entry : files::findFiles(folder_ + u"*.*")) (void)files::deleteFile(folder_ + entry.name);
    (void)files::removeDirectory(folder_);
  }
  Str folder_;
};

}  // namespace orvel::test
