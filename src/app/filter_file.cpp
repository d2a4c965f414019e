#include "app/filter_file.h"

#include "platform/files.h"
#include "platform/system_facts.h"

namespace quenlow {

std::vector<std::string> FilterFileCandidates() {
  std::vector<std::string> candidates = {kFilterFileName};
  const std::string folder = platform::InstalledDataFolder();
  if (!folder.empty()) candidates.push_back(folder + "/" + kFilterFileName);
  return candidates;
}

std::optional<std::string> FindFilterFile() {
  for (const std::string& candidate : FilterFileCandidates()) {
    if (platform::PathExists(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace quenlow
