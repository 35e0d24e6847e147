// The program's portable entry point. Each backend's entry/ file holds the
// native entry (wWinMain on Windows, main on Linux) that calls it.
#pragma once

namespace orvel {

// Runs the program with the process's command line; the result is the exit code.
int programMain();

}  // namespace orvel
