#include "batch/batch_progress.h"

#include <algorithm>
#include <cmath>

#include "batch/terminal_text.h"
#include "platform/command_line.h"

namespace quenlow {

namespace {

// Redraws a few times a second: often enough to look alive, seldom enough
// to cost nothing.
constexpr std::chrono::milliseconds kRedrawEvery{250};
constexpr int kBarWidth = 20;

int TerminalColumns(std::FILE* out) {
  const int columns = platform::TerminalColumns(out);
  return columns > 0 ? columns : 80;
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
  const std::lock_guard hold(lock_);
  finished_ = false;
  number_ = number;
  name_ = name;
  audioSeconds_ = audioSeconds;
  fraction_ = 0;
  fileStart_ = Clock::now();
  if (mode_ == Mode::Live && working) DrawLocked();
}

void BatchProgress::Update(std::int64_t done, std::int64_t total) {
  if (mode_ != Mode::Live || total <= 0) return;
  const std::lock_guard hold(lock_);
  fraction_ = static_cast<double>(done) / static_cast<double>(total);
  const Clock::time_point now = Clock::now();
  if (now - lastDrawn_ < kRedrawEvery) return;
  DrawLocked();
}

void BatchProgress::DrawLocked() {
  if (stopped_) return;
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
  line += ClockText(fileLeft) + " left, all " + ClockText(batchLeft) + "  " + VisibleText(name_);
  // Never wider than the terminal: a wrapped line could not be redrawn. Cut
  // by cells, between characters.
  const auto columns = static_cast<std::size_t>(std::max(TerminalColumns(out_) - 1, 10));
  line = FitToCells(line, columns);
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
  if (stopped_) return;
  ClearLine();
  std::fprintf(out_, "%s\n", VisibleText(line).c_str());
  std::fflush(out_);
}

void BatchProgress::EndFile(const std::string& result, const std::string& detail, bool wentWrong) {
  const std::lock_guard hold(lock_);
  finished_ = true;
  audioDoneBefore_ += audioSeconds_;
  if (mode_ == Mode::Quiet && !wentWrong) return;
  std::string line = "[" + std::to_string(number_) + "/" + std::to_string(fileCount_) + "] " + name_ + ": " + result;
  if (!detail.empty()) line += wentWrong ? ": " + detail : ", " + detail;
  PrintLine(line);
}

void BatchProgress::Note(const std::string& message) {
  const std::lock_guard hold(lock_);
  PrintLine("[" + std::to_string(number_) + "/" + std::to_string(fileCount_) + "] " + name_ + ": " + message);
  if (mode_ == Mode::Live) DrawLocked();
}

void BatchProgress::BatchLine(const std::string& line, bool always) {
  const std::lock_guard hold(lock_);
  if (mode_ == Mode::Quiet && !always) return;
  PrintLine(line);
}

void BatchProgress::Summary(const std::string& line) {
  const std::lock_guard hold(lock_);
  if (mode_ == Mode::Quiet) return;
  PrintLine(line);
}

void BatchProgress::Remember(const BatchTotals& totals) {
  const std::lock_guard hold(lock_);
  totals_ = totals;
}

void BatchProgress::Stopped(const std::string& howToResume) {
  const std::lock_guard hold(lock_);
  if (stopped_) return;
  // A line half drawn is ended where it stands, so that the bar stays as
  // the place the batch stopped.
  if (lineShown_) std::fputs("\n", out_);
  lineShown_ = false;
  const BatchTotals& t = totals_;
  std::string line = "Stopped";
  if (number_ > 0 && !finished_) line += " during [" + std::to_string(number_) + "/" + std::to_string(fileCount_) + "] " + name_ + " (its unfinished outputs were removed)";
  line += ": " + std::to_string(t.done) + " done, " + std::to_string(t.skipped) + " skipped, " +
          std::to_string(t.rejected) + " rejected, " + std::to_string(t.failed) + " failed, " +
          std::to_string(std::max(fileCount_ - t.done - t.skipped - t.rejected - t.failed, 0)) + " not done. " +
          howToResume;
  std::fprintf(out_, "%s\n", VisibleText(line).c_str());
  std::fflush(out_);
  stopped_ = true;
}

}  // namespace quenlow
