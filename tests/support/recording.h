// A 16-bit stereo recording written to a scratch folder and accepted by the
// reader, for tests that run the job on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wav/wav_reader.h"
#include "support/wav_test_files.h"

namespace quenlow::test {

struct Recording {
  std::string path;
  WavFormatInfo info;
  std::int64_t frames = 0;
  std::vector<std::int16_t> samples;
};

// Little-endian 16-bit values, as a WAV file holds them.
Bytes SamplesAsBytes(const std::vector<std::int16_t>& samples);

// A canonical file of the interleaved samples, read back through the header
// reader as the dialogue would.
Recording WriteRecording(const ScratchFolder& folder, const std::string& name,
                         const std::vector<std::int16_t>& samples, std::uint32_t sampleRate = 44100);

// Where two output files (a 44-byte header, then 24-bit stereo frames) first
// differ, as text; empty when their bytes agree.
std::string FirstOutputDifference(const Bytes& got, const Bytes& expected);

}  // namespace quenlow::test
