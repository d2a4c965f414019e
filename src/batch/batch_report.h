// What a batch reports of each file, and of the whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quenlow {

enum class FileResult { Done, Skipped, Rejected, Failed };

struct FileReport {
  std::string input;
  std::vector<std::string> outputs;  // written, or found in place when skipped
  std::int64_t frames = 0;
  double seconds = 0;                // of audio
  double elapsed = 0;                // wall time of the job
  FileResult result = FileResult::Done;
  std::string reason;                // why rejected, failed or skipped
  std::vector<std::string> warnings; // about its filtered output (the coefficient file)
  // Of a file done: the samples saturated in each output (the unfiltered one
  // never clips) and the filtered output's peak before saturation, in dB
  // against full scale, when it was made.
  std::int64_t clippedUnfiltered = 0;
  std::int64_t clippedFiltered = 0;
  std::optional<double> peakDb;
};

// The coefficient file of the filtered outputs: its path, where it was found
// ("current folder", "--filter" or "installed") and its SHA-256.
struct FilterIdentity {
  std::string path;
  std::string found;
  std::string sha256;
};

const char* ResultName(FileResult result);

// One JSON object on one line: input, outputs, frames, seconds, result,
// reason (null when there is none), elapsed, warnings, clipped (per
// output), peak_db and filter (null when no filtered output was made).
std::string JsonLine(const FileReport& report, const FilterIdentity* filter = nullptr);

// The JSON line of a folder that could not be listed: folder, result
// ("unlisted") and reason.
std::string FolderJsonLine(const std::string& folder, const std::string& reason);

struct BatchTotals {
  int done = 0;
  int skipped = 0;
  int rejected = 0;
  int failed = 0;
  double audioSeconds = 0;  // of the files done
  int unlisted = 0;         // folders that could not be listed
  int clipped = 0;          // files done whose filtered output clips
  void Add(const FileReport& report);
  // 0 when every file was done or skipped, else 1.
  int ExitStatus() const { return rejected + failed + unlisted > 0 ? 1 : 0; }
};

// "12 files: 10 done, 1 skipped, 1 rejected, 0 failed; 0.73 hours of audio in 1:12".
std::string SummaryLine(const BatchTotals& totals, double wallSeconds);

}  // namespace quenlow
