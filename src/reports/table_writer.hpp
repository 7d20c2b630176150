// Writing the full-precision tables: tab-separated, one heading line, every real as the shortest
// text that reads back as the same double, NA for a missing value. A table named "-" goes to
// standard output.
#pragma once

#include <string>

#include "run/report_writer.hpp"

// Opens the table like a report; a table that cannot be opened ends the run with the reports'
// message and status.
void open_table(ReportWriter& out, const Console& console, const std::string& path);

// The shortest text that reads back as the same double; "Inf", "-Inf" and "NaN" for the values that
// are not finite, as R and spreadsheets read them.
void append_shortest(ReportWriter& out, double value);

// A real, or NA when `missing`.
void append_real_or_na(ReportWriter& out, double value, bool missing);

// A text field taken from a result file, without the tab that ended it, as R's read.delim reads
// it: in double quotes, with an inner double quote doubled, when it holds a double quote, a tab or
// a line end; other control characters become blanks.
void append_field_text(ReportWriter& out, const char* text);
// The same for a text given without an ending tab (a file name, a heading).
void append_table_text(ReportWriter& out, std::string_view text);
