// What the job takes as a recording, and why a file is not one. The WAV
// reader checks its header against this rule; a program that decodes other
// formats (quenlow-batch, through libsndfile) checks the decoder's figures
// against the same rule.
#pragma once

#include <cstdint>

namespace quenlow {

// Why a file is not taken as a recording, in the order the checks run: the
// first that fails is the one given. Each program words it.
enum class WavRejection {
  kNone,
  kNotWave,     // no RIFF/WAVE form, or the file cannot be read at all
  kCutShort,    // a chunk runs past the end of the file before the audio
  kIncomplete,  // no format chunk and data chunk pair
  kNotPcm,      // the samples are not integer PCM
  kNotStereo,
  kNot16Bit,
  kWrongRate,   // neither 44100 nor 48000 Hz
};

// Integer PCM, two channels of 16 bits, at 44100 or 48000 Hz; checked in
// that order.
WavRejection CheckRecordingFormat(bool integerPcm, int channelCount, int bitsPerSample, std::int64_t sampleRate);

}  // namespace quenlow
