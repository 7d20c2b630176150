#include "app/command_line.hpp"

#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "app/run_files.hpp"
#include "input/slide_table.hpp"
#include "platform/platform.hpp"
#include "run/run.hpp"

const char* const kHelpText =
    "Usage: corvane\n"
    "       corvane [OPTIONS] FILE...\n"
    "       corvane --help | --version\n"
    "\n"
    "Merges the scanner result files of 1 to 99 slides of one array layout into data.txt (every\n"
    "spot) and merge.txt (one row per gene). Started without arguments, corvane asks for "
    "everything\n"
    "in a dialogue; given files, it runs without questions. From the command line it also reads\n"
    "GenePix results, Agilent Feature Extraction text, SPOT tables and tables of named columns,\n"
    "gzip-compressed or not, and writes their gene table (genes.tsv) instead of data.txt and\n"
    "merge.txt; and it fits limma's linear models to any design of a targets file.\n"
    "\n"
    "Options:\n"
    "  -r, --replicates R    replicate spots per gene, 1 or more (required with the scanner's\n"
    "                        files; the other formats group the spots that share an ID unless\n"
    "                        it is given)\n"
    "      --ratio 1|2       1: channel 2 over channel 1, 2: channel 1 over channel 2 (default 1)\n"
    "  -c, --quality C       quality constant, 0.0 to 4.0: a spot whose net intensity over\n"
    "                        background is below C in both channels is left out of the gene\n"
    "                        statistics (default 1.0)\n"
    "  -o, --output-dir DIR  folder that data.txt and merge.txt are written into; it must exist\n"
    "                        (default: the working folder)\n"
    "  -q, --quiet           print only the messages of failures\n"
    "  -t, --threads N       threads that share the work, 1 or more (default: the cores the\n"
    "                        system gives corvane); the outputs are the same for any N\n"
    "      --normalise METHOD\n"
    "                        how channel 2 is brought to channel 1 on every slide: total (one\n"
    "                        factor from the channel totals, the default), none, median (M less\n"
    "                        the slide's median M), loess (M less a lowess fit of M on A) or\n"
    "                        printtip-loess (the same fit within each print-tip group)\n"
    "      --dye-swap LIST   slides hybridised with the dyes exchanged, by their numbers in the\n"
    "                        order given, e.g. 2,4: their ratio is formed the other way round;\n"
    "                        may be given again, and the lists add up\n"
    "\n"
    "Files of other formats:\n"
    "      --format NAME     scanner, genepix, agilent, spot or columns (default: told from each\n"
    "                        file's content)\n"
    "      --columns R=NAME,G=NAME,Rb=NAME,Gb=NAME[,id=NAME][,name=NAME][,block=NAME][,row=NAME]\n"
    "                        [,column=NAME]  the columns of a tab-separated table (--format "
    "columns)\n"
    "      --signal mean|median  the spots' mean or median intensities, where a format has both\n"
    "      --id COLUMN       the column that names a spot's gene (default the format's ID)\n"
    "      --array-list FILE a GenePix array list (.gal) that names every spot by its place\n"
    "      --ignore-flags    take the spots a file flags bad as good\n"
    "\n"
    "Background and normalisation between slides:\n"
    "      --background METHOD  subtract (the default), none or normexp (limma's\n"
    "                        normal-plus-exponential model, fitted by maximum likelihood)\n"
    "      --offset K        added to every corrected intensity (default 0)\n"
    "      --between METHOD  none (the default), scale, quantile or Aquantile\n"
    "\n"
    "Experiments of any design (limma's linear models):\n"
    "      --targets FILE    a targets file: FileName, Cy3 and Cy5 columns; it names the files\n"
    "      --reference NAME  the reference sample: a coefficient for every other sample\n"
    "      --dye-effect      a column of 1s for a gene-specific dye effect\n"
    "      --design FILE     a design matrix: one row per array, a named column per coefficient\n"
    "      --contrast NAME=EXPRESSION  a contrast of the coefficients, such as B-A or (A+B)/2;\n"
    "                        may be repeated (default: every coefficient)\n"
    "      --top N           print the N genes with the smallest p-value on standard output\n"
    "\n"
    "Outputs:\n"
    "      --genes FILE      also write the gene table: one row per gene, every value at full\n"
    "                        precision, NA where merge.txt shows \"-\", with t, df and q-values,\n"
    "                        and the moderated t-test across slides\n"
    "      --spots FILE      also write the spot table: one row per spot of every slide\n"
    "      --report FILE     also write an HTML report with a plot per slide, a volcano plot\n"
    "                        and the genes with the smallest p-values\n"
    "                        (a FILE of - writes to standard output, for one of the three)\n"
    "  -h, --help            print this help and exit\n"
    "  -V, --version         print the name and version and exit\n"
    "\n"
    "Both --name VALUE and --name=VALUE work, short options bundle (-qr4), and a long option\n"
    "may be shortened to a prefix that no other option shares (--repl 4); -- ends the options.\n"
    "An option that takes one value is given once; --dye-swap and --contrast may be repeated.\n"
    "\n"
    "Every output is written under a temporary name in its folder and takes its name only when\n"
    "the run has written them all: a run that fails or is interrupted leaves the earlier outputs\n"
    "as they were. No output may be an input or another output.\n"
    "\n"
    "Example:\n"
    "  corvane -r 4 -o results slide01.txt slide02.txt slide03.txt slide04.txt\n"
    "  corvane -r 4 --genes genes.tsv --report report.html slide*.txt\n"
    "  corvane -r 4 --normalise loess --dye-swap 2,4 --genes genes.tsv slide0[1-4].txt\n"
    "  corvane --array-list fish.gal --normalise printtip-loess --dye-swap 2,4 swirl.*.spot\n"
    "  corvane --targets targets.txt --reference ref --background normexp --offset 50 \\\n"
    "          --normalise loess --contrast AvsB=A-B --top 20\n";

namespace {

// The most threads --threads takes.
constexpr int32_t kMostThreads = 1024;

enum class Option {
  kReplicates,
  kRatio,
  kQuality,
  kOutputDir,
  kQuiet,
  kThreads,
  kGenes,
  kSpots,
  kReport,
  kNormalise,
  kDyeSwap,
  kFormat,
  kColumns,
  kSignal,
  kId,
  kArrayList,
  kIgnoreFlags,
  kBackground,
  kOffset,
  kBetween,
  kTargets,
  kReference,
  kDyeEffect,
  kDesign,
  kContrast,
  kTop,
  kHelp,
  kVersion
};

// How often an option may be given: once for a value, again for a list (which adds up) or a switch.
enum class Repeats { kOnce, kAddsUp, kAllowed };

struct OptionName {
  Option option;
  char short_name;  // 0 when there is none
  const char* long_name;
  bool takes_value;
  Repeats repeats;
};

constexpr OptionName kOptions[] = {
    {Option::kReplicates, 'r', "replicates", true, Repeats::kOnce},
    {Option::kRatio, 0, "ratio", true, Repeats::kOnce},
    {Option::kQuality, 'c', "quality", true, Repeats::kOnce},
    {Option::kOutputDir, 'o', "output-dir", true, Repeats::kOnce},
    {Option::kQuiet, 'q', "quiet", false, Repeats::kAllowed},
    {Option::kThreads, 't', "threads", true, Repeats::kOnce},
    {Option::kGenes, 0, "genes", true, Repeats::kOnce},
    {Option::kSpots, 0, "spots", true, Repeats::kOnce},
    {Option::kReport, 0, "report", true, Repeats::kOnce},
    {Option::kNormalise, 0, "normalise", true, Repeats::kOnce},
    {Option::kDyeSwap, 0, "dye-swap", true, Repeats::kAddsUp},
    {Option::kFormat, 0, "format", true, Repeats::kOnce},
    {Option::kColumns, 0, "columns", true, Repeats::kOnce},
    {Option::kSignal, 0, "signal", true, Repeats::kOnce},
    {Option::kId, 0, "id", true, Repeats::kOnce},
    {Option::kArrayList, 0, "array-list", true, Repeats::kOnce},
    {Option::kIgnoreFlags, 0, "ignore-flags", false, Repeats::kAllowed},
    {Option::kBackground, 0, "background", true, Repeats::kOnce},
    {Option::kOffset, 0, "offset", true, Repeats::kOnce},
    {Option::kBetween, 0, "between", true, Repeats::kOnce},
    {Option::kTargets, 0, "targets", true, Repeats::kOnce},
    {Option::kReference, 0, "reference", true, Repeats::kOnce},
    {Option::kDyeEffect, 0, "dye-effect", false, Repeats::kAllowed},
    {Option::kDesign, 0, "design", true, Repeats::kOnce},
    {Option::kContrast, 0, "contrast", true, Repeats::kAddsUp},
    {Option::kTop, 0, "top", true, Repeats::kOnce},
    {Option::kHelp, 'h', "help", false, Repeats::kAllowed},
    {Option::kVersion, 'V', "version", false, Repeats::kAllowed},
};
constexpr std::size_t kOptionCount = std::size(kOptions);

// What getopt_long returns for an option: its short name, or past every character for a long one.
int code_of(std::size_t index) {
  const char short_name = kOptions[index].short_name;
  return short_name != 0 ? short_name : 256 + static_cast<int>(index);
}

const OptionName* option_of_code(int code) {
  for (std::size_t i = 0; i < kOptionCount; ++i) {
    if (code_of(i) == code) return &kOptions[i];
  }
  return nullptr;
}

// The tables getopt_long reads: the short names (a colon after one that takes a value; a colon
// first, so that a missing value is told apart from an unknown option) and the long names.
struct GetoptTables {
  std::string short_names = ":";
  std::vector<option> long_names;
};

GetoptTables getopt_tables() {
  GetoptTables tables;
  for (std::size_t i = 0; i < kOptionCount; ++i) {
    const OptionName& name = kOptions[i];
    if (name.short_name != 0) {
      tables.short_names += name.short_name;
      if (name.takes_value) tables.short_names += ':';
    }
    tables.long_names.push_back(
        {name.long_name, name.takes_value ? required_argument : no_argument, nullptr, code_of(i)});
  }
  tables.long_names.push_back({nullptr, 0, nullptr, 0});
  return tables;
}

// The long options that an argument such as "--re" or "--re=4" abbreviates.
std::vector<std::string> long_options_abbreviated(std::string_view argument) {
  std::vector<std::string> matches;
  if (!argument.starts_with("--")) return matches;
  const std::string_view prefix = argument.substr(2, argument.find('=') - 2);
  for (const OptionName& name : kOptions) {
    if (std::string_view(name.long_name).starts_with(prefix))
      matches.push_back(std::string("--") + name.long_name);
  }
  return matches;
}

// The whole text must be the number: unlike the dialogue's answers, "4x" is refused.
bool whole_integer(std::string_view text, int32_t& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last && first != last;
}

bool whole_real(std::string_view text, double& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  return error == std::errc() && end == last && first != last;
}

// Slide numbers separated by commas, each a whole number of 1 or more; the range and repeats are
// checked once the files are known.
bool slide_numbers(std::string_view text, std::vector<int32_t>& numbers) {
  while (true) {
    const std::size_t comma = text.find(',');
    int32_t number = 0;
    if (!whole_integer(text.substr(0, comma), number) || number < 1) return false;
    numbers.push_back(number);
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

// A count with a comma between thousands, as in "60,000".
std::string with_thousands(std::size_t count) {
  std::string digits = std::to_string(count);
  for (std::size_t at = digits.size(); at > 3; at -= 3)
    digits.insert(at - 3, ",");
  return digits;
}

std::string quoted(std::string_view text) {
  std::string shown = "'";
  shown.append(text);
  shown += '\'';
  return shown;
}

// Stores the value of an option; false with the message when the value is not accepted.
bool take_value(const OptionName& option, std::string_view value, CommandLine& options,
                std::string& error) {
  const std::string named = "option --" + std::string(option.long_name);
  switch (option.option) {
    case Option::kReplicates:
      if (whole_integer(value, options.replicates) && options.replicates >= 1) return true;
      error = named + " takes the replicate spots per gene, a whole number of 1 or more, not " +
              quoted(value);
      return false;
    case Option::kRatio:
      if (whole_integer(value, options.ratio_choice) &&
          (options.ratio_choice == 1 || options.ratio_choice == 2))
        return true;
      error = named + " takes 1 (channel 2 over channel 1) or 2 (channel 1 over channel 2), not " +
              quoted(value);
      return false;
    case Option::kQuality:
      if (whole_real(value, options.quality_constant) && options.quality_constant >= 0.0 &&
          options.quality_constant <= 4.0)
        return true;
      error = named + " takes a number from 0.0 to 4.0, not " + quoted(value);
      return false;
    case Option::kThreads:
      if (whole_integer(value, options.threads) && options.threads >= 1 &&
          options.threads <= kMostThreads)
        return true;
      error = named + " takes the number of threads, a whole number from 1 to " +
              std::to_string(kMostThreads) + ", not " + quoted(value);
      return false;
    case Option::kOutputDir:
      if (!value.empty()) {
        options.output_folder = value;
        return true;
      }
      error = named + " takes the name of an existing folder, not an empty one";
      return false;
    case Option::kNormalise:
      if (normalisation_method_named(value, options.method)) return true;
      error = named + " takes total, none, median, loess or printtip-loess, not " + quoted(value);
      return false;
    case Option::kDyeSwap:
      if (slide_numbers(value, options.swapped_slides)) return true;
      error = named + " takes slide numbers from 1 separated by commas, such as 2,4, not " +
              quoted(value);
      return false;
    case Option::kFormat: {
      SlideFormat format = SlideFormat::kScanner;
      const bool known = format_from_name(std::string(value), format);
      if (known && (!options.formats.read.format_forced || options.formats.read.format == format)) {
        options.formats.read.format_forced = true;
        options.formats.read.format = format;
        return true;
      }
      error =
          known ? named + " " + quoted(value) +
                      " does not go with --columns, which reads a "
                      "table of named columns"
                : named + " takes scanner, genepix, agilent, spot or columns, not " + quoted(value);
      return false;
    }
    case Option::kColumns:
      if (options.formats.read.format_forced &&
          options.formats.read.format != SlideFormat::kColumns) {
        error = named + " reads a table of named columns and does not go with --format " +
                format_name(options.formats.read.format);
        return false;
      }
      options.formats.read.format_forced = true;
      options.formats.read.format = SlideFormat::kColumns;
      return parse_named_columns(value, options.formats.read.columns, error);
    case Option::kSignal:
      if (value == "mean" || value == "median") {
        options.formats.read.signal = value == "mean" ? SignalChoice::kMean : SignalChoice::kMedian;
        return true;
      }
      error = named + " takes mean or median, not " + quoted(value);
      return false;
    case Option::kId:
    case Option::kArrayList:
    case Option::kTargets:
    case Option::kDesign:
    case Option::kReference: {
      std::string& text = option.option == Option::kId          ? options.formats.read.id_column
                          : option.option == Option::kArrayList ? options.formats.array_list
                          : option.option == Option::kTargets   ? options.targets
                          : option.option == Option::kDesign    ? options.design
                                                                : options.reference;
      text = value;
      if (!value.empty()) return true;
      error = named + " takes a name, not an empty one";
      return false;
    }
    case Option::kBackground:
      if (background_method_named(value, options.background)) return true;
      error = named + " takes subtract, none or normexp, not " + quoted(value);
      return false;
    case Option::kOffset:
      if (whole_real(value, options.offset) && std::isfinite(options.offset) &&
          options.offset >= 0.0)
        return true;
      error = named + " takes a number of 0 or more, not " + quoted(value);
      return false;
    case Option::kBetween:
      if (between_method_named(value, options.between)) return true;
      error = named + " takes none, scale, quantile or Aquantile, not " + quoted(value);
      return false;
    case Option::kContrast:
      if (value.find('=') != std::string_view::npos) {
        options.contrasts.emplace_back(value);
        return true;
      }
      error = named + " takes NAME=EXPRESSION, such as RIN5vs9=RIN5-RIN9, not " + quoted(value);
      return false;
    case Option::kTop:
      if (whole_integer(value, options.top) && options.top >= 1) return true;
      error = named + " takes the number of genes to print, a whole number of 1 or more, not " +
              quoted(value);
      return false;
    case Option::kGenes:
    case Option::kSpots:
    case Option::kReport: {
      std::string& path = option.option == Option::kGenes   ? options.gene_table
                          : option.option == Option::kSpots ? options.spot_table
                                                            : options.report;
      path = value;
      if (!value.empty()) return true;
      error = named + " takes the name of a file to write, or - for standard output";
      return false;
    }
    default:
      return true;
  }
}

// The message for what getopt_long did not take: a long option it does not know (optopt 0) or
// that more than one long option begins with, a value given to an option that takes none, or a
// short option it does not know, which may stand inside a bundle such as -qx.
std::string unrecognised_option(const std::string& word, int optopt_code) {
  const OptionName* known = option_of_code(optopt_code);
  if (known != nullptr) return "option --" + std::string(known->long_name) + " takes no value";
  const std::vector<std::string> matches = long_options_abbreviated(word);
  if (optopt_code == 0 && matches.size() > 1) {
    std::string error = "option " + quoted(word) + " is ambiguous: it could be";
    for (std::size_t i = 0; i < matches.size(); ++i)
      error += (i == 0 ? " " : i + 1 == matches.size() ? " or " : ", ") + matches[i];
    return error;
  }
  const std::string named =
      optopt_code == 0 ? word : std::string("-") + static_cast<char>(optopt_code);
  return "unknown option " + quoted(named);
}

// The slides listed, "3", "3 and 5", "3, 5 and 7", or with many only the first of them: "3, 4, 5,
// 6, 7, 8, 9, 10, ... (60,000 in all)".
std::string listed_slides(const std::vector<int32_t>& slides) {
  constexpr std::size_t kShown = 8;
  std::string text;
  if (slides.size() > kShown + 1) {
    for (std::size_t i = 0; i < kShown; ++i)
      text += std::to_string(slides[i]) + ", ";
    return text + "... (" + with_thousands(slides.size()) + " in all)";
  }
  for (std::size_t i = 0; i < slides.size(); ++i)
    text += (i == 0 ? "" : i + 1 == slides.size() ? " and " : ", ") + std::to_string(slides[i]);
  return text;
}

// The dye-swapped slides must be among the files, each named once: one message for the slides
// beyond the files and one for the slides named more than once, however many there are.
void check_swapped_slides(const CommandLine& options, std::vector<std::string>& errors) {
  const std::size_t files = options.files.size();
  std::vector<int32_t> beyond, repeated;
  std::map<int32_t, int32_t> times_named;
  for (const int32_t slide : options.swapped_slides) {
    const int32_t times = ++times_named[slide];
    if (times == 1 && static_cast<std::size_t>(slide) > files) beyond.push_back(slide);
    if (times == 2) repeated.push_back(slide);
  }
  std::sort(beyond.begin(), beyond.end());
  std::sort(repeated.begin(), repeated.end());
  const std::string named = "option --dye-swap names slide";
  if (!beyond.empty()) {
    errors.push_back(named + (beyond.size() == 1 ? " " : "s ") + listed_slides(beyond) + ", but " +
                     std::to_string(files) + " result files are given: name slides 1 to " +
                     std::to_string(files));
  }
  if (!repeated.empty()) {
    const bool just_twice = repeated.size() == 1 && times_named[repeated[0]] == 2;
    errors.push_back(named + (repeated.size() == 1 ? " " : "s ") + listed_slides(repeated) +
                     (just_twice ? " twice" : " more than once") +
                     ": name each swapped slide once");
  }
}

}  // namespace

bool parse_command_line(int argc, const char* const* argv, CommandLine& options,
                        std::string& error) {
  // getopt_long orders the words of its table (options first, then the files) but never changes
  // the words themselves: the table is a copy of argv's.
  std::vector<char*> words;
  for (int i = 0; i < argc; ++i)
    words.push_back(const_cast<char*>(argv[i]));
  words.push_back(nullptr);
  const GetoptTables tables = getopt_tables();
  opterr = 0;  // the messages are ours
  optind = 0;  // a fresh scan, whatever an earlier one left
  // The value each option of one value was first given.
  std::map<Option, std::string> given;
  while (true) {
    const int code = getopt_long(argc, words.data(), tables.short_names.c_str(),
                                 tables.long_names.data(), nullptr);
    if (code == -1) break;
    if (code == ':') {
      // Some getopt_long (BSD's, MinGW's) come here too for a value given to an option that takes
      // none, where glibc's returns '?'.
      const OptionName* option = option_of_code(optopt);
      error = "option --" + std::string(option->long_name) +
              (option->takes_value ? " needs a value" : " takes no value");
      return false;
    }
    if (code == '?') {
      error = unrecognised_option(words[static_cast<std::size_t>(optind - 1)], optopt);
      return false;
    }
    const OptionName* option = option_of_code(code);
    if (option == nullptr) continue;
    if (!option->takes_value) {
      if (option->option == Option::kHelp) options.help = true;
      if (option->option == Option::kVersion) options.version = true;
      if (options.help || options.version) return true;
      if (option->option == Option::kQuiet) options.quiet = true;
      if (option->option == Option::kIgnoreFlags) options.formats.ignore_flags = true;
      if (option->option == Option::kDyeEffect) options.dye_effect = true;
      continue;
    }
    if (option->option == Option::kQuality) options.formats.quality_asked = true;
    if (option->repeats == Repeats::kOnce) {
      const auto [earlier, first] = given.try_emplace(option->option, optarg);
      if (!first) {
        error = "option --" + std::string(option->long_name) + " is given twice, as " +
                quoted(earlier->second) + " and " + quoted(optarg) + ": give it once";
        return false;
      }
    }
    if (!take_value(*option, optarg, options, error)) return false;
  }
  for (int i = optind; i < argc; ++i)
    options.files.emplace_back(words[static_cast<std::size_t>(i)]);
  if (options.threads == 0) options.threads = std::min(available_cores(), kMostThreads);
  return true;
}

namespace {

// The options that read the files of the other formats do nothing for the scanner's.
void check_format_options(const CommandLine& options, std::vector<std::string>& errors) {
  const FormatOptions& formats = options.formats;
  if (options.first_format == SlideFormat::kScanner) {
    if (options.replicates == 0) {
      errors.push_back("option --replicates is required with files: the replicate spots per gene");
    }
    const std::pair<const char*, bool> other_format_only[] = {
        {"--signal", formats.read.signal != SignalChoice::kFormatDefault},
        {"--id", !formats.read.id_column.empty()},
        {"--array-list", !formats.array_list.empty()},
        {"--ignore-flags", formats.ignore_flags}};
    for (const auto& [option, given] : other_format_only) {
      if (given) {
        errors.push_back("option " + std::string(option) +
                         " reads the files of the other formats, not the scanner's, whose genes "
                         "are R consecutive spots");
      }
    }
  }
  if (!formats.array_list.empty() && open_regular_file(formats.array_list.c_str()) < 0) {
    errors.push_back("cannot open the array list " + quoted(formats.array_list) +
                     ": a readable regular file is expected");
  }
  if (options.top > 0 &&
      (options.gene_table == "-" || options.spot_table == "-" || options.report == "-")) {
    errors.push_back(
        "option --top prints on standard output, which --genes, --spots or --report "
        "takes too: write that one to a file");
  }
}

}  // namespace

std::vector<std::string> check_command_line(CommandLine& options) {
  std::vector<std::string> errors;
  if (options.files.empty()) {
    errors.push_back("no result file given: name 1 to 99 result files");
  } else if (options.files.size() > MAX_FILES) {
    errors.push_back(std::to_string(options.files.size()) +
                     " result files given: at most 99 can be merged together");
  }
  // The identity of each file opened, to find one file named twice under two names.
  std::vector<FileIdentity> identities(options.files.size());
  // Where each name was first given: a command line of thousands of words is refused as quickly
  // as one of a few.
  std::map<std::string_view, std::size_t> first_given;
  for (std::size_t k = 0; k < options.files.size(); ++k) {
    const std::string& name = options.files[k];
    const auto [earlier, first] = first_given.try_emplace(name, k);
    if (!first) {
      errors.push_back("result file " + quoted(name) + " is named twice, as file " +
                       std::to_string(earlier->second + 1) + " and file " + std::to_string(k + 1) +
                       ": name each file once");
      continue;
    }
    errno = 0;
    const int fd = open_regular_file(name.c_str());
    if (fd >= 0) {
      identities[k] = file_identity(fd);
      close_file(fd);
      for (std::size_t j = 0; j < k; ++j) {
        if (identities[j].same_file_as(identities[k])) {
          errors.push_back("result files " + quoted(options.files[j]) + " (file " +
                           std::to_string(j + 1) + ") and " + quoted(name) + " (file " +
                           std::to_string(k + 1) + ") are the same file: name each file once");
          break;
        }
      }
      continue;
    }
    const std::string reason = errno != 0 ? std::strerror(errno) : "not a regular file";
    errors.push_back("cannot open result file " + quoted(name) + " (" + reason +
                     "): a readable regular file is expected");
  }
  // The first file's format decides what else the run needs.
  const bool first_readable = !options.files.empty() && errors.empty();
  if (first_readable) {
    options.first_format = recognised_format(Console{stderr, true, false}, options.files[0].c_str(),
                                             options.formats.read);
  }
  check_format_options(options, errors);
  if (!options.output_folder.empty() && !is_folder(options.output_folder.c_str())) {
    errors.push_back("output folder " + quoted(options.output_folder) +
                     " does not exist: an existing folder is expected");
  }
  check_swapped_slides(options, errors);
  const std::pair<const char*, const std::string*> outputs[] = {{"--genes", &options.gene_table},
                                                                {"--spots", &options.spot_table},
                                                                {"--report", &options.report}};
  for (const auto& [option, path] : outputs) {
    if (path->empty() || *path == "-") continue;
    const int refusal = write_refusal(path->c_str());
    if (refusal == 0) continue;
    errors.push_back("option " + std::string(option) + " cannot write " + quoted(*path) + " (" +
                     std::strerror(refusal) +
                     "): a file in an existing folder that can be written is expected");
  }
  const std::vector<RunFile> written = files_written(options);
  // The outputs that no option names; a folder in the place of a table was told above.
  for (const RunFile& output : written) {
    if (output.option.empty() && is_folder(output.path.c_str()))
      errors.push_back(output.role + " is a folder: a file, or no file, is expected there");
  }
  check_files_apart(files_read(options), written, errors);
  const int to_standard_output =
      (options.gene_table == "-") + (options.spot_table == "-") + (options.report == "-");
  if (to_standard_output > 1) {
    errors.push_back("only one of --genes, --spots and --report can write to standard output (-)");
  }
  return errors;
}
