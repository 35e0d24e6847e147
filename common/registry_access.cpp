#include "common/registry_access.h"

#include "common/error.h"
#include "common/format.h"

namespace orvel {
namespace {

[[noreturn]] void raiseGetDataFailed(const Str& name) {
  throw Error(Format(u"Fehler beim Holen der Daten für '%s'", {name}));
}
[[noreturn]] void raiseInvalidType(const Str& name) {
  throw Error(Format(u"Ungültiger Datentyp für '%s'", {name}));
}
[[noreturn]] void raiseSetDataFailed(const Str& name) {
  throw Error(Format(u"Fehler beim Setzen der Daten für '%s'", {name}));
}

// Emptying a key needs its subkeys listed whatever mask the caller chose.
constexpr uint32_t kTreeAccess = reg::kKeyAllAccess;

Str withoutLeadingBackslash(const Str& path) {
  return !path.empty() && path.front() == u'\\' ? path.substr(1) : path;
}

}  // namespace

void RegistryAccess::SetRootKey(reg::Root root) {
  if (root == root_) return;
  root_ = root;
  CloseKey();
}

bool RegistryAccess::isRelative(const Str& path) const { return path.empty() || path.front() != u'\\'; }

Result RegistryAccess::openResolved(const Str& path, uint32_t access, bool canCreate, reg::Key& out) const {
  const Str subKey = withoutLeadingBackslash(path);
  if (isRelative(path) && current_.isOpen()) return reg::Key::open(current_, subKey, access, canCreate ? reg::Open::OrCreate : reg::Open::Existing, out);
  return reg::Key::open(root_, subKey, access, canCreate ? reg::Open::OrCreate : reg::Open::Existing, out);
}

bool RegistryAccess::OpenKey(const Str& path, bool canCreate) {
  reg::Key opened;
  if (!openResolved(path, access_, canCreate, opened)) return false;
  current_ = std::move(opened);
  return true;
}

void RegistryAccess::CloseKey() { current_.close(); }

bool RegistryAccess::ValueExists(const Str& name) const {
  reg::Value value;
  return current_.isOpen() && current_.queryValue(name, value).ok();
}

Str RegistryAccess::ReadString(const Str& name) const {
  reg::Value value;
  if (!current_.isOpen()) return {};
  const Result read = current_.queryValue(name, value);
  if (read.error == err::kFileNotFound) return {};
  if (!read) raiseGetDataFailed(name);
  if (value.data.empty()) return {};
  if (value.type != reg::kSz && value.type != reg::kExpandSz) raiseInvalidType(name);
  return reg::stringOf(value);
}

int32_t RegistryAccess::ReadInteger(const Str& name) const {
  reg::Value value;
  if (!current_.isOpen() || !current_.queryValue(name, value)) raiseGetDataFailed(name);
  if (value.type != reg::kDword || value.data.size() != sizeof(uint32_t)) raiseInvalidType(name);
  return static_cast<int32_t>(reg::dwordOf(value));
}

void RegistryAccess::WriteString(const Str& name, const Str& value) {
  if (!current_.isOpen() || !current_.setValue(name, reg::makeString(value))) raiseSetDataFailed(name);
}

void RegistryAccess::WriteInteger(const Str& name, int32_t value) {
  if (!current_.isOpen() || !current_.setValue(name, reg::makeDword(static_cast<uint32_t>(value))))
    raiseSetDataFailed(name);
}

bool RegistryAccess::DeleteValue(const Str& name) {
  return current_.isOpen() && current_.deleteValue(name).ok();
}

std::vector<Str> RegistryAccess::GetKeyNames() const {
  std::vector<Str> names;
  if (!current_.isOpen() || !current_.subKeyNames(names)) names.clear();
  return names;
}

std::vector<Str> RegistryAccess::GetValueNames() const {
  std::vector<Str> names;
  if (!current_.isOpen() || !current_.valueNames(names)) names.clear();
  return names;
}

void RegistryAccess::deleteSubKeys(reg::Key& key) const {
  std::vector<Str> names;
  if (!key.subKeyNames(names)) return;
  for (const Str& name : names) {
    reg::Key child;
    if (reg::Key::open(key, name, kTreeAccess, reg::Open::Existing, child)) {
      deleteSubKeys(child);
      child.close();
    }
    (void)key.deleteSubKey(name);
  }
}

bool RegistryAccess::DeleteKey(const Str& path) {
  {
    // The registry deletes only keys without subkeys, so empty the key first.
    reg::Key target;
    if (openResolved(path, kTreeAccess, false, target)) deleteSubKeys(target);
  }
  const Str subKey = withoutLeadingBackslash(path);
  if (isRelative(path) && current_.isOpen()) return current_.deleteSubKey(subKey).ok();
  return reg::deleteKey(root_, subKey).ok();
}

}  // namespace orvel
