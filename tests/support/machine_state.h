// What cases write onto the machine and read back off it through the
// platform services, by Windows path: sets of files, folder listings,
// registry values, and the distribution this build made.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/types.h"

namespace orvel::test {

// Files below a folder: name -> bytes.
using FileSet = std::map<Str, std::string>;

// The key of the program's settings, below HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER.
inline const Str kProgramKey = u"Software\\OrvelDraw\\Program";
// A settings list for registry mode: a string A="text" and an integer B=12,
// both in the key Program.
inline const Str kExampleSettingsList = u"Program|A|text|s#Program|B|12|i";

// Writes every file of the set below `folder` (which ends with "\").
void writeFiles(const Str& folder, const FileSet& set);

bool exists(const Str& path);
bool folderExists(const Str& path);

// The plain files of a folder by pattern, in the order the system lists them
// (the order of the installer's copy lines).
std::vector<Str> listed(const Str& pattern);

std::optional<reg::Value> registryValue(reg::Root root, const Str& key, const Str& name);
// A REG_SZ or REG_EXPAND_SZ value; nullopt for a missing one or another type.
std::optional<Str> registryString(reg::Root root, const Str& key, const Str& name = u"");
bool keyExists(reg::Root root, const Str& key);
// Writes a value, creating the key (a case's starting state).
void seedValue(reg::Root root, const Str& key, const Str& name, const reg::Value& value);

// Lines as the program's log files hold them: ANSI text, CR LF after every line.
std::string ansiLines(const std::vector<Str>& lines);

// The distribution folder of this build as a Windows path ending with "\"
// (Z: is the Linux root for both backends).
Str distributionFolder();
// The build's stand-in application: a program that can really be started.
std::string standInApplication();

}  // namespace orvel::test
