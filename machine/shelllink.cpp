// The emulated machine's shell link object: shortcut files in the binary
// .lnk layout, read and written through the machine's file service.
#include "platform/shelllink.h"

#include "platform/files.h"
#include "formats/lnk_format.h"
#include "machine/fault_injection.h"

namespace orvel::shelllink {
namespace {

// What the file service knows of a path on the target's way, for the item
// id list and the header (attributes, time and size of the target).
std::optional<lnk::FileFacts> factsOf(const Str& path) {
  const uint32_t attributes = files::getAttributes(path);
  if (attributes == files::kInvalidAttributes) return std::nullopt;
  lnk::FileFacts facts;
  facts.attributes = attributes;
  facts.writeTime = files::lastWriteTime(path).value_or(0);
  if (!(attributes & files::kDirectory)) {
    if (auto bytes = files::readFile(path)) facts.size = bytes->size();
  }
  return facts;
}

// A getter copies at most bufferChars - 1 characters and the terminator.
Str cut(Str text, size_t bufferChars) {
  const size_t room = bufferChars == 0 ? 0 : bufferChars - 1;
  if (text.size() > room) text.resize(room);
  return text;
}

}  // namespace

Result save(const Str& linkFile, const LinkData& data) {
  // No file is left, as after a failing Save, which nobody examines.
  if (posix::faults::check("shelllink.save")) return Result::success();
  lnk::Shortcut link;
  link.target = data.path;
  link.description = data.description;
  link.workingDirectory = data.workingDirectory;
  link.arguments = data.arguments;
  link.iconLocation = data.iconFile;
  link.iconIndex = data.iconFile.empty() ? 0 : data.iconIndex;
  link.hotKey = data.hotKey;
  link.showCommand = static_cast<uint32_t>(data.showCommand);
  // A failed save (missing folder, no right to write) leaves no file and,
  // like IPersistFile::Save whose result nobody examines, reports nothing.
  (void)files::writeFile(linkFile, lnk::encode(link, factsOf));
  return Result::success();
}

Outcome<LinkData> load(const Str& linkFile, size_t bufferChars) {
  const auto bytes = files::readFile(linkFile);
  if (!bytes) return LinkData{};
  const auto link = lnk::decode(*bytes);
  if (!link) return LinkData{};
  LinkData data;
  data.arguments = cut(link->arguments, bufferChars);
  data.description = cut(link->description, bufferChars);
  data.iconFile = cut(link->iconLocation, bufferChars);
  data.iconIndex = link->iconIndex;
  data.path = cut(link->target, bufferChars);
  data.workingDirectory = cut(link->workingDirectory, bufferChars);
  data.hotKey = link->hotKey;
  data.showCommand = static_cast<int>(link->showCommand);
  return data;
}

}  // namespace orvel::shelllink
