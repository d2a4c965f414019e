// The dialogue from the window set-up to the hand-over of an accepted file.
#pragma once

#include <string>

namespace quenlow {

// The existence test: the file opens for reading. It is never created, and a
// directory does not count.
bool FileExists(const std::string& name);

// Sets up the terminal, asks for a file until one passes, shows its figures
// and runs the job. Returns the exit status; 2 when there is no terminal to
// talk to. The terminal is given back before it returns.
int RunPromptCycle();

}  // namespace quenlow
