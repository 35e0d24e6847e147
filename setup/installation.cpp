// The installation: copies the application from the folder of the running
// setup program into the installation folder, prepares the folders of a
// portable installation, writes the shortcuts and the configuration, and
// saves the log as install.txt.
#include <algorithm>
#include <vector>

#include "common/convert.h"
#include "common/error.h"
#include "common/fmx_utils.h"
#include "common/format.h"
#include "common/installation_layout.h"
#include "common/log_window.h"
#include "platform/files.h"
#include "setup/apps_registration.h"
#include "setup/folder_paths.h"
#include "setup/setup_window.h"

namespace orvel {
namespace {


// The plain files of a folder listing, kept with their names as listed.
std::vector<files::FindEntry> plainFiles(const Str& pattern) {
  std::vector<files::FindEntry> entries = files::findFiles(pattern);
  std::erase_if(entries, [](const files::FindEntry& entry) { return !IsPlainFile(entry); });
  return entries;
}

size_t longestName(const std::vector<files::FindEntry>& entries) {
  size_t longest = 0;
  for (const files::FindEntry& entry : entries) longest = std::max(longest, entry.name.size());
  return longest;
}

// One path after another in the same folder, in one buffer: a folder of
// many files costs no string per file.
class PathInFolder {
 public:
  PathInFolder(const Str& folder, size_t longestName) : folderLength_(folder.size()) {
    path_.reserve(folder.size() + longestName);
    path_ = folder;
  }
  // The previous name goes whatever its length, so no part of it stays.
  const Str& with(const Str& name) {
    path_.resize(folderLength_);
    path_ += name;
    return path_;
  }

 private:
  Str path_;
  size_t folderLength_;
};

void showError(gui::Application& app, const Str& text) {
  app.messageBox(gui::MessageKind::Error, text, {gui::Button::Ok});
}

}  // namespace

Str TFSetup::OwnFolder() const {
  // A program started by a relative name learns its folder from the system.
  return IsAbsolutePath(ownPath_) ? ExtractFilePath(ownPath_) : ProgramFolder();
}

bool TFSetup::InIniMode() const { return CBPortableApplication->checked() || RGRegOrIni->itemIndex() == 1; }

void TFSetup::BInstallClick(gui::Object*) {
  const bool portable = CBPortableApplication->checked();
  if (!portable && !IsAdministrator() &&
      application().messageBox(gui::MessageKind::Warning, LNGNoAdministrator, {gui::Button::Yes, gui::Button::No}) !=
          gui::Button::Yes)
    return;
  // A failed copy of an earlier run in this process must not spoil this one.
  Fehler = false;
  const Str src = OwnFolder();
  NachDir = IncludeTrailingBackslash(EFolder->text());
  CreateDirectories(NachDir);
  if (EFolder->text().empty()) return showError(application(), LNGSpecifyInstallationfolder);
  if (!files::directoryExists(NachDir))
    return showError(application(), Format(LNGInstallationFolderDoesnotExist, {NachDir}));
  if (portable) {
    CreateDirectories(NachDir + u"App\\Cache\\");
    CreateDirectories(NachDir + u"App\\Temp\\");
    CreateDirectories(NachDir + u"Orvel\\");
  }
  if (InIniMode() && !PrepareUserFolder()) return showError(application(), LNGUserFolder);

  FMemo->show();
  // Installing into the distribution's own folder, however it is spelled,
  // copies nothing: asked once for the folder, not for each of its files.
  const bool intoSource = SameFile(src, NachDir);
  if (!intoSource) CopyFileTo(src + layout::kApplicationFile, NachDir + layout::kApplicationFile);
  if (Fehler) {
    showError(application(), Format(LNGCopyError, {NachDir}));
    FMemo->MInstallation->clearLines();
    return;
  }
  CopyFolderFiles(src, layout::kLanguageFolder, u"*.ini");
  CopyFolderFiles(src, layout::kTemplateFolder, u"*.*");
  CopyFolderFiles(src, layout::kStyleFolder, u"*.*");
  if (!intoSource) CopyFileTo(src + layout::kSetupFile, NachDir + layout::kSetupFile);
  CreateShortcuts();
  WriteConfiguration();
  // A portable installation leaves no trace in the registry.
  if (!portable && RegisterInApps(NachDir)) FMemo->GibAus(LNGCreate + u" " + LNGAppsEntry + u" " + AppsEntryName());

  const Str log = NachDir + layout::kInstallLog;
  FMemo->GibAus(LNGSaveInstallation + u" " + log);
  try {
    FMemo->SaveLog(log);
  } catch (const Error&) {
    // The installation itself is complete; a log that cannot be saved changes nothing.
  }
  if (!Fehler) FMemo->Installation = 0;
}

bool TFSetup::PrepareUserFolder() {
  // The configuration keeps a "%Username%" placeholder; the folder made here
  // is the one of the user who installs.
  const Str folder = CBPortableApplication->checked() ? NachDir + u"Data\\"
                                                      : ReplaceUsername(IncludeTrailingBackslash(EUserfolder->text()));
  CreateDirectories(folder);
  return files::directoryExists(folder);
}

void TFSetup::CopyFolderFiles(const Str& src, const Str& subfolder, const Str& pattern) {
  const Str from = src + subfolder + u"\\";
  const std::vector<files::FindEntry> entries = plainFiles(from + pattern);
  if (entries.empty()) return;
  const Str to = NachDir + subfolder + u"\\";
  CreateDirectories(NachDir + subfolder);
  const bool sameFolder = SameFile(from, to);
  const size_t longest = longestName(entries);
  PathInFolder source(from, longest);
  PathInFolder target(to, longest);
  for (const files::FindEntry& entry : entries) {
    const Str& sourceFile = source.with(entry.name);
    const Str& targetFile = target.with(entry.name);
    if (!sameFolder) CopyFileTo(sourceFile, targetFile);
    // The language file in use now lies in the installation, copied or not.
    if (Sprachdatei == sourceFile) Sprachdatei = targetFile;
  }
}

void TFSetup::CreateShortcuts() {
  // What the component read or wrote before (another installation's working
  // folder, arguments, icon, hot key) is no part of these shortcuts.
  *ShellLink = TShellLink{};
  ShellLink->ProgramFile = NachDir + layout::kApplicationFile;
  if (CBDesktopSymbol->checked()) {
    ShellLink->LinkFile = DesktopVerzeichnis + layout::kShortcutFile;
    FMemo->GibAus(LNGCreate + u" " + LNGDesktopLink + u" " + ShellLink->LinkFile);
    ShellLink->Write();
  }
  if (CBStartmenu->checked()) {
    ShellLink->LinkFile = StartmenueProgrammeVerzeichnis + layout::kShortcutFile;
    // One level only; a shortcut that cannot be saved reports nothing.
    if (!files::directoryExists(StartmenueProgrammeVerzeichnis))
      (void)files::createDirectory(StartmenueProgrammeVerzeichnis);
    FMemo->GibAus(LNGCreate + u" " + LNGItemInProgramMenu + u" " + ShellLink->LinkFile);
    ShellLink->Write();
  }
  if (!CBPortableApplication->checked()) {
    FMemo->GibAus(LNGCreateAdditionalLnk + u" " + NachDir);
    ShellLink->LinkFile = NachDir + layout::kShortcutFile;
    ShellLink->Write();
  }
}

void TFSetup::CopyFileTo(const Str& Source, const Str& Dest) {
  // The callers skip a copy into the source's own folder however it is
  // spelled; the same text needs no look at the disk.
  if (SameText(Source, Dest)) return;
  FMemo->GibAus(Format(LNGCopyFromTo, {Source, Dest}));
  // A new file, or one the copy may replace, costs the copy alone. Only a
  // target it could not replace (read-only, hidden, held open) is deleted
  // first, as the installer always did, and the copy tried again.
  if (files::copyFile(Source, Dest, files::IfExists::Replace)) return;
  if (files::fileExists(Dest)) {
    if (!files::deleteFile(Dest)) {
      const Str message = Format(LNGCanNotDelete, {Dest});
      showError(application(), message);
      FMemo->GibAus(message);
      Fehler = true;
      return;
    }
    if (files::copyFile(Source, Dest, files::IfExists::Replace)) return;
  }
  FMemo->GibAus(Format(LNGCopyError, {Dest}));
  Fehler = true;
}

void TFSetup::CreateDirectories(const Str& dir) {
  if (files::directoryExists(dir)) {
    FMemo->GibAus(u"directory already exists: " + dir);
    return;
  }
  FMemo->GibAus(u"create directory: " + dir);
  // The callers test the folder themselves where it matters.
  (void)files::forceDirectories(dir);
}

}  // namespace orvel
