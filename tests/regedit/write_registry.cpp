// Writes the emulated machine's registry ($ORVEL_MACHINE) through the
// registry service, for regedit to import: values of every type, names and
// texts beyond ASCII and beyond the basic plane, then enough values to make
// the file large, so that later changes, deletions included, are appended to
// it as blocks. Prints what the imported registry must hold below the keys
// it wrote, one line each, every text as hex of its UTF-8:
//   K <key path>
//   V <key path> <value name> <type> <hex of the data>
// A key path begins with HKCU or HKLM.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace {

using orvel::Str;
namespace reg = orvel::reg;

std::string Hex(const std::string& bytes) {
  std::string out;
  char byte[3];
  for (unsigned char c : bytes) {
    std::snprintf(byte, sizeof byte, "%02x", c);
    out += byte;
  }
  return out.empty() ? "-" : out;
}

// UTF-16LE bytes of a text, without a terminator.
std::string Units(const Str& text) {
  std::string bytes;
  for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return bytes;
}

reg::Value Typed(uint32_t type, const std::string& data) { return reg::Value{type, data}; }

// The keys written and what each holds at the end.
class Writer {
 public:
  void Set(reg::Root root, const Str& path, const Str& name, const reg::Value& value) {
    reg::Key key;
    Check(reg::Key::open(root, path, reg::kKeyAllAccess, reg::Open::OrCreate, key), path);
    Check(key.setValue(name, value), path + u" " + name);
    Tree(root, path)[name] = value;
  }
  void CreateKey(reg::Root root, const Str& path) {
    reg::Key key;
    Check(reg::Key::open(root, path, reg::kKeyAllAccess, reg::Open::OrCreate, key), path);
    Tree(root, path);
  }
  void DeleteValue(reg::Root root, const Str& path, const Str& name) {
    reg::Key key;
    Check(reg::Key::open(root, path, reg::kKeyAllAccess, reg::Open::Existing, key), path);
    Check(key.deleteValue(name), path + u" " + name);
    Tree(root, path).erase(name);
  }
  void DeleteKey(reg::Root root, const Str& path) {
    Check(reg::deleteKey(root, path), path);
    keys_.erase(Name(root, path));
  }

  void Print() const {
    for (const auto& [path, values] : keys_) {
      std::printf("K %s\n", Hex(path).c_str());
      for (const auto& [name, value] : values)
        std::printf("V %s %s %u %s\n", Hex(path).c_str(), Hex(orvel::toUtf8(name)).c_str(), value.type,
                    Hex(value.data).c_str());
    }
  }

 private:
  static std::string Name(reg::Root root, const Str& path) {
    return (root == reg::Root::CurrentUser ? "HKCU\\" : "HKLM\\") + orvel::toUtf8(path);
  }
  std::map<Str, reg::Value>& Tree(reg::Root root, const Str& path) { return keys_[Name(root, path)]; }
  static void Check(orvel::Result result, const Str& what) {
    if (result) return;
    std::fprintf(stderr, "registry call failed with %u: %s\n", result.error, orvel::toUtf8(what).c_str());
    std::exit(1);
  }

  std::map<std::string, std::map<Str, reg::Value>> keys_;
};

}  // namespace

int main() {
  const reg::Root user = reg::Root::CurrentUser;
  const Str key = u"Software\\OrvelDraw\\Regedit";
  Writer w;

  w.Set(user, key, u"", reg::makeString(u"Standardwert"));
  w.Set(user, key, u"Text", reg::makeString(u"tëxt"));
  w.Set(user, key, u"Имя", reg::makeString(u"Привет, мир"));
  w.Set(user, key, u"名前", reg::makeString(u"日本語のテキスト"));
  w.Set(user, key, u"Emoji 😀", reg::makeString(u"a 😀 b"));
  w.Set(user, key, u"Empty", reg::makeString(u""));
  w.Set(user, key, u"Quote \" and \\", reg::makeString(u"C:\\Program Files\\\"x\"\\"));
  w.Set(user, key, u"Lines", reg::makeString(u"one\r\ntwo"));
  w.Set(user, key, u"Expand", Typed(reg::kExpandSz, Units(u"%SystemRoot%\\tëxt") + std::string(2, '\0')));
  w.Set(user, key, u"Dword", reg::makeDword(0x12345678));
  w.Set(user, key, u"DwordMax", reg::makeDword(0xFFFFFFFF));
  w.Set(user, key, u"Qword", Typed(reg::kQword, std::string("\xef\xcd\xab\x89\x67\x45\x23\x01", 8)));
  std::string binary;
  for (int i = 0; i < 100; ++i) binary += static_cast<char>(i * 7);
  w.Set(user, key, u"Binary", Typed(reg::kBinary, binary));
  w.Set(user, key, u"EmptyBinary", Typed(reg::kBinary, ""));
  w.Set(user, key, u"Multi", Typed(reg::kMultiSz, Units(std::u16string(u"eins\0zwei ж\0😀\0\0", 15))));
  w.Set(user, key + u"\\Schlüssel\\Ключ\\鍵", u"", reg::makeString(u"tief"));
  w.Set(user, key + u"\\Schlüssel\\Ключ\\鍵", u"Wert", reg::makeDword(7));
  w.CreateKey(user, key + u"\\Leer");
  w.Set(reg::Root::LocalMachine, key, u"Maschine", reg::makeString(u"tëxt ж 鍵"));

  // What the appended blocks change afterwards.
  w.Set(user, key, u"Changed", reg::makeString(u"vorher"));
  w.Set(user, key, u"Gone", reg::makeString(u"weg"));
  w.Set(user, key + u"\\Weg\\Tiefer", u"x", reg::makeDword(1));

  for (int i = 0; i < 300; ++i) {
    const Str n = orvel::fromUtf8(std::to_string(i));
    w.Set(user, key + u"\\Filler", u"Füller " + n, reg::makeString(u"Wert Nummer " + n));
  }

  w.Set(user, key, u"Changed", reg::makeString(u"nachher ü"));
  w.DeleteValue(user, key, u"Gone");
  w.DeleteKey(user, key + u"\\Weg\\Tiefer");
  w.DeleteKey(user, key + u"\\Weg");
  w.Set(user, key, u"Später", reg::makeString(u"hinzugefügt"));

  w.Print();
  return 0;
}
