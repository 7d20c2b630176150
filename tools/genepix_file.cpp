// Results files and array lists in the Axon Text File layout: line 1 "ATF" and the version,
// line 2 the number of header records and of columns, the header records (quoted when the value
// holds a tab), the column titles, then one row per feature.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "file_text.hpp"
#include "slide_formats.hpp"

namespace {

// The version 3 column titles, tab-separated.
const char* const kResultTitles =
    "Block\tColumn\tRow\tName\tID\tX\tY\tDia.\tF635 Median\tF635 Mean\tF635 SD\t"
    "F635 CV\tB635\tB635 Median\tB635 Mean\tB635 SD\tB635 CV\t% > B635+1SD\t"
    "% > B635+2SD\tF635 % Sat.\tF532 Median\tF532 Mean\tF532 SD\tF532 CV\tB532\t"
    "B532 Median\tB532 Mean\tB532 SD\tB532 CV\t% > B532+1SD\t% > B532+2SD\t"
    "F532 % Sat.\tRatio of Medians (635/532)\tRatio of Means (635/532)\t"
    "Median of Ratios (635/532)\tMean of Ratios (635/532)\tRatios SD (635/532)\t"
    "Rgn Ratio (635/532)\tRgn R2 (635/532)\tF Pixels\tB Pixels\tCircularity\t"
    "Sum of Medians (635/532)\tSum of Means (635/532)\tLog Ratio (635/532)\t"
    "F635 Median - B635\tF532 Median - B532\tF635 Mean - B635\tF532 Mean - B532\t"
    "F635 Total Intensity\tF532 Total Intensity\tSNR 635\tSNR 532\tFlags\tNormalize\t"
    "Autoflag";

std::string two_digits(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", number);
  return text;
}

// Line 1 and 2 and the header records, each quoted when it holds a tab.
void write_atf_header(FileText& file, const std::vector<std::string>& records, int columns) {
  file.line("ATF\t1.0");
  file.line(std::to_string(records.size()) + '\t' + std::to_string(columns));
  for (const std::string& record : records)
    file.line(record.find('\t') == std::string::npos ? record : '"' + record + '"');
}

std::vector<std::string> result_records(const Layout& layout, const SimulatedSlide& slide,
                                        const std::string& prefix) {
  const std::string number = two_digits(slide.number);
  const std::string image = "C:\\Scans\\Slide " + number + "\\" + slide_name(prefix, slide.number);
  const ScanSettings& scan = slide.scan;
  const int width = (3000 + (layout.array_columns - 1) * 4500 + (layout.columns - 1) * 250) / 10;
  const int height = (3000 + (layout.array_rows - 1) * 4500 + (layout.rows - 1) * 250) / 10;
  return {"Type=GenePix Results 3",
          "DateTime=2002/01/" + two_digits(slide.number % 28 + 1) + " 10:" + number + ":00",
          "Settings=",
          "GalFile=C:\\Arrays\\" + prefix + ".gal",
          "PixelSize=10",
          "Wavelengths=635\t532",
          "ImageFiles=" + image + " 635.tif 0\t" + image + " 532.tif 1",
          "NormalizationMethod=None",
          "NormalizationFactors=1\t1",
          "JpegImage=" + image + ".jpg",
          "StdDev=Type 1",
          "RatioFormulations=W1/W2 (635/532)",
          "FeatureType=Circular",
          "Barcode=" + std::to_string(scan.barcode),
          "BackgroundSubtraction=LocalFeature",
          "ImageOrigin=0, 0",
          "JpegOrigin=0, 0",
          "Creator=make_slides",
          "Scanner=two-colour scanner",
          "FocusPosition=0",
          "Temperature=0",
          "LinesAveraged=1",
          "Comment=",
          "PMTGain=" + std::to_string(10 * scan.gain2) + '\t' + std::to_string(10 * scan.gain1),
          "ScanPower=100\t100",
          "LaserPower=" + fixed(0.03 * scan.laser2, 2) + '\t' + fixed(0.03 * scan.laser1, 2),
          "Filters=<Empty>\t<Empty>",
          "ScanRegion=0,0," + std::to_string(width) + ',' + std::to_string(height)};
}

// One wavelength's columns, all whole numbers as the results file gives them.
struct Wavelength {
  double median, mean, sd, background, background_mean, background_sd, saturated;
};

Wavelength wavelength_of(const ChannelReading& reading, const ChannelDetail& detail) {
  return {std::round(detail.median),
          std::round(reading.intensity),
          std::round(reading.deviation),
          std::round(reading.background),
          std::round(detail.background_mean),
          std::round(detail.background_sd),
          std::round(reading.saturated_percent)};
}

std::string whole(double value) {
  return fixed(value, 0);
}

// The share of the spot's pixels above the background mean plus k background SDs, taking the
// pixels as normal with the spot's mean and SD: 100 Phi((mean - bg mean - k bg sd) / sd).
std::string percent_above(const Wavelength& w, double k) {
  if (w.sd <= 0.0) return "0";
  const double z = (w.mean - w.background_mean - k * w.background_sd) / w.sd;
  return whole(100.0 * 0.5 * std::erfc(-z / std::sqrt(2.0)));
}

void add_wavelength(std::string& row, const Wavelength& w) {
  const double cv = w.mean > 0.0 ? std::round(100.0 * w.sd / w.mean) : 0.0;
  const double background_cv =
      w.background_mean > 0.0 ? std::round(100.0 * w.background_sd / w.background_mean) : 0.0;
  for (const double value : {w.median, w.mean, w.sd, cv, w.background, w.background,
                             w.background_mean, w.background_sd, background_cv})
    row += '\t' + whole(value);
  row += '\t' + percent_above(w, 1.0);
  row += '\t' + percent_above(w, 2.0);
  row += '\t' + whole(w.saturated);
}

// A ratio of two nets, or "Error" where the denominator is not above zero.
std::string ratio_text(double numerator, double denominator) {
  return denominator > 0.0 ? fixed(numerator / denominator, 3) : "Error";
}

std::string result_row(const Layout& layout, const SimulatedSlide& slide, int spot) {
  const std::size_t index = static_cast<std::size_t>(spot - 1);
  const SpotReading& reading = slide.spots[index];
  const SpotPlace& place = slide.places[index];
  const SpotPosition where = position_of(layout, spot);
  const Gene& probe = probe_of(layout, spot);
  const Wavelength red = wavelength_of(reading.channel2, reading.detail2);
  const Wavelength green = wavelength_of(reading.channel1, reading.detail1);

  std::string row = std::to_string(block_number(layout, where)) + '\t' +
                    std::to_string(where.column) + '\t' + std::to_string(where.row) + '\t' +
                    probe.name + '\t' + atf_id(probe) + '\t' + std::to_string(place.x) + '\t' +
                    std::to_string(place.y) + '\t' + std::to_string(place.diameter);
  add_wavelength(row, red);
  add_wavelength(row, green);

  const double median_net_red = red.median - red.background;
  const double median_net_green = green.median - green.background;
  const double mean_net_red = red.mean - red.background;
  const double mean_net_green = green.mean - green.background;
  const double pixels = reading.channel1.area;
  const double spread = red.mean > 0.0 && green.mean > 0.0
                            ? std::hypot(red.sd / red.mean, green.sd / green.mean)
                            : 0.0;
  row += '\t' + ratio_text(median_net_red, median_net_green);  // ratio of medians
  row += '\t' + ratio_text(mean_net_red, mean_net_green);      // ratio of means
  row += '\t' + ratio_text(median_net_red, median_net_green);  // median of ratios
  row += '\t' + ratio_text(mean_net_red, mean_net_green);      // mean of ratios
  row += '\t' + fixed(spread, 3);                              // ratios SD
  row += '\t' + ratio_text(mean_net_red, mean_net_green);      // regression ratio
  row += '\t' + fixed(1.0 / (1.0 + spread * spread), 3);       // its R2
  row += '\t' + whole(pixels) + '\t' + whole(pixels == 0.0 ? 0.0 : 4.0 * pixels + 40.0);
  row += '\t' + std::to_string(pixels == 0.0 ? 0 : 100);  // circularity
  row += '\t' + whole(median_net_red + median_net_green);
  row += '\t' + whole(mean_net_red + mean_net_green);
  const bool positive = median_net_red > 0.0 && median_net_green > 0.0;
  row += '\t' + (positive ? fixed(std::log2(median_net_red / median_net_green), 3) : "Error");
  for (const double net : {median_net_red, median_net_green, mean_net_red, mean_net_green})
    row += '\t' + whole(net);
  row += '\t' + whole(red.mean * pixels) + '\t' + whole(green.mean * pixels);
  row += '\t' + (red.background_sd > 0.0 ? fixed(mean_net_red / red.background_sd, 3) : "0");
  row += '\t' + (green.background_sd > 0.0 ? fixed(mean_net_green / green.background_sd, 3) : "0");
  row += '\t' + std::to_string(reading.flag) + "\t0\t0";
  return row;
}

}  // namespace

std::string atf_id(const Gene& probe) {
  if (probe.control >= 0) return probe.id;
  return probe.id == "DarkCorner" ? "EMPTY" : "";
}

int block_number(const Layout& layout, const SpotPosition& where) {
  return (where.array_row - 1) * layout.array_columns + where.array_column;
}

std::string genepix_text(const Layout& layout, const SimulatedSlide& slide,
                         const std::string& prefix, bool crlf) {
  FileText file{"", crlf ? "\r\n" : "\n"};
  const std::string_view titles = kResultTitles;
  const int columns = static_cast<int>(std::count(titles.begin(), titles.end(), '\t')) + 1;
  write_atf_header(file, result_records(layout, slide, prefix), columns);
  file.line(titles);
  for (int spot = 1; spot <= layout.total_spots; ++spot)
    file.line(result_row(layout, slide, spot));
  return file.text;
}

// Each block record: the place of its first spot in micrometres, the spot diameter, then the
// columns and their spacing and the rows and theirs.
std::string array_list_text(const Layout& layout, bool crlf) {
  FileText file{"", crlf ? "\r\n" : "\n"};
  const int blocks = layout.array_rows * layout.array_columns;
  std::vector<std::string> records = {"Type=GenePix ArrayList V1.0",
                                      "BlockCount=" + std::to_string(blocks), "BlockType=0"};
  for (int block = 1; block <= blocks; ++block) {
    const int x = 1500 + (block - 1) % layout.array_columns * 4500;
    const int y = 1500 + (block - 1) / layout.array_columns * 4500;
    records.push_back("Block" + std::to_string(block) + "= " + std::to_string(x) + ", " +
                      std::to_string(y) + ", 120, " + std::to_string(layout.columns) + ", 250, " +
                      std::to_string(layout.rows) + ", 250");
  }
  write_atf_header(file, records, 5);
  file.line("Block\tRow\tColumn\tID\tName");
  for (int spot = 1; spot <= layout.total_spots; ++spot) {
    const SpotPosition where = position_of(layout, spot);
    const Gene& probe = probe_of(layout, spot);
    file.line(std::to_string(block_number(layout, where)) + '\t' + std::to_string(where.row) +
              '\t' + std::to_string(where.column) + '\t' + atf_id(probe) + '\t' + probe.name);
  }
  return file.text;
}
