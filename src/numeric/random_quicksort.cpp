// In-place ascending sort of a[0..n-1] around a randomly drawn pivot.
#include <cstring>

#include "numeric/numeric.hpp"

namespace {

// One level copies its range into the scratch vector, partitions it back into a and only then
// sorts the two groups, so every level can use the same scratch vector of at least n values.
void sort_range(const DoubleVector& a, int32_t n, const DoubleVector& scratch) {
  if (n <= 1) return;
  if (n == 2) {
    if (a[0] > a[1]) {
      double first = a[0];
      a[0] = a[1];
      a[1] = first;
    }
    return;
  }

  auto pivot = static_cast<int32_t>(uniform_random() * n);
  double* const front = a.block();
  double* const copy = scratch.block();
  std::memcpy(copy, front, static_cast<std::size_t>(n) * sizeof(double));

  // Smaller values fill the front in their order; the others, ties included, fill the back from
  // the end, so they come out reversed. The pivot takes the one place left between the groups.
  // Each value is written to the next place of both groups and only its own group's count moves
  // on: the other place is written again later, or is the pivot's, so the order is the same, and
  // no branch waits on the comparison, whose outcome the processor cannot foresee.
  // The values before the pivot's place, then those after it, so that the loop need not test
  // for the pivot's place at every value.
  const double pivot_value = copy[pivot];
  int32_t below = 0;
  int32_t not_below = 0;
  const auto place = [&](int32_t from, int32_t to) {
    for (int32_t i = from; i < to; ++i) {
      const double value = copy[i];
      const bool is_below = value < pivot_value;
      front[n - 1 - not_below] = value;
      front[below] = value;
      below += is_below ? 1 : 0;
      not_below += is_below ? 0 : 1;
    }
  };
  place(0, pivot);
  place(pivot + 1, n);
  front[below] = pivot_value;

  if (below == 0) {
    sort_range(a.from(1), n - 1, scratch);
  } else if (not_below == 0) {
    sort_range(a, n - 1, scratch);
  } else {
    sort_range(a, below, scratch);
    sort_range(a.from(below + 1), not_below, scratch);
  }
}

}  // namespace

void random_quicksort(const DoubleVector& a, int32_t n) {
  // Two values or fewer need no copy (and draw no random value).
  if (n <= 2) {
    sort_range(a, n, DoubleVector());
    return;
  }
  DoubleVector scratch = dvector(0, n - 1);
  sort_range(a, n, scratch);
  release_dvector(scratch, 0, n - 1);
}
