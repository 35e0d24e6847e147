// The GUI model: components, forms and the application object. Shared by
// both builds; the backend does the showing.
#include <algorithm>
#include <stdexcept>
#include <utility>

#include "gui/gui.h"
#include "gui/backend.h"
#include "gui/error.h"

namespace orvel::gui {
namespace {

// Splits a memo's text into its lines as the edit control holds them: a line
// break at the very end leaves an empty last line; the empty text has none.
std::vector<Str> splitLines(const Str& text) {
  std::vector<Str> lines;
  if (text.empty()) return lines;
  Str line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      lines.push_back(line);
      line.clear();
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      continue;
    }
    line.push_back(c);
  }
  lines.push_back(line);
  return lines;
}

Str joinLines(const std::vector<Str>& lines) {
  Str text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += u"\r\n";
    text += lines[i];
  }
  return text;
}

bool hasItems(Kind kind) {
  return kind == Kind::RadioGroup || kind == Kind::ComboBox || kind == Kind::ListBox;
}

}  // namespace

Str kindName(Kind kind) {
  switch (kind) {
    case Kind::Button: return u"button";
    case Kind::Edit: return u"edit";
    case Kind::CheckBox: return u"checkbox";
    case Kind::ComboBox: return u"combobox";
    case Kind::RadioGroup: return u"radiogroup";
    case Kind::Label: return u"label";
    case Kind::GroupBox: return u"groupbox";
    case Kind::ListBox: return u"listbox";
    case Kind::SpeedButton: return u"speedbutton";
    case Kind::RadioButton: return u"radiobutton";
    case Kind::Panel: return u"panel";
    case Kind::Memo: return u"memo";
    case Kind::Other: return u"other";
  }
  return u"other";
}

Str messageTitle(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning: return u"Warnung";
    case MessageKind::Error: return u"Fehler";
    case MessageKind::Information: return u"Informationen";
    case MessageKind::Confirmation: return u"Bestätigen";
    case MessageKind::Plain: return u"Setup";
  }
  return {};
}

Str buttonCaption(Button button) {
  switch (button) {
    case Button::Yes: return u"&Ja";
    case Button::No: return u"&Nein";
    case Button::Ok: return u"OK";
    case Button::Cancel: return u"Abbrechen";
  }
  return {};
}

// --- Component ---------------------------------------------------------------

Component::Component(Form& owner, Kind kind, Str name, Component* parent)
    : owner_(owner), kind_(kind), name_(std::move(name)), parent_(parent) {}

Component::~Component() = default;

void Component::changed(Property property) { owner_.componentChanged(*this, property); }

void Component::setCaption(const Str& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  changed(Property::Caption);
}

void Component::setHint(const Str& hint) {
  if (hint_ == hint) return;
  hint_ = hint;
  changed(Property::Hint);
}

Str Component::text() const { return kind_ == Kind::Memo ? joinLines(lines_) : text_; }

void Component::setText(const Str& text) {
  if (kind_ == Kind::Memo) {
    setLines(splitLines(text));
    return;
  }
  if (text_ == text) return;
  text_ = text;
  changed(Property::Text);
}

void Component::setLines(std::vector<Str> lines) {
  if (lines_ == lines) return;
  lines_ = std::move(lines);
  ++linesRevision_;
  changed(Property::Lines);
}

void Component::addLine(Str line) {
  lines_.push_back(std::move(line));
  changed(Property::Lines);
}

void Component::clearLines() { setLines({}); }

void Component::setItems(std::vector<Str> items) {
  if (items_ == items) return;
  items_ = std::move(items);
  // As the framework does when the list changes: a selection past the end
  // moves to the last item, without a click.
  if (itemIndex_ >= static_cast<int>(items_.size())) itemIndex_ = static_cast<int>(items_.size()) - 1;
  changed(Property::Items);
}

void Component::setItemIndex(int index) {
  index = std::clamp(index, -1, static_cast<int>(items_.size()) - 1);
  if (index == itemIndex_) return;
  itemIndex_ = index;
  changed(Property::ItemIndex);
  if (kind_ == Kind::RadioGroup) click();
}

void Component::setChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  changed(Property::Checked);
  if (kind_ == Kind::CheckBox) {
    click();
  } else if (kind_ == Kind::RadioButton && checked) {
    // Radio buttons on the same parent exclude each other.
    for (const auto& other : owner_.components()) {
      if (other.get() != this && other->kind() == Kind::RadioButton && other->parent() == parent_ &&
          other->checked_) {
        other->checked_ = false;
        other->changed(Property::Checked);
      }
    }
    click();
  }
}

void Component::setEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  changed(Property::Enabled);
}

void Component::setVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  changed(Property::Visible);
}

void Component::setColour(Colour colour) {
  if (colour_ == colour) return;
  colour_ = colour;
  changed(Property::Colour);
}

void Component::setBounds(const Bounds& bounds) {
  if (bounds_ == bounds) return;
  bounds_ = bounds;
  changed(Property::Bounds);
}

void Component::setFont(const Font& font) {
  if (font_ == font) return;
  font_ = font;
  changed(Property::Font);
}

void Component::setTabOrder(int order) {
  if (tabOrder_ == order) return;
  tabOrder_ = order;
  changed(Property::TabOrder);
}

void Component::setAlign(Align align) {
  if (align_ == align) return;
  align_ = align;
  changed(Property::Align);
}

void Component::setScrollBars(ScrollBars scrollBars) {
  if (scrollBars_ == scrollBars) return;
  scrollBars_ = scrollBars;
  changed(Property::Style);
}

void Component::setWordWrap(bool wordWrap) {
  if (wordWrap_ == wordWrap) return;
  wordWrap_ = wordWrap;
  changed(Property::Style);
}

void Component::setReadOnly(bool readOnly) {
  if (readOnly_ == readOnly) return;
  readOnly_ = readOnly;
  changed(Property::Style);
}

void Component::setFlat(bool flat) {
  if (flat_ == flat) return;
  flat_ = flat;
  changed(Property::Style);
}

void Component::setGlyph(Glyph glyph) {
  if (glyph_ == glyph) return;
  glyph_ = glyph;
  changed(Property::Style);
}

void Component::click() {
  if (onClick) onClick(this);
}

bool Component::userClick() {
  if (!enabled_) return false;
  owner_.application().dispatch([this] {
    switch (kind_) {
      case Kind::CheckBox: setChecked(!checked_); break;  // runs the click handler
      case Kind::RadioButton: setChecked(true); break;
      default: click(); break;
    }
  });
  return true;
}

bool Component::userSetText(const Str& text) {
  if (!enabled_ || readOnly_) return false;
  owner_.application().dispatch([this, &text] { setText(text); });
  return true;
}

bool Component::userSelect(int index) {
  if (!enabled_ || !hasItems(kind_)) return false;
  owner_.application().dispatch([this, index] {
    const int before = itemIndex_;
    setItemIndex(index);  // a radio group runs its click handler itself
    if (kind_ != Kind::RadioGroup && itemIndex_ != before) click();
  });
  return true;
}

// --- dialogs -------------------------------------------------------------------

FolderDialog::FolderDialog(Form& owner, Str name, Component* parent)
    : Component(owner, Kind::Other, std::move(name), parent) {}

bool FolderDialog::execute() {
  auto chosen = form().application().chooseFolder(defaultFolder);
  if (!chosen) return false;
  fileName_ = *chosen;
  return true;
}

OpenDialog::OpenDialog(Form& owner, Str name, Component* parent)
    : Component(owner, Kind::Other, std::move(name), parent) {}

bool OpenDialog::execute() {
  auto chosen = form().application().chooseFile(initialDir, fileName, filter);
  if (!chosen) return false;
  fileName = *chosen;
  return true;
}

// --- Form ----------------------------------------------------------------------

Form::Form(Application& app, Str name) : app_(app), name_(std::move(name)) { app_.addForm(*this); }

Form::~Form() {
  peer_.reset();  // the native window goes before the model it shows
  components_.clear();
  app_.removeForm(*this);
}

Component* Form::find(StrView name) const {
  if (name.empty()) return nullptr;
  for (const auto& component : components_)
    if (component->name() == name) return component.get();
  return nullptr;
}

Component& Form::add(Kind kind, Str name, Component* parent) {
  return addComponent<Component>(kind, std::move(name), parent);
}

void Form::adopt(std::unique_ptr<Component> component) {
  components_.push_back(std::move(component));
  if (peer_) peer_->componentAdded(*components_.back());
}

void Form::componentChanged(Component& component, Property property) {
  if (peer_) peer_->componentChanged(component, property);
}

void Form::changed(Property property) {
  if (peer_) peer_->formChanged(property);
}

void Form::setCaption(const Str& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  changed(Property::Caption);
}

void Form::setClientSize(int width, int height) {
  if (clientWidth_ == width && clientHeight_ == height) return;
  clientWidth_ = width;
  clientHeight_ = height;
  changed(Property::ClientSize);
}

void Form::setPosition(Position position, int left, int top) {
  position_ = position;
  left_ = left;
  top_ = top;
  changed(Property::Position);
}

void Form::setBorder(BorderStyle style, BorderIcons icons) {
  borderStyle_ = style;
  borderIcons_ = icons;
  changed(Property::Border);
}

void Form::setFont(const Font& font) {
  if (font_ == font) return;
  font_ = font;
  changed(Property::Font);
}

void Form::setColour(Colour colour) {
  if (colour_ == colour) return;
  colour_ = colour;
  changed(Property::Colour);
}

void Form::setVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (!peer_) return;
  if (visible)
    peer_->shown();
  else
    peer_->hidden();
}

void Form::show() { setVisible(true); }
void Form::hide() { setVisible(false); }

void Form::repaint() {
  if (peer_ && visible_) peer_->repaint();
}

void Form::paint() {
  if (onPaint) onPaint(this);
}

void Form::close() {
  if (peer_) peer_->closed();
  CloseAction action = CloseAction::Hide;
  if (onClose) onClose(this, action);
  if (action == CloseAction::None) return;
  // The main form's close ends the application, shown or not. The windows
  // live as long as the process, so any other close hides.
  if (app_.mainForm() == this)
    app_.terminate();
  else
    hide();
}

bool Form::canUserClose() const {
  return visible_ && borderStyle_ != BorderStyle::None && borderIcons_.systemMenu;
}

bool Form::userClose() {
  if (!canUserClose()) return false;
  app_.dispatch([this] { close(); });
  return true;
}

void* Form::nativeHandle() const { return peer_ ? peer_->nativeHandle() : nullptr; }

void Form::created() {
  if (!peer_) peer_ = app_.backend().createPeer(*this);
  if (onCreate) onCreate(this);
}

// --- Application -----------------------------------------------------------------

Application::Application()
    : session_(startPlatformSession()), backend_(makeProgramBackend()) {
  backend_->attach(*this);
}

Application::Application(std::unique_ptr<Backend> backend)
    : session_(startPlatformSession()), backend_(std::move(backend)) {
  backend_->attach(*this);
}

Application::~Application() = default;

Form* Application::findForm(StrView name) const {
  for (Form* form : forms_)
    if (form->name() == name) return form;
  return nullptr;
}

void Application::addForm(Form& form) { forms_.push_back(&form); }

void Application::removeForm(Form& form) { std::erase(forms_, &form); }

void Application::run() {
  if (terminated_) return;
  if (showMainForm_ && mainForm()) mainForm()->show();
  if (!terminated_) backend_->runLoop();
}

void Application::processMessages() { backend_->processMessages(); }

void Application::terminate() {
  if (terminated_) return;
  terminated_ = true;
  backend_->terminateRequested();
}

void Application::setCursor(Cursor cursor) {
  if (cursor_ == cursor) return;
  cursor_ = cursor;
  backend_->cursorChanged(cursor);
}

Button Application::messageBox(MessageKind kind, const Str& text, const std::vector<Button>& buttons) {
  MessageBoxRequest request{kind, kind == MessageKind::Plain ? title_ : messageTitle(kind), text, buttons};
  if (request.buttons.empty()) request.buttons = {Button::Ok};
  return backend_->messageBox(request);
}

void Application::showMessage(const Str& text) { messageBox(MessageKind::Plain, text, {Button::Ok}); }

std::optional<Str> Application::chooseFolder(const Str& start) { return backend_->folderDialog(start); }

std::optional<Str> Application::chooseFile(const Str& initialDir, const Str& fileName, const Str& filter) {
  return backend_->fileDialog(initialDir, fileName, filter);
}

void Application::handleException(const std::exception& error) {
  backend_->messageBox({MessageKind::Error, title_, errorBoxText(exceptionText(error)), {Button::Ok}});
}

void Application::handleCurrentException() {
  try {
    throw;
  } catch (const std::exception& error) {
    handleException(error);
  } catch (...) {
    handleException(std::runtime_error(toUtf8(kUnknownExceptionText)));
  }
}

// The handler of last resort: whatever escapes, the program's own error or
// a programming error, is shown (each by its own text) and the program goes on.
void Application::dispatch(const std::function<void()>& action) {
  try {
    action();
  } catch (...) {
    handleCurrentException();
  }
}

}  // namespace orvel::gui
