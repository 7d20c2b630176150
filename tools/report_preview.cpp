// report_preview: writes the HTML run report of a made-up run, to look at the page in a browser
// before a real run fills its figures: every section, the slide images (slide 1 with a scratch)
// and the sections of the listed genes included.
//
//   report_preview SLIDES SPOTS REPLICATES FILE     e.g. report_preview 99 27648 4 big.html

#include <cstdlib>
#include <fstream>
#include <iostream>

#include "page/html_report.hpp"
#include "page/synthetic_figures.hpp"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: report_preview SLIDES SPOTS REPLICATES FILE\n";
    return 2;
  }
  int slides = std::atoi(argv[1]), spots = std::atoi(argv[2]), replicates = std::atoi(argv[3]);
  if (slides < 1 || slides > 99 || spots < 1 || replicates < 1 || replicates > spots) {
    std::cerr << "report_preview: 1 to 99 slides, at least one spot, 1 to SPOTS replicates\n";
    return 2;
  }
  std::ofstream out(argv[4], std::ios::binary);
  out << html_report_text(synthetic_figures(slides, spots, replicates));
  out.close();
  if (!out) {
    std::cerr << "report_preview: cannot write " << argv[4] << "\n";
    return 1;
  }
  return 0;
}
