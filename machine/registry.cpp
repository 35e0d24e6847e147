// The registry of the emulated machine: the tree of registry_file.h in the
// machine's registry.reg. Each call works under a lock on registry.reg.lock
// (shared for reading, exclusive for a change) and a change is in the file
// before the lock is released, so that two processes never lose each
// other's changes. The tree read last stays in memory while the file is
// unchanged. A change replaces a small file atomically; a large one gets
// the change appended as a regedit block. Every change ends with an end mark
// (registry_file.h), so that a block torn by a killed process or a full disk
// is told from the changes before it: the file reads as its last whole
// change, and the next change cuts the torn block off.
//
// An open key is its location: the hive and the path of names. It holds no
// data; every call looks the key up again, and a key deleted meanwhile fails
// with kKeyDeleted, as a handle to a deleted key does on Windows.
#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <optional>

#include "machine/fault_injection.h"
#include "machine/file_stamp.h"
#include "formats/fold_case.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/paths.h"
#include "formats/registry_file.h"
#include "machine/temp_files.h"

namespace orvel::reg {
namespace {

using posix::Fd;
using posix::FileStamp;
using regfile::Hives;
using regfile::KeyNode;

enum class Hive { CurrentUser, LocalMachine };

// Access rights (winnt.h) that the checks below look at.
constexpr uint32_t kQueryValue = 0x0001;
constexpr uint32_t kSetValue = 0x0002;
constexpr uint32_t kCreateSubKey = 0x0004;
constexpr uint32_t kEnumerateSubKeys = 0x0008;
constexpr uint32_t kCreateLink = 0x0020;
constexpr uint32_t kDelete = 0x10000;
constexpr uint32_t kWriteDac = 0x40000;
constexpr uint32_t kWriteOwner = 0x80000;
constexpr uint32_t kWriteRights = kSetValue | kCreateSubKey | kCreateLink | kDelete | kWriteDac | kWriteOwner;

// ERROR_BADDB: a registry.reg that cannot be read whole.
constexpr uint32_t kBadDb = 1009;

Result failure(uint32_t code) { return Result::failure(code); }

uint32_t errorOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return err::kPathNotFound;
    default: return err::kAccessDenied;
  }
}

// flock on a file beside the registry, held for the lifetime of the object.
// The lock file also counts the changes, so that a process tells whether its
// tree is still the file's.
class StoreLock {
 public:
  // Closing the descriptor releases the lock.
  StoreLock(const std::string& path, bool exclusive) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (!fd_.valid()) return;
    while (::flock(fd_.get(), exclusive ? LOCK_EX : LOCK_SH) != 0) {
      if (errno != EINTR) {
        fd_.reset();
        return;
      }
    }
  }
  bool held() const { return fd_.valid(); }

  // The count of changes, written by each change under the lock; 0 when
  // none could be written (a full disk): the file's stamp still tells.
  unsigned long long generation() const {
    char text[32] = {};
    unsigned long long generation = 0;
    if (held() && ::pread(fd_.get(), text, sizeof text - 1, 0) > 0) std::sscanf(text, "%llu", &generation);
    return generation;
  }
  void write(unsigned long long generation) const {
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%020llu\n", generation);
    if (held() && n > 0) (void)posix::faults::writeAll(fd_.get(), text, static_cast<size_t>(n), 0);
  }

 private:
  Fd fd_;
};

// The tree of the registry file this process last read or wrote, kept while
// the file under the lock is the one it stands for, so that a call reads the
// file only when another process changed it.
struct TreeCache {
  std::mutex mutex;
  bool valid = false;
  std::string file;
  FileStamp stamp;
  unsigned long long generation = 0;
  Hives hives;
  off_t readable = 0;  // where the part that is read ends (a torn change may follow)
  off_t whole = 0;     // the size when the file was last read or written whole
  bool appendable = false;  // in this machine's own form, ending with an end mark, so that blocks may follow
  uint64_t run = 0;         // the run of the process it was read in (fault_injection.h)

  static TreeCache& instance() {
    static TreeCache cache;
    return cache;
  }
};

// A file up to this size is written anew on every change; a larger one gets
// the change appended as a regedit block, and is written anew once the
// blocks outgrow the rest. So a change costs no more than the change itself
// and the file stays what regedit imports.
constexpr off_t kRewriteBelow = 4 * 1024;

std::optional<std::string> readWholeFile(const std::string& path, int& error) {
  const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    error = errno;
    return std::nullopt;
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      error = got < 0 ? errno : 0;
      if (got < 0) return std::nullopt;
      return bytes;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

bool writeAll(int fd, const std::string& bytes) { return posix::faults::writeAll(fd, bytes.data(), bytes.size()); }

// Writes a temporary file beside `path` and renames it over `path`. No
// fsync: the rename alone keeps a killed process from leaving a torn file,
// and Windows, too, writes its registry to disk lazily.
Result replaceFile(const std::string& path, const std::string& bytes) {
  if (posix::faults::mutated(posix::faults::Mutation::RegistryWrittenInPlace)) {
    const Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    return fd.valid() && writeAll(fd.get(), bytes) ? Result::success() : failure(errorOf(errno));
  }
  const std::string folder = posix::hostParent(path);
  posix::removeStaleTemps(folder);
  std::string temp = posix::tempTemplate(folder);
  Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd.valid()) return failure(errorOf(errno));
  bool written = ::fchmod(fd.get(), 0644) == 0 && writeAll(fd.get(), bytes);
  int error = errno;
  fd.reset();
  if (written && ::rename(temp.c_str(), path.c_str()) == 0) return Result::success();
  if (written) error = errno;
  ::unlink(temp.c_str());
  return failure(errorOf(error));
}

// The machine's registry for the span of one call.
class Store {
 public:
  enum Mode { kRead, kChange };

  explicit Store(Mode mode)
      : machine_(posix::Machine::currentBeforeLookUp()),
        cache_(TreeCache::instance()),
        guard_(cache_.mutex),
        lock_(lockOf(machine_, mode == kChange)) {
    load();
  }

  // Why the registry cannot be used: a file that cannot be read, or read
  // whole. Such a file is never written over.
  Result state() const { return state_; }
  bool administrator() const { return machine_.settings().administrator; }

  KeyNode& hive(Hive h) { return h == Hive::CurrentUser ? cache_.hives.currentUser : cache_.hives.localMachine; }
  KeyNode* find(Hive h, const std::vector<Str>& path) { return hive(h).find(path); }
  // A key without values or subkeys, for a view that has no key behind it.
  KeyNode& emptyKey() { return empty_ = KeyNode{}; }

  // Puts the changed tree into the file; `block` is the change as a regedit
  // block, for a file that takes it appended.
  Result commit(const std::string& block) {
    if (!lock_.held()) return failure(err::kAccessDenied);
    Result r = appendable(block) ? append(block) : rewrite();
    if (!r) cache_.valid = false;  // the tree holds a change the file does not
    return r;
  }

 private:
  // The registry needs no drive C:, so the look at it is made only for a
  // machine whose root is not there yet, which that look creates.
  static StoreLock lockOf(posix::Machine& machine, bool exclusive) {
    StoreLock lock(machine.registryFile() + ".lock", exclusive);
    if (lock.held() || errno != ENOENT) return lock;
    machine = posix::Machine::current();
    return StoreLock(machine.registryFile() + ".lock", exclusive);
  }

  void load() {
    const std::string file = machine_.registryFile();
    // A new run of the process knows nothing yet, as a new process.
    if (cache_.run != posix::faults::runNumber()) {
      cache_.valid = false;
      cache_.run = posix::faults::runNumber();
    }
    const unsigned long long generation = generation_ = lock_.generation();
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
      if (errno != ENOENT) return refuse(err::kAccessDenied);
      if (!(cache_.valid && cache_.file == file && cache_.stamp.size < 0)) keep(file, FileStamp{}, Hives{}, 0, false);
      cache_.generation = generation;
      return;
    }
    if (cache_.valid && cache_.file == file && cache_.stamp == FileStamp::of(info) &&
        cache_.generation == generation)
      return;
    cache_.valid = false;
    int error = 0;
    std::optional<std::string> bytes = readWholeFile(file, error);
    if (!bytes) return refuse(errorOf(error) == err::kPathNotFound ? err::kPathNotFound : err::kAccessDenied);
    if (::stat(file.c_str(), &info) != 0) return refuse(err::kAccessDenied);
    // What follows the last end mark is a change torn by a killed process
    // or a full disk: the file reads as the changes before it.
    const regfile::WholePart part = regfile::wholePart(*bytes);
    std::optional<Hives> hives = regfile::parse(std::string_view(*bytes).substr(0, part.size));
    if (!hives) return refuse(kBadDb);
    keep(file, FileStamp::of(info), std::move(*hives), static_cast<off_t>(part.size),
         part.marked && bytes->rfind("\xFF\xFE", 0) == 0);
    cache_.generation = generation;
  }

  void keep(const std::string& file, const FileStamp& stamp, Hives hives, off_t readable, bool appendable) {
    cache_.valid = true;
    cache_.file = file;
    cache_.stamp = stamp;
    cache_.hives = std::move(hives);
    cache_.readable = readable;
    cache_.whole = readable;
    cache_.appendable = appendable;
  }

  void refuse(uint32_t code) {
    cache_.valid = false;
    state_ = failure(code);
  }

  bool appendable(const std::string& block) const {
    if (!cache_.appendable || cache_.stamp.size < kRewriteBelow) return false;
    return (cache_.readable - cache_.whole) + static_cast<off_t>(block.size()) <= cache_.whole;
  }

  Result append(std::string block) {
    if (!posix::faults::mutated(posix::faults::Mutation::RegistryEndMarkSkipped)) block += regfile::endMark();
    const std::string file = machine_.registryFile();
    Fd fd(::open(file.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd.valid()) return failure(errorOf(errno));
    struct stat info {};
    bool ok = ::fstat(fd.get(), &info) == 0 && FileStamp::of(info) == cache_.stamp &&
              (info.st_size == cache_.readable || ::ftruncate(fd.get(), cache_.readable) == 0);
    if (ok) {
      ok = ::lseek(fd.get(), cache_.readable, SEEK_SET) == cache_.readable && writeAll(fd.get(), block) &&
           ::fstat(fd.get(), &info) == 0;
    }
    int error = errno;
    fd.reset();
    if (!ok) return failure(errorOf(error));
    cache_.stamp = FileStamp::of(info);
    cache_.readable = info.st_size;
    recordChange();
    return Result::success();
  }

  Result rewrite() {
    const std::string file = machine_.registryFile();
    const std::string bytes = regfile::write(cache_.hives) + regfile::endMark();
    if (Result r = replaceFile(file, bytes); !r) return r;
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return failure(errorOf(errno));
    cache_.stamp = FileStamp::of(info);
    cache_.readable = cache_.whole = info.st_size;
    cache_.appendable = true;
    recordChange();
    return Result::success();
  }

  void recordChange() {
    cache_.generation = ++generation_;
    lock_.write(generation_);
  }

  posix::Machine machine_;
  TreeCache& cache_;
  std::lock_guard<std::mutex> guard_;
  StoreLock lock_;
  Result state_ = Result::success();
  KeyNode empty_;
  // The lock file's count, read once under the lock and kept as this
  // object changes it: nobody else writes it while the lock is held.
  unsigned long long generation_ = 0;
};

std::vector<Str> operator+(std::vector<Str> a, const std::vector<Str>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<Str> kClasses = {u"Software", u"Classes"};

std::string keyBlock(Store& store, Hive hive, const std::vector<Str>& path,
                     const std::vector<regfile::ValueEntry>& values) {
  return regfile::keyBlock(store.hive(hive).name, path, values);
}

// The longest names Windows takes: a key's name (one step of a path), and a
// value's; a longer one fails with kInvalidParameter.
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;

// The names of a sub key path. A leading "\" is refused as RegOpenKeyExW
// refuses it; empty names (a doubled or trailing "\") are passed over.
Result splitPath(const Str& subKey, std::vector<Str>& names) {
  if (!subKey.empty() && subKey.front() == u'\\') return failure(err::kBadPathname);
  for (size_t start = 0; start <= subKey.size();) {
    size_t end = std::min(subKey.find(u'\\', start), subKey.size());
    if (end - start > kMaxKeyName) return failure(err::kInvalidParameter);
    if (end > start) names.push_back(subKey.substr(start, end - start));
    start = end + 1;
  }
  return Result::success();
}

// Where an open key is.
struct KeyRef {
  bool classes = false;  // opened through HKEY_CLASSES_ROOT: path is below Software\Classes
  Hive hive = Hive::CurrentUser;
  std::vector<Str> path;
  uint32_t access = 0;

  std::vector<Str> location() const { return classes ? kClasses + path : path; }
  bool isClassesRoot() const { return classes && path.empty(); }
  bool denied(const Store& store) const { return hive == Hive::LocalMachine && !store.administrator(); }

  // The key's node; nothing when it was deleted. HKEY_CLASSES_ROOT itself
  // always exists, even while Software\Classes does not.
  KeyNode* node(Store& store) const {
    KeyNode* found = store.find(hive, location());
    return (!found && isClassesRoot()) ? &store.emptyKey() : found;
  }
  KeyNode& nodeForChange(Store& store) const {
    KeyNode* found = store.find(hive, location());
    return found ? *found : store.hive(hive).ensure(location());
  }
};

bool holdsWriteRights(uint32_t access) { return (access & kWriteRights) != 0; }

Result openInHive(Store& store, Hive hive, const std::vector<Str>& names, uint32_t access, bool create,
                  KeyRef& out) {
  KeyRef ref{false, hive, names, access};
  if (store.find(hive, names)) {
    if (ref.denied(store) && holdsWriteRights(access)) return failure(err::kAccessDenied);
  } else {
    if (!create) return failure(err::kFileNotFound);
    if (ref.denied(store)) return failure(err::kAccessDenied);
    store.hive(hive).ensure(names);
    if (Result r = store.commit(keyBlock(store, hive, names, {})); !r) return r;
  }
  out = std::move(ref);
  return Result::success();
}

// The hive in which a new class key is made: the user's when the deepest
// existing parent is the user's, else the machine's.
Hive hiveForNewClass(Store& store, const std::vector<Str>& names) {
  for (size_t n = names.size() - 1; n > 0; --n) {
    std::vector<Str> parent = kClasses + std::vector<Str>(names.begin(), names.begin() + n);
    if (store.find(Hive::CurrentUser, parent)) return Hive::CurrentUser;
    if (store.find(Hive::LocalMachine, parent)) return Hive::LocalMachine;
  }
  return Hive::LocalMachine;
}

// HKEY_CLASSES_ROOT: the user's class key when it exists, else the machine's.
Result openClasses(Store& store, const std::vector<Str>& names, uint32_t access, bool create, KeyRef& out) {
  if (names.empty()) {
    out = KeyRef{true, Hive::LocalMachine, {}, access};
    return Result::success();
  }
  for (Hive hive : {Hive::CurrentUser, Hive::LocalMachine}) {
    if (store.find(hive, kClasses + names)) {
      KeyRef ref{true, hive, names, access};
      if (ref.denied(store) && holdsWriteRights(access)) return failure(err::kAccessDenied);
      out = std::move(ref);
      return Result::success();
    }
  }
  if (!create) return failure(err::kFileNotFound);
  KeyRef ref{true, hiveForNewClass(store, names), names, access};
  if (ref.denied(store)) return failure(err::kAccessDenied);
  store.hive(ref.hive).ensure(ref.location());
  if (Result r = store.commit(keyBlock(store, ref.hive, ref.location(), {})); !r) return r;
  out = std::move(ref);
  return Result::success();
}

Result openRef(Store& store, bool classes, Hive hive, const std::vector<Str>& names, uint32_t access, bool create,
               KeyRef& out) {
  return classes ? openClasses(store, names, access, create, out)
                 : openInHive(store, hive, names, access, create, out);
}

// RegDeleteKeyW: only a key without subkeys.
Result deleteInHive(Store& store, Hive hive, const std::vector<Str>& names) {
  if (names.empty()) return failure(err::kAccessDenied);  // a hive stays
  KeyNode* node = store.find(hive, names);
  if (!node) return failure(err::kFileNotFound);
  if (!node->subKeys.empty()) return failure(err::kAccessDenied);
  if (hive == Hive::LocalMachine && !store.administrator()) return failure(err::kAccessDenied);
  store.find(hive, std::vector<Str>(names.begin(), names.end() - 1))->removeSubKey(names.back());
  return store.commit(regfile::keyDeletionBlock(store.hive(hive).name, names));
}

// Through HKEY_CLASSES_ROOT the user's key goes first.
Result deleteClasses(Store& store, const std::vector<Str>& names) {
  if (names.empty()) return failure(err::kAccessDenied);
  Hive hive = store.find(Hive::CurrentUser, kClasses + names) ? Hive::CurrentUser : Hive::LocalMachine;
  return deleteInHive(store, hive, kClasses + names);
}

// The merged view lists the subkeys of both class keys; a name that both
// have is listed once, as the user's key spells it.
std::vector<Str> mergedClassNames(Store& store, const std::vector<Str>& location) {
  std::vector<Str> names;
  for (Hive hive : {Hive::CurrentUser, Hive::LocalMachine}) {
    const KeyNode* node = store.find(hive, location);
    if (!node) continue;
    for (const KeyNode& child : node->subKeys) {
      bool known = std::any_of(names.begin(), names.end(),
                               [&](const Str& n) { return formats::equalNoCase(n, child.name); });
      if (!known) names.push_back(child.name);
    }
  }
  std::sort(names.begin(), names.end(), formats::NoCaseLess{});
  return names;
}

Hive hiveOf(Root root) { return root == Root::LocalMachine ? Hive::LocalMachine : Hive::CurrentUser; }

}  // namespace

// --- keys --------------------------------------------------------------------

struct Key::Impl {
  KeyRef ref;
};

Key::Key() = default;
Key::Key(Key&& other) noexcept = default;
Key& Key::operator=(Key&& other) noexcept = default;
Key::~Key() = default;

Result Key::open(Root root, const Str& subKey, uint32_t access, Open how, Key& out) {
  const bool create = how == Open::OrCreate;
  if (uint32_t injected = posix::faults::check("registry.open")) return failure(injected);
  std::vector<Str> names;
  if (Result r = splitPath(subKey, names); !r) return r;
  Store store(create ? Store::kChange : Store::kRead);
  if (Result r = store.state(); !r) return r;
  KeyRef ref;
  Result r = openRef(store, root == Root::ClassesRoot, hiveOf(root), names, access, create, ref);
  if (r) out.impl_ = std::make_unique<Impl>(Impl{std::move(ref)});
  return r;
}

Result Key::open(const Key& parent, const Str& subKey, uint32_t access, Open how, Key& out) {
  const bool create = how == Open::OrCreate;
  if (uint32_t injected = posix::faults::check("registry.open")) return failure(injected);
  if (!parent.isOpen()) return failure(err::kInvalidHandle);
  const KeyRef& from = parent.impl_->ref;
  std::vector<Str> names;
  if (Result r = splitPath(subKey, names); !r) return r;
  Store store(create ? Store::kChange : Store::kRead);
  if (Result r = store.state(); !r) return r;
  if (!from.node(store)) return failure(err::kKeyDeleted);
  KeyRef ref;
  Result r = openRef(store, from.classes, from.hive, from.path + names, access, create, ref);
  if (r) out.impl_ = std::make_unique<Impl>(Impl{std::move(ref)});
  return r;
}

bool Key::isOpen() const { return impl_ != nullptr; }

void Key::close() { impl_.reset(); }

Result Key::queryValue(const Str& name, Value& out) const {
  if (uint32_t injected = posix::faults::check("registry.queryValue")) return failure(injected);
  if (!isOpen()) return failure(err::kInvalidHandle);
  const KeyRef& ref = impl_->ref;
  if (!(ref.access & kQueryValue)) return failure(err::kAccessDenied);
  Store store(Store::kRead);
  if (Result r = store.state(); !r) return r;
  const KeyNode* node = ref.node(store);
  if (!node) return failure(err::kKeyDeleted);
  const auto* value = node->findValue(name);
  if (!value) return failure(err::kFileNotFound);
  out = Value{value->type, value->data};
  return Result::success();
}

Result Key::setValue(const Str& name, const Value& value) {
  if (uint32_t injected = posix::faults::check("registry.setValue")) return failure(injected);
  if (!isOpen()) return failure(err::kInvalidHandle);
  if (name.size() > kMaxValueName) return failure(err::kInvalidParameter);
  const KeyRef& ref = impl_->ref;
  if (!(ref.access & kSetValue)) return failure(err::kAccessDenied);
  Store store(Store::kChange);
  if (Result r = store.state(); !r) return r;
  if (!ref.node(store)) return failure(err::kKeyDeleted);
  if (ref.denied(store)) return failure(err::kAccessDenied);
  KeyNode& node = ref.nodeForChange(store);
  const auto* old = node.findValue(name);
  if (old && old->type == value.type && old->data == value.data) return Result::success();
  node.setValue(name, value.type, value.data);
  return store.commit(keyBlock(store, ref.hive, ref.location(), {{name, value.type, value.data}}));
}

Result Key::deleteValue(const Str& name) {
  if (uint32_t injected = posix::faults::check("registry.deleteValue")) return failure(injected);
  if (!isOpen()) return failure(err::kInvalidHandle);
  const KeyRef& ref = impl_->ref;
  if (!(ref.access & kSetValue)) return failure(err::kAccessDenied);
  Store store(Store::kChange);
  if (Result r = store.state(); !r) return r;
  KeyNode* node = ref.node(store);
  if (!node) return failure(err::kKeyDeleted);
  if (ref.denied(store)) return failure(err::kAccessDenied);
  if (!node->findValue(name)) return failure(err::kFileNotFound);
  ref.nodeForChange(store).removeValue(name);
  return store.commit(regfile::valueDeletionBlock(store.hive(ref.hive).name, ref.location(), name));
}

Result Key::subKeyNames(std::vector<Str>& out) const {
  if (!isOpen()) return failure(err::kInvalidHandle);
  const KeyRef& ref = impl_->ref;
  if (!(ref.access & kEnumerateSubKeys)) return failure(err::kAccessDenied);
  Store store(Store::kRead);
  if (Result r = store.state(); !r) return r;
  const KeyNode* node = ref.node(store);
  if (!node) return failure(err::kKeyDeleted);
  std::vector<Str> names;
  for (const KeyNode& child : node->subKeys) names.push_back(child.name);
  if (ref.classes) names = mergedClassNames(store, ref.location());
  out = std::move(names);
  return Result::success();
}

Result Key::valueNames(std::vector<Str>& out) const {
  if (!isOpen()) return failure(err::kInvalidHandle);
  const KeyRef& ref = impl_->ref;
  if (!(ref.access & kQueryValue)) return failure(err::kAccessDenied);
  Store store(Store::kRead);
  if (Result r = store.state(); !r) return r;
  const KeyNode* node = ref.node(store);
  if (!node) return failure(err::kKeyDeleted);
  std::vector<Str> names;
  for (const auto& value : node->values) names.push_back(value.name);
  out = std::move(names);
  return Result::success();
}

Result Key::deleteSubKey(const Str& subKey) {
  if (uint32_t injected = posix::faults::check("registry.deleteKey")) return failure(injected);
  if (!isOpen()) return failure(err::kInvalidHandle);
  const KeyRef& ref = impl_->ref;
  std::vector<Str> names;
  if (Result r = splitPath(subKey, names); !r) return r;
  Store store(Store::kChange);
  if (Result r = store.state(); !r) return r;
  if (!ref.node(store)) return failure(err::kKeyDeleted);
  // An empty name deletes the open key itself.
  std::vector<Str> target = ref.path + names;
  return ref.classes ? deleteClasses(store, target) : deleteInHive(store, ref.hive, target);
}

Result deleteKey(Root root, const Str& subKey) {
  if (uint32_t injected = posix::faults::check("registry.deleteKey")) return failure(injected);
  std::vector<Str> names;
  if (Result r = splitPath(subKey, names); !r) return r;
  Store store(Store::kChange);
  if (Result r = store.state(); !r) return r;
  return root == Root::ClassesRoot ? deleteClasses(store, names) : deleteInHive(store, hiveOf(root), names);
}

}  // namespace orvel::reg
