// Times the reading of one slide in two formats: a scanner result file (made by make_slides) as
// the run reads it, and GenePix results of the same spots with the 57 columns GenePix writes
// (written by this program from the spots read). Prints MB/s and spots/s for each, the best of
// several reads of files that the system already holds in memory.
//   read_speed SCANNER_FILE [REPEATS]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "input/input.hpp"
#include "input/slide_table.hpp"
#include "run/run.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Reads the scanner file as the run does for a run of one file; returns its spot count.
int32_t read_scanner_file(const char* name) {
  Run run;
  run.options.console.show_progress = false;
  run.options.FileCount = 1;
  run.options.ReplicateCount = 1;
  run.options.FileNames = cmatrix(1, 1, 0, MAX_NAME_LENGTH);
  std::strcpy(run.options.FileNames[1].block(), name);
  run.slides.first_file = open_result_file(run.options.console, name, 1);
  read_result_header(run);
  run.options.QualityConstant = 1.0;
  seek_spot_table(run);
  create_spot_arrays(run);
  read_spot_tables(run);
  const int32_t spots = run.slides.TotalSpots;
  release_run_arrays(run);
  return spots;
}

// A GenePix results file of the scanner file's spots, with every column of version 3.
std::string genepix_text(const char* scanner_name) {
  Run run;
  run.options.console.show_progress = false;
  run.options.FileCount = 1;
  run.options.ReplicateCount = 1;
  run.options.FileNames = cmatrix(1, 1, 0, MAX_NAME_LENGTH);
  std::strcpy(run.options.FileNames[1].block(), scanner_name);
  run.slides.first_file = open_result_file(run.options.console, scanner_name, 1);
  read_result_header(run);
  run.options.QualityConstant = 1.0;
  seek_spot_table(run);
  create_spot_arrays(run);
  read_spot_tables(run);

  const char* titles[] = {"Block",
                          "Column",
                          "Row",
                          "Name",
                          "ID",
                          "X",
                          "Y",
                          "Dia.",
                          "F635 Median",
                          "F635 Mean",
                          "F635 SD",
                          "F635 CV",
                          "B635",
                          "B635 Median",
                          "B635 Mean",
                          "B635 SD",
                          "B635 CV",
                          "% > B635+1SD",
                          "% > B635+2SD",
                          "F635 % Sat.",
                          "F532 Median",
                          "F532 Mean",
                          "F532 SD",
                          "F532 CV",
                          "B532",
                          "B532 Median",
                          "B532 Mean",
                          "B532 SD",
                          "B532 CV",
                          "% > B532+1SD",
                          "% > B532+2SD",
                          "F532 % Sat.",
                          "Ratio of Medians (635/532)",
                          "Ratio of Means (635/532)",
                          "Median of Ratios (635/532)",
                          "Mean of Ratios (635/532)",
                          "Ratios SD (635/532)",
                          "Rgn Ratio (635/532)",
                          "Rgn R2 (635/532)",
                          "F Pixels",
                          "B Pixels",
                          "Circularity",
                          "Sum of Medians (635/532)",
                          "Sum of Means (635/532)",
                          "Log Ratio (635/532)",
                          "F635 Median - B635",
                          "F532 Median - B532",
                          "F635 Mean - B635",
                          "F532 Mean - B532",
                          "F635 Total Intensity",
                          "F532 Total Intensity",
                          "SNR 635",
                          "SNR 532",
                          "Flags",
                          "Normalize",
                          "Autoflag"};
  std::string text =
      "ATF\t1.0\n3\t56\nType=GenePix Results 3\n\"Wavelengths=635\t532\"\n"
      "Creator=read_speed\n";
  for (const char* title : titles)
    text += std::string(title) + (title == titles[std::size(titles) - 1] ? "\n" : "\t");
  char row[2048];
  for (int32_t s = 1; s <= run.slides.TotalSpots; ++s) {
    const int block = (run.slides.spot_array_row[s] - 1) * run.slides.ArrayColumns + run.slides.spot_array_col[s];
    const double r = run.spots.ch2_net[1][s] + run.slides.ch2_bg[1][s], rb = run.slides.ch2_bg[1][s];
    const double g = run.spots.ch1_net[1][s] + run.slides.ch1_bg[1][s], gb = run.slides.ch1_bg[1][s];
    const char* name = run.slides.spot_name[s].block();
    const int name_length = static_cast<int>(std::strchr(name, '\t') - name);
    const int length = std::snprintf(
        row, sizeof row,
        "%d\t%d\t%d\t%.*s\tID%d\t%d\t%d\t100\t%.0f\t%.0f\t%.0f\t35\t%.0f\t%.0f\t%.0f\t49\t85\t99\t"
        "95\t0\t%.0f\t%.0f\t%.0f\t33\t%.0f\t%.0f\t%.0f\t198\t38\t100\t100\t0\t%.3f\t%.3f\t%.3f\t"
        "%.3f\t1.515\t0.159\t0.904\t80\t351\t94\t%.0f\t%.0f\t%.3f\t%.0f\t%.0f\t%.0f\t%.0f\t%.0f\t"
        "%.0f\t8.291\t159.566\t0\t0\t0\n",
        block, run.slides.spot_col[s], run.slides.spot_row[s], name_length, name, s, 1000 + 200 * run.slides.spot_col[s],
        1000 + 200 * run.slides.spot_row[s], r * 1.1, r, r * 0.3, rb, rb, rb * 1.1, g * 1.1, g, g * 0.3,
        gb, gb, gb * 1.1, r / g, r / g, r / g, r / g, r + g, r + g, std::log2(r / g), r - rb,
        g - gb, r - rb, g - gb, r * 80, g * 80);
    text.append(row, static_cast<std::size_t>(length));
  }
  release_run_arrays(run);
  return text;
}

struct Timing {
  double seconds = 1e300;
  int64_t spots = 0;
};

void report(const char* what, std::size_t bytes, const Timing& best) {
  const double megabytes = static_cast<double>(bytes) / 1e6;
  std::printf("%-22s %9.1f MB  %8.2f ms  %8.1f MB/s  %12.0f spots/s\n", what, megabytes,
              best.seconds * 1e3, megabytes / best.seconds,
              static_cast<double>(best.spots) / best.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: read_speed SCANNER_FILE [REPEATS]\n");
    return 2;
  }
  const char* scanner_name = argv[1];
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  const std::string genepix_name = std::string(scanner_name) + ".gpr";
  const std::string genepix = genepix_text(scanner_name);
  std::ofstream(genepix_name, std::ios::binary) << genepix;

  Timing scanner, results;
  for (int i = 0; i < repeats; ++i) {
    Clock::time_point start = Clock::now();
    scanner.spots = read_scanner_file(scanner_name);
    scanner.seconds = std::min(scanner.seconds, seconds_since(start));

    start = Clock::now();
    ResultFile file;
    const SlideFormat format =
        open_slide_file(Console{}, genepix_name.c_str(), 1, ReadChoices{}, file);
    const SlideTable table = read_slide_table(file, format, ReadChoices{}, i == 0);
    results.seconds = std::min(results.seconds, seconds_since(start));
    results.spots = table.spots;
  }
  std::ifstream scanner_file(scanner_name, std::ios::binary | std::ios::ate);
  report("scanner export", static_cast<std::size_t>(scanner_file.tellg()), scanner);
  report("GenePix results", genepix.size(), results);
  std::remove(genepix_name.c_str());
  return 0;
}
