// The five-number summary of a slide's log2 spot ratios, without sorting them all.
#include "page/box_figures.hpp"

#include <algorithm>
#include <cmath>

namespace {

// Buckets of the order statistics below: the values' range cut into this many equal parts.
constexpr std::size_t kRankBuckets = 4096;

// Values by their rank in ascending order, for a few ranks, without sorting all of them: the
// values are counted in equal buckets of their range (a bucket rises with the value, as rounding
// keeps (v - lowest) * scale in order), and only the buckets that hold a wanted rank are gathered
// and sorted.
class RankedValues {
 public:
  RankedValues(const std::vector<double>& values, double lowest, double highest,
               const std::vector<std::size_t>& ranks)
      : lowest_(lowest), scale_(highest > lowest ? kRankBuckets / (highest - lowest) : 0.0) {
    std::vector<std::size_t> counts(kRankBuckets, 0);
    for (double v : values)
      ++counts[bucket_of(v)];
    // The bucket of each wanted rank, taken in ascending order of rank, and the rank of its first
    // value.
    std::vector<std::size_t> order(ranks.size());
    for (std::size_t i = 0; i < order.size(); ++i)
      order[i] = i;
    std::sort(order.begin(), order.end(),
              [&ranks](std::size_t a, std::size_t b) { return ranks[a] < ranks[b]; });
    std::vector<int> slot_of(kRankBuckets, -1);
    slots_.assign(ranks.size(), 0);
    std::size_t first_rank = 0;
    std::size_t wanted = 0;
    for (std::size_t bucket = 0; bucket < kRankBuckets && wanted < order.size(); ++bucket) {
      while (wanted < order.size() && ranks[order[wanted]] < first_rank + counts[bucket]) {
        if (slot_of[bucket] < 0) {
          slot_of[bucket] = static_cast<int>(gathered_.size());
          gathered_.emplace_back();
          gathered_.back().reserve(counts[bucket]);
          first_ranks_.push_back(first_rank);
        }
        slots_[order[wanted]] = static_cast<std::size_t>(slot_of[bucket]);
        ++wanted;
      }
      first_rank += counts[bucket];
    }
    for (double v : values) {
      const int slot = slot_of[bucket_of(v)];
      if (slot >= 0) gathered_[static_cast<std::size_t>(slot)].push_back(v);
    }
    for (std::vector<double>& bucket : gathered_)
      std::sort(bucket.begin(), bucket.end());
    ranks_ = ranks;
  }

  // The value of the i-th wanted rank.
  double value(std::size_t i) const {
    const std::size_t slot = slots_[i];
    return gathered_[slot][ranks_[i] - first_ranks_[slot]];
  }

 private:
  std::size_t bucket_of(double v) const {
    return std::min(static_cast<std::size_t>((v - lowest_) * scale_), kRankBuckets - 1);
  }

  double lowest_, scale_;
  std::vector<std::vector<double>> gathered_;
  std::vector<std::size_t> first_ranks_;  // rank of the first value of each gathered bucket
  std::vector<std::size_t> slots_;        // the gathered bucket of each wanted rank
  std::vector<std::size_t> ranks_;
};

// Quantile p by linear interpolation between the order statistics around (n - 1) * p, the common
// default of statistics software. The ranks wanted are those of three quartiles, each with the
// rank above it (or itself at the top).
void set_quartiles(BoxFigures& box, const std::vector<double>& values) {
  const std::size_t n = values.size();
  const double quartiles[3] = {0.25, 0.5, 0.75};
  std::vector<std::size_t> ranks;
  for (double p : quartiles) {
    const auto below = static_cast<std::size_t>(std::floor(static_cast<double>(n - 1) * p));
    ranks.push_back(below);
    ranks.push_back(std::min(below + 1, n - 1));
  }
  const RankedValues ranked(values, box.lowest, box.highest, ranks);
  double* results[3] = {&box.lower_quartile, &box.median, &box.upper_quartile};
  for (std::size_t q = 0; q < 3; ++q) {
    const double h = static_cast<double>(n - 1) * quartiles[q];
    const double at = ranked.value(2 * q);
    const double above = ranked.value(2 * q + 1);
    *results[q] = at + (h - std::floor(h)) * (above - at);
  }
}

}  // namespace

BoxFigures box_figures_of(const std::vector<double>& values) {
  BoxFigures box;
  box.count = static_cast<int64_t>(values.size());
  if (values.empty()) return box;
  // Plain loops over locals: the extremes of every slide's values are a good part of the time the
  // figures take.
  double lowest = values[0], highest = values[0];
  for (double v : values) {
    lowest = v < lowest ? v : lowest;
    highest = v > highest ? v : highest;
  }
  box.lowest = lowest;
  box.highest = highest;
  set_quartiles(box, values);
  const double reach = 1.5 * (box.upper_quartile - box.lower_quartile);
  const double lower_reach = box.lower_quartile - reach, upper_reach = box.upper_quartile + reach;
  double lower_whisker = box.lower_quartile, upper_whisker = box.upper_quartile;
  for (double v : values) {
    lower_whisker = v >= lower_reach && v < lower_whisker ? v : lower_whisker;
    upper_whisker = v <= upper_reach && v > upper_whisker ? v : upper_whisker;
  }
  box.lower_whisker = lower_whisker;
  box.upper_whisker = upper_whisker;
  return box;
}
