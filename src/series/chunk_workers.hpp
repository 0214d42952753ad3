// The worker threads of the chunked loop: each takes the next submitted job and runs it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace skarvel {

// Jobs are numbers below a count fixed at the start; the caller keeps what each one works on.
// Stopping (the destructor) drops the jobs not yet taken and waits for the ones being run.
class ChunkWorkers {
 public:
  // Up to `count` threads, as many as the system gives, that run `work(job)` for each submitted
  // job below `jobs`.
  ChunkWorkers(unsigned count, std::size_t jobs, std::function<void(std::size_t)> work);
  ChunkWorkers(const ChunkWorkers&) = delete;
  ChunkWorkers& operator=(const ChunkWorkers&) = delete;
  ~ChunkWorkers();

  std::size_t count() const { return threads_.size(); }

  // Queues `job`, which is not queued or running already.
  void submit(std::size_t job);
  // Waits until the submitted `job` is done. False when its work ended in an exception (such as
  // running out of memory).
  bool waitFor(std::size_t job);

 private:
  enum class JobState { busy, done, failed };  // busy: queued or being run

  void serve();

  std::function<void(std::size_t)> work_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<std::size_t> pending_;
  std::vector<JobState> states_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace skarvel
