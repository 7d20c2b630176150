// The text reports of a run: data.txt with every spot of every file and merge.txt with one row
// per gene, written into the run's output folder, and the full-precision gene and spot tables
// asked for on the command line.
#pragma once

#include <string>

#include "run/run.hpp"

// A ratio_cv below this is the mark of a rejected gene, not a value: merge.txt shows "-" and the
// gene table NA.
constexpr double kLowestShownCv = -1000.0;

// Where the report of that name goes: into the working folder, or into the run's OutputFolder.
std::string report_path(const Run& run, const char* name);

// Writes data.txt: per file, its normalisation and one row per spot with position, name, both
// net intensities (channel 2 normalised) and the ratio. Reads FileCount, FileNames, TotalSpots,
// RatioChoice, channel_totals, norm_factor, the spot positions and names, ch1_net, ch2_net and
// spot_ratio.
void write_spot_report(Run& run);

// Writes merge.txt: the run's counts, the channel descriptions of the first file, the ratio
// orientation and the per-file counts of unused spots and outliers, then one row per gene with its
// per-file mean ratios and replicate statistics.
void write_merge_report(Run& run);

// The full-precision tables asked for on the command line, to run.options.SpotTablePath and
// run.options.GeneTablePath. The spot table is written while the spot arrays exist, with data.txt;
// the gene table after the gene statistics and their q-values.
void write_spot_table(Run& run);
void write_gene_table(Run& run);

// --top N: the N genes with the smallest p-value of the run's test, on standard output.
void write_top_genes(const Run& run);
