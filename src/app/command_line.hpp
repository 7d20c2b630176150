// The command line: the options and result files of a run without questions.
//
//   corvane                      the dialogue
//   corvane [OPTIONS] FILE...    the same merge of the files given, without questions
//   corvane --help | --version
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run/run.hpp"

struct CommandLine {
  bool help = false;
  bool version = false;
  int32_t replicates = 0;  // 0 until --replicates is given
  int32_t ratio_choice = 1;
  double quality_constant = 1.0;
  std::string output_folder;  // empty: the working folder
  bool quiet = false;
  int32_t threads = 0;  // the cores the system gives the process, unless --threads is given
  // The full-precision tables and the HTML report; empty when not asked, "-" for standard output.
  std::string gene_table, spot_table, report;
  NormalisationMethod method = NormalisationMethod::kTotal;
  std::vector<int32_t> swapped_slides;  // as given; checked against the files in check_command_line
  std::vector<std::string> files;

  // How the files are read (--format, --columns, --signal, --id, --array-list, --ignore-flags),
  // and whether -c was given.
  FormatOptions formats;
  // Background correction (--background, --offset) and between-slide normalisation (--between).
  BackgroundMethod background = BackgroundMethod::kSubtract;
  double offset = 0.0;
  BetweenMethod between = BetweenMethod::kNone;
  // The experiment (--targets, --reference, --dye-effect, --design, --contrast, --top); the
  // targets file names the files when it is given.
  std::string targets, reference, design;
  bool dye_effect = false;
  std::vector<std::string> contrasts;
  int32_t top = 0;
  // The first file's format, told from its content by check_command_line (--format forces it).
  SlideFormat first_format = SlideFormat::kScanner;
};

// The text --help prints.
extern const char* const kHelpText;

// Reads the arguments after the program's name. Returns false at the first usage error, with a
// one-line message in `error` that names the option or file and what is accepted. --help and
// --version end the reading: nothing after them is looked at.
//
// One rule for every option: an option that takes one value may be given once (given twice, it is
// a usage error that names both values); a list option (--dye-swap) may be given again, and its
// lists add up; an option without a value (-q) may be repeated.
bool parse_command_line(int argc, const char* const* argv, CommandLine& options,
                        std::string& error);

// Reads the targets file (--targets) into `experiment` (its arrays' samples) and sets the files
// from it, named from the targets file's folder. False, with the message, for a targets file that
// cannot be read, lacks FileName, holds an empty sample or name, or when files are also given.
bool take_targets(CommandLine& options, Experiment& experiment, std::string& error);

// The experiment of the run: its design and contrasts, or the one-sample test with the slides
// that the targets file shows dye-swapped (added to `swapped`). False, with the message, when
// the options do not make one: a targets file whose arrays hold more than two samples without a
// reference, a design file that cannot be read or whose columns depend on one another, a
// contrast that does not parse, --dye-swap or --ratio 2 with a design.
bool plan_experiment(const CommandLine& options, Experiment& experiment,
                     std::vector<int32_t>& swapped, std::string& error);

// The tests of a run from the command line, all made before anything is read: --replicates given,
// 1 to 99 files, each a readable regular file named only once (under any name), an existing
// output folder without a folder in the place of data.txt or merge.txt, tables and a report that
// can be written, no output that is an input or another output (app/run_files.hpp), and
// dye-swapped slides among the files, each named once.
// Returns one message for each failure; none when the run can go ahead.
std::vector<std::string> check_command_line(CommandLine& options);
