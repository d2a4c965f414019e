#include "platform/system_facts.h"

#include <unistd.h>

#include <climits>
#include <ctime>

namespace quenlow::platform {

double MonotonicSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::string InstalledDataFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  const std::string program(path, static_cast<std::size_t>(length));
  const auto slash = program.rfind('/');
  if (slash == std::string::npos) return {};
  return program.substr(0, slash) + "/../share/quenlow";
}

const char* InstalledDocumentation() { return "man quenlow"; }

}  // namespace quenlow::platform
