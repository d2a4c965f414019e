#include "platform/thread_priority.h"

#include <windows.h>

namespace quenlow::platform {

bool RaiseThreadPriorityForAudio() { return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0; }

}  // namespace quenlow::platform
