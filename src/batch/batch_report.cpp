#include "batch/batch_report.h"

#include <cmath>
#include <cstdio>

#include "batch/batch_progress.h"
#include "batch/utf8_sequence.h"

namespace quenlow {

namespace {

// A JSON string of a file name. Names are bytes; JSON is UTF-8: a byte that
// does not belong to a well-formed UTF-8 sequence is written \udcXX, XX
// its value (80 to ff). Well-formed UTF-8 never holds those code points, so
// the escape is undone without doubt: Python's json and os.fsencode (its
// "surrogateescape") give back the very bytes.
std::string JsonString(const std::string& text) {
  std::string json = "\"";
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size;) {
    const unsigned char c = bytes[i];
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      json += escaped;
      ++i;
    } else if (c < 0x80) {
      json += static_cast<char>(c);
      ++i;
    } else {
      char32_t code = 0;
      const std::size_t length = Utf8SequenceAt(text, i, code);
      if (length > 0) {
        json.append(text, i, length);
        i += length;
      } else {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\udc%02x", static_cast<unsigned>(c));
        json += escaped;
        ++i;
      }
    }
  }
  return json + "\"";
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// Under a minute in seconds, then as a clock.
std::string WallTime(double seconds) {
  if (seconds >= 60) return ClockText(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

// A peak in dB with two places; null when there is none or it is not finite.
std::string PeakNumber(const std::optional<double>& peakDb) {
  if (!peakDb || !std::isfinite(*peakDb)) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", *peakDb);
  return text;
}

}  // namespace

const char* ResultName(FileResult result) {
  switch (result) {
    case FileResult::Done: return "done";
    case FileResult::Skipped: return "skipped";
    case FileResult::Rejected: return "rejected";
    case FileResult::Failed: return "failed";
  }
  return "failed";
}

std::string JsonLine(const FileReport& report, const FilterIdentity* filter) {
  std::string outputs = "[";
  for (std::size_t i = 0; i < report.outputs.size(); ++i) {
    if (i > 0) outputs += ",";
    outputs += JsonString(report.outputs[i]);
  }
  outputs += "]";
  std::string warnings = "[";
  for (std::size_t i = 0; i < report.warnings.size(); ++i) {
    if (i > 0) warnings += ",";
    warnings += JsonString(report.warnings[i]);
  }
  warnings += "]";
  return "{\"input\":" + JsonString(report.input) + ",\"outputs\":" + outputs +
         ",\"frames\":" + std::to_string(report.frames) + ",\"seconds\":" + Number(report.seconds) +
         ",\"result\":\"" + ResultName(report.result) +
         "\",\"reason\":" + (report.reason.empty() ? std::string("null") : JsonString(report.reason)) +
         ",\"elapsed\":" + Number(report.elapsed) + ",\"warnings\":" + warnings +
         ",\"clipped\":{\"unfiltered\":" + std::to_string(report.clippedUnfiltered) +
         ",\"filtered\":" + std::to_string(report.clippedFiltered) + "},\"peak_db\":" + PeakNumber(report.peakDb) +
         ",\"filter\":" +
         (filter == nullptr ? std::string("null")
                            : "{\"path\":" + JsonString(filter->path) + ",\"found\":" + JsonString(filter->found) +
                                  ",\"sha256\":" + JsonString(filter->sha256) + "}") +
         "}";
}

std::string FolderJsonLine(const std::string& folder, const std::string& reason) {
  return "{\"folder\":" + JsonString(folder) + ",\"result\":\"unlisted\",\"reason\":" + JsonString(reason) + "}";
}

void BatchTotals::Add(const FileReport& report) {
  switch (report.result) {
    case FileResult::Done:
      ++done;
      audioSeconds += report.seconds;
      if (report.clippedFiltered > 0) ++clipped;
      break;
    case FileResult::Skipped: ++skipped; break;
    case FileResult::Rejected: ++rejected; break;
    case FileResult::Failed: ++failed; break;
  }
}

std::string SummaryLine(const BatchTotals& totals, double wallSeconds) {
  const int files = totals.done + totals.skipped + totals.rejected + totals.failed;
  char text[256];
  std::snprintf(text, sizeof text, "%d file%s: %d done, %d skipped, %d rejected, %d failed; %.2f hours of audio in %s",
                files, files == 1 ? "" : "s", totals.done, totals.skipped, totals.rejected, totals.failed,
                totals.audioSeconds / 3600.0, WallTime(wallSeconds).c_str());
  std::string line = text;
  if (totals.clipped > 0) {
    line += "; " + std::to_string(totals.clipped) + (totals.clipped == 1 ? " filtered output clips" : " filtered outputs clip");
  }
  if (totals.unlisted > 0) {
    line += "; " + std::to_string(totals.unlisted) + (totals.unlisted == 1 ? " folder" : " folders") +
            " could not be listed";
  }
  return line;
}

}  // namespace quenlow
