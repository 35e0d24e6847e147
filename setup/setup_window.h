// The setup window: the main window of the setup program. It offers the
// installation folder, where the configuration goes (registry or INI files),
// a portable installation, the user-settings folder and the shortcuts, and
// its buttons start the installation, the uninstallation, the choice of a
// language and the end of the program.
#pragma once

#include <memory>

#include "common/shell_link.h"
#include "platform/gui.h"
#include "platform/types.h"

namespace orvel {

class TFSetup : public gui::Form {
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

  // The message texts; German until a language file replaces them.
  Str LNGCopyFromTo;
  Str LNGCanNotDelete;
  Str LNGCreateConfigurationfile;
  Str LNGCanNotCreate;
  Str LNGSpecifyInstallationfolder;
  Str LNGInstallationFolderDoesnotExist;
  Str LNGUserFolder;
  Str LNGDesktopLink;
  Str LNGItemInProgramMenu;
  Str LNGSaveTo;
  Str LNGCreateAdditionalLnk;
  Str LNGSaveInstallation;
  Str LNGDelete;
  Str LNGConfigurationfile;
  Str LNGCreate;
  Str LNGInstallationProcess;
  Str LNGShortcuts;
  Str LNGProgram;
  Str LNGAskSaveInstallation;
  Str LNGNoAdministrator;
  Str LNGCopyError;

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

 private:
  void CreateControls();
  void SetDefaultMessages();
  // The user-settings folder field with its button: usable or not.
  void EnableUserFolder();
  void DisableUserFolder();

  Str ownPath_;
};

// The one setup window of the program.
extern TFSetup* FSetup;

}  // namespace orvel
