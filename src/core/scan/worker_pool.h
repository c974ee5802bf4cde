// A small fixed team of threads for the solver's many short vector passes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qv {

/// Runs one job split into a fixed number of parts, part 0 on the caller's thread and the others
/// on threads kept for the pool's lifetime: a solve issues thousands of passes of a few
/// milliseconds each, too short to start threads for. The split of a range depends only on its
/// length and the part count, so every part always covers the same cells.
class WorkerPool {
 public:
  /// `threads` parts (0 = one per core, at least 1).
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int Parts() const { return mParts; }

  /// Calls job(part) for part = 0 .. Parts()-1 and returns when all are done.
  void Run(const std::function<void(int part)>& job);

  /// Calls body(begin, end) over [0, count) in Parts() contiguous slices; ranges below
  /// `serialBelow` run on the caller's thread alone.
  void ForRange(std::int64_t count, const std::function<void(std::int64_t, std::int64_t)>& body,
                std::int64_t serialBelow = 16384);

 private:
  void Loop(int part);

  int mParts = 1;
  std::vector<std::thread> mThreads;
  std::mutex mMutex;
  std::condition_variable mStart;
  std::condition_variable mDone;
  const std::function<void(int)>* mJob = nullptr;
  std::uint64_t mGeneration = 0;
  int mPending = 0;
  bool mStop = false;
};

}  // namespace qv
