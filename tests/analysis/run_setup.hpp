// Small runs filled by hand for the analysis tests. Inside a test body the run type is written
// ::Run, since the test fixture's own Run() member hides it there.
#pragma once

#include <cmath>
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
  run.options.FileCount = static_cast<int32_t>(ch1.size());
  run.slides.TotalSpots = static_cast<int32_t>(ch1[0].size());
  run.options.RatioChoice = ratio_choice;
  run.spots.ch1_net = dmatrix(1, run.options.FileCount, 1, run.slides.TotalSpots);
  run.spots.ch2_net = dmatrix(1, run.options.FileCount, 1, run.slides.TotalSpots);
  for (int32_t f = 1; f <= run.options.FileCount; ++f) {
    for (int32_t s = 1; s <= run.slides.TotalSpots; ++s) {
      run.spots.ch1_net[f][s] = ch1[static_cast<size_t>(f - 1)][static_cast<size_t>(s - 1)];
      run.spots.ch2_net[f][s] = ch2[static_cast<size_t>(f - 1)][static_cast<size_t>(s - 1)];
    }
  }
  return run;
}

// A run whose gene_ratio rows are given directly, each of replicates * files values, as
// zero_failed_ratios leaves them, with genes of consecutive spots and each gene's slide means
// taken from those rows: the mean log2 of a slide's positive ratios.
inline Run gene_run(int32_t replicates, int32_t files,
                    const std::vector<std::vector<double>>& rows) {
  Run run;
  run.options.ReplicateCount = replicates;
  run.options.FileCount = files;
  run.genes.GeneNumber = static_cast<int32_t>(rows.size());
  run.slides.TotalSpots = run.genes.GeneNumber * replicates;
  run.genes.members = consecutive_members(run.slides.TotalSpots, replicates);
  const int32_t columns = replicates * files;
  run.genes.gene_ratio = dmatrix(1, run.genes.GeneNumber, 1, columns);
  run.genes.slide_log2_mean = dmatrix(1, files, 1, run.genes.GeneNumber);
  for (int32_t g = 1; g <= run.genes.GeneNumber; ++g) {
    for (int32_t k = 1; k <= columns; ++k) {
      run.genes.gene_ratio[g][k] = rows[static_cast<size_t>(g - 1)][static_cast<size_t>(k - 1)];
    }
    for (int32_t f = 1; f <= files; ++f) {
      double sum = 0.0;
      int32_t count = 0;
      for (int32_t j = 1; j <= replicates; ++j) {
        const double ratio = run.genes.gene_ratio[g][(f - 1) * replicates + j];
        if (ratio > 0.0) sum += std::log2(ratio), ++count;
      }
      run.genes.slide_log2_mean[f][g] = count > 0 ? sum / count : std::nan("");
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
