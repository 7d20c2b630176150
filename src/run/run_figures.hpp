// What the HTML run report shows, gathered from the run while its values exist: the spot-level
// figures before the spot matrices are released after data.txt, the gene figures after the gene
// statistics. The report is drawn from this alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Bins of the MA density plots, shared by every slide: A runs along the x axis, M along the y axis.
constexpr int32_t kMaBinsA = 40;
constexpr int32_t kMaBinsM = 30;

// Five-number summary of a slide's log2 spot ratios, with whiskers at the most extreme values
// within 1.5 interquartile ranges of the quartiles. count is 0 for a slide without a ratio; the
// other values are then not used.
struct BoxFigures {
  int64_t count = 0;
  double lowest = 0.0, lower_quartile = 0.0, median = 0.0, upper_quartile = 0.0, highest = 0.0;
  double lower_whisker = 0.0, upper_whisker = 0.0;
};

struct SlideFigures {
  std::string file;                         // the name as it was given
  double ch1_total = 0.0, ch2_total = 0.0;  // channel totals before normalisation
  double norm_factor = 0.0;                 // channel 2 total over channel 1 total
  int32_t spots_failing_quality = 0;
  int32_t spots_without_ratio = 0;
  int32_t outliers_rejected = 0;
  // Spots with a ratio, counted in MA bins: index m_bin * kMaBinsA + a_bin, bin 0 at the low end
  // of each axis. Spots that passed the quality test and spots that failed it are counted apart.
  std::vector<int32_t> ma_pass, ma_fail;
  BoxFigures log2_ratio;
};

// A gene with a p-value.
struct GeneFigures {
  int32_t gene = 0;      // gene number, from 1
  std::string name;      // without its tab
  std::string position;  // as merge.txt shows it, e.g. "AR1 AC2 R3 C4-7"
  double mean_ratio = 0.0;
  double log2_mean = 0.0;
  double p_value = 0.0;  // 0.0 is possible: drawn at the top edge of the volcano plot
  double q_value = 0.0;  // Benjamini-Hochberg adjusted p-value
  int32_t spots_used = 0;
};

struct RunFigures {
  int32_t files = 0;
  int32_t spots_per_slide = 0;
  int32_t genes = 0;
  int32_t replicates = 0;
  int32_t ratio_choice = 1;  // 1: channel 2 over channel 1; 2: channel 1 over channel 2
  double quality_constant = 1.0;
  std::string command_line;  // the words of the command that made the run, joined by blanks

  // Shared axes of the MA plots: the ranges the bins cover, lowest to highest value seen.
  double a_lowest = 0.0, a_highest = 1.0;
  double m_lowest = -1.0, m_highest = 1.0;

  std::vector<SlideFigures> slides;       // in the order of the files
  std::vector<GeneFigures> tested_genes;  // every gene with a p-value, in gene order
};
