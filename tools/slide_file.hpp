// The simulated slides: the array layout shared by all slides of a run, and the text of one
// scanner result file for it.
#pragma once

#include <string>
#include <vector>

#include "slide_random.hpp"

// What every slide shares: the grid and, per gene, its name, true ratio and expression level.
struct Gene {
  std::string name;
  double true_ratio;  // the sample of channel 2 over the sample of channel 1
  double level;       // typical signal above background
  bool weak;          // expressed too little to rise above background
};

// Which genes change between the two samples: a share of the genes, half of them up by the fold
// change and half down by it.
struct GeneChanges {
  double share = 0.12;
  double fold = 3.0;
};

// How the slides depart from a plain repeat of one hybridisation. The defaults leave none of
// these effects and the present rates of missing and badly printed spots.
struct SlideEffects {
  double gene_sd = 0.0;       // SD of a normal offset of each gene's log2 true ratio, per slide,
                              // shared half and half between the two samples
  double dye_bias = 0.0;      // log2 offset of channel 2 at low intensity, fading at high
  double print_tip_sd = 0.0;  // SD of a normal log2 offset of channel 2, per block and slide
  double missing = 0.01;      // share of spots missing on a slide
  double badly_printed = 0.02;
  double outliers = 0.03;     // share of the measured spots with channel 2 4 times off
  std::vector<bool> swapped;  // by slide number less 1: the two samples' channels exchanged
};

struct Layout {
  int array_rows;
  int array_columns;
  int rows;
  int columns;
  int total_spots;
  int replicates;
  std::vector<Gene> genes;
};

// Lays out a grid of whole blocks of block_rows x block_columns spots that holds at least `spots`
// spots, and draws the genes, each printed as `replicates` consecutive spots.
Layout make_layout(int spots, int block_rows, int block_columns, int replicates,
                   const GeneChanges& changes, Random& random);

// The name of slide number `slide` (1, 2, ...): the prefix followed by the number in two digits.
std::string slide_name(const std::string& prefix, int slide);

// The full text of one result file for slide number `slide`. The slide's gene and print-tip
// offsets are drawn from `effect_random`, everything else from `random`.
std::string slide_text(const Layout& layout, const SlideEffects& effects, const std::string& prefix,
                       int slide, bool crlf, Random& random, Random& effect_random);

// The truth file: one tab-separated row per gene of the layout (a last gene with fewer than
// `replicates` spots included), with its number, name, log2 true ratio and whether it changed.
std::string truth_text(const Layout& layout);
