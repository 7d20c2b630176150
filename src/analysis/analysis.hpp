// Normalisation of the two channels, regrouping of spots by gene, and the replicate statistics of
// every gene. Each phase reads what the earlier ones left in the run, creates the arrays it fills
// and leaves their release to the driver.
#pragma once

#include "run/run.hpp"

// Channel totals and factors per file; channel 2 is scaled to the total of channel 1.
void normalise_channels(Run& run);
// The ratio of every spot in the chosen orientation, 0.0 where either net is not above 0.
void compute_spot_ratios(Run& run);

// Every gene's R * N ratios and quality flags in one row: replicate j of file f in column
// (f - 1) * R + j.
void group_by_gene(Run& run);
// Each file's mean of the positive ratios of every gene, before failed spots are zeroed.
void compute_file_gene_means(Run& run);
// Ratios of spots that failed the quality test become 0.0, that is, no usable ratio.
void zero_failed_ratios(Run& run);

// Zero and outlier counts, the statistics of the kept ratios and the t-test of every gene.
void compute_gene_statistics(Run& run);

// The Benjamini-Hochberg q-value of every gene with a p-value, not a number for the others.
void compute_q_values(Run& run);
