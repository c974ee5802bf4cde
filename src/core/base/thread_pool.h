// The thread pool every parallel pass of the core runs on: the scans' bands, the solver's vector
// passes and the picture readers' rows. It sits in base, below the picture readers, so that they
// use it as the scans and the solver do rather than start threads of their own.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace qv {

/// Runs one job at a time split into a fixed number of parts: part 0 on the caller's thread, the
/// others on threads started with the pool and kept for its lifetime, so that a solve's thousands
/// of passes of a few milliseconds each start no thread. When the system starts no more threads
/// (no memory for a stack, a process limit reached), the pool has fewer parts, down to the
/// caller's thread alone, and nothing fails: callers size their partial results by Parts() and
/// combine them so that the outcome does not depend on how many parts there were. One thread
/// drives a pool; a part must not run another job on the same pool.
class ThreadPool {
 public:
  /// The machine's cores, at least 1.
  static int Cores();

  /// A team for `threads` parts (0 or less = Cores()).
  explicit ThreadPool(int threads);
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  /// The number of parts, 1 up to the threads asked for; the same for the pool's lifetime.
  int Parts() const { return mParts; }

  /// Calls job(part) for part = 0 .. Parts() - 1 and returns when all are done. An exception
  /// that leaves a part is rethrown here once every part has returned: part 0's, else the one of
  /// the lowest part.
  void Run(const std::function<void(int part)>& job);

  /// Items [begin, end) of `part` when [0, count) is cut into `parts` contiguous slices: it
  /// depends on these three alone, so a part always covers the same items. Slices differ in
  /// length by at most one item; with more parts than items some are empty.
  static std::pair<std::int64_t, std::int64_t> Slice(std::int64_t count, int part, int parts);

  /// Calls body(begin, end) for the Parts() slices of [0, count) (Slice), empty ones left out;
  /// fewer than `serialBelow` items run on the caller's thread alone as one slice, since waking
  /// the team would cost more than they take. Nothing for count <= 0.
  void ForRange(std::int64_t count,
                const std::function<void(std::int64_t begin, std::int64_t end)>& body,
                std::int64_t serialBelow = 16384);

  /// Calls band(part, first, end) once for every band [first, end) of `bandSize` items (the last
  /// may be shorter) of [0, count), the bands handed out in order to whichever part is free, so
  /// that no part waits while another has bands left. After each band it finishes, the caller's
  /// thread -- only that one, where a window's progress bar lives -- calls done(items) with the
  /// items of all bands finished so far. Which part sees which band depends on timing: callers
  /// keep a partial result per part and merge them so that the outcome does not depend on it.
  void ForEachBand(std::int64_t count, std::int64_t bandSize,
                   const std::function<void(int part, std::int64_t first, std::int64_t end)>& band,
                   const std::function<void(std::int64_t items)>& done = {});

 private:
  void Loop(int part);

  int mParts = 1;
  std::vector<std::thread> mThreads;
  std::mutex mMutex;
  std::condition_variable mStart;
  std::condition_variable mDone;
  const std::function<void(int)>* mJob = nullptr;
  std::uint64_t mGeneration = 0;  // one more for every job, so each helper takes each job once
  int mPending = 0;               // helpers still on the current job
  std::exception_ptr mFailure;    // of the lowest helper part that threw in the current job
  int mFailedPart = 0;
  bool mStop = false;
};

}  // namespace qv
