// One simulated slide: what the scanner measured on every spot, before it is written in any
// file format. Every format writes the same simulated slide, so that one seed gives the same spots
// in each.
#pragma once

#include <vector>

#include "slide_layout.hpp"
#include "slide_random.hpp"

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
  double flagged = 0.0;       // share of the spots that the image analysis flags as bad
  std::vector<bool> swapped;  // by slide number less 1: the two samples' channels exchanged
  // The common-reference design, by slide number less 1: the sample (1, 2, ...) hybridised
  // against the reference, whose level in Gene::sample_log2 gives the true ratios. Empty for the
  // two-sample design, where Gene::true_ratio does.
  std::vector<int> sample_of_slide;
};

// One channel of one spot as the scanner reports it: the pixel mean of the spot, the median of
// its surroundings as the background.
struct ChannelReading {
  double area;
  double deviation;
  double intensity;
  double background;
  double saturated_percent;
};

// What the formats other than the scanner's also report of a channel.
struct ChannelDetail {
  double median;           // the spot's pixel median, near the mean
  double background_mean;  // the surroundings' mean, a little above their median
  double background_sd;
};

struct SpotReading {
  ChannelReading channel1;  // Cy3, green, 532 nm
  ChannelReading channel2;  // Cy5, red, 635 nm
  ChannelDetail detail1;
  ChannelDetail detail2;
  int flag;  // 0 good; -50 not found, -75 absent, -100 bad, as the image analysis flags spots
};

// Where a spot was found, in micrometres.
struct SpotPlace {
  int x;
  int y;
  int diameter;
};

struct ScanSettings {
  int barcode;
  int laser1;
  int laser2;
  int gain1;
  int gain2;
};

struct SimulatedSlide {
  int number;  // 1, 2, ...
  ScanSettings scan;
  std::vector<SpotPlace> places;   // by spot number less 1
  std::vector<SpotReading> spots;  // by spot number less 1
};

// Simulates slide number `slide`. The draws from `random` come in the order the scanner's file
// has always taken them (the scan settings, the spot places, the slide's conditions, then spot by
// spot); the slide's gene and print-tip offsets are drawn from `effect_random`, and what only the
// other formats report (medians, background means and deviations, flags) from `detail_random`.
SimulatedSlide simulate_slide(const Layout& layout, const SlideEffects& effects, int slide,
                              Random& random, Random& effect_random, Random& detail_random);

// The block of spot number `spot` (1, 2, ...) and its place in it, all counted from 1. Spots are
// numbered block by block (blocks row by row), and within a block row by row.
struct SpotPosition {
  int array_row;
  int array_column;
  int row;
  int column;
};
SpotPosition position_of(const Layout& layout, int spot);
