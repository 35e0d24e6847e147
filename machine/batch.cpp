#include "machine/batch.h"

#include <cstdlib>
#include <optional>
#include <thread>

#include "platform/files.h"
#include "machine/machine.h"
#include "machine/paths.h"
#include "platform/system.h"

namespace orvel::posix::batch {
namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

StrView trimmedLeft(StrView s) {
  size_t first = 0;
  while (first < s.size() && isBlank(s[first])) ++first;
  return s.substr(first);
}

StrView trimmed(StrView s) {
  s = trimmedLeft(s);
  while (!s.empty() && (isBlank(s.back()) || s.back() == u'\r')) s.remove_suffix(1);
  return s;
}

bool hasWildcard(StrView s) { return s.find_first_of(u"*?") != StrView::npos; }

// The next blank-separated word, its quotes removed ("C:\Program Files\x"
// is one word). `pos` moves past it.
std::optional<Str> nextWord(StrView s, size_t& pos) {
  while (pos < s.size() && isBlank(s[pos])) ++pos;
  if (pos >= s.size()) return std::nullopt;
  Str word;
  bool quoted = false;
  for (; pos < s.size(); ++pos) {
    char16_t c = s[pos];
    if (c == u'"') quoted = !quoted;
    else if (isBlank(c) && !quoted) break;
    else word.push_back(c);
  }
  return word;
}

std::vector<Str> words(StrView s) {
  std::vector<Str> out;
  size_t pos = 0;
  while (auto word = nextWord(s, pos)) out.push_back(std::move(*word));
  return out;
}

// The name of a label line ":name rest" or of a goto target.
Str labelName(StrView s) {
  s = trimmedLeft(s);
  while (!s.empty() && s.front() == u':') s.remove_prefix(1);
  size_t end = 0;
  while (end < s.size() && !isBlank(s[end])) ++end;
  return Str(s.substr(0, end));
}

// cmd.exe's percent expansion in a batch file: "%%" is "%", %NAME% the
// variable's value (nothing when unset), %0 to %9 and %* the arguments
// (there are none), and a lone "%" disappears.
Str expandPercents(StrView line) {
  Str out;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != u'%') {
      out.push_back(line[i]);
      continue;
    }
    char16_t next = i + 1 < line.size() ? line[i + 1] : u'\0';
    if (next == u'%') {
      out.push_back(u'%');
      ++i;
    } else if ((next >= u'0' && next <= u'9') || next == u'*') {
      ++i;
    } else if (size_t close = line.find(u'%', i + 1); close != StrView::npos) {
      if (const char* value = std::getenv(toUtf8(line.substr(i + 1, close - i - 1)).c_str()))
        out += fromUtf8(value);
      i = close;
    }
  }
  return out;
}

class Interpreter {
 public:
  Interpreter(const std::vector<Str>& lines, Str folder, const Limits& limits, std::ostream* out)
      : lines_(lines), folder_(std::move(folder)), limits_(limits), out_(out) {}

  Outcome run() {
    auto start = std::chrono::steady_clock::now();
    while (next_ < lines_.size()) {
      StrView line = trimmed(lines_[next_++]);
      if (line.empty() || line.front() == u':') continue;
      bool quiet = line.front() == u'@';
      if (quiet) line = trimmedLeft(line.substr(1));
      if (echo_ && !quiet) say(folder_ + u">" + Str(line));
      Flow flow = execute(expandPercents(line));
      if (flow == Flow::End) break;
      if (flow == Flow::Jump) {
        if (std::chrono::steady_clock::now() - start > limits_.giveUpAfter) return Outcome::GaveUp;
        std::this_thread::sleep_for(limits_.pausePerJump);
      }
    }
    return Outcome::Finished;
  }

 private:
  enum class Flow { Next, Jump, End };

  void say(const Str& text) {
    if (out_) *out_ << toUtf8(text) << '\n';
  }

  // A path of a command taken against the interpreter's current folder.
  Str absolute(const Str& path) const {
    if (isAbsoluteWindowsPath(path)) return path;
    if (path.size() >= 2 && path[1] == u':') return path.substr(0, 2) + u"\\" + path.substr(2);
    if (!path.empty() && isSeparator(path[0])) return volume() + path;
    return folder_ + (folder_.empty() || isSeparator(folder_.back()) ? u"" : u"\\") + path;
  }

  // "C:" or "\\\\server\\share" of the current folder.
  Str volume() const {
    if (folder_.size() >= 2 && folder_[1] == u':') return folder_.substr(0, 2);
    size_t server = folder_.find(u'\\', 2);
    return folder_.substr(0, server == Str::npos ? server : folder_.find(u'\\', server + 1));
  }

  Flow execute(StrView text) {
    text = trimmed(text);
    size_t pos = 0;
    std::optional<Str> first = nextWord(text, pos);
    if (!first) return Flow::Next;
    Str name = upcased(*first);
    StrView rest = text.substr(pos);
    if (name == u"REM") return Flow::Next;
    if (name.rfind(u"ECHO", 0) == 0) return echo(text.substr(4));
    if (name == u"GOTO") return jump(rest);
    if (name == u"DEL" || name == u"ERASE") return del(rest);
    if (name == u"IF") return conditional(rest);
    if (name == u"RMDIR" || name == u"RD") return rmdir(rest);
    if (name == u"CD" || name == u"CHDIR") return chdir(rest);
    if (name == u"EXIT") return Flow::End;
    say(u"'" + *first + u"' is not recognized as an internal or external command,");
    say(u"operable program or batch file.");
    return Flow::Next;
  }

  Flow echo(StrView rest) {
    // "echo." prints what follows the dot, even nothing; in "echo text" the
    // separator after ECHO is not part of the text.
    if (!rest.empty() && rest.front() == u'.') {
      say(Str(rest.substr(1)));
      return Flow::Next;
    }
    if (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    Str state = upcased(trimmed(rest));
    if (state == u"ON" || state == u"OFF") echo_ = state == u"ON";
    else if (state.empty()) say(echo_ ? u"ECHO is on." : u"ECHO is off.");
    else say(Str(rest));
    return Flow::Next;
  }

  Flow jump(StrView rest) {
    Str target = labelName(rest);
    if (equalNoCase(target, u"EOF")) return Flow::End;
    for (size_t i = 0; i < lines_.size(); ++i) {
      StrView line = trimmedLeft(lines_[i]);
      if (!line.empty() && line.front() == u':' && equalNoCase(labelName(line), target)) {
        next_ = i + 1;
        return Flow::Jump;
      }
    }
    say(u"The system cannot find the batch label specified - " + target);
    return Flow::End;
  }

  Flow del(StrView rest) {
    bool force = false;
    bool quiet = false;
    std::vector<Str> names;
    for (Str& word : words(rest)) {
      Str upper = upcased(word);
      if (upper == u"/F") force = true;
      else if (upper == u"/Q") quiet = true;
      else if (!word.empty() && word[0] != u'/') names.push_back(absolute(word));
    }
    for (const Str& name : names) deleteMatching(name, force, quiet);
    return Flow::Next;
  }

  // del skips hidden and system files, as cmd.exe does without /A.
  static bool visibleToDel(uint32_t attributes) {
    return !(attributes & (files::kDirectory | files::kHidden | files::kSystem));
  }

  void deleteMatching(const Str& path, bool force, bool quiet) {
    Str folder = path.substr(0, path.find_last_of(u"\\/") + 1);
    if (hasWildcard(path) || files::directoryExists(path)) {
      // A folder stands for all its files; cmd.exe asks first, and nobody
      // answers a detached interpreter.
      bool wholeFolder = !hasWildcard(path);
      if (wholeFolder && !quiet) return;
      Str pattern = wholeFolder ? path + u"\\*" : path;
      if (wholeFolder) folder = path + u"\\";
      bool any = false;
      for (const files::FindEntry& entry : files::findFiles(pattern)) {
        if (!visibleToDel(entry.attributes)) continue;
        any = true;
        deleteOne(folder + entry.name, entry.attributes, force);
      }
      if (!any && !wholeFolder) say(u"Could Not Find " + path);
      return;
    }
    uint32_t attributes = files::getAttributes(path);
    if (attributes == files::kInvalidAttributes || !visibleToDel(attributes)) {
      say(u"Could Not Find " + path);
      return;
    }
    deleteOne(path, attributes, force);
  }

  void deleteOne(const Str& path, uint32_t attributes, bool force) {
    if (force && (attributes & files::kReadOnly)) (void)files::setAttributes(path, attributes & ~files::kReadOnly);
    if (Result deleted = files::deleteFile(path); !deleted) say(path + u"\r\n" + sys::errorMessage(deleted.error));
  }

  Flow conditional(StrView rest) {
    size_t pos = 0;
    std::optional<Str> word = nextWord(rest, pos);
    bool negated = word && equalNoCase(*word, u"NOT");
    if (negated) word = nextWord(rest, pos);
    if (!word || !equalNoCase(*word, u"EXIST")) {
      say(u"This form of IF is not supported here.");
      return Flow::Next;
    }
    std::optional<Str> path = nextWord(rest, pos);
    if (!path) {
      say(u"The syntax of the command is incorrect.");
      return Flow::End;
    }
    if (exists(absolute(*path)) != negated) return execute(rest.substr(pos));
    return Flow::Next;
  }

  static bool exists(const Str& path) {
    if (hasWildcard(path)) return !files::findFiles(path).empty();
    return files::getAttributes(path) != files::kInvalidAttributes;
  }

  Flow rmdir(StrView rest) {
    for (const Str& word : words(rest)) {
      if (!word.empty() && word[0] == u'/') {
        say(u"rmdir " + word + u" is not supported here.");
        return Flow::Next;
      }
    }
    for (const Str& word : words(rest)) {
      Str path = absolute(word);
      if (Result removed = files::removeDirectory(path); !removed) say(sys::errorMessage(removed.error));
    }
    return Flow::Next;
  }

  Flow chdir(StrView rest) {
    std::vector<Str> args = words(rest);
    if (args.empty()) {
      say(folder_);
    } else if (Str path = absolute(args[0]); files::directoryExists(path)) {
      folder_ = path;
    } else {
      say(u"The system cannot find the path specified.");
    }
    return Flow::Next;
  }

  const std::vector<Str>& lines_;
  Str folder_;
  Limits limits_;
  std::ostream* out_;
  size_t next_ = 0;
  bool echo_ = true;
};

std::vector<Str> splitLines(const Str& text) {
  std::vector<Str> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == Str::npos) end = text.size();
    Str line = text.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace

Outcome runLines(const std::vector<Str>& lines, const Str& workingFolder, const Limits& limits,
                 std::ostream* out) {
  Str folder = workingFolder.empty() ? currentWindowsFolder(Machine::current()) : workingFolder;
  while (folder.size() > 3 && isSeparator(folder.back())) folder.pop_back();
  return Interpreter(lines, folder, limits, out).run();
}

Outcome runFile(const Str& batchFile, const Str& workingFolder, const Limits& limits, std::ostream* out) {
  std::optional<std::string> bytes = files::readFile(batchFile);
  if (!bytes) return Outcome::Unreadable;
  return runLines(splitLines(sys::decode(*bytes, sys::oemCodePage())), workingFolder, limits, out);
}

}  // namespace orvel::posix::batch
