// The registry of the emulated machine: the tree of registry_file.h in the
// machine's registry.reg. Each call reads the file under a lock on
// registry.reg.lock (shared for reading, exclusive for a change) and a change
// replaces the file atomically before the lock is released, so that two
// processes never lose each other's changes and a killed process leaves the
// old or the new file.
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
#include <fstream>
#include <iterator>

#include "platform/posix/fault_injection.h"
#include "platform/posix/fold_case.h"
#include "platform/posix/machine.h"
#include "platform/posix/registry_file.h"

namespace orvel::reg {
namespace {

using posix::regfile::Hives;
using posix::regfile::KeyNode;

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

Result failure(uint32_t code) { return Result::failure(code); }

uint32_t errorOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return err::kPathNotFound;
    default: return err::kAccessDenied;
  }
}

// flock on a file beside the registry, held for the lifetime of the object.
class StoreLock {
 public:
  StoreLock(const std::string& path, bool exclusive) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  ~StoreLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes a temporary file beside `path` and renames it over `path`.
Result replaceFile(const std::string& path, const std::string& bytes) {
  std::string temp = path + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return failure(errorOf(errno));
  bool written = ::fchmod(fd, 0644) == 0;
  for (size_t done = 0; written && done < bytes.size();) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<size_t>(n);
  }
  written = written && ::fsync(fd) == 0;
  int error = errno;
  ::close(fd);
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
      : machine_(posix::Machine::current()),
        lock_(machine_.registryFile() + ".lock", mode == kChange),
        hives_(posix::regfile::parse(readWholeFile(machine_.registryFile()))) {}

  bool administrator() const { return machine_.settings().administrator; }

  KeyNode& hive(Hive h) { return h == Hive::CurrentUser ? hives_.currentUser : hives_.localMachine; }
  KeyNode* find(Hive h, const std::vector<Str>& path) { return hive(h).find(path); }
  // A key without values or subkeys, for a view that has no key behind it.
  KeyNode& emptyKey() { return empty_ = KeyNode{}; }

  // Writes the changed tree back.
  Result commit() {
    if (!lock_.held()) return failure(err::kAccessDenied);
    return replaceFile(machine_.registryFile(), posix::regfile::write(hives_));
  }

 private:
  posix::Machine machine_;
  StoreLock lock_;
  Hives hives_;
  KeyNode empty_;
};

std::vector<Str> operator+(std::vector<Str> a, const std::vector<Str>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<Str> kClasses = {u"Software", u"Classes"};

// The names of a sub key path. A leading "\" is refused as RegOpenKeyExW
// refuses it; empty names (a doubled or trailing "\") are passed over.
Result splitPath(const Str& subKey, std::vector<Str>& names) {
  if (!subKey.empty() && subKey.front() == u'\\') return failure(err::kBadPathname);
  for (size_t start = 0; start <= subKey.size();) {
    size_t end = std::min(subKey.find(u'\\', start), subKey.size());
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
    if (Result r = store.commit(); !r) return r;
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
  if (Result r = store.commit(); !r) return r;
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
  return store.commit();
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
                               [&](const Str& n) { return posix::equalNoCase(n, child.name); });
      if (!known) names.push_back(child.name);
    }
  }
  std::sort(names.begin(), names.end(), posix::NoCaseLess{});
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

Result Key::open(Root root, const Str& subKey, uint32_t access, bool create, Key& out) {
  if (uint32_t injected = posix::faults::check("registry.open")) return failure(injected);
  std::vector<Str> names;
  if (Result r = splitPath(subKey, names); !r) return r;
  Store store(create ? Store::kChange : Store::kRead);
  KeyRef ref;
  Result r = openRef(store, root == Root::ClassesRoot, hiveOf(root), names, access, create, ref);
  if (r) out.impl_ = std::make_unique<Impl>(Impl{std::move(ref)});
  return r;
}

Result Key::open(const Key& parent, const Str& subKey, uint32_t access, bool create, Key& out) {
  if (uint32_t injected = posix::faults::check("registry.open")) return failure(injected);
  if (!parent.isOpen()) return failure(err::kInvalidHandle);
  const KeyRef& from = parent.impl_->ref;
  std::vector<Str> names;
  if (Result r = splitPath(subKey, names); !r) return r;
  Store store(create ? Store::kChange : Store::kRead);
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
  const KeyRef& ref = impl_->ref;
  if (!(ref.access & kSetValue)) return failure(err::kAccessDenied);
  Store store(Store::kChange);
  if (!ref.node(store)) return failure(err::kKeyDeleted);
  if (ref.denied(store)) return failure(err::kAccessDenied);
  KeyNode& node = ref.nodeForChange(store);
  const auto* old = node.findValue(name);
  if (old && old->type == value.type && old->data == value.data) return Result::success();
  node.setValue(name, value.type, value.data);
  return store.commit();
}

Result Key::deleteValue(const Str& name) {
  if (uint32_t injected = posix::faults::check("registry.deleteValue")) return failure(injected);
  if (!isOpen()) return failure(err::kInvalidHandle);
  const KeyRef& ref = impl_->ref;
  if (!(ref.access & kSetValue)) return failure(err::kAccessDenied);
  Store store(Store::kChange);
  KeyNode* node = ref.node(store);
  if (!node) return failure(err::kKeyDeleted);
  if (ref.denied(store)) return failure(err::kAccessDenied);
  if (!node->findValue(name)) return failure(err::kFileNotFound);
  ref.nodeForChange(store).removeValue(name);
  return store.commit();
}

Result Key::subKeyNames(std::vector<Str>& out) const {
  if (!isOpen()) return failure(err::kInvalidHandle);
  const KeyRef& ref = impl_->ref;
  if (!(ref.access & kEnumerateSubKeys)) return failure(err::kAccessDenied);
  Store store(Store::kRead);
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
  return root == Root::ClassesRoot ? deleteClasses(store, names) : deleteInHive(store, hiveOf(root), names);
}

}  // namespace orvel::reg
