// Realistic figures of a made-up run, to look at the HTML report and to test it at full size
// before a real run fills them.
#pragma once

#include <cstdint>

#include "run/run_figures.hpp"

// A loess-normalised run of the given size: genes of `replicates` consecutive spots, most
// unchanged, one in ten up or down by a factor of 1.2 to 3, noisier at low intensity, weak spots
// failing the quality test; every slide's M bends up towards weak spots, and the fit takes the
// bend away. Slide 2 (when there is one) is dye-swapped; slide 3 has a normalisation factor of
// about 2.4; the last of four or more slides has a third of its spots failing; slide 7 of ten or
// more has no spot with a ratio. Both tests are made. The spots lie in blocks of 24 x 32, and
// slide 1 has a scratch: a line of spots failing the quality test across several blocks. The
// genes the page lists carry their replicate spots. Gene 5 has a name with markup characters
// and gene 9 p-values of 0. With contrasts above 0 the run fits a linear model of a reference
// design with that many contrasts (GenePix files, normexp background correction, scale between
// the slides): the F-test ranks the genes of several contrasts, gene 9 has p = 0 in the first and
// gene 12 no p-value in any. Same arguments, same figures.
RunFigures synthetic_figures(int32_t slides, int32_t spots_per_slide, int32_t replicates,
                             int32_t contrasts = 0);
