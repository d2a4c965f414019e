#include "dsp/filter_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace quenlow {
namespace {

std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  std::string program(path, static_cast<std::size_t>(length));
  const auto slash = program.rfind('/');
  return slash == std::string::npos ? std::string{} : program.substr(0, slash);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

}  // namespace

std::vector<std::string> FilterFileCandidates() {
  std::vector<std::string> candidates = {kFilterFileName};
  const std::string folder = ProgramFolder();
  if (!folder.empty()) candidates.push_back(folder + "/../share/quenlow/" + kFilterFileName);
  return candidates;
}

std::optional<std::string> FindFilterFile() {
  for (const std::string& candidate : FilterFileCandidates()) {
    if (Exists(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace quenlow
