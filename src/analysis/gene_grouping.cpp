// Regrouping of the spots by gene, the per-file gene means, and the zeroing of failed spots.
//
// Gene g's row holds its replicate j of file f in column (f - 1) * R + j: with consecutive spots
// replicate j is spot (g - 1) * R + j, grouped by ID the gene's j-th spot. A flagged spot counts
// as one that failed the quality test.
#include "analysis/analysis.hpp"

void group_by_gene(Run& run) {
  if (!run.genes.members.equal_counts) return;  // no replicate columns
  const int32_t files = run.options.FileCount;
  const int32_t replicates = run.options.ReplicateCount;
  const int32_t genes = run.genes.GeneNumber;
  run.genes.gene_ratio = dmatrix(1, genes, 1, replicate_columns(run));
  run.genes.gene_qc = dmatrix(1, genes, 1, replicate_columns(run));

  const GeneMembers& members = run.genes.members;
  for (int32_t g = 1; g <= genes; ++g) {
    const int32_t* spots = members.spots.data() + members.first[static_cast<std::size_t>(g - 1)];
    for (int32_t f = 1; f <= files; ++f) {
      for (int32_t j = 1; j <= replicates; ++j) {
        int32_t column = (f - 1) * replicates + j;
        int32_t spot = spots[j - 1];
        run.genes.gene_ratio[g][column] = run.spots.spot_ratio[f][spot];
        run.genes.gene_qc[g][column] =
            spot_is_flagged(run, f, spot) ? QC_FAIL : run.spots.spot_qc[f][spot];
      }
    }
  }
}

// Taken before the quality zeroing, so spots that failed the test still count here. Each mean
// sums its own replicates in their order; going through the genes row by row only reads the gene
// matrix in the order it lies in memory.
namespace {

// Genes of unequal spot counts, which have no replicate columns, take their means from the spot
// arrays: the positive ratios of their spots on the slide, in spot order.
void compute_file_gene_means_of_spots(Run& run) {
  const GeneMembers& members = run.genes.members;
  for (int32_t g = 1; g <= run.genes.GeneNumber; ++g) {
    const auto first = static_cast<std::size_t>(members.first[static_cast<std::size_t>(g - 1)]);
    const auto last = static_cast<std::size_t>(members.first[static_cast<std::size_t>(g)]);
    for (int32_t f = 1; f <= run.options.FileCount; ++f) {
      double sum = 0.0;
      int32_t count = 0;
      for (std::size_t i = first; i < last; ++i) {
        const double ratio = run.spots.spot_ratio[f][members.spots[i]];
        if (ratio > 0.0) {
          sum += ratio;
          ++count;
        }
      }
      run.genes.file_gene_mean[f][g] = (count != 0) ? sum / count : 0.0;
    }
  }
}

}  // namespace

void compute_file_gene_means(Run& run) {
  const int32_t files = run.options.FileCount;
  const int32_t replicates = run.options.ReplicateCount;
  const int32_t genes = run.genes.GeneNumber;
  run.genes.file_gene_mean = dmatrix(1, files, 1, genes);
  if (!run.genes.members.equal_counts) {
    compute_file_gene_means_of_spots(run);
    return;
  }

  for (int32_t g = 1; g <= genes; ++g) {
    const DoubleVector& ratios = run.genes.gene_ratio[g];
    for (int32_t f = 1; f <= files; ++f) {
      double sum = 0.0;
      int32_t count = 0;
      for (int32_t j = 1; j <= replicates; ++j) {
        double ratio = ratios[(f - 1) * replicates + j];
        if (ratio > 0.0) {
          sum += ratio;
          ++count;
        }
      }
      run.genes.file_gene_mean[f][g] = (count != 0) ? sum / count : 0.0;
    }
  }
}

void zero_failed_ratios(Run& run) {
  if (!run.genes.members.equal_counts) return;  // no replicate columns
  const auto columns = static_cast<int32_t>(replicate_columns(run));
  const int32_t genes = run.genes.GeneNumber;
  for (int32_t g = 1; g <= genes; ++g) {
    const DoubleVector& ratios = run.genes.gene_ratio[g];
    const DoubleVector& flags = run.genes.gene_qc[g];
    for (int32_t k = 1; k <= columns; ++k) {
      if (flags[k] < 0.0) ratios[k] = 0.0;
    }
  }
}
