#include "reports/html_report.hpp"
#include "reports/reports.hpp"
#include "reports/table_writer.hpp"

void write_html_report(Run& run) {
  const std::string page = html_report_text(run.figures);
  ReportWriter out;
  open_table(out, run.console, run.ReportPath);
  append_bytes(out, page.data(), page.size());
  close_report(out);
}
