// The slide images' part of the figures: where each spot lies and the shade of every spot.
#pragma once

#include <vector>

#include "run/run.hpp"

// The limit of the images' shared scale: the farthest whisker end of any slide's box plot from
// 0, rounded up to a multiple of a half; at least a half and at most 16. Most spots lie within
// it, so the shades tell apart the spread the box plots show, and the few beyond take the end
// shades.
double image_limit_of(const std::vector<SlideFigures>& slides);

// Sets the spots' places and image limit of the figures, and the shade of every spot of every
// slide, once the slides' boxes are known. A spot's shade comes from comparing its ratio with the
// steps' bounds raised to powers of two, so it costs no logarithm.
void collect_slide_shades(Run& run);
