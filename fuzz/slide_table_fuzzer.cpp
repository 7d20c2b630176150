// libFuzzer target for the readers of the formats other than the scanner's and of the array list.
//
// The first byte of an input chooses what the rest is read as: its value modulo 6 picks GenePix
// results, Agilent Feature Extraction text, a SPOT table, a table of named columns, an array list,
// or the format that the content shows (through open_slide_file's recognition); its bit 3 asks
// for IDs and names; its bit 4 for the median (or mean) signal in place of the format's own. The
// rest is written to a scratch file and loaded as the program loads it, gzip included. A damaged
// file ends the run with status 1 through the console, which in this build throws RunEnded: that
// is an intended outcome. Everything else is a finding: another exit status, any sanitizer report,
// and a table that breaks what the run relies on (below).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "input/slide_table.hpp"
#include "run_ended.hpp"

namespace {

std::filesystem::path scratch_directory;
std::string fuzzed_file;

[[noreturn]] void finding(const std::string& what) {
  std::fprintf(stderr, "slide_table_fuzzer: %s\n", what.c_str());
  std::abort();
}

void write_file(const std::string& name, const uint8_t* data, std::size_t size) {
  std::remove(name.c_str());
  std::FILE* stream = std::fopen(name.c_str(), "wb");
  if (stream == nullptr) finding("cannot write the scratch file " + name);
  const bool written = size == 0 || std::fwrite(data, 1, size, stream) == size;
  if (std::fclose(stream) != 0 || !written) finding("cannot write the scratch file " + name);
}

template <class Vector>
void check_size(const Vector& values, std::size_t size, const char* what) {
  if (values.size() != size) finding(std::string(what) + " does not hold one entry per spot");
}

// What the run relies on in a table that was read without complaint.
void check_table(const SlideTable& table, bool with_annotations) {
  if (table.spots < 1) finding("a table without spots was accepted");
  const auto spots = static_cast<std::size_t>(table.spots);
  check_size(table.r, spots, "r");
  check_size(table.g, spots, "g");
  check_size(table.rb, spots, "rb");
  check_size(table.gb, spots, "gb");
  check_size(table.block, spots, "block");
  check_size(table.row, spots, "row");
  check_size(table.column, spots, "column");
  check_size(table.flagged, spots, "flagged");
  check_size(table.control, spots, "control");
  check_size(table.id, with_annotations ? spots : 0, "id");
  check_size(table.name, with_annotations ? spots : 0, "name");
  if (table.block_rows < 1 || table.block_columns < 1) finding("an empty grid of blocks");
  const int64_t blocks = int64_t{table.block_rows} * table.block_columns;
  if (blocks > table.spots) finding("more blocks than spots");
  for (std::size_t s = 0; s < spots; ++s) {
    if (!std::isfinite(table.r[s]) || !std::isfinite(table.g[s]) || !std::isfinite(table.rb[s]) ||
        !std::isfinite(table.gb[s])) {
      finding("a value that is not finite");
    }
    if (table.block[s] < 1 || table.block[s] > blocks) finding("a block outside the grid");
    if (table.row[s] < 1 || table.column[s] < 1) finding("a place below 1");
    if (table.flagged[s] > 1 || table.control[s] > 1) finding("a flag that is neither 0 nor 1");
  }
}

void read_input(uint8_t choice) {
  const bool with_annotations = (choice & 8) != 0;
  ReadChoices choices;
  if ((choice & 16) != 0) choices.signal = SignalChoice::kMedian;
  choices.columns = {"R", "G", "Rb", "Gb", "ID", "Name", "Block", "Row", "Column"};
  const SlideFormat formats[] = {SlideFormat::kGenePix, SlideFormat::kAgilent, SlideFormat::kSpot,
                                 SlideFormat::kColumns};
  const int what = choice % 6;
  ResultFile file;
  if (what == 4) {
    load_or_refuse(Console{}, fuzzed_file.c_str(), 1, file);
    const ArrayList list = read_array_list(file);
    if (list.block.empty() || list.id.size() != list.block.size())
      finding("an array list without places, or with IDs out of step");
    return;
  }
  SlideFormat format = SlideFormat::kScanner;
  if (what == 5) {
    format = open_slide_file(Console{}, fuzzed_file.c_str(), 1, choices, file);
    if (format == SlideFormat::kScanner) return;  // the scanner's reader has its own target
  } else {
    format = formats[what];
    choices.format_forced = true;
    choices.format = format;
    load_or_refuse(Console{}, fuzzed_file.c_str(), 1, file);
  }
  SlideTable table = read_slide_table(file, format, choices, with_annotations);
  check_table(table, with_annotations);
  // The table named by a list of its own places must match it.
  ArrayList list;
  list.block = table.block;
  list.row = table.row;
  list.column = table.column;
  list.id.assign(table.block.size(), "id");
  list.name.assign(table.block.size(), "name");
  apply_array_list(list, table, "fuzzed");
  if (table.id.size() != table.block.size()) finding("the array list did not name every spot");
}

void remove_scratch_directory() {
  std::error_code ignored;
  std::filesystem::remove_all(scratch_directory, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) finding("cannot silence standard output");
  std::string pattern = "/tmp/corvane_fuzz_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) finding("cannot create a scratch directory in /tmp");
  scratch_directory = pattern;
  std::atexit(remove_scratch_directory);
  fuzzed_file = (scratch_directory / "fuzzed.txt").string();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  write_file(fuzzed_file, data + 1, size - 1);
  try {
    read_input(data[0]);
  } catch (const RunEnded& ended) {
    if (ended.status != 1) finding("the run ended with status " + std::to_string(ended.status));
  }
  return 0;
}
