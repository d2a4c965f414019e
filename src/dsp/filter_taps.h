// The reconstruction filter's coefficients, read from a text file of numeric
// fields separated by commas or carriage-return line ends.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quenlow {

inline constexpr int TapCount = 215;
using FilterTaps = std::array<double, TapCount>;

// What reading a coefficient text noticed beside the values: signs that the
// file is not what its author meant. They change no tap.
struct TapTextFindings {
  int fieldsRead = 0;          // fields found before the text ended, at most TapCount
  bool bareLineFeeds = false;  // a field took in a line feed with no carriage return before it
  bool byteOrderMark = false;  // the text starts with the UTF-8 byte order mark
};

// Reads the first TapCount fields of the text; missing fields give 0 and
// anything after the last field is never looked at. Linear in the length of
// the part read, with no copy of any field.
FilterTaps ParseFilterTaps(std::string_view text, TapTextFindings* findings = nullptr);

// The value of one field's text: a decimal number (18 significant digits
// kept, scaled by a power of ten in extended precision), an integer written
// "&H...", "&O..." or "&B...", or 0 where no number is written.
double ConvertTapField(std::string_view field);

// Reads the taps from the file at path, in chunks, no further than the fields
// need. Nothing when the path does not name a readable regular file.
std::optional<FilterTaps> LoadFilterTaps(const std::string& path, TapTextFindings* findings = nullptr);

}  // namespace quenlow
