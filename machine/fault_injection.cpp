#include "machine/fault_injection.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

namespace orvel::posix::faults {
namespace {

// The one plan of the process: the seam stands for the machine's state,
// which is process-wide as well.
struct State {
  std::mutex mutex;
  bool armed = false;
  bool fromEnvironmentRead = false;
  Plan plan;
  uint64_t count = 0;
  std::string failed;
  bool crashArmed = false;
  Crash crash;
  std::vector<std::string> calls;
  std::vector<size_t> writes;
  Mutation mutation = Mutation::None;
  uint64_t run = 0;
};

State& state() {
  static State s;
  return s;
}

// "<services>:<n>:<error>"; anything else arms nothing.
void readEnvironment(State& s) {
  s.fromEnvironmentRead = true;
  const char* text = std::getenv("ORVEL_FAULT");
  if (!text || !*text) return;
  const std::string value = text;
  const size_t first = value.find(':');
  const size_t second = first == std::string::npos ? first : value.find(':', first + 1);
  if (second == std::string::npos) return;
  s.plan.services = value.substr(0, first);
  s.plan.nth = std::strtoull(value.c_str() + first + 1, nullptr, 10);
  s.plan.error = static_cast<uint32_t>(std::strtoul(value.c_str() + second + 1, nullptr, 10));
  s.armed = true;
}

}  // namespace

void arm(const Plan& plan) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.fromEnvironmentRead = true;
  s.armed = true;
  s.plan = plan;
  s.count = 0;
  s.failed.clear();
}

void disarm() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.armed = false;
  s.count = 0;
  s.failed.clear();
}

uint64_t counted() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.count;
}

std::string failedCall() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.failed;
}

namespace {
// As a kill would: no destructor runs, no buffer is flushed.
[[noreturn]] void stop() { _exit(kStoppedExitCode); }
}  // namespace

uint32_t check(const char* service) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (s.crashArmed) {
    s.calls.push_back(service);
    if (s.calls.size() == s.crash.beforeCall) stop();
  }
  if (!s.fromEnvironmentRead) readEnvironment(s);
  if (!s.armed || std::string(service).rfind(s.plan.services, 0) != 0) return 0;
  if (++s.count != s.plan.nth) return 0;
  s.failed = service;
  if (s.plan.programmingError) throw std::logic_error(std::string("injected programming error in ") + service);
  return s.plan.error;
}

void armCrash(const Crash& crash) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.crashArmed = true;
  s.crash = crash;
  s.calls.clear();
  s.writes.clear();
  ++s.run;
}

void newRun() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  ++s.run;
}

uint64_t runNumber() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.run;
}

void disarmCrash() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.crashArmed = false;
}

std::vector<std::string> callsSeen() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.calls;
}

std::vector<size_t> writesSeen() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.writes;
}

std::optional<size_t> tornPrefix(size_t size) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (!s.crashArmed) return std::nullopt;
  s.writes.push_back(size);
  // A full disk stays full: every later write gets nothing in.
  if (s.crash.diskFull && s.crash.inWrite > 0 && s.writes.size() > s.crash.inWrite) return 0;
  if (s.writes.size() != s.crash.inWrite) return std::nullopt;
  switch (s.crash.tear) {
    case Tear::Nothing: return 0;
    case Tear::First4KiB: return std::min<size_t>(size, 4096);
    case Tear::AllButLastByte: return size == 0 ? 0 : size - 1;
  }
  return 0;
}

namespace {

bool writeWhole(int fd, const char* data, size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t written = offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
    if (offset >= 0) offset += written;
  }
  return true;
}

}  // namespace

bool writeTorn(int fd, const char* data, size_t prefix, off_t offset) {
  if (!writeWhole(fd, data, prefix, offset)) return false;
  bool diskFull = false;
  {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    diskFull = s.crash.diskFull;
  }
  if (!diskFull) stop();
  errno = ENOSPC;
  return false;
}

bool writeAll(int fd, const char* data, size_t size, off_t offset) {
  if (std::optional<size_t> torn = tornPrefix(size)) return writeTorn(fd, data, *torn, offset);
  return writeWhole(fd, data, size, offset);
}

void mutate(Mutation mutation) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.mutation = mutation;
}

bool mutated(Mutation mutation) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return mutation != Mutation::None && s.mutation == mutation;
}

}  // namespace orvel::posix::faults
