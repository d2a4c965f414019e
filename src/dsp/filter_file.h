// Where the coefficient file is looked for.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dsp/filter_taps.h"

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

// Why a coefficient file that was read is plainly not what was meant: too
// few numbers (line feeds without carriage returns run lines together), a
// tap that is not a finite number, all taps 0, or a leading byte order mark
// that hides the first number.
enum class FilterDoubt { kNone, kLineFeedsOnly, kTooFewNumbers, kNotFinite, kAllZero, kByteOrderMark };

struct FilterFileCheck {
  FilterDoubt doubt = FilterDoubt::kNone;
  int numbersRead = 0;  // of TapCount
  int tap = 0;          // the first tap that is not a finite number, from 1
};

// The first of those doubts that holds, in that order; kNone when none does.
FilterFileCheck CheckFilterFile(const FilterTaps& taps, const FilterTapsReport& report);

}  // namespace quenlow
