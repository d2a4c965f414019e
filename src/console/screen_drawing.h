// The dialogue's screens drawn on a given console; screens.h draws them on
// the terminal's console.
#pragma once

#include <cstdint>
#include <string>

#include "console/console.h"

namespace quenlow::console {

inline constexpr const char* kErrorTitle = " ERROR";
inline constexpr const char* kNoteTitle = " NOTE";

void DrawStartScreen(Console& console);
std::string PromptFileName(Console& console);
void ShowError(Console& console, const std::string& message);
// Something the user should know that is no fault: no beep.
void ShowNote(Console& console, const std::string& message);
void ShowFileData(Console& console, int channelCount, std::int64_t sampleRate,
                  std::int64_t frameCount, double durationSeconds);
void ShowWorking(Console& console);
void ShowFinished(Console& console, double elapsedSeconds);

}  // namespace quenlow::console
