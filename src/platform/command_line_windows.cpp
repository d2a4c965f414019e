#include "platform/command_line.h"

#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <atomic>

#include "platform/wide_text.h"

namespace quenlow::platform {
namespace {

// The console as it was before PrepareTextConsole, to be given back: a code
// page or mode left changed would stay with the user's window.
std::atomic<bool> prepared{false};
UINT outputCodePage = 0;
HANDLE errorConsole = INVALID_HANDLE_VALUE;
DWORD errorMode = 0;

HANDLE HandleOf(std::FILE* stream) {
  const int descriptor = _fileno(stream);
  return descriptor < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8Text(wide[i]));
  LocalFree(wide);
  return arguments;
}

// Windows gives no closed handle's number to the next file opened.
bool GuardStandardStreams() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  return output == nullptr || output == INVALID_HANDLE_VALUE;
}

void IgnoreBrokenPipes() {}

void PrepareTextConsole() {
  if (prepared.exchange(true)) return;
  outputCodePage = GetConsoleOutputCP();
  if (outputCodePage != 0) SetConsoleOutputCP(CP_UTF8);
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (error == nullptr || error == INVALID_HANDLE_VALUE || GetConsoleMode(error, &mode) == 0) return;
  errorConsole = error;
  errorMode = mode;
  // Consoles before Windows 10 take no escape sequences and refuse the
  // mode: the progress is then a plain line per file.
  SetConsoleMode(error, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

void RestoreTextConsole() {
  if (!prepared.exchange(false)) return;
  if (outputCodePage != 0) SetConsoleOutputCP(outputCodePage);
  if (errorConsole != INVALID_HANDLE_VALUE) SetConsoleMode(errorConsole, errorMode);
}

bool CanRedrawLine(std::FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(HandleOf(stream), &mode) != 0 && (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int TerminalColumns(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(HandleOf(stream), &info) == 0) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

std::optional<int> SystemCharacterCells(char32_t) { return std::nullopt; }

std::filesystem::path FileSystemPath(const std::string& name) { return std::filesystem::path(WideText(name)); }
std::string NameOfPath(const std::filesystem::path& path) { return Utf8Text(path.wstring()); }

}  // namespace quenlow::platform
