#include "platform/interruption_watch.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <csignal>

namespace quenlow::platform {
namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// The watcher only unlinks files and writes a few bytes; a small stack keeps
// it from costing address space a memory limit may be tight on.
constexpr std::size_t kWatcherStack = 256 * 1024;

sigset_t watched;
StopHandler handler = nullptr;

void* Watch(void*) {
  int signalNumber = 0;
  while (sigwait(&watched, &signalNumber) != 0) {
  }
  const int status = handler(signalNumber == SIGINT ? StopCause::Interrupt : StopCause::Other);
  _exit(status != kUsualStopStatus ? status : 128 + signalNumber);
}

}  // namespace

// The signals go to a thread of their own: the threads started later inherit
// them blocked, so no handler ever interrupts the work.
bool WatchForStopRequests(StopHandler onStop) {
  // A file grown past the size limit must fail its write, not end the program.
  std::signal(SIGXFSZ, SIG_IGN);
  handler = onStop;
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

// The signal goes to the process, not this thread, so that the watcher sees
// it; where hang-ups are ignored (nohup) a termination request does the same.
void StopAsOnHangUp() {
  struct sigaction current {};
  sigaction(SIGHUP, nullptr, &current);
  kill(getpid(), current.sa_handler == SIG_IGN ? SIGTERM : SIGHUP);
}

}  // namespace quenlow::platform
