// The simulation of one slide. Intensities and backgrounds are log-normal; each slide has its own
// background level and dye balance; the slide effects (gene offsets, dye bias, print-tip offsets,
// dye swaps) come on top of the plain simulation and draw from random numbers of their own.

#include "slide_simulation.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const double kScannerMaximum = 65535.0;

// What a spot adds above its background in one channel, and what it would add without the slide
// effects. Which numbers are drawn depends on the plain signal alone, so that the effects leave
// the random numbers of the rest of the slide as they were.
struct Signal {
  double value;
  double plain;
};

// A missing spot reads zero throughout but keeps the background measured around it. A spot that
// saturates only through the slide effects takes its saturated share from their random numbers.
ChannelReading read_channel(Signal signal, double background, int area, Random& random,
                            Random& effect_random) {
  ChannelReading reading{static_cast<double>(area), 0.0, 0.0, background, 0.0};
  if (area == 0) return reading;
  const double spread = random.uniform(0.15, 0.45);
  const bool plain_saturated = background + signal.plain > kScannerMaximum;
  const double plain_saturated_percent = plain_saturated ? random.uniform(5.0, 40.0) : 0.0;
  reading.intensity = background + signal.value;
  reading.deviation = reading.intensity * spread;
  if (reading.intensity > kScannerMaximum) {
    reading.intensity = kScannerMaximum;
    reading.saturated_percent =
        plain_saturated ? plain_saturated_percent : effect_random.uniform(5.0, 40.0);
  }
  return reading;
}

// Slide-wide conditions: dye balance and background level of each channel, and the effects
// drawn for this slide.
struct SlideConditions {
  double dye_balance;  // channel 2 over channel 1 for equal amounts of both samples
  double background1;
  double background2;
  bool swapped;                       // channel 1 holds the second sample, channel 2 the first
  double dye_bias;                    // the size of the intensity-dependent dye bias
  std::vector<double> gene_ratios;    // the second sample over the first, by gene number less 1
  std::vector<double> gene_offsets;   // log2, by gene number less 1
  std::vector<double> block_offsets;  // log2, by block number less 1
};

// The dye bias, as a log2 offset of channel 2 at a mean log2 signal of a: the full size at the
// faintest spots, half of it at a = 10 (a little below the typical gene) and fading towards 0 at
// the brightest.
double dye_bias_at(double size, double a) {
  return size / (1.0 + std::exp2(a - 10.0));
}

// The factor by which the dye of channel 2 misreports a spot of the given signals: the print
// tip's offset and the dye bias, both 1 (exactly) when the slide has neither.
double channel_two_distortion(const SlideConditions& slide, int block, double sample1,
                              double sample2) {
  double offset = slide.block_offsets[static_cast<std::size_t>(block)];
  if (slide.dye_bias != 0.0) {
    const double a = (std::log2(sample1) + std::log2(sample2)) / 2.0;
    offset += dye_bias_at(slide.dye_bias, a);
  }
  return std::exp2(offset);
}

SpotReading read_spot(const Layout& layout, const SlideEffects& effects, int spot,
                      const SlideConditions& slide, Random& random, Random& effect_random) {
  const Probe& probe = layout.spots[static_cast<std::size_t>(spot - 1)];
  const Gene& gene = probe_of(layout, spot);
  const std::size_t gene_index = static_cast<std::size_t>(probe.index);
  const int block = (spot - 1) / (layout.rows * layout.columns);
  const double background1 = random.lognormal(slide.background1, 0.15);
  const double background2 = random.lognormal(slide.background2, 0.15);
  const bool missing = random.chance(effects.missing);
  const bool badly_printed = random.chance(effects.badly_printed);
  Signal signal1{0.0, 0.0};
  Signal signal2{0.0, 0.0};
  if (gene.weak || badly_printed) {
    // Net over background stays below 1 in both channels; a few nets are even negative.
    const double fraction1 = random.uniform(-0.2, 0.8);
    const double fraction2 = random.uniform(-0.2, 0.8);
    signal1.value = signal1.plain = background1 * fraction1;
    signal2.value = signal2.plain = background2 * fraction2;
  } else {
    const double amount = random.lognormal(gene.level, 0.35);  // how much DNA the spot holds
    const double noise1 = random.lognormal(1.0, 0.12);
    const double noise2 = random.lognormal(1.0, 0.12);
    // A control holds the same in both samples on every slide.
    const double ratio = probe.control ? 1.0 : slide.gene_ratios[gene_index];
    const double gene_offset = probe.control ? 0.0 : slide.gene_offsets[gene_index];
    // The gene's slide offset o varies both samples, as biological replicates do: the first by
    // 2^(-o/2), the second by 2^(o/2), so that their ratio moves by 2^o and their mean log2
    // intensity stays.
    const double half_offset = std::exp2(gene_offset / 2.0);
    double sample1 = amount / half_offset;
    double sample2 = amount * ratio * half_offset;
    if (slide.swapped) std::swap(sample1, sample2);
    signal1.value = sample1 * noise1;
    signal2.value = sample2 * slide.dye_balance *
                    channel_two_distortion(slide, block, sample1, sample2) * noise2;
    signal1.plain = amount * noise1;
    signal2.plain = amount * ratio * slide.dye_balance * noise2;
    if (random.chance(effects.outliers)) {  // an outlying replicate
      const double outlier = random.chance(0.5) ? 4.0 : 0.25;
      signal2.value *= outlier;
      signal2.plain *= outlier;
    }
  }
  const int area = missing ? 0 : random.integer(100, 126);
  SpotReading reading{};
  reading.channel1 = read_channel(signal1, background1, area, random, effect_random);
  reading.channel2 = read_channel(signal2, background2, area, random, effect_random);
  return reading;
}

SpotPlace place_spot(const Layout& layout, int spot, Random& random) {
  const SpotPosition where = position_of(layout, spot);
  const int jitter_x = random.integer(-12, 12);
  const int jitter_y = random.integer(-12, 12);
  const int diameter = random.integer(110, 130);
  return {1500 + (where.array_column - 1) * 4500 + (where.column - 1) * 250 + jitter_x,
          1500 + (where.array_row - 1) * 4500 + (where.row - 1) * 250 + jitter_y, diameter};
}

// The pixel median lies a few per cent either side of the mean (never above the scanner's
// maximum); the surroundings' mean a little above their median, as a few bright specks pull it up.
ChannelDetail detail_of(const ChannelReading& reading, Random& detail_random) {
  ChannelDetail detail{};
  const double median_factor = std::exp(0.04 * detail_random.normal());
  detail.median = std::min(kScannerMaximum, reading.intensity * median_factor);
  detail.background_mean = reading.background * detail_random.uniform(1.0, 1.12);
  detail.background_sd = reading.background * detail_random.uniform(0.15, 0.5);
  return detail;
}

int flag_of(double share, Random& detail_random) {
  if (!detail_random.chance(share)) return 0;
  const int flags[] = {-50, -75, -100};
  return flags[detail_random.integer(0, 2)];
}

}  // namespace

SpotPosition position_of(const Layout& layout, int spot) {
  const int block_spots = layout.rows * layout.columns;
  const int block = (spot - 1) / block_spots;
  const int within = (spot - 1) % block_spots;
  return {block / layout.array_columns + 1, block % layout.array_columns + 1,
          within / layout.columns + 1, within % layout.columns + 1};
}

SimulatedSlide simulate_slide(const Layout& layout, const SlideEffects& effects, int slide,
                              Random& random, Random& effect_random, Random& detail_random) {
  SimulatedSlide simulated{};
  simulated.number = slide;
  simulated.scan.barcode = random.integer(100000, 999999);
  simulated.scan.laser1 = random.integer(70, 95);
  simulated.scan.laser2 = random.integer(70, 95);
  simulated.scan.gain1 = random.integer(60, 80);
  simulated.scan.gain2 = random.integer(60, 80);
  for (int spot = 1; spot <= layout.total_spots; ++spot)
    simulated.places.push_back(place_spot(layout, spot, random));

  const std::size_t index = static_cast<std::size_t>(slide - 1);
  SlideConditions conditions{};
  conditions.dye_balance = random.lognormal(1.0, 0.25);
  conditions.background1 = random.lognormal(180.0, 0.2);
  conditions.background2 = random.lognormal(220.0, 0.2);
  conditions.swapped = effects.swapped[index];
  conditions.dye_bias = effects.dye_bias;
  for (const Gene& gene : layout.genes) {
    conditions.gene_ratios.push_back(
        effects.sample_of_slide.empty()
            ? gene.true_ratio
            : std::exp2(
                  gene.sample_log2[static_cast<std::size_t>(effects.sample_of_slide[index])]));
  }
  // The offsets come from a generator of their own and only when asked for, so that the rest of
  // a slide is the same with them and without them.
  conditions.gene_offsets.assign(layout.genes.size(), 0.0);
  if (effects.gene_sd > 0.0) {
    for (double& offset : conditions.gene_offsets)
      offset = effects.gene_sd * effect_random.normal();
  }
  conditions.block_offsets.assign(
      static_cast<std::size_t>(layout.array_rows) * static_cast<std::size_t>(layout.array_columns),
      0.0);
  if (effects.print_tip_sd > 0.0) {
    for (double& offset : conditions.block_offsets)
      offset = effects.print_tip_sd * effect_random.normal();
  }
  simulated.spots.reserve(static_cast<std::size_t>(layout.total_spots));
  for (int spot = 1; spot <= layout.total_spots; ++spot)
    simulated.spots.push_back(read_spot(layout, effects, spot, conditions, random, effect_random));

  for (SpotReading& reading : simulated.spots) {
    reading.detail1 = detail_of(reading.channel1, detail_random);
    reading.detail2 = detail_of(reading.channel2, detail_random);
    reading.flag = flag_of(effects.flagged, detail_random);
  }
  return simulated;
}
