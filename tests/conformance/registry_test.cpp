// The registry service: what the advapi32 Reg* functions answer on Windows,
// and the emulated machine answers alike. Every key lies below
// Software\OrvelDraw or the class key OrvelDraw, which TestMachine clears
// between cases.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/test_machine.h"
#include "tests/support/todo_wine.h"

namespace orvel::reg {
namespace {

using test::TestMachine;
using test::todoWine;

const Str kBase = u"Software\\OrvelDraw";
const Str kClassKey = u"OrvelDraw";
const Str kClassesKey = u"Software\\Classes\\OrvelDraw";

// Wine 8 leaves HKEY_CURRENT_USER\Software\Classes out of HKEY_CLASSES_ROOT.
constexpr char kWineNoMerge[] = "HKEY_CLASSES_ROOT merged from both hives";

std::string utf16(const Str& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::vector<std::string> utf8(const std::vector<Str>& names) {
  std::vector<std::string> out;
  for (const Str& n : names) out.push_back(toUtf8(n));
  return out;
}

class RegistryTest : public testing::Test {
 protected:
  static Key create(Root root, const Str& path, uint32_t access = kKeyAllAccess) {
    Key key;
    Result r = Key::open(root, path, access, reg::Open::OrCreate, key);
    EXPECT_TRUE(r.ok()) << "creating " << toUtf8(path) << ": error " << r.error;
    return key;
  }
  static uint32_t openError(Root root, const Str& path, uint32_t access = kKeyRead) {
    Key key;
    return Key::open(root, path, access, reg::Open::Existing, key).error;
  }
  static bool exists(Root root, const Str& path) { return openError(root, path) == err::kSuccess; }
  static std::vector<std::string> subKeys(const Key& key) {
    std::vector<Str> names;
    EXPECT_TRUE(key.subKeyNames(names).ok());
    return utf8(names);
  }
  static std::vector<std::string> subKeys(Root root, const Str& path) {
    Key key;
    EXPECT_TRUE(Key::open(root, path, kKeyRead, reg::Open::Existing, key).ok()) << toUtf8(path);
    return subKeys(key);
  }
  // Value names in sorted order: Windows enumerates them as they were made,
  // Wine and the emulated machine sorted.
  static std::vector<std::string> sortedValues(const Key& key) {
    std::vector<Str> names;
    EXPECT_TRUE(key.valueNames(names).ok());
    auto out = utf8(names);
    std::sort(out.begin(), out.end());
    return out;
  }
  static Str stringAt(Root root, const Str& path, const Str& name) {
    Key key;
    Value value;
    if (!Key::open(root, path, kKeyRead, reg::Open::Existing, key) || !key.queryValue(name, value)) return u"<none>";
    return stringOf(value);
  }

  TestMachine machine_;
};

// A string, a DWORD and the default value come back with type and bytes.
TEST_F(RegistryTest, ValuesReadBackAsWritten) {
  for (Root root : {Root::CurrentUser, Root::LocalMachine}) {
    Key key = create(root, kBase + u"\\Orvel");
    ASSERT_TRUE(key.setValue(u"Language", makeString(u"C:\\Orvel\\languages\\espa\u00f1ol.ini")).ok());
    ASSERT_TRUE(key.setValue(u"PortableApplication", makeDword(0xFFFFFFF6u)).ok());
    ASSERT_TRUE(key.setValue(u"", makeString(u"Orvel-Draw")).ok());
    key.close();

    Key read;
    ASSERT_TRUE(Key::open(root, kBase + u"\\Orvel", kKeyRead, reg::Open::Existing, read).ok());
    Value value;
    ASSERT_TRUE(read.queryValue(u"Language", value).ok());
    EXPECT_EQ(value.type, kSz);
    EXPECT_EQ(value.data, utf16(u"C:\\Orvel\\languages\\espa\u00f1ol.ini") + std::string(2, '\0'));
    EXPECT_EQ(stringOf(value), u"C:\\Orvel\\languages\\espa\u00f1ol.ini");
    ASSERT_TRUE(read.queryValue(u"PortableApplication", value).ok());
    EXPECT_EQ(value.type, kDword);
    EXPECT_EQ(value.data, std::string("\xF6\xFF\xFF\xFF", 4));
    EXPECT_EQ(dwordOf(value), 0xFFFFFFF6u);
    ASSERT_TRUE(read.queryValue(u"", value).ok());
    EXPECT_EQ(stringOf(value), u"Orvel-Draw");
  }
}

// Each type keeps its exact bytes, also text with line breaks and NULs.
TEST_F(RegistryTest, EveryTypeKeepsItsBytes) {
  const Value values[] = {
      {kSz, utf16(u"two\r\nlines") + std::string(2, '\0')},
      {kSz, utf16(Str(u"a\0b", 3)) + std::string(2, '\0')},
      {kSz, std::string("abc", 3)},  // odd length
      {kExpandSz, utf16(u"%APPDATA%\\Orvel") + std::string(2, '\0')},
      {kMultiSz, utf16(Str(u"one\0two\0\0", 9))},
      {kBinary, std::string("\x00\x01\xFE\xFF", 4)},
      {kBinary, std::string()},
      {kQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {kNone, std::string("\x42", 1)},
      {kDword, std::string("\x01\x02\x03", 3)},  // a DWORD of the wrong size is kept as it is
  };
  Key key = create(Root::CurrentUser, kBase);
  for (size_t i = 0; i < std::size(values); ++i) {
    const Str name = u"v" + fromUtf8(std::to_string(i));
    ASSERT_TRUE(key.setValue(name, values[i]).ok()) << "value " << i;
  }
  key.close();
  Key read;
  ASSERT_TRUE(Key::open(Root::CurrentUser, kBase, kKeyRead, reg::Open::Existing, read).ok());
  for (size_t i = 0; i < std::size(values); ++i) {
    Value value;
    ASSERT_TRUE(read.queryValue(u"v" + fromUtf8(std::to_string(i)), value).ok()) << "value " << i;
    EXPECT_EQ(value.type, values[i].type) << "value " << i;
    EXPECT_EQ(value.data, values[i].data) << "value " << i;
  }
}

// A missing value fails with file-not-found and leaves the output alone.
TEST_F(RegistryTest, MissingValueIsNotFound) {
  Key key = create(Root::CurrentUser, kBase);
  Value value{kBinary, "marker"};
  EXPECT_EQ(key.queryValue(u"Missing", value).error, err::kFileNotFound);
  EXPECT_EQ(value.type, kBinary);
  EXPECT_EQ(value.data, "marker");
  EXPECT_EQ(key.deleteValue(u"Missing").error, err::kFileNotFound);

  ASSERT_TRUE(key.setValue(u"Present", makeDword(1)).ok());
  EXPECT_TRUE(key.deleteValue(u"PRESENT").ok());
  EXPECT_EQ(key.queryValue(u"Present", value).error, err::kFileNotFound);
}

// Opening without creating fails for a missing key; creating makes the
// missing parents too, and opening an existing key with create just opens it.
TEST_F(RegistryTest, OpenAndCreate) {
  EXPECT_EQ(openError(Root::CurrentUser, kBase + u"\\A\\B"), err::kFileNotFound);
  Key b = create(Root::CurrentUser, kBase + u"\\A\\B");
  ASSERT_TRUE(b.setValue(u"x", makeDword(7)).ok());
  EXPECT_TRUE(exists(Root::CurrentUser, kBase + u"\\A"));

  Key again = create(Root::CurrentUser, kBase + u"\\A\\B");
  Value value;
  ASSERT_TRUE(again.queryValue(u"x", value).ok());
  EXPECT_EQ(dwordOf(value), 7u);

  // The root itself, by an empty path.
  Key root;
  ASSERT_TRUE(Key::open(Root::CurrentUser, u"", kKeyRead, reg::Open::Existing, root).ok());
  const auto top = subKeys(root);
  EXPECT_NE(std::find(top.begin(), top.end(), "Software"), top.end());
}

// Key and value names match without regard to case; a name keeps the
// spelling it was created with.
TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirSpelling) {
  Key key = create(Root::CurrentUser, kBase + u"\\MixedCase\\Inner");
  EXPECT_TRUE(exists(Root::CurrentUser, u"SOFTWARE\\orveldraw\\mixedcase\\INNER"));
  create(Root::CurrentUser, kBase + u"\\MIXEDCASE");
  EXPECT_EQ(subKeys(Root::CurrentUser, kBase), (std::vector<std::string>{"MixedCase"}));

  ASSERT_TRUE(key.setValue(u"Name", makeString(u"first")).ok());
  ASSERT_TRUE(key.setValue(u"NAME", makeString(u"second")).ok());
  EXPECT_EQ(sortedValues(key), (std::vector<std::string>{"Name"}));
  EXPECT_EQ(stringAt(Root::CurrentUser, kBase + u"\\mixedcase\\inner", u"name"), u"second");
}

// Subkeys are listed in alphabetical order, without regard to case.
TEST_F(RegistryTest, SubKeysAreListedInOrder) {
  Key parent = create(Root::CurrentUser, kBase);
  for (const char16_t* name : {u"beta", u"Gamma", u"alpha", u"Delta 2", u"delta"}) {
    Key child;
    ASSERT_TRUE(Key::open(parent, name, kKeyAllAccess, reg::Open::OrCreate, child).ok());
    ASSERT_TRUE(parent.setValue(name, makeDword(1)).ok());
  }
  EXPECT_EQ(subKeys(parent), (std::vector<std::string>{"alpha", "beta", "delta", "Delta 2", "Gamma"}));
  EXPECT_EQ(sortedValues(parent), (std::vector<std::string>{"Delta 2", "Gamma", "alpha", "beta", "delta"}));
}

// RegDeleteKeyW removes only a key without subkeys (access denied otherwise)
// and fails for a missing key; values do not stand in its way.
TEST_F(RegistryTest, DeleteKeyNeedsAKeyWithoutSubkeys) {
  Key deep = create(Root::CurrentUser, kBase + u"\\Parent\\Child\\Leaf");
  ASSERT_TRUE(deep.setValue(u"v", makeDword(1)).ok());
  deep.close();
  EXPECT_EQ(deleteKey(Root::CurrentUser, kBase + u"\\Parent").error, err::kAccessDenied);
  EXPECT_EQ(deleteKey(Root::CurrentUser, kBase + u"\\Missing").error, err::kFileNotFound);

  Key parent;
  ASSERT_TRUE(Key::open(Root::CurrentUser, kBase + u"\\Parent", kKeyAllAccess, reg::Open::Existing, parent).ok());
  EXPECT_EQ(parent.deleteSubKey(u"Child").error, err::kAccessDenied);
  EXPECT_TRUE(parent.deleteSubKey(u"child\\leaf").ok());
  EXPECT_TRUE(parent.deleteSubKey(u"Child").ok());
  EXPECT_EQ(parent.deleteSubKey(u"Child").error, err::kFileNotFound);
  EXPECT_TRUE(subKeys(parent).empty());
  parent.close();
  EXPECT_TRUE(deleteKey(Root::CurrentUser, kBase + u"\\PARENT").ok());
  EXPECT_FALSE(exists(Root::CurrentUser, kBase + u"\\Parent"));
}

// An empty name deletes the open key itself; a root cannot be deleted.
TEST_F(RegistryTest, DeleteSubKeyWithEmptyNameDeletesTheKey) {
  Key self = create(Root::CurrentUser, kBase + u"\\Self");
  EXPECT_TRUE(self.deleteSubKey(u"").ok());
  EXPECT_FALSE(exists(Root::CurrentUser, kBase + u"\\Self"));
  EXPECT_EQ(deleteKey(Root::CurrentUser, u"").error, err::kAccessDenied);
}

// A key opened for reading cannot be written, and one opened for writing
// cannot be read; the access mask decides, as on Windows.
TEST_F(RegistryTest, AccessMaskIsEnforced) {
  ASSERT_TRUE(create(Root::CurrentUser, kBase + u"\\Masks\\Sub").setValue(u"v", makeDword(1)).ok());
  Key reading;
  ASSERT_TRUE(Key::open(Root::CurrentUser, kBase + u"\\Masks", kKeyRead, reg::Open::Existing, reading).ok());
  EXPECT_EQ(reading.setValue(u"v", makeDword(2)).error, err::kAccessDenied);
  EXPECT_EQ(reading.deleteValue(u"v").error, err::kAccessDenied);
  std::vector<Str> names;
  EXPECT_TRUE(reading.subKeyNames(names).ok());
  EXPECT_TRUE(reading.valueNames(names).ok());

  Key writing;
  ASSERT_TRUE(Key::open(Root::CurrentUser, kBase + u"\\Masks", kKeyWrite, reg::Open::Existing, writing).ok());
  Value value;
  EXPECT_EQ(writing.queryValue(u"v", value).error, err::kAccessDenied);
  EXPECT_EQ(writing.subKeyNames(names).error, err::kAccessDenied);
  EXPECT_EQ(writing.valueNames(names).error, err::kAccessDenied);
  EXPECT_TRUE(writing.setValue(u"w", makeDword(3)).ok());
  EXPECT_TRUE(writing.deleteValue(u"w").ok());
}

// Operations on a key that was deleted after it was opened fail with
// ERROR_KEY_DELETED; closing it is fine.
TEST_F(RegistryTest, DeletedKeyFailsWithKeyDeleted) {
  Key gone = create(Root::CurrentUser, kBase + u"\\Gone");
  ASSERT_TRUE(deleteKey(Root::CurrentUser, kBase + u"\\Gone").ok());
  Value value;
  std::vector<Str> names;
  Key child;
  EXPECT_EQ(gone.setValue(u"x", makeDword(1)).error, err::kKeyDeleted);
  EXPECT_EQ(gone.queryValue(u"x", value).error, err::kKeyDeleted);
  EXPECT_EQ(gone.deleteValue(u"x").error, err::kKeyDeleted);
  EXPECT_EQ(gone.subKeyNames(names).error, err::kKeyDeleted);
  EXPECT_EQ(gone.valueNames(names).error, err::kKeyDeleted);
  EXPECT_EQ(Key::open(gone, u"c", kKeyAllAccess, reg::Open::OrCreate, child).error, err::kKeyDeleted);
  EXPECT_EQ(Key::open(gone, u"c", kKeyRead, reg::Open::Existing, child).error, err::kKeyDeleted);
  gone.close();
  EXPECT_FALSE(gone.isOpen());
  EXPECT_FALSE(exists(Root::CurrentUser, kBase + u"\\Gone"));
}

// Sub key paths: a leading "\" is a bad path name; a trailing one and a
// doubled one are passed over.
TEST_F(RegistryTest, PathForms) {
  Key key;
  EXPECT_EQ(Key::open(Root::CurrentUser, u"\\" + kBase, kKeyAllAccess, reg::Open::OrCreate, key).error, err::kBadPathname);
  EXPECT_EQ(Key::open(Root::CurrentUser, u"\\Software", kKeyRead, reg::Open::Existing, key).error, err::kBadPathname);
  create(Root::CurrentUser, kBase + u"\\Trailing\\");
  EXPECT_TRUE(exists(Root::CurrentUser, kBase + u"\\Trailing"));
  create(Root::CurrentUser, kBase + u"\\\\Doubled");
  EXPECT_TRUE(exists(Root::CurrentUser, kBase + u"\\Doubled"));
  EXPECT_TRUE(exists(Root::CurrentUser, kBase + u"\\Trailing\\"));
}

// Keys opened below an open key: relative names, created or not, and a
// child of a class key stays in the class view.
TEST_F(RegistryTest, OpenBelowAnOpenKey) {
  Key parent = create(Root::CurrentUser, kBase + u"\\Shell");
  Key child;
  EXPECT_EQ(Key::open(parent, u"Open\\command", kKeyRead, reg::Open::Existing, child).error, err::kFileNotFound);
  ASSERT_TRUE(Key::open(parent, u"Open\\command", kKeyAllAccess, reg::Open::OrCreate, child).ok());
  ASSERT_TRUE(child.setValue(u"", makeString(u"\"C:\\Program Files\\Orvel\\OrvelDraw.exe\"")).ok());
  EXPECT_EQ(stringAt(Root::CurrentUser, kBase + u"\\Shell\\Open\\command", u""),
            u"\"C:\\Program Files\\Orvel\\OrvelDraw.exe\"");
  Key same;
  ASSERT_TRUE(Key::open(parent, u"", kKeyRead, reg::Open::Existing, same).ok());
  EXPECT_EQ(subKeys(same), (std::vector<std::string>{"Open"}));
}

// A class key made through HKEY_CLASSES_ROOT when neither hive has it is
// made below HKEY_LOCAL_MACHINE\Software\Classes, and reads back through
// the classes root.
TEST_F(RegistryTest, NewClassKeyGoesToTheMachine) {
  Key command = create(Root::ClassesRoot, kClassKey + u"\\Shell\\Open\\command");
  ASSERT_TRUE(command.setValue(u"", makeString(u"C:\\Orvel\\OrvelDraw.exe")).ok());
  command.close();
  EXPECT_EQ(stringAt(Root::ClassesRoot, kClassKey + u"\\shell\\open\\command", u""), u"C:\\Orvel\\OrvelDraw.exe");
  EXPECT_EQ(subKeys(Root::ClassesRoot, kClassKey), (std::vector<std::string>{"Shell"}));
  EXPECT_FALSE(exists(Root::CurrentUser, kClassesKey));
  EXPECT_EQ(stringAt(Root::LocalMachine, kClassesKey + u"\\Shell\\Open\\command", u""), u"C:\\Orvel\\OrvelDraw.exe");
  for (const Str path : {u"\\Shell\\Open\\command", u"\\Shell\\Open", u"\\Shell", u""}) {
    EXPECT_TRUE(deleteKey(Root::ClassesRoot, kClassKey + path).ok()) << toUtf8(path);
  }
  EXPECT_EQ(openError(Root::ClassesRoot, kClassKey), err::kFileNotFound);
}

// With the class key in both hives, HKEY_CLASSES_ROOT shows the user's: reads
// and writes go there, the subkeys of both are listed, a deletion removes the
// user's key first and the machine's shows through again.
TEST_F(RegistryTest, ClassesRootPrefersTheUsersKey) {
  create(Root::LocalMachine, kClassesKey + u"\\MachineOnly");
  ASSERT_TRUE(create(Root::LocalMachine, kClassesKey).setValue(u"", makeString(u"machine")).ok());
  create(Root::CurrentUser, kClassesKey + u"\\UserOnly");
  ASSERT_TRUE(create(Root::CurrentUser, kClassesKey).setValue(u"", makeString(u"user")).ok());

  todoWine(kWineNoMerge, [&] {
    EXPECT_EQ(stringAt(Root::ClassesRoot, kClassKey, u""), u"user");
    EXPECT_EQ(subKeys(Root::ClassesRoot, kClassKey), (std::vector<std::string>{"MachineOnly", "UserOnly"}));

    Key merged;
    ASSERT_TRUE(Key::open(Root::ClassesRoot, kClassKey, kKeyAllAccess, reg::Open::Existing, merged).ok());
    ASSERT_TRUE(merged.setValue(u"Written", makeDword(1)).ok());
    Value value;
    EXPECT_TRUE(Key::open(Root::CurrentUser, kClassesKey, kKeyRead, reg::Open::Existing, merged).ok() &&
                merged.queryValue(u"Written", value).ok());
  });

  todoWine(kWineNoMerge, [&] {
    EXPECT_TRUE(deleteKey(Root::ClassesRoot, kClassKey + u"\\UserOnly").ok());
    EXPECT_FALSE(exists(Root::CurrentUser, kClassesKey + u"\\UserOnly"));
    EXPECT_TRUE(deleteKey(Root::CurrentUser, kClassesKey + u"\\UserOnly").error == err::kFileNotFound);
  });
  EXPECT_TRUE(deleteKey(Root::ClassesRoot, kClassKey + u"\\MachineOnly").ok());
  EXPECT_FALSE(exists(Root::LocalMachine, kClassesKey + u"\\MachineOnly"));
  todoWine(kWineNoMerge, [&] {
    EXPECT_TRUE(deleteKey(Root::ClassesRoot, kClassKey).ok());
    EXPECT_FALSE(exists(Root::CurrentUser, kClassesKey));
    EXPECT_EQ(stringAt(Root::ClassesRoot, kClassKey, u""), u"machine");
  });
}

}  // namespace
}  // namespace orvel::reg
