#include "common/installation_layout.h"
#include "common/log_window.h"

#include <utility>

#include "common/fmx_utils.h"
#include "common/save_lines.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace orvel {

TFMemo* FMemo = nullptr;

namespace {

constexpr int kStartApplication = 0;
constexpr int kStartRemovalBatch = 1;
constexpr int kStartNothing = 2;

// RunOrvel.bat as the uninstallation wrote it: the program may run elevated,
// and any process of the user may have replaced the file since.
bool RemovalBatchIsIntact(const std::optional<std::string>& written) {
  if (!written) return false;
  const std::optional<std::string> now = files::readFile(TempDirectory() + layout::kRemovalBatchFile);
  return now && *now == *written;
}

}  // namespace

TFMemo::TFMemo(gui::Application& app) : gui::Form(app, u"FMemo") {
  setCaption(u"Installation");
  setBorder(gui::BorderStyle::Single);
  setClientSize(693, 257);
  setPosition(gui::Position::MainFormCenter);
  setFont({u"MS Sans Serif", 11});
  setColour(gui::Colour::ButtonFace);

  MInstallation = &add(gui::Kind::Memo, u"MInstallation");
  MInstallation->setBounds({0, 0, 693, 201});
  MInstallation->setAlign(gui::Align::Top);
  MInstallation->setScrollBars(gui::ScrollBars::Vertical);
  MInstallation->setWordWrap(true);
  MInstallation->setTabOrder(0);
  MInstallation->setLines({u"Orvel-Draw Installation", u""});

  BClose = &add(gui::Kind::Button, u"BClose");
  BClose->setCaption(u"Schließen");
  BClose->setBounds({608, 216, 75, 25});
  BClose->setTabOrder(1);
  BClose->onClick = [this](gui::Object* sender) { BCloseClick(sender); };

  // Closing through the caption bar only hides the window (it is not the
  // main window), so no close handler is needed.
  onCreate = [this](gui::Object* sender) { FormCreate(sender); };
  created();
}

void TFMemo::FormCreate(gui::Object*) { Installation = kStartNothing; }

void TFMemo::GibAus(Str s) { MInstallation->addLine(std::move(s)); }

void TFMemo::BCloseClick(gui::Object*) {
  gui::Form* main = application().mainForm();
  if (Installation == kStartApplication) {
    const Str folder = ApplicationFolder ? ApplicationFolder() : Str();
    LaunchFile(folder + layout::kApplicationFile, u"", u"", shell::kSwShowNormal, main);
  } else if (Installation == kStartRemovalBatch && RemovalBatchIsIntact(RemovalBatch)) {
    LaunchFile(TempDirectory() + layout::kRemovalBatchFile, u"", u"", shell::kSwHide, main);
  }
  if (main) main->close();  // the main window: this ends the program
}

void TFMemo::SaveLog(const Str& path) const { SaveLinesAsAnsiText(path, MInstallation->lines()); }

}  // namespace orvel
