// The array layout that every slide of a run shares: the grid of blocks, the genes with their
// true changes, the control probes, and which gene or control each spot holds.
#pragma once

#include <string>
#include <vector>

#include "slide_random.hpp"

// A probe printed on the array: a gene, or a control. What every slide shares about it.
struct Gene {
  std::string id;     // shared by all spots of the gene; a control's probe name
  std::string name;   // may be empty: a spot left unnamed in the print layout
  double true_ratio;  // the second sample over the first (two-sample design)
  double level;       // typical signal above background
  bool weak;          // expressed too little to rise above background
  int control = 0;    // 0 a gene, 1 a positive control, -1 a negative control
  // The common-reference design: the log2 level in each sample, 0 in the reference (the first).
  std::vector<double> sample_log2;
};

// Which genes change between the two samples: a share of the genes, half of them up by the fold
// change and half down by it.
struct GeneChanges {
  double share = 0.12;
  double fold = 3.0;
};

// How the spots are given to the genes, beyond R consecutive spots each.
struct Arrangement {
  double controls = 0.0;  // share of the spots that hold control probes
  bool scatter = false;   // a gene's spots at random places over the array
  bool uneven = false;    // spots per gene from 1 to 2R - 1 instead of R
};

// What a spot holds: genes[index], or controls[index].
struct Probe {
  bool control;
  int index;
};

struct Layout {
  int array_rows;
  int array_columns;
  int rows;
  int columns;
  int total_spots;
  int replicates;
  std::vector<Gene> genes;
  std::vector<Gene> controls;
  std::vector<Probe> spots;  // by spot number less 1
};

// Lays out a grid of whole blocks of block_rows x block_columns spots that holds at least `spots`
// spots, and draws the genes, each printed as `replicates` consecutive spots. The gene draws come
// from `random`, in the same order as always; what the arrangement asks for beyond that (the
// control spots, uneven counts, the scattering) from `layout_random`, so that without it the
// genes are those of the plain layout.
Layout make_layout(int spots, int block_rows, int block_columns, int replicates,
                   const GeneChanges& changes, const Arrangement& arrangement, Random& random,
                   Random& layout_random);

// The gene or control on spot number `spot` (1, 2, ...).
const Gene& probe_of(const Layout& layout, int spot);

// The name of slide number `slide` (1, 2, ...): the prefix followed by the number in two digits.
std::string slide_name(const std::string& prefix, int slide);

// The truth file: one tab-separated row per gene of the layout (a last gene with fewer than
// `replicates` spots included), with its number, its ID when `with_ids`, its name, and then
// either its log2 true ratio (no sample names) or its log2 level in each named sample, and
// whether it changed.
std::string truth_text(const Layout& layout, bool with_ids,
                       const std::vector<std::string>& samples);
