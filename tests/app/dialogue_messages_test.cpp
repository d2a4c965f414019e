// The dialogue's words for every reason the lower libraries give: the texts
// its message box shows, every blank included.
#include "app/dialogue_messages.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace quenlow {
namespace {

TEST(DialogueMessages, WordsEachRejectionOfARecording) {
  const std::pair<WavRejection, const char*> cases[] = {
      {WavRejection::kNotWave, " This is not a Wave file  "},
      {WavRejection::kNotPcm, "This is not a PCM format Wave file  "},
      {WavRejection::kNotStereo, "This is not a stereo file  "},
      {WavRejection::kNot16Bit, "This is not a 16-bit file  "},
      {WavRejection::kWrongRate, "This is not an Fs=44.1 or 48kHz file  "},
      {WavRejection::kCutShort, "This Wave file is damaged or cut short  "},
      {WavRejection::kIncomplete, "This Wave file lacks its fmt or data chunk  "},
  };
  for (const auto& [rejection, text] : cases) EXPECT_EQ(DialogueText(rejection), text);
}

JobNote NoteOf(JobNoteKind kind, const std::string& path) {
  JobNote note;
  note.kind = kind;
  note.path = path;
  return note;
}

JobNote Doubt(FilterDoubt doubt, int numbersRead, int tap = 0) {
  JobNote note = NoteOf(JobNoteKind::kFilterDoubtful, "f.dat");
  note.filter = {doubt, numbersRead, tap};
  return note;
}

JobNote Blocked(OutputRefusalReason reason, platform::SystemError error = 0) {
  JobNote note = NoteOf(JobNoteKind::kOutputBlocked, "a QLW filtered.wav");
  note.refusal = {reason, "a QLW filtered.wav", error};
  return note;
}

JobNote Input(SourceProblem problem, platform::SystemError error = 0) {
  JobNote note = NoteOf(JobNoteKind::kInputFailed, "in.wav");
  note.input = {problem, "in.wav", error, 0, {}};
  return note;
}

JobNote Write(WriteFailure failure, platform::SystemError error = 0) {
  JobNote note = NoteOf(JobNoteKind::kWriteFailed, "a QLW unfiltered.wav");
  note.write = {false, failure, "a QLW unfiltered.wav", error, 17, 18};
  return note;
}

JobNote Placing(platform::SystemError error) {
  JobNote note = Write(WriteFailure::kSystem, error);
  note.kind = JobNoteKind::kOutputsNotPlaced;
  return note;
}

TEST(DialogueMessages, WordsEachNoteOfTheJobWithItsFigures) {
  const std::pair<JobNote, std::string> cases[] = {
      {NoteOf(JobNoteKind::kNoFilterFile, "recfilt.dat"),
       " recfilt.dat not found: the filtered file will hold dither only  "},
      {NoteOf(JobNoteKind::kFilterUnreadable, "f.dat"), " f.dat cannot be read: the filtered file will hold dither only  "},
      {Doubt(FilterDoubt::kLineFeedsOnly, 1), " f.dat uses LF line ends: only 1 of 215 numbers was read  "},
      {Doubt(FilterDoubt::kLineFeedsOnly, 3), " f.dat uses LF line ends: only 3 of 215 numbers were read  "},
      {Doubt(FilterDoubt::kTooFewNumbers, 2), " f.dat holds only 2 of 215 numbers: the rest are taken as 0  "},
      {Doubt(FilterDoubt::kNotFinite, 215, 9), " f.dat: tap 9 is not a finite number: the filtered file clips  "},
      {Doubt(FilterDoubt::kAllZero, 215), " f.dat: all 215 taps are 0: the filtered file holds dither only  "},
      {Doubt(FilterDoubt::kByteOrderMark, 215), " f.dat starts with a UTF-8 byte order mark: number 1 reads as 0  "},
      {Blocked(OutputRefusalReason::WriteProtected), " a QLW filtered.wav is write-protected: nothing was written  "},
      {Blocked(OutputRefusalReason::IsFolder), " a QLW filtered.wav is a folder: nothing was written  "},
      {Blocked(OutputRefusalReason::Unknown, ENOTDIR),
       " Could not write a QLW filtered.wav: Not a directory: nothing was written  "},
      {Blocked(OutputRefusalReason::IsTheInput), " a QLW filtered.wav is the recording itself: nothing was written  "},
      {Input(SourceProblem::kCannotOpen, ENOENT), " in.wav cannot be read: No such file or directory  "},
      {Input(SourceProblem::kCannotRead), " in.wav cannot be read  "},
      {Input(SourceProblem::kTooLong), " in.wav is longer than any output file can hold  "},
      {Input(SourceProblem::kChanged), " in.wav changed while it was being read: the outputs were not written  "},
      {NoteOf(JobNoteKind::kNotEnoughMemory, ""), " Not enough memory for this recording  "},
      {Write(WriteFailure::kSystem, ENOSPC), " Could not write a QLW unfiltered.wav: No space left on device  "},
      {Write(WriteFailure::kTooFewBytes), " Could not write a QLW unfiltered.wav: only 17 of 18 sample bytes were given  "},
      {Write(WriteFailure::kFormatTooLarge), " Could not write a QLW unfiltered.wav: the format does not fit a WAV header  "},
      {Placing(EBUSY), " Could not write a QLW unfiltered.wav: Device or resource busy: nothing was replaced  "},
  };
  for (const auto& [note, text] : cases) EXPECT_EQ(DialogueText(note), text);
}

}  // namespace
}  // namespace quenlow
