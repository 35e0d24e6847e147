#include "app/wait_window.h"

namespace orvel {

TFwait* Fwait = nullptr;

TFwait::TFwait(gui::Application& app) : gui::Form(app, u"Fwait") {
  // Borderless, so the caption is never seen.
  setCaption(u"Fwait");
  setBorder(gui::BorderStyle::None, {false, false, false});
  setClientSize(124, 39);
  setPosition(gui::Position::ScreenCenter);
  setFont({u"Tahoma", 11});
  setColour(gui::Colour::ButtonFace);

  Label1 = &add(gui::Kind::Label, u"Label1");
  Label1->setCaption(u"Please wait!");
  Label1->setBounds({16, 8, 82, 19});
  Label1->setFont({u"Tahoma", 16});
  created();
}

}  // namespace orvel
