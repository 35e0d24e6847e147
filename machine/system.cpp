// The process and the emulated machine it runs on. Everything the machine
// decides comes from machine.ini, read anew on each call.
#include "platform/system.h"

#include <unistd.h>

#include <chrono>
#include <climits>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>

#include "machine/codepages.h"
#include "machine/machine.h"

namespace orvel::sys {
namespace {

using posix::Machine;

std::string ownExecutable() {
  std::string path(PATH_MAX, '\0');
  ssize_t size = readlink("/proc/self/exe", path.data(), path.size());
  path.resize(size > 0 ? static_cast<size_t>(size) : 0);
  return path;
}

// The system's English texts, as FormatMessageW gives them without their line break.
constexpr std::pair<uint32_t, const char16_t*> kMessages[] = {
    {0, u"The operation completed successfully."},
    {1, u"Incorrect function."},
    {2, u"The system cannot find the file specified."},
    {3, u"The system cannot find the path specified."},
    {5, u"Access is denied."},
    {6, u"The handle is invalid."},
    {17, u"The system cannot move the file to a different disk drive."},
    {18, u"There are no more files."},
    {31, u"A device attached to the system is not functioning."},
    {32, u"The process cannot access the file because it is being used by another process."},
    {80, u"The file exists."},
    {87, u"The parameter is incorrect."},
    {112, u"There is not enough space on the disk."},
    {122, u"The data area passed to a system call is too small."},
    {123, u"The filename, directory name, or volume label syntax is incorrect."},
    {145, u"The directory is not empty."},
    {161, u"The specified path is invalid."},
    {183, u"Cannot create a file when that file already exists."},
    {206, u"The filename or extension is too long."},
    {234, u"More data is available."},
    {259, u"No more data is available."},
    {267, u"The directory name is invalid."},
    {1008, u"An attempt was made to reference a token that does not exist."},
    {1018, u"Illegal operation attempted on a registry key that has been marked for deletion."},
};

}  // namespace

std::optional<Str> networkUserName(size_t bufferChars) {
  std::optional<Str> name = Machine::current().settings().userName;
  if (!name || name->size() + 1 > bufferChars) return std::nullopt;
  return name;
}

uint16_t userDefaultLangId() { return Machine::current().settings().langId; }

bool isAdministrator() { return Machine::current().settings().administrator; }

std::optional<Str> tempPath(size_t bufferChars) {
  Machine machine = Machine::current();
  auto folder = machine.settings().folders.find("Temp");
  if (folder == machine.settings().folders.end() || folder->second.empty()) return std::nullopt;
  Str path = folder->second;
  if (path.back() != u'\\' && path.back() != u'/') path += u'\\';
  if (path.size() + 1 > bufferChars) return std::nullopt;
  return path;
}

void sleepMs(uint32_t milliseconds) {
  double scaled = milliseconds * Machine::current().settings().sleepScale;
  if (scaled > 0) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(scaled));
}

Str modulePath() { return Machine::current().windowsPath(ownExecutable()); }

std::vector<Str> commandLineArguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<Str> arguments;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    arguments.push_back(fromUtf8(std::string_view(text).substr(start, end - start)));
    start = end + 1;
  }
  // Argument 0 is a host path when the program was started by one; Windows
  // shows the program's path as a Windows path.
  if (!arguments.empty() && arguments[0].find(u'/') != Str::npos)
    arguments[0] = Machine::current().windowsPath(toUtf8(arguments[0]));
  return arguments;
}

unsigned ansiCodePage() { return Machine::current().settings().ansiCodePage; }
unsigned oemCodePage() { return Machine::current().settings().oemCodePage; }

std::string encode(const Str& text, unsigned codePage) { return posix::encodeCodePage(text, codePage); }
Str decode(const std::string& bytes, unsigned codePage) { return posix::decodeCodePage(bytes, codePage); }

Str errorMessage(uint32_t code) {
  for (const auto& [known, text] : kMessages)
    if (known == code) return text;
  return {};  // FormatMessageW knows no text for it
}

}  // namespace orvel::sys
