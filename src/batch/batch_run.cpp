#include "batch/batch_run.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "digest/sha256.h"
#include "job/output_levels.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "wav/recording_tags.h"
#include "wav/wav_tags.h"
#include "wav/wav_writer.h"
#include "batch/batch_messages.h"
#include "job/job.h"
#include "batch/batch_inputs.h"
#include "batch/batch_progress.h"
#include "batch/batch_report.h"
#include "batch/batch_source.h"
#include "batch/other_formats.h"
#include "batch/terminal_text.h"
#include "dsp/filter_file.h"
#include "dsp/filter_taps.h"

namespace quenlow {

namespace {

using Clock = std::chrono::steady_clock;

// The batch at work, for a stop request that comes from the watch thread.
std::atomic<BatchProgress*> running{nullptr};
const char* resumeAdvice = "";

// The JSON lines on standard output. A log that cannot be written (a full
// disk, a closed pipe) is said once and makes the batch end with status 1;
// the work goes on.
class JsonLog {
 public:
  JsonLog(bool wanted, bool outputClosed) : wanted_(wanted) {
    if (wanted_ && outputClosed) Fail(EBADF);
  }
  void Write(const std::string& line) {
    if (!wanted_ || failed_) return;
    errno = 0;
    if (std::fputs(line.c_str(), stdout) < 0 || std::fputc('\n', stdout) == EOF || std::fflush(stdout) != 0) Fail(errno);
  }
  void Fail(int error) {
    failed_ = true;
    std::fprintf(stderr, "quenlow-batch: the JSON log cannot be written to standard output: %s\n",
                 error != 0 ? std::strerror(error) : "write error");
  }
  bool Failed() const { return failed_; }

 private:
  bool wanted_;
  bool failed_ = false;
};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(platform::FileSystemPath(path), error);
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
    PlannedFile file{input, BatchOutputNames(input, options.outputFolder, options.flac)};
    file.makeUnfiltered = options.makeUnfiltered;
    file.makeFiltered = options.makeFiltered;
    auto decide = [&](FileResult verdict, std::string reason) {
      file.verdict = verdict;
      file.reason = std::move(reason);
    };
    if (!input.problem.empty()) {
      decide(FileResult::Rejected, input.problem);
    } else if (IsOutputName(input.path)) {
      decide(FileResult::Skipped, "named as this program names its outputs, so taken for one: rename it to have it processed");
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

// The recording's own tags: a FLAC file's Vorbis comments, a WAV file's
// LIST/INFO chunk; none for the other formats.
RecordingTags TagsOfRecording(const std::string& path) {
  if (std::optional<RecordingTags> tags = ReadOtherFormatTags(path)) return *tags;
  if (IsWavName(path)) return ReadWavTagsOfFile(path);
  return {};
}

// The file's own name less its extension: the title of an output of a
// recording that has none.
std::string TitleOfName(const std::string& path) {
  std::string name = platform::FileNameOf(path);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

// The writers of one file's outputs: FLAC with the recording's tags, or WAV,
// with the tags after the audio only when asked.
void ChooseWriters(const BatchOptions& options, const std::string& input, const FilterIdentity& filter,
                   JobOptions& job) {
  if (!options.flac && !options.tags) return;
  const RecordingTags recording = TagsOfRecording(input);
  const std::string title = TitleOfName(input);
  const bool flac = options.flac;
  job.makeWriter = [recording, title, flac, sha = filter.sha256](const std::string& name, std::int64_t rate,
                                                                  std::int64_t frames,
                                                                  bool filtered) -> std::unique_ptr<OutputWriter> {
    const RecordingTags tags =
        OutputTags(recording, filtered ? OutputKind::Filtered : OutputKind::Unfiltered, title, sha);
    if (flac) return MakeFlacWriter(name, rate, frames, tags);
    return std::make_unique<OutputWavWriter>(name, 2, rate, frames, kMaxRiffSize, InfoChunk(tags));
  };
}

// Runs the job on one planned file; fills in the report's outcome.
void Process(const PlannedFile& file, const JobOptions& base, BatchProgress& progress, FileReport& report) {
  const Clock::time_point start = Clock::now();
  auto fail = [&](FileResult result, std::string reason) {
    report.result = result;
    report.reason = std::move(reason);
    report.outputs.clear();
  };
  const std::filesystem::path folder = platform::FileSystemPath(file.names.unfiltered).parent_path();
  std::error_code error;
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) return fail(FileResult::Failed, "the folder " + platform::NameOfPath(folder) + " cannot be made: " + error.message());

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
  OutputLevels filtered;
  job.filteredLevels = &filtered;
  const bool written = ProcessRecording(*opened.source, opened.sampleRate, opened.frames, job);
  if (written && file.makeFiltered) {
    report.clippedFiltered = filtered.clipped;
    report.peakDb = PeakDecibels(filtered);
  }
  report.elapsed = SecondsSince(start);
  if (!written) {
    std::string reason;
    for (const std::string& message : told) reason += (reason.empty() ? "" : "; ") + message;
    return fail(FileResult::Failed, reason.empty() ? "the outputs could not be written" : reason);
  }
  // A job that succeeds tells only of the coefficient file, which the batch
  // has spoken of once, before the first file.
}

std::string DoneDetail(const FileReport& report) {
  char text[160];
  const double speed = report.elapsed > 0 ? report.seconds / report.elapsed : 0;
  std::snprintf(text, sizeof text, "%s of audio in %.1f s (%.0fx)", ClockText(report.seconds).c_str(),
                report.elapsed, speed);
  std::string detail = text;
  if (report.clippedFiltered > 0) {
    // The filter's overshoot on a loud recording, not the missing filter.
    std::snprintf(text, sizeof text, "; the filtered file clips in %lld sample%s (peak %+.2f dB before clipping)",
                  static_cast<long long>(report.clippedFiltered), report.clippedFiltered == 1 ? "" : "s",
                  report.peakDb.value_or(0.0));
    detail += text;
  }
  return detail;
}

// The coefficient file every job will read, checked before any work, and
// what is wrong with it. A file that gives no filter at all (every tap 0, a
// tap that is not a number, lines run together by bare line feeds) would
// make every filtered output dither alone: it is not used unless the user
// says so.
struct ChosenFilter {
  std::string path;
  FilterIdentity identity;
  std::vector<std::string> warnings;  // all that apply, the gravest first
  bool usable = true;
};

ChosenFilter CheckFilter(const std::string& path) {
  ChosenFilter chosen{path, {}, {}, true};
  FilterTapsReport report;
  const std::optional<FilterTaps> taps = LoadFilterTaps(path, &report);
  if (!taps) {
    chosen.warnings.push_back(path + " cannot be read as a coefficient file");
    chosen.usable = false;
    return chosen;
  }
  const std::string all = std::to_string(TapCount);
  const std::string read = std::to_string(report.FieldsRead());
  for (int k = 0; k < TapCount; ++k) {
    if (std::isfinite((*taps)[static_cast<std::size_t>(k)])) continue;
    chosen.warnings.push_back(path + ": tap " + std::to_string(k + 1) + " is not a finite number");
    chosen.usable = false;
    break;
  }
  if (std::all_of(taps->begin(), taps->end(), [](double tap) { return tap == 0.0; })) {
    chosen.warnings.push_back(path + ": all " + all + " taps are 0");
    chosen.usable = false;
  }
  if (report.FieldsRead() < TapCount && report.bareLineFeeds > 0) {
    chosen.warnings.push_back(path + " has bare line feeds (LF without CR) for line ends: only " + read + " of " + all +
                              " numbers were read");
    chosen.usable = false;
  } else if (report.FieldsRead() < TapCount) {
    chosen.warnings.push_back(path + " holds only " + read + " of " + all + " numbers: the rest are taken as 0");
  }
  if (report.byteOrderMark) chosen.warnings.push_back(path + " starts with a UTF-8 byte order mark: number 1 reads as 0");
  return chosen;
}

// Nothing when there is no usable coefficient file and the options ask for
// one (the user is told why, every reason once).
std::optional<ChosenFilter> ChooseFilter(const BatchOptions& options) {
  if (!options.makeFiltered) return ChosenFilter{};
  const std::optional<std::string> path =
      options.filterFile.empty() ? FindFilterFile() : std::optional<std::string>(options.filterFile);
  ChosenFilter chosen;
  if (!path) {
    chosen.warnings.push_back("no coefficient file: recfilt.dat is neither in the current folder nor installed");
    chosen.usable = false;
  } else {
    chosen = CheckFilter(*path);
    const std::string found = !options.filterFile.empty() ? "--filter"
                              : *path == kFilterFileName   ? "current folder"
                                                           : "installed";
    chosen.identity = FilterIdentity{*path, found, Sha256OfFile(*path).value_or("")};
  }
  if (chosen.usable) return chosen;
  if (!options.allowNoFilter) {
    for (const std::string& warning : chosen.warnings) std::fprintf(stderr, "quenlow-batch: %s\n", VisibleText(warning).c_str());
    std::fprintf(stderr,
                 "quenlow-batch: no usable filter: the filtered outputs would hold dither only (use --filter FILE, or "
                 "--allow-no-filter to go on without)\n");
    return std::nullopt;
  }
  chosen.warnings.push_back("the filtered outputs hold dither only (--allow-no-filter)");
  return chosen;
}

}  // namespace

void StopBatch() {
  if (BatchProgress* progress = running.load()) progress->Stopped(resumeAdvice);
}

int RunBatch(const BatchOptions& options) {
  const Clock::time_point start = Clock::now();
  const std::optional<ChosenFilter> filter = ChooseFilter(options);
  if (!filter) return 2;

  const std::vector<BatchInput> found = FindBatchInputs(options.inputs, options.recursive);
  // Folders that cannot be listed are said once, apart from the files.
  std::vector<BatchInput> inputs;
  std::vector<BatchInput> unlisted;
  for (const BatchInput& input : found) (input.folder ? unlisted : inputs).push_back(input);
  if (inputs.empty() && unlisted.empty()) {
    std::fprintf(stderr, "quenlow-batch: no audio files found\n");
    return 1;
  }
  const std::vector<PlannedFile> plan = Plan(options, inputs);
  double workSeconds = 0;
  for (const PlannedFile& file : plan) {
    if (file.verdict == FileResult::Done) workSeconds += file.seconds;
  }
  const BatchProgress::Mode mode = options.quiet          ? BatchProgress::Mode::Quiet
                                   : platform::CanRedrawLine(stderr) ? BatchProgress::Mode::Live
                                                           : BatchProgress::Mode::Lines;
  BatchProgress progress(mode, stderr, static_cast<int>(plan.size()), workSeconds);
  resumeAdvice = options.skipExisting ? "To go on, run the same command again."
                                      : "To go on, run the same command again with --skip-existing.";
  running.store(&progress);
  JsonLog json(options.json, options.standardOutputClosed);

  BatchTotals totals;
  for (const std::string& warning : filter->warnings) progress.BatchLine("quenlow-batch: warning: " + warning);
  for (const BatchInput& folder : unlisted) {
    ++totals.unlisted;
    progress.BatchLine("quenlow-batch: " + folder.path + ": " + folder.problem, true);
    json.Write(FolderJsonLine(folder.path, folder.problem));
  }
  progress.Remember(totals);

  JobOptions base;
  base.filterFile = filter->path;
  int number = 0;
  for (const PlannedFile& file : plan) {
    FileReport report{file.input.path, {}, file.frames, file.seconds, 0, file.verdict, file.reason, {}, 0, 0, {}};
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
    JobOptions job = base;
    if (working) ChooseWriters(options, file.input.path, filter->identity, job);
    if (working) Process(file, job, progress, report);
    if (report.result == FileResult::Done && file.makeFiltered) report.warnings = filter->warnings;
    // The line names the file already: a reason that starts with its name
    // says the rest.
    if (report.reason.starts_with(file.input.path + " ")) report.reason.erase(0, file.input.path.size() + 1);
    const bool wentWrong = report.result == FileResult::Rejected || report.result == FileResult::Failed;
    progress.EndFile(ResultName(report.result), report.result == FileResult::Done ? DoneDetail(report) : report.reason,
                     wentWrong);
    totals.Add(report);
    progress.Remember(totals);
    json.Write(JsonLine(report, file.makeFiltered && !filter->identity.path.empty() ? &filter->identity : nullptr));
  }
  std::string summary = SummaryLine(totals, SecondsSince(start));
  if (!filter->identity.path.empty()) {
    summary += "; filter " + VisibleText(filter->identity.path) + " (" + filter->identity.found + "), SHA-256 " +
               filter->identity.sha256;
  }
  progress.Summary(summary);
  running.store(nullptr);
  return json.Failed() ? 1 : totals.ExitStatus();
}

}  // namespace quenlow
