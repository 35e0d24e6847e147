// An INI file held in memory: read whole once, changed in memory, written back
// whole on request. Sections and names match without regard to letter case;
// the first matching section and entry count, as with the profile reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace orvel {

class MemIniFile {
 public:
  // The text's encoding, kept for writing back: 8-bit text in the ANSI code
  // page unless the file began with a UTF-8 or UTF-16 byte-order mark.
  enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

  // Reads the file at `fileName` whole; a missing or unreadable file gives an
  // empty INI. One that is there but cannot be read is never written back.
  explicit MemIniFile(Str fileName);
  // An empty INI that UpdateFile would write to `fileName`; nothing is read.
  static MemIniFile Empty(Str fileName);

  const Str& FileName() const { return fileName_; }
  Encoding TextEncoding() const { return encoding_; }

  // The value after the first "=", blanks around it removed, or `def` when
  // the section or entry is missing. An entry with an empty value gives "".
  Str ReadString(const Str& section, const Str& name, const Str& def) const;
  // Decimal, or hexadecimal after "0x"; a value that is not a whole 32-bit
  // number (also "$10" or "x10") gives `def`.
  int32_t ReadInteger(const Str& section, const Str& name, int32_t def) const;
  bool SectionExists(const Str& section) const;
  bool ValueExists(const Str& section, const Str& name) const;
  // Section names, and the entry names of one section, in file order.
  std::vector<Str> ReadSections() const;
  std::vector<Str> ReadSection(const Str& section) const;

  // Replaces the value of an existing entry, or adds the entry at the end of
  // its section, or adds the section at the end.
  void WriteString(const Str& section, const Str& name, const Str& value);
  void WriteInteger(const Str& section, const Str& name, int32_t value);
  // Removes the first matching entry; the section stays. False when missing.
  bool DeleteKey(const Str& section, const Str& name);

  // Whether the INI text can hold this entry so that it reads back as itself
  // and touches no other entry: section and name without CR, LF, "=" or "]",
  // not starting with "[" or ";", without blanks or control characters at
  // either end; a value without CR or LF; and (in an 8-bit file) all three
  // made of characters the code page has.
  bool CanStore(const Str& section, const Str& name, const Str& value) const;

  // Writes the whole INI back to its file, replacing it atomically: a
  // "[Section]" line, then "name=value" lines, an empty line between
  // sections, every line ended by CR LF, in the encoding it was read in.
  // Other processes may change the file meanwhile: under an UpdateLock the
  // file is read again and this object's changes and removals since it was
  // read are applied to that, so that no other run's entry is lost; the
  // object then holds the merged INI. A file that could not be read when
  // the object was made is left as it is (the read's error is returned).
  Result UpdateFile();

  // The INI as bytes of a file, and back (used by loading and writing, and by
  // tests and fuzzing without a file).
  void LoadFromBytes(const std::string& bytes);
  std::string SaveToBytes() const;
  // The lines that UpdateFile writes (8-bit text that would begin like a
  // byte-order mark gets an empty line before them).
  std::vector<Str> Lines() const;

 private:
  struct Line {
    Str name;
    Str value;
    bool isEntry;  // false: kept as it stands (a comment, a line without "=")
    Str text() const { return isEntry ? name + u"=" + value : name; }
  };
  struct Section {
    Str name;
    std::vector<Line> lines;
  };

  MemIniFile() = default;
  void parse(const Str& text);
  const Section* findSection(const Str& section) const;
  Section* findSection(const Str& section);
  static constexpr size_t kNoEntry = static_cast<size_t>(-1);
  static size_t entryIndex(const Section& section, const Str& name);

  // One WriteString or DeleteKey, kept to be applied again to the file as
  // another process may have left it.
  struct Change {
    Str section;
    Str name;
    Str value;
    bool removed;
  };
  void apply(const Change& change);

  Str fileName_;
  uint32_t readError_ = err::kSuccess;  // the file is there but could not be read
  std::vector<Change> changes_;
  Encoding encoding_ = Encoding::Ansi;
  std::vector<Str> preamble_;  // lines before the first section, kept as they stand
  std::vector<Section> sections_;
};

}  // namespace orvel
