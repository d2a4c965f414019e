#include "batch/batch_report.h"

#include <cstdio>

#include "batch/batch_progress.h"

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
      // The length a lead byte announces, and the smallest code point that
      // length may carry (overlong forms are not UTF-8).
      const int length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
      bool valid = length > 0 && i + static_cast<std::size_t>(length) <= size;
      std::uint32_t code = length == 4 ? c & 0x07u : length == 3 ? c & 0x0Fu : c & 0x1Fu;
      for (int k = 1; valid && k < length; ++k) {
        const unsigned char next = bytes[i + static_cast<std::size_t>(k)];
        valid = (next & 0xC0) == 0x80;
        code = (code << 6) | (next & 0x3Fu);
      }
      valid = valid && !(length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) &&
              !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
      if (valid) {
        json.append(text, i, static_cast<std::size_t>(length));
        i += static_cast<std::size_t>(length);
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

std::string JsonLine(const FileReport& report) {
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
         ",\"elapsed\":" + Number(report.elapsed) + ",\"warnings\":" + warnings + "}";
}

std::string FolderJsonLine(const std::string& folder, const std::string& reason) {
  return "{\"folder\":" + JsonString(folder) + ",\"result\":\"unlisted\",\"reason\":" + JsonString(reason) + "}";
}

void BatchTotals::Add(const FileReport& report) {
  switch (report.result) {
    case FileResult::Done:
      ++done;
      audioSeconds += report.seconds;
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
  if (totals.unlisted > 0) {
    line += "; " + std::to_string(totals.unlisted) + (totals.unlisted == 1 ? " folder" : " folders") +
            " could not be listed";
  }
  return line;
}

}  // namespace quenlow
