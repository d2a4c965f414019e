#include "batch/batch_options.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

#include "batch/other_formats.h"
#include "platform/command_line.h"
#include "version.h"

namespace quenlow {

namespace {

constexpr const char* kDescription =
    "Writes, for each 16-bit stereo recording at 44100 or 48000 Hz (WAV, FLAC, AIFF, ...), the two files the\n"
    "quenlow dialogue writes: \"<name> QLW unfiltered.wav\" and \"<name> QLW filtered.wav\".\n"
    "A folder stands for the audio files in it, in name order.";

constexpr const char* kFooter =
    "Exit status: 0 when every file was done or skipped, 1 when any was rejected or failed,\n"
    "2 for a usage error or no usable coefficient file. See quenlow-batch(1).";

}  // namespace

std::variant<BatchOptions, int> ParseBatchOptions(int argc, char** argv) {
  BatchOptions options;
  CLI::App app{kDescription, "quenlow-batch"};
  app.footer(kFooter);
  app.set_version_flag("-V,--version", std::string("quenlow-batch ") + kVersion);
  app.failure_message([](const CLI::App*, const CLI::Error& error) {
    return std::string("quenlow-batch: ") + error.what() + "\nRun with --help for more information.\n";
  });
  app.add_option("FILE|FOLDER", options.inputs, "recordings, and folders of them")->required();
  app.add_flag("-r,--recursive", options.recursive, "take the subfolders of a folder too");
  app.add_option("-o,--output", options.outputFolder,
                 "write the outputs under DIR (a folder's subfolders mirrored) instead of beside each input")
      ->option_text("DIR")
      ->check(CLI::Validator(
          [](std::string& folder) {
            std::error_code error;
            if (folder.empty()) return std::string("the folder's name is empty");
            const std::filesystem::path path = platform::FileSystemPath(folder);
            if (std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error)) {
              return folder + " is not a folder";
            }
            return std::string();
          },
          "DIR"));
  std::string only;
  app.add_option("--only", only, "make only this one of the two outputs")
      ->option_text("unfiltered|filtered")
      ->check(CLI::IsMember({"unfiltered", "filtered"}));
  app.add_flag("--skip-existing", options.skipExisting, "make only the outputs that do not exist yet; an input whose outputs all exist is skipped (resumes a stopped batch)");
  app.add_option("--filter", options.filterFile,
                 "the coefficient file (default: recfilt.dat in the current folder, then the installed one)")
      ->option_text("FILE");
  app.add_flag("--allow-no-filter", options.allowNoFilter,
               "go on without a usable coefficient file: the filtered outputs then hold dither only");
  app.add_flag("-q,--quiet", options.quiet, "no progress, no summary: only the files that went wrong");
  app.add_flag("--json", options.json, "one JSON object per file on standard output");
  std::string format = "wav";
  app.add_option("--format", format,
                 "the outputs' format: wav (the dialogue's bytes) or flac (24-bit, the same samples, with the "
                 "recording's tags)")
      ->option_text("wav|flac")
      ->check(CLI::IsMember({"wav", "flac"}));
  app.add_flag("--tags", options.tags,
               "WAV outputs carry the recording's tags too, in a LIST/INFO chunk after the audio");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 2;
  }
  if (only == "unfiltered") options.makeFiltered = false;
  if (only == "filtered") options.makeUnfiltered = false;
  options.flac = format == "flac";
  if (options.flac && !FlacOutputsAvailable()) {
    std::fprintf(stderr, "quenlow-batch: --format flac is not available in this build: its outputs are WAV only\n");
    return 2;
  }
  return options;
}

}  // namespace quenlow
