// The run: every run-wide value and array of one merge, shared by all phases. Each phase takes the
// run as its only parameter, reads what earlier phases left in it and fills in its own part.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/arrays.hpp"
#include "numeric/linear_model.hpp"
#include "numeric/normexp.hpp"
#include "run/console.hpp"
#include "run/loaded_file.hpp"
#include "run/run_figures.hpp"
#include "run/slide_formats.hpp"

// Quality flags of spot_qc and gene_qc; a flag is tested by whether it is below zero.
constexpr double QC_PASS = 100.0;
constexpr double QC_FAIL = -90.0;
// log_mean of a gene before it is processed, and log_mean and ratio_cv of a rejected gene.
constexpr double UNSET_STAT = -10000.0;
// p_value of a gene without a t-test.
constexpr double NO_PVALUE = -1.0;

// The stream slots number 1 to 99, so a run merges at most 99 files.
constexpr int32_t MAX_FILES = 99;
// Longest file name of the dialogue; FileNames rows hold it and its terminating zero.
constexpr int32_t MAX_NAME_LENGTH = 50;
// Text rows for the fields taken from a result file run from 0 to these widths: a field with its
// ending tab holds at most width - 1 characters, so that a zero always follows it.
constexpr int32_t CHANNEL_FIELD_WIDTH = 100;
constexpr int32_t SPOT_NAME_WIDTH = 500;

// How channel 2 is brought to the level of channel 1 on every slide. M is the log2 ratio of a
// spot and A the mean log2 of its two nets.
enum class NormalisationMethod {
  kTotal,          // one factor per slide: the channel 2 total over the channel 1 total
  kNone,           // no scaling
  kMedian,         // M less the slide's median M
  kLoess,          // M less a lowess fit of M on A over the slide
  kPrintTipLoess,  // M less a lowess fit of M on A within each print-tip group
};

// The method's name, as --normalise takes it and the report shows it.
const char* normalisation_method_name(NormalisationMethod method);
// The method of that name; false when no method has it.
bool normalisation_method_named(std::string_view name, NormalisationMethod& method);

// How the slides are brought to one scale after each was normalised on its own (--between):
// M scaled to a common median absolute deviation, the red and green intensities of all slides
// made to share one distribution, or the A values made to share one distribution with M kept.
enum class BetweenMethod { kNone, kScale, kQuantile, kAquantile };

// The method's name as --between takes it and the report shows it.
const char* between_method_name(BetweenMethod method);
// The method of that name; false when no method has it.
bool between_method_named(std::string_view name, BetweenMethod& method);

// The normalisation asked for, the orientation of every slide, and what the report needs of it.
struct Normalisation {
  NormalisationMethod method = NormalisationMethod::kTotal;
  BetweenMethod between = BetweenMethod::kNone;
  // Slides hybridised with the two dyes exchanged, numbered from 1 in the order the files were
  // given, ascending. Their ratio is formed in the other orientation, so that every slide's ratio
  // measures the same change (ratio_choice_of).
  std::vector<int32_t> swapped_slides;
  // Only for the report, made when keep_removed is set: the part of each spot's M that
  // normalisation took away (M of the nets as read less M normalised), in its slide's orientation.
  // The methods that scale whole slides (scales_whole_slides) take the same from every spot of a
  // slide: slide_removed_m, 1..N. The others take it spot by spot: removed_m,
  // 1..N x 1..TotalSpots, for every spot with a ratio, released once the report's figures are
  // taken.
  bool keep_removed = false;
  DoubleVector slide_removed_m;
  DoubleMatrix removed_m;
};

// Whether the method scales every spot of a slide by one factor (total, none), rather than
// taking each spot's M down by its own amount.
inline bool scales_whole_slides(NormalisationMethod method) {
  return method == NormalisationMethod::kTotal || method == NormalisationMethod::kNone;
}

// The moderated t-test across slides (empirical Bayes): the mean of a gene's slide means of the
// normalised M, tested against 0 with a variance shrunk towards a prior estimated from every
// gene. Made for the gene table and the report only.
struct ModeratedTest {
  bool made = false;
  // Why the test could not be made, for the report; empty when it was.
  std::string not_made_because;
  double prior_df = 0.0;  // d0, +infinity when the genes' variances show no spread of their own
  double prior_variance = 0.0;  // s0^2
  // 1..GeneNumber. slides_used counts the slides with a value for the gene; the reals are not a
  // number for a gene without one, and the test's values also when the test was not made.
  IntVector slides_used;
  DoubleVector slide_log2_mean, t, df, p_value, q_value;
};

// What the gene statistics made of every replicate spot with a non-zero ratio, for the spot table
// and the report. A zero ratio is a spot without a ratio or one that failed the quality test.
enum SpotVerdict : char {
  kVerdictZero = '0',
  kVerdictKept = 'k',
  kVerdictDroppedMeanMedian = 'm',  // dropped by the mean-to-median rule
  kVerdictDroppedPair = 'p',        // one of a pair that failed the eight-fold test
};

// The verdicts, kept when the spot table or the report asks for them. The rules drop values, not
// spots: when several columns hold a dropped value, the drop of the largest value takes the last
// of them in column order and the drop of the smallest the first.
struct SpotDecisions {
  bool wanted = false;
  CharMatrix verdict;  // 1..GeneNumber x 1..R*N, column (f - 1) * R + j as in gene_ratio
};

// How the files are read: their format, the columns taken, the array list that names their spots,
// and whether the spots they flag are taken as good.
struct FormatOptions {
  ReadChoices read;           // --format, --signal, --id, --columns
  std::string array_list;     // --array-list FILE; empty: none
  bool ignore_flags = false;  // --ignore-flags: every spot is read as good
  // Whether -c was given: the quality test applies to the scanner's files always and to the
  // other formats only then.
  bool quality_asked = false;
  // Whether the spots are grouped into genes by their IDs (the other formats without -r), rather
  // than as R consecutive spots.
  bool genes_by_id = false;
};

// Background correction (--background): the net intensity of a spot in each channel is its
// foreground less its background (subtract, the default), its foreground (none), or the signal
// expected under the normal-plus-exponential model of the channel given its foreground less
// background (normexp); then the offset K (--offset) is added to every net.
enum class BackgroundMethod { kSubtract, kNone, kNormexp };

const char* background_method_name(BackgroundMethod method);
bool background_method_named(std::string_view name, BackgroundMethod& method);

struct BackgroundCorrection {
  BackgroundMethod method = BackgroundMethod::kSubtract;
  double offset = 0.0;
  // With normexp, the fitted model of every slide's channels: index (f - 1) * 2 + channel - 1.
  std::vector<NormexpFit> fitted;
};

// An experiment of any design, from a targets file with the samples in each channel, a design
// file, or both (the options --targets, --reference, --dye-effect, --design, --contrast, --top).
// Without any of them the run is the one-sample test of the log ratios against 0.
struct Experiment {
  std::string targets_path, reference, design_path;
  bool dye_effect = false;
  std::vector<std::string> contrast_texts;  // NAME=EXPRESSION, as given
  int32_t top = 0;                          // --top N: the N genes printed on standard output

  // The arrays of the targets file in its order (the files of the run) and their samples; empty
  // samples when the file has no Cy3 and Cy5 columns.
  std::vector<std::string> cy3, cy5;
  // Whether the run fits a linear model: a design other than the one-sample test.
  bool fits_model = false;
  Design design;
  std::vector<Contrast> contrasts;  // empty: every coefficient is tested
  // The results, genes numbered from 0: the fit, its contrasts' moderated tests, and each gene's
  // mean A over the arrays (AveExpr).
  LinearFit fit;
  ModeratedTests tests;
  std::vector<double> ave_expr;
};

// The spots of each gene. With R consecutive spots gene g is spots (g - 1) * R + 1 to g * R;
// grouped by ID, gene g is the spots that share its ID, in the order of their first spot, and its
// replicate j is its j-th spot in spot order.
struct GeneMembers {
  std::vector<int32_t> first;  // gene g's spots are spots[first[g - 1]] .. spots[first[g] - 1]
  std::vector<int32_t> spots;
  std::vector<int32_t> gene_of_spot;       // index spot - 1; 0 for a spot of no gene
  std::vector<int32_t> replicate_of_spot;  // index spot - 1; from 1; 0 for a spot of no gene
  // Whether every gene has the same number of spots (R). Otherwise the pooled replicate
  // statistics are not made.
  bool equal_counts = true;
};

// What the run was asked to do: the answers of the dialogue, or the options of the command line.
struct RunOptions {
  // How the run talks to its user, and the folder the reports go into (empty: the working folder).
  Console console;
  std::string OutputFolder;
  // The full-precision tables and the HTML report asked for on the command line (empty: not
  // asked; "-": standard output), and the command line itself for the report.
  std::string GeneTablePath, SpotTablePath, ReportPath;
  std::string CommandLineText;
  // Threads that share the steps whose slides are independent (the fits of the normalisation, the
  // report's figures); the results never depend on it.
  int32_t threads = 1;

  int32_t FileCount = 0;       // N
  int32_t ReplicateCount = 0;  // R, replicate spots per gene
  // 1..N x 0..FileNameWidth, zero-terminated names. The dialogue takes names of at most 50
  // characters; the command line sizes the rows for its longest name.
  CharMatrix FileNames;
  int32_t FileNameWidth = MAX_NAME_LENGTH;
  int32_t RatioChoice = 0;  // 1: channel 2 over channel 1; 2: channel 1 over channel 2
  double QualityConstant = 0.0;
};

// The slides as read: the first file's header and spot layout, and every spot's values as the
// files give them.
struct Slides {
  // Header of the first result file.
  int32_t ArrayRows = 0;
  int32_t ArrayColumns = 0;
  int32_t Rows = 0;
  int32_t Columns = 0;
  int32_t ArraySpots = 0;
  int32_t TotalSpots = 0;
  // Channel lines 1 and 2 at index 0 and 1: rows 1..3 (channel, image path, fluor) x 0..100, each
  // field with its ending tab. image_name is the part of the image path after its last backslash.
  CharMatrix channel_fields[2];
  char image_name[2][CHANNEL_FIELD_WIDTH] = {};

  // The first result file, open from its recognition to the end of its spot table.
  ResultFile first_file;

  SlideFormat format = SlideFormat::kScanner;

  // Spots: positions from file 1, names from the last file read (the scanner's files) or the first
  // (the other formats, which also give each spot an ID and mark controls).
  CharMatrix spot_name;  // 1..TotalSpots x 0..500, each name with its ending tab
  IntVector spot_array_row, spot_array_col, spot_row, spot_col;  // 1..TotalSpots
  std::vector<std::string> spot_id;   // index spot - 1; empty for the scanner's files
  std::vector<uint8_t> spot_control;  // index spot - 1; 1: a control feature
  // 1..N x 1..TotalSpots: 1 where the file flags the spot bad; not made when no file can flag.
  CharMatrix spot_flagged;
  // Per slide, a few facts of the file's header (key and value) that the report echoes.
  std::vector<std::vector<std::pair<std::string, std::string>>> file_facts;
  // Foreground and background intensities of both channels, [file][spot], 1..N x 1..TotalSpots.
  // Background correction turns each foreground matrix into the net matrix of SpotValues.
  DoubleMatrix ch1_fg, ch1_bg, ch2_fg, ch2_bg;
};

// Every spot's values on the way from the files to its ratio, [file][spot], 1..N x 1..TotalSpots.
struct SpotValues {
  DoubleMatrix ch1_net, ch2_net;  // net intensities; channel 2 normalised once normalisation ran
  DoubleMatrix spot_qc;           // QC_PASS or QC_FAIL
  DoubleMatrix channel_totals;    // 1..N x 1..2
  DoubleVector norm_factor;       // 1..N
  DoubleMatrix spot_ratio;
  // A, the mean log2 of the two nets after background correction and before any normalisation
  // (not a number unless both are positive), as limma keeps it; made only for the runs that need
  // it (keeps_spot_a). The between-slide methods set it anew.
  DoubleMatrix spot_a;
};

// The genes: their replicate ratios and what the statistics made of them.
struct GeneResults {
  int32_t GeneNumber = 0;  // TotalSpots / R; the spots left over belong to no gene

  // Replicate j of file f is column (f - 1) * R + j.
  DoubleMatrix gene_ratio, gene_qc;  // 1..GeneNumber x 1..R*N
  DoubleMatrix file_gene_mean;       // 1..N x 1..GeneNumber

  // Per-gene results and per-file counters.
  DoubleVector ratio_mean, ratio_sd, ratio_cv, ratio_median, log_mean, log_sd, p_value;
  IntVector spots_used, outliers_found, zero_count;
  IntVector file_zero_spots, file_outliers;
  // The t statistic and degrees of freedom of each gene's test, not a number for a gene without
  // one; the Benjamini-Hochberg q-values of the genes with a p-value, computed only for the tables
  // and the report.
  DoubleVector t_statistic, degrees_of_freedom, q_value;
  // Work vectors of the gene statistics, 1..R*N, reused for every gene.
  DoubleVector gene_values, sorted_values, kept_values, log2_values;
  GeneMembers members;
  // 1..N x 1..GeneNumber, for the tests across slides (made only for them): the mean log2 ratio of
  // the gene's spots on the slide that have a ratio, pass the quality test and are not flagged, in
  // the slide's orientation, and (for a linear model) the mean A of its spots; NaN without one.
  DoubleMatrix slide_log2_mean, slide_a_mean;
};

struct Run {
  RunOptions options;
  FormatOptions formats;
  BackgroundCorrection background;
  // The method and the dye swaps asked for on the command line; a dialogue run has the defaults.
  Normalisation normalisation;
  Experiment experiment;
  Slides slides;
  SpotValues spots;
  GeneResults genes;
  ModeratedTest moderated;
  SpotDecisions decisions;
  // What the HTML report shows, gathered while the values exist.
  RunFigures figures;
};

// Number of replicate columns of a gene, R * N, in 64 bits: it sizes arrays before anything has
// checked that it fits in 32. 0 when no gene exists (R above the spots of a slide), so that the
// arrays of replicate columns are sized by the genes there are, whatever R is.
inline int64_t replicate_columns(const Run& run) {
  if (run.genes.GeneNumber == 0 || !run.genes.members.equal_counts) return 0;
  return int64_t{run.options.ReplicateCount} * run.options.FileCount;
}

// The orientation slide f's ratio is formed in, as RatioChoice: RatioChoice itself, or the other
// one on a dye-swapped slide.
int32_t ratio_choice_of(const Run& run, int32_t slide);

// The members of genes of R consecutive spots on a slide of the given spots: gene g is spots
// (g - 1) * R + 1 to g * R, and the spots left over belong to no gene.
GeneMembers consecutive_members(int32_t spots, int32_t replicates);

// Whether the run keeps every spot's A (run.spots.spot_a): for a between-slide normalisation, and
// for a linear model, whose genes' AveExpr is their mean A.
bool keeps_spot_a(const Run& run);

// Whether the files give the spots weights: they flag spots (and the flags are not ignored) or
// mark controls. Then a flagged spot has weight 0 in the normalisation fits, the others 1.
bool run_has_spot_weights(const Run& run);

// Whether spot s of slide f is left out of the normalisation fits and of the genes' statistics
// because its file flags it bad or it is a control feature.
bool spot_is_flagged(const Run& run, int32_t f, int32_t s);

// What became of spot s of slide f, as the spot table tells it: a control; then of no gene (past
// the last whole gene, or without an ID); then flagged by its file; then without a ratio; then
// failing the quality test; then the verdict of the gene statistics (run.decisions, which must
// have been wanted).
SpotDecision spot_decision(const Run& run, int32_t f, int32_t s);

// What is wrong with a slide's channel totals, for a warning: a channel without a positive net
// intensity (total 0) or whose total is not a finite number leaves the slide without a
// normalisation factor and without ratios. `slide` names the slide in the text ("slide 3").
// Empty when both totals are positive and finite.
std::string channel_total_problem(double ch1_total, double ch2_total, const std::string& slide);

// Whether slide f's normalisation factor is a positive finite number. When it is not, the slide's
// factor and its normalised channel 2 are meaningless and the reports print them as missing.
bool slide_has_factor(const Run& run, int32_t f);

// Creates the spot arrays that the spot tables are read into.
void create_spot_arrays(Run& run);

// Releases every array of the run that is still held; an array already released is left alone.
void release_run_arrays(Run& run);
