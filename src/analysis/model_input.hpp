// What the command line makes of the arrays' samples and of the contrasts it is given, before any
// gene is fitted: the design of a common-reference or direct experiment, and contrasts written
// as expressions of the coefficients. Pure functions: they read no run.
#pragma once

#include <string>
#include <vector>

#include "numeric/linear_model.hpp"

// The samples an array holds in its two channels.
struct ArraySamples {
  std::string cy3;
  std::string cy5;
};

// The design of limma's modelMatrix(targets, ref = reference): one coefficient per sample other
// than the reference, the log ratio of that sample over the reference, the samples in limma's
// sorted order. An array's row is +1 in the column of its Cy5 sample and -1 in that of its Cy3
// sample (the reference has no column). With a dye effect, a first coefficient "Dye" of 1 on
// every array, as cbind(Dye = 1, design). Returns false with a sentence in `error` when a sample
// has no name, the reference is not among the samples or is the only one, or a sample is named
// "Dye" beside the dye effect.
bool model_matrix(const std::vector<ArraySamples>& arrays, const std::string& reference,
                  bool dye_effect, Design& design, std::string& error);

// Whether sample name a comes before b in the order R sorts names in (the collation of its ICU
// root locale, which R uses in a UTF-8 locale such as C.UTF-8 or en_US.UTF-8): the printable ASCII
// characters ranked as blank, punctuation and symbols, digits, then letters regardless of case,
// and only where that ties, lower case before upper case, from the left. Other bytes come after
// them, in their order.
bool sorts_before(const std::string& a, const std::string& b);

// Reads a contrast written NAME=EXPRESSION, as limma's makeContrasts takes it: a linear
// combination of the coefficients with numbers in decimal, + - * /, unary minus and parentheses,
// such as "RIN5vs9=RIN5.0-RIN9.7", "mean=(A+B+C)/3" or "d=2*A - B/4". A coefficient name is
// letters, digits, dots and underscores, not starting with a digit. The weights are computed as
// written, as R does. Returns false with a one-line message in `error` that shows where the text
// went wrong: no "=", an empty name or expression, an unknown name (the known ones are listed), a
// product of two coefficients, a division by a coefficient or by zero, a number added to
// coefficients, or weights all zero.
bool parse_contrast(const std::string& text, const std::vector<std::string>& coefficients,
                    Contrast& contrast, std::string& error);
