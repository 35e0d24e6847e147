// The keys a complete language file gives the program, written out here
// rather than taken from the program's tables, so that a key the program
// loses or renames fails the language tests.
#pragma once

#include <vector>

#include "common/messages.h"
#include "platform/types.h"

namespace orvel::test {

// The texts a language file gives the two windows.
inline const std::vector<Str> kWindowKeys = {
    u"Caption",         u"LFolder",          u"LHint1",           u"LHint2",
    u"SBOrdner",        u"SBUserIni",        u"RGRegOrIni",       u"RGRegOrIni.Items",
    u"EFolder.Hint",    u"EUserfolder.Hint", u"BInstall",         u"BInstall.Hint",
    u"BDeinstall",      u"BDeinstall.Hint",  u"BLanguage",        u"BLanguage.Hint",
    u"BClose",          u"BClose.Hint",      u"CBDesktopSymbol",  u"CBDesktopSymbol.Hint",
    u"CBStartmenu",     u"CBStartmenu.Hint", u"CBPortableApplication", u"CBPortableApplication.Hint",
};

// A message: its key, the field that holds its text, and how many paths the
// program formats it with.
struct MessageKey {
  const char16_t* key;
  Str MessageTexts::*field;
  int paths;
};

// In the order a language file's texts are read.
inline const std::vector<MessageKey> kMessageKeys = {
    {u"LNGCopyFromTo", &MessageTexts::LNGCopyFromTo, 2},
    {u"LNGCanNotDelete", &MessageTexts::LNGCanNotDelete, 1},
    {u"LNGCreateConfigurationfile", &MessageTexts::LNGCreateConfigurationfile, 0},
    {u"LNGCanNotCreate", &MessageTexts::LNGCanNotCreate, 1},
    {u"LNGSpecifyInstallationfolder", &MessageTexts::LNGSpecifyInstallationfolder, 0},
    {u"LNGInstallationFolderDoesnotExist", &MessageTexts::LNGInstallationFolderDoesnotExist, 1},
    {u"LNGUserFolder", &MessageTexts::LNGUserFolder, 0},
    {u"LNGDesktopLink", &MessageTexts::LNGDesktopLink, 0},
    {u"LNGItemInProgramMenu", &MessageTexts::LNGItemInProgramMenu, 0},
    {u"LNGSaveTo", &MessageTexts::LNGSaveTo, 0},
    {u"LNGCreateAdditionalLnk", &MessageTexts::LNGCreateAdditionalLnk, 0},
    {u"LNGSaveInstallation", &MessageTexts::LNGSaveInstallation, 0},
    {u"LNGDelete", &MessageTexts::LNGDelete, 0},
    {u"LNGConfigurationfile", &MessageTexts::LNGConfigurationfile, 0},
    {u"LNGCreate", &MessageTexts::LNGCreate, 0},
    {u"LNGInstallationProcess", &MessageTexts::LNGInstallationProcess, 0},
    {u"LNGShortcuts", &MessageTexts::LNGShortcuts, 0},
    {u"LNGProgram", &MessageTexts::LNGProgram, 0},
    {u"LNGAskSaveInstallation", &MessageTexts::LNGAskSaveInstallation, 0},
    {u"LNGNoAdministrator", &MessageTexts::LNGNoAdministrator, 0},
    {u"LNGCopyError", &MessageTexts::LNGCopyError, 1},
    {u"LNGAppsEntry", &MessageTexts::LNGAppsEntry, 0},
};

}  // namespace orvel::test
