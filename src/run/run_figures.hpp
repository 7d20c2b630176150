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

// The slide images show every spot's normalised log2 ratio, held as a code in steps of 1/1024:
// 32768 + 1024 * log2 ratio, rounded, and kept within 1..65535 (log2 ratios beyond -32 and +32
// at the ends). kNoRatioCode marks a spot without a ratio, failing the quality test, or with a
// ratio that overflowed. The page chooses the scale the codes are shaded on.
constexpr uint16_t kNoRatioCode = 0;
constexpr double kLog2CodeZero = 32768.0;
constexpr double kLog2CodesPerUnit = 1024.0;

// Where a spot lies on the slide, as file 1 gives it: its print-tip block by array row and array
// column, and its row and column within the block, each counted from 1.
struct SpotPlace {
  int32_t array_row = 0, array_col = 0, row = 0, col = 0;
};

struct SlideFigures {
  std::string file;                         // the name as it was given
  bool dye_swapped = false;                 // hybridised with the two dyes exchanged
  double ch1_total = 0.0, ch2_total = 0.0;  // channel totals before normalisation
  // The factor channel 2 was divided by: the channel 2 total over the channel 1 total, 1 without
  // normalisation, and for the methods on M the median of the spots' own factors.
  double norm_factor = 0.0;
  int32_t spots_failing_quality = 0;
  int32_t spots_without_ratio = 0;
  int32_t outliers_rejected = 0;
  // Spots with a ratio, counted in MA bins: index m_bin * kMaBinsA + a_bin, bin 0 at the low end
  // of each axis. M is the normalised M, A that of the nets as read (the same before and after
  // normalisation). Spots that passed the quality test and spots that failed it are counted apart.
  std::vector<int32_t> ma_pass, ma_fail;
  // Per A bin (kMaBinsA of them), the median M of the bin's spots after normalisation and the
  // median of the trend before it (RunFigures::before_curve_fitted says which); not a number for
  // a bin without spots. A median beyond the M axis is held at its end.
  std::vector<double> median_m_after, median_m_before;
  BoxFigures log2_ratio;
  // The code of every spot's log2 ratio for the slide image, index spot - 1.
  std::vector<uint16_t> image_codes;
};

// What became of a spot: kept among its gene's ratios; failing the quality test; dropped by the
// mean-to-median rule; one of a pair that failed the eight-fold test; without a ratio; past the
// last whole gene (or without an ID); flagged bad by its file; or a control feature.
enum class SpotDecision : char {
  kKept,
  kFailedQuality,
  kDroppedMeanMedian,
  kDroppedPair,
  kNoRatio,
  kNoGene,
  kFlagged,
  kControl,
};

// The decision's name in the spot table: kept, failed_quality, dropped_mean_median, dropped_pair,
// no_ratio, no_gene, flagged or control.
const char* spot_decision_name(SpotDecision decision);

// A replicate spot of a gene on one slide: its normalised log2 ratio (not a number without a
// ratio) and its decision.
struct ReplicateSpot {
  int32_t slide = 0;  // from 1
  double log2_ratio = 0.0;
  SpotDecision decision = SpotDecision::kNoRatio;
};

// A gene with a p-value of either test. 0.0 is a possible p-value: drawn at the top edge of the
// volcano plot. q-values are Benjamini-Hochberg adjusted p-values.
struct GeneFigures {
  int32_t gene = 0;      // gene number, from 1
  std::string name;      // without its tab
  std::string position;  // as merge.txt shows it, e.g. "AR1 AC2 R3 C4-7"
  // The pooled t-test of the gene's kept ratios. Without it (pooled_test false) the values are
  // not a number; with it the p-value may still be one.
  bool pooled_test = false;
  double mean_ratio = 0.0;
  double log2_mean = 0.0;
  double p_value = 0.0;
  double q_value = 0.0;
  int32_t spots_used = 0;
  int32_t outliers = 0;  // ratios dropped by the outlier rules
  // The moderated t-test across slides: made for a gene with slides_used of 1 or more when the
  // run's test was made; the reals are not a number otherwise.
  int32_t slides_used = 0;
  double slide_log2_mean = 0.0;  // mean of the gene's slide means of the normalised M
  double moderated_t = 0.0;
  double moderated_df = 0.0;
  double moderated_p = 0.0;
  double moderated_q = 0.0;
  // Only for the genes the report lists: every replicate spot, slide by slide, and each slide's
  // mean log2 ratio of the moderated test (index slide - 1; not a number for a slide without one).
  // Empty for the other genes.
  std::vector<ReplicateSpot> replicate_spots;
  std::vector<double> slide_means;
};

// The moderated t-test of the run: whether it was made (and why not), and its prior.
struct ModeratedFigures {
  bool made = false;
  std::string not_made_because;  // a sentence without its full stop; empty when made
  double prior_df = 0.0;         // d0, +infinity when the genes' variances show no spread
  double prior_variance = 0.0;   // s0^2
};

// One contrast of a linear model (or one coefficient, when no contrast was asked for): its
// estimate per gene (logFC), the genes' mean A over the arrays (AveExpr), the moderated test, and
// the genes it calls up and down at q below 0.05.
struct ContrastFigures {
  std::string name;
  std::string definition;  // how it was asked for, e.g. "RIN5-RIN9", or "coefficient RIN5"
  int32_t up = 0, down = 0, not_called = 0;
  // Per gene with an estimate, in gene order: gene number, logFC, AveExpr, p and q.
  std::vector<int32_t> gene;
  std::vector<double> log_fc, ave_expr, p_value, q_value;
};

// The linear model of a run with a design: the design matrix, the contrasts tested, the prior of
// the moderated tests, and whether the F-test over all contrasts ranks the genes (several
// contrasts) or the single contrast does.
struct DesignFigures {
  bool made = false;
  std::vector<std::string> arrays;        // the files, in the design's row order
  std::vector<std::string> coefficients;  // the design's column names
  std::vector<double> design;             // arrays x coefficients, array after array
  std::vector<ContrastFigures> contrasts;
  double prior_df = 0.0, prior_variance = 0.0;
  bool ranked_by_f = false;
};

struct RunFigures {
  int32_t files = 0;
  int32_t spots_per_slide = 0;
  int32_t genes = 0;
  int32_t replicates = 0;
  // Genes grouped by ID: their spots number from fewest_spots to replicates.
  bool genes_by_id = false;
  int32_t fewest_spots = 0;
  int32_t ratio_choice = 1;  // 1: channel 2 over channel 1; 2: channel 1 over channel 2
  double quality_constant = 1.0;
  std::string command_line;  // the words of the command that made the run, joined by blanks
  int32_t threads = 1;       // threads that share the slide images, as the run's slides
  // The normalisation as the command line names it: total, none, median, loess or
  // printtip-loess. before_curve_fitted: the MA panels' "before" curve is the median of the
  // fitted values (the loess methods); otherwise the median of M as read.
  std::string normalisation_method = "total";
  bool before_curve_fitted = false;
  ModeratedFigures moderated;
  // With a design, the linear model: then the top genes and the gene sections follow its first
  // contrast, or its F-test when there are several (the genes' moderated_* fields hold that test,
  // and slide_log2_mean the first contrast's logFC).
  DesignFigures design;
  // The format the files were read in, for the report ("GenePix results", ...), and the
  // background correction and between-array normalisation as the command line names them.
  std::string format = "the Vantar scanner's ASCII export";
  std::string background = "subtract";
  double background_offset = 0.0;
  std::string between = "none";

  // Shared axes of the MA plots, the ranges the bins cover: M from the lowest to the highest
  // normalised M seen; A at least from the lowest to the highest A as read.
  double a_lowest = 0.0, a_highest = 1.0;
  double m_lowest = -1.0, m_highest = 1.0;

  // Every spot's place on the slide images, index spot - 1.
  std::vector<SpotPlace> spot_places;

  std::vector<SlideFigures> slides;       // in the order of the files
  std::vector<GeneFigures> tested_genes;  // every gene with a p-value of either test, gene order
};
