// A plain table of named columns, as a lab exports from a spreadsheet: the spot's block and place
// in it, its probe ID and gene name, and the spot means and background medians of both channels.

#include "file_text.hpp"
#include "slide_formats.hpp"

std::string columns_text(const Layout& layout, const SimulatedSlide& slide, bool crlf) {
  FileText file{"", crlf ? "\r\n" : "\n"};
  file.line("Block\tRow\tCol\tProbeID\tGene\tRed\tGreen\tRedBg\tGreenBg");
  for (int spot = 1; spot <= layout.total_spots; ++spot) {
    const SpotReading& reading = slide.spots[static_cast<std::size_t>(spot - 1)];
    const SpotPosition where = position_of(layout, spot);
    const Gene& probe = probe_of(layout, spot);
    file.line(std::to_string(block_number(layout, where)) + '\t' + std::to_string(where.row) +
              '\t' + std::to_string(where.column) + '\t' + probe.id + '\t' + probe.name + '\t' +
              fixed(reading.channel2.intensity, 2) + '\t' + fixed(reading.channel1.intensity, 2) +
              '\t' + fixed(reading.channel2.background, 2) + '\t' +
              fixed(reading.channel1.background, 2));
  }
  return file.text;
}
