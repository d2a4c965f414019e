#include "console/screen_drawing.h"

#include <gtest/gtest.h>

#include "console/memory_backend.h"

namespace quenlow::console {
namespace {

struct Dialogue {
  MemoryBackend terminal;
  Console console{terminal};
  Dialogue() {
    console.SetColors(TextColors);
    console.ClearScreen();
  }
  std::string Row(int row) const { return console.RowText(row); }
};

TEST(Screens, DrawTheBannerAndThePromptRow) {
  Dialogue d;
  d.console.SetColors(LabelColors);  // as after a rejection
  DrawStartScreen(d.console);
  EXPECT_EQ(d.Row(1), FullRow(""));
  EXPECT_EQ(d.Row(2), FullRow("   Quenlow v1"));
  EXPECT_EQ(d.Row(3).substr(0, 4), "   b");
  EXPECT_EQ(d.Row(4).substr(0, 3), "   ");
  EXPECT_NE(d.Row(4)[3], ' ');
  EXPECT_EQ(d.console.CellAt(2, 4), (Cell{U'Q', 0, 15}));
  EXPECT_EQ(d.console.CursorRow(), 8);
  EXPECT_FALSE(d.console.CursorVisible());

  d.terminal.Type("take.wav");
  d.terminal.Press(Key::Kind::Enter);
  EXPECT_EQ(PromptFileName(d.console), "take.wav");
  EXPECT_EQ(d.Row(8), FullRow("   Wave file to process?       take.wav"));
  EXPECT_EQ(d.console.CellAt(8, 4), (Cell{U'W', 8, 15}));
  EXPECT_EQ(d.console.CellAt(8, 32), (Cell{U't', 0, 15}));
  EXPECT_EQ(d.console.CursorRow(), 9);
  EXPECT_EQ(d.console.Colors().foreground, LabelColors.foreground);
}

TEST(Screens, ShowTheFileDataBlock) {
  Dialogue d;
  DrawStartScreen(d.console);
  d.terminal.Type("a.wav");
  d.terminal.Press(Key::Kind::Enter);
  PromptFileName(d.console);
  ShowFileData(d.console, 2, 44100, 441000, 10.0);
  const std::string indent(31, ' ');
  EXPECT_EQ(d.Row(11), FullRow(indent + "FILE DATA"));
  EXPECT_EQ(d.Row(12), FullRow(""));
  EXPECT_EQ(d.Row(13), FullRow(indent + "Channels     2 "));
  EXPECT_EQ(d.Row(14), FullRow(indent + "Sample rate  44100 Hz"));
  EXPECT_EQ(d.Row(15), FullRow(indent + "Length       441000 samples"));
  EXPECT_EQ(d.Row(16), FullRow(indent + "Duration     10 seconds"));
  EXPECT_EQ(d.console.CellAt(11, 32), (Cell{U'F', 0, 15}));
  EXPECT_EQ(d.console.CellAt(14, 45), (Cell{U'4', 8, 15}));
  EXPECT_EQ(d.console.CursorRow(), 20);
  EXPECT_EQ(d.console.CursorColumn(), 1);
}

TEST(Screens, RoundTheDurationToTwoPlaces) {
  const struct {
    double seconds;
    const char* text;
  } cases[] = {{9.1875, " 9.19 "}, {0.5, " .5 "}, {0.0, " 0 "}, {0.125, " .12 "}, {0.375, " .38 "}};
  for (const auto& c : cases) {
    Dialogue d;
    d.console.MoveCursor(9, 1);
    ShowFileData(d.console, 2, 48000, 24000, c.seconds);
    EXPECT_EQ(d.Row(16), FullRow(std::string(31, ' ') + "Duration    " + c.text + "seconds"));
  }
}

TEST(Screens, PushTheBlockDownAfterAWrappedName) {
  Dialogue d;
  DrawStartScreen(d.console);
  d.terminal.Type(std::string(49, 'n'));
  d.terminal.Press(Key::Kind::Enter);
  PromptFileName(d.console);
  ShowFileData(d.console, 2, 44100, 0, 0.0);
  EXPECT_EQ(d.Row(12), FullRow(std::string(31, ' ') + "FILE DATA"));
  EXPECT_EQ(d.Row(16), FullRow(std::string(31, ' ') + "Length       0 samples"));
}

TEST(Screens, ShowWorkingAndTheCompletionRows) {
  Dialogue d;
  d.console.MoveCursor(20, 1);
  ShowWorking(d.console);
  ShowFinished(d.console, 12.34);
  EXPECT_EQ(d.terminal.bells, 1);
  EXPECT_EQ(d.Row(20), FullRow("   Working..."));
  EXPECT_EQ(d.console.CellAt(20, 4).foreground, 8);
  EXPECT_EQ(d.Row(26), FullRow("   Job finished in 12.3 seconds"));
  EXPECT_EQ(d.console.CellAt(26, 4).foreground, 0);
  EXPECT_EQ(d.Row(27), FullRow("   press any key to quit"));
  EXPECT_EQ(d.console.CellAt(27, 4).foreground, 8);
  EXPECT_EQ(d.console.CursorRow(), 28);
  EXPECT_EQ(d.Row(1), FullRow(""));  // nothing scrolled
}

TEST(Screens, BeepBeforeTheErrorBox) {
  Dialogue d;
  d.terminal.Press(Key::Kind::Enter);
  ShowError(d.console, " This is not a Wave file  ");
  EXPECT_EQ(d.terminal.bells, 1);
  EXPECT_TRUE(d.terminal.keys.empty());
}

}  // namespace
}  // namespace quenlow::console
