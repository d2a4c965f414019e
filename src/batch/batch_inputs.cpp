#include "batch/batch_inputs.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>

#include "platform/command_line.h"
#include "platform/files.h"
#include "wav/wav_writer.h"

namespace quenlow {

namespace {

namespace fs = std::filesystem;

// Extensions of the formats libsndfile reads that can hold 16-bit PCM.
constexpr std::string_view kAudioExtensions[] = {".wav",  ".wave", ".flac", ".aif", ".aiff", ".aifc",
                                                 ".caf",  ".w64",  ".rf64", ".au",  ".snd"};

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool IsAudioName(const std::string& name) {
  const std::string lower = Lower(name);
  return std::any_of(std::begin(kAudioExtensions), std::end(kAudioExtensions),
                     [&](std::string_view extension) { return EndsWith(lower, extension); });
}

// A folder given with its separator at the end ("music/", on Windows also
// "C:\music\" or "D:") takes the name as it is.
std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return platform::FileNamePosition(folder) == folder.size() ? folder + name : folder + "/" + name;
}

// The audio files of one folder in name order, with those of its subfolders
// at their folders' places. Symbolic links to folders are not followed: a
// link back up the tree would never end.
void ListFolder(const std::string& folder, const std::string& subfolder, bool recursive,
                std::vector<BatchInput>& found) {
  std::error_code error;
  fs::directory_iterator entries(platform::FileSystemPath(Join(folder, subfolder)), error);
  if (error) {
    found.push_back({Join(folder, subfolder), subfolder, "cannot be listed: " + error.message(), true});
    return;
  }
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : entries) names.push_back(platform::NameOfPath(entry.path().filename()));
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    // Hidden files are passed over: among them the ._ companions some
    // systems leave beside every file of an album.
    if (name.empty() || name[0] == '.') continue;
    const std::string place = subfolder.empty() ? name : subfolder + "/" + name;
    const std::string path = Join(folder, place);
    const fs::file_status link = fs::symlink_status(platform::FileSystemPath(path), error);
    // An entry that cannot even be looked at (a path past the system's
    // limit) is said, never dropped in silence.
    if (error) {
      found.push_back({path, place, "cannot be listed: " + error.message(), true});
      continue;
    }
    if (fs::is_directory(link)) {
      if (recursive) ListFolder(folder, place, recursive, found);
      continue;
    }
    if (!IsAudioName(name) || IsOutputName(name)) continue;
    if (!fs::is_regular_file(fs::status(platform::FileSystemPath(path), error))) continue;
    found.push_back({path, subfolder, ""});
  }
}

}  // namespace

bool IsOutputName(const std::string& path) {
  for (std::string_view suffix : {kUnfilteredSuffix, kFilteredSuffix, kUnfilteredFlacSuffix, kFilteredFlacSuffix}) {
    if (EndsWith(path, suffix)) return true;
  }
  return false;
}

bool IsWavName(const std::string& path) { return EndsWith(Lower(platform::FileNameOf(path)), ".wav"); }

std::vector<BatchInput> FindBatchInputs(const std::vector<std::string>& arguments, bool recursive) {
  std::vector<BatchInput> found;
  for (const std::string& argument : arguments) {
    std::error_code error;
    if (fs::is_directory(fs::status(platform::FileSystemPath(argument), error))) {
      ListFolder(argument, "", recursive, found);
    } else {
      found.push_back({argument, "", ""});
    }
  }
  // The same file reached twice (a folder and a file in it) is taken once.
  std::set<std::string> seen;
  std::vector<BatchInput> inputs;
  for (BatchInput& input : found) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(platform::FileSystemPath(input.path), error);
    if (!seen.insert(error ? input.path : platform::NameOfPath(canonical)).second) continue;
    inputs.push_back(std::move(input));
  }
  return inputs;
}

OutputNames BatchOutputNames(const BatchInput& input, const std::string& outputFolder, bool flac) {
  std::string base = outputFolder.empty() ? input.path
                                          : Join(Join(outputFolder, input.subfolder), platform::FileNameOf(input.path));
  const std::string_view unfiltered = flac ? kUnfilteredFlacSuffix : kUnfilteredSuffix;
  const std::string_view filtered = flac ? kFilteredFlacSuffix : kFilteredSuffix;
  if (IsWavName(input.path)) return {OutputFileName(base, unfiltered), OutputFileName(base, filtered)};
  // The extension is what follows the last dot of the file's own name; a
  // name that starts with its only dot has none.
  const std::size_t nameStart = platform::FileNamePosition(base);
  const auto dot = base.rfind('.');
  if (dot != std::string::npos && dot > nameStart) base.erase(dot);
  return {base + std::string(unfiltered), base + std::string(filtered)};
}

}  // namespace quenlow
