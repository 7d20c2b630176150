// The marks of the genes in the volcano and MA plots.

#include <algorithm>
#include <cmath>
#include <utility>

#include "page/gene_plots.hpp"
#include "page/svg_plot.hpp"

namespace {

void append_mark(std::string& svg, const GeneMark& mark) {
  const char* kind = mark.called ? "gene sig" : "gene ns";
  if (mark.triangle) {
    // A triangle pointing up, its tip on the top edge.
    std::string triangle;
    append_command(triangle, 'M', mark.x, mark.y);
    triangle += "l3.5 7h-7z";
    svg += std::string("<path class=\"") + kind + " top\" d=\"" + triangle + "\"/>";
  } else {
    svg += std::string("<circle class=\"") + kind + "\"";
    append_attribute(svg, "cx", mark.x);
    append_attribute(svg, "cy", mark.y);
    append_attribute(svg, "r", mark.called ? 2.8 : 2.0);
    svg += "/>";
  }
}

// The dots of the genes not called, as zero-length strokes with round caps, row by row. A dot 4
// pixels across moved by less than half a pixel looks the same, so marks that round to the same
// whole pixel are one dot.
void append_dots(std::string& svg, const std::vector<GeneMark>& marks) {
  std::vector<std::pair<long, long>> pixels;  // (y, x)
  for (const GeneMark& mark : marks)
    if (!mark.called && !mark.triangle)
      pixels.emplace_back(std::lround(mark.y), std::lround(mark.x));
  if (pixels.empty()) return;
  std::sort(pixels.begin(), pixels.end());
  pixels.erase(std::unique(pixels.begin(), pixels.end()), pixels.end());
  std::string path;
  for (const auto& [y, x] : pixels) {
    path += 'M';
    path += std::to_string(x);
    path += ' ';
    path += std::to_string(y);
    path += "h0";
  }
  svg += "<path class=\"dots\" d=\"" + path + "\"/>";
}

}  // namespace

void append_gene_marks(std::string& svg, const std::vector<GeneMark>& marks, bool compact) {
  svg += "<g>";
  if (compact) append_dots(svg, marks);
  for (bool called : {false, true}) {
    for (const GeneMark& mark : marks) {
      if (mark.called != called || (compact && !called && !mark.triangle)) continue;
      append_mark(svg, mark);
    }
  }
  svg += "</g>\n";
}
