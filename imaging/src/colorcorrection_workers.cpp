#include "imaging/src/colorcorrection_workers.h"

#include <atomic>
#include <memory>
#include <unordered_map>

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

// ---------------------------------------------------------------------------
// The registry of each live object's workers.

namespace {

// The worker threads of each live object, found by its handle.
struct WorkerRegistry {
  std::mutex mutex;
  std::unordered_map<const ColorCorrection*, std::unique_ptr<ApplyWorkers>> objects;
};
WorkerRegistry& Workers() {
  static WorkerRegistry registry;
  return registry;
}

}  // namespace

ApplyWorkers* WorkersOf(const ColorCorrection* cc) {
  WorkerRegistry& r = Workers();
  std::lock_guard lock(r.mutex);
  const auto it = r.objects.find(cc);
  return it == r.objects.end() ? nullptr : it->second.get();
}

void StartWorkers(const ColorCorrection* cc) {
  const int threads = WorkerThreads();
  if (threads <= 0) return;
  try {
    auto workers = std::make_unique<ApplyWorkers>(threads);
    WorkerRegistry& r = Workers();
    std::lock_guard lock(r.mutex);
    r.objects[cc] = std::move(workers);
  } catch (...) {
    // Without workers every call runs in its caller.
  }
}

void StopWorkers(const ColorCorrection* cc) {
  std::unique_ptr<ApplyWorkers> workers;
  WorkerRegistry& r = Workers();
  {
    std::lock_guard lock(r.mutex);
    const auto it = r.objects.find(cc);
    if (it == r.objects.end()) return;
    workers = std::move(it->second);
    r.objects.erase(it);
  }
}  // the threads end and are joined here, outside the lock

}  // namespace imaging::cc
