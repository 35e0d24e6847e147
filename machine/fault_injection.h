// A test mode of the emulated machine, in three parts.
//
// Failures: the N-th call of chosen platform services fails with a given
// Windows error (access denied, sharing violation, disk full, path not
// found), before it has done anything, as the real call fails on a busy or
// full machine. The services check the plan at their entry; without a plan
// every check passes and nothing is counted. A test arms the plan in its own
// process; a program started as a process takes it from
// ORVEL_FAULT="<service>:<n>:<error>" (for example "files.writeFile:2:112")
// at its first check.
//
// Crashes: the process stops as if killed, at the entry of the N-th checked
// call (so after the one before it), or inside the N-th write of bytes to a
// file, after a torn prefix of it; or that write meets a full disk after the
// prefix and fails with ENOSPC. Every write of the machine's own files goes
// through writeAll below, so that it can be torn.
//
// Mutations: switches that put back, for a test of the tests, the ways of
// writing that the machine must never use.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvel::posix::faults {

struct Plan {
  // A service's name ("files.writeFile") or the start of names ("files.",
  // "registry."); empty: every checked service.
  std::string services;
  // The call that fails, counted from 1 among the planned services; 0: none
  // fails, the calls are only counted.
  uint64_t nth = 0;
  uint32_t error = 0;
  // The call raises std::logic_error instead, as a fault in the program
  // itself would, for a test that such a fault is not taken for a failure.
  bool programmingError = false;
};

// Replaces the plan of this process and starts the count afresh.
void arm(const Plan& plan);
void disarm();
// Calls of the planned services since the plan was armed.
uint64_t counted();
// The name of the call that was made to fail, empty while none has.
std::string failedCall();

// At a service's entry: the error this call is to fail with, or 0; throws
// std::logic_error where the plan asks for a programming error.
uint32_t check(const char* service);

// Arms a plan for the lifetime of the object (a test's scope).
class ScopedPlan {
 public:
  explicit ScopedPlan(const Plan& plan) { arm(plan); }
  ~ScopedPlan() { disarm(); }
  ScopedPlan(const ScopedPlan&) = delete;
  ScopedPlan& operator=(const ScopedPlan&) = delete;
};

// --- crashes ------------------------------------------------------------------

// How much of the torn write reaches the file.
enum class Tear { Nothing, First4KiB, AllButLastByte };
struct Crash {
  uint64_t beforeCall = 0;  // stop at the entry of this checked call (from 1); 0: never
  uint64_t inWrite = 0;     // tear this write (from 1); 0: never
  Tear tear = Tear::Nothing;
  bool diskFull = false;    // the torn write and every later one fail with ENOSPC instead of stopping
};
// The exit code of a process stopped by the plan.
constexpr int kStoppedExitCode = 86;

// Replaces the crash plan and starts the counts of calls and writes afresh.
// A plan of zeros only counts. Also starts a new run (below).
void armCrash(const Crash& crash);
void disarmCrash();
// Since the plan was armed: the checked calls, by name, and the size of
// each write.
std::vector<std::string> callsSeen();
std::vector<size_t> writesSeen();
// What the machine does once per process (sweeping a folder of what killed
// runs left, reading the registry) it does again after this, so that a test
// process can play several runs one after the other.
void newRun();
uint64_t runNumber();
// The bytes of this write that reach the file before it tears, when the
// plan tears it (counting it as one write); nothing when it goes whole.
std::optional<size_t> tornPrefix(size_t size);
// Writes the torn prefix of a write that tornPrefix tore, then stops the
// process, or, on a full disk, returns false with errno ENOSPC.
bool writeTorn(int fd, const char* data, size_t prefix, off_t offset = -1);
// Writes all bytes at the current position (or at `offset`), retrying after
// a signal, through the crash plan; false with errno when it cannot.
bool writeAll(int fd, const char* data, size_t size, off_t offset = -1);

// --- mutations ----------------------------------------------------------------

enum class Mutation {
  None,
  ReplaceDeletesFirst,     // a replacing move deletes the target, then moves
  FilesWrittenInPlace,     // writeFile (INI files, logs) writes over the file itself
  RegistryWrittenInPlace,  // registry.reg is rewritten over itself
  RegistryEndMarkSkipped,  // an appended registry change is written without its end mark
};
void mutate(Mutation mutation);
bool mutated(Mutation mutation);

}  // namespace orvel::posix::faults
