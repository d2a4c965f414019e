// The job under faults of the machine and of its input: each case checks that
// the user is told, that no half-written output is left, and that an output
// file that existed before a failed run is still intact. Limits are set in a
// forked child so that they bind the job alone; where root would ignore a
// permission, the child drops to an unprivileged user.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "job/interruption.h"
#include "app/dialogue_messages.h"
#include "job/job.h"
#include "dsp/filter_taps.h"
#include "dsp/signal_chain.h"
#include "support/first_difference.h"
#include "support/recording.h"
#include "support/reference_chain.h"
#include "platform/file_names.h"
#include "wav/output_pair.h"
#include "wav/output_wav_header.h"
#include "wav/unfinished_outputs.h"
#include "wav/wav_reader.h"
#include "wav/wav_writer.h"
#include "support/wav_test_files.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUENLOW_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUENLOW_ADDRESS_SANITIZER 1
#endif
#endif

namespace quenlow {
namespace {

using test::Bytes;

const std::string kSuppliedFilter = QUENLOW_SOURCE_DIR "/data/recfilt.dat";
constexpr uid_t kNobody = 65534;

std::vector<std::int16_t> Ramp(std::size_t frames) {
  std::vector<std::int16_t> samples(2 * frames);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(static_cast<int>((i * 977) % 60001) - 30000);
  }
  return samples;
}

using test::Recording;

Recording WriteRecording(const test::ScratchFolder& folder, const std::string& name, std::size_t frames) {
  return test::WriteRecording(folder, name, Ramp(frames));
}

bool Mentions(const std::vector<std::string>& messages, const std::string& text) {
  return std::any_of(messages.begin(), messages.end(),
                     [&](const std::string& m) { return m.find(text) != std::string::npos; });
}

// What a job run in a child process came to.
struct ChildRun {
  bool exitedNormally = false;  // false: killed by a signal, a crash
  int signal = 0;
  bool threw = false;  // an exception escaped the job
  bool jobResult = false;
  std::vector<std::string> messages;
};

// Forks; the child takes room for its report, applies `prepare` (limits, a
// lower uid), runs `body` and sends back the outcome ('1' success, '0'
// failure) and the messages, one a line, through a pipe.
ChildRun RunInChild(const std::function<void()>& prepare, const std::function<bool(std::string&)>& body) {
  int channel[2];
  if (pipe(channel) != 0) return {};
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(channel[0]);
    std::string report = "?\n";
    report.reserve(64 * 1024);
    prepare();
    // An exception escaping the job would end the program without a word.
    try {
      report[0] = body(report) ? '1' : '0';
    } catch (const std::exception& e) {
      report[0] = 'X';
      report.append("the job threw: ").append(e.what()).append("\n");
    }
    ssize_t ignored = write(channel[1], report.data(), report.size());
    (void)ignored;
    _exit(0);
  }
  close(channel[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;) report.append(buffer, got);
  close(channel[0]);
  int status = 0;
  waitpid(pid, &status, 0);

  ChildRun run;
  run.exitedNormally = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !report.empty();
  run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  if (!report.empty()) {
    run.jobResult = report[0] == '1';
    run.threw = report[0] == 'X';
    std::size_t start = 2;
    for (std::size_t end; (end = report.find('\n', start)) != std::string::npos; start = end + 1) {
      run.messages.push_back(report.substr(start, end - start));
    }
  }
  return run;
}

ChildRun RunJobInChild(const Recording& recording, const std::string& filterFile,
                       const std::function<void()>& prepare) {
  return RunInChild(prepare, [&](std::string& report) {
    JobOptions options;
    options.filterFile = filterFile;
    options.tell = [&report](const JobNote& note) { report.append(DialogueText(note)).append("\n"); };
    return ProcessRecording(recording.path, recording.info, recording.frames, options);
  });
}

// Limits the process's address space to what it uses now and `spare` bytes.
void LimitAddressSpace(rlim_t spare) {
  long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  const rlim_t bytes = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + spare;
  const rlimit limit{bytes, bytes};
  if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
}

void DropToNobodyIfRoot() {
  if (getuid() != 0) return;
  if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(3);
}

void LimitFileSize(rlim_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{bytes, bytes};
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
}

const Bytes kOldContent = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};

// Old outputs of an earlier run, that a failed run must leave as they are.
void PlaceOldOutputs(const test::ScratchFolder& folder, const std::string& stem) {
  folder.Write(stem + " QLW unfiltered.wav", kOldContent);
  folder.Write(stem + " QLW filtered.wav", kOldContent);
}

Bytes DataOf(const Bytes& file) { return file.size() < 44 ? Bytes{} : Bytes(file.begin() + 44, file.end()); }

FilterTaps SuppliedTaps() { return LoadFilterTaps(kSuppliedFilter).value_or(FilterTaps{}); }

TEST(JobFaults, AReadOnlyOutputFolderCostsNothingAndTheUserIsTold) {
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "take.wav", 500);
  const std::string filter = folder.Write("recfilt.dat", test::ReadWholeFile(kSuppliedFilter));
  PlaceOldOutputs(folder, "take");
  // The old outputs may be written; the folder that holds them may not.
  for (const char* name : {"take QLW unfiltered.wav", "take QLW filtered.wav"}) {
    ASSERT_EQ(chmod(folder.Path(name).c_str(), 0666), 0);
  }
  ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
  const std::vector<std::string> before = folder.Entries();

  // Told before any work, as what it is (not "write-protected": the files
  // are writable), with the way out.
  const ChildRun run = RunJobInChild(recording, filter, DropToNobodyIfRoot);
  ASSERT_TRUE(run.exitedNormally) << "signal " << run.signal;
  EXPECT_FALSE(run.jobResult);
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_TRUE(Mentions(run.messages, " No permission to write in this folder (" + folder.Path("take QLW unfiltered.wav") +
                                         "): nothing was written. Copy the recording to a folder you can write to, "
                                         "or use quenlow-batch -o DIR  "))
      << run.messages[0];
  EXPECT_EQ(folder.Entries(), before);
  EXPECT_EQ(test::ReadWholeFile(folder.Path("take QLW unfiltered.wav")), kOldContent);
  EXPECT_EQ(test::ReadWholeFile(folder.Path("take QLW filtered.wav")), kOldContent);
}

TEST(JobFaults, AFileSizeLimitStopsBothWritesAndTheOldFilesSurviveIntact) {
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "long.wav", 5000);  // outputs of 120 kB
  PlaceOldOutputs(folder, "long");
  const std::vector<std::string> before = folder.Entries();

  const ChildRun run = RunJobInChild(recording, kSuppliedFilter, [] { LimitFileSize(64 * 1024); });
  ASSERT_TRUE(run.exitedNormally) << "signal " << run.signal;
  EXPECT_FALSE(run.jobResult);
  ASSERT_EQ(run.messages.size(), 2u);
  EXPECT_TRUE(Mentions(run.messages, "long QLW unfiltered.wav"));
  EXPECT_TRUE(Mentions(run.messages, "long QLW filtered.wav"));
  EXPECT_TRUE(Mentions(run.messages, "File too large")) << run.messages[0];
  EXPECT_EQ(folder.Entries(), before);  // no temporary file left behind
  EXPECT_EQ(test::ReadWholeFile(folder.Path("long QLW unfiltered.wav")), kOldContent);
  EXPECT_EQ(test::ReadWholeFile(folder.Path("long QLW filtered.wav")), kOldContent);
}

// Outputs the user protected are left alone, whichever of the two it is:
// the job stops before any work, tells why, and leaves the old pair as it
// was. Neither is replaced, so that the two never come from different runs.
TEST(JobFaults, AProtectedOutputIsLeftAloneWithTheOtherAndTheUserIsTold) {
  for (const char* protectedName : {"take QLW unfiltered.wav", "take QLW filtered.wav"}) {
    SCOPED_TRACE(protectedName);
    test::ScratchFolder folder;
    const Recording recording = WriteRecording(folder, "take.wav", 200);
    PlaceOldOutputs(folder, "take");
    ASSERT_EQ(chmod(folder.path().c_str(), 0777), 0);
    for (const char* name : {"take.wav", "take QLW unfiltered.wav", "take QLW filtered.wav"}) {
      ASSERT_EQ(chmod(folder.Path(name).c_str(), 0666), 0);
    }
    ASSERT_EQ(chmod(folder.Path(protectedName).c_str(), 0444), 0);
    const std::vector<std::string> before = folder.Entries();

    const ChildRun run = RunJobInChild(recording, kSuppliedFilter, DropToNobodyIfRoot);
    ASSERT_TRUE(run.exitedNormally) << "signal " << run.signal;
    EXPECT_FALSE(run.jobResult);
    EXPECT_EQ(run.messages,
              std::vector<std::string>{" " + folder.Path(protectedName) + " is write-protected: nothing was written  "});
    EXPECT_EQ(folder.Entries(), before);
    EXPECT_EQ(test::ReadWholeFile(folder.Path("take QLW unfiltered.wav")), kOldContent);
    EXPECT_EQ(test::ReadWholeFile(folder.Path("take QLW filtered.wav")), kOldContent);
    struct stat status {};
    ASSERT_EQ(stat(folder.Path(protectedName).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0444u);
  }
}

// A limit between the two outputs' sizes: the smaller, unfiltered file could
// be written whole, but the filtered one fails, and the two go in place
// together or not at all: the old pair stays.
TEST(JobFaults, AWriteThatFailsLateLeavesTheOldPair) {
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "mid.wav", 3000);
  PlaceOldOutputs(folder, "mid");
  const rlim_t unfilteredSize = 44 + 6 * 4 * 3000;

  const ChildRun run = RunJobInChild(recording, kSuppliedFilter, [&] { LimitFileSize(unfilteredSize + 600); });
  ASSERT_TRUE(run.exitedNormally) << "signal " << run.signal;
  EXPECT_FALSE(run.jobResult);
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_TRUE(Mentions(run.messages, "mid QLW filtered.wav")) << run.messages[0];
  EXPECT_EQ(test::ReadWholeFile(folder.Path("mid QLW unfiltered.wav")), kOldContent);
  EXPECT_EQ(test::ReadWholeFile(folder.Path("mid QLW filtered.wav")), kOldContent);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"mid QLW filtered.wav", "mid QLW unfiltered.wav", "mid.wav"}));
}

// The recording vanishes after its header was accepted: nothing of the user's
// recording can be processed, so the job must say so rather than write two
// files of dither and report success.
// With no thread to be had (a limit of no more processes for the user, in a
// child dropped from root), the two passes run one after the other on the
// job's own thread and give the bytes of a run with threads.
TEST(JobFaults, WithoutThreadsBothPassesRunAndGiveTheThreadedBytes) {
  test::ScratchFolder threaded, alone;
  const Recording first = WriteRecording(threaded, "take.wav", 60000);
  const Recording recording = WriteRecording(alone, "take.wav", 60000);
  ASSERT_TRUE(ProcessRecording(first.path, first.info, first.frames, JobOptions{{}, kSuppliedFilter}));
  ASSERT_EQ(chmod(alone.path().c_str(), 0777), 0);
  ASSERT_EQ(chmod(recording.path.c_str(), 0644), 0);

  const ChildRun run = RunInChild(
      [] {
        DropToNobodyIfRoot();
        const rlimit none{0, 0};
        if (setrlimit(RLIMIT_NPROC, &none) != 0) _exit(3);
      },
      [&](std::string& report) {
        try {
          std::thread([] {}).join();
          report.append("a thread was started\n");
        } catch (const std::system_error&) {
        }
        return ProcessRecording(recording.path, recording.info, recording.frames, JobOptions{{}, kSuppliedFilter});
      });
  ASSERT_TRUE(run.exitedNormally) << "signal " << run.signal;
  EXPECT_TRUE(run.jobResult);
  EXPECT_EQ(run.messages, std::vector<std::string>{});
  for (const char* name : {"take QLW unfiltered.wav", "take QLW filtered.wav"}) {
    const Bytes expected = test::ReadWholeFile(threaded.Path(name));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(test::FirstOutputDifference(test::ReadWholeFile(alone.Path(name)), expected), "") << name;
  }
}

TEST(JobFaults, AnInputDeletedAfterItsCheckIsReportedAndNoOutputReplaced) {
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "gone.wav", 200);
  PlaceOldOutputs(folder, "gone");
  ASSERT_EQ(unlink(recording.path.c_str()), 0);
  std::vector<std::string> messages;
  JobOptions options;
  options.filterFile = kSuppliedFilter;
  options.tell = [&](const JobNote& note) { messages.push_back(DialogueText(note)); };
  EXPECT_FALSE(ProcessRecording(recording.path, recording.info, recording.frames, options));
  EXPECT_TRUE(Mentions(messages, "gone.wav"));
  EXPECT_EQ(test::ReadWholeFile(folder.Path("gone QLW unfiltered.wav")), kOldContent);
  EXPECT_EQ(test::ReadWholeFile(folder.Path("gone QLW filtered.wav")), kOldContent);
}

// A recording cut short after its check is read like any file shorter than
// its header says: the missing samples are silence, and both outputs are
// whole files of the promised length.
TEST(JobFaults, AnInputTruncatedAfterItsCheckGivesWholeFilesWithSilenceForTheRest) {
  test::ScratchFolder folder;
  Recording recording = WriteRecording(folder, "cut.wav", 400);
  ASSERT_EQ(truncate(recording.path.c_str(), 44 + 4 * 150 + 1), 0);  // 150 frames and a stray byte
  std::vector<std::int16_t> expected = recording.samples;
  std::fill(expected.begin() + 300, expected.end(), 0);
  expected[300] = static_cast<std::int16_t>(recording.samples[300] & 0xFF);  // the stray low byte

  JobOptions options;
  options.filterFile = kSuppliedFilter;
  ASSERT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, options));
  const test::ReferenceOutputs reference = test::RunReferenceChain(expected, SuppliedTaps());
  EXPECT_EQ(test::FirstDifference(DataOf(test::ReadWholeFile(folder.Path("cut QLW unfiltered.wav"))), reference.unfiltered), "");
  EXPECT_EQ(test::FirstDifference(DataOf(test::ReadWholeFile(folder.Path("cut QLW filtered.wav"))), reference.filtered), "");
}

// The recording changes under the job, after it was opened (the message
// about the missing coefficient file comes before the passes read it): the
// outputs would be made of other samples than the recording that was shown,
// or of two different ones. The user is told, and neither output replaces
// the old files.
TEST(JobFaults, AnInputChangedWhileTheJobReadsItIsReportedAndNoOutputReplaced) {
  const struct {
    const char* what;
    std::function<void(const std::string& path)> change;
  } cases[] = {
      {"cut short", [](const std::string& path) { ASSERT_EQ(truncate(path.c_str(), 44 + 4 * 100), 0); }},
      {"grown", [](const std::string& path) { ASSERT_EQ(truncate(path.c_str(), 44 + 4 * 5000), 0); }},
      {"written over, same length",
       [](const std::string& path) {
         const int fd = open(path.c_str(), O_WRONLY);
         ASSERT_GE(fd, 0);
         ASSERT_EQ(pwrite(fd, "\x7f\x7f\x7f\x7f", 4, 44 + 4 * 2000), 4);
         close(fd);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScratchFolder folder;
    const Recording recording = WriteRecording(folder, "moving.wav", 3000);
    PlaceOldOutputs(folder, "moving");
    const std::vector<std::string> before = folder.Entries();
    std::vector<std::string> messages;
    JobOptions options;
    options.filterFile = folder.Path("no recfilt.dat");
    options.tell = [&](const JobNote& note) {
      if (messages.empty()) c.change(recording.path);
      messages.push_back(DialogueText(note));
    };
    EXPECT_FALSE(ProcessRecording(recording.path, recording.info, recording.frames, options));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(Mentions(messages, "moving.wav changed while it was being read")) << messages.back();
    EXPECT_EQ(folder.Entries(), before);
    EXPECT_EQ(test::ReadWholeFile(folder.Path("moving QLW unfiltered.wav")), kOldContent);
    EXPECT_EQ(test::ReadWholeFile(folder.Path("moving QLW filtered.wav")), kOldContent);
  }
}

// Under every memory limit, from none to spare down to a few megabytes, the
// job ends in order: either both files complete, or a message and no
// temporary file. It never dies of the limit.
TEST(JobFaults, TooLittleMemoryEndsInAMessageAndNeverInACrash) {
#ifdef QUENLOW_ADDRESS_SANITIZER
  GTEST_SKIP() << "the address sanitizer reserves more address space than any limit allows";
#endif
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "big.wav", 300000);  // 1.2 MB of samples
  for (const rlim_t spare : {rlim_t{0}, rlim_t{1} << 20, rlim_t{4} << 20, rlim_t{16} << 20, rlim_t{64} << 20,
                             rlim_t{256} << 20}) {
    SCOPED_TRACE("spare address space " + std::to_string(spare >> 20) + " MB");
    const ChildRun run = RunJobInChild(recording, kSuppliedFilter, [spare] { LimitAddressSpace(spare); });
    ASSERT_TRUE(run.exitedNormally) << "signal " << run.signal;
    EXPECT_FALSE(run.threw) << run.messages.back();
    EXPECT_TRUE(run.jobResult || !run.messages.empty());
    for (const std::string& name : folder.Entries()) {
      EXPECT_NE(name[0], '.') << "temporary file left: " << name;
      if (name == "big.wav") continue;
      const std::uint64_t frames = name == "big QLW unfiltered.wav" ? UnfilteredFrameCount(recording.frames)
                                                                   : FilteredFrameCount(recording.frames);
      EXPECT_EQ(test::ReadWholeFile(folder.Path(name)).size(), 44 + 6 * frames) << name;
    }
  }
}

// A 4 KB file whose header claims 2 GB is read as the 1013 frames it holds,
// not as 2 GB of silence; a frame count past what any file system holds,
// handed to the job directly, ends in a message at once.
TEST(JobFaults, AHeaderPromisingMoreThanTheFileHoldsGivesTheFramesHeld) {
  test::ScratchFolder folder;
  test::HeaderFigures figures;
  figures.dataSize = 0x7FFFFFF0u;
  const std::vector<std::int16_t> samples = Ramp(1013);
  const std::string path = folder.Write("huge.wav", test::Join({test::CanonicalHeader(figures), test::SamplesAsBytes(samples)}));
  const WavHeaderResult header = ReadWavHeader(path);
  ASSERT_TRUE(header.info.has_value());
  const std::int64_t frames = SampleFrameCount(*header.info);
  EXPECT_EQ(frames, 1013);
  std::vector<std::string> messages;
  JobOptions options;
  options.filterFile = kSuppliedFilter;
  options.tell = [&](const JobNote& note) { messages.push_back(DialogueText(note)); };
  ASSERT_TRUE(ProcessRecording(path, *header.info, frames, options));
  EXPECT_TRUE(messages.empty());
  const test::ReferenceOutputs reference = test::RunReferenceChain(samples, SuppliedTaps());
  EXPECT_EQ(test::FirstDifference(DataOf(test::ReadWholeFile(folder.Path("huge QLW filtered.wav"))), reference.filtered), "");

  test::ScratchFolder other;
  const std::string copy = other.Write("huge.wav", test::ReadWholeFile(path));
  EXPECT_FALSE(ProcessRecording(copy, *header.info, std::int64_t{1} << 50, options));
  EXPECT_TRUE(Mentions(messages, "longer than any output file can hold"));
  EXPECT_EQ(other.Entries(), (std::vector<std::string>{"huge.wav"}));
}

// Sizes at the ends of the 32-bit fields and offsets past 4 GiB: the figures
// stay in range (the sanitizer build traps any overflow on the way).
TEST(JobFaults, HeaderSizesAtTheLimitsOfTheArithmeticGiveSaneFigures) {
  test::HeaderFigures figures;
  const Bytes format = test::Chunk("fmt ", test::FormatPayload(figures));
  const struct {
    const char* what;
    Bytes bytes;
    std::uint64_t fileSize;
  } cases[] = {
      {"largest stored size", test::RiffFile({format, test::ChunkHeader("data", 0x7FFFFFFF)}), 60},
      {"open-ended, longest file", test::RiffFile({format, test::ChunkHeader("data", 0xFFFFFFFF)}), ~std::uint64_t{0}},
      {"open-ended, file shorter than its header", test::RiffFile({format, test::ChunkHeader("data", 0xFFFFFFFF)}), 3},
      {"chunks of 4 GiB ahead of the data",
       test::RiffFile({format, test::ChunkHeader("JUNK", 0xFFFFFFFF), test::ChunkHeader("data", 0xFFFFFFFE)}),
       ~std::uint64_t{0}},
      {"format chunk of 4 GiB", test::RiffFile({test::ChunkHeader("fmt ", 0xFFFFFFFF), test::ChunkHeader("data", 8)}),
       ~std::uint64_t{0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const WavHeaderResult result = ParseWavHeader(c.bytes.data(), c.bytes.size(), c.fileSize);
    if (!result.info) continue;
    const std::int64_t frames = SampleFrameCount(*result.info);
    EXPECT_GE(frames, 0);
    EXPECT_LE(frames, std::int64_t{1} << 62);
    EXPECT_GE(FilteredFrameCount(frames), FilteredFrameCount(0));
    EXPECT_GE(DurationSeconds(*result.info, frames), 0.0);
  }
  // The largest outputs are written as RF64 or refused, never with wrapped sizes.
  for (const std::int64_t frames : {std::int64_t{1} << 40, std::int64_t{1} << 58, INT64_MAX / 6, INT64_MAX}) {
    const auto layout = OutputWavHeader(2, 192000, frames);
    if (layout) {
      EXPECT_EQ(layout->dataSize, static_cast<std::uint64_t>(frames) * 6) << frames;
    }
  }
}

struct FilterFault {
  std::vector<std::string> messages;
  bool result = false;
};

FilterFault RunWithFilter(const test::ScratchFolder& folder, const Recording& recording, const std::string& filter) {
  FilterFault fault;
  JobOptions options;
  options.filterFile = filter;
  options.tell = [&](const JobNote& note) { fault.messages.push_back(DialogueText(note)); };
  fault.result = ProcessRecording(recording.path, recording.info, recording.frames, options);
  // The filtered file is then made of dither alone: every value within one
  // step of zero.
  const Bytes filtered = DataOf(test::ReadWholeFile(folder.Path("f QLW filtered.wav")));
  EXPECT_EQ(filtered.size(), 6u * static_cast<std::size_t>(FilteredFrameCount(recording.frames)));
  for (std::size_t e = 0; e < filtered.size() / 3; ++e) {
    const std::int32_t q = test::UnpackSample24(filtered, e);
    if (q < -1 || q > 1) {
      ADD_FAILURE() << "element " << e << " is " << q;
      break;
    }
  }
  return fault;
}

TEST(JobFaults, ACoefficientFileThatIsADirectoryOrLeadsThroughAFileGivesDitherOnlyAndSaysSo) {
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "f.wav", 100);
  ASSERT_EQ(mkdir(folder.Path("recfilt.dat").c_str(), 0755), 0);
  for (const std::string& filter : {folder.Path("recfilt.dat"), folder.Path("f.wav/recfilt.dat")}) {
    SCOPED_TRACE(filter);
    const FilterFault fault = RunWithFilter(folder, recording, filter);
    EXPECT_TRUE(fault.result);
    ASSERT_EQ(fault.messages.size(), 1u);
    EXPECT_TRUE(Mentions(fault.messages, "dither only"));
  }
}

TEST(JobFaults, AnUnreadableCoefficientFileGivesDitherOnlyAndSaysSo) {
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "f.wav", 100);
  const std::string filter = folder.Write("recfilt.dat", test::ReadWholeFile(kSuppliedFilter));
  ASSERT_EQ(chmod(filter.c_str(), 0), 0);
  ASSERT_EQ(chmod(folder.path().c_str(), 0777), 0);
  ASSERT_EQ(chmod(recording.path.c_str(), 0644), 0);

  const ChildRun run = RunJobInChild(recording, filter, DropToNobodyIfRoot);
  ASSERT_TRUE(run.exitedNormally) << "signal " << run.signal;
  EXPECT_TRUE(run.jobResult);
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_TRUE(Mentions(run.messages, "dither only"));
  const Bytes filtered = DataOf(test::ReadWholeFile(folder.Path("f QLW filtered.wav")));
  EXPECT_EQ(filtered.size(), 6u * static_cast<std::size_t>(FilteredFrameCount(recording.frames)));
  EXPECT_TRUE(std::all_of(filtered.begin(), filtered.end(), [](std::uint8_t b) { return b == 0 || b == 1 || b == 0xFF; }));
}

// Megabytes of one field are read in constant memory and in one pass: the
// reader keeps the first digits of a number and counts the rest.
TEST(JobFaults, ACoefficientFileOfManyMegabytesOfOneFieldIsReadInConstantMemory) {
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "f.wav", 100);
  Bytes text(48u << 20, '0');
  text[1] = '.';
  text.push_back('1');
  text.insert(text.end(), {',', '0', '.', '5'});
  const std::string filter = folder.Write("recfilt.dat", text);

  // The reader alone, with far less room than the file: a reader that held
  // the text or the field whole would fail.
  const ChildRun read = RunInChild(
      [] {
#ifndef QUENLOW_ADDRESS_SANITIZER
        LimitAddressSpace(rlim_t{8} << 20);
#endif
      },
      [&](std::string& report) {
        const std::optional<FilterTaps> taps = LoadFilterTaps(filter);
        if (!taps) return false;
        report.append(std::to_string((*taps)[0]) + "\n" + std::to_string((*taps)[1]) + "\n");
        return true;
      });
  ASSERT_TRUE(read.exitedNormally) << "signal " << read.signal;
  EXPECT_FALSE(read.threw) << read.messages.back();
  EXPECT_TRUE(read.jobResult);
  EXPECT_EQ(read.messages, (std::vector<std::string>{"0.000000", "0.500000"}));

  JobOptions options;
  options.filterFile = filter;
  std::vector<std::string> messages;
  options.tell = [&](const JobNote& note) { messages.push_back(DialogueText(note)); };
  EXPECT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, options));
  EXPECT_EQ(messages, std::vector<std::string>{" " + filter + " holds only 2 of 215 numbers: the rest are taken as 0  "});
}

// A termination request can land anywhere in the life of an output, also
// inside the very call that creates its file. Here a child makes,
// fills, finishes or abandons outputs as fast as it can and is ended at a
// different moment each round: it must never leave a temporary file.
TEST(JobFaults, AnInterruptionAtAnyMomentLeavesNoTemporaryFile) {
  test::ScratchFolder folder;
  const Bytes block(6 * 64, 0x11);
  for (int round = 0; round < 150; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      // Every other round with named temporary files, as on file systems
      // without unnamed ones: those the clean-up has to remove.
      AllowUnnamedOutputs(round % 2 == 0);
      if (!LeaveNoOutputOnInterruption()) _exit(3);
      ssize_t ignored = write(ready[1], "r", 1);
      (void)ignored;
      for (int i = 0;; ++i) {
        OutputWavWriter writer(folder.Path("out.wav"), 2, 176400, 64);
        writer.Append(block.data(), block.size());
        if (i % 2 == 0) (void)writer.Finish();
      }
    }
    char started = 0;
    const bool watching = read(ready[0], &started, 1) == 1;
    close(ready[0]);
    close(ready[1]);
    if (watching) usleep(static_cast<useconds_t>(100 + (round * 37) % 2000));
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(watching && WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM)
        << "round " << round << ", status " << status;
    for (const std::string& name : folder.Entries()) {
      ASSERT_EQ(name, "out.wav") << "left behind in round " << round;
    }
  }
}

// How long the job takes on a recording of 40000 frames made in `folder`
// (its outputs stay there); 0 when it fails. The kill tests spread their
// kills over this time.
std::chrono::microseconds TimedJob(const test::ScratchFolder& folder, const std::string& name, const JobOptions& options) {
  const Recording made = WriteRecording(folder, name, 40000);
  const auto start = std::chrono::steady_clock::now();
  if (!ProcessRecording(made.path, made.info, made.frames, options)) return std::chrono::microseconds{0};
  return std::max(std::chrono::microseconds{1},
                  std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start));
}

// Killed outright (SIGKILL, the out-of-memory killer, a power cut) at any
// moment of a job, the program can clean nothing up. Its outputs are files
// with no name until they are complete, so the folder never holds anything
// new but complete outputs: each name holds the old file or the whole new
// one. A file linked under a hidden name to replace an old one is renamed
// over it at once; a kill between the two leaves it complete, and only then.
TEST(JobFaults, KilledAtAnyMomentTheFolderHoldsNothingNewButCompleteOutputs) {
  constexpr int kRounds = 60;
  test::ScratchFolder reference;
  JobOptions options;
  options.filterFile = kSuppliedFilter;
  const std::chrono::microseconds jobTime = TimedJob(reference, "k.wav", options);
  ASSERT_GT(jobTime.count(), 0) << "the job in " << reference.path() << " failed";
  const Bytes newUnfiltered = test::ReadWholeFile(reference.Path("k QLW unfiltered.wav"));
  const Bytes newFiltered = test::ReadWholeFile(reference.Path("k QLW filtered.wav"));

  int completeButHidden = 0;
  int mixedPairs = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    test::ScratchFolder folder;
    const Recording recording = WriteRecording(folder, "k.wav", 40000);
    const bool replacing = round % 2 == 1;
    if (replacing) PlaceOldOutputs(folder, "k");
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      _exit(ProcessRecording(recording.path, recording.info, recording.frames, options) ? 0 : 1);
    }
    // From the very start to a little past the job's usual end.
    usleep(static_cast<useconds_t>(jobTime.count() * 6 / 5 * round / kRounds));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    for (const std::string& name : folder.Entries()) {
      if (name == "k.wav") continue;
      const Bytes content = test::ReadWholeFile(folder.Path(name));
      const bool complete = content == newUnfiltered || content == newFiltered;
      if (name == "k QLW unfiltered.wav" || name == "k QLW filtered.wav") {
        EXPECT_TRUE(complete || (replacing && content == kOldContent)) << name << ": " << content.size() << " bytes";
      } else {
        // A hidden name holds a complete new file (killed between its link
        // and its exchange) or an old one (between the exchange and its
        // removal); a later run removes either.
        EXPECT_TRUE(complete || (replacing && content == kOldContent))
            << "left behind: " << name << ", " << content.size() << " bytes";
        completeButHidden += 1;
      }
    }
    // The pair is the old one or the new one, never one of each.
    if (replacing) {
      const bool oldUnfiltered = test::ReadWholeFile(folder.Path("k QLW unfiltered.wav")) == kOldContent;
      const bool oldFiltered = test::ReadWholeFile(folder.Path("k QLW filtered.wav")) == kOldContent;
      mixedPairs += oldUnfiltered != oldFiltered;
    }
  }
  // Killed in the few system calls of the naming step; more than once in a
  // run means the window is not small.
  EXPECT_LE(completeButHidden, 1);
  EXPECT_LE(mixedPairs, 1);
}

// Where the file system has neither unnamed files nor exchange (vfat, a FUSE
// mirror), the outputs are hidden named files while written, and a kill
// leaves them behind: up to the full size of each output. The next run in
// the folder removes those nobody holds, and nothing else.
TEST(JobFaults, KilledOnAFileSystemWithoutUnnamedFilesTheNextRunRemovesWhatWasLeft) {
  constexpr int kRounds = 30;
  test::ScratchFolder reference;
  JobOptions options;
  options.filterFile = kSuppliedFilter;
  const std::chrono::microseconds jobTime = TimedJob(reference, "n.wav", options);
  ASSERT_GT(jobTime.count(), 0) << "the job in " << reference.path() << " failed";

  int leftBehind = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    test::ScratchFolder folder;
    const Recording recording = WriteRecording(folder, "n.wav", 40000);
    PlaceOldOutputs(folder, "n");
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      AllowUnnamedOutputs(false);
      platform::AllowNameExchange(false);
      _exit(ProcessRecording(recording.path, recording.info, recording.frames, options) ? 0 : 1);
    }
    // Kill once the hidden outputs exist, at a moment spread over their
    // writing: a fixed delay from the start would miss them on a machine
    // where starting the job takes longer than it did here.
    int status = 0;
    bool exited = false;
    const auto deadline = std::chrono::steady_clock::now() + jobTime * 4 + std::chrono::seconds(2);
    while (folder.Entries().size() <= 3 && std::chrono::steady_clock::now() < deadline) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        exited = true;
        break;
      }
      usleep(100);
    }
    if (!exited) {
      usleep(static_cast<useconds_t>(jobTime.count() / 2 * round / kRounds));
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    leftBehind += folder.Entries().size() > 3;
    // The next run: the folder then holds the recording and the two outputs.
    RemoveAbandonedOutputs({folder.Path("n QLW unfiltered.wav")});
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"n QLW filtered.wav", "n QLW unfiltered.wav", "n.wav"}));
  }
  // Most kills land while the outputs are written, each leaving files.
  EXPECT_GT(leftBehind, kRounds / 3);
}

}  // namespace
}  // namespace quenlow
