// Writes one scanner result file in the fixed line layout the reader expects: the word "User"
// first, the grid on lines 11 to 14, the spot counts on lines 21 and 22, the two channel lines on
// lines 30 and 31, a spot count on line 36, a table of spot positions (TotalSpots + 3 lines), and
// then the spot table, one row per spot. Only the number of lines and the number of words in
// front of each header value matter to the reader; the rest is there to look like a real export.

#include "slide_file.hpp"

#include <cstdio>

#include "file_text.hpp"

namespace {

void add_channel_values(std::string& row, const ChannelReading& reading) {
  row += '\t' + fixed(reading.area, 0);
  row += '\t' + fixed(reading.deviation, 2);
  row += '\t' + fixed(reading.intensity, 2);
  row += '\t' + fixed(reading.background, 2);
}

std::string spot_row(const Layout& layout, const SpotReading& reading, int spot) {
  const ChannelReading& channel1 = reading.channel1;
  const ChannelReading& channel2 = reading.channel2;
  const double net1 = channel1.intensity - channel1.background;
  const double net2 = channel2.intensity - channel2.background;
  const double raw_ratio = net1 > 0.0 && net2 > 0.0 ? net2 / net1 : 0.0;

  const SpotPosition where = position_of(layout, spot);
  std::string row = std::to_string(spot) + '\t' + std::to_string(where.array_row) + '\t' +
                    std::to_string(where.array_column) + '\t' + std::to_string(where.row) + '\t' +
                    std::to_string(where.column) + '\t' + probe_of(layout, spot).name;
  add_channel_values(row, channel1);
  add_channel_values(row, channel2);
  row += '\t' + fixed(raw_ratio, 3);
  row += '\t' + fixed(channel1.saturated_percent, 1);
  row += '\t' + fixed(channel2.saturated_percent, 1);
  return row;
}

std::string position_row(const Layout& layout, int spot, const SpotPlace& place) {
  const SpotPosition where = position_of(layout, spot);
  return std::to_string(spot) + '\t' + std::to_string(where.array_row) + '\t' +
         std::to_string(where.array_column) + '\t' + std::to_string(where.row) + '\t' +
         std::to_string(where.column) + '\t' + std::to_string(place.x) + '\t' +
         std::to_string(place.y) + '\t' + std::to_string(place.diameter);
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
                  const ScanSettings& scan) {
  const std::string number = two_digits(slide);
  const std::string folder = "C:\\Scans\\Slide " + number + "\\";

  file.line("User Name:\tlab");
  file.line("Computer:\tSCANNER-PC");
  file.line("Date:\t01/" + two_digits(slide % 28 + 1) + "/2002");
  file.line("Time:\t10:" + number + ":00");
  file.line("Protocol:\tTwo colour, fixed circle");
  file.line("Slide Name:\t" + slide_name);
  file.line("Barcode:\t" + std::to_string(scan.barcode));
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

  file.line("1\t" + folder + slide_name + " ch1.tif\tCyanine 3\t" + std::to_string(scan.laser1) +
            '\t' + std::to_string(scan.gain1));
  file.line("2\t" + folder + slide_name + " ch2.tif\tCyanine 5\t" + std::to_string(scan.laser2) +
            '\t' + std::to_string(scan.gain2));

  file.line("");
  file.line("Normalization\tnone");
  file.line("");
  file.line("Spot Positions");
  file.line(std::to_string(layout.total_spots));
}

}  // namespace

std::string slide_text(const Layout& layout, const SimulatedSlide& slide, const std::string& prefix,
                       bool crlf) {
  FileText file{"", crlf ? "\r\n" : "\n"};
  write_header(file, layout, slide_name(prefix, slide.number), slide.number, slide.scan);

  // Lines 37 to TotalSpots + 39: the spot positions, then a blank line and the heading of the
  // spot table.
  file.line("Number\tArray Row\tArray Column\tRow\tColumn\tX (um)\tY (um)\tDiameter (um)");
  for (int spot = 1; spot <= layout.total_spots; ++spot) {
    file.line(position_row(layout, spot, slide.places[static_cast<std::size_t>(spot - 1)]));
  }
  file.line("");
  file.line(
      "Number\tArray Row\tArray Column\tRow\tColumn\tName\t"
      "Ch1 Area\tCh1 Std Dev\tCh1 Intensity\tCh1 Background\t"
      "Ch2 Area\tCh2 Std Dev\tCh2 Intensity\tCh2 Background\t"
      "Ratio\tCh1 Saturated (%)\tCh2 Saturated (%)");
  for (int spot = 1; spot <= layout.total_spots; ++spot) {
    file.line(spot_row(layout, slide.spots[static_cast<std::size_t>(spot - 1)], spot));
  }
  return file.text;
}
