// The shipped program where no window can be made (no desktop): it ends as
// its main window's close button ends it, a message box on the way takes
// its first button and a dialog is cancelled, all without reading anything.
#include <gtest/gtest.h>

#include <vector>

#include "gui/gui.h"
#include "gui/windowless_backend.h"

namespace orvel::gui {
namespace {

class Window : public Form {
 public:
  Window(Application& app, Str name) : Form(app, std::move(name)) {}
  using Form::created;
};

TEST(WindowlessBackend, EndsAsIfTheMainWindowWereClosed) {
  Application app(std::make_unique<WindowlessBackend>());
  Window main(app, u"Main");
  Window other(app, u"Other");
  FolderDialog folders(main, u"Folders");
  OpenDialog files(main, u"Files");
  main.created();
  other.created();
  std::vector<Button> answers;
  bool chosen = true;
  int closes = 0;
  main.onClose = [&](Object*, CloseAction& action) {
    ++closes;
    answers.push_back(app.messageBox(MessageKind::Confirmation, u"Beenden?", {Button::No, Button::Yes}));
    chosen = folders.execute() || files.execute();
    action = CloseAction::None;  // a window that refuses to close still ends with the program
  };
  other.show();
  app.run();
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(answers, std::vector<Button>{Button::No});
  EXPECT_FALSE(chosen);
  EXPECT_TRUE(app.terminated());
}

}  // namespace
}  // namespace orvel::gui
