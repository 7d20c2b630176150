#include <string_view>
#include <vector>

#include "reports/reports.hpp"
#include "reports/spot_position.hpp"
#include "run/fixed_point.hpp"
#include "run/report_writer.hpp"

namespace {

void write_block_heading(ReportWriter& out, const Run& run, int32_t file) {
  append_text(out, "\n\nFiles:\t  ");
  append_text(out, run.options.FileNames[file].block());
  append_text(out, "\n\nNormalization\t Information:\n");
  append_text(out, "  \t Channel 1 \t Channel 2\n");
  append_text(out, "Total Intensities(Backgound Subtracted):\t ");
  append_fixed(out, run.spots.channel_totals[file][1], 6);
  append_text(out, "\t ");
  append_fixed(out, run.spots.channel_totals[file][2], 6);
  append_text(out, "\nNormalization Factor:\t 1\t ");
  // A slide without a positive finite factor shows "-", merge.txt's mark of a missing value.
  if (slide_has_factor(run, file)) {
    append_fixed(out, run.spots.norm_factor[file], 6);
  } else {
    append_text(out, "-");
  }
  append_text(out, "\n\nbegin data\n");
  append_text(out, "Number\t Position\t Gene Name\t");
  if (ratio_choice_of(run, file) == 1) {
    append_text(out, "Ch.1 Intensity \t Ch.2 Intensity \t Ch.2/Ch.1 Ratio\t");
  } else {
    append_text(out, "Ch.1 Intensity \t Ch.2 Intensity \t Ch.1/Ch.2 Ratio\t");
  }
  append_text(out, "\n");
}

// The start of a spot's row, its number, position and name, is the same in every file's block: it
// is written once, in the first block, and copied for the others.
struct RowStarts {
  std::vector<char> text;
  std::vector<std::size_t> ends;  // ends[s - 1]: where the start of spot s ends in text
};

// Longest start of a row: five integers of at most 11 characters, the labels and tabs around them
// and a name of at most SPOT_NAME_WIDTH - 1 characters with its tab.
constexpr std::size_t kLongestRowStart = 5 * 11 + 16 + SPOT_NAME_WIDTH;

// Longest row: its start, three numbers and the separators after them.
constexpr std::size_t kLongestRow = kLongestRowStart + 3 * kLongestFixed + 6;

void write_row_start(ReportWriter& out, const Run& run, int32_t spot) {
  append_int(out, spot);
  append_text(out, "\t");
  append_position_up_to_column(out, run, spot);
  append_int(out, run.slides.spot_col[spot]);
  append_text(out, "\t");
  // The name keeps the tab that ended it in the result file; it separates the next column.
  append_text(out, run.slides.spot_name[spot].block());
}

char* put_row_start(char* at, const RowStarts& starts, int32_t spot) {
  const std::size_t begin = (spot == 1) ? 0 : starts.ends[static_cast<std::size_t>(spot - 2)];
  const std::size_t length = starts.ends[static_cast<std::size_t>(spot - 1)] - begin;
  return put_text(at, std::string_view(starts.text.data() + begin, length));
}

// The rows of one file's spots. The first file writes the starts of the rows and keeps them.
void write_spot_rows(ReportWriter& out, const Run& run, int32_t file, RowStarts& starts) {
  const DoubleVector ch1_net = run.spots.ch1_net[file];
  const DoubleVector ch2_net = run.spots.ch2_net[file];
  const DoubleVector spot_ratio = run.spots.spot_ratio[file];
  // Without a factor, channel 2 was divided by a meaningless number and is shown as missing.
  const bool has_factor = slide_has_factor(run, file);
  for (int32_t spot = 1; spot <= run.slides.TotalSpots; ++spot) {
    char* at = keep_room(out, kLongestRow);
    if (file == 1) {
      write_row_start(out, run, spot);
      starts.text.insert(starts.text.end(), at, out.buffer.data() + out.used);
      starts.ends.push_back(starts.text.size());
      at = out.buffer.data() + out.used;
    } else {
      at = put_row_start(at, starts, spot);
    }
    at = put_fixed(at, ch1_net[spot], 6);
    at = put_text(at, "\t ");
    at = has_factor ? put_fixed(at, ch2_net[spot], 6) : put_text(at, "-");
    at = put_text(at, "\t ");
    at = put_fixed(at, spot_ratio[spot], 6);
    at = put_text(at, "\t\n");
    take_written(out, at);
  }
}

}  // namespace

void write_spot_report(Run& run) {
  ReportWriter out;
  if (!open_report(out, run.options.console, report_path(run, "data.txt")))
    exit_report_not_opened(out, "can't open the data file <%s>\n");
  RowStarts starts;
  starts.ends.reserve(static_cast<std::size_t>(run.slides.TotalSpots));
  for (int32_t file = 1; file <= run.options.FileCount; ++file) {
    write_block_heading(out, run, file);
    write_spot_rows(out, run, file, starts);
  }
  close_report(out);
}
