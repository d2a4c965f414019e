// quenlow-filter: shows what the job makes of a coefficient file, designs
// one, and draws the spectra of recordings and their outputs.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "filter_tool/design_command.h"
#include "filter_tool/show.h"
#include "filter_tool/welch_command.h"
#include "version.h"

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

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"See what a coefficient file does, design one, and picture the spectra of recordings.",
               "quenlow-filter"};
  app.set_version_flag("-V,--version", std::string("quenlow-filter ") + quenlow::kVersion);
  app.require_subcommand(1);
  std::string size = "1200x700";

  quenlow::ShowOptions show;
  CLI::App* showCommand = app.add_subcommand(
      "show", "Read a coefficient file as the job does and report on it (FILE left out: the one the job takes)");
  showCommand->add_option("FILE", show.file, "the coefficient file");
  showCommand->add_flag("--taps", show.listTaps, "list the 215 taps as read, in full precision");
  showCommand->add_option("--plot", show.plotFile, "draw the magnitude response into FILE.png or FILE.svg");
  showCommand->add_flag("--impulse", show.impulse, "with --plot, draw the taps as an impulse response too");
  showCommand->add_option("--rate", show.plotRate, "the input rate the picture is drawn for (44100 or 48000)")
      ->check(CLI::IsMember(kInputRates));
  showCommand->add_option("--size", size, "the picture's size in pixels, WIDTHxHEIGHT (1200x700)");

  quenlow::DesignOptions design;
  std::string window = "kaiser";
  double cutoff = 0.0, transition = 0.0, attenuation = 0.0, beta = 0.0;
  CLI::App* designCommand = app.add_subcommand("design", "Write a windowed-sinc low-pass filter as a coefficient file");
  designCommand->add_option("OUTPUT", design.output, "the file to write (- for standard output)")->required();
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
  spectrumCommand->add_option("FILE", spectrum.files, "WAV or RF64 recordings (up to four)")->required();
  spectrumCommand->add_option("-o,--output", spectrum.output, "the picture, FILE.png or FILE.svg");
  spectrumCommand->add_flag("--text", spectrum.text, "print the band levels instead of drawing");
  CLI::Option* fromOption = spectrumCommand->add_option("--from", from, "start of the stretch, in seconds");
  CLI::Option* toOption = spectrumCommand->add_option("--to", to, "end of the stretch, in seconds");
  spectrumCommand->add_option("--fft", spectrum.fftLength, "segment length for the file of the highest rate (8192)")
      ->check(CLI::Range(64, 1 << 22));
  CLI::Option* floorOption = spectrumCommand->add_option("--floor", floor, "the lowest level drawn, in dB");
  spectrumCommand->add_option("--size", size, "the picture's size in pixels, WIDTHxHEIGHT (1200x700)");

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
