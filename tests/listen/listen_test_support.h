// What the tests of quenlow-listen share: a HOME whose ALSA configuration
// turns the default device into a file, a recording with the job's two
// files written from it, and running the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/recording.h"
#include "support/wav_test_files.h"

namespace quenlow::listen::test {

using quenlow::test::Bytes;

inline const std::string kSuppliedFilter = QUENLOW_SOURCE_DIR "/data/recfilt.dat";

// A scratch HOME with an .asoundrc: the default ALSA device writes what it
// is given, raw, to Recorded() (the null device under it sets no pace).
class AlsaFileHome {
 public:
  AlsaFileHome();
  std::string Home() const { return folder_.path(); }
  std::string Recorded() const { return folder_.Path("played.raw"); }
  // ALSA's plugins are loaded and unloaded by the library: under the leak
  // checker what they keep shows as an unknown module, which no suppression
  // can name, so a sanitizer build checks the player for all but leaks.
  std::vector<std::string> Environment() const { return {"HOME=" + Home(), "ASAN_OPTIONS=detect_leaks=0"}; }
  // Another configuration in its place.
  void Configure(const std::string& asoundrc) const;
  const quenlow::test::ScratchFolder& Folder() const { return folder_; }

 private:
  quenlow::test::ScratchFolder folder_;
};

// A recording and the job's outputs from it, in a scratch folder.
struct JobFiles {
  quenlow::test::ScratchFolder folder;
  quenlow::test::Recording recording;
  Bytes unfiltered;  // whole files, headers included
  Bytes filtered;
};
void WriteJobFiles(JobFiles& files, const std::vector<std::int16_t>& samples);

// Tones and noise, like music in what the filter does to it.
std::vector<std::int16_t> MusicLike(std::size_t frames, unsigned seed);

// The file's frames [first, first + count) of its data, zero where it has none.
Bytes FileFrames(const Bytes& file, std::int64_t first, std::int64_t count);
// Frames [first, first + count) of raw bytes (6 a frame).
Bytes RawFrames(const Bytes& raw, std::int64_t first, std::int64_t count);

struct Run {
  int status = -1;
  std::string out;
  std::string err;
};
// Runs quenlow-listen with these arguments (no blanks in them), HOME and
// any other "NAME=value" settings.
Run RunListen(const std::string& home, const std::string& arguments, const std::string& environment = "");

}  // namespace quenlow::listen::test
