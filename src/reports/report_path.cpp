#include "reports/reports.hpp"

std::string report_path(const Run& run, const char* name) {
  if (run.options.OutputFolder.empty()) return name;
  std::string path = run.options.OutputFolder;
  if (path.back() != '/') path += '/';
  return path + name;
}
