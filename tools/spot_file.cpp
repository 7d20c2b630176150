// SPOT files: one heading line, then one row per spot (indexs from 0), the print-tip group as
// grid.r and grid.c and the place in it as spot.r and spot.c. The file holds no names: an array
// list gives them. Several background estimates stand side by side; the morphological one
// (morphR, morphG), which limma reads, is the simulated background, and the local median of the
// surroundings the same.

#include <cmath>
#include <numbers>

#include "file_text.hpp"
#include "slide_formats.hpp"

namespace {

const char* const kHeading =
    "indexs\tgrid.r\tgrid.c\tspot.r\tspot.c\tarea\tGmean\tGmedian\tGIQR\tRmean\tRmedian\tRIQR\t"
    "bgGmean\tbgGmed\tbgGSD\tbgRmean\tbgRmed\tbgRSD\tvalleyG\tvalleyR\tmorphG\tmorphG.erode\t"
    "morphG.close.open\tmorphR\tmorphR.erode\tmorphR.close.open\tlogratio\tperimeter\t"
    "circularity\tbadspot";

// A share, or 0 when the whole is 0.
double share(double part, double whole) {
  return whole > 0.0 ? part / whole : 0.0;
}

// The spot's mean, median and interquartile range of its pixels relative to the mean (a normal
// spread: 1.349 SD).
void add_foreground(std::string& row, const ChannelReading& reading, const ChannelDetail& detail) {
  row += '\t' + fixed(reading.intensity, 2) + '\t' + fixed(detail.median, 2) + '\t' +
         fixed(share(1.349 * reading.deviation, reading.intensity), 5);
}

// The surroundings' mean, median and SD relative to the mean.
void add_local_background(std::string& row, const ChannelReading& reading,
                          const ChannelDetail& detail) {
  row += '\t' + fixed(detail.background_mean, 2) + '\t' + fixed(reading.background, 2) + '\t' +
         fixed(share(detail.background_sd, detail.background_mean), 5);
}

// The morphological background and its two variants.
void add_morphological(std::string& row, double background) {
  row += '\t' + fixed(background, 2) + '\t' + fixed(0.95 * background, 2) + '\t' +
         fixed(1.02 * background, 2);
}

std::string spot_row(const Layout& layout, const SpotReading& reading, int spot) {
  const SpotPosition where = position_of(layout, spot);
  const ChannelReading& green = reading.channel1;
  const ChannelReading& red = reading.channel2;
  std::string row = std::to_string(spot - 1) + '\t' + std::to_string(where.array_row) + '\t' +
                    std::to_string(where.array_column) + '\t' + std::to_string(where.row) + '\t' +
                    std::to_string(where.column) + '\t' + fixed(green.area, 0);
  add_foreground(row, green, reading.detail1);
  add_foreground(row, red, reading.detail2);
  add_local_background(row, green, reading.detail1);
  add_local_background(row, red, reading.detail2);
  row += '\t' + fixed(0.97 * green.background, 2) + '\t' + fixed(0.97 * red.background, 2);
  add_morphological(row, green.background);
  add_morphological(row, red.background);
  row += '\t' + (red.intensity > 0.0 && green.intensity > 0.0
                     ? fixed(std::log2(red.intensity / green.intensity), 5)
                     : std::string("NA"));
  // A round spot of the area has the perimeter 2 sqrt(pi area); the circularity is
  // 4 pi area / perimeter^2.
  const double perimeter = std::round(2.0 * std::sqrt(std::numbers::pi * green.area));
  row += '\t' + fixed(perimeter, 0) + '\t' +
         fixed(share(4.0 * std::numbers::pi * green.area, perimeter * perimeter), 5);
  row += reading.flag != 0 ? "\t1" : "\t0";
  return row;
}

}  // namespace

std::string spot_text(const Layout& layout, const SimulatedSlide& slide, bool crlf) {
  FileText file{"", crlf ? "\r\n" : "\n"};
  file.line(kHeading);
  for (int spot = 1; spot <= layout.total_spots; ++spot)
    file.line(spot_row(layout, slide.spots[static_cast<std::size_t>(spot - 1)], spot));
  return file.text;
}
