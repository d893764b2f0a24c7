// Worker threads of the colour-correction objects: each object gets a few
// threads when it is created, and an apply call on a large image splits its
// pixels between the caller and them. The caller still sees one call.
#ifndef IMAGING_COLORCORRECTION_WORKERS_H
#define IMAGING_COLORCORRECTION_WORKERS_H

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

struct ColorCorrection;

namespace imaging::cc {

// Threads that run the parts of one job at a time. Nothing is allocated per
// job.
class ApplyWorkers {
 public:
  // One share of a job: it takes its work from the job as it goes.
  using Part = void (*)(void* job);

  explicit ApplyWorkers(int threads);
  ~ApplyWorkers();
  ApplyWorkers(const ApplyWorkers&) = delete;
  ApplyWorkers& operator=(const ApplyWorkers&) = delete;

  // Runs part(job) in the calling thread and in each worker that takes the
  // job up before the caller's own part has ended; returns when all of those
  // have ended. A part therefore takes its work from the job as it goes
  // (shares of a counter), so that the caller never waits for a worker that
  // the system has not yet run.
  void Run(Part part, void* job);

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable start_;
  std::condition_variable finished_;
  std::uint64_t generation_ = 0;  // counts the jobs handed out
  bool open_ = false;             // the current job may still be taken up
  int active_ = 0;                // workers on the current job
  bool stopping_ = false;
  Part part_ = nullptr;
  void* job_ = nullptr;
  std::vector<std::thread> threads_;
};

// The workers of each live object, found by its handle: StartWorkers gives
// a new object its threads (none when threads cannot be had: every call
// then runs in its caller), StopWorkers ends and joins them before the
// object is freed, WorkersOf finds them (nullptr without).
void StartWorkers(const ColorCorrection* cc);
void StopWorkers(const ColorCorrection* cc);
ApplyWorkers* WorkersOf(const ColorCorrection* cc);

// Worker threads a new object starts (0: apply runs in the caller only).
// Process-wide; tests and benchmarks change it to run every variant.
void SetWorkerThreads(int threads);
int WorkerThreads();

}  // namespace imaging::cc

#endif
