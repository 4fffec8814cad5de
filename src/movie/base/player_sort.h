// The player's array sort, shared by both script machines: which elements a comparator is
// asked about, in which order, and where equal elements end up all follow from it.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace orv::movie {

// A heap sort of order[lo..hi], for ranges the quicksort below keeps splitting badly. It
// stays within the range whatever the comparator answers.
template <typename Compare>
void heapSort(std::vector<size_t>& order, size_t lo, size_t hi, Compare& cmp) {
  size_t n = hi - lo + 1;
  auto at = [&](size_t k) -> size_t& { return order[lo + k]; };
  auto siftDown = [&](size_t root, size_t end) {
    for (size_t child; (child = 2 * root + 1) < end; root = child) {
      if (child + 1 < end && cmp(at(child), at(child + 1)) < 0) ++child;
      if (cmp(at(root), at(child)) >= 0) return;
      std::swap(at(root), at(child));
    }
  };
  for (size_t k = n / 2; k-- > 0;) siftDown(k, n);
  for (size_t end = n; end-- > 1;) {
    std::swap(at(0), at(end));
    siftDown(0, end);
  }
}

// The player's sort, whose calls a movie's comparator sees: a quicksort on the middle
// element that sorts the smaller side first and ranges of two or three directly. Elements
// a comparator that contradicts itself leaves between the two sides stay where they are.
template <typename Compare>
void playerSort(std::vector<size_t>& order, Compare cmp) {
  if (order.size() < 2) return;
  size_t depthLimit = 16;
  for (size_t n = order.size(); n > 1; n >>= 1) depthLimit += 2;
  auto sortRange = [&](auto& self, size_t lo, size_t hi, size_t depth) -> void {
    auto& a = order;
    while (hi > lo) {
      if (hi - lo == 1) {
        if (cmp(a[lo], a[hi]) > 0) std::swap(a[lo], a[hi]);
        return;
      }
      if (hi - lo == 2) {
        size_t mid = lo + 1;
        if (cmp(a[lo], a[mid]) > 0) std::swap(a[lo], a[mid]);
        if (cmp(a[mid], a[hi]) > 0) {
          std::swap(a[mid], a[hi]);
          if (cmp(a[lo], a[mid]) > 0) std::swap(a[lo], a[mid]);
        }
        return;
      }
      if (++depth > depthLimit) return heapSort(a, lo, hi, cmp);
      std::swap(a[lo], a[lo + (hi - lo + 1) / 2]);
      const size_t pivot = a[lo];
      size_t i = lo + 1, j = hi;
      for (;;) {
        while (i <= hi && cmp(a[i], pivot) <= 0) ++i;
        while (j > lo && cmp(a[j], pivot) >= 0) --j;
        if (i > j) break;
        std::swap(a[i], a[j]);
        ++i;
        --j;
      }
      std::swap(a[lo], a[j]);
      if (i <= hi && j - lo < hi - i) {
        if (j > lo) self(self, lo, j - 1, depth);
        lo = i;
      } else {
        self(self, i, hi, depth);
        if (j == lo) return;
        hi = j - 1;
      }
    }
  };
  sortRange(sortRange, 0, order.size() - 1, 0);
}

}  // namespace orv::movie
