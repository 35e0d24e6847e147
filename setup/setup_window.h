// The setup window: the main window of the setup program. It offers the
// installation folder, where the configuration goes (registry or INI files),
// a portable installation, the user-settings folder and the shortcuts, and
// its buttons start the installation, the uninstallation, the choice of a
// language and the end of the program.
#pragma once

#include <memory>

#include "common/language_file.h"
#include "common/messages.h"
#include "common/registry_access.h"
#include "common/shell_link.h"
#include "gui/gui.h"
#include "platform/types.h"
#include "setup/text_file_stream.h"

namespace orvel {

// The message texts are German until a language file replaces them.
class TFSetup : public gui::Form, public MessageTexts {
 public:
  // The setup program's own path is argument 0 of the command line.
  explicit TFSetup(gui::Application& app);
  // The same with the own path given (a program started from a share has a UNC path).
  TFSetup(gui::Application& app, Str ownPath);
  ~TFSetup() override;

  // Controls, owned by the window, in its component order.
  gui::Component* LFolder;
  gui::Component* EFolder;
  gui::Component* SBOrdner;
  gui::Component* BInstall;
  gui::Component* RGRegOrIni;
  gui::Component* BDeinstall;
  gui::Component* CBStartmenu;
  gui::Component* CBDesktopSymbol;
  gui::Component* BLanguage;
  gui::Component* CBPortableApplication;
  gui::Component* LHint1;
  gui::Component* BClose;
  gui::Component* LHint2;
  gui::Component* EUserfolder;
  gui::Component* SBUserIni;
  gui::OpenDialog* ODWaehlen;

  // Start folder of the installation-folder dialog; ends with "\".
  Str Dir;
  // Where the Start-menu and desktop shortcuts go; each ends with "\".
  Str StartmenueProgrammeVerzeichnis;
  Str DesktopVerzeichnis;
  // The installation folder of the run in progress or the last run; ends with "\".
  Str NachDir;
  // The language file in use; empty while the built-in German texts are.
  Str Sprachdatei;
  // A copy step of the installation failed.
  bool Fehler = false;
  // True until the first paint of the window.
  bool Starting = false;
  // Created by FormCreate, owned by the window.
  gui::FolderDialog* FolderDialog = nullptr;
  std::unique_ptr<TShellLink> ShellLink;

  // Handlers.
  void FormCreate(gui::Object* Sender);
  void FormPaint(gui::Object* Sender);
  void RGRegOrIniClick(gui::Object* Sender);
  void CBPortableApplicationClick(gui::Object* Sender);
  // Shared by SBOrdner and SBUserIni.
  void SBOrdnerClick(gui::Object* Sender);
  void BCloseClick(gui::Object* Sender);
  void BInstallClick(gui::Object* Sender);
  void BDeinstallClick(gui::Object* Sender);
  void BLanguageClick(gui::Object* Sender);

  // The default user-settings folder for the window's current state.
  Str GibAnwendungsdatenOrdner();
  // The name of the user the process runs as; 100 blanks when it cannot be had.
  Str GetUsername();
  // `s` with its first "%USERNAME%" (any letter case) replaced by the user's name.
  Str ReplaceUsername(Str s);

  // Language files: loads Sprachdatei into both windows and the message
  // fields (nothing when it names no file); puts a translation list's texts
  // into the controls of one window; fills the 21 message fields from it.
  void LiesSprachDatei();
  void SetzeSpracheImFormular(const TranslationList& Sprache, gui::Form& Formular);
  void LNGLiesUnit(const TranslationList& Sprache);

  // Installation: one file copied with its log line (sets Fehler when it
  // fails), and a folder made with all missing parents.
  void CopyFileTo(const Str& Source, const Str& Dest);
  void CreateDirectories(const Str& dir);

  // Configuration: ODMachine.INI or the registry values, as the window's
  // choices say; the emptied machine INI file; a path relative to NachDir
  // for a portable installation.
  void WriteConfiguration();
  void CreateConfigurationFile(const Str& path);
  Str UnPortApp(const Str& s);

  // Uninstallation: one file, the settings files that a machine INI file
  // names, the matching files of a folder, a folder to the recycle bin, and
  // the program's registry keys.
  void RemoveFile(const Str& What, const Str& Path);
  void RemoveUserSettings(const Str& folder);
  void RemoveFiles(const Str& Path, const Str& Filter);
  void RemoveDir(const Str& Path);
  void RemoveRegistryEntries();

  // The batch file RunOrvel.bat that deletes the setup program once it has
  // ended, and one line of such a text file.
  void SetupLoeschen();
  void StreamWriteln(TextFileStream& FS, const Str& s);

 private:
  void CreateControls();
  void SetDefaultMessages();
  // The user-settings folder field with its button: usable or not.
  void EnableUserFolder();
  void DisableUserFolder();
  // The folder of the running setup program, with a trailing "\".
  Str OwnFolder() const;
  // Installation steps: the user-settings folder (false when it cannot be
  // made), the plain files of one source subfolder, the shortcuts.
  bool PrepareUserFolder();
  void CopyFolderFiles(const Str& src, const Str& subfolder, const Str& pattern);
  void CreateShortcuts();
  // The configuration goes into ODMachine.INI, not the registry.
  bool InIniMode() const;
  // Removes a key with its subkeys and values below the registry's root.
  void DeleteKeyTree(RegistryAccess& registry, const Str& Key);

  Str ownPath_;
};

// The one setup window of the program.
extern TFSetup* FSetup;

}  // namespace orvel
