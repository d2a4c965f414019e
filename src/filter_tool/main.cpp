// quenlow-filter: shows what the job makes of a coefficient file, designs
// one, and draws the spectra of recordings and their outputs.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "filter_tool/design_command.h"
#include "filter_tool/show.h"
#include "filter_tool/welch_command.h"
#include "platform/interruption_watch.h"
#include "version.h"
#include "wav/unfinished_outputs.h"

namespace {

// "1200x700" into a width and a height.
std::string ReadSize(const std::string& text, int& width, int& height) {
  int w = 0, h = 0;
  char end = 0;
  if (std::sscanf(text.c_str(), "%dx%d%c", &w, &h, &end) != 2 || w < 200 || h < 150 || w > 20000 || h > 20000) {
    return "the size must be WIDTHxHEIGHT in pixels, from 200x150 to 20000x20000";
  }
  width = w;
  height = h;
  return {};
}

const std::vector<double> kInputRates = {44100.0, 48000.0};

// A picture or design being written is removed when the program is stopped
// (it is a named temporary where the file system has no unnamed files).
int LeaveCleanly(quenlow::platform::StopCause) {
  quenlow::RemoveUnfinishedOutputsForGood();
  return quenlow::platform::kUsualStopStatus;
}

// An empty name is a fault, never the option left out.
const CLI::Validator kNamed(
    [](std::string& name) { return name.empty() ? std::string("the file name is empty") : std::string(); }, "FILE");

// A level the picture can start at: a finite number of dB, not above 0 dB
// against a full-scale sine.
const CLI::Validator kFloor(
    [](std::string& text) {
      char* end = nullptr;
      const double value = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0' || !std::isfinite(value) || value < -400.0 || value > 0.0) {
        return std::string("the floor must be a number of dB from -400 to 0");
      }
      return std::string();
    },
    "DB");

}  // namespace

int main(int argc, char** argv) {
  quenlow::platform::WatchForStopRequests(LeaveCleanly);
  CLI::App app{"See what a coefficient file does, design one, and picture the spectra of recordings.",
               "quenlow-filter"};
  app.set_version_flag("-V,--version", std::string("quenlow-filter ") + quenlow::kVersion);
  app.require_subcommand(1);
  app.failure_message([](const CLI::App*, const CLI::Error& error) {
    return std::string("quenlow-filter: ") + error.what() + "\nRun with --help for more information.\n";
  });
  std::string size = "1200x700";

  quenlow::ShowOptions show;
  CLI::App* showCommand = app.add_subcommand(
      "show", "Read a coefficient file as the job does and report on it (FILE left out: the one the job takes)");
  showCommand->add_option("FILE", show.file, "the coefficient file");
  showCommand->add_flag("--taps", show.listTaps, "list the 215 taps as read, in full precision");
  CLI::Option* plotOption =
      showCommand->add_option("--plot", show.plotFile, "draw the magnitude response into FILE.png or FILE.svg")
          ->check(kNamed);
  // The picture's options mean nothing without a picture.
  showCommand->add_flag("--impulse", show.impulse, "with --plot, draw the taps as an impulse response too")
      ->needs(plotOption);
  showCommand->add_option("--rate", show.plotRate, "with --plot, the input rate the picture is drawn for (44100 or 48000)")
      ->check(CLI::IsMember(kInputRates))
      ->needs(plotOption);
  showCommand->add_option("--size", size, "with --plot, the picture's size in pixels, WIDTHxHEIGHT (1200x700)")
      ->needs(plotOption);

  quenlow::DesignOptions design;
  std::string window = "kaiser";
  double cutoff = 0.0, transition = 0.0, attenuation = 0.0, beta = 0.0;
  CLI::App* designCommand = app.add_subcommand("design", "Write a windowed-sinc low-pass filter as a coefficient file");
  designCommand->add_option("OUTPUT", design.output, "the file to write (- for standard output)")->required()->check(kNamed);
  designCommand->add_option("--rate", design.request.inputRate, "the input rate; the filter runs at 4 times it (44100)")
      ->check(CLI::IsMember(kInputRates));
  CLI::Option* cutoffOption = designCommand->add_option("--cutoff", cutoff, "the cutoff in Hz (half the input rate)");
  designCommand->add_option("--window", window, "kaiser, blackman, hamming, hann or rectangular (kaiser)");
  CLI::Option* betaOption = designCommand->add_option("--beta", beta, "the Kaiser window's beta (7.8)");
  CLI::Option* transitionOption =
      designCommand->add_option("--transition", transition, "the Kaiser design's transition width in Hz");
  CLI::Option* attenuationOption =
      designCommand->add_option("--attenuation", attenuation, "the Kaiser design's stopband attenuation in dB");

  quenlow::SpectrumOptions spectrum;
  double from = 0.0, to = 0.0, floor = 0.0;
  CLI::App* spectrumCommand =
      app.add_subcommand("spectrum", "Draw the averaged spectra of up to four recordings over one another");
  spectrumCommand
      ->add_option("FILE", spectrum.files, "up to four recordings: WAV, RF64 or anything else libsndfile reads")
      ->required();
  CLI::Option* outputOption =
      spectrumCommand->add_option("-o,--output", spectrum.output, "the picture, FILE.png or FILE.svg")->check(kNamed);
  CLI::Option* textOption =
      spectrumCommand->add_flag("--text", spectrum.text, "print the band levels instead of drawing")
          ->excludes(outputOption);
  CLI::Option* fromOption = spectrumCommand->add_option("--from", from, "start of the stretch, in seconds");
  CLI::Option* toOption = spectrumCommand->add_option("--to", to, "end of the stretch, in seconds");
  spectrumCommand->add_option("--fft", spectrum.fftLength, "segment length for the file of the highest rate (8192)")
      ->check(CLI::Range(64, 1 << 22));
  CLI::Option* floorOption = spectrumCommand->add_option("--floor", floor, "the lowest level drawn, in dB (-400 to 0)")
                                 ->check(kFloor)
                                 ->excludes(textOption);
  spectrumCommand->add_option("--size", size, "the picture's size in pixels, WIDTHxHEIGHT (1200x700)")
      ->excludes(textOption);

  // Usage faults end with status 2, whatever CLI11's own code for them.
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }

  int width = 0, height = 0;
  if (const std::string problem = ReadSize(size, width, height); !problem.empty()) {
    std::cerr << "quenlow-filter: " << problem << "\n";
    return 2;
  }
  if (showCommand->parsed()) {
    show.width = width;
    show.height = height;
    return quenlow::RunShow(show, std::cout, std::cerr);
  }
  if (designCommand->parsed()) {
    const std::optional<quenlow::DesignWindow> named = quenlow::WindowNamed(window);
    if (!named) {
      std::cerr << "quenlow-filter design: unknown window " << window
                << " (kaiser, blackman, hamming, hann or rectangular)\n";
      return 2;
    }
    design.request.window = *named;
    if (*cutoffOption) design.request.cutoffHz = cutoff;
    if (*betaOption) design.request.beta = beta;
    if (*transitionOption) design.request.transitionHz = transition;
    if (*attenuationOption) design.request.attenuationDb = attenuation;
    return quenlow::RunDesign(design, std::cout, std::cerr);
  }
  spectrum.width = width;
  spectrum.height = height;
  if (*fromOption) spectrum.stretch.fromSeconds = from;
  if (*toOption) spectrum.stretch.toSeconds = to;
  if (*floorOption) spectrum.floorDb = floor;
  return quenlow::RunSpectrum(spectrum, std::cout, std::cerr);
}
