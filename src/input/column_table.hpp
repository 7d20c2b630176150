// The part that every format's reader shares: the column titles found by name, then one spot per
// row, read from the columns that a format's reader names in a ColumnPlan.
#pragma once

#include <string>
#include <vector>

#include "input/field_values.hpp"
#include "input/slide_table.hpp"

// How a format marks a bad spot in its flag column.
enum class FlagRule { kNegative, kNotZero };

// Where each value of a spot comes from; a Column that is not present is not read.
struct ColumnPlan {
  Column r, g, rb, gb;           // required
  Column id, name;               // read when annotations are wanted
  Column block, row, column;     // the place, when the file has these columns
  Column grid_row, grid_column;  // SPOT: the block's place in the grid of blocks
  Column flag;                   // with flag_rule
  FlagRule flag_rule = FlagRule::kNotZero;
  Column control;  // not zero: a control feature
  Column x, y;     // GenePix: where each spot lies, for the grid of blocks
};

// The titles of a record, as text.
struct Titles {
  std::vector<std::string> names;
  std::size_t width = 0;  // the fields up to the last title that is not empty
  int64_t line = 1;
};

Titles titles_of(const Record& record);

// The column titled `title`; not present when there is none (or the title is empty).
Column find_column(const Titles& titles, const std::string& title);

// The same, but a missing column rejects the file at the titles' line.
Column require_column(ResultFile& file, const Titles& titles, const std::string& title);

// The ID column: --id's when given (required), else the format's own (required when given).
Column id_column(ResultFile& file, const Titles& titles, const ReadChoices& choices,
                 const std::string& own_title);

// Where the spots lie on the slide (GenePix's X and Y), when the plan has those columns.
struct SpotPositions {
  std::vector<double> x, y;
};

// Reads the rows from file.pos to the end of the file into the table, one spot per row that is not
// blank. With a row_tag, every row must start with a field of that text (Agilent's DATA). A row
// with fewer fields than the titles, or with more that are not empty, rejects the file, and so does
// a file without any row. The block, row and column are the file's where the plan has them; else
// block 1, row the spot's number and column 1 (SPOT's block is made from the grid afterwards).
SpotPositions read_spot_rows(ResultFile& file, const Titles& titles, const ColumnPlan& plan,
                             const char* row_tag, bool quotes, bool with_annotations,
                             SlideTable& table);

// Checks that the largest block number does not exceed the number of spots (a file whose blocks
// cannot all hold a spot is refused at the titles' line) and, when the table's grid of blocks does
// not hold them all, takes the blocks as one row.
void check_block_numbers(ResultFile& file, const Titles& titles, SlideTable& table);
