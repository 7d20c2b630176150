// Feature-extraction text output: three sections, each a TYPE line (the type of every column), a
// heading whose first field names the section, and DATA lines. FEPARAMS and STATS hold one data
// line each; FEATURES one per feature, numbered in spot order, with Row and Col over the whole
// array (blocks side by side, as the array has no print tips).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "file_text.hpp"
#include "slide_formats.hpp"

namespace {

// A column: its title and its type.
using Column = std::pair<const char*, const char*>;

const Column kFeatureColumns[] = {{"FeatureNum", "integer"},
                                  {"Row", "integer"},
                                  {"Col", "integer"},
                                  {"SubTypeMask", "integer"},
                                  {"ControlType", "integer"},
                                  {"ProbeName", "text"},
                                  {"GeneName", "text"},
                                  {"SystematicName", "text"},
                                  {"PositionX", "float"},
                                  {"PositionY", "float"},
                                  {"LogRatio", "float"},
                                  {"rProcessedSignal", "float"},
                                  {"gProcessedSignal", "float"},
                                  {"rNumPix", "integer"},
                                  {"gNumPix", "integer"},
                                  {"rMeanSignal", "float"},
                                  {"gMeanSignal", "float"},
                                  {"rMedianSignal", "float"},
                                  {"gMedianSignal", "float"},
                                  {"rPixSDev", "float"},
                                  {"gPixSDev", "float"},
                                  {"rBGNumPix", "integer"},
                                  {"gBGNumPix", "integer"},
                                  {"rBGMeanSignal", "float"},
                                  {"gBGMeanSignal", "float"},
                                  {"rBGMedianSignal", "float"},
                                  {"gBGMedianSignal", "float"},
                                  {"rBGPixSDev", "float"},
                                  {"gBGPixSDev", "float"},
                                  {"rBGUsed", "float"},
                                  {"gBGUsed", "float"},
                                  {"rIsSaturated", "boolean"},
                                  {"gIsSaturated", "boolean"},
                                  {"rIsFeatNonUnifOL", "boolean"},
                                  {"gIsFeatNonUnifOL", "boolean"},
                                  {"rIsBGNonUnifOL", "boolean"},
                                  {"gIsBGNonUnifOL", "boolean"},
                                  {"rIsFeatPopnOL", "boolean"},
                                  {"gIsFeatPopnOL", "boolean"},
                                  {"IsManualFlag", "boolean"},
                                  {"rIsWellAboveBG", "boolean"},
                                  {"gIsWellAboveBG", "boolean"}};

// One section: its TYPE line, its heading and its data lines.
void write_section(FileText& file, const char* section, const std::vector<Column>& columns,
                   const std::vector<std::string>& rows) {
  std::string types = "TYPE", heading = section;
  for (const Column& column : columns) {
    heading += '\t' + std::string(column.first);
    types += '\t' + std::string(column.second);
  }
  file.line(types);
  file.line(heading);
  for (const std::string& row : rows)
    file.line("DATA\t" + row);
}

std::string two_digits(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", number);
  return text;
}

void write_parameters(FileText& file, const Layout& layout, const SimulatedSlide& slide,
                      const std::string& prefix) {
  const std::string name = slide_name(prefix, slide.number);
  const std::vector<Column> columns = {{"Protocol_Name", "text"},
                                       {"Scan_ScannerName", "text"},
                                       {"Scan_Date", "text"},
                                       {"Scan_NumChannels", "integer"},
                                       {"FeatureExtractor_Barcode", "text"},
                                       {"FeatureExtractor_ScanFileName", "text"},
                                       {"FeatureExtractor_Version", "text"},
                                       {"Grid_Name", "text"},
                                       {"Grid_NumRows", "integer"},
                                       {"Grid_NumCols", "integer"}};
  const std::string row = "two-colour expression\tSCANNER-PC\t01-" +
                          two_digits(slide.number % 28 + 1) +
                          "-2002 10:" + two_digits(slide.number) + ":00\t2\t" +
                          std::to_string(slide.scan.barcode) + '\t' + name + ".tif\tmake_slides\t" +
                          prefix + '\t' + std::to_string(layout.array_rows * layout.rows) + '\t' +
                          std::to_string(layout.array_columns * layout.columns);
  write_section(file, "FEPARAMS", columns, {row});
}

void write_statistics(FileText& file, const SimulatedSlide& slide) {
  int saturated_red = 0, saturated_green = 0, flagged = 0;
  for (const SpotReading& reading : slide.spots) {
    saturated_red += reading.channel2.saturated_percent > 0.0;
    saturated_green += reading.channel1.saturated_percent > 0.0;
    flagged += reading.flag != 0;
  }
  const std::vector<Column> columns = {
      {"gDarkOffsetAverage", "float"}, {"rDarkOffsetAverage", "float"},
      {"gSaturationValue", "integer"}, {"rSaturationValue", "integer"},
      {"gNumSatFeat", "integer"},      {"rNumSatFeat", "integer"},
      {"NumFeatManualFlag", "integer"}};
  write_section(file, "STATS", columns,
                {"25.5\t28.25\t65535\t65535\t" + std::to_string(saturated_green) + '\t' +
                 std::to_string(saturated_red) + '\t' + std::to_string(flagged)});
}

// The signal net of the background, never below 1 (a feature-extraction program puts a
// surrogate value in place of a signal it cannot tell from the background).
double processed(const ChannelReading& reading) {
  return std::max(reading.intensity - reading.background, 1.0);
}

std::string boolean(bool value) {
  return value ? "1" : "0";
}

std::string feature_row(const Layout& layout, const SimulatedSlide& slide, int spot) {
  const std::size_t index = static_cast<std::size_t>(spot - 1);
  const SpotReading& reading = slide.spots[index];
  const SpotPlace& place = slide.places[index];
  const SpotPosition where = position_of(layout, spot);
  const Gene& probe = probe_of(layout, spot);
  const ChannelReading& red = reading.channel2;
  const ChannelReading& green = reading.channel1;
  const std::string gene_name = probe.name.empty() ? probe.id : probe.name;

  std::string row = std::to_string(spot) + '\t' +
                    std::to_string((where.array_row - 1) * layout.rows + where.row) + '\t' +
                    std::to_string((where.array_column - 1) * layout.columns + where.column) +
                    '\t' + (probe.control != 0 ? "1" : "0") + '\t' + std::to_string(probe.control) +
                    '\t' + probe.id + '\t' + gene_name + '\t' + gene_name + '\t' +
                    fixed(place.x, 2) + '\t' + fixed(place.y, 2);
  row += '\t' + fixed(std::log10(processed(red) / processed(green)), 5);
  row += '\t' + fixed(processed(red), 2) + '\t' + fixed(processed(green), 2);
  row += '\t' + fixed(red.area, 0) + '\t' + fixed(green.area, 0);
  for (const double value : {red.intensity, green.intensity, reading.detail2.median,
                             reading.detail1.median, red.deviation, green.deviation})
    row += '\t' + fixed(value, 2);
  const double background_pixels = red.area == 0.0 ? 0.0 : 4.0 * red.area + 40.0;
  row += '\t' + fixed(background_pixels, 0) + '\t' + fixed(background_pixels, 0);
  for (const double value : {reading.detail2.background_mean, reading.detail1.background_mean,
                             red.background, green.background, reading.detail2.background_sd,
                             reading.detail1.background_sd, red.background, green.background})
    row += '\t' + fixed(value, 2);
  const bool flagged = reading.flag != 0;
  row +=
      '\t' + boolean(red.saturated_percent > 0.0) + '\t' + boolean(green.saturated_percent > 0.0);
  row += "\t0\t0\t0\t0\t0\t0\t" + boolean(flagged);
  row += '\t' + boolean(red.intensity - red.background > 2.6 * reading.detail2.background_sd);
  row += '\t' + boolean(green.intensity - green.background > 2.6 * reading.detail1.background_sd);
  return row;
}

}  // namespace

std::string agilent_text(const Layout& layout, const SimulatedSlide& slide,
                         const std::string& prefix, bool crlf) {
  FileText file{"", crlf ? "\r\n" : "\n"};
  write_parameters(file, layout, slide, prefix);
  write_statistics(file, slide);
  std::vector<std::string> rows;
  rows.reserve(static_cast<std::size_t>(layout.total_spots));
  for (int spot = 1; spot <= layout.total_spots; ++spot)
    rows.push_back(feature_row(layout, slide, spot));
  write_section(file, "FEATURES", {std::begin(kFeatureColumns), std::end(kFeatureColumns)}, rows);
  return file.text;
}
