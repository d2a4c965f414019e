// The command line of quenlow-batch.
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace quenlow {

struct BatchOptions {
  std::vector<std::string> inputs;   // files and folders, as given
  bool recursive = false;            // folders' subfolders too
  std::string outputFolder;          // empty: each output beside its input
  bool makeUnfiltered = true;
  bool makeFiltered = true;
  bool skipExisting = false;
  std::string filterFile;            // empty: the dialogue's lookup
  bool allowNoFilter = false;
  bool quiet = false;
  bool json = false;
  bool standardOutputClosed = false;  // found so at start: the JSON log cannot be written
};

// The options, or the status to end with at once: 0 after --help or
// --version, 2 for a usage error (already explained on stderr).
std::variant<BatchOptions, int> ParseBatchOptions(int argc, char** argv);

}  // namespace quenlow
