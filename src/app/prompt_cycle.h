// The dialogue from the window set-up to the hand-over of an accepted file.
#pragma once

#include <string>

namespace quenlow {

// The existence test: the file opens for reading. It is never created, and a
// directory does not count.
bool FileExists(const std::string& name);

// The file a typed name stands for: the name as typed when that exists; else,
// when the whole name is enclosed in one pair of double quotes (Explorer's
// "Copy as path", a file dropped on the console window), the name inside them
// if that exists; else the name as typed, which then fails the test.
std::string NameToOpen(const std::string& typed);

// Sets up the terminal, asks for a file until one passes, shows its figures
// and runs the job. Returns the exit status; 2 when there is no terminal to
// talk to. The terminal is given back before it returns.
int RunPromptCycle();

}  // namespace quenlow
