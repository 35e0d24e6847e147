// The program's message texts: one field each, the key a language file gives
// it under (the field's own name) and the German text it starts with. The
// setup window holds the texts in use; the updater reads them from there.
#pragma once

#include <array>

#include "platform/types.h"

namespace orvel {

struct MessageTexts {
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
  Str LNGAppsEntry;
};

struct Message {
  const char16_t* key;
  Str MessageTexts::*field;
  const char16_t* german;
};

// In the order a language file's texts are read.
inline constexpr std::array<Message, 22> kMessages = {{
    {u"LNGCopyFromTo", &MessageTexts::LNGCopyFromTo, u"Kopiere %s nach %s"},
    {u"LNGCanNotDelete", &MessageTexts::LNGCanNotDelete, u"\"%s\" kann nicht gelöscht werden."},
    {u"LNGCreateConfigurationfile", &MessageTexts::LNGCreateConfigurationfile, u"Erzeuge Konfigurationsdatei"},
    {u"LNGCanNotCreate", &MessageTexts::LNGCanNotCreate, u"Die Konfigurationsdatei %s konnte nicht erzeugt werden!"},
    {u"LNGSpecifyInstallationfolder", &MessageTexts::LNGSpecifyInstallationfolder,
     u"Bitte Installationsordner angeben."},
    {u"LNGInstallationFolderDoesnotExist", &MessageTexts::LNGInstallationFolderDoesnotExist,
     u"Installationsordner %s existiert nicht."},
    {u"LNGUserFolder", &MessageTexts::LNGUserFolder,
     u"Bitte Ordner zur Speicherung benutzerspezifischer Dateien angeben."},
    {u"LNGDesktopLink", &MessageTexts::LNGDesktopLink, u"Desktop-Verknüpfung"},
    {u"LNGItemInProgramMenu", &MessageTexts::LNGItemInProgramMenu, u"Eintrag ins Programme-Menü"},
    {u"LNGSaveTo", &MessageTexts::LNGSaveTo, u"Speichere darin"},
    {u"LNGCreateAdditionalLnk", &MessageTexts::LNGCreateAdditionalLnk,
     u"Erzeuge zusätzliche Desktop-Verknüpfung für den Orvel-Draw im Ordner"},
    {u"LNGSaveInstallation", &MessageTexts::LNGSaveInstallation, u"Speichere Installationsablauf in"},
    {u"LNGDelete", &MessageTexts::LNGDelete, u"Lösche"},
    {u"LNGConfigurationfile", &MessageTexts::LNGConfigurationfile, u"Konfigurationsdatei"},
    {u"LNGCreate", &MessageTexts::LNGCreate, u"Erzeuge"},
    {u"LNGInstallationProcess", &MessageTexts::LNGInstallationProcess, u"Installationsverlauf"},
    {u"LNGShortcuts", &MessageTexts::LNGShortcuts, u"Tastaturkürzel"},
    {u"LNGProgram", &MessageTexts::LNGProgram, u"Programm"},
    {u"LNGAskSaveInstallation", &MessageTexts::LNGAskSaveInstallation,
     u"Wollen Sie den Deinstallationsverlauf speichern?"},
    {u"LNGNoAdministrator", &MessageTexts::LNGNoAdministrator, u"Keine Administorrechte. Fortsetzen?"},
    {u"LNGCopyError", &MessageTexts::LNGCopyError, u"Fehler beim Kopieren nach \"%s\""},
    {u"LNGAppsEntry", &MessageTexts::LNGAppsEntry, u"Eintrag in Apps & Features"},
}};

// Every text set to its German one.
inline void SetGermanMessages(MessageTexts& texts) {
  for (const Message& m : kMessages) texts.*m.field = m.german;
}

// The German texts, for a reader that was given no others.
inline const MessageTexts& GermanMessages() {
  static const MessageTexts texts = [] {
    MessageTexts german;
    SetGermanMessages(german);
    return german;
  }();
  return texts;
}

}  // namespace orvel
