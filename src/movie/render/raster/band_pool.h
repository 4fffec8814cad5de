#pragma once
// The threads a frame is drawn on: the caller's and a few workers. A frame's
// work is split into pieces that touch separate rows (bands of pixels), so
// the pieces may run in any order on any thread and the picture stays the
// one a single thread draws.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace orv::movie::render {

class BandPool {
 public:
  // Pixels a piece of work should have at least before it is split (fewer:
  // handing it over would cost more than it saves).
  static constexpr int64_t kWorthSplitting = 256 * 256;

  // `threads` in all, the caller's counted (at least 1, at most kMaxThreads).
  explicit BandPool(int threads, int64_t leastPixels = kWorthSplitting);
  ~BandPool();
  BandPool(const BandPool&) = delete;
  BandPool& operator=(const BandPool&) = delete;

  static constexpr int kMaxThreads = 64;
  // One thread for each core of the machine (one when that is unknown).
  static int machineThreads();

  int threads() const { return int(workers_.size()) + 1; }
  // Whether work over `pixels` is split among the threads.
  bool worthSplitting(int64_t pixels) const { return !workers_.empty() && pixels >= leastPixels_; }

  // Calls work(i) once for every i in [0, count) and returns when all calls
  // have returned; the caller's thread takes pieces too. Called again from
  // inside a piece, the calls run one after another on that thread. An
  // exception thrown by a piece is thrown again here, once the others are done.
  template <class Work>
  void run(int count, Work&& work) {
    using Fn = std::remove_reference_t<Work>;
    runErased(count, const_cast<void*>(static_cast<const void*>(&work)),
              [](void* w, int i) { (*static_cast<Fn*>(w))(i); });
  }

 private:
  void runErased(int count, void* work, void (*call)(void*, int));
  void workerLoop();
  void takePieces();

  int64_t leastPixels_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  uint64_t generation_ = 0;
  bool stopping_ = false;
  // The job in hand.
  void* work_ = nullptr;
  void (*call_)(void*, int) = nullptr;
  int count_ = 0, next_ = 0, done_ = 0;
  std::exception_ptr failure_;
};

struct RowRange {
  int from = 0, to = 0;
};

// Rows [top, bottom) cut into pieces of whole `align`-row bands (counted from
// row 0; the first and last piece may be cut short at top and bottom): a few
// pieces for each thread of `pool`, so one slow band does not hold the others
// up; one piece without a pool.
std::vector<RowRange> bandPieces(const BandPool* pool, int top, int bottom, int align);

// Runs work(piece, from, to) for each piece of rows [top, bottom), on the
// pool's threads (on the caller's alone without a pool).
template <class Work>
void forBands(BandPool* pool, int top, int bottom, int align, Work&& work) {
  const std::vector<RowRange> pieces = bandPieces(pool, top, bottom, align);
  if (pieces.size() == 1) {
    work(0, pieces[0].from, pieces[0].to);
    return;
  }
  if (pieces.empty()) return;
  pool->run(int(pieces.size()),
            [&](int i) { work(size_t(i), pieces[size_t(i)].from, pieces[size_t(i)].to); });
}

}  // namespace orv::movie::render
