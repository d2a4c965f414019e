// The dialogue's fixed screens: banner, prompt, message box, information
// block, working notice and completion rows. Plain numbers in, nothing of
// audio known here.
#pragma once

#include <cstdint>
#include <string>

namespace quenlow::console {

// Takes the terminal and dresses the window. Returns false, having written
// nothing to the terminal, when standard input or output is not a terminal or
// the terminal cannot be used; `error` then says why in one line.
bool SetUpWindow(std::string& error);
// Gives the terminal back as it was. Safe to call more than once.
void RestoreTerminal();

void DrawStartScreen();
std::string PromptFileName();
void ShowError(const std::string& message);
void ShowNote(const std::string& message);
void ShowFileData(int channelCount, std::int64_t sampleRate, std::int64_t frameCount, double durationSeconds);

// The job's rows: the working notice, and the completion rows with the bell.
void ShowWorking();
void ShowFinished(double elapsedSeconds);
void WaitForKey();

}  // namespace quenlow::console
