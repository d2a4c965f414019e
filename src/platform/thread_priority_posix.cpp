#include "platform/thread_priority.h"

#include <pthread.h>
#include <sched.h>

namespace quenlow::platform {

bool RaiseThreadPriorityForAudio() {
  // Low among real-time priorities: above every ordinary thread, below the
  // system's own audio and interrupt threads.
  sched_param parameter{};
  parameter.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
  return pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter) == 0;
}

}  // namespace quenlow::platform
