// report_preview: writes the HTML run report of a made-up run, to look at the page in a browser
// before a real run fills its figures: every section, the slide images (slide 1 with a scratch)
// and the sections of the listed genes included. With --design K the run fits a linear model
// with K contrasts, and the page shows them.
//
//   report_preview [--design K] SLIDES SPOTS REPLICATES FILE
//   e.g. report_preview 99 27648 4 big.html, report_preview --design 3 6 2304 4 design.html

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "page/html_report.hpp"
#include "page/synthetic_figures.hpp"

int main(int argc, char** argv) {
  int contrasts = 0;
  bool design = argc == 7 && std::strcmp(argv[1], "--design") == 0;
  if (design) {
    contrasts = std::atoi(argv[2]);
    argv += 2;
    argc -= 2;
  }
  if (argc != 5) {
    std::cerr << "usage: report_preview [--design K] SLIDES SPOTS REPLICATES FILE\n";
    return 2;
  }
  int slides = std::atoi(argv[1]), spots = std::atoi(argv[2]), replicates = std::atoi(argv[3]);
  if (slides < 1 || slides > 99 || spots < 1 || replicates < 1 || replicates > spots ||
      (design && (contrasts < 1 || contrasts > 98))) {
    std::cerr << "report_preview: 1 to 99 slides, at least one spot, 1 to SPOTS replicates, 1 to "
                 "98 contrasts\n";
    return 2;
  }
  std::ofstream out(argv[4], std::ios::binary);
  out << html_report_text(synthetic_figures(slides, spots, replicates, contrasts));
  out.close();
  if (!out) {
    std::cerr << "report_preview: cannot write " << argv[4] << "\n";
    return 1;
  }
  return 0;
}
