// The box-plot figures of a slide's log2 spot ratios.
#pragma once

#include <vector>

#include "run/run_figures.hpp"

// Count, extremes, quartiles (by linear interpolation between order statistics) and whiskers
// of the values; only the count for none.
BoxFigures box_figures_of(const std::vector<double>& values);
