// The common-reference design: every slide holds one of the samples against the reference (the
// first sample), the samples in turn, every other slide of a sample dye-swapped; and limma's
// targets file that says which sample is in which dye.
#pragma once

#include <string>
#include <vector>

#include "slide_layout.hpp"
#include "slide_random.hpp"
#include "slide_simulation.hpp"

// Gives every gene its log2 level in each of `sample_count` samples: 0 in the reference and in
// every sample for an unchanged gene (true ratio 1); a changed gene changes in each other sample
// with chance 1/2 (in one at least), up or down by the fold change with chance 1/2 each.
void draw_sample_levels(Layout& layout, std::size_t sample_count, double fold,
                        Random& design_random);

// Assigns the samples other than the reference to the slides in turn: slide k (from 0) holds
// sample k mod (n - 1) + 1; the second, fourth, ... slide of each sample is swapped, the
// reference in Cy5 (channel 2).
void assign_slides(SlideEffects& effects, int files, std::size_t sample_count);

// limma's targets file: a heading FileName, Cy3, Cy5 and one row per slide, naming the sample in
// each channel (channel 1 is Cy3). Without a sample per slide (the two-sample design) the first
// sample is in channel 1 but on the swapped slides.
std::string targets_text(const std::vector<std::string>& file_names,
                         const std::vector<std::string>& samples, const SlideEffects& effects);
