#include "chunk_workers.hpp"

#include <system_error>
#include <utility>

namespace skarvel {

ChunkWorkers::ChunkWorkers(unsigned count, std::size_t jobs, std::function<void(std::size_t)> work)
    : work_(std::move(work)), states_(jobs, JobState::done) {
  for (unsigned i = 0; i < count; ++i) {
    try {
      threads_.emplace_back([this] { serve(); });
    } catch (const std::system_error&) {
      break;  // as many as the system gives
    }
  }
}

ChunkWorkers::~ChunkWorkers() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    pending_.clear();
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) {
    thread.join();
  }
}

void ChunkWorkers::submit(std::size_t job) {
  {
    const std::lock_guard lock(mutex_);
    states_[job] = JobState::busy;
    pending_.push_back(job);
  }
  wake_.notify_one();
}

bool ChunkWorkers::waitFor(std::size_t job) {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return states_[job] != JobState::busy; });
  return states_[job] == JobState::done;
}

void ChunkWorkers::serve() {
  for (;;) {
    std::size_t job = 0;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
      if (stopping_) {
        return;
      }
      job = pending_.front();
      pending_.pop_front();
    }
    JobState outcome = JobState::done;
    try {
      work_(job);
    } catch (...) {
      outcome = JobState::failed;
    }
    {
      const std::lock_guard lock(mutex_);
      states_[job] = outcome;
    }
    done_.notify_all();
  }
}

}  // namespace skarvel
