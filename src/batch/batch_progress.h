// What the user sees on stderr while a batch runs: on a terminal one line
// redrawn a few times a second (the file's bar, percent, speed and time
// left, and the batch's), elsewhere a plain line per file; with -q only the
// files that went wrong.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

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
  // The batch's closing line, unless quiet.
  void Summary(const std::string& line);

 private:
  using Clock = std::chrono::steady_clock;
  void Draw();
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
};

// A duration as the progress line shows it: 0:07, 3:25, 1:02:03.
std::string ClockText(double seconds);

}  // namespace quenlow
