// A fixed set of threads that run the numbered tasks of one job at a time.
// The signal chain's passes hand it their pieces; the results do not depend
// on how many threads there are or which one ran which task.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quenlow {

class WorkerPool {
 public:
  // threads: how many threads run tasks, the caller of Run included
  // (0: one per processor of the machine).
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int Size() const { return static_cast<int>(workers_.size()) + 1; }

  // Runs task(0) ... task(count - 1), on the workers and the calling thread,
  // and returns when all have finished. One Run at a time. The first
  // exception a task throws (memory running out, say) is thrown again here,
  // on the caller's thread, once every task has ended.
  void Run(int count, const std::function<void(int)>& task);

 private:
  void WorkerLoop();
  void TakeTasks();

  std::vector<std::thread> workers_;
  std::exception_ptr failure_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  const std::function<void(int)>* task_ = nullptr;
  int count_ = 0;
  std::atomic<int> next_{0};
  int busy_ = 0;
  std::uint64_t generation_ = 0;
  bool stopping_ = false;
};

}  // namespace quenlow
