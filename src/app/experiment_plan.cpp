// The experiment of a run from the command line. Without a design it is the one-sample test of
// the log ratios against 0, with the dye-swapped slides of --dye-swap or of the targets file. With
// one it is a linear model: the design from the targets' samples and a reference (limma's
// modelMatrix), with a dye effect, or from a design file; tested through contrasts or
// coefficient by coefficient.
#include <charconv>
#include <cmath>
#include <set>
#include <string>

#include "analysis/model_input.hpp"
#include "app/command_line.hpp"
#include "input/text_table.hpp"

namespace {

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

// The design file: a heading of coefficient names, then one row of numbers per array; a first
// column of row names (an empty heading) is left out.
bool read_design_file(const CommandLine& options, Design& design, std::string& error) {
  const std::string role = "design file " + quoted(options.design);
  TextTable table;
  if (!read_text_table(options.design, role, table, error)) return false;
  const std::size_t first = !table.headings.empty() && table.headings[0].empty() ? 1 : 0;
  design = Design();
  design.names.assign(table.headings.begin() + static_cast<std::ptrdiff_t>(first),
                      table.headings.end());
  if (design.names.empty()) {
    error = "the " + role + " names no coefficient";
    return false;
  }
  if (table.rows.size() != options.files.size()) {
    error = "the " + role + " has " + std::to_string(table.rows.size()) + " rows for the " +
            std::to_string(options.files.size()) +
            " arrays: give one row per array, in their order";
    return false;
  }
  design.arrays = static_cast<int32_t>(table.rows.size());
  for (std::size_t row = 0; row < table.rows.size(); ++row) {
    for (std::size_t c = first; c < table.headings.size(); ++c) {
      const std::string& text = table.rows[row][c];
      double value = 0.0;
      const char* end = text.data() + text.size();
      const auto [stop, failure] = std::from_chars(text.data(), end, value);
      if (failure != std::errc() || stop != end || !std::isfinite(value)) {
        error = "the " + role + ", line " + std::to_string(table.lines[row]) + ": " + quoted(text) +
                " in column " + table.headings[c] + " is not a finite number";
        return false;
      }
      design.values.push_back(value);
    }
  }
  return true;
}

// The samples of the arrays, when every array holds the same two: the first array's Cy3 sample is
// then the reference, and the arrays that hold it in Cy5 are dye-swapped.
bool same_two_samples(const Experiment& experiment) {
  std::set<std::string> samples(experiment.cy3.begin(), experiment.cy3.end());
  samples.insert(experiment.cy5.begin(), experiment.cy5.end());
  if (samples.size() != 2) return false;
  for (std::size_t a = 0; a < experiment.cy3.size(); ++a)
    if (experiment.cy3[a] == experiment.cy5[a]) return false;
  return true;
}

std::string samples_listed(const Experiment& experiment) {
  std::set<std::string> samples(experiment.cy3.begin(), experiment.cy3.end());
  samples.insert(experiment.cy5.begin(), experiment.cy5.end());
  std::string text;
  for (const std::string& sample : samples)
    text += (text.empty() ? "" : ", ") + quoted(sample);
  return text;
}

// The design from the targets' samples; false with the message when they need a reference.
bool design_from_samples(const CommandLine& options, Experiment& experiment,
                         std::vector<int32_t>& swapped, std::string& error) {
  std::string reference = options.reference;
  if (reference.empty()) {
    if (!same_two_samples(experiment)) {
      error = "the arrays of the targets file hold the samples " + samples_listed(experiment) +
              ": name the reference sample with --reference NAME, or give the design with "
              "--design FILE";
      return false;
    }
    reference = experiment.cy3[0];
    // Today's one-sample test of log2(other sample / reference), the swaps from the targets.
    if (!options.dye_effect) {
      for (std::size_t a = 0; a < experiment.cy3.size(); ++a)
        if (experiment.cy3[a] != reference) swapped.push_back(static_cast<int32_t>(a) + 1);
      return true;
    }
  }
  std::vector<ArraySamples> arrays;
  for (std::size_t a = 0; a < experiment.cy3.size(); ++a)
    arrays.push_back({experiment.cy3[a], experiment.cy5[a]});
  if (!model_matrix(arrays, reference, options.dye_effect, experiment.design, error)) return false;
  experiment.fits_model = true;
  return true;
}

}  // namespace

bool plan_experiment(const CommandLine& options, Experiment& experiment,
                     std::vector<int32_t>& swapped, std::string& error) {
  experiment.targets_path = options.targets;
  experiment.reference = options.reference;
  experiment.design_path = options.design;
  experiment.dye_effect = options.dye_effect;
  experiment.contrast_texts = options.contrasts;
  experiment.top = options.top;
  const bool with_samples = !experiment.cy3.empty();
  // Taken before the targets' own swaps are added: swapped may be options.swapped_slides itself.
  const bool swaps_given = !options.swapped_slides.empty();
  if (!options.design.empty()) {
    if (!options.reference.empty() || options.dye_effect) {
      error =
          "the design file gives the whole design: --reference and --dye-effect do not go "
          "with --design";
      return false;
    }
    if (!read_design_file(options, experiment.design, error)) return false;
    experiment.fits_model = true;
  } else if (with_samples) {
    if (!design_from_samples(options, experiment, swapped, error)) return false;
  } else if (!options.reference.empty() || options.dye_effect) {
    error = std::string("option ") + (options.reference.empty() ? "--dye-effect" : "--reference") +
            " needs the samples of the arrays: a targets file (--targets) with Cy3 and Cy5 columns";
    return false;
  }
  if (!experiment.fits_model) {
    if (!options.contrasts.empty()) {
      error =
          "option --contrast needs a design with coefficients to contrast: a targets file with "
          "a reference (--reference) or a design file (--design)";
      return false;
    }
    if (with_samples && swaps_given) {
      error =
          "the targets file tells which arrays are dye-swapped: --dye-swap does not go with "
          "Cy3 and Cy5 columns";
      return false;
    }
    return true;
  }
  if (swaps_given || options.ratio_choice != 1) {
    error = std::string("option ") + (options.ratio_choice != 1 ? "--ratio 2" : "--dye-swap") +
            " does not go with a design, which takes every array's log2 ratio of channel 2 (Cy5) "
            "over channel 1 (Cy3) and holds the dye swaps itself";
    return false;
  }
  LinearDesign prepared;
  if (!prepare_design(experiment.design, prepared, error)) return false;
  for (const std::string& text : options.contrasts) {
    Contrast contrast;
    if (!parse_contrast(text, experiment.design.names, contrast, error)) return false;
    experiment.contrasts.push_back(contrast);
  }
  return true;
}
