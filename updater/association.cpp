// The association rewrite (the application's file class under both roots and
// the extensions attached to it or detached from it) and the open-command
// rewrite.
#include "common/convert.h"
#include "common/error.h"
#include "common/fmx_utils.h"
#include "common/installation_layout.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "updater/association_list.h"
#include "updater/key_closer.h"
#include "updater/updater.h"

namespace orvel {
namespace {

const Str kExtensionKeys = Str(layout::kClassesKey + 1) + u"\\";  // relative: below the root
const Str kDefaultValue = u"";

// The file name of a path without its extension: "OrvelDraw" for
// "C:\Orvel\OrvelDraw.exe", which is also the application's DDE service.
Str BaseName(const Str& path) {
  const size_t slash = path.find_last_of(u"\\:");
  Str name = slash == Str::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind(u'.');
  return dot == Str::npos ? name : name.substr(0, dot);
}

// Writes `value` as the default value of `path`; the outcome of the open is
// not looked at, so a key that cannot be opened makes the write fail.
void WriteDefault(RegistryAccess& registry, const Str& path, const Str& value) {
  registry.OpenKey(path, true);
  registry.WriteString(kDefaultValue, value);
}

void Attach(RegistryAccess& registry, const Str& extension) {
  WriteDefault(registry, kExtensionKeys + extension, layout::kFileClass);
}

// Empties the extension's class only where it is ours; a missing key stays missing.
void Detach(RegistryAccess& registry, const Str& extension) {
  if (!registry.OpenKey(kExtensionKeys + extension, false)) return;
  if (registry.ReadString(kDefaultValue) == layout::kFileClass) registry.WriteString(kDefaultValue, u"");
}

}  // namespace

void TFUpdater::ChangeRegistry(const Str& program, const Str& pairs) {
  Registriere(program);
  RegistryAccess associations;  // one object serves every pair
  Str list = StripQuotes(pairs);
  while (auto pair = TakeAssociationPair(list)) {
    // A flag that is no Boolean ends the run here: no log line, no notification.
    const bool flag = StrToBool(pair->flagText);
    AssociateExtension(associations, pair->extension, flag);
    AddLog(pair->extension + u" " + pair->flagText);
  }
  shell::changeNotify(shell::kShcneAssocChanged, shell::kShcnfIdList);
}

void TFUpdater::AssociateExtension(RegistryAccess& registry, const Str& extension, bool flag) {
  // An empty extension would name the Classes key itself.
  if (extension.empty()) return;
  try {
    KeyCloser closer(registry);
    registry.SetAccess(reg::kKeyAllAccess);
    for (reg::Root root : {reg::Root::LocalMachine, reg::Root::CurrentUser}) {
      registry.SetRootKey(root);
      if (flag)
        Attach(registry, extension);
      else
        Detach(registry, extension);
      registry.CloseKey();
    }
  } catch (const orvel::Error& e) {
    // One extension failed; the others still get their turn.
    application().showMessage(e.message());
  }
}

void TFUpdater::Registriere(const Str& OrvelDraw) {
  RegistryAccess registry(reg::kKeyAllAccess);
  registry.SetRootKey(reg::Root::LocalMachine);
  WriteFileClass(registry, layout::kFileClassKey, OrvelDraw);
  registry.SetRootKey(reg::Root::CurrentUser);
  WriteFileClass(registry, layout::kFileClassKey, OrvelDraw);
}

void TFUpdater::WriteFileClass(RegistryAccess& registry, const Str& key, const Str& path) {
  const Str program = QuoteIfSpaces(path);
  WriteDefault(registry, key, u"Orvel-Draw");
  registry.CloseKey();
  WriteDefault(registry, key + u"\\DefaultIcon", program + u",0");
  registry.CloseKey();
  WriteDefault(registry, key + u"\\Shell\\Open\\command", program);
  registry.CloseKey();
  // The ddeexec key stays open: "Application" is created below it.
  WriteDefault(registry, key + u"\\Shell\\Open\\ddeexec", u"[FileOpen(\"%1\")]");
  WriteDefault(registry, u"Application", BaseName(path));
  registry.CloseKey();
  WriteDefault(registry, key + u"\\Shell\\Open\\ddeexec\\topic", u"System");
  registry.CloseKey();
}

void TFUpdater::ChangeKXRegistration(const Str& command) {
  RegistryAccess registry(reg::kKeyAllAccess);
  registry.SetRootKey(reg::Root::LocalMachine);
  WriteDefault(registry, Str(layout::kFileClassKey) + u"\\Shell\\Open\\command", UnescapeQuot(command));
}

}  // namespace orvel
