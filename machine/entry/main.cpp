#include "platform/entry.h"
#include "machine/own_executable.h"

int main() {
  // Like Windows, the machine keeps a running program's file from being
  // deleted or overwritten until the program ends.
  orvel::posix::ExecutableLock running = orvel::posix::lockOwnExecutable();
  return orvel::programMain();
}
