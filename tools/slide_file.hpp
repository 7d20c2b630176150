// The simulated slides: the array layout shared by all slides of a run, and the text of one
// scanner result file for it.
#pragma once

#include <string>
#include <vector>

#include "slide_random.hpp"

// What every slide shares: the grid and, per gene, its name, true ratio and expression level.
struct Gene {
  std::string name;
  double true_ratio;  // channel 2 over channel 1
  double level;       // typical signal above background
  bool weak;          // expressed too little to rise above background
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
Layout make_layout(int spots, int block_rows, int block_columns, int replicates, Random& random);

// The name of slide number `slide` (1, 2, ...): the prefix followed by the number in two digits.
std::string slide_name(const std::string& prefix, int slide);

// The full text of one result file for slide number `slide`.
std::string slide_text(const Layout& layout, const std::string& prefix, int slide, bool crlf,
                       Random& random);
