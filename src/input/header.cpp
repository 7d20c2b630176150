#include <cstdio>
#include <cstring>
#include <string>

#include "input/input.hpp"
#include "run/run.hpp"

namespace {

// The shortest spot row: five one-digit integers with four blanks between them (9), the
// separator (1), an empty name that is its tab alone (1), and eleven one-digit numbers with ten
// blanks between them (21). Every row but the last also has its line feed.
constexpr int64_t kShortestSpotRow = 32;

// A header value line holds some label words and then the integer; the labels are not compared.
int32_t read_header_value(ResultFile& file, int labels, const std::string& value_name) {
  std::string label;
  for (int i = 0; i < labels; ++i) {
    if (!read_word(file, label)) {
      reject_damaged_file(file,
                          "expected the label of " + value_name + ", found the end of the file");
    }
  }
  int32_t value = 0;
  if (!read_int32(file, value)) {
    reject_damaged_file(
        file, "expected an integer (" + value_name + "), found " + describe_next_word(file));
  }
  return value;
}

// Channel, image path and fluor: three tab-ended fields into rows 1 to 3.
void read_channel_line(ResultFile& file, const CharMatrix& fields, int channel_line) {
  for (int32_t field = 1; field <= 3; ++field) {
    if (!read_tab_field(file, fields[field], CHANNEL_FIELD_WIDTH)) {
      reject_tab_field(
          file, CHANNEL_FIELD_WIDTH,
          "field " + std::to_string(field) + " of channel line " + std::to_string(channel_line));
    }
  }
}

// The image name is what follows the last backslash of the image path, with the path's ending
// tab; a path without a backslash is an image name as it stands.
void extract_image_name(const OffsetVector<char>& image_path, char* image_name) {
  std::memset(image_name, 0, CHANNEL_FIELD_WIDTH);
  const char* path = image_path.block();
  const char* tab = static_cast<const char*>(std::memchr(path, '\t', CHANNEL_FIELD_WIDTH - 1));
  const char* name_start = tab;
  while (name_start > path && name_start[-1] != '\\')
    --name_start;
  std::memcpy(image_name, name_start, static_cast<std::size_t>(tab - name_start) + 1);
}

}  // namespace

void read_result_header(Run& run) {
  ResultFile& file = run.slides.first_file;
  skip_lines(file, 10);
  run.slides.ArrayRows = read_header_value(file, 2, "ArrayRows");
  print_progress(run.options.console, "ArrayRows = %d\n", run.slides.ArrayRows);
  run.slides.ArrayColumns = read_header_value(file, 2, "ArrayColumns");
  print_progress(run.options.console, "ArrayColumns = %d\n", run.slides.ArrayColumns);
  run.slides.Rows = read_header_value(file, 1, "Rows");
  print_progress(run.options.console, "Rows = %d\n", run.slides.Rows);
  run.slides.Columns = read_header_value(file, 1, "Columns");
  print_progress(run.options.console, "Columns = %d\n", run.slides.Columns);

  skip_lines(file, 7);
  run.slides.ArraySpots = read_header_value(file, 3, "ArraySpots");
  print_progress(run.options.console, "ArraySpots = %d\n", run.slides.ArraySpots);
  run.slides.TotalSpots = read_header_value(file, 2, "TotalSpots");
  // Every array of the run is sized by TotalSpots; a file without spots is of no use.
  if (run.slides.TotalSpots < 1) {
    reject_damaged_file(
        file, "expected TotalSpots of at least 1, found " + std::to_string(run.slides.TotalSpots));
  }
  print_progress(run.options.console, "TotalSpots = %d\n\n", run.slides.TotalSpots);

  skip_lines(file, 8);
  run.slides.channel_fields[0] = cmatrix(1, 3, 0, CHANNEL_FIELD_WIDTH);
  run.slides.channel_fields[1] = cmatrix(1, 3, 0, CHANNEL_FIELD_WIDTH);
  print_progress(run.options.console,
                 "Channel (Fluor.)\tImage (listed only for the first data set)\n");
  read_channel_line(file, run.slides.channel_fields[0], 1);
  skip_lines(file, 1);
  read_channel_line(file, run.slides.channel_fields[1], 2);

  for (int channel = 0; channel < 2; ++channel)
    extract_image_name(run.slides.channel_fields[channel][2], run.slides.image_name[channel]);
  // Every field and image name keeps its tab, so "%2.3s" shows at most three characters, and an
  // empty field shows as a blank and its tab.
  print_progress(run.options.console, "%2.3s(%2.3s)\t%s\n", run.slides.channel_fields[0][1].block(),
                 run.slides.channel_fields[0][3].block(), run.slides.image_name[0]);
  print_progress(run.options.console, "%2.3s(%2.3s) \t%s\n",
                 run.slides.channel_fields[1][1].block(), run.slides.channel_fields[1][3].block(),
                 run.slides.image_name[1]);
}

void seek_spot_table(Run& run) {
  ResultFile& file = run.slides.first_file;
  skip_lines(file, 5);
  int32_t discarded = 0;
  if (!read_int32(file, discarded)) {
    reject_damaged_file(
        file, "expected an integer (the value of line 36), found " + describe_next_word(file));
  }
  skip_lines(file, int64_t{run.slides.TotalSpots} + 4);

  // Refuse a TotalSpots that the rest of the file cannot hold before arrays are sized by it.
  const int64_t needed = int64_t{run.slides.TotalSpots} * (kShortestSpotRow + 1) - 1;
  const auto left = static_cast<int64_t>(file.bytes.size() - file.pos);
  if (left < needed) {
    reject_damaged_file(file, "expected TotalSpots = " + std::to_string(run.slides.TotalSpots) +
                                  " spot rows of at least " + std::to_string(kShortestSpotRow) +
                                  " characters each, found " + std::to_string(left) +
                                  " characters to the end of the file");
  }
}
