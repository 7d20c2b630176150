// The run: every run-wide value and array of one merge, shared by all phases. Each phase takes the
// run as its only parameter, reads what earlier phases left in it and fills in its own part.
#pragma once

#include <cstdint>
#include <string>

#include "numeric/arrays.hpp"
#include "run/console.hpp"
#include "run/loaded_file.hpp"
#include "run/run_figures.hpp"

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

struct Run {
  // How the run talks to its user, and the folder the reports go into (empty: the working folder).
  Console console;
  std::string OutputFolder;
  // The full-precision tables and the HTML report asked for on the command line (empty: not
  // asked; "-": standard output), and the command line itself for the report.
  std::string GeneTablePath, SpotTablePath, ReportPath;
  std::string CommandLineText;

  // Answers of the dialogue, or the options of the command line.
  int32_t FileCount = 0;       // N
  int32_t ReplicateCount = 0;  // R, replicate spots per gene
  // 1..N x 0..FileNameWidth, zero-terminated names. The dialogue takes names of at most 50
  // characters; the command line sizes the rows for its longest name.
  CharMatrix FileNames;
  int32_t FileNameWidth = MAX_NAME_LENGTH;
  int32_t RatioChoice = 0;  // 1: channel 2 over channel 1; 2: channel 1 over channel 2
  double QualityConstant = 0.0;

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

  int32_t GeneNumber = 0;  // TotalSpots / R; the spots left over belong to no gene

  // Spots, [file][spot] for the matrices; positions from file 1, names from the last file read.
  CharMatrix spot_name;  // 1..TotalSpots x 0..500, each name with its ending tab
  DoubleMatrix ch1_net, ch2_net, ch1_bg, ch2_bg, spot_qc;
  IntVector spot_array_row, spot_array_col, spot_row, spot_col;

  // Normalisation and spot ratios.
  DoubleMatrix channel_totals;  // 1..N x 1..2
  DoubleVector norm_factor;     // 1..N
  DoubleMatrix spot_ratio;

  // Genes: replicate j of file f is column (f - 1) * R + j.
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
  // What the HTML report shows, gathered while the values exist.
  RunFigures figures;
  // Work vectors of the gene statistics, 1..R*N, reused for every gene.
  DoubleVector gene_values, sorted_values, kept_values, log2_values;
};

// Number of replicate columns of a gene, R * N, in 64 bits: it sizes arrays before anything has
// checked that it fits in 32.
inline int64_t replicate_columns(const Run& run) {
  return int64_t{run.ReplicateCount} * run.FileCount;
}

// Creates the spot arrays that the spot tables are read into, every quality flag QC_PASS.
void create_spot_arrays(Run& run);

// Releases every array of the run that is still held; an array already released is left alone.
void release_run_arrays(Run& run);
