// The replicate statistics of every gene: zero ratios set aside, outliers rejected, and the mean,
// spread, median and t-test of the kept ratios.
//
// The kept ratios of a gene are a window of kept_values, which holds the gene's non-zero ratios
// in ascending order: dropping the largest shortens the window at its end, dropping the smallest
// moves its start up by one.
#include <cmath>
#include <limits>

#include "analysis/analysis.hpp"
#include "numeric/numeric.hpp"

namespace {

// With exactly two kept ratios, the larger may be at most this many times the smaller.
constexpr double PAIR_LIMIT = 8.0;
// With three or more, mean over median must stay within [1 / MEAN_MEDIAN_LIMIT, MEAN_MEDIAN_LIMIT].
constexpr double MEAN_MEDIAN_LIMIT = 2.0;

double log2_of(double v) {
  return std::log(v) / std::log(2.0);
}

int32_t file_of_column(int32_t column, int32_t replicates) {
  return (column - 1) / replicates + 1;
}

// count values of v starting at element first, as a vector indexed from 1.
DoubleVector window_of(const DoubleVector& v, int32_t first, int32_t count) {
  return DoubleVector(&v[first], 1, count);
}

// The median of a window that is already ascending: its middle value, or the mean of its two
// middle values taken as median_of takes it. median_of would copy and sort the window again and
// come to the same values; only its draws from the random source, which pick pivots and change
// no result, would differ.
double median_of_ascending(const DoubleVector& window, int32_t count) {
  if (count % 2 == 1) return window[(count + 1) / 2];
  return (window[count / 2] + window[count / 2 + 1]) * 0.5;
}

void create_gene_arrays(Run& run) {
  const int32_t genes = run.genes.GeneNumber;
  const int32_t files = run.options.FileCount;
  run.genes.ratio_sd = dvector(1, genes);
  run.genes.log_sd = dvector(1, genes);
  run.genes.file_outliers = ivector(1, files);
  run.genes.outliers_found = ivector(1, genes);
  run.genes.file_zero_spots = ivector(1, files);
  run.genes.zero_count = ivector(1, genes);
  run.genes.spots_used = ivector(1, genes);
  run.genes.ratio_mean = dvector(1, genes);
  run.genes.log_mean = dvector(1, genes);
  run.genes.ratio_median = dvector(1, genes);
  run.genes.p_value = dvector(1, genes);
  run.genes.ratio_cv = dvector(1, genes);
  run.genes.t_statistic = dvector(1, genes);
  run.genes.degrees_of_freedom = dvector(1, genes);

  // spots_used gets its value when each gene is processed; a gene that is not stays at 0.
  for (int32_t g = 1; g <= genes; ++g) {
    run.genes.spots_used[g] = 0;
    run.genes.ratio_sd[g] = 0.0;
    run.genes.log_sd[g] = 0.0;
    run.genes.outliers_found[g] = 0;
    run.genes.zero_count[g] = 0;
    run.genes.ratio_mean[g] = 0.0;
    run.genes.log_mean[g] = UNSET_STAT;
    run.genes.ratio_median[g] = 0.0;
    run.genes.p_value[g] = NO_PVALUE;
    run.genes.ratio_cv[g] = 0.0;
    run.genes.t_statistic[g] = std::numeric_limits<double>::quiet_NaN();
    run.genes.degrees_of_freedom[g] = std::numeric_limits<double>::quiet_NaN();
  }
  for (int32_t f = 1; f <= files; ++f) {
    run.genes.file_outliers[f] = 0;
    run.genes.file_zero_spots[f] = 0;
  }

  const int64_t columns = replicate_columns(run);
  if (run.decisions.wanted) run.decisions.verdict = cmatrix(1, genes, 1, columns);
  run.genes.gene_values = dvector(1, columns);
  run.genes.sorted_values = dvector(1, columns);
  run.genes.kept_values = dvector(1, columns);
  run.genes.log2_values = dvector(1, columns);
}

// Counts a rejected value against the file of every column that holds it. Columns are matched by
// value, so equal values in several columns are all counted, at every rejection.
void count_file_outliers(Run& run, double rejected) {
  const auto columns = static_cast<int32_t>(replicate_columns(run));
  for (int32_t k = 1; k <= columns; ++k) {
    if (run.genes.gene_values[k] == rejected)
      ++run.genes.file_outliers[file_of_column(k, run.options.ReplicateCount)];
  }
}

bool pair_is_accepted(const DoubleVector& kept) {
  double q = kept[2] / kept[1];
  return q >= 1.0 / PAIR_LIMIT && q <= PAIR_LIMIT;
}

// A pair too far apart to trust either value: both are counted as outliers and the gene gets no
// statistics.
void reject_gene(Run& run, int32_t g, const DoubleVector& kept) {
  const auto columns = static_cast<int32_t>(replicate_columns(run));
  for (int32_t k = 1; k <= columns; ++k) {
    int32_t file = file_of_column(k, run.options.ReplicateCount);
    if (run.genes.gene_values[k] == kept[1]) ++run.genes.file_outliers[file];
    if (run.genes.gene_values[k] == kept[2]) ++run.genes.file_outliers[file];
  }
  run.genes.outliers_found[g] += 2;
  run.genes.spots_used[g] = 0;
  run.genes.ratio_mean[g] = 0.0;
  run.genes.ratio_median[g] = 0.0;
  run.genes.ratio_sd[g] = 0.0;
  run.genes.log_sd[g] = 0.0;
  run.genes.log_mean[g] = UNSET_STAT;
  run.genes.ratio_cv[g] = UNSET_STAT;
  run.genes.p_value[g] = NO_PVALUE;
}

// Drops one extreme value at a time while mean over median lies outside its limits, never going
// below two values. Moves the window's start and count.
void drop_outliers(Run& run, int32_t g, int32_t& first, int32_t& count) {
  while (true) {
    DoubleVector kept = window_of(run.genes.kept_values, first, count);
    double q = mean_of(kept, count) / median_of_ascending(kept, count);
    if (q >= 1.0 / MEAN_MEDIAN_LIMIT && q <= MEAN_MEDIAN_LIMIT) return;
    if (count < 3) return;

    double dropped;
    if (q > MEAN_MEDIAN_LIMIT) {
      dropped = kept[count];
    } else {
      dropped = kept[1];
      ++first;
    }
    --count;
    ++run.genes.outliers_found[g];
    count_file_outliers(run, dropped);
  }
}

// Statistics of two or more kept ratios, with a one-sample t-test of their log2 values against 0.
void set_statistics(Run& run, int32_t g, const DoubleVector& kept, int32_t count) {
  run.genes.ratio_mean[g] = mean_of(kept, count);
  run.genes.ratio_median[g] = median_of_ascending(kept, count);
  run.genes.ratio_sd[g] = popsd_of(kept, count);
  run.genes.ratio_cv[g] = run.genes.ratio_sd[g] / run.genes.ratio_mean[g];

  for (int32_t i = 1; i <= count; ++i)
    run.genes.log2_values[i] = log2_of(kept[i]);
  run.genes.log_mean[g] = mean_of(run.genes.log2_values, count);
  run.genes.log_sd[g] = popsd_of(run.genes.log2_values, count);

  // Ratios that are all exactly 1.0 would make t = 0 / 0; they show no change at all, so t is
  // taken as 0.
  double nu = count - 1;
  run.genes.degrees_of_freedom[g] = nu;
  if (run.genes.log_mean[g] == 0.0 && run.genes.log_sd[g] == 0.0) {
    run.genes.t_statistic[g] = 0.0;
    run.genes.p_value[g] = 1.0;
  } else {
    double t = run.genes.log_mean[g] * std::sqrt(nu) / run.genes.log_sd[g];
    run.genes.t_statistic[g] = t;
    double x = nu / (nu + t * t);
    run.genes.p_value[g] = betai(0.5 * nu, 0.5, x);
  }
  run.genes.spots_used[g] = count;
}

// The verdict of every column of a gene whose kept ratios are the window first..first+count-1 of
// its ascending non-zero ratios (rejected: that pair failed the eight-fold test). A value below the
// window or above it was dropped. The values equal to an end of the window stand next to each
// other in the ascending order, and in column order among themselves: the drops of the largest
// took the last of them, those of the smallest the first.
void record_verdicts(Run& run, int32_t g, int32_t first, int32_t count, bool rejected) {
  const auto columns = static_cast<int32_t>(replicate_columns(run));
  const OffsetVector<char>& verdict = run.decisions.verdict[g];
  const int32_t nonzero = columns - run.genes.zero_count[g];
  const DoubleVector sorted = window_of(run.genes.kept_values, 1, nonzero);
  const double lowest = sorted[first], highest = sorted[first + count - 1];
  // The place in the ascending order of the next column holding the lowest or highest kept value.
  int32_t next_lowest = 1, next_highest = 1;
  while (sorted[next_lowest] < lowest)
    ++next_lowest;
  while (sorted[next_highest] < highest)
    ++next_highest;
  const SpotVerdict kept = rejected ? kVerdictDroppedPair : kVerdictKept;
  for (int32_t k = 1; k <= columns; ++k) {
    const double v = run.genes.gene_values[k];
    int32_t place = first;  // inside the window
    if (v == 0.0) {
      verdict[k] = kVerdictZero;
      continue;
    }
    if (v < lowest || v > highest) {
      place = 0;  // outside
    } else if (v == highest) {
      place = next_highest++;
    } else if (v == lowest) {
      place = next_lowest++;
    }
    verdict[k] = place >= first && place < first + count ? kept : kVerdictDroppedMeanMedian;
  }
}

void process_gene(Run& run, int32_t g) {
  const auto columns = static_cast<int32_t>(replicate_columns(run));
  for (int32_t k = 1; k <= columns; ++k) {
    run.genes.gene_values[k] = run.genes.gene_ratio[g][k];
    if (run.genes.gene_values[k] == 0.0) {
      ++run.genes.file_zero_spots[file_of_column(k, run.options.ReplicateCount)];
      ++run.genes.zero_count[g];
    }
  }
  int32_t count = columns - run.genes.zero_count[g];
  run.genes.spots_used[g] = count;

  // No ratio is negative, so the zeros lead the ascending order. Only the non-zero values, placed
  // after them, are sorted: the sort's work grows with the square of the number of equal values,
  // and with a high quality constant most of a gene's values are zeros.
  const int32_t zeros = run.genes.zero_count[g];
  int32_t placed = zeros;
  for (int32_t k = 1; k <= columns; ++k) {
    if (run.genes.gene_values[k] == 0.0) continue;
    run.genes.sorted_values[++placed] = run.genes.gene_values[k];
  }
  for (int32_t i = 1; i <= zeros; ++i)
    run.genes.sorted_values[i] = 0.0;
  if (count == 0) {
    if (run.decisions.wanted) {
      for (int32_t k = 1; k <= columns; ++k)
        run.decisions.verdict[g][k] = kVerdictZero;
    }
    return;
  }
  random_quicksort(run.genes.sorted_values.from(zeros + 1), count);

  // The non-zero values, ascending, are the kept ones.
  for (int32_t i = 1; i <= count; ++i) {
    run.genes.kept_values[i] = run.genes.sorted_values[zeros + i];
  }

  if (count == 1) {
    if (run.decisions.wanted) record_verdicts(run, g, 1, 1, false);
    double v = run.genes.kept_values[1];
    run.genes.ratio_mean[g] = v;
    run.genes.ratio_median[g] = v;
    run.genes.log_mean[g] = log2_of(v);
    run.genes.ratio_sd[g] = 0.0;
    run.genes.log_sd[g] = 0.0;
    run.genes.ratio_cv[g] = 0.0;
    run.genes.p_value[g] = NO_PVALUE;
    return;
  }

  int32_t first = 1;
  if (count >= 3) drop_outliers(run, g, first, count);
  DoubleVector kept = window_of(run.genes.kept_values, first, count);
  const bool rejected = count == 2 && !pair_is_accepted(kept);
  if (run.decisions.wanted) record_verdicts(run, g, first, count, rejected);
  if (rejected) {
    reject_gene(run, g, kept);
  } else {
    set_statistics(run, g, kept, count);
  }
}

}  // namespace

void compute_gene_statistics(Run& run) {
  create_gene_arrays(run);
  // Genes of unequal spot counts have no replicate columns: their statistics stay unmade.
  if (!run.genes.members.equal_counts) return;
  for (int32_t g = 1; g <= run.genes.GeneNumber; ++g)
    process_gene(run, g);
}
