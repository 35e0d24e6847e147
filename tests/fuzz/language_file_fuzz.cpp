// Fuzzes the reading of a language file the way the setup window does it:
// arbitrary bytes (as they come, and behind a UTF-16 byte-order mark) are
// written as the chosen file, read through the profile service into the
// translation list, and applied to fresh windows. The windows must show
// exactly what the list gives and keep their German texts where it gives
// nothing, and the cursor must be back to normal afterwards.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/windows.h"
#include "common/language_file.h"
#include "common/log_window.h"
#include "platform/files.h"
#include "gui/gui.h"
#include "gui/script/scripted_gui.h"
#include "platform/profile.h"
#include "setup/setup_window.h"

namespace {

using namespace orvel;

const Str kFile = u"C:\\fuzz\\languages\\chosen.ini";

void check(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "violated: %s\n", what);
    abort();
  }
}

// The text a property shows after the load: the list's value, or the text
// it had when the value is empty.
Str expected(const TranslationList& list, const Str& key, const Str& before) {
  const Str value = list.Value(key);
  return value.empty() ? before : value;
}

void checkList(const TranslationList& list) {
  const size_t keys = profile::sectionKeys(kFile, u"Installation").size() + profile::sectionKeys(kFile, u"Common").size();
  check(list.Lines().size() == keys, "the list does not hold one line per key of the two sections");
  for (const Str& line : list.Lines()) {
    const size_t equals = line.find(u'=');
    check(equals != Str::npos, "a line without \"=\"");
    check(line.size() - equals - 1 <= profile::kMaxValue, "a value longer than the reader gives");
  }
}

void loadInto(const std::string& bytes) {
  check(files::writeFile(kFile, bytes).ok(), "the file cannot be written");
  std::ostringstream transcript;
  auto backend = std::make_unique<gui::ScriptedBackend>(std::string(), transcript);
  gui::Application app(std::move(backend));
  ProgramWindows windows(app);

  const Str setupCaption = FSetup->caption(), memoCaption = FMemo->caption();
  const Str install = FSetup->BInstall->caption(), installHint = FSetup->BInstall->hint();
  const Str folderHint = FSetup->SBOrdner->hint(), close = FMemo->BClose->caption();
  const Str choices = FSetup->RGRegOrIni->caption();
  const std::vector<Str> items = FSetup->RGRegOrIni->items();
  const std::vector<Str> memoLines = FMemo->MInstallation->lines();

  FSetup->Sprachdatei = kFile;
  FSetup->LiesSprachDatei();

  const TranslationList list = ReadTranslationList(kFile);
  checkList(list);
  check(app.cursor() == gui::Cursor::Default, "the cursor stayed an hourglass");
  check(FSetup->caption() == expected(list, u"Caption", setupCaption), "setup window caption");
  check(FMemo->caption() == expected(list, u"Caption", memoCaption), "log window caption");
  check(FSetup->BInstall->caption() == expected(list, u"BInstall", install), "button caption");
  check(FSetup->BInstall->hint() == expected(list, u"BInstall.Hint", installHint), "button hint");
  check(FSetup->SBOrdner->hint() == expected(list, u"SBOrdner", folderHint), "speed button hint");
  check(FSetup->SBOrdner->caption().empty(), "a speed button got a caption");
  check(FMemo->BClose->caption() == expected(list, u"BClose", close), "log window button");
  check(FMemo->MInstallation->lines() == memoLines, "the memo's lines changed");
  check(FSetup->RGRegOrIni->caption() == expected(list, u"RGRegOrIni", choices), "radio group caption");

  const Str itemsValue = list.Value(u"RGRegOrIni.Items");
  const std::vector<Str> newItems = itemsValue.empty() ? items : ParseCommaText(u"\"" + itemsValue + u"\"");
  check(FSetup->RGRegOrIni->items() == newItems, "radio group items");
  check(FSetup->RGRegOrIni->itemIndex() == 0, "the first choice is no longer selected");

  check(FSetup->LNGCopyFromTo == list.Value(u"LNGCopyFromTo"), "message LNGCopyFromTo");
  check(FSetup->LNGNoAdministrator == list.Value(u"LNGNoAdministrator"), "message LNGNoAdministrator");
  check(FSetup->LNGCopyError == list.Value(u"LNGCopyError"), "message LNGCopyError");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const auto root = std::filesystem::temp_directory_path() / ("orvel-language-fuzz-" + std::to_string(getpid()));
  std::filesystem::create_directories(root);
  setenv("ORVEL_MACHINE", root.c_str(), 1);
  check(files::forceDirectories(u"C:\\fuzz\\languages").ok(), "no folder for the file");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  loadInto(bytes);
  loadInto("\xFF\xFE" + bytes);
  return 0;
}
