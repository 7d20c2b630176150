// Small runs filled by hand for the analysis tests. Inside a test body the run type is written
// ::Run, since the test fixture's own Run() member hides it there.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "numeric/numeric.hpp"
#include "run/run.hpp"

// A run of files x spots whose net intensities are given per file; every spot passes the quality
// test. Only the arrays the analysis reads are created.
inline Run spot_run(int32_t ratio_choice, const std::vector<std::vector<double>>& ch1,
                    const std::vector<std::vector<double>>& ch2) {
  Run run;
  run.FileCount = static_cast<int32_t>(ch1.size());
  run.TotalSpots = static_cast<int32_t>(ch1[0].size());
  run.RatioChoice = ratio_choice;
  run.ch1_net = dmatrix(1, run.FileCount, 1, run.TotalSpots);
  run.ch2_net = dmatrix(1, run.FileCount, 1, run.TotalSpots);
  for (int32_t f = 1; f <= run.FileCount; ++f) {
    for (int32_t s = 1; s <= run.TotalSpots; ++s) {
      run.ch1_net[f][s] = ch1[static_cast<size_t>(f - 1)][static_cast<size_t>(s - 1)];
      run.ch2_net[f][s] = ch2[static_cast<size_t>(f - 1)][static_cast<size_t>(s - 1)];
    }
  }
  return run;
}

// A run whose gene_ratio rows are given directly, each of replicates * files values, as
// zero_failed_ratios leaves them.
inline Run gene_run(int32_t replicates, int32_t files,
                    const std::vector<std::vector<double>>& rows) {
  Run run;
  run.ReplicateCount = replicates;
  run.FileCount = files;
  run.GeneNumber = static_cast<int32_t>(rows.size());
  const int32_t columns = replicates * files;
  run.gene_ratio = dmatrix(1, run.GeneNumber, 1, columns);
  for (int32_t g = 1; g <= run.GeneNumber; ++g) {
    for (int32_t k = 1; k <= columns; ++k) {
      run.gene_ratio[g][k] = rows[static_cast<size_t>(g - 1)][static_cast<size_t>(k - 1)];
    }
  }
  return run;
}

// A value as the reports print it, with six decimals.
inline std::string six_decimals(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%lf", value);
  return text;
}
