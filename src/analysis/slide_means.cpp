// Each gene's value on each slide, for the tests across slides: the mean log2 ratio of its spots
// on the slide that have a ratio, pass the quality test and are not flagged, in the slide's
// orientation; and, for a linear model, the mean A of its spots with an A.
//
// Replicate spots printed on one slide share its hybridisation, so a gene's evidence comes from
// its slides: the tests take one value per gene and slide.
#include <cmath>
#include <limits>

#include "analysis/analysis.hpp"
#include "run/shared_work.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The mean of a gene's usable log2 ratios on slide f, summed in spot order; NaN without one.
double slide_log2_mean(const Run& run, int32_t f, const int32_t* first, const int32_t* last) {
  double sum = 0.0;
  int32_t count = 0;
  for (const int32_t* spot = first; spot != last; ++spot) {
    const int32_t s = *spot;
    const double ratio = run.spots.spot_ratio[f][s];
    if (ratio > 0.0 && run.spots.spot_qc[f][s] >= 0.0 && !spot_is_flagged(run, f, s)) {
      sum += std::log2(ratio);
      ++count;
    }
  }
  return count > 0 ? sum / count : kNaN;
}

// The mean A of a gene's spots on slide f that have one, flagged and failing spots included, as
// limma averages A over the replicates of an ID; NaN without one.
double slide_a_mean(const Run& run, int32_t f, const int32_t* first, const int32_t* last) {
  double sum = 0.0;
  int32_t count = 0;
  for (const int32_t* spot = first; spot != last; ++spot) {
    const double a = run.spots.spot_a[f][*spot];
    if (std::isfinite(a)) {
      sum += a;
      ++count;
    }
  }
  return count > 0 ? sum / count : kNaN;
}

}  // namespace

void compute_slide_means(Run& run) {
  const int32_t files = run.options.FileCount;
  const int32_t genes = run.genes.GeneNumber;
  const bool with_a = run.experiment.fits_model;
  run.genes.slide_log2_mean = dmatrix(1, files, 1, genes);
  if (with_a) run.genes.slide_a_mean = dmatrix(1, files, 1, genes);
  const GeneMembers& members = run.genes.members;
  share_among_threads<NoScratch>(
      genes, run.options.threads, [&run, &members, files, with_a](int32_t g, NoScratch&) {
        const int32_t* first =
            members.spots.data() + members.first[static_cast<std::size_t>(g - 1)];
        const int32_t* last = members.spots.data() + members.first[static_cast<std::size_t>(g)];
        for (int32_t f = 1; f <= files; ++f) {
          run.genes.slide_log2_mean[f][g] = slide_log2_mean(run, f, first, last);
          if (with_a) run.genes.slide_a_mean[f][g] = slide_a_mean(run, f, first, last);
        }
      });
}
