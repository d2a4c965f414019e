// How quenlow-listen keeps up: the renderer's share of one core at the
// recording's 4x rate, and how long a key takes to reach the device.
//   quenlow_bench_listen <input.wav> <recfilt.dat>
// The device is a stand-in that drains its buffer at the real rate, with
// the latency PortAudio's ALSA devices choose by default (about 46 ms); two
// threads render the filtered output meanwhile, as another job would.
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

#include "batch/batch_source.h"
#include "dsp/filter_taps.h"
#include "job/frame_range.h"
#include "listen/player.h"
#include "listen/sources.h"

namespace {

using namespace quenlow;
using namespace quenlow::listen;
using Clock = std::chrono::steady_clock;

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// A device that plays `rate` frames a second out of a buffer of `latency`
// seconds, and counts the times it found the buffer empty.
class PacedOutput : public AudioOutput {
 public:
  PacedOutput(std::int32_t rate, double latency) : rate_(rate), latency_(latency) {}
  bool Write(const std::uint8_t*, std::int64_t count) override {
    const auto now = Clock::now();
    if (!started_) {
      started_ = true;
      start_ = now;
    }
    double played = std::chrono::duration<double>(now - start_).count() * rate_;
    if (played > static_cast<double>(written_)) {
      // Underrun: the device played silence, and starts again from now.
      ++underruns_;
      start_ = now - std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(written_ / double(rate_)));
      played = static_cast<double>(written_);
    }
    written_ += count;
    const double ahead = (static_cast<double>(written_) - played) / rate_ - latency_;
    if (ahead > 0) std::this_thread::sleep_for(std::chrono::duration<double>(ahead));
    return true;
  }
  void Finish() override {}
  double LatencySeconds() const override { return latency_; }
  int Underruns() const { return underruns_; }

 private:
  std::int32_t rate_;
  double latency_;
  bool started_ = false;
  Clock::time_point start_;
  std::int64_t written_ = 0;
  int underruns_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quenlow_bench_listen <input.wav> <recfilt.dat>\n");
    return 2;
  }
  OpenedInput input = OpenBatchInput(argv[1]);
  const std::optional<FilterTaps> taps = LoadFilterTaps(argv[2]);
  if (!input.source || !taps) {
    std::fprintf(stderr, "cannot open the input or the taps\n");
    return 1;
  }
  SourceTimeline timeline(*input.source, input.sampleRate, input.frames, *taps);
  const std::int32_t rate = timeline.Rate();

  // The renderer alone: 20 s of the timeline in the player's blocks.
  constexpr std::int64_t kBlock = 2048;
  const std::int64_t seconds = std::min<std::int64_t>(20, timeline.Frames() / rate / 2);
  std::vector<std::uint8_t> block(kBlock * 6);
  double all = 0;
  std::printf("quenlow-listen, %d Hz: the renderer's share of one core\n", rate);
  for (const Source source : {Source::kUnfiltered, Source::kFiltered, Source::kOriginal}) {
    const std::int64_t first = timeline.Frames() / 4;
    const double cpu0 = ProcessCpuSeconds();
    for (std::int64_t f = first; f < first + seconds * rate; f += kBlock) timeline.Render(source, f, kBlock, block.data());
    const double share = (ProcessCpuSeconds() - cpu0) / static_cast<double>(seconds);
    all += share;
    std::printf("  %-10s %6.1f %%\n", std::string(SourceName(source)).c_str(), 100 * share);
  }
  std::printf("  all three (what the screen renders) %6.1f %% of one core\n", 100 * all);

  // Switching while another job's work takes both cores.
  std::atomic<bool> busy{true};
  std::vector<std::jthread> load;
  for (int i = 0; i < 2; ++i) {
    load.emplace_back([&, i] {
      OpenedInput other = OpenBatchInput(argv[1]);
      FrameRangeRenderer filtered(*other.source, other.frames, OutputPass::kFiltered, *taps);
      std::vector<std::uint8_t> out(6 << 14);
      std::int64_t f = i * 1000000;
      while (busy.load()) {
        filtered.Render(f % filtered.Frames(), static_cast<std::int64_t>(out.size() / 6), out.data());
        f += static_cast<std::int64_t>(out.size() / 6);
      }
    });
  }
  PacedOutput device(rate, 0.0464);
  std::vector<double> latencies;
  {
    Player player(timeline, device,
                  PlayPlan{{Source::kUnfiltered, Source::kFiltered, Source::kOriginal}, Source::kUnfiltered,
                           timeline.Frames() / 4, timeline.Frames() / 4 + 10 * rate, true});
    player.Start();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (int i = 0; i < 24; ++i) {
      player.Select(static_cast<Source>(i % 3));
      std::this_thread::sleep_for(std::chrono::milliseconds(400 + 37 * (i % 5)));
      if (const std::optional<double> latency = player.LastSwitchLatency()) latencies.push_back(*latency);
    }
    std::printf("  player: %lld times the device's thread found no block ready\n",
                static_cast<long long>(player.Starved()));
  }
  busy = false;
  load.clear();
  std::sort(latencies.begin(), latencies.end());
  if (latencies.empty()) return 1;
  std::printf("key to device, with two threads of another job running (device latency 46.4 ms):\n");
  std::printf("  median %.1f ms, worst %.1f ms of %zu switches (target < 60 ms); device underruns: %d\n",
              1000 * latencies[latencies.size() / 2], 1000 * latencies.back(), latencies.size(), device.Underruns());
  return 0;
}
