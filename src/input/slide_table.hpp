// The result files that labs hold besides the scanner's own export: GenePix results (.gpr),
// Agilent Feature Extraction text, SPOT tables and tab-separated tables with named columns, and
// the GenePix array list (.gal) that names the spots of files that carry no names. Each reader
// fills one SlideTable, the same for every format; the run takes its spots from there.
//
// Columns are found by their titles wherever they stand. A file that is damaged (cut short, a
// field that is not a finite number, a missing column, a row with more fields than the titles) is
// refused with a message that names the file, the line and what was expected, through
// reject_damaged_file: the run ends with status 1 and no report is touched.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "input/result_file.hpp"
#include "run/slide_formats.hpp"

// One file as read. Every per-spot vector holds `spots` entries, in the order of the file's rows,
// except id and name, which are empty unless annotations were asked for (and then hold one entry
// per spot, empty text where the file has no name column).
struct SlideTable {
  SlideFormat format = SlideFormat::kGenePix;
  int64_t spots = 0;
  // Red is channel 2 (Cy5, 635 nm), green channel 1 (Cy3, 532 nm); rb and gb their backgrounds.
  std::vector<double> r, g, rb, gb;
  // The print-tip block (from 1) and the place in it (from 1).
  std::vector<int32_t> block, row, column;
  int32_t block_rows = 1, block_columns = 1;  // the grid the blocks lie in on the slide
  std::vector<std::string> id, name;
  std::vector<uint8_t> flagged;  // 1: the file marks the spot bad
  std::vector<uint8_t> control;  // 1: a control feature (Agilent ControlType != 0)
  // A few facts of the file's header that a report may echo, as key and value.
  std::vector<std::pair<std::string, std::string>> header;
};

// What the first bytes of a file say it is.
enum class Recognition {
  kScanner,
  kGenePix,
  kAgilent,
  kSpot,
  kUtf8Mark,  // a UTF-8 byte order mark before the text
  kUtf16,     // a UTF-16 byte order mark, or zero bytes between ASCII letters
  kUnknown,
};
Recognition recognise_file(const ResultFile& file);

// Loads the named file (gzip-compressed or not) and tells its format: the one --format forces, or
// the one its content shows (never its name). A file that cannot be opened, that is in none of the
// formats, or that starts with a byte order mark is refused with its message on the console, and
// the run ends with status 1. The file is left at its first byte.
SlideFormat open_slide_file(const Console& console, const char* name, int32_t file_number,
                            const ReadChoices& choices, ResultFile& file);

// The format of the named file as the run will take it, for the checks made before anything is
// read: the one --format forces, or the one its content shows; the scanner's for a file that
// cannot be read or shows none (reading it later tells what is wrong). A damaged compressed file
// is refused on the console.
SlideFormat recognised_format(const Console& console, const char* name, const ReadChoices& choices);

// Prints the message for a file of another kind than a run reads (the first line shown safely, or
// the advice for a byte order mark or a UTF-16 file) and ends the run with status 1.
[[noreturn]] void reject_unreadable_file(const ResultFile& file, Recognition recognition);

// Reads the whole of `file`, loaded and recognised as `format` (any but kScanner, whose spot
// table the run reads as before), into a SlideTable. IDs and names are read only when
// with_annotations is true, as the run needs them from its first file only.
SlideTable read_slide_table(ResultFile& file, SlideFormat format, const ReadChoices& choices,
                            bool with_annotations);

// The array list (.gal): the ID and name of every place (block, row, column) of the array.
struct ArrayList {
  std::string file_name;
  Console console;  // where a mismatch with a slide is reported
  std::vector<int32_t> block, row, column;
  std::vector<std::string> id, name;
};

// Reads a loaded array list, whatever its name; it must be in the GenePix array list layout (ATF,
// titles Block, Row, Column, ID, Name). A place listed twice is refused.
ArrayList read_array_list(ResultFile& file);

// Gives every spot of the table the ID and name of its place in the list, replacing any it had.
// Every spot's place must be in the list and every place of the list must have a spot of the
// table; otherwise the run ends with status 1 and a message that names the first place missing on
// either side and both counts. slide_name names the table's file in that message.
void apply_array_list(const ArrayList& list, SlideTable& table, const std::string& slide_name);
