#include "input/column_table.hpp"

#include <algorithm>

Titles titles_of(const Record& record) {
  Titles titles;
  titles.line = record.line;
  titles.width = filled_width(record);
  for (std::size_t i = 0; i < titles.width; ++i)
    titles.names.push_back(field_text(record.fields[i]));
  return titles;
}

Column find_column(const Titles& titles, const std::string& title) {
  Column column;
  column.title = title;
  if (title.empty()) return column;
  // The first of two columns of one title is the one taken, as R names the second "title.1".
  const auto found = std::find(titles.names.begin(), titles.names.end(), title);
  if (found != titles.names.end()) column.index = static_cast<int>(found - titles.names.begin());
  return column;
}

Column require_column(ResultFile& file, const Titles& titles, const std::string& title) {
  Column column = find_column(titles, title);
  if (!column.present()) {
    file.line = titles.line;
    reject_damaged_file(file, "expected a column titled " + shown_text(title) +
                                  ", found none among the "
                                  "column titles");
  }
  return column;
}

Column id_column(ResultFile& file, const Titles& titles, const ReadChoices& choices,
                 const std::string& own_title) {
  if (!choices.id_column.empty()) return require_column(file, titles, choices.id_column);
  if (own_title.empty()) return Column{};
  return require_column(file, titles, own_title);
}

namespace {

void check_row_shape(ResultFile& file, const Record& record, const Titles& titles) {
  if (record.fields.size() < titles.width) {
    file.line = record.line;
    reject_damaged_file(file, "expected " + std::to_string(titles.width) +
                                  " fields as the column titles on line " +
                                  std::to_string(titles.line) + " have, found " +
                                  std::to_string(record.fields.size()) + " (the row is cut short)");
  }
  const std::size_t filled = filled_width(record);
  if (filled > titles.width) {
    file.line = record.line;
    reject_damaged_file(file, "expected at most " + std::to_string(titles.width) +
                                  " fields as the column titles on line " +
                                  std::to_string(titles.line) + " have, found " +
                                  std::to_string(filled) + " (a row of another shape)");
  }
}

bool flag_set(double value, FlagRule rule) {
  return rule == FlagRule::kNegative ? value < 0.0 : value != 0.0;
}

}  // namespace

SpotPositions read_spot_rows(ResultFile& file, const Titles& titles, const ColumnPlan& plan,
                             const char* row_tag, bool quotes, bool with_annotations,
                             SlideTable& table) {
  SpotPositions positions;
  Record record;
  const bool grid = plan.grid_row.present();
  std::vector<int32_t> grid_columns;  // SPOT's grid.c, made into blocks at the end
  while (read_record(file, quotes, record)) {
    if (record_is_blank(record)) continue;
    if (row_tag != nullptr && record.fields[0].view() != row_tag) {
      file.line = record.line;
      reject_damaged_file(file, std::string("expected a row that starts with ") + row_tag +
                                    ", found " + shown_text(record.fields[0].view()));
    }
    check_row_shape(file, record, titles);
    table.r.push_back(real_field(file, record, plan.r));
    table.g.push_back(real_field(file, record, plan.g));
    table.rb.push_back(real_field(file, record, plan.rb));
    table.gb.push_back(real_field(file, record, plan.gb));
    const auto spot = static_cast<int32_t>(table.r.size());
    if (grid) {
      table.block.push_back(integer_field(file, record, plan.grid_row, 1));
      grid_columns.push_back(integer_field(file, record, plan.grid_column, 1));
    } else {
      table.block.push_back(plan.block.present() ? integer_field(file, record, plan.block, 1) : 1);
    }
    table.row.push_back(plan.row.present() ? integer_field(file, record, plan.row, 1) : spot);
    table.column.push_back(plan.column.present() ? integer_field(file, record, plan.column, 1) : 1);
    table.flagged.push_back(
        plan.flag.present() && flag_set(real_field(file, record, plan.flag), plan.flag_rule) ? 1
                                                                                             : 0);
    table.control.push_back(
        plan.control.present() && real_field(file, record, plan.control) != 0.0 ? 1 : 0);
    if (plan.x.present() && plan.y.present()) {
      positions.x.push_back(real_field(file, record, plan.x));
      positions.y.push_back(real_field(file, record, plan.y));
    }
    if (with_annotations) {
      const auto text = [&](const Column& column) {
        return column.present() ? field_text(record.fields[static_cast<std::size_t>(column.index)])
                                : std::string();
      };
      table.id.push_back(text(plan.id));
      table.name.push_back(text(plan.name));
    }
  }
  table.spots = static_cast<int64_t>(table.r.size());
  if (table.spots == 0) {
    reject_damaged_file(file, "expected spot rows after the column titles on line " +
                                  std::to_string(titles.line) + ", found the end of the file");
  }

  if (grid) {
    // SPOT numbers its blocks by their place in the grid: row by row, grid.c from 1 to the largest.
    const int64_t columns = *std::max_element(grid_columns.begin(), grid_columns.end());
    const int64_t rows = *std::max_element(table.block.begin(), table.block.end());
    // Every block of the grid holds a spot; this also keeps the block numbers within 32 bits.
    if (rows * columns > table.spots) {
      file.line = titles.line;
      reject_damaged_file(file,
                          "expected a grid of blocks with at most one block per spot, "
                          "found " +
                              std::to_string(rows) + " rows of " + std::to_string(columns) +
                              " blocks (grid.r, grid.c) for " + std::to_string(table.spots) +
                              " spots");
    }
    for (std::size_t s = 0; s < grid_columns.size(); ++s)
      table.block[s] = static_cast<int32_t>((table.block[s] - 1) * columns + grid_columns[s]);
    table.block_rows = static_cast<int32_t>(rows);
    table.block_columns = static_cast<int32_t>(columns);
  }
  return positions;
}

void check_block_numbers(ResultFile& file, const Titles& titles, SlideTable& table) {
  const int32_t blocks = *std::max_element(table.block.begin(), table.block.end());
  if (blocks > table.spots) {
    file.line = titles.line;
    reject_damaged_file(file, "expected block numbers of at most one block per spot, found block " +
                                  std::to_string(blocks) + " among " + std::to_string(table.spots) +
                                  " spots");
  }
  if (int64_t{table.block_rows} * table.block_columns < blocks) {
    table.block_rows = 1;
    table.block_columns = blocks;
  }
}
