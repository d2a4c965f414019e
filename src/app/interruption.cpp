#include "app/interruption.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

#include "console/terminal.h"
#include "wav/unfinished_outputs.h"

namespace quenlow {
namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// The watcher only unlinks files and writes a few bytes; a small stack keeps
// it from costing address space a memory limit may be tight on.
constexpr std::size_t kWatcherStack = 256 * 1024;

sigset_t watched;
// The status Ctrl+C ends the program with at the closing key; none before.
std::atomic<int> closingStatus{-1};

void* Watch(void*) {
  int signalNumber = 0;
  while (sigwait(&watched, &signalNumber) != 0) {
  }
  if (const int status = closingStatus.load(); signalNumber == SIGINT && status >= 0) {
    console::GiveTerminalBackOnTheWayOut();
    _exit(status);
  }
  // Holding the list of temporary files from here on, so that no new one
  // can appear before the end.
  RemoveUnfinishedOutputsForGood();
  console::GiveTerminalBackOnTheWayOut();
  _exit(128 + signalNumber);
}

}  // namespace

bool WatchForInterruption() {
  sigemptyset(&watched);
  for (int s : kEndingSignals) {
    struct sigaction current {};
    if (sigaction(s, nullptr, &current) != 0) continue;
    if (current.sa_handler == SIG_IGN) {
      // A program started by nohup keeps running when its terminal goes. A
      // Ctrl+C ignored by inheritance (a background job of a script) would
      // only leave the user unable to stop the program.
      if (s == SIGHUP) continue;
      std::signal(s, SIG_DFL);  // a waited-for signal must not be ignored
    }
    sigaddset(&watched, s);
  }
  sigset_t before;
  if (pthread_sigmask(SIG_BLOCK, &watched, &before) != 0) return false;
  pthread_attr_t attributes;
  pthread_t watcher;
  bool started = false;
  if (pthread_attr_init(&attributes) == 0) {
    pthread_attr_setstacksize(&attributes, kWatcherStack);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    started = pthread_create(&watcher, &attributes, Watch, nullptr) == 0;
    pthread_attr_destroy(&attributes);
  }
  if (!started) pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return started;
}

void TreatCtrlCAsTheClosingKey(int status) { closingStatus.store(status); }

}  // namespace quenlow
