// Reading the scanner's result files: recognising a file by its first word, the header and the
// two channel lines of the first file, and the spot tables of every file with the quality flag.
//
// Line layout of a result file, as read:
//   line 1            first word "User"
//   lines 11 to 14    ArrayRows, ArrayColumns, Rows, Columns (each after its labels)
//   lines 21, 22      ArraySpots, TotalSpots
//   lines 30, 31      channel lines: channel, image path and fluor, each a tab-ended field
//   line 36           an integer, read and discarded
//   spot s            line TotalSpots + 39 + s
//
// A file that is damaged (it ends early, holds a number that cannot be converted, a field too long
// for its buffer, or a spot row of another shape) is refused with a message naming the file and
// the line; nothing is read out of bounds and no report is touched.
#pragma once

#include <cstdint>

#include "input/result_file.hpp"

struct Run;

// Opens the named file (decompressed when gzip-compressed) and tests that its first word is
// "User", exactly. Returns the file positioned right after that word. Otherwise prints a message
// on the console and ends the run with status 1: for a file that cannot be opened, the message for
// file 1 or for the later files (file_number >= 2); for a file in another format that Corvane
// reads, what it holds; for a Unicode file, the advice to convert it; for any other, the formats
// Corvane reads and what its first line holds (see reject_unreadable_file in slide_table.hpp). A
// name that is not a regular file (a folder, a device, a named pipe) cannot be opened as a result
// file.
ResultFile open_result_file(const Console& console, const char* name, int32_t file_number);

// Reads the header values and channel lines of run.slides.first_file, which stands right after its
// first word, and echoes them. Creates run.slides.channel_fields[0] and [1] and fills
// run.slides.image_name.
void read_result_header(Run& run);

// Moves run.slides.first_file from its second channel line to the first row of its spot table.
void seek_spot_table(Run& run);

// Reads the spot table of run.slides.first_file, closes it, then opens, reads and closes files 2 to
// N one at a time. The spot arrays must exist.
void read_spot_tables(Run& run);

// Reads the files of a format other than the scanner's: run.slides.first_file holds the first,
// loaded and recognised as run.slides.format (open_slide_file). Sets the header values from the
// first file, creates the spot arrays and fills them, names the spots from the array list when one
// is given, and refuses a later file of another format or layout (status 1).
void read_slide_files(Run& run);

// Reads spot row s of file k from `file` into the spot arrays: its position (file 1 only), its
// name, and both channels' foreground and background. For k >= 2,
// row s of spot_name must hold the name read from an earlier file, as read_spot_tables leaves it.
void read_spot_row(Run& run, ResultFile& file, int32_t k, int32_t s);
