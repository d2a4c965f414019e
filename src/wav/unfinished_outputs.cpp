#include "wav/unfinished_outputs.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstring>

namespace quenlow {
namespace {

// A few slots are plenty: the job writes at most two files at a time.
constexpr int kSlots = 8;

enum SlotState : int { kFree, kFilling, kLive };

struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX] = {};
};

std::array<Slot, kSlots> slots;
static_assert(std::atomic<int>::is_always_lock_free, "read from signal handlers");

}  // namespace

int RememberUnfinishedOutput(const char* path) {
  if (std::strlen(path) >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::strcpy(slots[i].path, path);
    slots[i].state.store(kLive);
    return i;
  }
  return -1;
}

void ForgetUnfinishedOutput(int slot) {
  if (slot >= 0 && slot < kSlots) slots[slot].state.store(kFree);
}

void RemoveUnfinishedOutputs() {
  for (Slot& slot : slots) {
    if (slot.state.load() == kLive) unlink(slot.path);
  }
}

}  // namespace quenlow
