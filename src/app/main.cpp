// Quenlow: asks for a 16-bit stereo WAV file and writes what a converter
// without oversampling and without a reconstruction filter makes of it.
#include <cstdio>
#include <optional>

#include "app/command_line.h"
#include "app/prompt_cycle.h"
#include "app/interruption.h"

int main(int argc, char** argv) {
  if (const std::optional<int> status = quenlow::AnswerCommandLine(argc, argv, stdout, stderr)) return *status;
  // Ended by Ctrl+C or a closed terminal, the program leaves no half-written
  // output behind. This comes before any other thread is started.
  quenlow::WatchForInterruption();
  return quenlow::RunPromptCycle();
}
