#include "platform/command_line.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <locale.h>
#include <unistd.h>

#include <csignal>
#include <cwchar>

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

// The locale is this thread's alone while asked.
std::optional<int> SystemCharacterCells(char32_t code) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  if (utf8 == static_cast<locale_t>(nullptr)) return std::nullopt;
  const locale_t before = uselocale(utf8);
  const int cells = wcwidth(static_cast<wchar_t>(code));
  uselocale(before);
  return cells < 0 ? 1 : cells;
}

std::filesystem::path FileSystemPath(const std::string& name) { return name; }
std::string NameOfPath(const std::filesystem::path& path) { return path.string(); }

}  // namespace quenlow::platform
