#include "app/dialogue_messages.h"

#include <cmath>
#include <cstdio>

#include "app/output_refusal_text.h"
#include "dsp/filter_taps.h"
#include "job/output_levels.h"
#include "job/write_failure_words.h"

namespace quenlow {
namespace {

std::string Boxed(const std::string& text) { return " " + text + "  "; }

// 3360 as "3,360".
std::string GroupedCount(std::int64_t count) {
  std::string digits = std::to_string(count);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

// "+0.64 dB"; a peak that is not finite (a filter that is not) as "+inf dB".
std::string PeakText(double peak) {
  const double decibels = PeakDecibels(OutputLevels{0, peak});
  if (!std::isfinite(decibels)) return decibels > 0 ? "+inf dB" : "-inf dB";
  char text[32];
  std::snprintf(text, sizeof text, "%+.2f dB", decibels);
  return text;
}

std::string SourceText(const SourceFailure& failure) {
  const std::string& name = failure.name;
  switch (failure.problem) {
    case SourceProblem::kCannotOpen:
      return name + " cannot be read: " + platform::ErrorText(failure.error);
    case SourceProblem::kCannotRead:
      if (!failure.detail.empty()) return name + " cannot be read: " + failure.detail;
      if (failure.error != 0) return name + " cannot be read: " + platform::ErrorText(failure.error);
      return name + " cannot be read";
    case SourceProblem::kCannotDecode:
      return name + " cannot be decoded past frame " + std::to_string(failure.frame) + ": " + failure.detail;
    case SourceProblem::kTooLong:
      return name + " is longer than any output file can hold";
    case SourceProblem::kChanged:
      return name + " changed while it was being read: the outputs were not written";
    case SourceProblem::kNone:
      break;
  }
  return name + " cannot be read";
}

std::string DoubtText(const std::string& path, const FilterFileCheck& check) {
  const std::string all = std::to_string(TapCount);
  const std::string read = std::to_string(check.numbersRead);
  switch (check.doubt) {
    case FilterDoubt::kLineFeedsOnly:
      return " " + path + " uses LF line ends: only " + read + " of " + all + " numbers " +
             (check.numbersRead == 1 ? "was" : "were") + " read  ";
    case FilterDoubt::kTooFewNumbers:
      return " " + path + " holds only " + read + " of " + all + " numbers: the rest are taken as 0  ";
    case FilterDoubt::kNotFinite:
      return " " + path + ": tap " + std::to_string(check.tap) + " is not a finite number: the filtered file clips  ";
    case FilterDoubt::kAllZero:
      return " " + path + ": all " + all + " taps are 0: the filtered file holds dither only  ";
    case FilterDoubt::kByteOrderMark:
      return " " + path + " starts with a UTF-8 byte order mark: number 1 reads as 0  ";
    case FilterDoubt::kNone:
      break;
  }
  return {};
}

}  // namespace

std::string DialogueClippingText(const OutputLevels& filtered) {
  const std::string samples = GroupedCount(filtered.clipped) + (filtered.clipped == 1 ? " sample" : " samples");
  return " The filtered file clips in " + samples + " (peak " + PeakText(filtered.peak) +
         " before clipping): the filter overshoots on this loud recording  ";
}

std::string DialogueText(WavRejection rejection) {
  switch (rejection) {
    case WavRejection::kNotWave: return " This is not a Wave file  ";
    case WavRejection::kNotPcm: return "This is not a PCM format Wave file  ";
    case WavRejection::kNotStereo: return "This is not a stereo file  ";
    case WavRejection::kNot16Bit: return "This is not a 16-bit file  ";
    case WavRejection::kWrongRate: return "This is not an Fs=44.1 or 48kHz file  ";
    case WavRejection::kCutShort: return "This Wave file is damaged or cut short  ";
    case WavRejection::kIncomplete: return "This Wave file lacks its fmt or data chunk  ";
    case WavRejection::kNone: break;
  }
  return {};
}

std::string DialogueText(const JobNote& note) {
  switch (note.kind) {
    case JobNoteKind::kNoFilterFile:
      return " " + note.path + " not found: the filtered file will hold dither only  ";
    case JobNoteKind::kFilterUnreadable:
      return " " + note.path + " cannot be read: the filtered file will hold dither only  ";
    case JobNoteKind::kFilterDoubtful:
      return DoubtText(note.path, note.filter);
    case JobNoteKind::kOutputBlocked:
      return DialogueRefusalText(note.refusal);
    case JobNoteKind::kInputFailed:
      return Boxed(SourceText(note.input));
    case JobNoteKind::kNotEnoughMemory:
      return " Not enough memory for this recording  ";
    case JobNoteKind::kWriteFailed:
      return Boxed(CouldNotWrite(note.write));
    case JobNoteKind::kOutputsNotPlaced:
      return Boxed(CouldNotWrite(note.write) + ": nothing was replaced");
  }
  return {};
}

}  // namespace quenlow
