#include "reference_design.hpp"

#include <cmath>

void draw_sample_levels(Layout& layout, std::size_t sample_count, double fold,
                        Random& design_random) {
  const double change = std::log2(fold);
  const int last_sample = static_cast<int>(sample_count) - 1;
  for (Gene& gene : layout.genes) {
    gene.sample_log2.assign(sample_count, 0.0);
    if (gene.true_ratio == 1.0) continue;
    bool changed_anywhere = false;
    for (std::size_t s = 1; s < sample_count; ++s) {
      const bool changed = design_random.chance(0.5);
      const double direction = design_random.chance(0.5) ? 1.0 : -1.0;
      if (changed) gene.sample_log2[s] = direction * change;
      changed_anywhere = changed_anywhere || changed;
    }
    if (!changed_anywhere) {
      const std::size_t s = static_cast<std::size_t>(design_random.integer(1, last_sample));
      gene.sample_log2[s] = design_random.chance(0.5) ? change : -change;
    }
  }
}

void assign_slides(SlideEffects& effects, int files, std::size_t sample_count) {
  const int samples = static_cast<int>(sample_count) - 1;
  effects.sample_of_slide.assign(static_cast<std::size_t>(files), 0);
  effects.swapped.assign(static_cast<std::size_t>(files), false);
  for (int k = 0; k < files; ++k) {
    effects.sample_of_slide[static_cast<std::size_t>(k)] = k % samples + 1;
    effects.swapped[static_cast<std::size_t>(k)] = k / samples % 2 == 1;
  }
}

std::string targets_text(const std::vector<std::string>& file_names,
                         const std::vector<std::string>& samples, const SlideEffects& effects) {
  std::string text = "FileName\tCy3\tCy5\n";
  for (std::size_t k = 0; k < file_names.size(); ++k) {
    const std::string& first = samples[0];
    const std::string& second = samples[effects.sample_of_slide.empty()
                                            ? 1
                                            : static_cast<std::size_t>(effects.sample_of_slide[k])];
    const bool swapped = effects.swapped[k];
    text += file_names[k] + '\t' + (swapped ? second : first) + '\t' + (swapped ? first : second) +
            '\n';
  }
  return text;
}
