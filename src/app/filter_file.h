// Where the coefficient file is looked for.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quenlow {

inline constexpr const char* kFilterFileName = "recfilt.dat";

// The places recfilt.dat is looked for, in order: the current folder (a
// user's own filter wins), then the folder the program's data was installed
// to, found from the program's own location (<prefix>/share/quenlow beside
// <prefix>/bin, and the build tree has the same shape; on Windows the .exe's
// own folder).
std::vector<std::string> FilterFileCandidates();

// The first candidate that exists, if any.
std::optional<std::string> FindFilterFile();

}  // namespace quenlow
