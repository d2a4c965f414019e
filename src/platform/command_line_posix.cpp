#include "platform/command_line.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

namespace quenlow::platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

bool GuardStandardStreams() {
  bool outputClosed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    outputClosed = outputClosed || fd == 1;
    const int opened = open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd) close(opened);
  }
  return outputClosed;
}

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

void PrepareTextConsole() {}
void RestoreTextConsole() {}

bool CanRedrawLine(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

int TerminalColumns(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0) return size.ws_col;
  return 0;
}

std::filesystem::path FileSystemPath(const std::string& name) { return name; }
std::string NameOfPath(const std::filesystem::path& path) { return path.string(); }

}  // namespace quenlow::platform
