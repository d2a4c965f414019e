// The few facts the program asks the system for.
// One implementation per system: system_facts_posix.cpp and
// system_facts_windows.cpp.
#pragma once

#include <string>

namespace quenlow::platform {

// Seconds on a clock that only moves forward: a job across midnight or a
// clock change still shows its real duration.
double MonotonicSeconds();

// The folder the program's own data files were installed to: on POSIX
// <prefix>/share/quenlow beside <prefix>/bin (the build tree has the same
// shape), on Windows the folder of the .exe. Empty when unknown.
std::string InstalledDataFolder();

// Where the user finds the program's documentation, as the banner names it:
// the manual page on POSIX, the README.txt beside the .exe on Windows.
const char* InstalledDocumentation();

}  // namespace quenlow::platform
