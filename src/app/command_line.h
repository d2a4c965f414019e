// What the dialogue does with its command line. It takes no file name there
// (the name is typed at its prompt), only the two questions any command
// answers: --help (-h) and --version (-V).
#pragma once

#include <cstdio>
#include <optional>

namespace quenlow {

// Answers --help or --version on `out`, or says in one line on `err` why an
// argument is refused, and gives the exit status to end with (0, or 2 for a
// refused argument). Gives nothing when the dialogue is to start: no
// arguments at all.
std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace quenlow
