#include "dsp/worker_pool.h"

#include <cstdint>
#include <system_error>

namespace quenlow {

WorkerPool::WorkerPool(int threads) {
  if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
  if (threads <= 0) threads = 1;
  for (int i = 1; i < threads; ++i) {
    // Short of memory or of threads, the pool works with those it has (at
    // least the caller's own).
    try {
      workers_.emplace_back([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
      break;
    }
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void WorkerPool::TakeTasks() {
  for (int i = next_.fetch_add(1); i < count_; i = next_.fetch_add(1)) {
    try {
      (*task_)(i);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
    }
  }
}

void WorkerPool::WorkerLoop() {
  std::uint64_t seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      ++busy_;
    }
    TakeTasks();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --busy_;
    }
    done_.notify_all();
  }
}

void WorkerPool::Run(int count, const std::function<void(int)>& task) {
  if (count <= 0) return;
  if (workers_.empty() || count == 1) {
    for (int i = 0; i < count; ++i) task(i);
    return;
  }
  {
    // A worker that woke too late for the previous job may still be looking
    // for a task of it: let it go before the job changes.
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return busy_ == 0; });
    task_ = &task;
    count_ = count;
    next_.store(0);
    ++generation_;
  }
  wake_.notify_all();
  TakeTasks();
  // Every task has been taken; wait for the workers still running one. A
  // worker that wakes late finds no task left and leaves at once.
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return busy_ == 0; });
  if (failure_) {
    std::exception_ptr failure = failure_;
    failure_ = nullptr;
    std::rethrow_exception(failure);
  }
}

}  // namespace quenlow
