// The registry through the advapi32 Reg*W functions. The 64-bit build sees
// HKEY_LOCAL_MACHINE as the 32-bit program does on 64-bit Windows: calls
// carry KEY_WOW64_32KEY (Software\Wow6432Node), except below
// Software\Classes, which both views share (the 32-bit program's class keys
// lie in the shared key), where they carry no view flag, so that both builds
// read and write the same keys on Windows and under Wine alike (Wine would
// take the flag there for Software\Classes\Wow6432Node). On 32-bit Windows
// the flag is ignored.
#include "platform/registry.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/win32/win32.h"

namespace orvel::reg {

struct Key::Impl {
  win32::RegistryKey key;
  bool localMachine = false;  // the key lies below HKEY_LOCAL_MACHINE
  Str path;                   // its path below HKEY_LOCAL_MACHINE

  Impl(HKEY h, bool lm, Str p) : key(h), localMachine(lm), path(std::move(p)) {}
  HKEY handle() const { return key.get(); }
};

namespace {

using win32::status;
using win32::wide;

HKEY predefined(Root root) {
  switch (root) {
    case Root::ClassesRoot: return HKEY_CLASSES_ROOT;
    case Root::CurrentUser: return HKEY_CURRENT_USER;
    case Root::LocalMachine: return HKEY_LOCAL_MACHINE;
  }
  return nullptr;
}

Str joined(const Str& path, const Str& subKey) {
  if (path.empty()) return subKey;
  return subKey.empty() ? path : path + u"\\" + subKey;
}

// Whether `path` is the key `key` or lies below it, letter case ignored as
// the registry ignores it.
bool startsWithKey(const Str& path, std::u16string_view key) {
  if (path.size() < key.size() || (path.size() > key.size() && path[key.size()] != u'\\')) return false;
  return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(path.data()), static_cast<int>(key.size()),
                              reinterpret_cast<const wchar_t*>(key.data()), static_cast<int>(key.size()),
                              TRUE) == CSTR_EQUAL;
}

// Whether a key below HKEY_LOCAL_MACHINE is one that 64-bit Windows shares
// between the views: Software\Classes but for the few subkeys it still
// keeps apart for 32-bit programs.
bool sharedBetweenViews(const Str& path) {
  constexpr std::u16string_view kClasses = u"SOFTWARE\\CLASSES";
  if (!startsWithKey(path, kClasses)) return false;
  const Str below = path.size() > kClasses.size() ? path.substr(kClasses.size() + 1) : Str();
  for (std::u16string_view redirected : {u"CLSID", u"DirectShow", u"Interface", u"Media Type", u"MediaFoundation"})
    if (startsWithKey(below, redirected)) return false;
  return true;
}

REGSAM viewFlag(bool localMachine, const Str& path) {
  return localMachine && !sharedBetweenViews(path) ? KEY_WOW64_32KEY : 0;
}

Result openBelow(HKEY parent, REGSAM view, const Str& subKey, uint32_t access, bool create, HKEY& out) {
  if (create) {
    return status(RegCreateKeyExW(parent, wide(subKey), 0, nullptr, REG_OPTION_NON_VOLATILE, access | view, nullptr,
                                  &out, nullptr), "RegCreateKeyExW");
  }
  return status(RegOpenKeyExW(parent, wide(subKey), 0, access | view, &out), "RegOpenKeyExW");
}

Result deleteBelow(HKEY parent, REGSAM view, const Str& subKey) {
  return status(RegDeleteKeyExW(parent, wide(subKey), view, 0), "RegDeleteKeyExW");
}

// Where a key below an open one is reached: below the open key while both
// lie in the same view, else below HKEY_LOCAL_MACHINE by its whole path (a
// handle in the 32-bit view does not lead into the shared classes).
struct Below {
  HKEY parent;
  Str subKey;
  REGSAM view;
};

Below below(HKEY parent, bool localMachine, const Str& parentPath, const Str& subKey) {
  if (!localMachine) return {parent, subKey, 0};
  const Str path = joined(parentPath, subKey);
  const REGSAM view = viewFlag(true, path);
  if (view == viewFlag(true, parentPath)) return {parent, subKey, view};
  return {HKEY_LOCAL_MACHINE, path, view};
}

// The names of RegEnumKeyExW or RegEnumValueW, growing the buffer when a name
// does not fit (the longest name is 16383 characters; values may be longer).
template <typename EnumFn>
Result enumerateNames(EnumFn enumerate, std::vector<Str>& out) {
  std::vector<Str> names;
  std::wstring buffer(256, L'\0');
  DWORD index = 0;
  for (;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    LONG code = enumerate(index, buffer.data(), &length);
    if (code == ERROR_MORE_DATA && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 4);
      continue;
    }
    if (code == ERROR_NO_MORE_ITEMS) break;
    if (code != ERROR_SUCCESS) return status(code, "RegEnum");
    names.push_back(win32::fromWide(buffer.data(), length));
    ++index;
  }
  out = std::move(names);
  return Result::success();
}

}  // namespace

Key::Key() = default;
Key::Key(Key&& other) noexcept = default;
Key& Key::operator=(Key&& other) noexcept = default;
Key::~Key() = default;

Result Key::open(Root root, const Str& subKey, uint32_t access, Open how, Key& out) {
  const bool localMachine = root == Root::LocalMachine;
  HKEY handle = nullptr;
  Result r = openBelow(predefined(root), viewFlag(localMachine, subKey), subKey, access, how == Open::OrCreate, handle);
  if (r) out.impl_ = std::make_unique<Impl>(handle, localMachine, localMachine ? subKey : Str());
  return r;
}

Result Key::open(const Key& parent, const Str& subKey, uint32_t access, Open how, Key& out) {
  if (!parent.isOpen()) return Result::failure(err::kInvalidHandle);
  const Impl& from = *parent.impl_;
  const Below at = below(from.handle(), from.localMachine, from.path, subKey);
  HKEY handle = nullptr;
  Result r = openBelow(at.parent, at.view, at.subKey, access, how == Open::OrCreate, handle);
  if (r) out.impl_ = std::make_unique<Impl>(handle, from.localMachine, from.localMachine ? joined(from.path, subKey) : Str());
  return r;
}

bool Key::isOpen() const { return impl_ != nullptr; }

void Key::close() { impl_.reset(); }

Result Key::queryValue(const Str& name, Value& out) const {
  if (!isOpen()) return Result::failure(err::kInvalidHandle);
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG code = RegQueryValueExW(impl_->handle(), wide(name), nullptr, &type, nullptr, &size);
  std::string data;
  // The value may grow between the two calls; ask again until it fits.
  while (code == ERROR_SUCCESS || code == ERROR_MORE_DATA) {
    data.resize(size);
    code = RegQueryValueExW(impl_->handle(), wide(name), nullptr, &type,
                            reinterpret_cast<BYTE*>(data.data()), &size);
    if (code == ERROR_SUCCESS) {
      data.resize(size);
      out = Value{type, std::move(data)};
      return Result::success();
    }
  }
  return status(code, "RegQueryValueExW");
}

Result Key::setValue(const Str& name, const Value& value) {
  if (!isOpen()) return Result::failure(err::kInvalidHandle);
  return status(RegSetValueExW(impl_->handle(), wide(name), 0, value.type,
                               reinterpret_cast<const BYTE*>(value.data.data()),
                               static_cast<DWORD>(value.data.size())), "RegSetValueExW");
}

Result Key::deleteValue(const Str& name) {
  if (!isOpen()) return Result::failure(err::kInvalidHandle);
  return status(RegDeleteValueW(impl_->handle(), wide(name)), "RegDeleteValueW");
}

Result Key::subKeyNames(std::vector<Str>& out) const {
  if (!isOpen()) return Result::failure(err::kInvalidHandle);
  HKEY key = impl_->handle();
  return enumerateNames(
      [key](DWORD index, wchar_t* name, DWORD* length) {
        return RegEnumKeyExW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
      },
      out);
}

Result Key::valueNames(std::vector<Str>& out) const {
  if (!isOpen()) return Result::failure(err::kInvalidHandle);
  HKEY key = impl_->handle();
  return enumerateNames(
      [key](DWORD index, wchar_t* name, DWORD* length) {
        return RegEnumValueW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
      },
      out);
}

Result Key::deleteSubKey(const Str& subKey) {
  if (!isOpen()) return Result::failure(err::kInvalidHandle);
  const Below at = below(impl_->handle(), impl_->localMachine, impl_->path, subKey);
  return deleteBelow(at.parent, at.view, at.subKey);
}

Result deleteKey(Root root, const Str& subKey) {
  return deleteBelow(predefined(root), viewFlag(root == Root::LocalMachine, subKey), subKey);
}

}  // namespace orvel::reg
