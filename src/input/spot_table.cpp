#include <cstring>
#include <string>

#include "input/input.hpp"
#include "input/plain_spot_row.hpp"
#include "run/run.hpp"

namespace {

// Numbers after the name: two discarded, intensity and background of channel 1, two discarded,
// intensity and background of channel 2, three discarded.
constexpr int32_t kNumbersPerRow = 11;

int32_t read_row_integer(ResultFile& file, int32_t column, int32_t s) {
  int32_t value = 0;
  if (!read_int32(file, value)) {
    reject_damaged_file(file, "expected an integer (column " + std::to_string(column) +
                                  " of spot row " + std::to_string(s) + "), found " +
                                  describe_next_word(file));
  }
  return value;
}

double read_row_number(ResultFile& file, int32_t number, int32_t s) {
  double value = 0.0;
  if (!read_real(file, value)) {
    reject_damaged_file(file, "expected a real number (value " + std::to_string(number) +
                                  " of spot row " + std::to_string(s) + "), found " +
                                  describe_next_word(file));
  }
  return value;
}

// White-space-separated words from `from` to the end of its line.
int64_t count_words_to_line_end(const FileBytes& bytes, std::size_t from) {
  int64_t words = 0;
  bool in_word = false;
  for (std::size_t i = from; i < bytes.size() && bytes[i] != '\n'; ++i) {
    const bool white = is_white_space(bytes[i]);
    if (!white && !in_word) ++words;
    in_word = !white;
  }
  return words;
}

// After its eleventh number a row holds only white space. A later export of the scanner software
// carries more values per channel; read by position its channel 2 would come from the wrong
// columns and every later row would shift, so such a row is refused rather than misread.
void require_row_end(ResultFile& file, std::size_t name_end, int64_t name_line, int32_t s) {
  if (rest_of_line_is_blank(file)) return;
  const int64_t values = count_words_to_line_end(file.bytes, name_end);
  if (values == kNumbersPerRow) {
    // The count is right, so something is stuck to the last number.
    reject_damaged_file(file, "expected only white space after value 11 of spot row " +
                                  std::to_string(s) + ", found " + describe_next_word(file));
  }
  file.pos = name_end;
  file.line = name_line;
  reject_damaged_file(file, "spot row " + std::to_string(s) + " holds " + std::to_string(values) +
                                (values == 1 ? " value" : " values") + " where 11 were expected");
}

// Stores the foreground and background of both channels of spot s of file k, as read.
void store_channels(Run& run, int32_t k, int32_t s, double ch1_intensity, double ch1_background,
                    double ch2_intensity, double ch2_background) {
  run.slides.ch1_fg[k][s] = ch1_intensity;
  run.slides.ch1_bg[k][s] = ch1_background;
  run.slides.ch2_fg[k][s] = ch2_intensity;
  run.slides.ch2_bg[k][s] = ch2_background;
}

// Leaves the name row as read_tab_field would leave it: the field with its tab, then zeros up to
// the width. A later file's row already holds an earlier name and zeros, so only what that name
// covered beyond the new one needs zeroing, not the whole width.
void store_name(const OffsetVector<char>& row, int32_t k, const char* name, std::size_t length) {
  char* text = row.block();
  const std::size_t width = SPOT_NAME_WIDTH;
  std::size_t covered = width;
  if (k > 1) {
    // The earlier name is short as a rule; a plain loop finds its end sooner than a library
    // search sets itself up.
    covered = 0;
    while (covered < width && text[covered] != '\0')
      ++covered;
  }
  std::memcpy(text, name, length);
  if (covered > length) std::memset(text + length, 0, covered - length);
}

void store_plain_row(Run& run, const PlainSpotRow& row, int32_t k, int32_t s) {
  if (k == 1) {
    run.slides.spot_array_row[s] = row.position[0];
    run.slides.spot_array_col[s] = row.position[1];
    run.slides.spot_row[s] = row.position[2];
    run.slides.spot_col[s] = row.position[3];
  }
  // Only the last file's names are kept. The first file's are stored as well, so that every row
  // holds a name and zeros, as the files in between would leave it; theirs need no storing, as
  // no one reads a name before the last file is read.
  if (k == 1 || k == run.options.FileCount)
    store_name(run.slides.spot_name[s], k, row.name, row.name_length);
  store_channels(run, k, s, row.ch1_intensity, row.ch1_background, row.ch2_intensity,
                 row.ch2_background);
}

}  // namespace

void read_spot_row(Run& run, ResultFile& file, int32_t k, int32_t s) {
  PlainSpotRow plain;
  // Positions come from the first file only.
  if (read_plain_spot_row(file, plain, k == 1)) {
    store_plain_row(run, plain, k, s);
    return;
  }

  // Positions come from the first file only; the later files' columns are read and dropped.
  if (k == 1) {
    read_row_integer(file, 1, s);
    run.slides.spot_array_row[s] = read_row_integer(file, 2, s);
    run.slides.spot_array_col[s] = read_row_integer(file, 3, s);
    run.slides.spot_row[s] = read_row_integer(file, 4, s);
    run.slides.spot_col[s] = read_row_integer(file, 5, s);
  } else {
    for (int32_t column = 1; column <= 5; ++column)
      read_row_integer(file, column, s);
  }

  // The one character after column 5 separates it from the name, whatever it is.
  char separator = 0;
  if (!read_char(file, separator)) {
    reject_damaged_file(file, "expected the separator after column 5 of spot row " +
                                  std::to_string(s) + ", found the end of the file");
  }
  // Every file overwrites the name, so the last file's names are the ones kept.
  if (!read_tab_field(file, run.slides.spot_name[s], SPOT_NAME_WIDTH))
    reject_tab_field(file, SPOT_NAME_WIDTH, "name of spot row " + std::to_string(s));
  const std::size_t name_end = file.pos;
  const int64_t name_line = file.line;

  double value[kNumbersPerRow + 1];  // value[1..11], numbered as in the messages
  for (int32_t number = 1; number <= kNumbersPerRow; ++number)
    value[number] = read_row_number(file, number, s);
  require_row_end(file, name_end, name_line, s);
  store_channels(run, k, s, value[3], value[4], value[7], value[8]);
}

void read_spot_tables(Run& run) {
  for (int32_t s = 1; s <= run.slides.TotalSpots; ++s)
    read_spot_row(run, run.slides.first_file, 1, s);
  close_result_file(run.slides.first_file);

  for (int32_t k = 2; k <= run.options.FileCount; ++k) {
    ResultFile file = open_result_file(run.options.console, run.options.FileNames[k].block(), k);
    // The header of a later file is not read: its spot table starts on the line where the first
    // file's does, TotalSpots + 39 lines below its first word.
    skip_lines(file, int64_t{run.slides.TotalSpots} + 39);
    for (int32_t s = 1; s <= run.slides.TotalSpots; ++s)
      read_spot_row(run, file, k, s);
    close_result_file(file);
  }
}
