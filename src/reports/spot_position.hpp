#pragma once

#include <cstdint>

#include "run/report_writer.hpp"
#include "run/run.hpp"

// "AR%d AC%d R%d C": array row, array column and row of a spot, up to the letter of its column;
// the callers write the column (or a column range) behind it.
void append_position_up_to_column(ReportWriter& out, const Run& run, int32_t spot);
