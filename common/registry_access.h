// The registry access object: a root key, an access mask and at most one open
// key, with the framework's read and write rules and error texts.
//
// A path that begins with "\" is taken below the root; any other path below
// the open key, or below the root when no key is open. Reads, writes and
// deletions of values act on the open key.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/registry.h"
#include "platform/types.h"

namespace orvel {

class RegistryAccess {
 public:
  // Root HKEY_CURRENT_USER, access KEY_ALL_ACCESS, no key open.
  RegistryAccess() = default;
  explicit RegistryAccess(uint32_t access) : access_(access) {}
  RegistryAccess(const RegistryAccess&) = delete;
  RegistryAccess& operator=(const RegistryAccess&) = delete;

  reg::Root RootKey() const { return root_; }
  // Changing to another root closes the open key; the same root keeps it.
  void SetRootKey(reg::Root root);
  uint32_t Access() const { return access_; }
  // Used by the next open; a key that is open stays open as it was opened.
  void SetAccess(uint32_t access) { access_ = access; }

  // Opens (with canCreate: creates missing keys) the key at `path`. Success
  // replaces the open key; failure leaves it open as it was.
  bool OpenKey(const Str& path, bool canCreate);
  void CloseKey();
  bool HasOpenKey() const { return current_.isOpen(); }

  // False when no key is open.
  bool ValueExists(const Str& name) const;

  // The text of a REG_SZ or REG_EXPAND_SZ value; "" for a missing or empty
  // value. Raises Error "Ungültiger Datentyp für '<name>'" for a value of
  // another type, "Fehler beim Holen der Daten für '<name>'" when the read fails.
  Str ReadString(const Str& name) const;
  // A REG_DWORD value as a signed integer. Raises the type error for any
  // other type and "Fehler beim Holen der Daten für '<name>'" for a missing
  // value, an unreadable value or no open key.
  int32_t ReadInteger(const Str& name) const;

  // REG_SZ and REG_DWORD. Raise Error "Fehler beim Setzen der Daten für
  // '<name>'" when the system refuses (or no key is open).
  void WriteString(const Str& name, const Str& value);
  void WriteInteger(const Str& name, int32_t value);

  bool DeleteValue(const Str& name);

  // The names of the open key's subkeys and values; empty when none is open
  // or the listing fails.
  std::vector<Str> GetKeyNames() const;
  std::vector<Str> GetValueNames() const;

  // Deletes the key at `path` (taken as OpenKey takes it) together with all
  // its subkeys. The open key stays open.
  bool DeleteKey(const Str& path);

 private:
  bool isRelative(const Str& path) const;
  // Opens a key the way OpenKey resolves paths, without touching the open key.
  Result openResolved(const Str& path, uint32_t access, bool canCreate, reg::Key& out) const;
  // Deletes every subkey below `key`, deepest first.
  void deleteSubKeys(reg::Key& key) const;

  reg::Root root_ = reg::Root::CurrentUser;
  uint32_t access_ = reg::kKeyAllAccess;
  reg::Key current_;
};

}  // namespace orvel
