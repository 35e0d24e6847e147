#include "tests/support/todo_wine.h"

namespace orvel::test {

bool runsUnderWine() { return false; }

}  // namespace orvel::test
