// The registry, with the semantics of the advapi32 Reg* functions.
// Keys below HKEY_LOCAL_MACHINE are always those of the 32-bit view, as the
// program is a 32-bit program in its design. HKEY_CLASSES_ROOT is the merged
// view of HKEY_CURRENT_USER\Software\Classes over
// HKEY_LOCAL_MACHINE\Software\Classes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"

namespace orvel::reg {

enum class Root { ClassesRoot, CurrentUser, LocalMachine };
// Whether Key::open makes a key that is missing.
enum class Open { Existing, OrCreate };

// Access masks.
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyAllAccess = 0xF003F;

// REG_* value types.
constexpr uint32_t kNone = 0;
constexpr uint32_t kSz = 1;
constexpr uint32_t kExpandSz = 2;
constexpr uint32_t kBinary = 3;
constexpr uint32_t kDword = 4;
constexpr uint32_t kMultiSz = 7;
constexpr uint32_t kQword = 11;

struct Value {
  uint32_t type = kNone;
  std::string data;  // raw bytes as RegQueryValueExW gives them (REG_SZ: UTF-16LE with its NUL)
};

// Helpers for the two types the program writes.
Value makeString(const Str& s);
Value makeDword(uint32_t v);
// The text of a REG_SZ/REG_EXPAND_SZ value, without its terminating NUL.
Str stringOf(const Value& v);
uint32_t dwordOf(const Value& v);

// An open key: RAII, move-only. A default-constructed key is not open.
class Key {
 public:
  Key();
  Key(Key&& other) noexcept;
  Key& operator=(Key&& other) noexcept;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key();

  // RegOpenKeyExW (Open::Existing) / RegCreateKeyExW (Open::OrCreate) below
  // a root. subKey has no leading "\"; an empty subKey opens the root itself.
  static Result open(Root root, const Str& subKey, uint32_t access, Open how, Key& out);
  // The same below an open key.
  static Result open(const Key& parent, const Str& subKey, uint32_t access, Open how, Key& out);

  bool isOpen() const;
  void close();

  // RegQueryValueExW. An empty name is the key's default value. On failure
  // `out` is not touched (kFileNotFound for a missing value).
  Result queryValue(const Str& name, Value& out) const;
  // RegSetValueExW.
  Result setValue(const Str& name, const Value& value);
  // RegDeleteValueW.
  Result deleteValue(const Str& name);
  // RegEnumKeyExW / RegEnumValueW over all entries, in the registry's order.
  Result subKeyNames(std::vector<Str>& out) const;
  Result valueNames(std::vector<Str>& out) const;
  // RegDeleteKeyW of a direct or deeper subkey that has no subkeys of its own.
  Result deleteSubKey(const Str& subKey);

 private:
  struct Impl;  // backend-specific
  std::unique_ptr<Impl> impl_;
};

// RegDeleteKeyW below a root (fails when the key has subkeys or is missing).
Result deleteKey(Root root, const Str& subKey);

}  // namespace orvel::reg
