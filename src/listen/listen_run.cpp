#include "listen/listen_run.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>

#include "batch/batch_source.h"
#include "console/terminal.h"
#include "digest/sha256.h"
#include "dsp/filter_file.h"
#include "dsp/filter_taps.h"
#include "listen/blind_test.h"
#include "listen/listen_screen.h"
#include "listen/player.h"
#include "listen/resampled_output.h"
#include "listen/sources.h"

namespace quenlow::listen {
namespace {

void Say(const std::string& message) { std::fprintf(stderr, "quenlow-listen: %s\n", message.c_str()); }

std::string DeviceProblemWords(const DeviceProblem& problem, std::int32_t rate) {
  switch (problem.kind) {
    case DeviceProblem::Kind::kNone: return "";
    case DeviceProblem::Kind::kNoSoundSystem: return "no sound system could be opened: " + problem.detail;
    case DeviceProblem::Kind::kNoSuchDevice:
      return "no sound device is named \"" + problem.deviceName + "\" (quenlow-listen --list-devices shows them)";
    case DeviceProblem::Kind::kAmbiguousName:
      return "\"" + problem.deviceName + "\" names more than one device: " + problem.detail;
    case DeviceProblem::Kind::kRateUnsupported: return RateMessage(problem.deviceName, rate, problem.bestRate);
    case DeviceProblem::Kind::kOpenFailed:
      return "the device \"" + problem.deviceName + "\" could not be opened: " + problem.detail;
  }
  return "";
}

// A coefficient file that is plainly not what was meant, in the listener's
// words: the filtered source is then not what the listener expects.
std::string FilterDoubtWords(const std::string& path, const FilterFileCheck& check) {
  const std::string read = std::to_string(check.numbersRead) + " of " + std::to_string(TapCount);
  switch (check.doubt) {
    case FilterDoubt::kLineFeedsOnly: return path + " uses LF line ends: only " + read + " numbers were read";
    case FilterDoubt::kTooFewNumbers: return path + " holds only " + read + " numbers: the rest are taken as 0";
    case FilterDoubt::kNotFinite: return path + ": tap " + std::to_string(check.tap) + " is not a finite number";
    case FilterDoubt::kAllZero: return path + ": all taps are 0: the filtered source is dither only";
    case FilterDoubt::kByteOrderMark: return path + " starts with a byte order mark: its first number reads as 0";
    case FilterDoubt::kNone: break;
  }
  return "";
}

int ListDevices() {
  DeviceProblem problem;
  std::unique_ptr<AudioSystem> system = AudioSystem::Open(problem);
  if (!system) {
    Say(DeviceProblemWords(problem, 0));
    return 1;
  }
  for (const DeviceListing& device : system->OutputDevices()) {
    std::printf("%s%s\n    %s; %s\n", device.isDefault ? "* " : "  ", device.name.c_str(), device.hostApi.c_str(),
                PathWords(device.path).c_str());
  }
  std::printf("(* the default device)\n");
  return 0;
}

// Everything a session plays from, opened and checked.
struct Setup {
  OpenedInput input;
  std::string filterPath;
  FilterTaps taps{};
  std::unique_ptr<AudioSystem> system;
  DeviceListing device;
  std::unique_ptr<AudioOutput> output;
  std::unique_ptr<SourceTimeline> timeline;
  std::int64_t from = 0;
  std::int64_t to = 0;
  std::int32_t deviceRate = 0;  // the outputs' rate, unless the device plays another
  std::string note;
};

// The device at the fastest rate it offers, the stream resampled to it: the
// listener asked to go on.
std::unique_ptr<AudioOutput> OpenResampled(Setup& s, const DeviceListing& device, std::int32_t rate,
                                           DeviceProblem& problem) {
  const std::int32_t bestRate = problem.bestRate;
  if (bestRate <= 0) return nullptr;
  std::unique_ptr<AudioOutput> inner = s.system->OpenOutput(device, bestRate, problem, true);
  if (!inner) return nullptr;
  auto resampled = std::make_unique<ResampledOutput>(std::move(inner), rate, bestRate);
  if (!resampled->Ok()) return nullptr;
  s.deviceRate = bestRate;
  Say("playing at " + std::to_string(bestRate) + " Hz, resampled: the device cannot play " + std::to_string(rate) +
      " Hz." + (bestRate <= 48000 ? " At this rate the unfiltered and the filtered source sound the same." : ""));
  return resampled;
}

int Prepare(const ListenOptions& options, Setup& s) {
  s.input = OpenBatchInput(options.recording);
  if (!s.input.source) {
    Say(options.recording + ": " + s.input.rejection);
    return 1;
  }
  std::optional<std::string> path =
      options.filterFile.empty() ? FindFilterFile() : std::optional<std::string>(options.filterFile);
  if (!path) {
    Say("no coefficient file (recfilt.dat) was found; name one with --filter");
    return 2;
  }
  FilterTapsReport report;
  const std::optional<FilterTaps> taps = LoadFilterTaps(*path, &report);
  if (!taps) {
    Say(*path + " cannot be read");
    return 2;
  }
  s.filterPath = *path;
  s.taps = *taps;
  if (const std::string doubt = FilterDoubtWords(*path, CheckFilterFile(*taps, report)); !doubt.empty()) Say(doubt);
  if (!TapsAreSymmetric(s.taps)) {
    s.note = "The filter is not symmetric: the filtered source is shifted back by " +
             std::to_string(kFilteredDelayFrames) + " samples, the centre of its taps.";
  }

  const std::int32_t rate = s.input.sampleRate * 4;
  const std::int64_t frames = s.input.frames * 4;
  s.from = std::llround(options.from.value_or(0.0) * rate);
  s.to = options.to ? std::min<std::int64_t>(std::llround(*options.to * rate), frames) : frames;
  if (s.from >= frames || s.to <= s.from) {
    Say("--from lies beyond the recording's end (" + ClockText(static_cast<double>(frames) / rate) + ")");
    return 2;
  }

  DeviceProblem problem;
  s.system = AudioSystem::Open(problem);
  std::optional<DeviceListing> device = s.system ? s.system->FindDevice(options.device, problem) : std::nullopt;
  if (device) s.output = s.system->OpenOutput(*device, rate, problem);
  s.deviceRate = rate;
  if (!s.output && options.anyRate && problem.kind == DeviceProblem::Kind::kRateUnsupported) {
    s.output = OpenResampled(s, *device, rate, problem);
  }
  if (!s.output) {
    if (problem.kind == DeviceProblem::Kind::kRateUnsupported) {
      std::fprintf(stderr, "%s\n", DeviceProblemWords(problem, rate).c_str());
      return 3;
    }
    Say(DeviceProblemWords(problem, rate));
    return 1;
  }
  s.device = *device;
  s.timeline = std::make_unique<SourceTimeline>(*s.input.source, s.input.sampleRate, s.input.frames, s.taps);
  return 0;
}

// The local time in strftime's `format`.
std::string LocalTimeText(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[64];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

std::string LocalTime() { return LocalTimeText("%Y-%m-%d %H:%M:%S"); }

std::string DefaultLogName() { return LocalTimeText("quenlow-listen-abx-%Y%m%d-%H%M%S.txt"); }

// The screen's loop: keys in, the screen redrawn ten times a second.
class Session {
 public:
  Session(console::Console& console, Setup& setup, Player& player, BlindTest* test, const ListenOptions& options)
      : console_(console), s_(setup), player_(player), test_(test), options_(options) {}

  int Run() {
    trialStart_ = Now();
    for (;;) {
      Draw();
      const std::optional<console::Key> key = console_.Backend().ReadKey(100);
      if (player_.Failed()) {
        finalNote_ = player_.Failure();
        return 1;
      }
      if (!key || key->kind != console::Key::Kind::Character) continue;
      if (key->ch == U'q' || key->ch == U'Q' || key->ch == 0x1B) {
        // A test left before its end keeps the trials answered so far.
        if (test_ && !test_->Done() && test_->Current() > 0) WriteLog();
        return 0;
      }
      if (!Common(key->ch)) test_ ? BlindKey(key->ch) : OpenKey(key->ch);
    }
  }

  std::string FinalNote() const { return finalNote_; }

 private:
  static double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }
  double Seconds(std::int64_t frame) const { return static_cast<double>(frame) / s_.timeline->Rate(); }

  // Keys of both modes: pause, seeking, the loop.
  bool Common(char32_t key) {
    const std::int64_t step = 5 * std::int64_t{s_.timeline->Rate()};
    const auto [from, to] = player_.Loop();
    switch (key) {
      case U' ': player_.SetPaused(!player_.Paused()); return true;
      case U',': case U'<': player_.Seek(player_.Position() - step); return true;
      case U'.': case U'>': player_.Seek(player_.Position() + step); return true;
      case U'[': player_.SetLoop(player_.Position(), to); return true;
      case U']': player_.SetLoop(from, player_.Position()); return true;
      case U'\\': player_.SetLoop(0, s_.timeline->Frames()); return true;
      default: return false;
    }
  }

  void OpenKey(char32_t key) {
    if (key == U'1' || key == U'u') player_.Select(Source::kUnfiltered);
    if (key == U'2' || key == U'f') player_.Select(Source::kFiltered);
    if (key == U'3' || key == U'o') player_.Select(Source::kOriginal);
  }

  void BlindKey(char32_t key) {
    auto play = [&](char letter) {
      letter_ = letter;
      player_.Select(letter == 'A' ? test_->A() : letter == 'B' ? test_->B() : test_->X());
    };
    if (key == U'a' || key == U'A') play('A');
    if (key == U'b' || key == U'B') play('B');
    if (test_->Done()) return;
    if (key == U'x' || key == U'X') play('X');
    if (key == U'1' || key == U'2') {
      test_->Answer(key == U'1', Now() - trialStart_);
      trialStart_ = Now();
      if (test_->Done()) {
        WriteLog();
        if (letter_ == 'X') play('A');
      } else if (letter_ == 'X') {
        // The new trial's X, with the same fade as any switch.
        play('X');
      }
    }
  }

  void WriteLog() {
    const std::string name = options_.log.empty() ? DefaultLogName() : options_.log;
    BlindTestSetting setting{options_.recording, Sha256OfFile(options_.recording).value_or("(unreadable)"),
                             s_.filterPath, Sha256OfFile(s_.filterPath).value_or("(unreadable)"), s_.device.name,
                             s_.timeline->Rate(), started_};
    std::ofstream log(name, std::ios::binary);
    log << BlindTestLog(setting, *test_);
    log.close();
    logNote_ = log ? "The log is in " + name : "The log could not be written to " + name;
    finalNote_ = ScoreLine(test_->Correct(), test_->Current()) + "\n" + logNote_;
  }

  void Draw() {
    ScreenState state;
    state.recording = options_.recording;
    state.device = s_.device.name + " (" + PathWords(s_.device.path) + ")";
    state.rate = s_.deviceRate;
    state.resampledFrom = s_.deviceRate != s_.timeline->Rate() ? s_.timeline->Rate() : 0;
    state.paused = player_.Paused();
    state.position = Seconds(player_.Position());
    state.length = Seconds(s_.timeline->Frames());
    const auto [from, to] = player_.Loop();
    state.loopFrom = Seconds(from);
    state.loopTo = Seconds(to);
    state.note = s_.note;
    if (test_) {
      state.playing = std::string(1, letter_);
      if (test_->Done()) {
        state.result = ScoreLine(test_->Correct(), test_->Count());
        state.note = logNote_;
      } else {
        state.trial = test_->Current() + 1;
        state.trials = test_->Count();
      }
    } else {
      state.playing = std::string(SourceName(player_.Playing()));
    }
    DrawListenScreen(console_, state);
  }

  console::Console& console_;
  Setup& s_;
  Player& player_;
  BlindTest* test_;
  const ListenOptions& options_;
  char letter_ = 'A';
  double trialStart_ = 0;
  std::string started_ = LocalTime();
  std::string logNote_;
  std::string finalNote_;
};

int PlayOnce(Setup& s, Source source) {
  Player player(*s.timeline, *s.output, PlayPlan{{source}, source, s.from, s.to, false});
  player.Start();
  if (!player.WaitUntilFinished()) {
    Say(player.Failure());
    return 1;
  }
  return 0;
}

int RunScreen(Setup& s, const ListenOptions& options) {
  std::optional<BlindTest> test;
  PlayPlan plan{{Source::kUnfiltered, Source::kFiltered, Source::kOriginal}, Source::kUnfiltered, s.from, s.to, true};
  if (options.abxA) {
    test.emplace(*options.abxA, *options.abxB, options.trials);
    if (!test->Draw()) {
      Say("the system's random source gave nothing: a blind test cannot be run");
      return 1;
    }
    plan.rendered = {*options.abxA, *options.abxB};
    plan.first = *options.abxA;
  }
  std::string error;
  console::ConsoleBackend* backend = console::OpenTerminal(error);
  if (!backend) {
    Say(error);
    return 1;
  }
  int status = 0;
  std::string note;
  {
    console::Console console(*backend);
    console.SetColors(7, 0);
    console.ClearScreen();
    Player player(*s.timeline, *s.output, plan);
    player.Start();
    Session session(console, s, player, test ? &*test : nullptr, options);
    status = session.Run();
    note = session.FinalNote();
  }
  console::CloseTerminal();
  if (!note.empty()) std::printf("%s\n", note.c_str());
  return status;
}

}  // namespace

std::string PathWords(DevicePath path) {
  switch (path) {
    case DevicePath::kUnchanged: return "a hardware device: the samples reach it unchanged";
    case DevicePath::kServer: return "a sound server or plugin: it may resample, mix or change the volume";
    case DevicePath::kJack: return "JACK: it plays at the server's own rate";
  }
  return "";
}

std::string RateMessage(const std::string& device, std::int32_t rate, std::int32_t bestRate) {
  std::string message = "The device \"" + device + "\" cannot play " + std::to_string(rate) + " Hz with 24 bits";
  if (bestRate > 0 && bestRate < rate) message += "; the fastest rate it offers is " + std::to_string(bestRate) + " Hz";
  message += ".\n";
  if (bestRate > 0 && bestRate < rate && bestRate <= 48000) {
    message += "At " + std::to_string(bestRate) +
               " Hz the unfiltered and the filtered source would sound the same: what tells them\n"
               "apart lies above 22 kHz, and that rate cannot carry it.\n";
  }
  message += "Choose a device that plays " + std::to_string(rate) +
             " Hz (quenlow-listen --list-devices shows them; an ALSA\nhw device plays what it is given), "
             "or add --any-rate to listen resampled all the same.";
  return message;
}

int RunListen(const ListenOptions& options) {
  if (options.listDevices) return ListDevices();
  Setup setup;
  if (const int status = Prepare(options, setup); status != 0) return status;
  if (options.play) return PlayOnce(setup, *options.play);
  return RunScreen(setup, options);
}

}  // namespace quenlow::listen
