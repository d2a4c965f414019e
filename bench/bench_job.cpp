// Times the job the program runs, and what it is measured against.
//   quenlow_bench job <input.wav> <recfilt.dat>
//       runs the job on the input (outputs beside it); prints its seconds,
//       the input's frame count and the peak resident size; then both passes
//       again into memory alone: their seconds and the number of values the
//       filtered pass recomputed exactly
//   quenlow_bench progress <input.wav> <recfilt.dat>
//       runs the job without and with quenlow-batch's progress line drawn
//       (into /dev/null, as on a terminal), by turns; prints the best
//       seconds of each
//   quenlow_bench floor <first.wav> <second.wav> <folder>
//       writes the two files' bytes again from memory into the folder, as the
//       job's writer does (flushed to disk before the rename); prints seconds
//   quenlow_bench reference <input.wav> <recfilt.dat> <frames>
//       runs the whole-array reference chain on the input's first frames;
//       prints seconds per input frame
// Each prints "key value" lines for the script to read.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/job.h"
#include "batch/batch_progress.h"
#include "dsp/filter_taps.h"
#include "dsp/fast_filter_kernel.h"
#include "dsp/filtered_pass.h"
#include "dsp/oversampler.h"
#include "dsp/quantiser.h"
#include "dsp/reconstruction_filter.h"
#include "dsp/signal_chain.h"
#include "dsp/unfiltered_pass.h"
#include "wav/wav_reader.h"
#include "wav/wav_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Peak resident set of this process, from /proc/self/status.
long PeakResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6)) * 1024;
  }
  return -1;
}

struct Input {
  quenlow::WavFormatInfo info;
  std::int64_t frames = 0;
};

std::optional<Input> OpenInput(const std::string& path) {
  const quenlow::WavHeaderResult header = quenlow::ReadWavHeader(path);
  if (!header.info) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), header.message.c_str());
    return std::nullopt;
  }
  return Input{*header.info, quenlow::SampleFrameCount(*header.info)};
}

int RunJob(const std::string& inputPath, const std::string& tapsPath) {
  const std::optional<Input> input = OpenInput(inputPath);
  if (!input) return 1;
  quenlow::JobOptions options;
  options.filterFile = tapsPath;
  options.tell = [](const std::string& message) { std::fprintf(stderr, "job: %s\n", message.c_str()); };
  const Clock::time_point start = Clock::now();
  const bool ok = quenlow::ProcessRecording(inputPath, input->info, input->frames, options);
  const double seconds = SecondsSince(start);
  const long peak = PeakResidentBytes();
  if (!ok) return 1;
  std::printf("job_seconds %.3f\ninput_frames %lld\npeak_rss_bytes %ld\n", seconds,
              static_cast<long long>(input->frames), peak);

  // Both passes again, into memory only: the chain's own time without the
  // files, and the recomputations (the job keeps no statistics).
  const std::optional<std::vector<std::int16_t>> samples =
      quenlow::ReadSampleBlock(inputPath, input->info, input->frames);
  const std::optional<quenlow::FilterTaps> taps = quenlow::LoadFilterTaps(tapsPath);
  if (!samples || !taps) return 1;
  const quenlow::SignalInput signal{samples->data(), input->frames};
  constexpr std::int64_t kPiece = std::int64_t{1} << 17;
  std::vector<std::uint8_t> piece(kPiece * quenlow::kPackedFrameBytes);
  const Clock::time_point chainStart = Clock::now();
  quenlow::UnfilteredPass unfiltered(signal, quenlow::UniformSource{});
  for (std::int64_t first = 0; first < quenlow::UnfilteredFrameCount(input->frames); first += kPiece) {
    unfiltered.Produce(first, std::min(kPiece, quenlow::UnfilteredFrameCount(input->frames) - first), piece.data());
  }
  quenlow::FilteredPass pass(signal, *taps, quenlow::FilteredPassStart(quenlow::UniformSource{}, input->frames));
  const std::int64_t total = quenlow::FilteredFrameCount(input->frames);
  for (std::int64_t first = 0; first < total; first += kPiece) {
    pass.Produce(first, std::min(kPiece, total - first), piece.data());
  }
  std::printf("chain_seconds %.3f\nkernel %s\nexact_recomputations %lld\nfiltered_values %lld\n",
              SecondsSince(chainStart), quenlow::SelectPhaseKernel().name.c_str(),
              static_cast<long long>(pass.ExactRecomputations()), static_cast<long long>(2 * total));
  return 0;
}

// The job's seconds, with quenlow-batch's progress line drawn or not; the
// outputs are removed afterwards, so that runs can follow one another.
std::optional<double> TimeJob(const std::string& inputPath, const std::string& tapsPath, const Input& input,
                              std::FILE* progressOut) {
  const double seconds = quenlow::DurationSeconds(input.info, input.frames);
  quenlow::BatchProgress progress(quenlow::BatchProgress::Mode::Live, progressOut, 1, seconds);
  quenlow::JobOptions options;
  options.filterFile = tapsPath;
  if (progressOut != nullptr) {
    options.progress = [&progress](std::int64_t done, std::int64_t total) { progress.Update(done, total); };
  }
  const Clock::time_point start = Clock::now();
  if (progressOut != nullptr) progress.StartFile(1, inputPath, seconds, true);
  const bool ok = quenlow::ProcessRecording(inputPath, input.info, input.frames, options);
  if (progressOut != nullptr) progress.EndFile("done", "", false);
  const double elapsed = SecondsSince(start);
  std::remove(quenlow::OutputFileName(inputPath, quenlow::kUnfilteredSuffix).c_str());
  std::remove(quenlow::OutputFileName(inputPath, quenlow::kFilteredSuffix).c_str());
  if (!ok) return std::nullopt;
  return elapsed;
}

// The job without and with the progress line, by turns, three times each:
// the best of each, so that the disk's moods weigh on both alike.
int RunJobWithProgress(const std::string& inputPath, const std::string& tapsPath) {
  const std::optional<Input> input = OpenInput(inputPath);
  if (!input) return 1;
  std::FILE* nowhere = std::fopen("/dev/null", "w");
  if (nowhere == nullptr) return 1;
  double without = 1e300, with = 1e300;
  for (int round = 0; round < 3; ++round) {
    const std::optional<double> plain = TimeJob(inputPath, tapsPath, *input, nullptr);
    const std::optional<double> drawn = TimeJob(inputPath, tapsPath, *input, nowhere);
    if (!plain || !drawn) return 1;
    without = std::min(without, *plain);
    with = std::min(with, *drawn);
  }
  std::fclose(nowhere);
  std::printf("plain_job_seconds %.3f\nprogress_job_seconds %.3f\n", without, with);
  return 0;
}

std::optional<std::vector<std::uint8_t>> ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int RunFloor(const std::string& first, const std::string& second, const std::string& folder) {
  std::vector<std::vector<std::uint8_t>> files;
  for (const std::string& path : {first, second}) {
    std::optional<std::vector<std::uint8_t>> bytes = ReadWhole(path);
    if (!bytes || bytes->size() < 44) {
      std::fprintf(stderr, "%s: cannot read\n", path.c_str());
      return 1;
    }
    files.push_back(std::move(*bytes));
  }
  const Clock::time_point start = Clock::now();
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::vector<std::uint8_t>& bytes = files[i];
    const std::int64_t frames = static_cast<std::int64_t>(bytes.size() - 44) / quenlow::kPackedFrameBytes;
    quenlow::OutputWavWriter writer(folder + "/floor" + std::to_string(i) + ".wav", 2, 176400, frames);
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    for (std::size_t at = 44; at < bytes.size(); at += kPiece) {
      writer.Append(bytes.data() + at, std::min(kPiece, bytes.size() - at));
    }
    if (!writer.Finish().ok) return 1;
  }
  std::printf("floor_seconds %.3f\n", SecondsSince(start));
  return 0;
}

int RunReference(const std::string& inputPath, const std::string& tapsPath, std::int64_t frames) {
  std::optional<Input> input = OpenInput(inputPath);
  if (!input) return 1;
  frames = std::min(frames, input->frames);
  const std::optional<std::vector<std::int16_t>> samples = quenlow::ReadSampleBlock(inputPath, input->info, frames);
  const std::optional<quenlow::FilterTaps> taps = quenlow::LoadFilterTaps(tapsPath);
  if (!samples || !taps) return 1;
  const Clock::time_point start = Clock::now();
  quenlow::UniformSource source;
  const quenlow::StereoChannels channels = quenlow::SplitChannels(*samples);
  const std::vector<std::int16_t> left = quenlow::HoldSamples(channels.left, quenlow::OversamplingRatio);
  const std::vector<std::int16_t> right = quenlow::HoldSamples(channels.right, quenlow::OversamplingRatio);
  const quenlow::PackedSampleBlock unfiltered = quenlow::QuantiseHeld(left, right, source);
  const quenlow::FilteredChannels filtered = quenlow::ConvolveHeld(left, right, *taps);
  const quenlow::PackedSampleBlock block = quenlow::QuantiseFiltered(filtered, source);
  const double seconds = SecondsSince(start);
  if (unfiltered.size() + block.size() != static_cast<std::size_t>(48 * frames + 1284)) return 1;
  std::printf("reference_frames %lld\nreference_seconds_per_frame %.9g\n", static_cast<long long>(frames),
              seconds / static_cast<double>(frames));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "job" && argc == 4) return RunJob(argv[2], argv[3]);
  if (command == "progress" && argc == 4) return RunJobWithProgress(argv[2], argv[3]);
  if (command == "floor" && argc == 5) return RunFloor(argv[2], argv[3], argv[4]);
  if (command == "reference" && argc == 5) return RunReference(argv[2], argv[3], std::stoll(argv[4]));
  std::fprintf(stderr,
               "usage: %s job <input.wav> <recfilt.dat>\n"
               "       %s progress <input.wav> <recfilt.dat>\n"
               "       %s floor <first.wav> <second.wav> <folder>\n"
               "       %s reference <input.wav> <recfilt.dat> <frames>\n",
               argv[0], argv[0], argv[0], argv[0]);
  return 2;
}
