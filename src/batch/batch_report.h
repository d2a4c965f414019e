// What a batch reports of each file, and of the whole.
#pragma once

#include <cstdint>
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
};

const char* ResultName(FileResult result);

// One JSON object on one line: input, outputs, frames, seconds, result,
// reason (null when there is none), elapsed and warnings.
std::string JsonLine(const FileReport& report);

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
  void Add(const FileReport& report);
  // 0 when every file was done or skipped, else 1.
  int ExitStatus() const { return rejected + failed + unlisted > 0 ? 1 : 0; }
};

// "12 files: 10 done, 1 skipped, 1 rejected, 0 failed; 0.73 hours of audio in 1:12".
std::string SummaryLine(const BatchTotals& totals, double wallSeconds);

}  // namespace quenlow
