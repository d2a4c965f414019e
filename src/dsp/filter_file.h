// Where the coefficient file is looked for.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quenlow {

inline constexpr const char* kFilterFileName = "recfilt.dat";

// The places recfilt.dat is looked for, in order: the current folder (a
// user's own filter wins), then the program's shared data folder found from
// its own location (<prefix>/share/quenlow beside <prefix>/bin; the build
// tree has the same shape).
std::vector<std::string> FilterFileCandidates();

// The first candidate that exists, if any.
std::optional<std::string> FindFilterFile();

}  // namespace quenlow
