// The sort engine (see sort.h).
#include "runtime/numeric/sort.h"

#include <cstdlib>
#include <cstring>
#include <memory>


namespace zol::sort {

void swap(void* a, void* b, size_t width, bool bytewise) {
  if (a == b) return;
  auto* pa = static_cast<uint8_t*>(a);
  auto* pb = static_cast<uint8_t*>(b);
  if (!bytewise) {
    for (size_t i = 0; i < width; i += 4) {
      uint32_t x, y;
      std::memcpy(&x, pa + i, 4);
      std::memcpy(&y, pb + i, 4);
      std::memcpy(pa + i, &y, 4);
      std::memcpy(pb + i, &x, 4);
    }
  } else {
    for (size_t i = 0; i < width; i++) {
      uint8_t t = pa[i];
      pa[i] = pb[i];
      pb[i] = t;
    }
  }
}

namespace {

// One sort call's view of the data.
struct Data {
  uint8_t* base;
  size_t width;
  intptr_t arg1, arg2;
  Comparator cmp;
  bool bytewise;

  uint8_t* at(size_t i) const { return base + i * width; }
  int32_t compare(size_t i, size_t j) const { return cmp(at(i), at(j), arg1, arg2); }
  void exchange(size_t i, size_t j) const { sort::swap(at(i), at(j), width, bytewise); }
  void reverse(size_t lo, size_t hi) const {   // [lo, hi)
    while (hi > lo + 1) exchange(lo++, --hi);
  }
  // Adjacent-swap insertion sort of [lo, hi), the first `sorted` elements in order.
  void insertion(size_t lo, size_t hi, size_t sorted) const {
    for (size_t i = lo + (sorted ? sorted : 1); i < hi; i++)
      for (size_t j = i; j > lo && compare(j - 1, j) > 0; j--) exchange(j - 1, j);
  }
};

// --- merge sort ------------------------------------------------------------------

constexpr size_t MIN_RUN = 24;

// Returns the end of the run starting at lo; a strictly descending run is reversed.
size_t find_run(const Data& d, size_t lo, size_t n) {
  size_t hi = lo + 1;
  if (hi >= n) return n;
  if (d.compare(lo, hi) <= 0) {
    while (hi + 1 < n && d.compare(hi, hi + 1) <= 0) hi++;
  } else {
    while (hi + 1 < n && d.compare(hi, hi + 1) > 0) hi++;
    d.reverse(lo, hi + 1);
  }
  return hi + 1;
}

void merge(const Data& d, uint8_t* buffer, size_t lo, size_t mid, size_t hi) {
  size_t w = d.width;
  if (hi - mid < mid - lo) {
    // Right run shorter: buffer it and merge from the back.
    size_t nr = hi - mid;
    std::memcpy(buffer, d.at(mid), nr * w);
    size_t left = mid, right = nr, out = hi;
    while (left > lo && right > 0) {
      if (d.cmp(d.at(left - 1), buffer + (right - 1) * w, d.arg1, d.arg2) > 0) {
        std::memcpy(d.at(--out), d.at(--left), w);
      } else {
        std::memcpy(d.at(--out), buffer + (--right) * w, w);
      }
    }
    std::memcpy(d.at(lo), buffer, right * w);
  } else {
    // Left run buffered: merge from the front.
    size_t nl = mid - lo;
    std::memcpy(buffer, d.at(lo), nl * w);
    size_t left = 0, right = mid, out = lo;
    while (left < nl && right < hi) {
      if (d.cmp(buffer + left * w, d.at(right), d.arg1, d.arg2) <= 0) {
        std::memcpy(d.at(out++), buffer + (left++) * w, w);
      } else {
        std::memcpy(d.at(out++), d.at(right++), w);
      }
    }
    std::memcpy(d.at(out), buffer + left * w, (nl - left) * w);
  }
}

// The node power of the boundary between runs [a1, a2) and [a2, b2).
unsigned node_power(size_t a1, size_t a2, size_t b2, size_t n) {
  uint64_t x = uint64_t(a1) + a2, y = uint64_t(a2) + b2;
  unsigned power = 0;
  for (;;) {
    bool bx = x >= n, by = y >= n;
    if (bx != by) break;
    power++;
    if (bx) { x -= n; y -= n; }
    x *= 2;
    y *= 2;
  }
  return power + 1;
}

// --- quick sort --------------------------------------------------------------------

constexpr size_t INSERTION_LIMIT = 7;
constexpr size_t SAMPLE = 63;

void order3(const Data& d, size_t a, size_t b, size_t c) {
  if (d.compare(a, b) > 0) d.exchange(a, b);
  if (d.compare(b, c) > 0) d.exchange(b, c);
  if (d.compare(a, b) > 0) d.exchange(a, b);
}

void quick_core(const Data& d, size_t lo, size_t hi) {
  while (hi - lo > INSERTION_LIMIT) {
    size_t n = hi - lo;
    // Median of the first, middle and last elements of the sample, put in order.
    size_t span = n >= 512 ? SAMPLE : n;
    size_t first = lo + (n - span) / 2, last = first + span - 1, middle = first + span / 2;
    order3(d, first, middle, last);
    d.exchange(lo, middle);                       // pivot at lo
    // Three-way partition: [lo+1, eq) equal to the pivot, then below, then above.
    size_t eq = lo + 1, i = lo + 1, j = hi;
    while (i < j) {
      int32_t c = d.compare(i, lo);
      if (c < 0) {
        i++;
      } else if (c == 0) {
        d.exchange(i++, eq++);
      } else {
        d.exchange(i, --j);
      }
    }
    // Move the pivot and its equals between the two sides.
    size_t below = i - eq;
    size_t equal = eq - lo;
    size_t move = equal < below ? equal : below;
    for (size_t k = 0; k < move; k++) d.exchange(lo + k, i - move + k);
    size_t less_end = lo + below, more_start = i;
    if (less_end - lo < hi - more_start) {
      quick_core(d, lo, less_end);
      lo = more_start;
    } else {
      quick_core(d, more_start, hi);
      hi = less_end;
    }
  }
  d.insertion(lo, hi, 0);
}

// Scores how sorted the input is; returns the leading run length, made ascending,
// when the input counts as presorted, 0 otherwise.
size_t presorted_prefix(const Data& d, size_t n) {
  size_t i = 0;
  int direction = 0;
  while (i + 1 < n && direction == 0) {
    int32_t c = d.compare(i, i + 1);
    direction = c < 0 ? 1 : c > 0 ? -1 : 0;
    i++;
  }
  if (direction == 0) return n;                   // all equal
  while (i + 1 < n) {
    int32_t c = d.compare(i, i + 1);
    if ((direction > 0 && c > 0) || (direction < 0 && c < 0)) break;
    i++;
  }
  size_t run = i + 1;
  long score = long(direction) * long(run);
  for (size_t k = run + 97; k + 1 < n; k += 97) {
    int32_t c = d.compare(k, k + 1);
    score += c < 0 ? 1 : c > 0 ? -1 : 0;
  }
  if (size_t(score < 0 ? -score : score) <= n / 512) return 0;
  if (direction < 0) {
    // A descending run with equal neighbours reversed whole would break stability,
    // which the quick sort does not promise; it only has to come out ascending.
    d.reverse(0, run);
  }
  return run;
}

}  // namespace

Outcome mergesort(void* base, size_t n, size_t width, intptr_t arg1, intptr_t arg2,
                  Comparator cmp) {
  if (n <= 1) return Outcome::SORTED;
  uint64_t bytes = uint64_t(n / 2) * width;
  if (bytes > 0xFFFFFFFFu) return Outcome::TOO_LARGE;
  std::unique_ptr<uint8_t, decltype(&std::free)> buffer(
      static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1)), &std::free);
  if (!buffer) return Outcome::NO_MEMORY;
  Data d{static_cast<uint8_t*>(base), width, arg1, arg2, cmp, width % 4 != 0};

  struct Run { size_t start; unsigned power; };
  Run stack[72];
  size_t top = 0;
  size_t a1 = 0;
  size_t a2 = find_run(d, 0, n);
  if (a2 - a1 < MIN_RUN) {
    size_t end = a1 + MIN_RUN < n ? a1 + MIN_RUN : n;
    d.insertion(a1, end, a2 - a1);
    a2 = end;
  }
  while (a2 < n) {
    size_t b2 = find_run(d, a2, n);
    if (b2 - a2 < MIN_RUN) {
      size_t end = a2 + MIN_RUN < n ? a2 + MIN_RUN : n;
      d.insertion(a2, end, b2 - a2);
      b2 = end;
    }
    unsigned power = node_power(a1, a2, b2, n);
    while (top > 0 && stack[top - 1].power > power) {
      Run r = stack[--top];
      merge(d, buffer.get(), r.start, a1, a2);
      a1 = r.start;
    }
    stack[top++] = Run{a1, power};
    a1 = a2;
    a2 = b2;
  }
  while (top > 0) {
    Run r = stack[--top];
    merge(d, buffer.get(), r.start, a1, n);
    a1 = r.start;
  }  return Outcome::SORTED;
}

Outcome qsort(void* base, size_t n, size_t width, intptr_t arg1, intptr_t arg2, Comparator cmp) {
  if (n <= 1) return Outcome::SORTED;
  Data d{static_cast<uint8_t*>(base), width, arg1, arg2, cmp, width % 4 != 0};
  size_t sorted = presorted_prefix(d, n);
  if (sorted >= n) return Outcome::SORTED;
  if (sorted > 0 && n - sorted <= INSERTION_LIMIT) {
    d.insertion(0, n, sorted);
    return Outcome::SORTED;
  }
  quick_core(d, 0, n);
  return Outcome::SORTED;
}

}  // namespace zol::sort
