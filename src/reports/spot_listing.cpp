// The spot table: one row per spot of every slide, slide by slide, at full precision, with what
// became of each spot.
#include <cmath>

#include "reports/reports.hpp"
#include "reports/table_writer.hpp"

namespace {

void write_spot_row(ReportWriter& out, const Run& run, int32_t file, int32_t spot) {
  const int32_t gene = run.genes.members.gene_of_spot[static_cast<std::size_t>(spot - 1)];
  append_table_text(out, run.options.FileNames[file].block());
  append_text(out, "\t");
  append_int(out, spot);
  append_text(out, "\t");
  // The spots past the last whole gene belong to none, and so do controls and spots without an ID.
  if (gene != 0) {
    append_int(out, gene);
  } else {
    append_text(out, "NA");
  }
  append_text(out, "\t");
  append_int(out, run.slides.spot_array_row[spot]);
  append_text(out, "\t");
  append_int(out, run.slides.spot_array_col[spot]);
  append_text(out, "\t");
  append_int(out, run.slides.spot_row[spot]);
  append_text(out, "\t");
  append_int(out, run.slides.spot_col[spot]);
  append_text(out, "\t");
  append_field_text(out, run.slides.spot_name[spot].block());
  append_text(out, "\t");
  append_shortest(out, run.spots.ch1_net[file][spot]);
  append_text(out, "\t");
  const double ch2 = run.spots.ch2_net[file][spot];
  append_real_or_na(out, ch2, !slide_has_factor(run, file) || !std::isfinite(ch2));
  append_text(out, "\t");
  append_real_or_na(out, run.spots.spot_ratio[file][spot], run.spots.spot_ratio[file][spot] == 0.0);
  append_text(out, run.spots.spot_qc[file][spot] < 0.0 ? "\tfail\t" : "\tpass\t");
  append_text(out, spot_decision_name(spot_decision(run, file, spot)));
  append_text(out, "\n");
}

}  // namespace

void write_spot_table(Run& run) {
  ReportWriter out;
  open_table(out, run.options.console, run.options.SpotTablePath);
  append_text(out,
              "file\tspot\tgene\tarray_row\tarray_col\trow\tcol\tname\tch1_net\tch2_net\tratio\t"
              "quality\tdecision\n");
  for (int32_t file = 1; file <= run.options.FileCount; ++file) {
    for (int32_t spot = 1; spot <= run.slides.TotalSpots; ++spot)
      write_spot_row(out, run, file, spot);
  }
  close_report(out);
}
