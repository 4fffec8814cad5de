#include "movie/render/raster/band_pool.h"

#include <algorithm>

namespace orv::movie::render {

namespace {
// The pool whose piece this thread is running, if any.
thread_local const BandPool* tRunning = nullptr;
}  // namespace

int BandPool::machineThreads() {
  const unsigned n = std::thread::hardware_concurrency();
  return std::clamp(int(n), 1, kMaxThreads);
}

BandPool::BandPool(int threads, int64_t leastPixels)
    : leastPixels_(std::max<int64_t>(1, leastPixels)) {
  threads = std::clamp(threads, 1, kMaxThreads);
  workers_.reserve(size_t(threads - 1));
  for (int i = 1; i < threads; ++i) workers_.emplace_back([this] { workerLoop(); });
}

BandPool::~BandPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void BandPool::takePieces() {
  const BandPool* outer = tRunning;
  tRunning = this;
  std::unique_lock<std::mutex> lock(mutex_);
  while (next_ < count_) {
    const int i = next_++;
    void* work = work_;
    void (*call)(void*, int) = call_;
    lock.unlock();
    std::exception_ptr failed;
    try {
      call(work, i);
    } catch (...) {
      failed = std::current_exception();
    }
    lock.lock();
    if (failed && !failure_) failure_ = failed;
    ++done_;
  }
  tRunning = outer;
}

void BandPool::workerLoop() {
  uint64_t seen = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
    if (stopping_) return;
    seen = generation_;
    lock.unlock();
    takePieces();
    lock.lock();
    finished_.notify_all();
  }
}

void BandPool::runErased(int count, void* work, void (*call)(void*, int)) {
  if (count <= 0) return;
  if (workers_.empty() || count == 1 || tRunning == this) {
    std::exception_ptr failed;
    for (int i = 0; i < count; ++i) try {
        call(work, i);
      } catch (...) {
        if (!failed) failed = std::current_exception();
      }
    if (failed) std::rethrow_exception(failed);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    work_ = work;
    call_ = call;
    count_ = count;
    next_ = done_ = 0;
    failure_ = nullptr;
    ++generation_;
  }
  wake_.notify_all();
  takePieces();
  std::exception_ptr failed;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [&] { return done_ == count_; });
    count_ = 0;
    work_ = nullptr;
    failed = failure_;
    failure_ = nullptr;
  }
  if (failed) std::rethrow_exception(failed);
}

std::vector<RowRange> bandPieces(const BandPool* pool, int top, int bottom, int align) {
  std::vector<RowRange> pieces;
  if (top >= bottom) return pieces;
  align = std::max(1, align);
  const int first = top / align, bands = (bottom - 1) / align + 1 - first;
  const int count = pool ? std::min(bands, pool->threads() * 3) : 1;
  if (count <= 1) return {{top, bottom}};
  pieces.reserve(size_t(count));
  for (int i = 0; i < count; ++i) {
    const int from = i == 0 ? top : (first + int(int64_t(bands) * i / count)) * align;
    const int to =
        i + 1 == count ? bottom : (first + int(int64_t(bands) * (i + 1) / count)) * align;
    if (from < to) pieces.push_back({from, to});
  }
  return pieces;
}

}  // namespace orv::movie::render
