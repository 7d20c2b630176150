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

// The gene table a run of the other formats writes when --genes does not name one, in the output
// folder.
constexpr const char* kDefaultGeneTable = "genes.tsv";

// The result files, in the order given, then the targets file, the design file and the array list.
std::vector<RunFile> files_read(const CommandLine& options);

// data.txt and merge.txt in the output folder (for the scanner's files; genes.tsv there for the
// other formats, unless --genes names the gene table), then the tables and the report asked for.
std::vector<RunFile> files_written(const CommandLine& options);

// Adds a message for every output that is an input or an earlier output, naming both: the same
// file by identity (device and inode) where it exists, the same resolved path (its folder's links,
// "." and ".." resolved) where it does not yet.
void check_files_apart(const std::vector<RunFile>& read, const std::vector<RunFile>& written,
                       std::vector<std::string>& errors);
