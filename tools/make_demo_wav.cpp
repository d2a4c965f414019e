// Writes the demo recording: a few seconds of music-like 16-bit stereo at
// 44100 Hz (a chord progression of plucked tones with a little stereo
// spread), so that `make demo` has something to play with.
//   make_demo_wav <output.wav> [seconds]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Frequencies of a I-vi-IV-V progression in C, one chord a second.
constexpr double kChords[4][3] = {
    {261.63, 329.63, 392.00}, {220.00, 261.63, 329.63}, {174.61, 220.00, 261.63}, {196.00, 246.94, 293.66}};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s output.wav [seconds]\n", argv[0]);
    return 2;
  }
  const double seconds = argc > 2 ? std::atof(argv[2]) : 6.0;
  constexpr int kRate = 44100;
  const auto frames = static_cast<std::uint32_t>(seconds * kRate);
  constexpr double kPi = 3.14159265358979323846;

  std::vector<std::uint8_t> file;
  file.insert(file.end(), {'R', 'I', 'F', 'F'});
  PutU32(file, 36 + frames * 4);
  file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutU32(file, 16);
  PutU16(file, 1);
  PutU16(file, 2);
  PutU32(file, kRate);
  PutU32(file, kRate * 4);
  PutU16(file, 4);
  PutU16(file, 16);
  file.insert(file.end(), {'d', 'a', 't', 'a'});
  PutU32(file, frames * 4);

  for (std::uint32_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const int chord = static_cast<int>(t) % 4;
    const double sinceChord = t - std::floor(t);
    double left = 0;
    double right = 0;
    for (int voice = 0; voice < 3; ++voice) {
      // Each voice plucks a quarter second after the one before.
      const double since = sinceChord - 0.125 * voice;
      if (since < 0) continue;
      const double f = kChords[chord][voice];
      const double envelope = std::exp(-3.0 * since);
      const double tone = std::sin(2 * kPi * f * t) + 0.35 * std::sin(4 * kPi * f * t) +
                          0.15 * std::sin(6 * kPi * f * t);
      const double pan = 0.3 + 0.2 * voice;
      left += envelope * tone * (1 - pan);
      right += envelope * tone * pan;
    }
    const double bass = std::sin(2 * kPi * kChords[chord][0] / 2 * t) * std::exp(-1.5 * sinceChord);
    left = 0.22 * (left + 0.6 * bass);
    right = 0.22 * (right + 0.6 * bass);
    PutU16(file, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(left * 32767))));
    PutU16(file, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(right * 32767))));
  }

  FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
