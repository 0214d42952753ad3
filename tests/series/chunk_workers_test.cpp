#include "chunk_workers.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <new>
#include <vector>

namespace skarvel {
namespace {

TEST(ChunkWorkers, RunEverySubmittedJobAndTellWhichFailed) {
  constexpr std::size_t kJobs = 8;
  constexpr std::size_t kFailing = 5;
  std::vector<std::atomic<int>> runs(kJobs);
  ChunkWorkers workers(3, kJobs, [&](std::size_t job) {
    ++runs[job];
    if (job == kFailing) {
      throw std::bad_alloc();
    }
  });
  ASSERT_GT(workers.count(), 0u);
  for (std::size_t job = 0; job < kJobs; ++job) {
    workers.submit(job);
  }
  for (std::size_t job = 0; job < kJobs; ++job) {
    EXPECT_EQ(workers.waitFor(job), job != kFailing) << job;
    EXPECT_EQ(runs[job], 1) << job;
  }
  workers.submit(2);  // a job runs again when submitted again
  EXPECT_TRUE(workers.waitFor(2));
  EXPECT_EQ(runs[2], 2);
}

}  // namespace
}  // namespace skarvel
