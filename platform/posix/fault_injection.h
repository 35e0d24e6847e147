// A test mode of the emulated machine: the N-th call of chosen platform
// services fails with a given Windows error (access denied, sharing
// violation, disk full, path not found), before it has done anything, as
// the real call fails on a busy or full machine. The services check the plan
// at their entry; without a plan every check passes and nothing is counted.
//
// A test arms the plan in its own process; a program started as a process
// takes it from ORVEL_FAULT="<service>:<n>:<error>" (for example
// "files.writeFile:2:112") at its first check.
#pragma once

#include <cstdint>
#include <string>

namespace orvel::posix::faults {

struct Plan {
  // A service's name ("files.writeFile") or the start of names ("files.",
  // "registry."); empty: every checked service.
  std::string services;
  // The call that fails, counted from 1 among the planned services; 0: none
  // fails, the calls are only counted.
  uint64_t nth = 0;
  uint32_t error = 0;
};

// Replaces the plan of this process and starts the count afresh.
void arm(const Plan& plan);
void disarm();
// Calls of the planned services since the plan was armed.
uint64_t counted();
// The name of the call that was made to fail, empty while none has.
std::string failedCall();

// At a service's entry: the error this call is to fail with, or 0.
uint32_t check(const char* service);

// Arms a plan for the lifetime of the object (a test's scope).
class ScopedPlan {
 public:
  explicit ScopedPlan(const Plan& plan) { arm(plan); }
  ~ScopedPlan() { disarm(); }
  ScopedPlan(const ScopedPlan&) = delete;
  ScopedPlan& operator=(const ScopedPlan&) = delete;
};

}  // namespace orvel::posix::faults
