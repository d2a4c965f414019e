// The reconstruction filter's coefficients, read from a text file of numeric
// fields separated by commas or carriage-return line ends.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenlow {

inline constexpr int TapCount = 215;
using FilterTaps = std::array<double, TapCount>;

// How one field of the text was taken. Lines count from 1; a line ends at a
// line feed, a carriage return with a line feed, or a carriage return alone.
struct TapFieldNote {
  int firstLine = 0;
  int lastLine = 0;
  std::string text;  // the field as written, at most kNoteTextLimit characters of it
  bool textShortened = false;
  bool quoted = false;
  bool holdsNumber = false;  // without a digit the tap is 0
  std::string ignored;       // what followed the number's end, blanks trimmed, shortened likewise

  // Lines that ended in a bare line feed ran together into this field.
  bool Merged() const { return lastLine > firstLine; }
  bool Cut() const { return !ignored.empty(); }
};

inline constexpr std::size_t kNoteTextLimit = 80;

// What the reading of a coefficient text found, beside the taps themselves.
struct FilterTapsReport {
  std::vector<TapFieldNote> fields;  // one for each field read, in tap order
  int bareLineFeeds = 0;             // line feeds without a carriage return before them
  int firstBareLineFeedLine = 0;
  int endMarkLine = 0;     // the line of a 1A character that ended the fields, or 0
  int unreadTextLine = 0;  // where text after the last field read begins, or 0
  bool byteOrderMark = false;  // the text starts with the UTF-8 byte order mark

  int FieldsRead() const { return static_cast<int>(fields.size()); }
};

// Reads the first TapCount fields of the text; missing fields give 0 and
// anything after the last field is never looked at. Linear in the length of
// the part read, with no copy of any field. With a report, the same reading
// also notes how each field was taken, and looks past the last field only to
// say whether text follows it.
FilterTaps ParseFilterTaps(std::string_view text, FilterTapsReport* report = nullptr);

// The value of one field's text: a decimal number (18 significant digits
// kept, scaled by a power of ten in extended precision), an integer written
// "&H...", "&O..." or "&B...", or 0 where no number is written.
double ConvertTapField(std::string_view field);

// Reads the taps from the file at path, in chunks, no further than the fields
// need. Nothing when the path does not name a readable regular file.
std::optional<FilterTaps> LoadFilterTaps(const std::string& path, FilterTapsReport* report = nullptr);

}  // namespace quenlow
