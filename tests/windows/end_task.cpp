// Ends a program as Task Manager's End task does (TerminateProcess), at a
// chosen moment of its work, for the tests of what such an end leaves.
//   end_task.exe <image name> <milliseconds>
// Makes "end_task.ready" in the current folder once it watches, waits until
// a file whose name begins with '.' (an output being written) appears
// there, then the given milliseconds, then ends every process of that image
// name. Exit status: 0 when one was ended, 1 when no such file appeared
// within a minute, 2 when no such process was found.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

bool OutputBeingWritten() {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(L".*", &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool any = false;
  do {
    any = any || (std::wcscmp(found.cFileName, L".") != 0 && std::wcscmp(found.cFileName, L"..") != 0);
  } while (!any && FindNextFileW(search, &found));
  FindClose(search);
  return any;
}

int EndAll(const wchar_t* image) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int ended = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, image) != 0) continue;
    const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
    if (process == nullptr) continue;
    if (TerminateProcess(process, 1)) ++ended;
    CloseHandle(process);
  }
  CloseHandle(snapshot);
  return ended;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: end_task.exe <image name> <milliseconds>\n");
    return 3;
  }
  const HANDLE ready = CreateFileW(L"end_task.ready", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  const ULONGLONG giveUp = GetTickCount64() + 60000;
  while (!OutputBeingWritten()) {
    if (GetTickCount64() > giveUp) return 1;
    Sleep(5);
  }
  Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
  return EndAll(argv[1]) > 0 ? 0 : 2;
}
