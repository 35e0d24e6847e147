// The command interpreter of the emulated machine: runs the batch files
// that the program writes, with cmd.exe's meaning for the commands it knows:
//   echo on|off, echo text, @ before a command, rem, :label, goto label
//   (goto :eof ends), del / erase path... [/F] [/Q], if [not] exist path
//   command, rmdir / rd path (an empty folder only), cd path, exit.
// Paths may be quoted ("C:\Program Files\x"); "%%" is a percent sign and
// %NAME% the value of an environment variable. The file's bytes are read in
// the machine's OEM code page. A failing command reports on the output and
// the next line runs, as in cmd.exe.
#pragma once

#include <chrono>
#include <ostream>
#include <vector>

#include "platform/types.h"

namespace orvel::posix::batch {

struct Limits {
  // Each jump back yields the processor, so that a loop that waits for a
  // file to go away does not spin.
  std::chrono::milliseconds pausePerJump{1};
  // A loop that never ends is given up after this time, so that no
  // forgotten interpreter outlives a test run.
  std::chrono::milliseconds giveUpAfter{std::chrono::minutes(10)};
};

enum class Outcome {
  Finished,    // ran to its end, "exit" or "goto :eof"
  GaveUp,      // still jumping when the time ran out
  Unreadable,  // the batch file could not be read
};

// Runs the lines in `workingFolder` (a Windows path; empty: the process's
// current folder). Echoed lines and messages go to `out` when given.
Outcome runLines(const std::vector<Str>& lines, const Str& workingFolder, const Limits& limits = {},
                 std::ostream* out = nullptr);

// Reads the batch file (a Windows path) in the OEM code page and runs it.
Outcome runFile(const Str& batchFile, const Str& workingFolder, const Limits& limits = {},
                std::ostream* out = nullptr);

}  // namespace orvel::posix::batch
