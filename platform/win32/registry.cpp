// The registry through the advapi32 Reg*W functions. Every call that reaches
// HKEY_LOCAL_MACHINE carries KEY_WOW64_32KEY: a 64-bit build then sees the
// same 32-bit view (Software\Wow6432Node) as the 32-bit program does, and on
// 32-bit Windows the flag is ignored.
#include "platform/registry.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/win32/win32.h"

namespace orvel::reg {

struct Key::Impl {
  win32::RegistryKey key;
  bool localMachine = false;  // the key lies below HKEY_LOCAL_MACHINE

  Impl(HKEY h, bool lm) : key(h), localMachine(lm) {}
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

REGSAM viewed(uint32_t access, bool localMachine) {
  return localMachine ? (access | KEY_WOW64_32KEY) : access;
}

Result openBelow(HKEY parent, bool localMachine, const Str& subKey, uint32_t access, bool create,
                 HKEY& out) {
  if (create) {
    return status(RegCreateKeyExW(parent, wide(subKey), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  viewed(access, localMachine), nullptr, &out, nullptr), "RegCreateKeyExW");
  }
  return status(RegOpenKeyExW(parent, wide(subKey), 0, viewed(access, localMachine), &out), "RegOpenKeyExW");
}

Result deleteBelow(HKEY parent, bool localMachine, const Str& subKey) {
  if (localMachine) return status(RegDeleteKeyExW(parent, wide(subKey), KEY_WOW64_32KEY, 0), "RegDeleteKeyExW");
  return status(RegDeleteKeyW(parent, wide(subKey)), "RegDeleteKeyW");
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
  const bool create = how == Open::OrCreate;
  bool localMachine = root == Root::LocalMachine;
  HKEY handle = nullptr;
  Result r = openBelow(predefined(root), localMachine, subKey, access, create, handle);
  if (r) out.impl_ = std::make_unique<Impl>(handle, localMachine);
  return r;
}

Result Key::open(const Key& parent, const Str& subKey, uint32_t access, Open how, Key& out) {
  const bool create = how == Open::OrCreate;
  if (!parent.isOpen()) return Result::failure(err::kInvalidHandle);
  bool localMachine = parent.impl_->localMachine;
  HKEY handle = nullptr;
  Result r = openBelow(parent.impl_->handle(), localMachine, subKey, access, create, handle);
  if (r) out.impl_ = std::make_unique<Impl>(handle, localMachine);
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
  return deleteBelow(impl_->handle(), impl_->localMachine, subKey);
}

Result deleteKey(Root root, const Str& subKey) {
  return deleteBelow(predefined(root), root == Root::LocalMachine, subKey);
}

}  // namespace orvel::reg
