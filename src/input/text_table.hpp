// The small tab-separated tables a user writes for a run: the targets file and the design file.
// One heading line, then one row per line; a field may be in double quotes; '#' starts a comment
// that runs to the end of its line (outside quotes); blank lines and CR LF line ends are taken. A
// heading one field shorter than the rows (R's tables with row names) gets an empty first heading.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TextTable {
  std::vector<std::string> headings;
  std::vector<std::vector<std::string>> rows;
  std::vector<int64_t> lines;  // the line of each row in the file, from 1
};

// Reads the named file (gzip-compressed or not) into `table`. False, with a sentence that names
// the file (as `role`, e.g. "targets file 't.txt'") and the line in `error`, when it cannot be
// read, has no heading line, a quote that is not closed, or a row with another number of fields
// than the heading.
bool read_text_table(const std::string& path, const std::string& role, TextTable& table,
                     std::string& error);
