#include "setup/setup_window.h"

#include "common/fmx_utils.h"
#include "common/installation_layout.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace orvel {

TFSetup* FSetup = nullptr;

namespace {

// WNetGetUserW's buffer, filled with blanks beforehand.
constexpr size_t kUserNameBuffer = 100;
const Str kUsernamePlaceholder = u"%Username%";
const Str kUsernamePlaceholderUpper = u"%USERNAME%";

// ASCII upper case keeps every position, so a position in it is one in `s`.
Str asciiUpper(Str s) {
  for (char16_t& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return s;
}

Str firstArgument() {
  const std::vector<Str> arguments = sys::commandLineArguments();
  return arguments.empty() ? Str() : arguments.front();
}

// The special folder, or the fallback folder when the shell cannot give it.
Str specialFolderOr(int csidl, int fallback) {
  Str folder = GetSpecialFolder(csidl);
  return folder.empty() ? GetSpecialFolder(fallback) : folder;
}

}  // namespace

TFSetup::TFSetup(gui::Application& app) : TFSetup(app, firstArgument()) {}

TFSetup::TFSetup(gui::Application& app, Str ownPath) : gui::Form(app, u"FSetup"), ownPath_(std::move(ownPath)) {
  setCaption(u"Setup für Orvel-Draw");
  setBorder(gui::BorderStyle::Single);
  setClientSize(504, 236);
  setPosition(gui::Position::ScreenCenter);
  setFont({u"MS Sans Serif", 11});
  setColour(gui::Colour::ButtonFace);
  CreateControls();
  onCreate = [this](gui::Object* sender) { FormCreate(sender); };
  onPaint = [this](gui::Object* sender) { FormPaint(sender); };
  created();
}

TFSetup::~TFSetup() = default;

void TFSetup::CreateControls() {
  using gui::Kind;
  auto place = [this](Kind kind, const char16_t* name, gui::Bounds bounds, int tabOrder) -> gui::Component* {
    gui::Component& c = add(kind, name);
    c.setBounds(bounds);
    c.setTabOrder(tabOrder);
    return &c;
  };
  // Labels and picture buttons take no keyboard focus (tab order -1).
  LFolder = place(Kind::Label, u"LFolder", {16, 16, 172, 13}, -1);
  LFolder->setCaption(u"Installationsorder - lokal oder im Netz");
  EFolder = place(Kind::Edit, u"EFolder", {32, 40, 321, 21}, 2);
  EFolder->setColour(gui::Colour::Window);
  SBOrdner = place(Kind::SpeedButton, u"SBOrdner", {368, 40, 23, 22}, -1);
  BInstall = place(Kind::Button, u"BInstall", {416, 32, 75, 25}, 3);
  BInstall->setCaption(u"Installieren");
  RGRegOrIni = place(Kind::RadioGroup, u"RGRegOrIni", {16, 72, 169, 73}, 0);
  RGRegOrIni->setCaption(u" Konfigurationseinstellungen ");
  RGRegOrIni->setItems({u"in Registry speichern", u"in INI-Dateien speichern"});
  RGRegOrIni->setItemIndex(0);  // no handler yet, so this runs nothing
  BDeinstall = place(Kind::Button, u"BDeinstall", {416, 76, 75, 25}, 4);
  BDeinstall->setCaption(u"Deinstallieren");
  CBStartmenu = place(Kind::CheckBox, u"CBStartmenu", {200, 80, 185, 17}, 7);
  CBStartmenu->setCaption(u"Eintrag in das Startmenü erzeugen");
  CBStartmenu->setChecked(true);
  CBDesktopSymbol = place(Kind::CheckBox, u"CBDesktopSymbol", {200, 104, 169, 17}, 6);
  CBDesktopSymbol->setCaption(u"Desktop-Symbol erzeugen");
  CBDesktopSymbol->setChecked(true);
  BLanguage = place(Kind::Button, u"BLanguage", {416, 120, 75, 25}, 8);
  BLanguage->setCaption(u"Language");
  CBPortableApplication = place(Kind::CheckBox, u"CBPortableApplication", {200, 128, 209, 17}, 9);
  CBPortableApplication->setCaption(u"Portable Anwendung / USB-Stick");
  LHint1 = place(Kind::Label, u"LHint1", {16, 160, 277, 13}, -1);
  LHint1->setCaption(u"Ordner zur Speicherung benutzerspezifischer Einstellungen");
  BClose = place(Kind::Button, u"BClose", {416, 164, 75, 25}, 5);
  BClose->setCaption(u"Beenden");
  LHint2 = place(Kind::Label, u"LHint2", {16, 176, 332, 13}, -1);
  LHint2->setCaption(u"Permanentes Schreibrecht für Benutzer, %Username% im Pfad möglich");
  EUserfolder = place(Kind::Edit, u"EUserfolder", {32, 200, 321, 21}, 1);
  SBUserIni = place(Kind::SpeedButton, u"SBUserIni", {368, 200, 23, 22}, -1);
  DisableUserFolder();
  for (gui::Component* button : {SBOrdner, SBUserIni}) {
    button->setFlat(true);
    button->setGlyph(gui::Glyph::Folder);
  }
  ODWaehlen = &addComponent<gui::OpenDialog>(u"ODWaehlen");

  SBOrdner->onClick = [this](gui::Object* sender) { SBOrdnerClick(sender); };
  SBUserIni->onClick = [this](gui::Object* sender) { SBOrdnerClick(sender); };
  BInstall->onClick = [this](gui::Object* sender) { BInstallClick(sender); };
  RGRegOrIni->onClick = [this](gui::Object* sender) { RGRegOrIniClick(sender); };
  BDeinstall->onClick = [this](gui::Object* sender) { BDeinstallClick(sender); };
  BLanguage->onClick = [this](gui::Object* sender) { BLanguageClick(sender); };
  CBPortableApplication->onClick = [this](gui::Object* sender) { CBPortableApplicationClick(sender); };
  BClose->onClick = [this](gui::Object* sender) { BCloseClick(sender); };
}

void TFSetup::FormCreate(gui::Object*) {
  FolderDialog = &addComponent<gui::FolderDialog>(u"");
  ShellLink = std::make_unique<TShellLink>();
  Fehler = false;
  Starting = true;
  StartmenueProgrammeVerzeichnis =
      specialFolderOr(shell::kCsidlCommonStartMenu, shell::kCsidlStartMenu) + u"\\Programs\\";
  DesktopVerzeichnis = IncludeTrailingBackslash(
      specialFolderOr(shell::kCsidlCommonDesktopDirectory, shell::kCsidlDesktopDirectory));
  Dir = GetSpecialFolder(shell::kCsidlProgramFiles) + u"\\" + layout::kProductFolder + u"\\";
  // Started from a network share by UNC path: install into that folder.
  if (ownPath_.starts_with(u"\\\\")) Dir = ownPath_.substr(0, ownPath_.rfind(u'\\') + 1);
  EFolder->setText(Dir);
  EUserfolder->setText(GibAnwendungsdatenOrdner());
  SetDefaultMessages();
}

void TFSetup::SetDefaultMessages() { SetGermanMessages(*this); }

Str TFSetup::GibAnwendungsdatenOrdner() {
  if (CBPortableApplication->checked()) return IncludeTrailingBackslash(EFolder->text()) + u"Data\\";
  Str folder = GetSpecialFolder(shell::kCsidlAppData) + u"\\" + layout::kProductFolder + u"\\";
  const Str user = GetUsername();
  if (user.empty()) return folder;
  const size_t at = folder.find(user);
  if (at != Str::npos) folder.replace(at, user.size(), kUsernamePlaceholder);
  return folder;
}

Str TFSetup::GetUsername() {
  Str name = sys::networkUserName(kUserNameBuffer).value_or(Str(kUserNameBuffer, u' '));
  return name.substr(0, name.find(u'\0'));
}

Str TFSetup::ReplaceUsername(Str s) {
  const size_t at = asciiUpper(s).find(kUsernamePlaceholderUpper);
  if (at != Str::npos) s.replace(at, kUsernamePlaceholderUpper.size(), GetUsername());
  return s;
}

void TFSetup::EnableUserFolder() {
  EUserfolder->setEnabled(true);
  EUserfolder->setColour(gui::Colour::Window);
  SBUserIni->setEnabled(true);
}

void TFSetup::DisableUserFolder() {
  EUserfolder->setEnabled(false);
  EUserfolder->setColour(gui::Colour::Menu);
  SBUserIni->setEnabled(false);
}

void TFSetup::RGRegOrIniClick(gui::Object*) {
  if (RGRegOrIni->itemIndex() == 0) {
    // The registry goes without a portable installation; unchecking runs its handler.
    CBPortableApplication->setChecked(false);
    DisableUserFolder();
  } else {
    EnableUserFolder();
  }
}

void TFSetup::CBPortableApplicationClick(gui::Object*) {
  if (CBPortableApplication->checked()) {
    RGRegOrIni->setItemIndex(1);  // a portable installation keeps its settings in INI files
    DisableUserFolder();          // whatever the radio group's handler did
  } else {
    RGRegOrIniClick(RGRegOrIni);
  }
  EUserfolder->setText(GibAnwendungsdatenOrdner());
}

void TFSetup::SBOrdnerClick(gui::Object* Sender) {
  const bool userFolder = Sender == SBUserIni;
  FolderDialog->defaultFolder = userFolder ? ReplaceUsername(EUserfolder->text()) : Dir;
  if (!FolderDialog->execute()) return;
  Dir = IncludeTrailingBackslash(FolderDialog->fileName());
  if (userFolder) {
    EUserfolder->setText(Dir);
    return;
  }
  if (Dir.find(layout::kProductFolder) == Str::npos) Dir += Str(layout::kProductFolder) + u"\\";
  EFolder->setText(Dir);
  if (CBPortableApplication->checked()) EUserfolder->setText(Dir + u"Data\\");
}

void TFSetup::BCloseClick(gui::Object*) { close(); }

}  // namespace orvel
