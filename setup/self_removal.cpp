// The batch file that deletes the setup program after it has ended: the
// program's own file cannot be deleted while it runs, so RunOrvel.bat in the
// temporary folder repeats the deletion until it succeeds and then removes
// the folder if nothing else is left in it.
#include "common/fmx_utils.h"
#include "common/installation_layout.h"
#include "common/log_window.h"
#include "platform/files.h"
#include "platform/system.h"
#include "setup/setup_window.h"

namespace orvel {
namespace {

// Besides the blank: characters that make the command interpreter start
// another command, redirect, escape, group, or split the arguments.
constexpr char16_t kSpecialCharacters[] = u"&|<>^(),;=%";

// A path as the command interpreter must read it to find that very path:
// each "%" doubled (it would start a variable), and the whole in double
// quotes when it holds a blank or a special character, so that a folder
// such as C:\R&D\ can never run a second command.
Str batchPath(const Str& path) {
  const Str escaped = ReplaceAll(path, u"%", u"%%");
  if (path.find_first_of(kSpecialCharacters) != Str::npos && !escaped.starts_with(u'"'))
    return u"\"" + escaped + u"\"";
  return QuoteIfSpaces(escaped);
}

}  // namespace

void TFSetup::SetupLoeschen() {
  // The command interpreter reads batch files in the OEM code page; a folder
  // such as C:\Programme\Zubehör\ written in the ANSI one would never be found.
  // A read-only Setup.exe (copied from read-only media) would make "del"
  // fail for ever.
  ClearReadOnly(NachDir + layout::kSetupFile);
  // The new file replaces what was there in one step (a file, or a link of
  // that name, which is never written through), so that an uninstallation
  // killed meanwhile leaves the old batch file or the new one.
  FMemo->RemovalBatch.reset();
  const Str batchFile = TempDirectory() + layout::kRemovalBatchFile;
  ClearReadOnly(batchFile);
  TextFileStream batch(batchFile, sys::oemCodePage());
  const Str setup = batchPath(NachDir + layout::kSetupFile);
  StreamWriteln(batch, u"echo on");
  StreamWriteln(batch, u":1");
  StreamWriteln(batch, u"del " + setup);
  StreamWriteln(batch, u"if exist " + setup + u" goto 1");
  StreamWriteln(batch, u"rmdir " + batchPath(NachDir));
  batch.close();
  FMemo->RemovalBatch = batch.bytes();
}

void TFSetup::StreamWriteln(TextFileStream& FS, const Str& s) { FS.write(sys::encode(s, FS.codePage()) + "\r\n"); }

}  // namespace orvel
