// The array layout shared by the slides of a run.

#include "slide_layout.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "file_text.hpp"

namespace {

std::string gene_name(int number, Random& random) {
  char text[40];
  std::snprintf(text, sizeof text, "GENE%04d", number);
  if (random.chance(0.03)) return "";  // a spot left unnamed in the print layout
  if (random.chance(0.05)) {
    const int clone = random.integer(1, 40);
    return std::string(text) + " clone " + std::to_string(clone);
  }
  return text;
}

std::string gene_id(int number) {
  char text[40];
  std::snprintf(text, sizeof text, "P%06d", number);
  return text;
}

// The control probes an array carries: spike-ins and bright corners that light up in both
// channels alike (positive), and probes that nothing binds to (negative).
std::vector<Gene> control_probes() {
  const auto positive = [](const char* name, double level) {
    return Gene{name, name, 1.0, level, false, 1, {}};
  };
  const auto negative = [](const char* name) { return Gene{name, name, 1.0, 0.0, true, -1, {}}; };
  return {positive("(+)E1A_r60_1", 20000.0),
          positive("(+)E1A_r60_a22", 5000.0),
          positive("(+)E1A_r60_a104", 800.0),
          positive("BrightCorner", 30000.0),
          negative("(-)3xSLv1"),
          negative("DarkCorner")};
}

// The number of spots of each gene, in gene order, for `spots` spots: R each (the last gene takes
// what is left), or from 1 to 2R - 1 each when uneven.
std::vector<int> spots_per_gene(int spots, int replicates, bool uneven, Random& layout_random) {
  std::vector<int> counts;
  int left = spots;
  while (left > 0) {
    const int count = uneven ? layout_random.integer(1, 2 * replicates - 1) : replicates;
    counts.push_back(std::min(count, left));
    left -= counts.back();
  }
  return counts;
}

}  // namespace

Layout make_layout(int spots, int block_rows, int block_columns, int replicates,
                   const GeneChanges& changes, const Arrangement& arrangement, Random& random,
                   Random& layout_random) {
  Layout layout{};
  layout.rows = block_rows;
  layout.columns = block_columns;
  const int block_spots = layout.rows * layout.columns;
  const int blocks = (spots + block_spots - 1) / block_spots;
  layout.array_columns = 1;
  while (layout.array_columns * layout.array_columns < blocks) {
    ++layout.array_columns;
  }
  layout.array_rows = (blocks + layout.array_columns - 1) / layout.array_columns;
  layout.total_spots = layout.array_rows * layout.array_columns * block_spots;
  layout.replicates = replicates;

  // The control spots first, each of a kind drawn at random; the genes fill the other spots.
  layout.spots.assign(static_cast<std::size_t>(layout.total_spots), Probe{false, 0});
  std::vector<std::size_t> gene_spots;
  if (arrangement.controls > 0.0) layout.controls = control_probes();
  const int last_control = static_cast<int>(layout.controls.size()) - 1;
  for (std::size_t s = 0; s < layout.spots.size(); ++s) {
    if (arrangement.controls > 0.0 && layout_random.chance(arrangement.controls)) {
      layout.spots[s] = Probe{true, layout_random.integer(0, last_control)};
    } else {
      gene_spots.push_back(s);
    }
  }
  const std::vector<int> counts = spots_per_gene(static_cast<int>(gene_spots.size()), replicates,
                                                 arrangement.uneven, layout_random);

  const int gene_count = static_cast<int>(counts.size());
  for (int number = 1; number <= gene_count; ++number) {
    Gene gene;
    gene.id = gene_id(number);
    gene.name = gene_name(number, random);
    const double kind = random.uniform();
    gene.true_ratio = kind < changes.share / 2.0 ? changes.fold
                      : kind < changes.share     ? 1.0 / changes.fold
                                                 : 1.0;
    gene.weak = random.chance(0.06);
    gene.level = random.lognormal(1500.0, 0.9);
    layout.genes.push_back(gene);
  }

  // Each gene's spots in gene order, shuffled over the gene spots when scattered.
  std::vector<int> owner;
  for (int g = 0; g < gene_count; ++g)
    owner.insert(owner.end(), static_cast<std::size_t>(counts[static_cast<std::size_t>(g)]), g);
  if (arrangement.scatter) {
    for (std::size_t i = owner.size(); i > 1; --i) {
      const int j = layout_random.integer(0, static_cast<int>(i) - 1);
      std::swap(owner[i - 1], owner[static_cast<std::size_t>(j)]);
    }
  }
  for (std::size_t k = 0; k < gene_spots.size(); ++k)
    layout.spots[gene_spots[k]] = Probe{false, owner[k]};
  return layout;
}

const Gene& probe_of(const Layout& layout, int spot) {
  const Probe& probe = layout.spots[static_cast<std::size_t>(spot - 1)];
  const std::vector<Gene>& probes = probe.control ? layout.controls : layout.genes;
  return probes[static_cast<std::size_t>(probe.index)];
}

std::string slide_name(const std::string& prefix, int slide) {
  char number[16];
  std::snprintf(number, sizeof number, "%02d", slide);
  return prefix + number;
}

std::string truth_text(const Layout& layout, bool with_ids,
                       const std::vector<std::string>& samples) {
  std::string text = with_ids ? "gene\tid\tname" : "gene\tname";
  if (samples.empty()) {
    text += "\ttrue_log2_ratio";
  } else {
    for (const std::string& sample : samples)
      text += '\t' + sample;
  }
  text += "\tchanged\n";
  for (std::size_t g = 0; g < layout.genes.size(); ++g) {
    const Gene& gene = layout.genes[g];
    text += std::to_string(g + 1) + '\t';
    if (with_ids) text += gene.id + '\t';
    text += gene.name;
    if (samples.empty()) {
      text += '\t' + shortest(std::log2(gene.true_ratio));
    } else {
      for (const double level : gene.sample_log2)
        text += '\t' + shortest(level);
    }
    text += gene.true_ratio != 1.0 ? "\tyes\n" : "\tno\n";
  }
  return text;
}
