// The setup window's language: the default language file loaded on the first
// paint, the file the user chooses, and how a file's texts reach the two
// windows and the message fields.
#include "common/fmx_utils.h"
#include "common/installation_layout.h"
#include "common/language_file.h"
#include "common/log_window.h"
#include "platform/files.h"
#include "setup/setup_window.h"

namespace orvel {
namespace {

const Str kHintSuffix = u".Hint";
const Str kItemsSuffix = u".Items";

// The hourglass while a language file is read, the normal cursor again
// afterwards, also when reading fails.
class HourglassCursor {
 public:
  explicit HourglassCursor(gui::Application& app) : app_(app) { app_.setCursor(gui::Cursor::Hourglass); }
  ~HourglassCursor() { app_.setCursor(gui::Cursor::Default); }
  HourglassCursor(const HourglassCursor&) = delete;
  HourglassCursor& operator=(const HourglassCursor&) = delete;

 private:
  gui::Application& app_;
};

// Each setter runs only for a non-empty value: a missing key and an empty
// value leave the text as it is.
void setHint(gui::Component& c, const Str& value) {
  if (!value.empty()) c.setHint(value);
}

void setCaption(gui::Component& c, const Str& value) {
  if (!value.empty()) c.setCaption(value);
}

// A combo box selects the same item again when the new list still has it, else none.
void setComboItems(gui::Component& c, const Str& value) {
  if (value.empty()) return;
  const int selected = c.itemIndex();
  std::vector<Str> items = ParseCommaText(value);
  const int count = static_cast<int>(items.size());
  c.setItems(std::move(items));
  c.setItemIndex(selected < count ? selected : -1);
}

// The profile reader takes the outer pair of quotes off a value like
// "A","B"; putting them back makes it comma text again. A shorter list
// selects its last item.
void setRadioGroupItems(gui::Component& c, const Str& value) {
  if (value.empty()) return;
  const int selected = c.itemIndex();
  c.setItems(ParseCommaText(u"\"" + value + u"\""));
  c.setItemIndex(selected);
}

void setListItems(gui::Component& c, const Str& value) {
  if (!value.empty()) c.setItems(ParseCommaText(value));
}

// The texts of one component from the list, by its kind.
void translateComponent(gui::Component& c, const TranslationList& texts) {
  const Str& n = c.name();
  switch (c.kind()) {
    case gui::Kind::Button:
    case gui::Kind::CheckBox:
      setHint(c, texts.Value(n + kHintSuffix));
      setCaption(c, texts.Value(n));
      break;
    case gui::Kind::Edit:
      setHint(c, texts.Value(n + kHintSuffix));
      break;
    case gui::Kind::ComboBox:
      setHint(c, texts.Value(n + kHintSuffix));
      setComboItems(c, texts.Value(n + kItemsSuffix));
      break;
    case gui::Kind::RadioGroup:
      setCaption(c, texts.Value(n));
      setRadioGroupItems(c, texts.Value(n + kItemsSuffix));
      break;
    case gui::Kind::Label:
    case gui::Kind::GroupBox:
    case gui::Kind::RadioButton:
    case gui::Kind::Panel:
      setCaption(c, texts.Value(n));
      break;
    case gui::Kind::ListBox:
      setListItems(c, texts.Value(n));
      break;
    case gui::Kind::SpeedButton:
      setHint(c, texts.Value(n));  // a picture button shows no caption
      break;
    case gui::Kind::Memo:
    case gui::Kind::Other:
      break;
  }
}

}  // namespace

void TFSetup::FormPaint(gui::Object*) {
  if (!Starting) return;
  // The default file for the user's language; for German users that is the
  // languages folder itself, so they keep the built-in texts.
  Sprachdatei = DefaultLanguageFile();
  if (files::fileExists(Sprachdatei))
    LiesSprachDatei();
  else
    Sprachdatei.clear();
  Starting = false;
}

void TFSetup::BLanguageClick(gui::Object*) {
  ODWaehlen->initialDir = ProgramFolder() + layout::kLanguageFolder;
  ODWaehlen->fileName = u"*.ini";
  // One entry "*.ini" that lists every file, then "*.*" without a pattern.
  ODWaehlen->filter = u"*.ini|*.ini;*.*|*.*";
  if (!ODWaehlen->execute()) return;
  Sprachdatei = ODWaehlen->fileName;
  LiesSprachDatei();
}

void TFSetup::LiesSprachDatei() {
  if (Sprachdatei.empty() || !files::fileExists(Sprachdatei)) return;
  HourglassCursor hourglass(application());
  const TranslationList texts = ReadTranslationList(Sprachdatei);
  SetzeSpracheImFormular(texts, *this);  // the setup window, FSetup
  if (FMemo) SetzeSpracheImFormular(texts, *FMemo);
  LNGLiesUnit(texts);
}

void TFSetup::SetzeSpracheImFormular(const TranslationList& Sprache, gui::Form& Formular) {
  if (const Str caption = Sprache.Value(u"Caption"); !caption.empty()) Formular.setCaption(caption);
  // By index: nothing here adds components, but a handler run by a changed
  // selection must not invalidate the walk.
  for (size_t i = 0; i < Formular.components().size(); ++i) translateComponent(*Formular.components()[i], Sprache);
}

void TFSetup::LNGLiesUnit(const TranslationList& Sprache) {
  // Unlike the window texts, a message without a key becomes empty.
  for (const Message& message : kMessages) this->*message.field = Sprache.Value(message.key);
}

}  // namespace orvel
