// The emulated machine's registry as a tree in memory, and its file form
// registry.reg: regedit's export text ("Windows Registry Editor Version
// 5.00") as regedit writes it, UTF-16LE after a byte-order mark, so that
// regedit imports it; a UTF-8 file, with or without its mark, is read too.
//
// What the writer produces, and the reader takes:
//   - the signature line, an empty line, then one block per key: the key's
//     path in square brackets, its values one a line, an empty line. Both
//     hives are written (HKEY_CURRENT_USER first, then HKEY_LOCAL_MACHINE),
//     every key in tree order with subkeys sorted without regard to case.
//     Lines end with CR LF; the reader also takes LF alone.
//   - values, sorted like the keys: "name"=... or @=... for the default value;
//     REG_SZ as "text", REG_DWORD as dword:0000000c, every other type as hex
//     bytes: hex: (REG_BINARY), hex(2): (REG_EXPAND_SZ), hex(7):
//     (REG_MULTI_SZ), hex(b): (REG_QWORD), hex(N): for any other type N, long
//     lists continued on the next line after ",\". A REG_SZ that does not
//     read back as plain text (CR, LF, NUL or other control characters
//     inside, a missing or odd terminator, a lone surrogate) is written as
//     hex(1): with its UTF-16LE bytes, as regedit does.
//   - quoted text (value names and REG_SZ data) escapes \ and " with a
//     backslash, as regedit does; names may also carry \n, \r, \0 and \uXXXX
//     (one UTF-16 code unit) for characters that cannot stand in a line.
//   - key paths: components separated by \, taken literally (a "]" inside a
//     name is fine: the path ends at the line's last "]"). A component that
//     holds a control character, a backslash or a lone surrogate, or begins
//     with a double quote, is written in double quotes with the escapes
//     above, for example [HKEY_CURRENT_USER\Software\"two\nlines"].
//
// The reader takes a file whole or not at all: a line it cannot read (a key
// header without its "]", a hive other than these two, a value it cannot
// read, a stray byte, text in another encoding) makes the file unreadable,
// so that nothing ever writes over what it could not read. Blank lines,
// comments (";", "#") and the signature say nothing; missing parent keys are
// created. It also applies regedit's deletions ([-path] and "name"=-), which
// is how a change can be appended to a large file (the blocks below), read
// in order after everything before it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace orvel::regfile {

struct ValueEntry {
  Str name;  // empty: the key's default value
  uint32_t type = 0;
  std::string data;
  bool operator==(const ValueEntry&) const = default;
};

// A key with its values and subkeys, each kept sorted without regard to case
// (the order in which the registry enumerates them).
struct KeyNode {
  Str name;
  std::vector<ValueEntry> values;
  std::vector<KeyNode> subKeys;

  KeyNode* findSubKey(StrView name);
  const KeyNode* findSubKey(StrView name) const;
  // The subkey of that name, created (with this spelling) when missing. A
  // reference into subKeys: creating a sibling invalidates it.
  KeyNode& ensureSubKey(StrView name);
  bool removeSubKey(StrView name);

  const ValueEntry* findValue(StrView name) const;
  // Replaces the data of an existing value (which keeps its spelling) or adds it.
  void setValue(StrView name, uint32_t type, std::string data);
  bool removeValue(StrView name);

  // The key at a path of names below this one (this one for an empty path).
  KeyNode* find(const std::vector<Str>& path);
  const KeyNode* find(const std::vector<Str>& path) const;
  KeyNode& ensure(const std::vector<Str>& path);
};

bool operator==(const KeyNode& a, const KeyNode& b);

struct Hives {
  KeyNode currentUser{u"HKEY_CURRENT_USER", {}, {}};
  KeyNode localMachine{u"HKEY_LOCAL_MACHINE", {}, {}};
  bool operator==(const Hives& other) const {
    return currentUser == other.currentUser && localMachine == other.localMachine;
  }
};

// The tree of a registry.reg file; nothing when it cannot be read whole.
std::optional<Hives> parse(std::string_view bytes);
// The file form of the tree, with its byte-order mark.
std::string write(const Hives& hives);

// Blocks that change what comes before them in the file, in its encoding
// (UTF-16LE, no mark): a key with values set in it (created when missing, its
// other values kept), a value deleted, a key deleted with all below it.
std::string keyBlock(StrView hive, const std::vector<Str>& path, const std::vector<ValueEntry>& values);
std::string valueDeletionBlock(StrView hive, const std::vector<Str>& path, StrView name);
std::string keyDeletionBlock(StrView hive, const std::vector<Str>& path);

// The end mark that follows every change the machine writes into the file,
// whole or appended: a comment line, which regedit passes over. A file that
// holds one is read up to the end of its last one; what follows it is a
// change that a killed process or a full disk tore, which is never read and
// is cut off by the next change. A file without one (regedit's own) is read
// whole.
std::string endMark();
struct WholePart {
  size_t size = 0;     // the bytes that are read
  bool marked = false; // they end with an end mark, so that changes may follow
};
WholePart wholePart(std::string_view bytes);

// A REG_SZ's data as the file would write it in quotes; false when it must
// be written as hex(1): instead.
bool plainString(const std::string& data, Str& text);

}  // namespace orvel::regfile
