// What the user sees on stderr while a batch runs: on a terminal one line
// redrawn a few times a second (the file's bar, percent, speed and time
// left, and the batch's), elsewhere a plain line per file; with -q only the
// files that went wrong. Every line is shown with its control characters
// escaped. The batch and the watch for Ctrl+C write through the same lock,
// so that no line is ever left half drawn.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "batch/batch_report.h"

namespace quenlow {

class BatchProgress {
 public:
  enum class Mode { Quiet, Lines, Live };

  BatchProgress(Mode mode, std::FILE* out, int fileCount, double batchAudioSeconds);

  // The file `number` (from 1) is taken up; when its job is to run, its
  // audio lasts `audioSeconds` and its line is drawn.
  void StartFile(int number, const std::string& name, double audioSeconds, bool working);
  // The job's frames written of all it writes. Cheap when nothing is drawn.
  void Update(std::int64_t done, std::int64_t total);
  // The current file is over: `result` ("done", ...) and the rest of its line.
  void EndFile(const std::string& result, const std::string& detail, bool wentWrong);
  // A message about the current file that stands on its own line.
  void Note(const std::string& message);
  // A line of the batch's own, before the files or after them, unless quiet;
  // `always` shows it even then.
  void BatchLine(const std::string& line, bool always = false);
  // The batch's closing line, unless quiet.
  void Summary(const std::string& line);
  // What the batch has done so far, for a stop on the way.
  void Remember(const BatchTotals& totals);
  // The batch was told to stop: ends the line being drawn, says what was
  // done and how to go on, whatever the mode, and draws nothing after.
  void Stopped(const std::string& howToResume);

 private:
  using Clock = std::chrono::steady_clock;
  void DrawLocked();
  void ClearLine();
  void PrintLine(const std::string& line);

  Mode mode_;
  std::FILE* out_;
  int fileCount_;
  double batchAudioSeconds_;
  double audioDoneBefore_ = 0;  // of the files before this one
  Clock::time_point batchStart_ = Clock::now();
  int number_ = 0;
  std::string name_;
  double audioSeconds_ = 0;
  double fraction_ = 0;
  Clock::time_point fileStart_;
  Clock::time_point lastDrawn_;
  bool lineShown_ = false;
  BatchTotals totals_;
  bool finished_ = false;  // the current file has ended
  bool stopped_ = false;
  std::mutex lock_;
};

// A duration as the progress line shows it: 0:07, 3:25, 1:02:03.
std::string ClockText(double seconds);

}  // namespace quenlow
