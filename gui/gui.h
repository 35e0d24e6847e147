// The GUI layer: windows (forms) that own named components, the application
// object with its message loop, message boxes, the folder and file dialogs and
// the mouse cursor.
//
// The model here is what the program's windows are made of; a backend
// (gui/backend.h) realises it: as native windows and controls on
// Windows, or as a script of user actions and a transcript (the scripted GUI).
// Windows derive from Form, create their components in their constructor and
// call created() at its end, which runs their creation handler.
//
// Handlers run on the GUI thread. An error that escapes a handler that the
// user's action started is shown by Application::handleException and the
// program goes on; a handler that code calls directly lets it propagate.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/types.h"

namespace orvel::gui {

class Application;
class Backend;
class Component;
class Form;
class FormPeer;
class PlatformSession;

// Anything that can be the sender of a handler.
class Object {
 public:
  virtual ~Object() = default;
};

// A handler: a member function of the window class, called with the sender
// (the control, the form, or null when code calls it directly).
using Handler = std::function<void(Object* sender)>;

enum class Kind {
  Button,
  Edit,
  CheckBox,
  ComboBox,
  RadioGroup,
  Label,
  GroupBox,
  ListBox,
  SpeedButton,
  RadioButton,
  Panel,
  Memo,
  Other,  // non-visual components (dialogs) and anything else
};

// The name of a kind as the transcript writes it ("button", "checkbox", ...).
Str kindName(Kind kind);

// System colours; the backend maps them to the platform's colours.
enum class Colour { Default, ButtonFace, Window, Menu, WindowText };

// A font by face name and character height in pixels (8 pt at 96 dpi = 11).
struct Font {
  Str name = u"MS Sans Serif";
  int height = 11;
  bool operator==(const Font&) const = default;
};

// Position and size in pixels, relative to the parent's client area.
struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Bounds&) const = default;
};

// Docking of a control to an edge of its parent.
enum class Align { None, Top, Bottom, Left, Right, Client };

enum class ScrollBars { None, Vertical, Horizontal, Both };

// The picture of a picture button. Every picture has a greyed variant that is
// shown while the button is disabled.
enum class Glyph { None, Folder };

// What changed, for the backend.
enum class Property {
  Caption,
  Hint,
  Text,
  Lines,
  Items,
  ItemIndex,
  Checked,
  Enabled,
  Colour,
  Bounds,
  Font,
  Visible,
  TabOrder,
  Align,
  Style,  // scroll bars, word wrap, read-only, flat, picture
  ClientSize,
  Position,
  Border,
};

// A component of a form. One class for every kind: a property that a kind
// does not have is kept but means nothing for it (the transcript's dump shows
// only the properties of the kind).
class Component : public Object {
 public:
  Component(Form& owner, Kind kind, Str name, Component* parent);
  ~Component() override;
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  Form& form() const { return owner_; }
  Kind kind() const { return kind_; }
  const Str& name() const { return name_; }
  // The control it sits on (a panel or group box), or null for the form.
  Component* parent() const { return parent_; }

  const Str& caption() const { return caption_; }
  void setCaption(const Str& caption);
  const Str& hint() const { return hint_; }
  void setHint(const Str& hint);

  // The text of an edit field or combo box. For a memo: its lines joined by
  // CR LF; setting it splits it into lines at CR LF, CR or LF.
  Str text() const;
  void setText(const Str& text);

  // The lines of a memo.
  const std::vector<Str>& lines() const { return lines_; }
  void setLines(std::vector<Str> lines);
  // A line made for the log is moved in, not copied.
  void addLine(Str line);
  void clearLines();
  // Counts every change of the lines but a line added at the end: a backend
  // that showed the lines at one revision shows them again by adding the
  // lines beyond those it has, however long the log has grown.
  uint64_t linesRevision() const { return linesRevision_; }

  // The items of a radio group, combo box or list box, and the selected one
  // (-1: none). Setting the items keeps the index when it is still valid,
  // else selects nothing.
  const std::vector<Str>& items() const { return items_; }
  void setItems(std::vector<Str> items);
  int itemIndex() const { return itemIndex_; }
  // Selecting another item of a radio group runs its click handler, as a
  // user's click does; selecting the selected item runs nothing.
  void setItemIndex(int index);

  // Setting a check box (or radio button) to the other state runs its click
  // handler, as a user's click does; setting the state it has runs nothing.
  bool checked() const { return checked_; }
  void setChecked(bool checked);

  bool enabled() const { return enabled_; }
  void setEnabled(bool enabled);
  bool visible() const { return visible_; }
  void setVisible(bool visible);
  Colour colour() const { return colour_; }
  void setColour(Colour colour);
  const Bounds& bounds() const { return bounds_; }
  void setBounds(const Bounds& bounds);
  // A component without its own font uses the form's.
  const std::optional<Font>& font() const { return font_; }
  void setFont(const Font& font);
  // Position in the tab order among the controls of the same parent;
  // -1 for controls that take no keyboard focus (labels, picture buttons).
  int tabOrder() const { return tabOrder_; }
  void setTabOrder(int order);
  Align align() const { return align_; }
  void setAlign(Align align);

  ScrollBars scrollBars() const { return scrollBars_; }
  void setScrollBars(ScrollBars scrollBars);
  bool wordWrap() const { return wordWrap_; }
  void setWordWrap(bool wordWrap);
  bool readOnly() const { return readOnly_; }
  void setReadOnly(bool readOnly);
  bool flat() const { return flat_; }
  void setFlat(bool flat);
  Glyph glyph() const { return glyph_; }
  void setGlyph(Glyph glyph);

  Handler onClick;

  // Runs the click handler with this component as sender (Delphi's Click).
  void click();

  // What a user does; the backends call these. Each runs inside
  // Application::dispatch, so an error that escapes is shown, not thrown.
  // A disabled component ignores them (the result is false).
  bool userClick();                 // button press; a check box toggles
  bool userSetText(const Str& text);  // typing into an edit field or memo
  bool userSelect(int index);       // choosing an item of a radio group, combo or list box

 private:
  void changed(Property property);

  Form& owner_;
  Kind kind_;
  Str name_;
  Component* parent_;
  Str caption_;
  Str hint_;
  Str text_;
  std::vector<Str> lines_;
  uint64_t linesRevision_ = 0;
  std::vector<Str> items_;
  int itemIndex_ = -1;
  bool checked_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  Colour colour_ = Colour::Default;
  Bounds bounds_;
  std::optional<Font> font_;
  int tabOrder_ = -1;
  Align align_ = Align::None;
  ScrollBars scrollBars_ = ScrollBars::None;
  bool wordWrap_ = true;
  bool readOnly_ = false;
  bool flat_ = false;
  Glyph glyph_ = Glyph::None;
};

// The folder-picking dialog (IFileOpenDialog with FOS_PICKFOLDERS), a
// non-visual component of kind Other.
class FolderDialog : public Component {
 public:
  FolderDialog(Form& owner, Str name, Component* parent = nullptr);
  // The folder the dialog opens in; the shell's choice when it cannot be parsed.
  Str defaultFolder;
  // Shows the dialog; true with fileName() set when the user chose a folder.
  bool execute();
  const Str& fileName() const { return fileName_; }

 private:
  Str fileName_;
};

// The file-open dialog, a non-visual component of kind Other.
class OpenDialog : public Component {
 public:
  OpenDialog(Form& owner, Str name, Component* parent = nullptr);
  Str initialDir;
  Str fileName;  // the proposed name before, the chosen path after execute()
  // Description and pattern alternating, separated by "|": "*.ini|*.ini;*.*|*.*".
  Str filter;
  bool execute();
};

// Where a form appears when it is first shown.
enum class Position { Designed, ScreenCenter, MainFormCenter };

enum class BorderStyle { Single, Sizeable, None };

// The buttons in the caption bar.
struct BorderIcons {
  bool systemMenu = true;  // also the close button
  bool minimize = true;
  bool maximize = true;
  bool operator==(const BorderIcons&) const = default;
};

// What closing a form does after its close handler has run.
enum class CloseAction { None, Hide, Free };

class Form : public Object {
 public:
  // Registers the form with the application; the first form is its main form.
  Form(Application& app, Str name);
  ~Form() override;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  Application& application() const { return app_; }
  const Str& name() const { return name_; }

  // Components in creation order.
  const std::vector<std::unique_ptr<Component>>& components() const { return components_; }
  // The component of that name (exact), or null. Unnamed components are never found.
  Component* find(StrView name) const;
  // Creates a component owned by the form.
  Component& add(Kind kind, Str name, Component* parent = nullptr);
  template <class T, class... Args>
  T& addComponent(Args&&... args) {
    auto component = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T& result = *component;
    adopt(std::move(component));
    return result;
  }

  const Str& caption() const { return caption_; }
  void setCaption(const Str& caption);
  int clientWidth() const { return clientWidth_; }
  int clientHeight() const { return clientHeight_; }
  void setClientSize(int width, int height);
  Position position() const { return position_; }
  // For Position::Designed: the screen position of the window's top left corner.
  int left() const { return left_; }
  int top() const { return top_; }
  void setPosition(Position position, int left = 0, int top = 0);
  BorderStyle borderStyle() const { return borderStyle_; }
  const BorderIcons& borderIcons() const { return borderIcons_; }
  void setBorder(BorderStyle style, BorderIcons icons = {});
  const Font& font() const { return font_; }
  void setFont(const Font& font);
  Colour colour() const { return colour_; }
  void setColour(Colour colour);

  bool visible() const { return visible_; }
  // Shows the form without making it modal; the first show paints it.
  void show();
  void hide();
  // Asks the form to paint itself now (runs the paint handler when visible).
  void repaint();
  // Close(): runs the close handler; the main form's close ends the
  // application (also when it was never shown), any other form is hidden.
  void close();
  // Whether a user can close it through its caption bar: it is visible and
  // has a caption bar with a close button.
  bool canUserClose() const;
  // The user closes it through the caption bar (runs inside dispatch).
  bool userClose();
  // The paint handler with this form as sender; the backends call it.
  void paint();

  Handler onCreate;
  Handler onPaint;
  std::function<void(Object* sender, CloseAction& action)> onClose;

  // The backend's counterpart of this form (null until created()).
  FormPeer* peer() const { return peer_.get(); }
  // The native window (HWND) of the form, or null where there is none; the
  // owner of what the shell shows on the program's behalf.
  void* nativeHandle() const;

 protected:
  // Call at the end of the window class's constructor, after its components
  // exist: the backend creates its counterpart and the creation handler runs.
  void created();

 private:
  friend class Component;
  void adopt(std::unique_ptr<Component> component);
  void componentChanged(Component& component, Property property);
  void changed(Property property);
  void setVisible(bool visible);

  Application& app_;
  Str name_;
  std::vector<std::unique_ptr<Component>> components_;
  Str caption_;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  Position position_ = Position::Designed;
  int left_ = 0;
  int top_ = 0;
  BorderStyle borderStyle_ = BorderStyle::Sizeable;
  BorderIcons borderIcons_;
  Font font_;
  Colour colour_ = Colour::ButtonFace;
  bool visible_ = false;
  std::unique_ptr<FormPeer> peer_;
};

// Message boxes.
enum class MessageKind { Warning, Error, Information, Confirmation, Plain };
enum class Button { Yes, No, Ok, Cancel };

// "Warnung", "Fehler", "Informationen", "Bestätigen"; the plain box has the application's title.
Str messageTitle(MessageKind kind);
// "&Ja", "&Nein", "OK", "Abbrechen".
Str buttonCaption(Button button);

enum class Cursor { Default, Hourglass };

class Application {
 public:
  // The backend the program runs with (makeProgramBackend).
  Application();
  // An explicit backend (tests: a ScriptedBackend over a string).
  explicit Application(std::unique_ptr<Backend> backend);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // "Setup": the title of the plain message box and of the error box.
  const Str& title() const { return title_; }

  // Forms in creation order; the main form is the first one.
  const std::vector<Form*>& forms() const { return forms_; }
  Form* mainForm() const { return forms_.empty() ? nullptr : forms_.front(); }
  Form* findForm(StrView name) const;

  // Whether run() shows the main form before the loop.
  bool showMainForm() const { return showMainForm_; }
  void setShowMainForm(bool show) { showMainForm_ = show; }

  // The message loop: shows the main form when told to, then runs until the
  // main form closes (or the application is terminated).
  void run();
  // Handles the pending messages once and returns.
  void processMessages();
  void terminate();
  bool terminated() const { return terminated_; }

  Cursor cursor() const { return cursor_; }
  void setCursor(Cursor cursor);

  // A modal message box of the kind with its German title; the buttons in
  // the order given. The answer is one of them.
  Button messageBox(MessageKind kind, const Str& text, const std::vector<Button>& buttons);
  // The plain box: no symbol, the application's title, one OK button.
  void showMessage(const Str& text);
  // The folder-picking dialog opened in `start`; nothing when cancelled.
  std::optional<Str> chooseFolder(const Str& start);
  // The file-open dialog; the chosen file's full path, nothing when cancelled.
  std::optional<Str> chooseFile(const Str& initialDir, const Str& fileName, const Str& filter);

  // Shows an error that escaped a handler in an error box titled "Setup",
  // with the full-stop rule applied to its text.
  void handleException(const std::exception& error);
  // handleException for the exception being handled; only inside a catch block.
  void handleCurrentException();
  // Runs what a user's action started; an error that escapes is shown by
  // handleException and the program goes on.
  void dispatch(const std::function<void()>& action);

  Backend& backend() const { return *backend_; }

 private:
  friend class Form;
  void addForm(Form& form);
  void removeForm(Form& form);

  Str title_ = u"Setup";
  // Declared before the backend: it lives longer than the backend's windows.
  std::unique_ptr<PlatformSession> session_;  // per-process GUI state of the platform (COM on Windows)
  std::unique_ptr<Backend> backend_;
  std::vector<Form*> forms_;
  bool showMainForm_ = true;
  bool terminated_ = false;
  Cursor cursor_ = Cursor::Default;
};

}  // namespace orvel::gui
