// The installation's entry in Apps & features. Windows lists a key below
// ...\CurrentVersion\Uninstall once it holds a DisplayName and an
// UninstallString; a 32-bit program's key lies in the 32-bit view, which the
// registry layer always uses below HKEY_LOCAL_MACHINE.
#include "setup/apps_registration.h"

#include <cstdint>

#include "common/fmx_utils.h"
#include "common/installation_layout.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "product.h"
#include "setup/folder_paths.h"

namespace orvel {
namespace {

// The folders whose files an installation copies (flat), beside its own.
const Str kInstalledFolders[] = {u"", Str(layout::kLanguageFolder) + u"\\", Str(layout::kTemplateFolder) + u"\\",
                                 Str(layout::kStyleFolder) + u"\\"};

// What the installation's files take, in KiB rounded up, as the folder
// listings give their sizes (one listing a folder, whatever it holds).
uint32_t installedKiB(const Str& folder) {
  uint64_t bytes = 0;
  for (const Str& sub : kInstalledFolders)
    for (const files::FindEntry& entry : files::findFiles(folder + sub + u"*.*"))
      if (IsPlainFile(entry)) bytes += entry.size;
  const uint64_t kib = (bytes + 1023) / 1024;
  return kib > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(kib);
}

// The same folder: the same text, or the same Setup.exe under another
// spelling (a short name, another letter case, a mapped share).
bool sameInstallation(const Str& a, const Str& b) {
  const Str left = IncludeTrailingBackslash(a);
  const Str right = IncludeTrailingBackslash(b);
  return SameFile(left + layout::kSetupFile, right + layout::kSetupFile);
}

}  // namespace

Str AppsEntryName() { return Str(u"HKEY_LOCAL_MACHINE\\") + layout::kAppsEntryKey; }

bool RegisterInApps(const Str& folder) {
  // An entry whose uninstaller is missing would lead nowhere.
  if (!files::fileExists(folder + layout::kSetupFile)) return false;
  reg::Key key;
  if (!reg::Key::open(reg::Root::LocalMachine, layout::kAppsEntryKey, reg::kKeyWrite, reg::Open::OrCreate, key)) return false;
  const Str setup = folder + layout::kSetupFile;
  const std::pair<const char16_t*, reg::Value> values[] = {
      {u"DisplayVersion", reg::makeString(fromUtf8(ORVEL_VERSION))},
      {u"Publisher", reg::makeString(fromUtf8(ORVEL_COMPANY_NAME))},
      {u"DisplayIcon", reg::makeString(setup)},
      {u"InstallLocation", reg::makeString(folder)},
      {u"UninstallString", reg::makeString(u"\"" + setup + u"\"")},
      {u"EstimatedSize", reg::makeDword(installedKiB(folder))},
      {u"NoModify", reg::makeDword(1)},
      {u"NoRepair", reg::makeDword(1)},
      // Last: a new entry cut short before it stays out of the list, and
      // the next installation writes it whole.
      {u"DisplayName", reg::makeString(fromUtf8(ORVEL_PRODUCT_NAME))},
  };
  for (const auto& [name, value] : values)
    if (!key.setValue(name, value)) return false;
  return true;
}

void UnregisterFromApps(const Str& folder) {
  Str location;
  {
    reg::Key key;
    if (!reg::Key::open(reg::Root::LocalMachine, layout::kAppsEntryKey, reg::kKeyRead, reg::Open::Existing, key)) return;
    reg::Value value;
    if (key.queryValue(u"InstallLocation", value) && (value.type == reg::kSz || value.type == reg::kExpandSz))
      location = reg::stringOf(value);
  }
  const bool ours = !location.empty() && sameInstallation(location, folder);
  const bool leadsNowhere = location.empty() || !files::fileExists(IncludeTrailingBackslash(location) + layout::kSetupFile);
  if (ours || leadsNowhere) (void)reg::deleteKey(reg::Root::LocalMachine, layout::kAppsEntryKey);
}

}  // namespace orvel
