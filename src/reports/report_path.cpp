#include "reports/reports.hpp"

std::string report_path(const Run& run, const char* name) {
  if (run.OutputFolder.empty()) return name;
  std::string path = run.OutputFolder;
  if (path.back() != '/') path += '/';
  return path + name;
}
