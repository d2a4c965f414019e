// Feeds arbitrary text to the coefficient reader, whole and field by field:
// a hand-edited file must never crash it or make it read past the text.
// Every field's value must be the one the whole-file reader finds for it, and
// asking for a report of the reading must not change a single tap, and what
// the report notices (fields read, bare line feeds, a byte order mark) must
// agree with the text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "dsp/filter_taps.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

bool SameValue(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const quenlow::FilterTaps taps = quenlow::ParseFilterTaps(text);
  quenlow::FilterTapsReport report;
  const quenlow::FilterTaps reported = quenlow::ParseFilterTaps(text, &report);
  for (int i = 0; i < quenlow::TapCount; ++i) {
    Require(SameValue(taps[static_cast<std::size_t>(i)], reported[static_cast<std::size_t>(i)]));
  }
  Require(report.FieldsRead() >= 0 && report.FieldsRead() <= quenlow::TapCount);
  for (int i = report.FieldsRead(); i < quenlow::TapCount; ++i) Require(SameValue(taps[static_cast<std::size_t>(i)], 0.0));
  for (const quenlow::TapFieldNote& note : report.fields) {
    Require(note.firstLine >= 1 && note.lastLine >= note.firstLine && note.text.size() <= quenlow::kNoteTextLimit);
  }
  Require(report.byteOrderMark == text.starts_with("\xEF\xBB\xBF"));
  if (text.find('\n') == std::string_view::npos) Require(report.bareLineFeeds == 0);

  // A text without quotes, carriage returns, line feeds, tabs, end-of-file
  // marks or leading blanks splits at its commas alone: each field then reads
  // as ConvertTapField reads it.
  bool plain = true;
  for (char c : text) {
    if (c == '"' || c == '\r' || c == '\n' || c == '\t' || c == '\x1A' || c == ' ') plain = false;
  }
  const double single = quenlow::ConvertTapField(text);
  (void)single;
  if (!plain) return 0;
  std::size_t start = 0;
  for (int i = 0; i < quenlow::TapCount && start < text.size(); ++i) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    Require(SameValue(taps[static_cast<std::size_t>(i)], quenlow::ConvertTapField(text.substr(start, comma - start))));
    start = comma + 1;
  }
  return 0;
}
