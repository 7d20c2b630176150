#include "run/run.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>

namespace {

struct MethodName {
  NormalisationMethod method;
  const char* name;
};

constexpr MethodName kMethods[] = {
    {NormalisationMethod::kTotal, "total"},
    {NormalisationMethod::kNone, "none"},
    {NormalisationMethod::kMedian, "median"},
    {NormalisationMethod::kLoess, "loess"},
    {NormalisationMethod::kPrintTipLoess, "printtip-loess"},
};

struct BetweenName {
  BetweenMethod method;
  const char* name;
};

constexpr BetweenName kBetweenMethods[] = {
    {BetweenMethod::kNone, "none"},
    {BetweenMethod::kScale, "scale"},
    {BetweenMethod::kQuantile, "quantile"},
    {BetweenMethod::kAquantile, "Aquantile"},
};

struct BackgroundName {
  BackgroundMethod method;
  const char* name;
};

constexpr BackgroundName kBackgroundMethods[] = {
    {BackgroundMethod::kSubtract, "subtract"},
    {BackgroundMethod::kNone, "none"},
    {BackgroundMethod::kNormexp, "normexp"},
};

// The name of a method in a table of methods and names, and the method of a name.
template <class Table, class Method>
const char* name_in(const Table& table, Method method) {
  for (const auto& known : table)
    if (known.method == method) return known.name;
  return std::begin(table)->name;
}

template <class Table, class Method>
bool method_in(const Table& table, std::string_view name, Method& method) {
  for (const auto& known : table) {
    if (name == known.name) {
      method = known.method;
      return true;
    }
  }
  return false;
}

}  // namespace

const char* between_method_name(BetweenMethod method) {
  return name_in(kBetweenMethods, method);
}

bool between_method_named(std::string_view name, BetweenMethod& method) {
  return method_in(kBetweenMethods, name, method);
}

const char* background_method_name(BackgroundMethod method) {
  return name_in(kBackgroundMethods, method);
}

bool background_method_named(std::string_view name, BackgroundMethod& method) {
  return method_in(kBackgroundMethods, name, method);
}

const char* normalisation_method_name(NormalisationMethod method) {
  return name_in(kMethods, method);
}

bool normalisation_method_named(std::string_view name, NormalisationMethod& method) {
  return method_in(kMethods, name, method);
}

int32_t ratio_choice_of(const Run& run, int32_t slide) {
  const std::vector<int32_t>& swapped = run.normalisation.swapped_slides;
  const bool is_swapped = std::binary_search(swapped.begin(), swapped.end(), slide);
  return is_swapped ? 3 - run.options.RatioChoice : run.options.RatioChoice;
}

GeneMembers consecutive_members(int32_t spots, int32_t replicates) {
  GeneMembers members;
  members.gene_of_spot.assign(static_cast<std::size_t>(spots), 0);
  members.replicate_of_spot.assign(static_cast<std::size_t>(spots), 0);
  members.first.assign(1, 0);
  const int32_t genes = spots / replicates;
  for (int32_t g = 1; g <= genes; ++g) {
    for (int32_t j = 1; j <= replicates; ++j) {
      const int32_t spot = (g - 1) * replicates + j;
      members.spots.push_back(spot);
      members.gene_of_spot[static_cast<std::size_t>(spot - 1)] = g;
      members.replicate_of_spot[static_cast<std::size_t>(spot - 1)] = j;
    }
    members.first.push_back(static_cast<int32_t>(members.spots.size()));
  }
  return members;
}

bool keeps_spot_a(const Run& run) {
  return run.normalisation.between != BetweenMethod::kNone || run.experiment.fits_model;
}

bool run_has_spot_weights(const Run& run) {
  const Slides& slides = run.slides;
  return slides.spot_flagged.row_table().block() != nullptr ||
         std::any_of(slides.spot_control.begin(), slides.spot_control.end(),
                     [](uint8_t control) { return control != 0; });
}

bool spot_is_flagged(const Run& run, int32_t f, int32_t s) {
  const Slides& slides = run.slides;
  if (!slides.spot_control.empty() && slides.spot_control[static_cast<std::size_t>(s - 1)] != 0)
    return true;
  return slides.spot_flagged.row_table().block() != nullptr && slides.spot_flagged[f][s] != 0;
}

SpotDecision spot_decision(const Run& run, int32_t f, int32_t s) {
  const Slides& slides = run.slides;
  if (!slides.spot_control.empty() && slides.spot_control[static_cast<std::size_t>(s - 1)] != 0)
    return SpotDecision::kControl;
  const GeneMembers& members = run.genes.members;
  const int32_t g = members.gene_of_spot[static_cast<std::size_t>(s - 1)];
  if (g == 0) return SpotDecision::kNoGene;
  if (spot_is_flagged(run, f, s)) return SpotDecision::kFlagged;
  if (run.spots.spot_ratio[f][s] == 0.0) return SpotDecision::kNoRatio;
  if (run.spots.spot_qc[f][s] < 0.0) return SpotDecision::kFailedQuality;
  // Without equal counts the outlier rules are not applied: every usable spot is kept.
  if (!members.equal_counts) return SpotDecision::kKept;
  const int32_t j = members.replicate_of_spot[static_cast<std::size_t>(s - 1)];
  switch (run.decisions.verdict[g][(f - 1) * run.options.ReplicateCount + j]) {
    case kVerdictKept:
      return SpotDecision::kKept;
    case kVerdictDroppedMeanMedian:
      return SpotDecision::kDroppedMeanMedian;
    case kVerdictDroppedPair:
      return SpotDecision::kDroppedPair;
    default:
      return SpotDecision::kNoRatio;  // a positive ratio that the statistics saw as zero: none
  }
}

const char* spot_decision_name(SpotDecision decision) {
  switch (decision) {
    case SpotDecision::kKept:
      return "kept";
    case SpotDecision::kFailedQuality:
      return "failed_quality";
    case SpotDecision::kDroppedMeanMedian:
      return "dropped_mean_median";
    case SpotDecision::kDroppedPair:
      return "dropped_pair";
    case SpotDecision::kNoRatio:
      return "no_ratio";
    case SpotDecision::kNoGene:
      return "no_gene";
    case SpotDecision::kFlagged:
      return "flagged";
    case SpotDecision::kControl:
      return "control";
  }
  return "no_ratio";
}

std::string channel_total_problem(double ch1_total, double ch2_total, const std::string& slide) {
  const std::string of_slide = " of " + slide;
  const bool ch1_zero = ch1_total == 0.0, ch2_zero = ch2_total == 0.0;
  if (ch1_zero && ch2_zero) {
    return "no spot" + of_slide + " has a positive net intensity in either channel";
  }
  if (ch1_zero || ch2_zero) {
    return "no spot" + of_slide + " has a positive net intensity in channel " +
           (ch1_zero ? "1" : "2");
  }
  for (int channel = 1; channel <= 2; ++channel) {
    const double total = channel == 1 ? ch1_total : ch2_total;
    if (!std::isfinite(total)) {
      return "the channel " + std::to_string(channel) + " total" + of_slide +
             " is not a finite number";
    }
  }
  return std::string();
}

bool slide_has_factor(const Run& run, int32_t f) {
  const double factor = run.spots.norm_factor[f];
  return factor > 0.0 && std::isfinite(factor);
}

void create_spot_arrays(Run& run) {
  const int32_t n = run.options.FileCount;
  const int32_t spots = run.slides.TotalSpots;
  run.slides.spot_name = cmatrix(1, spots, 0, SPOT_NAME_WIDTH);
  run.slides.ch1_fg = dmatrix(1, n, 1, spots);
  run.slides.ch1_bg = dmatrix(1, n, 1, spots);
  run.slides.ch2_fg = dmatrix(1, n, 1, spots);
  run.slides.ch2_bg = dmatrix(1, n, 1, spots);
  run.slides.spot_array_row = ivector(1, spots);
  run.slides.spot_array_col = ivector(1, spots);
  run.slides.spot_row = ivector(1, spots);
  run.slides.spot_col = ivector(1, spots);
}

void release_run_arrays(Run& run) {
  const int32_t n = run.options.FileCount;
  const int32_t spots = run.slides.TotalSpots;
  const int32_t genes = run.genes.GeneNumber;
  const int64_t columns = replicate_columns(run);
  release_dvector(run.genes.log2_values, 1, columns);
  release_dvector(run.genes.kept_values, 1, columns);
  release_dvector(run.genes.sorted_values, 1, columns);
  release_dvector(run.genes.gene_values, 1, columns);
  ModeratedTest& moderated = run.moderated;
  release_dvector(moderated.q_value, 1, genes);
  release_dvector(moderated.p_value, 1, genes);
  release_dvector(moderated.df, 1, genes);
  release_dvector(moderated.t, 1, genes);
  release_dvector(moderated.slide_log2_mean, 1, genes);
  release_ivector(moderated.slides_used, 1, genes);
  release_cmatrix(run.decisions.verdict, 1, genes, 1, columns);
  release_dvector(run.genes.q_value, 1, genes);
  release_dvector(run.genes.degrees_of_freedom, 1, genes);
  release_dvector(run.genes.t_statistic, 1, genes);
  release_dvector(run.genes.ratio_cv, 1, genes);
  release_dvector(run.genes.p_value, 1, genes);
  release_dvector(run.genes.ratio_median, 1, genes);
  release_dvector(run.genes.log_mean, 1, genes);
  release_dvector(run.genes.ratio_mean, 1, genes);
  release_ivector(run.genes.spots_used, 1, genes);
  release_ivector(run.genes.zero_count, 1, genes);
  release_ivector(run.genes.file_zero_spots, 1, n);
  release_ivector(run.genes.outliers_found, 1, genes);
  release_ivector(run.genes.file_outliers, 1, n);
  release_dvector(run.genes.log_sd, 1, genes);
  release_dvector(run.genes.ratio_sd, 1, genes);
  release_dmatrix(run.genes.slide_a_mean, 1, n, 1, genes);
  release_dmatrix(run.genes.slide_log2_mean, 1, n, 1, genes);
  release_dmatrix(run.genes.file_gene_mean, 1, n, 1, genes);
  release_dmatrix(run.genes.gene_qc, 1, genes, 1, columns);
  release_dmatrix(run.genes.gene_ratio, 1, genes, 1, columns);
  release_dmatrix(run.normalisation.removed_m, 1, n, 1, spots);
  release_dvector(run.normalisation.slide_removed_m, 1, n);
  release_dmatrix(run.spots.spot_a, 1, n, 1, spots);
  release_dmatrix(run.spots.spot_ratio, 1, n, 1, spots);
  release_dvector(run.spots.norm_factor, 1, n);
  release_dmatrix(run.spots.channel_totals, 1, n, 1, 2);
  release_ivector(run.slides.spot_col, 1, spots);
  release_ivector(run.slides.spot_row, 1, spots);
  release_ivector(run.slides.spot_array_col, 1, spots);
  release_ivector(run.slides.spot_array_row, 1, spots);
  release_dmatrix(run.spots.spot_qc, 1, n, 1, spots);
  release_dmatrix(run.slides.ch2_bg, 1, n, 1, spots);
  release_dmatrix(run.slides.ch1_bg, 1, n, 1, spots);
  release_dmatrix(run.slides.ch2_fg, 1, n, 1, spots);
  release_dmatrix(run.slides.ch1_fg, 1, n, 1, spots);
  release_dmatrix(run.spots.ch2_net, 1, n, 1, spots);
  release_dmatrix(run.spots.ch1_net, 1, n, 1, spots);
  release_cmatrix(run.slides.spot_flagged, 1, n, 1, spots);
  release_cmatrix(run.slides.spot_name, 1, spots, 0, SPOT_NAME_WIDTH);
  release_cmatrix(run.slides.channel_fields[1], 1, 3, 0, CHANNEL_FIELD_WIDTH);
  release_cmatrix(run.slides.channel_fields[0], 1, 3, 0, CHANNEL_FIELD_WIDTH);
  release_cmatrix(run.options.FileNames, 1, n, 0, run.options.FileNameWidth);
}
