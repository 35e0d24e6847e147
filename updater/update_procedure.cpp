// The update branch of MakeUpdate: FixUpdate, the log header, then a file
// update, an association rewrite or an open-command rewrite, and the update
// log saved as update.txt beside the installation.
#include <optional>

#include "common/error.h"
#include "common/fmx_utils.h"
#include "common/installation_layout.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "updater/key_closer.h"
#include "updater/updater.h"

namespace orvel {
namespace {

const Str kOpenCommandMarker = u"kxregistry";
const Str kAssociationMarker = u"registry";  // also part of kOpenCommandMarker: test that first
const Str kUpdateValue = u"Update";
const Str kNextUpdateValue = u"NextUpdate";
constexpr int32_t kNoValue = -1;
// The application that started the update ends meanwhile and lets go of its files.
constexpr uint32_t kWaitForApplicationMs = 2000;

bool Contains(const Str& text, const Str& marker) { return text.find(marker) != Str::npos; }

// An integer value of the open key; nothing when it is missing or of another type.
std::optional<int32_t> IntegerOf(RegistryAccess& registry, const Str& name) {
  try {
    return registry.ReadInteger(name);
  } catch (const orvel::Error&) {
    return std::nullopt;
  }
}

}  // namespace

Str UpdateLogPath(const Str& dest) {
  return IncludeTrailingBackslash(ExtractFilePath(dest)) + layout::kUpdateLog;
}

void TFUpdater::RunUpdate() {
  FixUpdate();
  Dest = StripQuotes(ParamStr(2));
  Source = StripQuotes(ParamStr(3));
  const Str old = StripQuotes(ParamStr(4));
  Error = false;
  if (!old.empty()) AddLog(u"Old Version: " + old);
  AddLog(u"Source     : " + Source);
  AddLog(u"Destination: " + Dest);
  AddLog(u"");
  if (!Dest.empty()) CreateDirectories(Dest);
  if (Contains(Source, kOpenCommandMarker)) {
    ChangeKXRegistration(old);
  } else if (Contains(Source, kAssociationMarker)) {
    ChangeRegistry(Dest, old);
  } else {
    Restart = true;
    if (Dest.empty()) return;  // nothing to update, and no place for update.txt
    UpdateFiles(old);
  }
  SaveUpdateLog();
}

void TFUpdater::UpdateFiles(const Str& oldVersion) {
  sys::sleepMs(kWaitForApplicationMs);
  for (const char16_t* folder : {layout::kLanguageFolder, layout::kTemplateFolder, layout::kStyleFolder})
    CreateDirectories(Dest + folder + u"\\");
  RemoveLeftovers(Dest);
  for (const char16_t* folder : {layout::kLanguageFolder, layout::kStyleFolder, layout::kImageFolder})
    RemoveLeftovers(Dest + folder + u"\\");
  Version = oldVersion;
  CopyIniFiles();
  CopyStyles();
  CopyImages(Source, Dest);
  CopyFromTo(Source + layout::kApplicationFile, Dest + layout::kApplicationFile);
  CopyIfNewer(layout::kSetupFile);
}

void TFUpdater::CopyIfNewer(const Str& name) {
  const Str src = Source + name;
  const Str dst = Dest + name;
  if (!files::fileExists(dst)) return CopyFromTo(src, dst);
  const auto srcTime = files::lastWriteTime(src);
  const auto dstTime = files::lastWriteTime(dst);
  if (srcTime && dstTime && *srcTime > *dstTime) CopyFromTo(src, dst);
}

void TFUpdater::SaveUpdateLog() {
  try {
    const Str path = UpdateLogPath(Dest);
    AddLog(path);  // the saved file ends with the line that names it
    SaveLog(path);
  } catch (const orvel::Error& e) {
    AddLog(e.message());
  }
}

// --- FixUpdate ---------------------------------------------------------------

void TFUpdater::FixUpdate() {
  if (UseRegistry)
    FixUpdateInRegistry();
  else
    FixUpdateInIniFile();
}

void TFUpdater::FixUpdateInRegistry() {
  RegistryAccess& registry = *MyRegistry;
  KeyCloser closer(registry);
  registry.SetRootKey(reg::Root::LocalMachine);
  registry.SetAccess(reg::kKeyAllAccess);
  std::optional<int32_t> update, nextUpdate;
  if (registry.OpenKey(layout::kProgramKey, false)) {
    update = IntegerOf(registry, kUpdateValue);
    nextUpdate = IntegerOf(registry, kNextUpdateValue);
  }
  registry.CloseKey();

  // Written for the user first and removed for the machine after, so that a
  // run that ends in between (killed, or a write that fails) loses nothing.
  // The key is made even when there is nothing to move.
  registry.SetRootKey(reg::Root::CurrentUser);
  try {
    if (!registry.OpenKey(layout::kProgramKey, true)) return;
    if (update.value_or(kNoValue) != kNoValue) registry.WriteInteger(kUpdateValue, *update);
    if (nextUpdate.value_or(kNoValue) != kNoValue) registry.WriteInteger(kNextUpdateValue, *nextUpdate);
  } catch (const orvel::Error& e) {
    application().showMessage(e.message());
    return;
  }
  registry.CloseKey();
  if (!update && !nextUpdate) return;
  registry.SetRootKey(reg::Root::LocalMachine);
  if (!registry.OpenKey(layout::kProgramKey, false)) return;
  if (update) registry.DeleteValue(kUpdateValue);
  if (nextUpdate) registry.DeleteValue(kNextUpdateValue);
}

void TFUpdater::FixUpdateInIniFile() {
  if (ReadInteger(u"Program", kUpdateValue, kNoValue) == kNoValue) return;
  MachineIniFile->DeleteKey(u"Program", kUpdateValue);
  MachineIniFile->DeleteKey(u"Program", kNextUpdateValue);
  (void)MachineIniFile->UpdateFile();  // a file that cannot be written is left as it is
}

}  // namespace orvel
