#include "listen/listen_test_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "job/job.h"

namespace quenlow::listen::test {

namespace {
constexpr std::size_t kHeaderBytes = 44;
constexpr std::int64_t kFrameBytes = 6;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
}  // namespace

AlsaFileHome::AlsaFileHome() {
  Configure("pcm.!default { type file; slave.pcm \"null\"; file \"" + Recorded() + "\"; format \"raw\" }\n");
}

void AlsaFileHome::Configure(const std::string& asoundrc) const {
  folder_.Write(".asoundrc", Bytes(asoundrc.begin(), asoundrc.end()));
}

void WriteJobFiles(JobFiles& files, const std::vector<std::int16_t>& samples) {
  files.recording = quenlow::test::WriteRecording(files.folder, "take.wav", samples);
  JobOptions options;
  options.filterFile = kSuppliedFilter;
  if (!ProcessRecording(files.recording.path, files.recording.info, files.recording.frames, options)) return;
  files.unfiltered = quenlow::test::ReadWholeFile(files.folder.Path("take QLW unfiltered.wav"));
  files.filtered = quenlow::test::ReadWholeFile(files.folder.Path("take QLW filtered.wav"));
}

std::vector<std::int16_t> MusicLike(std::size_t frames, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 1500.0);
  std::vector<std::int16_t> samples(2 * frames);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i / 2) / 44100.0;
    const double tone = 12000.0 * std::sin(2 * 3.14159265358979 * (440.0 + 2200.0 * (i % 2)) * t) +
                        6000.0 * std::sin(2 * 3.14159265358979 * 9000.0 * t);
    samples[i] = static_cast<std::int16_t>(std::clamp(tone + noise(random), -32768.0, 32767.0));
  }
  return samples;
}

Bytes FileFrames(const Bytes& file, std::int64_t first, std::int64_t count) {
  if (file.size() < kHeaderBytes) return Bytes(static_cast<std::size_t>(count * kFrameBytes), 0);
  return RawFrames(Bytes(file.begin() + kHeaderBytes, file.end()), first, count);
}

Bytes RawFrames(const Bytes& raw, std::int64_t first, std::int64_t count) {
  Bytes frames(static_cast<std::size_t>(count * kFrameBytes), 0);
  const auto held = static_cast<std::int64_t>(raw.size()) / kFrameBytes;
  for (std::int64_t f = std::max<std::int64_t>(first, 0); f < std::min(first + count, held); ++f) {
    std::copy_n(raw.begin() + f * kFrameBytes, kFrameBytes, frames.begin() + (f - first) * kFrameBytes);
  }
  return frames;
}

Run RunListen(const std::string& home, const std::string& arguments, const std::string& environment) {
  const std::string out = home + "/run.out";
  const std::string err = home + "/run.err";
  // No leak check for the player's runs: see AlsaFileHome::Environment.
  const std::string command = "HOME=" + home + " ASAN_OPTIONS=detect_leaks=0 " + environment + " " + QUENLOW_LISTEN_BINARY + " " + arguments + " >" + out + " 2>" + err +
                              " </dev/null";
  const int raw = std::system(command.c_str());
  Run run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadText(out);
  run.err = ReadText(err);
  return run;
}

}  // namespace quenlow::listen::test
