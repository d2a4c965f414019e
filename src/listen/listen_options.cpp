#include "listen/listen_options.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "listen/blind_test.h"
#include "version.h"

namespace quenlow::listen {
namespace {

constexpr const char* kDescription =
    "Plays a 16-bit stereo recording (WAV, FLAC, ...) as the two quenlow outputs and as its ideal\n"
    "reconstruction, on one timeline, switchable at any moment; or runs a blind (ABX) test of two of them.\n"
    "Sources: unfiltered, filtered, original.";

constexpr const char* kFooter =
    "Keys: 1 2 3 pick unfiltered, filtered, original; Space pauses; , and . go back and on 5 s;\n"
    "[ and ] set the loop's start and end; \\ loops the whole; q quits. See quenlow-listen(1).";

}  // namespace

std::variant<ListenOptions, int> ParseListenOptions(int argc, char** argv) {
  ListenOptions options;
  CLI::App app{kDescription, "quenlow-listen"};
  app.footer(kFooter);
  app.set_version_flag("-V,--version", std::string("quenlow-listen ") + kVersion);
  auto* recording = app.add_option("RECORDING", options.recording, "the recording to listen to");
  auto* list = app.add_flag("--list-devices", options.listDevices, "list the sound devices and how each treats the samples");
  app.add_option("--device", options.device, "play through this device (its name, or a part of it)")
      ->option_text("NAME");
  app.add_option("--filter", options.filterFile,
                 "the coefficient file (default: recfilt.dat in the current folder, then the installed one)")
      ->option_text("FILE");
  app.add_option("--from", options.from, "start here (and loop from here)")->option_text("SECONDS")->check(CLI::NonNegativeNumber);
  app.add_option("--to", options.to, "end here (and loop back from here)")->option_text("SECONDS")->check(CLI::PositiveNumber);
  const std::vector<std::string> names = {"unfiltered", "filtered", "original"};
  std::string play;
  app.add_option("--play", play, "play this source from --from to --to once, without the screen, and exit")
      ->option_text("SOURCE")
      ->check(CLI::IsMember(names));
  std::vector<std::string> abx;
  app.add_option("--abx", abx, "a blind test: is X the one or the other of these two sources?")
      ->option_text("A B")
      ->expected(2)
      ->allow_extra_args(false)
      ->check(CLI::IsMember(names));
  app.add_option("--trials", options.trials, "trials of the blind test (default 16)")
      ->check(CLI::Range(1, kMaxTrials));
  app.add_option("--log", options.log, "where the blind test's log goes (default: a dated file in this folder)")
      ->option_text("FILE");
  app.add_flag("--any-rate", options.anyRate,
               "on a device that cannot play the outputs' rate, play them resampled to the fastest rate it can\n"
               "(unfiltered and filtered then sound the same at 44.1 or 48 kHz)");
  recording->excludes(list);
  try {
    app.parse(argc, argv);
    if (!options.listDevices && options.recording.empty()) {
      throw CLI::RequiredError("RECORDING");
    }
    if (!play.empty() && !abx.empty()) throw CLI::ValidationError("--play and --abx", "choose one of them");
    if (!abx.empty() && abx[0] == abx[1]) throw CLI::ValidationError("--abx", "needs two different sources");
    if (options.from && options.to && *options.to <= *options.from) {
      throw CLI::ValidationError("--to", "must come after --from");
    }
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 2;
  }
  if (!play.empty()) options.play = SourceNamed(play);
  if (!abx.empty()) {
    options.abxA = SourceNamed(abx[0]);
    options.abxB = SourceNamed(abx[1]);
  }
  return options;
}

}  // namespace quenlow::listen
