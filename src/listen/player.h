// Playing the timeline: a rendering thread runs ahead of the device, filling
// a queue with blocks that hold every source the session may switch to, at
// the same frames; a playing thread mixes them through the crossfader and
// hands them to the device. A switch thus waits for the device's buffer
// alone, never for rendering.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "listen/audio_device.h"
#include "listen/crossfade.h"
#include "listen/sources.h"

namespace quenlow::listen {

struct PlayPlan {
  std::vector<Source> rendered;  // the sources that can be switched to
  Source first = Source::kUnfiltered;
  std::int64_t from = 0;         // timeline frames
  std::int64_t to = 0;           // end; from..to is the loop when `loop`
  bool loop = true;              // false: play from..to once, then stop
};

class Player {
 public:
  Player(SourceTimeline& timeline, AudioOutput& output, const PlayPlan& plan);
  ~Player();  // stops both threads
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  void Start();

  // From the listener's thread.
  void Select(Source source);
  void SetPaused(bool paused);
  bool Paused() const { return paused_.load(); }
  // Playing goes on from `frame` (kept inside the loop).
  void Seek(std::int64_t frame);
  void SetLoop(std::int64_t from, std::int64_t to);
  std::pair<std::int64_t, std::int64_t> Loop() const;

  // The timeline frame last handed to the device.
  std::int64_t Position() const { return position_.load(); }
  Source Playing() const { return static_cast<Source>(playing_.load()); }
  // Played to the end once (a plan without loop), or stopped by a failure.
  bool Finished() const { return finished_.load(); }
  bool Failed() const { return failed_.load(); }
  std::string Failure() const;
  // Seconds from the last Select to the moment its fade is heard: until the
  // fade's first frame was handed to the device, plus the device's latency.
  std::optional<double> LastSwitchLatency() const;
  // Times the playing thread found no block ready (the device then waited).
  std::int64_t Starved() const { return starved_.load(); }

  // Waits until Finished(); true when it played to the end.
  bool WaitUntilFinished();

 private:
  struct Block {
    std::uint64_t generation = 0;
    std::int64_t first = 0;
    std::int64_t count = 0;  // 0: the end of a plan without loop
    std::array<std::vector<std::uint8_t>, kSourceCount> frames;
  };
  void RenderLoop();
  void PlayLoop();
  std::optional<Block> NextBlock();
  void Fail(const std::string& why);

  SourceTimeline& timeline_;
  AudioOutput& output_;
  PlayPlan plan_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Block> queue_;
  std::vector<Block> spare_;
  std::uint64_t generation_ = 0;  // bumped by a seek or a new loop: older blocks are dropped
  std::int64_t renderNext_ = 0;
  std::int64_t loopFrom_ = 0;
  std::int64_t loopTo_ = 0;
  bool stop_ = false;
  std::optional<Source> requested_;
  std::chrono::steady_clock::time_point requestedAt_;
  std::optional<double> switchLatency_;
  std::string failure_;

  std::atomic<bool> paused_{false};
  std::atomic<std::int64_t> position_{0};
  std::atomic<int> playing_{0};
  std::atomic<bool> finished_{false};
  std::atomic<bool> failed_{false};
  std::atomic<std::int64_t> starved_{0};
  std::jthread renderer_;
  std::jthread player_;
};

}  // namespace quenlow::listen
