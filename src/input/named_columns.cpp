// A tab-separated table with a heading line, read from the columns that --columns names: the two
// intensities and their backgrounds, and optionally the gene's ID and name and the spot's block,
// row and column. Without a block column the table is one block; without row and column columns a
// spot's row is its number in the table and its column 1.
#include "input/format_readers.hpp"

namespace {

// A column the user named must be there; one left unnamed is not read.
Column named_column(ResultFile& file, const Titles& titles, const std::string& title) {
  return title.empty() ? Column{} : require_column(file, titles, title);
}

}  // namespace

SlideTable read_named_columns(ResultFile& file, const ReadChoices& choices, bool with_annotations) {
  SlideTable table;
  table.format = SlideFormat::kColumns;
  Record record;
  if (!read_record(file, true, record)) {
    reject_damaged_file(file, "expected the heading line, found the end of the file");
  }
  const Titles titles = titles_of(record);

  const NamedColumns& named = choices.columns;
  ColumnPlan plan;
  plan.r = require_column(file, titles, named.r);
  plan.g = require_column(file, titles, named.g);
  plan.rb = require_column(file, titles, named.rb);
  plan.gb = require_column(file, titles, named.gb);
  plan.block = named_column(file, titles, named.block);
  plan.row = named_column(file, titles, named.row);
  plan.column = named_column(file, titles, named.column);
  if (with_annotations) {
    plan.id = id_column(file, titles, choices, named.id);
    plan.name = named_column(file, titles, named.name);
  }
  read_spot_rows(file, titles, plan, nullptr, true, with_annotations, table);
  check_block_numbers(file, titles, table);
  return table;
}
