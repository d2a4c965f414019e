#include "listen/player.h"

#include <algorithm>

#include "dsp/signal_chain.h"
#include "platform/thread_priority.h"

namespace quenlow::listen {
namespace {

// Frames rendered at a time (about 12 ms at 176.4 kHz), and how many blocks
// the renderer keeps ready: about three quarters of a second, room for any
// hiccup of a busy machine.
constexpr std::int64_t kBlockFrames = 2048;
constexpr std::size_t kQueuedBlocks = 64;
// Frames handed to the device at a time; a switch waits for at most one.
constexpr std::int64_t kWriteFrames = 256;

}  // namespace

Player::Player(SourceTimeline& timeline, AudioOutput& output, const PlayPlan& plan)
    : timeline_(timeline), output_(output), plan_(plan) {
  loopFrom_ = std::clamp<std::int64_t>(plan.from, 0, timeline.Frames());
  loopTo_ = std::clamp<std::int64_t>(plan.to, loopFrom_, timeline.Frames());
  renderNext_ = loopFrom_;
  position_ = loopFrom_;
  playing_ = static_cast<int>(plan.first);
}

Player::~Player() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (renderer_.joinable()) renderer_.join();
  if (player_.joinable()) player_.join();
}

void Player::Start() {
  renderer_ = std::jthread([this] { RenderLoop(); });
  player_ = std::jthread([this] { PlayLoop(); });
}

void Player::Select(Source source) {
  // Only what is rendered can be played: a blind test renders A and B alone.
  if (std::find(plan_.rendered.begin(), plan_.rendered.end(), source) == plan_.rendered.end()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  requested_ = source;
  requestedAt_ = std::chrono::steady_clock::now();
}

void Player::SetPaused(bool paused) { paused_ = paused; }

void Player::Seek(std::int64_t frame) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    renderNext_ = std::clamp(frame, loopFrom_, std::max(loopFrom_, loopTo_ - 1));
    ++generation_;
    queue_.clear();
  }
  changed_.notify_all();
}

void Player::SetLoop(std::int64_t from, std::int64_t to) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    loopFrom_ = std::clamp<std::int64_t>(from, 0, timeline_.Frames());
    loopTo_ = std::clamp<std::int64_t>(to, loopFrom_ + 1, timeline_.Frames());
    // What is queued may lie outside the new loop: render again from where
    // the device is, or from the loop's start.
    const std::int64_t at = position_.load();
    renderNext_ = at >= loopFrom_ && at < loopTo_ ? at : loopFrom_;
    ++generation_;
    queue_.clear();
  }
  changed_.notify_all();
}

std::pair<std::int64_t, std::int64_t> Player::Loop() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {loopFrom_, loopTo_};
}

std::string Player::Failure() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

std::optional<double> Player::LastSwitchLatency() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return switchLatency_;
}

void Player::Fail(const std::string& why) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failure_.empty()) failure_ = why;
    stop_ = true;
  }
  failed_ = true;
  finished_ = true;
  changed_.notify_all();
}

bool Player::WaitUntilFinished() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return finished_.load(); });
  return !failed_.load();
}

void Player::RenderLoop() {
  Block block;
  for (;;) {
    std::int64_t first = 0;
    std::int64_t count = 0;
    std::uint64_t generation = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || queue_.size() < kQueuedBlocks; });
      if (stop_) return;
      if (renderNext_ >= loopTo_) {
        if (!plan_.loop) {
          // The end of a single run: one empty block says so, then nothing.
          queue_.push_back(Block{generation_, loopTo_, 0, {}});
          changed_.notify_all();
          changed_.wait(lock, [&] { return stop_ || renderNext_ < loopTo_; });
          continue;
        }
        renderNext_ = loopFrom_;
      }
      first = renderNext_;
      count = std::min(kBlockFrames, loopTo_ - first);
      generation = generation_;
      renderNext_ += count;
    }
    block.generation = generation;
    block.first = first;
    block.count = count;
    for (const Source source : plan_.rendered) {
      std::vector<std::uint8_t>& frames = block.frames[static_cast<std::size_t>(source)];
      frames.resize(static_cast<std::size_t>(count) * kPackedFrameBytes);
      if (!timeline_.Render(source, first, count, frames.data())) {
        Fail("the recording could not be read");
        return;
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // A seek while this block was rendered has made it stale.
      if (generation == generation_) queue_.push_back(std::move(block));
      block = Block{};
    }
    changed_.notify_all();
  }
}

std::optional<Player::Block> Player::NextBlock() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (queue_.empty() && !stop_) starved_.fetch_add(1);
  changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
  if (stop_) return std::nullopt;
  Block block = std::move(queue_.front());
  queue_.pop_front();
  changed_.notify_all();
  return block;
}

void Player::PlayLoop() {
  // The device's buffer is short (the switch waits for it): this thread must
  // not wait behind other work when the device has room.
  platform::RaiseThreadPriorityForAudio();
  Crossfader fader(timeline_.Rate(), plan_.first);
  std::vector<std::uint8_t> mixed(static_cast<std::size_t>(kWriteFrames) * kPackedFrameBytes);
  const std::vector<std::uint8_t> silence(mixed.size(), 0);
  for (;;) {
    std::optional<Block> block = NextBlock();
    if (!block) return;
    if (block->count == 0) {
      // Some device paths (ALSA's PulseAudio plugin) let go of the last
      // buffer's worth unplayed when the stream closes: silence behind the
      // stretch carries it through.
      const auto tail = static_cast<std::int64_t>((output_.LatencySeconds() + 0.1) * timeline_.Rate());
      for (std::int64_t done = 0; done < tail; done += kWriteFrames) {
        if (!output_.Write(silence.data(), kWriteFrames)) return Fail("the sound device stopped");
      }
      output_.Finish();
      finished_ = true;
      changed_.notify_all();
      return;
    }
    for (std::int64_t done = 0; done < block->count;) {
      std::optional<std::chrono::steady_clock::time_point> askedAt;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return;
        // A seek drops the rest of a block rendered before it.
        if (block->generation != generation_) break;
        if (requested_) {
          fader.Request(*requested_);
          askedAt = requestedAt_;
          requested_.reset();
        }
      }
      if (paused_.load()) {
        // Silence keeps the device's clock running, so resuming is instant;
        // no faster than the device plays it, should the device not wait.
        const auto before = std::chrono::steady_clock::now();
        if (!output_.Write(silence.data(), kWriteFrames)) return Fail("the sound device stopped");
        const std::chrono::duration<double> written(static_cast<double>(kWriteFrames) / timeline_.Rate());
        if (std::chrono::steady_clock::now() - before < written / 2) std::this_thread::sleep_for(written);
        continue;
      }
      const std::int64_t n = std::min(kWriteFrames, block->count - done);
      std::array<const std::uint8_t*, kSourceCount> at{};
      for (std::size_t s = 0; s < at.size(); ++s) {
        if (!block->frames[s].empty()) at[s] = block->frames[s].data() + done * kPackedFrameBytes;
      }
      fader.Mix(at, n, mixed.data());
      playing_ = static_cast<int>(fader.Playing());
      if (!output_.Write(mixed.data(), n)) return Fail("the sound device stopped");
      if (askedAt) {
        const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - *askedAt).count();
        std::lock_guard<std::mutex> lock(mutex_);
        switchLatency_ = waited + output_.LatencySeconds();
      }
      done += n;
      position_ = block->first + done;
    }
  }
}

}  // namespace quenlow::listen
