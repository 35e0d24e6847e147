// Checks that hold on Windows but not yet under Wine, labelled where they
// are (Wine's own tests call this todo_wine): under Wine their failures are
// expected and only noted, and a check that passes is reported as a failure,
// so that the label is noticed and removed once Wine behaves like Windows.
#pragma once

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <iostream>

namespace orvel::test {

// True when the Windows build runs under Wine (never natively).
bool runsUnderWine();

// Runs `checks` (gtest EXPECT_* statements): as usual outside Wine; under
// Wine as a known difference named by `what`.
template <class Checks>
void todoWine(const char* what, Checks checks) {
  if (!runsUnderWine()) {
    checks();
    return;
  }
  testing::TestPartResultArray failures;
  {
    testing::ScopedFakeTestPartResultReporter reporter(
        testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
    checks();
  }
  if (failures.size() == 0)
    ADD_FAILURE() << "todo_wine succeeds now, drop the label: " << what;
  else
    std::cout << "[ todo_wine ] " << what << "\n";
}

}  // namespace orvel::test
