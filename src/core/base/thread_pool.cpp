// The thread team: one generation counter wakes the helpers for each job, and a failure to start
// a thread only leaves fewer parts.
#include "core/base/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <utility>

namespace qv {

int ThreadPool::Cores() {
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

ThreadPool::ThreadPool(int threads) {
  mParts = threads <= 0 ? Cores() : threads;
  try {
    mThreads.reserve(static_cast<std::size_t>(mParts - 1));
    for (int part = 1; part < mParts; ++part) mThreads.emplace_back(&ThreadPool::Loop, this, part);
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  // No more threads to be had: fewer parts, each the same for the pool's lifetime.
  mParts = static_cast<int>(mThreads.size()) + 1;
}

ThreadPool::~ThreadPool() {
  {
    std::lock_guard lock(mMutex);
    mStop = true;
  }
  mStart.notify_all();
  for (std::thread& t : mThreads) t.join();
}

void ThreadPool::Loop(int part) {
  std::uint64_t seen = 0;
  for (;;) {
    const std::function<void(int)>* job = nullptr;
    {
      std::unique_lock lock(mMutex);
      mStart.wait(lock, [&] { return mStop || mGeneration != seen; });
      if (mStop) return;
      seen = mGeneration;
      job = mJob;
    }
    // A helper cannot throw: its failure waits for the caller to rethrow it.
    std::exception_ptr failure;
    try {
      (*job)(part);
    } catch (...) {
      failure = std::current_exception();
    }
    {
      std::lock_guard lock(mMutex);
      if (failure && (!mFailure || part < mFailedPart)) {
        mFailure = failure;
        mFailedPart = part;
      }
      if (--mPending == 0) mDone.notify_one();
    }
  }
}

void ThreadPool::Run(const std::function<void(int)>& job) {
  if (mParts == 1) {
    job(0);
    return;
  }
  {
    std::lock_guard lock(mMutex);
    mJob = &job;
    mPending = mParts - 1;
    mFailure = nullptr;
    ++mGeneration;
  }
  mStart.notify_all();
  // The helpers use `job` until they are done, whatever happens to the caller's part.
  std::exception_ptr failure;
  try {
    job(0);
  } catch (...) {
    failure = std::current_exception();
  }
  std::unique_lock lock(mMutex);
  mDone.wait(lock, [&] { return mPending == 0; });
  mJob = nullptr;
  if (!failure) failure = std::exchange(mFailure, nullptr);
  lock.unlock();
  if (failure) std::rethrow_exception(failure);
}

std::pair<std::int64_t, std::int64_t> ThreadPool::Slice(std::int64_t count, int part, int parts) {
  return {count * part / parts, count * (part + 1) / parts};
}

void ThreadPool::ForRange(std::int64_t count,
                          const std::function<void(std::int64_t, std::int64_t)>& body,
                          std::int64_t serialBelow) {
  if (count <= 0) return;
  if (mParts == 1 || count < serialBelow) {
    body(0, count);
    return;
  }
  Run([&](int part) {
    const auto [begin, end] = Slice(count, part, mParts);
    if (begin < end) body(begin, end);
  });
}

void ThreadPool::ForEachBand(std::int64_t count, std::int64_t bandSize,
                             const std::function<void(int, std::int64_t, std::int64_t)>& band,
                             const std::function<void(std::int64_t)>& done) {
  if (count <= 0) return;
  const std::int64_t bands = (count + bandSize - 1) / bandSize;
  std::atomic<std::int64_t> next{0};
  std::atomic<std::int64_t> finished{0};
  Run([&](int part) {
    for (std::int64_t b = next.fetch_add(1); b < bands; b = next.fetch_add(1)) {
      const std::int64_t first = b * bandSize;
      const std::int64_t end = std::min(count, first + bandSize);
      band(part, first, end);
      const std::int64_t items = finished.fetch_add(end - first) + (end - first);
      if (part == 0 && done) done(items);
    }
  });
}

}  // namespace qv
