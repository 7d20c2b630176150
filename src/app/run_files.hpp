// The files a run from the command line reads and writes, each with the role the messages name it
// by, and the one check that keeps them apart: no output may be an input or another output. A new
// input (a targets file, an array list) or output joins the check by joining these lists.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.hpp"

struct RunFile {
  std::string role;    // how a message names it, such as "result file 'a.txt' (file 1)"
  std::string path;    // as given; "-" (standard output) is never listed
  std::string option;  // the option that names it, such as "--genes"; empty for data.txt
};

// The result files, in the order given.
std::vector<RunFile> files_read(const CommandLine& options);

// data.txt and merge.txt in the output folder, then the tables and the report asked for.
std::vector<RunFile> files_written(const CommandLine& options);

// Adds a message for every output that is an input or an earlier output, naming both: the same
// file by identity (device and inode) where it exists, the same resolved path (its folder's links,
// "." and ".." resolved) where it does not yet.
void check_files_apart(const std::vector<RunFile>& read, const std::vector<RunFile>& written,
                       std::vector<std::string>& errors);
