// Sorting the values of an array by distributing them into as many buckets as there are values,
// evenly over their range, then sorting each bucket: (v - lowest) * scale is monotone in v under
// IEEE rounding, so every bucket holds values no larger than the next one's. Intensities and log
// ratios spread smoothly, which leaves about one value per bucket and makes the sort linear; a
// range that is not finite falls back on the comparison sort, and so does a crowded bucket.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "numeric/between_arrays.hpp"

namespace {

// Buckets up to this size are sorted by insertion.
constexpr std::uint32_t kInsertionSortUpTo = 16;

// A lambda rather than a function, so that std::sort inlines it.
constexpr auto by_value = [](const IndexedValue& x, const IndexedValue& y) {
  return x.value < y.value;
};

void insertion_sort(IndexedValue* first, IndexedValue* last) {
  for (IndexedValue* next = first + 1; next < last; ++next) {
    const IndexedValue item = *next;
    IndexedValue* place = next;
    for (; place > first && item.value < place[-1].value; --place)
      *place = place[-1];
    *place = item;
  }
}

}  // namespace

const std::vector<IndexedValue>& ValueSorter::sort(const double* values, std::size_t n) {
  items_.clear();
  double lowest = 0.0, highest = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double value = values[i];
    if (std::isnan(value)) continue;
    if (items_.empty() || value < lowest) lowest = value;
    if (items_.empty() || value > highest) highest = value;
    items_.push_back({value, static_cast<std::uint32_t>(i)});
  }
  const std::size_t count = items_.size();
  const double range = highest - lowest;
  if (count < 2 || !(range > 0.0) || !std::isfinite(range)) {
    std::sort(items_.begin(), items_.end(), by_value);
    return items_;
  }

  const double scale = static_cast<double>(count) / range;
  bucket_.resize(count);
  start_.assign(count + 1, 0);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t bucket =
        std::min(static_cast<std::size_t>((items_[i].value - lowest) * scale), count - 1);
    bucket_[i] = static_cast<std::uint32_t>(bucket);
    ++start_[bucket + 1];
  }
  for (std::size_t b = 0; b < count; ++b)
    start_[b + 1] += start_[b];
  sorted_.resize(count);
  for (std::size_t i = 0; i < count; ++i)
    sorted_[start_[bucket_[i]]++] = items_[i];
  // Each start_[b] has moved to the end of bucket b, the start of bucket b + 1.
  std::uint32_t begin = 0;
  for (std::size_t b = 0; b < count; ++b) {
    const std::uint32_t end = start_[b];
    if (end - begin > kInsertionSortUpTo)
      std::sort(sorted_.begin() + begin, sorted_.begin() + end, by_value);
    else if (end - begin > 1)
      insertion_sort(sorted_.data() + begin, sorted_.data() + end);
    begin = end;
  }
  return sorted_;
}
