// Writes one scanner result file in the fixed line layout the reader expects: the word "User"
// first, the grid on lines 11 to 14, the spot counts on lines 21 and 22, the two channel lines on
// lines 30 and 31, a spot count on line 36, a table of spot positions (TotalSpots + 3 lines), and
// then the spot table, one row per spot. Only the number of lines and the number of words in
// front of each header value matter to the reader; the rest is there to look like a real export.

#include "slide_file.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <utility>

namespace {

const double kScannerMaximum = 65535.0;

struct SpotPosition {
  int array_row;
  int array_column;
  int row;
  int column;
};

// Spots are numbered block by block (blocks row by row), and within a block row by row.
SpotPosition position_of(const Layout& layout, int spot) {
  const int block_spots = layout.rows * layout.columns;
  const int block = (spot - 1) / block_spots;
  const int within = (spot - 1) % block_spots;
  return {block / layout.array_columns + 1, block % layout.array_columns + 1,
          within / layout.columns + 1, within % layout.columns + 1};
}

const Gene& gene_of(const Layout& layout, int spot) {
  return layout.genes[static_cast<std::size_t>((spot - 1) / layout.replicates)];
}

std::string gene_name(int number, Random& random) {
  char text[40];
  std::snprintf(text, sizeof text, "GENE%04d", number);
  if (random.chance(0.03)) return "";  // a spot left unnamed in the print layout
  if (random.chance(0.05)) {
    const int clone = random.integer(1, 40);
    return std::string(text) + " clone " + std::to_string(clone);
  }
  return text;
}

std::string fixed(double value, int decimals) {
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, result.ptr);
}

// Collects the lines of one file with the chosen line end.
struct FileText {
  std::string text;
  std::string_view line_end;

  void line(std::string_view content) {
    text += content;
    text += line_end;
  }
};

// One channel of one spot as the scanner reports it.
struct ChannelReading {
  double area;
  double deviation;
  double intensity;
  double background;
  double saturated_percent;
};

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

void add_channel_values(std::string& row, const ChannelReading& reading) {
  row += '\t' + fixed(reading.area, 0);
  row += '\t' + fixed(reading.deviation, 2);
  row += '\t' + fixed(reading.intensity, 2);
  row += '\t' + fixed(reading.background, 2);
}

// Slide-wide conditions: dye balance and background level of each channel, and the effects
// drawn for this slide.
struct SlideConditions {
  double dye_balance;  // channel 2 over channel 1 for equal amounts of both samples
  double background1;
  double background2;
  bool swapped;                       // channel 1 holds the second sample, channel 2 the first
  double dye_bias;                    // the size of the intensity-dependent dye bias
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

std::string spot_row(const Layout& layout, const SlideEffects& effects, int spot,
                     const SlideConditions& slide, Random& random, Random& effect_random) {
  const Gene& gene = gene_of(layout, spot);
  const int gene_index = (spot - 1) / layout.replicates;
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
    // The gene's slide offset o varies both samples, as biological replicates do: the first by
    // 2^(-o/2), the second by 2^(o/2), so that their ratio moves by 2^o and their mean log2
    // intensity stays.
    const double half_offset =
        std::exp2(slide.gene_offsets[static_cast<std::size_t>(gene_index)] / 2.0);
    double sample1 = amount / half_offset;
    double sample2 = amount * gene.true_ratio * half_offset;
    if (slide.swapped) std::swap(sample1, sample2);
    signal1.value = sample1 * noise1;
    signal2.value = sample2 * slide.dye_balance *
                    channel_two_distortion(slide, block, sample1, sample2) * noise2;
    signal1.plain = amount * noise1;
    signal2.plain = amount * gene.true_ratio * slide.dye_balance * noise2;
    if (random.chance(effects.outliers)) {  // an outlying replicate
      const double outlier = random.chance(0.5) ? 4.0 : 0.25;
      signal2.value *= outlier;
      signal2.plain *= outlier;
    }
  }
  const int area = missing ? 0 : random.integer(100, 126);
  const ChannelReading channel1 = read_channel(signal1, background1, area, random, effect_random);
  const ChannelReading channel2 = read_channel(signal2, background2, area, random, effect_random);

  const double net1 = channel1.intensity - channel1.background;
  const double net2 = channel2.intensity - channel2.background;
  const double raw_ratio = net1 > 0.0 && net2 > 0.0 ? net2 / net1 : 0.0;

  const SpotPosition where = position_of(layout, spot);
  std::string row = std::to_string(spot) + '\t' + std::to_string(where.array_row) + '\t' +
                    std::to_string(where.array_column) + '\t' + std::to_string(where.row) + '\t' +
                    std::to_string(where.column) + '\t' + gene.name;
  add_channel_values(row, channel1);
  add_channel_values(row, channel2);
  row += '\t' + fixed(raw_ratio, 3);
  row += '\t' + fixed(channel1.saturated_percent, 1);
  row += '\t' + fixed(channel2.saturated_percent, 1);
  return row;
}

std::string position_row(const Layout& layout, int spot, Random& random) {
  const SpotPosition where = position_of(layout, spot);
  const int jitter_x = random.integer(-12, 12);
  const int jitter_y = random.integer(-12, 12);
  const int diameter = random.integer(110, 130);
  const int x = 1500 + (where.array_column - 1) * 4500 + (where.column - 1) * 250 + jitter_x;
  const int y = 1500 + (where.array_row - 1) * 4500 + (where.row - 1) * 250 + jitter_y;
  return std::to_string(spot) + '\t' + std::to_string(where.array_row) + '\t' +
         std::to_string(where.array_column) + '\t' + std::to_string(where.row) + '\t' +
         std::to_string(where.column) + '\t' + std::to_string(x) + '\t' + std::to_string(y) + '\t' +
         std::to_string(diameter);
}

std::string two_digits(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", number);
  return text;
}

// Lines 1 to 36. The reader takes the value after a fixed number of words: two on lines 11, 12
// and 22, one on lines 13 and 14, three on line 21; it reads three tab-ended fields at the start
// of lines 30 and 31 and an integer on line 36, and only counts the other lines.
void write_header(FileText& file, const Layout& layout, const std::string& slide_name, int slide,
                  Random& random) {
  const std::string number = two_digits(slide);
  const int barcode = random.integer(100000, 999999);
  const int laser1 = random.integer(70, 95);
  const int laser2 = random.integer(70, 95);
  const int gain1 = random.integer(60, 80);
  const int gain2 = random.integer(60, 80);
  const std::string folder = "C:\\Scans\\Slide " + number + "\\";

  file.line("User Name:\tlab");
  file.line("Computer:\tSCANNER-PC");
  file.line("Date:\t01/" + two_digits(slide % 28 + 1) + "/2002");
  file.line("Time:\t10:" + number + ":00");
  file.line("Protocol:\tTwo colour, fixed circle");
  file.line("Slide Name:\t" + slide_name);
  file.line("Barcode:\t" + std::to_string(barcode));
  file.line("Comment:\t");
  file.line("");
  file.line("Grid");

  file.line("Array Rows\t" + std::to_string(layout.array_rows));
  file.line("Array Columns\t" + std::to_string(layout.array_columns));
  file.line("Rows\t" + std::to_string(layout.rows));
  file.line("Columns\t" + std::to_string(layout.columns));

  file.line("Array Row Spacing (um)\t4500");
  file.line("Array Column Spacing (um)\t4500");
  file.line("Spot Row Spacing (um)\t250");
  file.line("Spot Column Spacing (um)\t250");
  file.line("Spot Diameter (um)\t120");
  file.line("Spot Shape\tCircle");

  file.line("Spots per Array\t" + std::to_string(layout.rows * layout.columns));
  file.line("Total Spots\t" + std::to_string(layout.total_spots));

  file.line("");
  file.line("Image");
  file.line("Resolution (um)\t10");
  file.line("Scan Area\tfull slide");
  file.line("Laser Units\tpercent");
  file.line("");
  file.line("Channel\tImage\tFluor\tLaser Power\tGain");

  file.line("1\t" + folder + slide_name + " ch1.tif\tCyanine 3\t" + std::to_string(laser1) + '\t' +
            std::to_string(gain1));
  file.line("2\t" + folder + slide_name + " ch2.tif\tCyanine 5\t" + std::to_string(laser2) + '\t' +
            std::to_string(gain2));

  file.line("");
  file.line("Normalization\tnone");
  file.line("");
  file.line("Spot Positions");
  file.line(std::to_string(layout.total_spots));
}

}  // namespace

Layout make_layout(int spots, int block_rows, int block_columns, int replicates,
                   const GeneChanges& changes, Random& random) {
  Layout layout{};
  layout.rows = block_rows;
  layout.columns = block_columns;
  const int block_spots = layout.rows * layout.columns;
  const int blocks = (spots + block_spots - 1) / block_spots;
  layout.array_columns = 1;
  while (layout.array_columns * layout.array_columns < blocks) {
    ++layout.array_columns;
  }
  layout.array_rows = (blocks + layout.array_columns - 1) / layout.array_columns;
  layout.total_spots = layout.array_rows * layout.array_columns * block_spots;
  layout.replicates = replicates;

  const int gene_count = (layout.total_spots + layout.replicates - 1) / layout.replicates;
  for (int number = 1; number <= gene_count; ++number) {
    Gene gene;
    gene.name = gene_name(number, random);
    const double kind = random.uniform();
    gene.true_ratio = kind < changes.share / 2.0 ? changes.fold
                      : kind < changes.share     ? 1.0 / changes.fold
                                                 : 1.0;
    gene.weak = random.chance(0.06);
    gene.level = random.lognormal(1500.0, 0.9);
    layout.genes.push_back(gene);
  }
  return layout;
}

std::string slide_name(const std::string& prefix, int slide) {
  return prefix + two_digits(slide);
}

std::string slide_text(const Layout& layout, const SlideEffects& effects, const std::string& prefix,
                       int slide, bool crlf, Random& random, Random& effect_random) {
  FileText file{"", crlf ? "\r\n" : "\n"};
  write_header(file, layout, slide_name(prefix, slide), slide, random);

  // Lines 37 to TotalSpots + 39: the spot positions, then a blank line and the heading of the
  // spot table.
  file.line("Number\tArray Row\tArray Column\tRow\tColumn\tX (um)\tY (um)\tDiameter (um)");
  for (int spot = 1; spot <= layout.total_spots; ++spot) {
    file.line(position_row(layout, spot, random));
  }
  file.line("");
  file.line(
      "Number\tArray Row\tArray Column\tRow\tColumn\tName\t"
      "Ch1 Area\tCh1 Std Dev\tCh1 Intensity\tCh1 Background\t"
      "Ch2 Area\tCh2 Std Dev\tCh2 Intensity\tCh2 Background\t"
      "Ratio\tCh1 Saturated (%)\tCh2 Saturated (%)");

  SlideConditions conditions{};
  conditions.dye_balance = random.lognormal(1.0, 0.25);
  conditions.background1 = random.lognormal(180.0, 0.2);
  conditions.background2 = random.lognormal(220.0, 0.2);
  conditions.swapped = effects.swapped[static_cast<std::size_t>(slide - 1)];
  conditions.dye_bias = effects.dye_bias;
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
  for (int spot = 1; spot <= layout.total_spots; ++spot) {
    file.line(spot_row(layout, effects, spot, conditions, random, effect_random));
  }
  return file.text;
}

std::string truth_text(const Layout& layout) {
  std::string text = "gene\tname\ttrue_log2_ratio\tchanged\n";
  for (std::size_t g = 0; g < layout.genes.size(); ++g) {
    const Gene& gene = layout.genes[g];
    char number[64];
    const auto end = std::to_chars(number, number + sizeof number, std::log2(gene.true_ratio));
    text += std::to_string(g + 1) + '\t' + gene.name + '\t' + std::string(number, end.ptr) +
            (gene.true_ratio != 1.0 ? "\tyes\n" : "\tno\n");
  }
  return text;
}
