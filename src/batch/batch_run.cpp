#include "batch/batch_run.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "batch/batch_messages.h"
#include "job/job.h"
#include "batch/batch_inputs.h"
#include "batch/batch_progress.h"
#include "batch/batch_report.h"
#include "batch/batch_source.h"
#include "dsp/filter_file.h"
#include "dsp/filter_taps.h"

namespace quenlow {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// One input as the batch means to treat it, decided before the first job.
struct PlannedFile {
  BatchInput input;
  OutputNames names;
  std::int64_t frames = 0;
  double seconds = 0;
  bool makeUnfiltered = true;
  bool makeFiltered = true;
  FileResult verdict = FileResult::Done;  // Done: to be processed
  std::string reason{};
};

std::vector<PlannedFile> Plan(const BatchOptions& options, const std::vector<BatchInput>& inputs) {
  std::vector<PlannedFile> plan;
  // Every output name given out so far, and to which input: two inputs that
  // would write the same files (song.wav beside song.flac) must not
  // overwrite each other's results.
  std::map<std::string, std::string> taken;
  for (const BatchInput& input : inputs) {
    PlannedFile file{input, BatchOutputNames(input, options.outputFolder)};
    file.makeUnfiltered = options.makeUnfiltered;
    file.makeFiltered = options.makeFiltered;
    auto decide = [&](FileResult verdict, std::string reason) {
      file.verdict = verdict;
      file.reason = std::move(reason);
    };
    if (!input.problem.empty()) {
      decide(FileResult::Rejected, input.problem);
    } else if (IsOutputName(input.path)) {
      decide(FileResult::Skipped, "an output of this program, not a recording");
    } else {
      const OpenedInput opened = OpenBatchInput(input.path);
      file.frames = opened.frames;
      file.seconds = opened.sampleRate > 0 ? static_cast<double>(opened.frames) / opened.sampleRate : 0;
      if (!opened.source) decide(FileResult::Rejected, opened.rejection);
    }
    if (file.verdict == FileResult::Done) {
      for (const std::string& name : {file.names.unfiltered, file.names.filtered}) {
        const auto [place, fresh] = taken.emplace(name, input.path);
        if (!fresh && file.verdict == FileResult::Done) {
          decide(FileResult::Rejected, "its outputs would replace those of " + place->second);
        }
      }
    }
    if (file.verdict == FileResult::Done && options.skipExisting) {
      // Only what is missing is made: an album stopped between a file's two
      // outputs is resumed with the second.
      file.makeUnfiltered = file.makeUnfiltered && !Exists(file.names.unfiltered);
      file.makeFiltered = file.makeFiltered && !Exists(file.names.filtered);
      if (!file.makeUnfiltered && !file.makeFiltered) decide(FileResult::Skipped, "its outputs exist");
    }
    plan.push_back(std::move(file));
  }
  return plan;
}

// Runs the job on one planned file; fills in the report's outcome. A note
// the job gives (a doubtful coefficient file) is shown once in a batch, not
// once a file: `shown` holds those already shown.
void Process(const PlannedFile& file, const JobOptions& base, BatchProgress& progress, FileReport& report,
             std::set<std::string>& shown) {
  const Clock::time_point start = Clock::now();
  auto fail = [&](FileResult result, std::string reason) {
    report.result = result;
    report.reason = std::move(reason);
    report.outputs.clear();
  };
  const std::filesystem::path folder = std::filesystem::path(file.names.unfiltered).parent_path();
  std::error_code error;
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) return fail(FileResult::Failed, "the folder " + folder.string() + " cannot be made: " + error.message());

  // Opened afresh: the file may have changed since the plan was made.
  OpenedInput opened = OpenBatchInput(file.input.path);
  if (!opened.source) return fail(FileResult::Rejected, opened.rejection);
  report.frames = opened.frames;
  report.seconds = static_cast<double>(opened.frames) / opened.sampleRate;

  JobOptions job = base;
  job.unfilteredName = file.names.unfiltered;
  job.filteredName = file.names.filtered;
  job.makeUnfiltered = file.makeUnfiltered;
  job.makeFiltered = file.makeFiltered;
  std::vector<std::string> told;
  job.tell = [&told](const JobNote& note) { told.push_back(BatchText(note)); };
  job.progress = [&progress](std::int64_t done, std::int64_t total) { progress.Update(done, total); };
  const bool written = ProcessRecording(*opened.source, opened.sampleRate, opened.frames, job);
  report.elapsed = SecondsSince(start);
  if (!written) {
    std::string reason;
    for (const std::string& message : told) reason += (reason.empty() ? "" : "; ") + message;
    return fail(FileResult::Failed, reason.empty() ? "the outputs could not be written" : reason);
  }
  // A job that succeeds tells only of what the user should know about its
  // outputs (a missing or doubtful coefficient file).
  for (const std::string& message : told) {
    if (shown.insert(message).second) progress.Note(message);
  }
}

std::string DoneDetail(const FileReport& report) {
  char text[96];
  const double speed = report.elapsed > 0 ? report.seconds / report.elapsed : 0;
  std::snprintf(text, sizeof text, "%s of audio in %.1f s (%.0fx)", ClockText(report.seconds).c_str(),
                report.elapsed, speed);
  return text;
}

// The coefficient file every job will read, checked before any work.
// Nothing when there is none and the options ask for one (the user is told).
std::optional<std::string> ChosenFilter(const BatchOptions& options) {
  if (!options.makeFiltered) return std::string{};
  const std::optional<std::string> path =
      options.filterFile.empty() ? FindFilterFile() : std::optional<std::string>(options.filterFile);
  std::string problem;
  if (!path) {
    problem = "no coefficient file: recfilt.dat is neither in the current folder nor installed";
  } else if (!LoadFilterTaps(*path)) {
    problem = *path + " cannot be read as a coefficient file";
  }
  if (problem.empty()) return path;
  if (!options.allowNoFilter) {
    std::fprintf(stderr, "quenlow-batch: %s (use --filter FILE, or --allow-no-filter to go on without)\n",
                 problem.c_str());
    return std::nullopt;
  }
  if (!options.quiet) std::fprintf(stderr, "quenlow-batch: %s: the filtered files will hold dither only\n", problem.c_str());
  return path.value_or("");
}

}  // namespace

int RunBatch(const BatchOptions& options) {
  const Clock::time_point start = Clock::now();
  const std::optional<std::string> filter = ChosenFilter(options);
  if (!filter) return 2;

  const std::vector<BatchInput> inputs = FindBatchInputs(options.inputs, options.recursive);
  if (inputs.empty()) {
    std::fprintf(stderr, "quenlow-batch: no audio files found\n");
    return 1;
  }
  const std::vector<PlannedFile> plan = Plan(options, inputs);
  double workSeconds = 0;
  for (const PlannedFile& file : plan) {
    if (file.verdict == FileResult::Done) workSeconds += file.seconds;
  }
  const BatchProgress::Mode mode = options.quiet          ? BatchProgress::Mode::Quiet
                                   : isatty(STDERR_FILENO) ? BatchProgress::Mode::Live
                                                           : BatchProgress::Mode::Lines;
  BatchProgress progress(mode, stderr, static_cast<int>(plan.size()), workSeconds);

  JobOptions base;
  base.filterFile = *filter;
  BatchTotals totals;
  std::set<std::string> shownNotes;
  int number = 0;
  for (const PlannedFile& file : plan) {
    FileReport report{file.input.path, {}, file.frames, file.seconds, 0, file.verdict, file.reason};
    // The outputs made, or those found in place of a file skipped.
    const bool found = file.verdict == FileResult::Skipped && !IsOutputName(file.input.path);
    if (file.verdict == FileResult::Done ? file.makeUnfiltered : found && options.makeUnfiltered) {
      report.outputs.push_back(file.names.unfiltered);
    }
    if (file.verdict == FileResult::Done ? file.makeFiltered : found && options.makeFiltered) {
      report.outputs.push_back(file.names.filtered);
    }
    const bool working = file.verdict == FileResult::Done;
    progress.StartFile(++number, file.input.path, working ? file.seconds : 0, working);
    if (working) Process(file, base, progress, report, shownNotes);
    const bool wentWrong = report.result == FileResult::Rejected || report.result == FileResult::Failed;
    progress.EndFile(ResultName(report.result), report.result == FileResult::Done ? DoneDetail(report) : report.reason,
                     wentWrong);
    totals.Add(report);
    if (options.json) {
      std::printf("%s\n", JsonLine(report).c_str());
      std::fflush(stdout);
    }
  }
  progress.Summary(SummaryLine(totals, SecondsSince(start)));
  return totals.ExitStatus();
}

}  // namespace quenlow
