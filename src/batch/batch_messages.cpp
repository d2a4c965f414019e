#include "batch/batch_messages.h"

#include "batch/batch_refusal_text.h"
#include "dsp/filter_taps.h"
#include "job/write_failure_words.h"

namespace quenlow {
namespace {

std::string DoubtText(const std::string& path, const FilterFileCheck& check) {
  const std::string all = std::to_string(TapCount);
  const std::string read = std::to_string(check.numbersRead);
  switch (check.doubt) {
    case FilterDoubt::kLineFeedsOnly:
      return path + " uses LF line ends: only " + read + " of " + all + " numbers " +
             (check.numbersRead == 1 ? "was" : "were") + " read";
    case FilterDoubt::kTooFewNumbers:
      return path + " holds only " + read + " of " + all + " numbers: the rest are taken as 0";
    case FilterDoubt::kNotFinite:
      return path + ": tap " + std::to_string(check.tap) + " is not a finite number: the filtered file clips";
    case FilterDoubt::kAllZero:
      return path + ": all " + all + " taps are 0: the filtered file holds dither only";
    case FilterDoubt::kByteOrderMark:
      return path + " starts with a UTF-8 byte order mark: number 1 reads as 0";
    case FilterDoubt::kNone:
      break;
  }
  return {};
}

}  // namespace

std::string BatchText(WavRejection rejection) {
  switch (rejection) {
    case WavRejection::kNotWave: return "This is not a Wave file";
    case WavRejection::kNotPcm: return "This is not a PCM format Wave file";
    case WavRejection::kNotStereo: return "This is not a stereo file";
    case WavRejection::kNot16Bit: return "This is not a 16-bit file";
    case WavRejection::kWrongRate: return "This is not an Fs=44.1 or 48kHz file";
    case WavRejection::kCutShort: return "This Wave file is damaged or cut short";
    case WavRejection::kIncomplete: return "This Wave file lacks its fmt or data chunk";
    case WavRejection::kNone: break;
  }
  return {};
}

std::string BatchText(WavRejection rejection, const std::string& figure) {
  // A decoded file is no Wave file: its PCM sentence says so.
  const std::string sentence = rejection == WavRejection::kNotPcm ? "This is not a PCM file" : BatchText(rejection);
  return sentence + " (" + figure + ")";
}

// The batch's line names the file already: its reasons do not repeat it.
std::string BatchText(const SourceFailure& failure) {
  switch (failure.problem) {
    case SourceProblem::kCannotOpen:
      return "cannot be read: " + platform::ErrorText(failure.error);
    case SourceProblem::kCannotRead:
      if (!failure.detail.empty()) return "cannot be read from frame " + std::to_string(failure.frame) + ": " + failure.detail;
      if (failure.error != 0) return "cannot be read: " + platform::ErrorText(failure.error);
      return "cannot be read";
    case SourceProblem::kCannotDecode:
      return "cannot be decoded past frame " + std::to_string(failure.frame) + ": " + failure.detail;
    case SourceProblem::kTooLong:
      return "is longer than any output file can hold";
    case SourceProblem::kChanged:
      return "changed while it was being read: the outputs were not written";
    case SourceProblem::kNone:
      break;
  }
  return "cannot be read";
}

std::string BatchText(const JobNote& note) {
  switch (note.kind) {
    case JobNoteKind::kNoFilterFile:
      return note.path + " not found: the filtered file will hold dither only";
    case JobNoteKind::kFilterUnreadable:
      return note.path + " cannot be read: the filtered file will hold dither only";
    case JobNoteKind::kFilterDoubtful:
      return DoubtText(note.path, note.filter);
    case JobNoteKind::kOutputBlocked:
      return BatchRefusalText(note.refusal);
    case JobNoteKind::kInputFailed:
      return BatchText(note.input);
    case JobNoteKind::kNotEnoughMemory:
      return "Not enough memory for this recording";
    case JobNoteKind::kWriteFailed:
      return CouldNotWrite(note.write);
    case JobNoteKind::kOutputsNotPlaced:
      return CouldNotWrite(note.write) + ": nothing was replaced";
  }
  return {};
}

}  // namespace quenlow
