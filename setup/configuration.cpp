// The configuration that an installation leaves for the application: the
// machine INI file ODMachine.INI (INI and portable installations) or the
// values below HKEY_LOCAL_MACHINE\Software\OrvelDraw\Orvel.
#include "common/convert.h"
#include "common/error.h"
#include "common/fmx_utils.h"
#include "common/format.h"
#include "common/installation_layout.h"
#include "common/log_window.h"
#include "common/registry_access.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "setup/folder_paths.h"
#include "setup/setup_window.h"

namespace orvel {
namespace {


void writeEntry(const Str& file, const Str& section, const Str& key, const Str& value) {
  if (!profile::writeString(file, section, key, value))
    throw Error(Format(u"In %s kann nicht geschrieben werden", {file}));
}

}  // namespace

void TFSetup::WriteConfiguration() {
  if (!InIniMode()) {
    // Without the right to write the machine's keys the installation goes on
    // without a word: the application then starts with its own defaults.
    try {
      RegistryAccess registry(reg::kKeyWrite);
      registry.SetRootKey(reg::Root::LocalMachine);
      if (!registry.OpenKey(Str(layout::kConfigurationKey) + u"\\", true)) return;
      registry.WriteString(u"Language", Sprachdatei);
      registry.WriteInteger(u"PortableApplication", 0);
    } catch (const Error&) {
      // A refused key leaves nothing half written that the application would misread.
    }
    return;
  }
  const bool portable = CBPortableApplication->checked();
  const Str path = NachDir + layout::kMachineIniFile;
  CreateConfigurationFile(path);
  EUserfolder->setText(portable ? NachDir + u"Data\\" : IncludeTrailingBackslash(EUserfolder->text()));
  FMemo->GibAus(LNGSaveTo + u" " + EUserfolder->text());
  writeEntry(path, u"User", u"HomeDir", UnPortApp(EUserfolder->text()));
  writeEntry(path, u"Orvel", u"Language", UnPortApp(Sprachdatei));
  writeEntry(path, u"Orvel", u"PortableApplication", portable ? u"1" : u"0");
}

void TFSetup::CreateConfigurationFile(const Str& path) {
  FMemo->GibAus(LNGCreateConfigurationfile + u" " + path);
  if (files::createOrTruncate(path)) return;
  // The entries are written all the same; the INI service may still manage.
  const Str message = Format(LNGCanNotCreate, {path});
  application().messageBox(gui::MessageKind::Error, message, {gui::Button::Ok});
  FMemo->GibAus(message);
}

Str TFSetup::UnPortApp(const Str& s) {
  if (!CBPortableApplication->checked() || s.empty()) return s;
  // Only a path on the installation's drive (or share) can be made relative.
  if (!SameText(NachDir.substr(0, 2), s.substr(0, 2))) return s;
  const std::vector<Str> base = SplitString(u'\\', ExcludeTrailingSlash(NachDir));
  const std::vector<Str> target = SplitString(u'\\', ExcludeTrailingSlash(s));
  size_t common = 0;
  while (common < base.size() && common < target.size() && SameText(base[common], target[common])) ++common;
  Str relative;
  for (size_t i = common; i < base.size(); ++i) relative += u"..\\";
  for (size_t i = common; i < target.size(); ++i) relative += target[i] + u"\\";
  return ExcludeTrailingSlash(relative);
}

}  // namespace orvel
