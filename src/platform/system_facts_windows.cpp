#include "platform/system_facts.h"

#include <windows.h>

#include "platform/wide_text.h"

namespace quenlow::platform {

double MonotonicSeconds() {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER now{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// recfilt.dat ships beside quenlow.exe.
std::string InstalledDataFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // cut short: try a longer buffer
  }
  const auto separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  return Utf8Text(path.substr(0, separator));
}

const char* InstalledDocumentation() { return "README.txt"; }

}  // namespace quenlow::platform
