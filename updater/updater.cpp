#include "updater/updater.h"

#include "common/convert.h"
#include "common/error.h"
#include "common/fmx_utils.h"
#include "common/format.h"
#include "common/installation_layout.h"
#include "common/save_lines.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "updater/key_closer.h"

namespace orvel {

TFUpdater* FUpdater = nullptr;

namespace {

const Str kRegistrySwitch = u"-Registry";
const Str kUpdateSwitch = u"-Update";
const Str kIniSwitch = u"-INI";
const Str kSettingsKey = Str(layout::kSettingsKey) + u"\\";

// The machine INI file's drive as the application records it: the letter
// alone for a drive, the server and share for a network path.
Str PortableDrive(const Str& path) {
  Str drive = ExtractFileDrive(path);
  if (drive.find(u':') != Str::npos) drive = drive.substr(0, 1);
  return drive;
}

// Removes the field up to the first "|" from `rest`; without one the field is
// empty and `rest` stays.
Str TakeField(Str& rest) {
  const size_t bar = rest.find(u'|');
  if (bar == Str::npos) return {};
  Str field = rest.substr(0, bar);
  rest.erase(0, bar + 1);
  return field;
}

}  // namespace

SettingsEntry SplitSettingsEntry(const Str& entry) {
  SettingsEntry fields;
  Str rest = entry;
  fields.key = TakeField(rest);
  fields.name = TakeField(rest);
  fields.value = TakeField(rest);
  fields.type = rest;
  return fields;
}

std::vector<SettingsEntry> ParseSettingsList(const Str& list) {
  std::vector<SettingsEntry> entries;
  for (const Str& entry : SplitString(u'#', list))
    if (!entry.empty()) entries.push_back(SplitSettingsEntry(entry));
  return entries;
}

TFUpdater::TFUpdater(gui::Application& app) : TFUpdater(app, sys::commandLineArguments()) {}

TFUpdater::TFUpdater(gui::Application& app, std::vector<Str> arguments)
    : gui::Form(app, u"FUpdater"), arguments_(std::move(arguments)) {
  setCaption(u"Orvel-Draw-Updater");
  // No caption-bar buttons: OK is the only way out.
  setBorder(gui::BorderStyle::Sizeable, {false, false, false});
  setClientSize(664, 251);
  setPosition(gui::Position::Designed, 0, 0);
  setFont({u"Tahoma", 11});
  setColour(gui::Colour::ButtonFace);
  CreateControls();
  created();
}

void TFUpdater::CreateControls() {
  Memo = &add(gui::Kind::Memo, u"Memo");
  Memo->setBounds({0, 0, 664, 216});
  Memo->setAlign(gui::Align::Client);
  Memo->setScrollBars(gui::ScrollBars::Vertical);
  Memo->setWordWrap(true);
  Memo->setTabOrder(0);

  Panel1 = &add(gui::Kind::Panel, u"Panel1");
  Panel1->setBounds({0, 216, 664, 35});
  Panel1->setAlign(gui::Align::Bottom);
  Panel1->setTabOrder(1);

  BOK = &add(gui::Kind::Button, u"BOK", Panel1);
  BOK->setCaption(u"OK");
  BOK->setBounds({585, 4, 75, 27});
  BOK->setAlign(gui::Align::Right);
  BOK->setTabOrder(0);
  BOK->onClick = [this](gui::Object* sender) { BOKClick(sender); };

  BRetry = &add(gui::Kind::Button, u"BRetry", Panel1);
  BRetry->setCaption(u"Retry");
  BRetry->setBounds({504, 4, 75, 27});
  BRetry->setTabOrder(1);
  BRetry->onClick = [this](gui::Object* sender) { BRetryClick(sender); };
}

void TFUpdater::BOKClick(gui::Object*) {
  // Also after a failed update: the application is started in any case.
  LaunchFile(Dest + layout::kApplicationFile, u"", Dest, shell::kSwShowNormal, application().mainForm());
  close();
  // The main window, when it is another one: closing it ends the program.
  gui::Form* main = application().mainForm();
  if (main && main != this) main->close();
}

void TFUpdater::BRetryClick(gui::Object*) { MakeUpdate(); }

Str TFUpdater::ParamStr(size_t i) const { return i < arguments_.size() ? arguments_[i] : Str(); }

void TFUpdater::MakeUpdate() {
  Restart = false;
  SelectStore();
  if (ParamStr(1) == kRegistrySwitch)
    RunRegistryMode();
  else if (ParamStr(1) == kUpdateSwitch)
    RunUpdate();
}

// --- store selection ------------------------------------------------------

void TFUpdater::SelectStore() {
  // The last argument cannot be the switch: it would have no path after it.
  for (size_t i = 1; i < ParamCount(); ++i) {
    if (ParamStr(i) == kIniSwitch) {
      UseIniStorage(StripQuotes(ParamStr(i + 1)));
      return;
    }
  }
  UseRegistryStorage();
}

void TFUpdater::UseIniStorage(const Str& path) {
  MyRegistry.reset();
  MachineIniFile = std::make_unique<MemIniFile>(path);
  PortableApplication = MachineIniFile->ReadInteger(u"Orvel", u"PortableApplication", 0) != 0;
  PortAppDrive = PortableDrive(path);
  UseRegistry = false;
}

void TFUpdater::UseRegistryStorage() {
  MachineIniFile.reset();
  MyRegistry = std::make_unique<RegistryAccess>();
  UseRegistry = true;
  PortableApplication = false;
}

// --- the settings store ---------------------------------------------------

Str TFUpdater::ReadString(const Str& key, const Str& name, const Str& def) {
  if (!UseRegistry) return MachineIniFile ? MachineIniFile->ReadString(key, name, def) : def;
  KeyCloser closer(*MyRegistry);
  MyRegistry->SetRootKey(reg::Root::LocalMachine);
  MyRegistry->SetAccess(reg::kKeyRead);
  MyRegistry->OpenKey(kSettingsKey + key, false);
  return MyRegistry->ValueExists(name) ? MyRegistry->ReadString(name) : def;
}

int32_t TFUpdater::ReadInteger(const Str& key, const Str& name, int32_t def) {
  if (!UseRegistry) return MachineIniFile ? MachineIniFile->ReadInteger(key, name, def) : def;
  KeyCloser closer(*MyRegistry);
  MyRegistry->SetRootKey(reg::Root::LocalMachine);
  MyRegistry->SetAccess(reg::kKeyRead);
  MyRegistry->OpenKey(kSettingsKey + key, false);
  return MyRegistry->ValueExists(name) ? MyRegistry->ReadInteger(name) : def;
}

bool TFUpdater::IniCanStore(const Str& key, const Str& name, const Str& value) const {
  return MachineIniFile && MachineIniFile->CanStore(key, name, value);
}

void TFUpdater::WriteString(const Str& key, const Str& name, const Str& value) {
  // An entry the INI text cannot hold would damage other entries: leave it out.
  if (!UseRegistry && !IniCanStore(key, name, value)) return;
  if (ReadString(key, name, {}) == value) return;
  if (!UseRegistry) {
    MachineIniFile->WriteString(key, name, value);
    (void)MachineIniFile->UpdateFile();
    return;
  }
  KeyCloser closer(*MyRegistry);
  MyRegistry->SetRootKey(reg::Root::LocalMachine);
  MyRegistry->SetAccess(reg::kKeyWrite);
  if (MyRegistry->OpenKey(kSettingsKey + key, true)) MyRegistry->WriteString(name, value);
}

void TFUpdater::WriteInteger(const Str& key, const Str& name, int32_t value) {
  if (!UseRegistry && !IniCanStore(key, name, {})) return;
  if (ReadInteger(key, name, 0) == value) return;
  if (!UseRegistry) {
    MachineIniFile->WriteInteger(key, name, value);
    (void)MachineIniFile->UpdateFile();
    return;
  }
  KeyCloser closer(*MyRegistry);
  MyRegistry->SetRootKey(reg::Root::LocalMachine);
  MyRegistry->SetAccess(reg::kKeyWrite);
  if (MyRegistry->OpenKey(kSettingsKey + key, true)) MyRegistry->WriteInteger(name, value);
}

// --- registry mode ----------------------------------------------------------

void TFUpdater::RunRegistryMode() {
  for (const SettingsEntry& entry : ParseSettingsList(StripQuotes(ParamStr(2)))) {
    AddLog(u"Key: " + entry.key + u" name: " + entry.name + u" Value: " + entry.value);
    WriteSetting(entry);
  }
}

void TFUpdater::WriteSetting(const SettingsEntry& entry) {
  // Only the type's first character counts; an empty type writes nothing.
  if (entry.type.empty()) return;
  if (entry.type.front() == u'i')
    WriteInteger(entry.key, entry.name, StrToInt(entry.value));
  else if (entry.type.front() == u's')
    WriteString(entry.key, entry.name, entry.value);
}

// --- the update log -----------------------------------------------------------

void TFUpdater::AddLog(const Str& line) { Memo->addLine(line); }

void TFUpdater::SaveLog(const Str& path) const { SaveLinesAsAnsiText(path, Memo->lines()); }

}  // namespace orvel
