#include "reports/spot_position.hpp"

void append_position_up_to_column(ReportWriter& out, const Run& run, int32_t spot) {
  append_text(out, "AR");
  append_int(out, run.slides.spot_array_row[spot]);
  append_text(out, " AC");
  append_int(out, run.slides.spot_array_col[spot]);
  append_text(out, " R");
  append_int(out, run.slides.spot_row[spot]);
  append_text(out, " C");
}
