// The updater window: its layout, the update log in its memo, and that only
// OK leads out of it.
#include <gtest/gtest.h>

#include "gui/gui.h"
#include "tests/support/scripted_windows.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

using test::TestMachine;
using test::UpdaterWindows;

// Created hidden, second in the program's window order, with an empty log.
TEST(UpdaterWindow, CreatedHiddenInTheProgramsWindowOrder) {
  TestMachine machine;
  UpdaterWindows w;
  ASSERT_EQ(w.app().forms().size(), 4u);
  EXPECT_EQ(w.app().forms()[0], FSetup);
  EXPECT_EQ(w.app().forms()[1], FUpdater);
  EXPECT_EQ(w.app().forms()[2], FMemo);
  EXPECT_EQ(w.app().forms()[3], Fwait);
  w.act("dump FUpdater");
  EXPECT_EQ(w.take(), (std::vector<std::string>{
                          "FUpdater form caption=\"Orvel-Draw-Updater\" visible=0",
                          "FUpdater.Memo memo enabled=1 lines=\"\"",
                          "FUpdater.Panel1 panel caption=\"\" enabled=1",
                          "FUpdater.BOK button caption=\"OK\" hint=\"\" enabled=1",
                          "FUpdater.BRetry button caption=\"Retry\" hint=\"\" enabled=1",
                      }));
}

TEST(UpdaterWindow, Layout) {
  TestMachine machine;
  UpdaterWindows w;
  const TFUpdater& u = w.updater();
  EXPECT_EQ(u.borderStyle(), gui::BorderStyle::Sizeable);
  EXPECT_EQ(u.borderIcons(), (gui::BorderIcons{false, false, false}));
  EXPECT_EQ(u.clientWidth(), 664);
  EXPECT_EQ(u.clientHeight(), 251);
  EXPECT_EQ(u.position(), gui::Position::Designed);
  EXPECT_EQ(u.left(), 0);
  EXPECT_EQ(u.top(), 0);
  EXPECT_EQ(u.font(), (gui::Font{u"Tahoma", 11}));
  EXPECT_EQ(u.colour(), gui::Colour::ButtonFace);

  struct Row {
    gui::Component* control;
    gui::Component* parent;
    gui::Bounds bounds;
    gui::Align align;
    int tabOrder;
  };
  const Row rows[] = {
      {u.Memo, nullptr, {0, 0, 664, 216}, gui::Align::Client, 0},      // 1
      {u.Panel1, nullptr, {0, 216, 664, 35}, gui::Align::Bottom, 1},  // 2
      {u.BOK, u.Panel1, {585, 4, 75, 27}, gui::Align::Right, 0},     // 3
      {u.BRetry, u.Panel1, {504, 4, 75, 27}, gui::Align::None, 1},   // 4
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    EXPECT_EQ(rows[i].control->parent(), rows[i].parent);
    EXPECT_EQ(rows[i].control->bounds(), rows[i].bounds);
    EXPECT_EQ(rows[i].control->align(), rows[i].align);
    EXPECT_EQ(rows[i].control->tabOrder(), rows[i].tabOrder);
  }
  EXPECT_EQ(u.Memo->scrollBars(), gui::ScrollBars::Vertical);
  EXPECT_TRUE(u.Memo->wordWrap());
  EXPECT_FALSE(u.Memo->readOnly());
}

// The log is the memo's lines: what the updater appends and what a user types
// there is what gets saved.
TEST(UpdaterWindow, LogIsTheMemosLines) {
  TestMachine machine;
  UpdaterWindows w;
  FUpdater->AddLog(u"Source     : C:\\Neu\\");
  FUpdater->AddLog(u"");
  EXPECT_EQ(FUpdater->Memo->lines(), (std::vector<Str>{u"Source     : C:\\Neu\\", u""}));
  FUpdater->show();
  w.act("set FUpdater.Memo getippt");
  const Str path = machine.scratch() + u"update.txt";
  FUpdater->SaveLog(path);
  EXPECT_EQ(test::readTestFile(path), "getippt\r\n");
}

// No close button: a user cannot close it through the caption bar.
TEST(UpdaterWindow, CaptionBarCannotCloseIt) {
  TestMachine machine;
  UpdaterWindows w;
  FUpdater->show();
  w.take();
  w.act("close FUpdater");
  EXPECT_EQ(w.take(), (std::vector<std::string>{"ignored \"close FUpdater: the window has no close button\""}));
  EXPECT_TRUE(FUpdater->visible());
  EXPECT_FALSE(w.app().terminated());
}

}  // namespace
}  // namespace orvel
