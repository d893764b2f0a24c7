#include "colorcorrection_workers.h"

#include <atomic>

namespace imaging::cc {

namespace {
// Three workers and the caller: four parts, the share of the machine that a
// program's render path may take.
std::atomic<int> workerThreads{3};
}  // namespace

void SetWorkerThreads(int threads) { workerThreads.store(threads < 0 ? 0 : threads); }
int WorkerThreads() { return workerThreads.load(); }

ApplyWorkers::ApplyWorkers(int threads) {
  // A thread that cannot be started leaves the object with fewer.
  try {
    for (int k = 0; k < threads; ++k) threads_.emplace_back([this] { Work(); });
  } catch (...) {
  }
}

ApplyWorkers::~ApplyWorkers() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  start_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void ApplyWorkers::Run(Part part, void* job) {
  {
    std::lock_guard lock(mutex_);
    part_ = part;
    job_ = job;
    open_ = true;
    ++generation_;
  }
  start_.notify_all();
  part(job);
  std::unique_lock lock(mutex_);
  open_ = false;  // workers not yet running leave this job alone
  finished_.wait(lock, [this] { return active_ == 0; });
}

void ApplyWorkers::Work() {
  std::uint64_t seen = 0;
  for (;;) {
    Part part;
    void* job;
    {
      std::unique_lock lock(mutex_);
      start_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      if (!open_) continue;
      ++active_;
      part = part_;
      job = job_;
    }
    part(job);
    bool last;
    {
      std::lock_guard lock(mutex_);
      last = --active_ == 0;
    }
    if (last) finished_.notify_all();
  }
}

}  // namespace imaging::cc
