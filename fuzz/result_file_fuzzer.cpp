// libFuzzer target for the result-file reader.
//
// Every input is written to a scratch file and read twice by the reader's steps, in the order in
// which a run calls them: once as file 1 and file 2 of a two-file run, and once as file 2 after a
// small valid file 1 (seeds/two_spots.txt), so that a later file also meets a spot count that is
// not its own. A file that is damaged, or not a result file, ends the run with status 1 through the
// console, which in this build throws RunEnded: that is the intended outcome. Everything else is a
// finding: another exit status, any sanitizer report, a read that leaves text unterminated, and
// memory left behind by a read that ended normally.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "input/input.hpp"
#include "run/run.hpp"
#include "run_ended.hpp"

namespace {

std::filesystem::path scratch_directory;
std::string fuzzed_file;  // the input of the moment
std::string valid_file;   // a copy of the seed two_spots.txt, a valid result file

[[noreturn]] void finding(const std::string& what) {
  std::fprintf(stderr, "result_file_fuzzer: %s\n", what.c_str());
  std::abort();
}

void write_file(const std::string& name, const uint8_t* data, std::size_t size) {
  // A new file rather than a truncated one: some file systems flush a truncated file to disk when
  // it is closed, which would slow every run down to the speed of the disk.
  std::remove(name.c_str());
  std::FILE* stream = std::fopen(name.c_str(), "wb");
  if (stream == nullptr) finding("cannot write the scratch file " + name);
  const bool written = size == 0 || std::fwrite(data, 1, size, stream) == size;
  if (std::fclose(stream) != 0 || !written) finding("cannot write the scratch file " + name);
}

// The bytes of a file of the source tree.
std::string file_contents(const std::string& name) {
  std::ifstream stream(name, std::ios::binary);
  if (!stream) finding("cannot read " + name);
  return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// Text that the reports print with "%s" must be as read_tab_field leaves it: the field with its
// tab, then zeros to the end of its width. (A zero byte of the file inside the field is kept as it
// came; it shortens what is printed but cannot make a print run past the row.)
void check_field(const char* row, int32_t width, const char* what) {
  int32_t end = width;
  while (end > 0 && row[end - 1] == '\0')
    --end;
  if (end == 0 || end == width || row[end - 1] != '\t')
    finding(std::string(what) + " is not a tab-ended field followed by zeros");
}

// What the later phases rely on after a read that ended normally.
void check_complete_read(const Run& run) {
  if (!run.slides.first_file.bytes.empty()) finding("the first file was left open");
  for (int channel = 0; channel < 2; ++channel) {
    for (int32_t field = 1; field <= 3; ++field)
      check_field(run.slides.channel_fields[channel][field].block(), CHANNEL_FIELD_WIDTH,
                  "a channel field");
    check_field(run.slides.image_name[channel], CHANNEL_FIELD_WIDTH, "an image name");
  }
  for (int32_t s = 1; s <= run.slides.TotalSpots; ++s)
    check_field(run.slides.spot_name[s].block(), SPOT_NAME_WIDTH, "a spot name");
}

// The reader's part of a run of two files, with the dialogue's answers fixed.
void read_two_files(const std::string& first, const std::string& second) {
  Run run;
  run.options.FileCount = 2;
  run.options.ReplicateCount = 1;
  run.options.FileNames = cmatrix(1, run.options.FileCount, 0, MAX_NAME_LENGTH);
  std::strcpy(run.options.FileNames[1].block(), first.c_str());
  std::strcpy(run.options.FileNames[2].block(), second.c_str());
  try {
    run.slides.first_file = open_result_file(Console{}, run.options.FileNames[1].block(), 1);
    read_result_header(run);
    run.options.RatioChoice = 1;
    run.options.QualityConstant = 1.0;
    seek_spot_table(run);
    create_spot_arrays(run);
    run.genes.GeneNumber = run.slides.TotalSpots / run.options.ReplicateCount;
    read_spot_tables(run);
    check_complete_read(run);
  } catch (const RunEnded& ended) {
    if (ended.status != 1) finding("the run ended with status " + std::to_string(ended.status));
  }
  release_run_arrays(run);
}

void remove_scratch_directory() {
  std::error_code ignored;
  std::filesystem::remove_all(scratch_directory, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The reader's echo and messages are of no interest here.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) finding("cannot silence standard output");

  // In /tmp rather than $TMPDIR: the run holds file names in rows of MAX_NAME_LENGTH characters,
  // and these paths must fit there.
  std::string pattern = "/tmp/corvane_fuzz_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) finding("cannot create a scratch directory in /tmp");
  scratch_directory = pattern;
  std::atexit(remove_scratch_directory);
  fuzzed_file = (scratch_directory / "fuzzed.txt").string();
  valid_file = (scratch_directory / "valid.txt").string();
  const std::string valid = file_contents(CORVANE_FUZZ_DIR "/seeds/two_spots.txt");
  write_file(valid_file, reinterpret_cast<const uint8_t*>(valid.data()), valid.size());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  write_file(fuzzed_file, data, size);
  read_two_files(fuzzed_file, fuzzed_file);
  read_two_files(valid_file, fuzzed_file);
  return 0;
}
