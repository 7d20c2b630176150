// Normalisation of the two channels, regrouping of spots by gene, and the replicate statistics of
// every gene. Each phase reads what the earlier ones left in the run, creates the arrays it fills
// and leaves their release to the driver.
#pragma once

#include <string>
#include <vector>

#include "run/run.hpp"

// The net intensities of both channels (foreground less background), which take the place of the
// foreground matrices, and the quality flag of every spot.
void correct_background(Run& run);

// Channel totals and factors per file; channel 2 is scaled to the total of channel 1 (with the
// methods that work on M, only on the spots without a ratio; none scales nothing).
void normalise_channels(Run& run);
// Warns on the console of every slide whose channel totals give no normalisation factor: its
// ratios are all missing, which the reports alone would show only as a column of zeros.
void warn_about_channel_totals(const Run& run);
// The ratio of every spot in its slide's orientation, 0.0 where either net is not above 0.
void compute_spot_ratios(Run& run);
// The methods that work on M: the median or lowess normalisation of every slide's log2 ratios,
// which sets the ratios, channel 2 and the factors anew. For the report, also what each method
// took away from every spot's M.
void normalise_log_ratios(Run& run);

// The between-slide normalisation asked for (run.normalisation.between), on the normalised M and
// the A of run.spots.spot_a; sets the nets and ratios anew.
void normalise_between_slides(Run& run);

// The linear model of a run with a design (run.experiment): the fit, its contrasts (or every
// coefficient), the moderated tests and each gene's AveExpr. False, with a sentence in `error`,
// when the tests cannot be made (no gene has residual degrees of freedom).
bool fit_linear_models(Run& run, std::string& error);

// The spots of every gene (run.genes.members) and the number of genes: R consecutive spots, or
// with run.formats.genes_by_id the spots that share an ID (R then the most spots of an ID).
void group_spots_into_genes(Run& run);
// Each gene's mean log2 ratio on each slide, and for a linear model its mean A, from the spot
// arrays (run.genes.slide_log2_mean, slide_a_mean).
void compute_slide_means(Run& run);

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
// The Benjamini-Hochberg q-values of the tested genes' p-values into q; the other genes' entries
// are left as they are.
void adjust_p_values(std::vector<int32_t> tested, const DoubleVector& p, const DoubleVector& q);

// The moderated t-test across slides of every gene, after the gene statistics: it needs every
// gene's variance before any gene's p-value.
void compute_moderated_test(Run& run);
