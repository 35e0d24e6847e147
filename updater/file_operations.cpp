// The file operations of an update: one file copied over the installed one,
// an old language file kept under a versioned name, folders, and the groups
// of images, language files and styles. Each logs what it did; no failure
// stops the update, and a failed copy sets Error.
#include "common/convert.h"
#include "common/fmx_utils.h"
#include "common/format.h"
#include "common/installation_layout.h"
#include "platform/files.h"
#include "updater/updater.h"

namespace orvel {
namespace {

constexpr uint32_t kNotPlain = files::kDirectory | files::kHidden | files::kSystem;
constexpr uint32_t kHiddenOrSystem = files::kHidden | files::kSystem;
const Str kThumbnailCache = u"Thumbs.db";  // Explorer's, never part of an update
const Str kImages = Str(layout::kImageFolder) + u"\\";
const Str kStyles = Str(layout::kStyleFolder) + u"\\";

// The names in a folder listing whose attributes have none of `excluded`, in
// the listing's order.
std::vector<Str> ListNames(const Str& pattern, uint32_t excluded) {
  std::vector<Str> names;
  for (const files::FindEntry& entry : files::findFiles(pattern))
    if ((entry.attributes & excluded) == 0) names.push_back(entry.name);
  return names;
}

// The name without its extension: everything before its last ".".
Str WithoutExtension(const Str& name) {
  const size_t dot = name.rfind(u'.');
  return dot == Str::npos ? name : name.substr(0, dot);
}

// The interim name of a new file beside the one it will replace.
const Str kFreshSuffix = u".orvel-new";

// Removes an interim file (a copy keeps the source's read-only attribute).
void RemoveLeftover(const Str& path) {
  if (!files::fileExists(path)) return;
  ClearReadOnly(path);
  (void)files::deleteFile(path);
}

// A name that stays in its folder: no separator, no drive, no "." or ".." step.
bool IsPlainFileName(const Str& name) {
  return !name.empty() && name.find_first_of(u"\\/:") == Str::npos && name != u"." && name != u"..";
}

}  // namespace

void TFUpdater::CopyFromTo(const Str& f1, const Str& f2) {
  auto failed = [&] {
    AddLog(u"Cannot copy " + f1);
    AddLog(u"  to: " + f2);
    Error = true;
  };
  if (SameText(f1, f2)) return;
  // The new file is made beside the installed one and then takes its place
  // in one step: a source that is missing or cannot be read, or a full disk,
  // costs the user nothing, and an update killed at any moment leaves the
  // installed file its old or its new self, never missing. A copy onto the
  // same file under another spelling replaces it with itself. On the way
  // that works, which is every file but the odd one, that is two calls.
  const Str fresh = f2 + kFreshSuffix;
  if (!files::copyFile(f1, fresh, files::IfExists::Replace)) {
    // A leftover of a killed update may be read-only, as its source was.
    RemoveLeftover(fresh);
    if (!files::copyFile(f1, fresh, files::IfExists::Fail)) {
      RemoveLeftover(fresh);
      return failed();
    }
  }
  if (!files::replaceFile(fresh, f2)) {
    // A read-only installed file is replaced all the same; one held by a
    // running program stays, and the copy fails.
    const uint32_t attributes = files::getAttributes(f2);
    const bool replacing = attributes != files::kInvalidAttributes;
    const bool cleared = replacing && (attributes & files::kReadOnly) && files::setAttributes(f2, 0);
    if (!cleared || !files::replaceFile(fresh, f2)) {
      if (replacing) AddLog(Format(Messages().LNGCanNotDelete, {f2}));
      RemoveLeftover(fresh);
      return failed();
    }
  }
  AddLog(Format(Messages().LNGCopyFromTo, {f1, f2}));
}

void TFUpdater::RenameFromTo(const Str& f1, const Str& f2) {
  // Fails when f2 exists or f1 is missing; that is not worth a line.
  if (!files::moveFile(f1, f2)) return;
  LogRename(f1, f2);
}

void TFUpdater::LogRename(const Str& f1, const Str& f2) {
  AddLog(u"Rename Languagefile: " + f1 + u" -> ");
  AddLog(u"   " + f2);
}

void TFUpdater::KeepUnderName(const Str& f1, const Str& f2) {
  // Nothing to keep, or a name that is taken; not worth a line either.
  if (!files::fileExists(f1) || files::getAttributes(f2) != files::kInvalidAttributes) return;
  const Str fresh = f2 + kFreshSuffix;
  RemoveLeftover(fresh);
  if (!files::copyFile(f1, fresh, files::IfExists::Fail) || !files::moveFile(fresh, f2)) {
    RemoveLeftover(fresh);
    return;
  }
  LogRename(f1, f2);
}

void TFUpdater::RemoveLeftovers(const Str& folder) {
  for (const Str& name : ListNames(folder + u"*" + kFreshSuffix, files::kDirectory)) RemoveLeftover(folder + name);
}

void TFUpdater::CreateDirectories(const Str& dir) {
  if (files::directoryExists(dir)) return;
  AddLog(u"create directory: " + dir);
  // A folder that cannot be made shows in the failed copies into it.
  (void)files::forceDirectories(dir);
}

void TFUpdater::CopyImages(const Str& from, const Str& to) {
  for (const Str& name : ListNames(from + kImages + u"*.*", kNotPlain))
    if (name != kThumbnailCache) CopyFromTo(from + kImages + name, to + kImages + name);
}

void TFUpdater::CopyIniFiles() {
  const Str from = Source + layout::kLanguageFolder + u"\\";
  const Str to = Dest + layout::kLanguageFolder + u"\\";
  for (const Str& name : ListNames(from + u"*.ini", kHiddenOrSystem)) {
    // english.ini of version 2.1 stays as english2.1.ini, unless that exists
    // already. A version that would lead the name out of the folder is no
    // version: the old file is then simply replaced. It is kept as a copy,
    // which the new file then replaces, so that english.ini is never missing.
    const Str versioned = WithoutExtension(name) + Version + u".ini";
    if (IsPlainFileName(versioned)) KeepUnderName(to + name, to + versioned);
    CopyFromTo(from + name, to + name);
  }
}

void TFUpdater::CopyStyles() {
  // Subfolders are listed too; they end as failed copies.
  for (const Str& name : ListNames(Source + kStyles + u"*.*", kHiddenOrSystem))
    CopyFromTo(Source + kStyles + name, Dest + kStyles + name);
}

}  // namespace orvel
