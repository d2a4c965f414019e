// Quenlow: asks for a 16-bit stereo WAV file and writes what a converter
// without oversampling and without a reconstruction filter makes of it.
#include <cstdio>
#include <cstring>

#include "app/prompt_cycle.h"
#include "app/interruption.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
    std::puts("Usage: quenlow   (then type the name of a 16-bit stereo WAV file at the prompt)");
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("quenlow 1");
    return 0;
  }
  // Ended by Ctrl+C or a closed terminal, the program leaves no half-written
  // output behind. This comes before any other thread is started.
  quenlow::WatchForInterruption();
  return quenlow::RunPromptCycle();
}
