#include "batch/batch_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace quenlow {

namespace {

// Redraws a few times a second: often enough to look alive, seldom enough
// to cost nothing.
constexpr std::chrono::milliseconds kRedrawEvery{250};
constexpr int kBarWidth = 20;

int TerminalColumns(std::FILE* out) {
  winsize size{};
  if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

std::string Printed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string ClockText(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) return "-:--";
  const auto whole = static_cast<long long>(std::llround(seconds));
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

BatchProgress::BatchProgress(Mode mode, std::FILE* out, int fileCount, double batchAudioSeconds)
    : mode_(mode), out_(out), fileCount_(fileCount), batchAudioSeconds_(batchAudioSeconds) {}

void BatchProgress::StartFile(int number, const std::string& name, double audioSeconds, bool working) {
  number_ = number;
  name_ = name;
  audioSeconds_ = audioSeconds;
  fraction_ = 0;
  fileStart_ = Clock::now();
  if (mode_ == Mode::Live && working) Draw();
}

void BatchProgress::Update(std::int64_t done, std::int64_t total) {
  if (mode_ != Mode::Live || total <= 0) return;
  fraction_ = static_cast<double>(done) / static_cast<double>(total);
  const Clock::time_point now = Clock::now();
  if (now - lastDrawn_ < kRedrawEvery) return;
  Draw();
}

void BatchProgress::Draw() {
  lastDrawn_ = Clock::now();
  const double fileSeconds = std::chrono::duration<double>(lastDrawn_ - fileStart_).count();
  const double batchSeconds = std::chrono::duration<double>(lastDrawn_ - batchStart_).count();
  const double audioDone = fraction_ * audioSeconds_;
  // Speed as a multiple of real time; the times left follow from it.
  const double speed = fileSeconds > 0.05 && audioDone > 0 ? audioDone / fileSeconds : 0;
  const double batchSpeed = batchSeconds > 0.05 ? (audioDoneBefore_ + audioDone) / batchSeconds : 0;
  const double fileLeft = speed > 0 ? (audioSeconds_ - audioDone) / speed : -1;
  const double batchLeft =
      batchSpeed > 0 ? (batchAudioSeconds_ - audioDoneBefore_ - audioDone) / batchSpeed : -1;

  const int filled = std::clamp(static_cast<int>(fraction_ * kBarWidth), 0, kBarWidth);
  std::string line = "[" + std::to_string(number_) + "/" + std::to_string(fileCount_) + "] ";
  line += "[" + std::string(static_cast<std::size_t>(filled), '#') +
          std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] ";
  line += Printed("%3.0f%%", std::floor(fraction_ * 100));
  line += speed >= 100 ? Printed(" %5.0fx ", speed) : speed > 0 ? Printed(" %5.1fx ", speed) : std::string("     -x ");
  line += ClockText(fileLeft) + " left, all " + ClockText(batchLeft) + "  " + name_;
  // Never wider than the terminal: a wrapped line could not be redrawn.
  const auto columns = static_cast<std::size_t>(std::max(TerminalColumns(out_) - 1, 10));
  if (line.size() > columns) line.resize(columns);
  std::fprintf(out_, "\r%s\x1b[K", line.c_str());
  std::fflush(out_);
  lineShown_ = true;
}

void BatchProgress::ClearLine() {
  if (!lineShown_) return;
  std::fputs("\r\x1b[K", out_);
  lineShown_ = false;
}

void BatchProgress::PrintLine(const std::string& line) {
  ClearLine();
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void BatchProgress::EndFile(const std::string& result, const std::string& detail, bool wentWrong) {
  audioDoneBefore_ += audioSeconds_;
  if (mode_ == Mode::Quiet && !wentWrong) return;
  std::string line = "[" + std::to_string(number_) + "/" + std::to_string(fileCount_) + "] " + name_ + ": " + result;
  if (!detail.empty()) line += wentWrong ? ": " + detail : ", " + detail;
  PrintLine(line);
}

void BatchProgress::Note(const std::string& message) {
  PrintLine("[" + std::to_string(number_) + "/" + std::to_string(fileCount_) + "] " + name_ + ": " + message);
  if (mode_ == Mode::Live) Draw();
}

void BatchProgress::Summary(const std::string& line) {
  if (mode_ == Mode::Quiet) return;
  PrintLine(line);
}

}  // namespace quenlow
