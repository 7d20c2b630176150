// In-place ascending sort of a[0..n-1] around a randomly drawn pivot.
#include "numeric/numeric.hpp"

void random_quicksort(const DoubleVector& a, int32_t n) {
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
  DoubleVector scratch = dvector(0, n - 1);
  for (int32_t i = 0; i < n; ++i)
    scratch[i] = a[i];

  // Smaller values fill the front in their order; the others, ties included, fill the back from
  // the end, so they come out reversed. The pivot takes the one place left between the groups.
  int32_t below = 0;
  int32_t not_below = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (i == pivot) continue;
    if (scratch[i] < scratch[pivot]) {
      a[below] = scratch[i];
      ++below;
    } else {
      a[n - 1 - not_below] = scratch[i];
      ++not_below;
    }
  }
  a[below] = scratch[pivot];

  if (below == 0) {
    random_quicksort(a.from(1), n - 1);
  } else if (not_below == 0) {
    random_quicksort(a, n - 1);
  } else {
    random_quicksort(a, below);
    random_quicksort(a.from(below + 1), not_below);
  }
  release_dvector(scratch, 0, n - 1);
}
