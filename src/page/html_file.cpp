#include "page/html_report.hpp"
#include "page/page.hpp"
#include "run/report_writer.hpp"

void write_html_report(Run& run) {
  const std::string page = html_report_text(run.figures);
  ReportWriter out;
  if (!open_report(out, run.console, run.ReportPath))
    exit_report_not_opened(out, "can't open the data file <%s>\n");
  append_bytes(out, page.data(), page.size());
  close_report(out);
}
