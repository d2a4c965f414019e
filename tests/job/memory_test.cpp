// The job's memory does not grow with the recording: it streams the input as
// it streams the outputs. Every heap allocation of this test program is
// counted (the global allocation functions are replaced below), and the most
// held at once during a job is compared between two recordings, one ten
// times the other's length.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "job/job.h"
#include "support/recording.h"

namespace {

std::atomic<std::int64_t> heldBytes{0};
std::atomic<std::int64_t> mostHeldBytes{0};

void Counted(void* block) {
  const auto size = static_cast<std::int64_t>(malloc_usable_size(block));
  const std::int64_t held = heldBytes.fetch_add(size) + size;
  std::int64_t most = mostHeldBytes.load();
  while (held > most && !mostHeldBytes.compare_exchange_weak(most, held)) {
  }
}

void* Allocate(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  Counted(block);
  return block;
}

void Release(void* block) {
  if (block == nullptr) return;
  heldBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(block)));
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }

namespace quenlow {
namespace {

const std::string kSuppliedFilter = QUENLOW_SOURCE_DIR "/data/recfilt.dat";

// The most heap the job held at once, above what was held before it.
std::int64_t MostHeapHeldByTheJob(std::size_t frames) {
  test::ScratchFolder folder;
  std::vector<std::int16_t> samples(2 * frames);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 7919);
  const test::Recording recording = test::WriteRecording(folder, "take.wav", samples);
  JobOptions options;
  options.filterFile = kSuppliedFilter;
  const std::int64_t before = heldBytes.load();
  mostHeldBytes.store(before);
  EXPECT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, options));
  return mostHeldBytes.load() - before;
}

TEST(JobMemory, TheMostHeapHeldDoesNotGrowWithTheRecording) {
  // Each long enough for several pieces of each pass; the longer one's
  // samples alone take 7.2 MB more than the shorter one's.
  const std::int64_t shorter = MostHeapHeldByTheJob(200000);
  const std::int64_t longer = MostHeapHeldByTheJob(2000000);
  EXPECT_GT(shorter, 0);
  EXPECT_LT(longer - shorter, 256 * 1024) << "shorter " << shorter << " bytes, longer " << longer << " bytes";
}

}  // namespace
}  // namespace quenlow
