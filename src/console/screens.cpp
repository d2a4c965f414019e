#include "console/screens.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "console/console_tools.h"
#include "console/message_box.h"
#include "console/number_text.h"
#include "console/screen_drawing.h"
#include "console/terminal.h"
#include "platform/system_facts.h"

namespace quenlow::console {
namespace {

constexpr const char* kAuthorLine = "   by the Quenlow developers";
constexpr const char* kLabelIndent = "                               ";

std::unique_ptr<Console> terminalConsole;

// System menu command identifiers the window set-up removes.
constexpr int kRestoreItem = 0xF120;
constexpr int kSizeItem = 0xF000;
constexpr int kMaximiseItem = 0xF030;
constexpr int kApplicationIcon = 0x7F00;

void PrintRow(Console& console, const char* text) {
  console.PrintText(text);
  console.NewLine();
}

}  // namespace

bool SetUpWindow(std::string& error) {
  ConsoleBackend* backend = OpenTerminal(error);
  if (backend == nullptr) return false;
  terminalConsole = std::make_unique<Console>(*backend);
  SetActiveConsole(terminalConsole.get());

  std::int32_t toolsState = 0;
  InitConsoleTools(nullptr, 0, 0, 0, &toolsState, 0);
  ConsoleToolBar(0, 5);
  ConsoleTitle("Quenlow");
  ConsoleIcon(kApplicationIcon);
  for (int item : {kRestoreItem, 0, kSizeItem, -2, -1, kMaximiseItem}) DeleteWindowMenuItem(item);
  terminalConsole->SetColors(TextColors);
  terminalConsole->ClearScreen();
  Console80x(Console::kRows);
  ConsoleMove(32767, 32767);
  return true;
}

void RestoreTerminal() {
  SetActiveConsole(nullptr);
  CloseTerminal();
}

void DrawStartScreen(Console& console) {
  console.ClearScreen();
  console.SetColors(TextColors);
  console.HideCursor();
  console.NewLine();
  PrintRow(console, "   Quenlow v1");
  PrintRow(console, kAuthorLine);
  console.PrintText(std::string("   Documentation: ") + platform::InstalledDocumentation());
  for (int i = 0; i < 4; ++i) console.NewLine();
}

std::string PromptFileName(Console& console) {
  console.SetColors(LabelColors);
  const int row = console.CursorRow();
  PrintRow(console, "   Wave file to process?");
  console.SetColors(TextColors);
  console.MoveCursor(row, 32);
  std::string name = console.ReadLine();
  console.SetColors(LabelColors);
  return name;
}

void ShowError(Console& console, const std::string& message) {
  console.Beep();
  ShowMessageBox(console, message, kErrorTitle);
}

void ShowNote(Console& console, const std::string& message) { ShowMessageBox(console, message, kNoteTitle); }

void ShowFileData(Console& console, int channelCount, std::int64_t sampleRate,
                  std::int64_t frameCount, double durationSeconds) {
  console.NewLine();
  console.NewLine();
  console.SetColors(TextColors);
  console.PrintText(std::string(kLabelIndent) + "FILE DATA");
  console.NewLine();
  console.NewLine();
  console.SetColors(LabelColors);
  auto row = [&](const char* label, double value, int digits, const char* unit) {
    console.PrintText(std::string(kLabelIndent) + label);
    console.PrintNumber(value, digits);
    PrintRow(console, unit);
  };
  row("Channels    ", channelCount, 7, "");
  row("Sample rate ", static_cast<double>(sampleRate), 15, "Hz");
  row("Length      ", static_cast<double>(frameCount), 15, "samples");
  row("Duration    ", RoundToPlaces(durationSeconds, 2), 15, "seconds");
  for (int i = 0; i < 3; ++i) console.NewLine();
}

void ShowWorking(Console& console) {
  console.SetColors(LabelColors);
  PrintRow(console, "   Working...");
}

void ShowFinished(Console& console, double elapsedSeconds) {
  console.Beep();
  for (int i = 0; i < 5; ++i) console.NewLine();
  console.SetColors(TextColors);
  console.PrintText("   Job finished in");
  console.PrintNumber(RoundToPlaces(elapsedSeconds, 1), 15);
  PrintRow(console, "seconds");
  console.SetColors(LabelColors);
  PrintRow(console, "   press any key to quit");
  console.Backend().Flush();
}

// The same screens on the terminal's console; without one they do nothing.
void DrawStartScreen() {
  if (Console* c = ActiveConsole()) DrawStartScreen(*c);
}
std::string PromptFileName() {
  Console* c = ActiveConsole();
  return c ? PromptFileName(*c) : std::string();
}
void ShowError(const std::string& message) {
  if (Console* c = ActiveConsole()) ShowError(*c, message);
}
void ShowNote(const std::string& message) {
  if (Console* c = ActiveConsole()) ShowNote(*c, message);
}
void ShowFileData(int channelCount, std::int64_t sampleRate, std::int64_t frameCount,
                  double durationSeconds) {
  if (Console* c = ActiveConsole()) ShowFileData(*c, channelCount, sampleRate, frameCount, durationSeconds);
}
void ShowWorking() {
  if (Console* c = ActiveConsole()) {
    ShowWorking(*c);
    c->Backend().Flush();
  }
}
void ShowFinished(double elapsedSeconds) {
  if (Console* c = ActiveConsole()) ShowFinished(*c, elapsedSeconds);
}
void WaitForKey() {
  if (Console* c = ActiveConsole()) c->WaitForKey();
}

}  // namespace quenlow::console
