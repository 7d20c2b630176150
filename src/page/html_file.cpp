#include "page/page.hpp"
#include "run/report_writer.hpp"

void write_html_report(const Run& run, const std::string& page) {
  ReportWriter out;
  if (!open_report(out, run.options.console, run.options.ReportPath))
    exit_report_not_opened(out, "can't open the data file <%s>\n");
  append_bytes(out, page.data(), page.size());
  close_report(out);
}
