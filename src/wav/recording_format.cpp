#include "wav/recording_format.h"

namespace quenlow {

WavRejection CheckRecordingFormat(bool integerPcm, int channelCount, int bitsPerSample, std::int64_t sampleRate) {
  if (!integerPcm) return WavRejection::kNotPcm;
  if (channelCount != 2) return WavRejection::kNotStereo;
  if (bitsPerSample != 16) return WavRejection::kNot16Bit;
  if (sampleRate != 44100 && sampleRate != 48000) return WavRejection::kWrongRate;
  return WavRejection::kNone;
}

}  // namespace quenlow
