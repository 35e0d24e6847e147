// The small borderless "Please wait!" window that updater mode shows while
// its procedure runs.
#pragma once

#include "gui/gui.h"

namespace orvel {

class TFwait : public gui::Form {
 public:
  explicit TFwait(gui::Application& app);

  gui::Component* Label1;
};

// The one wait window of the program.
extern TFwait* Fwait;

}  // namespace orvel
