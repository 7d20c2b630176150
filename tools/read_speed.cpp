// Times the reading of slide files of any format as a run of one file reads them into its spot
// arrays: the scanner's export through its header and spot table, the other formats (GenePix
// results, feature-extraction text, SPOT files, tables of named columns, each plain or
// gzip-compressed) through their readers. The format is told from each file's content, as the
// run tells it. Prints one row per file: its format, its bytes on disk and as text, the best time
// of several reads of a file the system already holds in memory (loading and decompression
// included), its spots, the file's bytes per second and the spots per second.
// A table of named columns, which has no mark of its own, is read with the columns of --columns
// (as corvane's --columns names them: R=NAME,G=NAME,Rb=NAME,Gb=NAME[,id=NAME]...).
//   read_speed [--repeats N] [--columns LIST] FILE...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "input/input.hpp"
#include "input/slide_table.hpp"
#include "run/run.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A run of the one named file, as the command line sets it up.
void name_the_file(Run& run, const char* name) {
  run.options.console.show_progress = false;
  run.options.FileCount = 1;
  run.options.ReplicateCount = 1;
  run.options.QualityConstant = 1.0;
  // A name of any length, as the command line takes it.
  run.options.FileNameWidth =
      std::max<int32_t>(MAX_NAME_LENGTH, static_cast<int32_t>(std::strlen(name)));
  run.options.FileNames = cmatrix(1, 1, 0, run.options.FileNameWidth);
  std::strcpy(run.options.FileNames[1].block(), name);
}

// Reads the file as a run of that one file does; returns its spot count, and its bytes as text
// (after decompression) in text_bytes.
int32_t read_as_the_run_does(const char* name, const ReadChoices& choices,
                             std::size_t& text_bytes) {
  Run run;
  name_the_file(run, name);
  run.formats.read = choices;
  run.slides.format =
      open_slide_file(run.options.console, name, 1, run.formats.read, run.slides.first_file);
  text_bytes = run.slides.first_file.bytes.size();
  if (run.slides.format == SlideFormat::kScanner) {
    read_result_header(run);
    seek_spot_table(run);
    create_spot_arrays(run);
    read_spot_tables(run);
  } else {
    read_slide_files(run);
  }
  const int32_t spots = run.slides.TotalSpots;
  release_run_arrays(run);
  return spots;
}

// How the run takes the file: the format its content shows, or a table of the named columns
// when it shows none and columns were named.
ReadChoices choices_for(const char* name, const NamedColumns* columns) {
  ReadChoices choices;
  ResultFile file;
  if (columns != nullptr && load_result_file(name, file) &&
      recognise_file(file) == Recognition::kUnknown) {
    choices.format_forced = true;
    choices.format = SlideFormat::kColumns;
    choices.columns = *columns;
  }
  return choices;
}

// The format's name, with ".gz" for a gzip-compressed file (its first bytes 1f 8b).
std::string format_label(const char* name, const ReadChoices& choices) {
  ResultFile file;
  const SlideFormat format = open_slide_file(Console{}, name, 1, choices, file);
  unsigned char magic[2] = {0, 0};
  if (std::FILE* raw = std::fopen(name, "rb")) {
    if (std::fread(magic, 1, 2, raw) != 2) magic[0] = 0;
    std::fclose(raw);
  }
  return std::string(format_name(format)) + (magic[0] == 0x1f && magic[1] == 0x8b ? ".gz" : "");
}

}  // namespace

int main(int argc, char** argv) {
  int repeats = 20;
  NamedColumns columns;
  bool with_columns = false;
  int first = 1;
  while (first + 1 < argc && argv[first][0] == '-') {
    if (std::strcmp(argv[first], "--repeats") == 0) {
      repeats = std::max(1, std::atoi(argv[first + 1]));
    } else if (std::strcmp(argv[first], "--columns") == 0) {
      std::string error;
      if (!parse_named_columns(argv[first + 1], columns, error)) {
        std::fprintf(stderr, "read_speed: %s\n", error.c_str());
        return 2;
      }
      with_columns = true;
    } else {
      break;
    }
    first += 2;
  }
  if (first >= argc || argv[first][0] == '-') {
    std::fprintf(stderr, "usage: read_speed [--repeats N] [--columns LIST] FILE...\n");
    return 2;
  }
  std::printf("%-24s %-10s %8s %9s %9s %9s %9s %13s\n", "file", "format", "spots", "file MB",
              "text MB", "best ms", "MB/s", "spots/s");
  for (int i = first; i < argc; ++i) {
    const char* name = argv[i];
    const ReadChoices choices = choices_for(name, with_columns ? &columns : nullptr);
    double best = 1e300;
    int32_t spots = 0;
    std::size_t text_bytes = 0;
    for (int r = 0; r < repeats; ++r) {
      const Clock::time_point start = Clock::now();
      spots = read_as_the_run_does(name, choices, text_bytes);
      best = std::min(best, seconds_since(start));
    }
    const double file_mb = static_cast<double>(std::filesystem::file_size(name)) / 1e6;
    std::printf("%-24s %-10s %8d %9.2f %9.2f %9.2f %9.1f %13.0f\n",
                std::filesystem::path(name).filename().string().c_str(),
                format_label(name, choices).c_str(), spots, file_mb,
                static_cast<double>(text_bytes) / 1e6, best * 1e3, file_mb / best, spots / best);
  }
  return 0;
}
