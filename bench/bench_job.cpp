// Times the job the program runs, and what it is measured against.
//   quenlow_bench job <input.wav> <recfilt.dat>
//       runs the job on the input (outputs beside it); prints its seconds,
//       its processor seconds, the input's frame count and the peak
//       resident size
//   quenlow_bench progress <input.wav> <recfilt.dat>
//       the same job with quenlow-batch's progress line drawn (into
//       /dev/null); prints its seconds
//   quenlow_bench chain <input.wav> <recfilt.dat>
//       both passes into memory alone, the input held whole: their seconds
//       and the number of values the filtered pass recomputed exactly
//   quenlow_bench read <input.wav>
//       reads the input once, piece by piece as each pass of the job does;
//       prints seconds
//   quenlow_bench reference <input.wav> <recfilt.dat> <frames>
//       runs the whole-array reference chain on the input's first frames;
//       prints seconds per input frame
// Each prints "key value" lines for the script to read.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "job/job.h"
#include "batch/batch_messages.h"
#include "batch/batch_progress.h"
#include "job/pass_stream.h"
#include "dsp/filter_taps.h"
#include "dsp/fast_filter_kernel.h"
#include "dsp/filtered_pass.h"
#include "dsp/oversampler.h"
#include "dsp/quantiser.h"
#include "dsp/reconstruction_filter.h"
#include "dsp/signal_chain.h"
#include "dsp/unfiltered_pass.h"
#include "wav/recording_reader.h"
#include "wav/wav_reader.h"

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

// Processor time of this process so far, all threads, user and system.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Input {
  quenlow::WavFormatInfo info;
  std::int64_t frames = 0;
};

std::optional<Input> OpenInput(const std::string& path) {
  const quenlow::WavHeaderResult header = quenlow::ReadWavHeader(path);
  if (!header.info) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), quenlow::BatchText(header.rejection).c_str());
    return std::nullopt;
  }
  return Input{*header.info, quenlow::SampleFrameCount(*header.info)};
}

// The first frames of the input, held whole, read as the job reads them.
std::optional<std::vector<std::int16_t>> HeldWhole(const std::string& path, const Input& input, std::int64_t frames) {
  quenlow::RecordingReader reader(path, input.info, frames);
  std::vector<std::int16_t> samples(2 * static_cast<std::size_t>(frames));
  if (!reader.Read(0, frames, samples.data())) return std::nullopt;
  return samples;
}

int RunJob(const std::string& inputPath, const std::string& tapsPath) {
  const std::optional<Input> input = OpenInput(inputPath);
  if (!input) return 1;
  quenlow::JobOptions options;
  options.filterFile = tapsPath;
  options.tell = [](const quenlow::JobNote& note) { std::fprintf(stderr, "job: %s\n", quenlow::BatchText(note).c_str()); };
  const Clock::time_point start = Clock::now();
  const bool ok = quenlow::ProcessRecording(inputPath, input->info, input->frames, options);
  const double seconds = SecondsSince(start);
  const long peak = PeakResidentBytes();
  if (!ok) return 1;
  std::printf("job_seconds %.3f\ncpu_seconds %.3f\ninput_frames %lld\npeak_rss_bytes %ld\n", seconds, CpuSeconds(),
              static_cast<long long>(input->frames), peak);
  return 0;
}

// The job with quenlow-batch's progress line drawn (into /dev/null, as on a
// terminal): it must take no longer than the job alone.
int RunJobWithProgress(const std::string& inputPath, const std::string& tapsPath) {
  const std::optional<Input> input = OpenInput(inputPath);
  if (!input) return 1;
  std::FILE* nowhere = std::fopen("/dev/null", "w");
  if (nowhere == nullptr) return 1;
  const double audioSeconds = quenlow::DurationSeconds(input->info, input->frames);
  quenlow::BatchProgress progress(quenlow::BatchProgress::Mode::Live, nowhere, 1, audioSeconds);
  quenlow::JobOptions options;
  options.filterFile = tapsPath;
  options.progress = [&progress](std::int64_t done, std::int64_t total) { progress.Update(done, total); };
  const Clock::time_point start = Clock::now();
  progress.StartFile(1, inputPath, audioSeconds, true);
  const bool ok = quenlow::ProcessRecording(inputPath, input->info, input->frames, options);
  progress.EndFile("done", "", false);
  const double seconds = SecondsSince(start);
  std::fclose(nowhere);
  if (!ok) return 1;
  std::printf("progress_job_seconds %.3f\n", seconds);
  return 0;
}

// Both passes into memory only: the chain's own time without the files, and
// the recomputations (the job keeps no statistics).
int RunChain(const std::string& inputPath, const std::string& tapsPath) {
  const std::optional<Input> input = OpenInput(inputPath);
  if (!input) return 1;
  const std::optional<std::vector<std::int16_t>> samples = HeldWhole(inputPath, *input, input->frames);
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

// One read of the whole input in the pieces a pass reads it in: what the
// job's second read costs.
int RunRead(const std::string& inputPath) {
  const std::optional<Input> input = OpenInput(inputPath);
  if (!input) return 1;
  const Clock::time_point start = Clock::now();
  quenlow::RecordingReader reader(inputPath, input->info, input->frames);
  constexpr std::int64_t kFrames = quenlow::kPieceFrames / quenlow::OversamplingRatio;
  std::vector<std::int16_t> window(2 * kFrames);
  for (std::int64_t first = 0; first < input->frames; first += kFrames) {
    if (!reader.Read(first, std::min(kFrames, input->frames - first), window.data())) return 1;
  }
  std::printf("read_seconds %.4f\n", SecondsSince(start));
  return 0;
}

int RunReference(const std::string& inputPath, const std::string& tapsPath, std::int64_t frames) {
  std::optional<Input> input = OpenInput(inputPath);
  if (!input) return 1;
  frames = std::min(frames, input->frames);
  const std::optional<std::vector<std::int16_t>> samples = HeldWhole(inputPath, *input, frames);
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
  if (command == "chain" && argc == 4) return RunChain(argv[2], argv[3]);
  if (command == "read" && argc == 3) return RunRead(argv[2]);
  if (command == "reference" && argc == 5) return RunReference(argv[2], argv[3], std::stoll(argv[4]));
  std::fprintf(stderr,
               "usage: %s job <input.wav> <recfilt.dat>\n"
               "       %s progress <input.wav> <recfilt.dat>\n"
               "       %s chain <input.wav> <recfilt.dat>\n"
               "       %s read <input.wav>\n"
               "       %s reference <input.wav> <recfilt.dat> <frames>\n",
               argv[0], argv[0], argv[0], argv[0], argv[0]);
  return 2;
}
