// SPOT tables (.spot): one heading line, then one row per spot. grid.r and grid.c give the
// print-tip block's place in the grid of blocks, spot.r and spot.c the spot's place in the block.
// The files carry no names: those come from an array list.
#include "input/format_readers.hpp"

SlideTable read_spot_file(ResultFile& file, const ReadChoices& choices, bool with_annotations) {
  SlideTable table;
  table.format = SlideFormat::kSpot;
  Record record;
  if (!read_record(file, true, record)) {
    reject_damaged_file(file, "expected the heading line, found the end of the file");
  }
  const Titles titles = titles_of(record);

  const bool median = choices.signal == SignalChoice::kMedian;
  ColumnPlan plan;
  plan.r = require_column(file, titles, median ? "Rmedian" : "Rmean");
  plan.g = require_column(file, titles, median ? "Gmedian" : "Gmean");
  plan.rb = require_column(file, titles, "morphR");
  plan.gb = require_column(file, titles, "morphG");
  plan.grid_row = require_column(file, titles, "grid.r");
  plan.grid_column = require_column(file, titles, "grid.c");
  plan.row = require_column(file, titles, "spot.r");
  plan.column = require_column(file, titles, "spot.c");
  plan.flag = find_column(titles, "badspot");
  plan.flag_rule = FlagRule::kNotZero;
  if (with_annotations) plan.id = id_column(file, titles, choices, "");
  read_spot_rows(file, titles, plan, nullptr, true, with_annotations, table);
  check_block_numbers(file, titles, table);
  return table;
}
