// The solver's thread team: one generation counter wakes the helpers for each job.
#include "core/scan/worker_pool.h"

#include <algorithm>
#include <system_error>

namespace qv {

WorkerPool::WorkerPool(int threads) {
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  mParts = std::max(1, threads);
  mThreads.reserve(static_cast<std::size_t>(mParts - 1));
  for (int part = 1; part < mParts; ++part) {
    try {
      mThreads.emplace_back(&WorkerPool::Loop, this, part);
    } catch (const std::system_error&) {
      // No more threads to be had: fewer parts, each the same for the whole solve.
      mParts = part;
      break;
    }
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mMutex);
    mStop = true;
  }
  mStart.notify_all();
  for (std::thread& t : mThreads) t.join();
}

void WorkerPool::Loop(int part) {
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
    (*job)(part);
    {
      std::lock_guard lock(mMutex);
      if (--mPending == 0) mDone.notify_one();
    }
  }
}

void WorkerPool::Run(const std::function<void(int)>& job) {
  if (mParts == 1) {
    job(0);
    return;
  }
  {
    std::lock_guard lock(mMutex);
    mJob = &job;
    mPending = mParts - 1;
    ++mGeneration;
  }
  mStart.notify_all();
  job(0);
  std::unique_lock lock(mMutex);
  mDone.wait(lock, [&] { return mPending == 0; });
  mJob = nullptr;
}

void WorkerPool::ForRange(std::int64_t count,
                          const std::function<void(std::int64_t, std::int64_t)>& body,
                          std::int64_t serialBelow) {
  if (count <= 0) return;
  if (mParts == 1 || count < serialBelow) {
    body(0, count);
    return;
  }
  Run([&](int part) {
    const std::int64_t begin = count * part / mParts;
    const std::int64_t end = count * (part + 1) / mParts;
    if (begin < end) body(begin, end);
  });
}

}  // namespace qv
