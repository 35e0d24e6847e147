// INI files on the emulated machine, read and changed as INI text (ini_text.h)
// through the file service, which maps the Windows path and replaces a
// written file atomically. The file read last is kept, parsed, while it is
// unchanged, so that reading every key of a file reads the file once.
#include "platform/profile.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/files.h"
#include "machine/file_stamp.h"
#include "formats/ini_text.h"
#include "machine/fault_injection.h"
#include "machine/paths.h"
#include "platform/system.h"

namespace orvel::profile {



namespace {

ini::AnsiDecoder ansiDecoder() {
  unsigned codePage = sys::ansiCodePage();
  return [codePage](const std::string& bytes) { return sys::decode(bytes, codePage); };
}

ini::AnsiEncoder ansiEncoder() {
  unsigned codePage = sys::ansiCodePage();
  return [codePage](const Str& text) { return sys::encode(text, codePage); };
}

std::optional<ini::Document> read(const Str& file) {
  auto bytes = files::readFile(file);
  if (!bytes) return std::nullopt;
  return ini::Document::parse(*bytes, ansiDecoder());
}

// The documents read last, by host path and code page, each with the stamp
// the file had before it was read. A stamp taken right after a change is not
// trusted (file_stamp.h): such a file is read again.
class Documents {
 public:
  static Documents& instance() {
    static Documents documents;
    return documents;
  }

  std::shared_ptr<const ini::Document> load(const Str& file) {
    posix::Machine machine = posix::Machine::current();
    std::optional<std::string> host = posix::resolveHostPath(machine, file);
    std::optional<posix::FileStamp> stamp = host ? posix::FileStamp::of(*host) : std::nullopt;
    Key key{host.value_or(std::string()), machine.settings().ansiCodePage};
    if (stamp) {
      std::lock_guard<std::mutex> guard(mutex_);
      auto it = documents_.find(key);
      // A file opened without sharing cannot be read, cached or not.
      if (it != documents_.end() && it->second.stamp == *stamp && it->second.stamp.settled() &&
          posix::holderOf(*host) != posix::Holder::ExclusiveOwner)
        return it->second.document;
    }
    std::optional<ini::Document> doc = read(file);
    if (!doc) return nullptr;
    doc->buildIndex();
    auto document = std::make_shared<const ini::Document>(std::move(*doc));
    if (stamp && stamp->settled()) {
      std::lock_guard<std::mutex> guard(mutex_);
      if (documents_.size() >= kMostFiles) documents_.clear();
      documents_.insert_or_assign(key, Entry{*stamp, document});
    }
    return document;
  }

 private:
  static constexpr size_t kMostFiles = 16;
  using Key = std::pair<std::string, unsigned>;
  struct Entry {
    posix::FileStamp stamp;
    std::shared_ptr<const ini::Document> document;
  };
  std::mutex mutex_;
  std::map<Key, Entry> documents_;
};

std::shared_ptr<const ini::Document> load(const Str& file) { return Documents::instance().load(file); }

// The reader drops trailing blanks of the default, and its buffer cuts it.
Str readerDefault(const Str& def) {
  Str d = def.substr(0, def.find(u'\0'));
  while (!d.empty() && d.back() == u' ') d.pop_back();
  return d.substr(0, kMaxValue);
}

}  // namespace

std::vector<Str> sectionKeys(const Str& file, const Str& section) {
  auto doc = load(file);
  return doc ? doc->keys(section) : std::vector<Str>{};
}

Str readString(const Str& file, const Str& section, const Str& key, const Str& def) {
  auto doc = load(file);
  auto value = doc ? doc->value(section, key) : std::nullopt;
  return value ? ini::readerValue(*value, kMaxValue) : readerDefault(def);
}

Result writeString(const Str& file, const Str& section, const Str& key, const Str& value) {
  if (uint32_t injected = posix::faults::check("profile.writeString")) return Result::failure(injected);
  // A missing file starts as empty 8-bit text; one that is there but cannot
  // be read is never replaced by what little this call would write.
  const files::FileContents contents = files::readFileContents(file);
  if (!contents.ok() && !contents.missing()) return Result::failure(contents.error);
  auto doc = contents.ok() ? ini::Document::parse(contents.bytes, ansiDecoder()) : ini::Document{};
  if (!doc.set(section, key, value)) return Result::success();
  return files::writeFile(file, doc.bytes(ansiEncoder()));
}

}  // namespace orvel::profile
