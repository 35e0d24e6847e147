// The updater object and its window: the update log (the window's memo), the
// settings store (registry or the machine INI file) and MakeUpdate, the one
// procedure of update mode and registry mode. The window is shown only after
// a file update with a failed copy; its buttons retry the update or restart
// the application.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/mem_ini_file.h"
#include "common/messages.h"
#include "common/registry_access.h"
#include "gui/gui.h"
#include "platform/types.h"

namespace orvel {

// One entry of the settings list that registry mode is given:
// key|name|value|type. Missing fields are empty.
struct SettingsEntry {
  Str key;
  Str name;
  Str value;
  Str type;
};
// Splits one entry into its fields; there is no escape character.
SettingsEntry SplitSettingsEntry(const Str& entry);
// The entries of a settings list ("#"-separated), empty entries skipped.
std::vector<SettingsEntry> ParseSettingsList(const Str& list);

// Where update.txt goes: the folder part of the update's destination (up to
// its last "\" or ":"), with a "\" appended when it lacks one.
Str UpdateLogPath(const Str& dest);

class TFUpdater : public gui::Form {
 public:
  // Takes the process's command line.
  explicit TFUpdater(gui::Application& app);
  // Takes the given arguments; argument 0 is the program.
  TFUpdater(gui::Application& app, std::vector<Str> arguments);

  void SetCommandLine(std::vector<Str> arguments) { arguments_ = std::move(arguments); }

  // Controls, owned by the window. Memo's lines are the update log.
  gui::Component* Memo;
  gui::Component* Panel1;
  gui::Component* BOK;
  gui::Component* BRetry;

  Str Source;
  Str Dest;
  Str Version;
  Str TempDir;
  Str EditorVerzeichnis;
  bool UseRegistry = false;
  bool Error = false;
  std::unique_ptr<RegistryAccess> MyRegistry;
  std::unique_ptr<MemIniFile> MachineIniFile;
  bool PortableApplication = false;
  Str PortAppDrive;
  bool Restart = false;
  // The message texts in use: the setup window's, which the program gives;
  // the German ones when none are given.
  const MessageTexts* Texts = nullptr;

  // Handlers. OK starts Dest + "OrvelDraw.exe" and ends the program; Retry
  // runs the whole procedure again, appending to the log.
  void BOKClick(gui::Object* Sender);
  void BRetryClick(gui::Object* Sender);

  // Chooses the settings store, then runs the branch that argument 1 names.
  // Errors that no step catches escape to the caller.
  void MakeUpdate();

  // The settings store: below HKEY_LOCAL_MACHINE "\Software\OrvelDraw\" + key
  // (registry storage) or in section `key` of the machine INI file.
  Str ReadString(const Str& key, const Str& name, const Str& def);
  int32_t ReadInteger(const Str& key, const Str& name, int32_t def);
  // Write only when the value differs from the stored one.
  void WriteString(const Str& key, const Str& name, const Str& value);
  void WriteInteger(const Str& key, const Str& name, int32_t value);

  // Moves "Update" and "NextUpdate" from the machine-wide to the per-user
  // key, or removes them from the machine INI file.
  void FixUpdate();

  // File operations of the update; each logs what it did, a failed copy sets
  // Error. Paths are joined by plain concatenation.
  void CopyFromTo(const Str& f1, const Str& f2);
  void RenameFromTo(const Str& f1, const Str& f2);
  void CreateDirectories(const Str& dir);
  void CopyImages(const Str& from, const Str& to);
  void CopyIniFiles();
  void CopyStyles();

  // The association rewrite: the file class under both roots, then each
  // extension of the list (`pairs`, the Source argument) attached or
  // detached, then the shell told. A flag that is no Boolean ends it with an
  // error.
  void ChangeRegistry(const Str& program, const Str& pairs);
  // The file class "SOFTWARE\Classes\OrvelDraw" for the executable at
  // `OrvelDraw`, below HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
  void Registriere(const Str& OrvelDraw);
  // The open-command rewrite: the class's open command below
  // HKEY_LOCAL_MACHINE, "&quot;" standing for each double quote.
  void ChangeKXRegistration(const Str& command);

  // The update log: an appended empty text makes an empty line.
  void AddLog(const Str& line);
  // Writes all lines of the update log to `path` as ANSI text with CR LF.
  // Raises Error "Datei "<path>" kann nicht erstellt werden. <reason>".
  void SaveLog(const Str& path) const;

 private:
  // Argument i of the command line; a missing one reads as empty.
  Str ParamStr(size_t i) const;
  const MessageTexts& Messages() const { return Texts ? *Texts : GermanMessages(); }
  // Number of arguments after the program.
  size_t ParamCount() const { return arguments_.empty() ? 0 : arguments_.size() - 1; }

  void CreateControls();

  void SelectStore();
  void UseIniStorage(const Str& path);
  void UseRegistryStorage();
  void RunRegistryMode();
  void WriteSetting(const SettingsEntry& entry);
  // INI storage: whether an entry may go into the machine INI file at all.
  bool IniCanStore(const Str& key, const Str& name, const Str& value) const;

  // The update branch and its parts.
  void RunUpdate();
  void FixUpdateInRegistry();
  void FixUpdateInIniFile();
  void UpdateFiles(const Str& oldVersion);
  // Copies Source + name to Dest + name when the target is missing or older.
  void CopyIfNewer(const Str& name);
  // The file update's way of renaming an old language file: f1 stays where
  // it is, and a copy of it takes the name f2 (unless taken), logged as
  // RenameFromTo logs, so that f1 is there until its new version replaces it.
  void KeepUnderName(const Str& f1, const Str& f2);
  void LogRename(const Str& f1, const Str& f2);
  // Removes the interim files that an update killed half-way left in a folder.
  void RemoveLeftovers(const Str& folder);
  // Appends the path of update.txt to the log and saves the log there; a
  // failure only goes into the log.
  void SaveUpdateLog();

  // The association rewrite's parts.
  void WriteFileClass(RegistryAccess& registry, const Str& key, const Str& path);
  void AssociateExtension(RegistryAccess& registry, const Str& extension, bool flag);

  std::vector<Str> arguments_;
};

// The one updater window of the program.
extern TFUpdater* FUpdater;

}  // namespace orvel
