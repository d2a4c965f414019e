// Which files a batch takes, and the names of their outputs.
#pragma once

#include <string>
#include <vector>

namespace quenlow {

struct BatchInput {
  std::string path;            // as given, or the folder given joined with the file's place in it
  std::string subfolder;       // its place below the folder given ("" for a file named itself)
  std::string problem;         // set when the argument itself cannot be used
  bool folder = false;         // a folder that could not be listed (problem says why)
};

// The files named, and the audio files in the folders named (their
// subfolders too when `recursive`), each folder in name order. The outputs
// of earlier runs, hidden files and files other than audio are passed over
// in folders; a file named twice is taken once.
std::vector<BatchInput> FindBatchInputs(const std::vector<std::string>& arguments, bool recursive);

// Whether the name is one this program gives its outputs.
bool IsOutputName(const std::string& path);
// Whether the file goes through the WAV reader: its name ends in .wav, in
// any case. Other files are decoded by libsndfile.
bool IsWavName(const std::string& path);

struct OutputNames {
  std::string unfiltered;
  std::string filtered;
};

// For a WAV the name less its last four characters, as the dialogue forms
// it; for other files the name less its extension. Beside the input, or
// under `outputFolder` with the input's subfolder.
OutputNames BatchOutputNames(const BatchInput& input, const std::string& outputFolder);

}  // namespace quenlow
