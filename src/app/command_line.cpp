#include "app/command_line.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

#include "input/result_file.hpp"
#include "run/run.hpp"

const char* const kHelpText =
    "Usage: corvane\n"
    "       corvane [OPTIONS] FILE...\n"
    "       corvane --help | --version\n"
    "\n"
    "Merges the scanner result files of 1 to 99 slides of one array layout into data.txt (every\n"
    "spot) and merge.txt (one row per gene). Started without arguments, corvane asks for "
    "everything\n"
    "in a dialogue; given files, it runs without questions.\n"
    "\n"
    "Options:\n"
    "  -r, --replicates R    replicate spots per gene, 1 or more (required with files)\n"
    "      --ratio 1|2       1: channel 2 over channel 1, 2: channel 1 over channel 2 (default 1)\n"
    "  -c, --quality C       quality constant, 0.0 to 4.0: a spot whose net intensity over\n"
    "                        background is below C in both channels is left out of the gene\n"
    "                        statistics (default 1.0)\n"
    "  -o, --output-dir DIR  folder that data.txt and merge.txt are written into; it must exist\n"
    "                        (default: the working folder)\n"
    "  -q, --quiet           print only the messages of failures\n"
    "      --normalise METHOD\n"
    "                        how channel 2 is brought to channel 1 on every slide: total (one\n"
    "                        factor from the channel totals, the default), none, median (M less\n"
    "                        the slide's median M), loess (M less a lowess fit of M on A) or\n"
    "                        printtip-loess (the same fit within each print-tip group)\n"
    "      --dye-swap LIST   slides hybridised with the dyes exchanged, by their numbers in the\n"
    "                        order given, e.g. 2,4: their ratio is formed the other way round\n"
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
    "Both --name VALUE and --name=VALUE work; -- ends the options.\n"
    "\n"
    "Example:\n"
    "  corvane -r 4 -o results slide01.txt slide02.txt slide03.txt slide04.txt\n"
    "  corvane -r 4 --genes genes.tsv --report report.html slide*.txt\n"
    "  corvane -r 4 --normalise loess --dye-swap 2,4 --genes genes.tsv slide0[1-4].txt\n";

namespace {

enum class Option {
  kReplicates,
  kRatio,
  kQuality,
  kOutputDir,
  kQuiet,
  kGenes,
  kSpots,
  kReport,
  kNormalise,
  kDyeSwap,
  kHelp,
  kVersion
};

struct OptionName {
  Option option;
  const char* short_name;  // "" when there is none
  const char* long_name;
  bool takes_value;
};

constexpr OptionName kOptions[] = {
    {Option::kReplicates, "-r", "--replicates", true},
    {Option::kRatio, "", "--ratio", true},
    {Option::kQuality, "-c", "--quality", true},
    {Option::kOutputDir, "-o", "--output-dir", true},
    {Option::kQuiet, "-q", "--quiet", false},
    {Option::kGenes, "", "--genes", true},
    {Option::kSpots, "", "--spots", true},
    {Option::kReport, "", "--report", true},
    {Option::kNormalise, "", "--normalise", true},
    {Option::kDyeSwap, "", "--dye-swap", true},
    {Option::kHelp, "-h", "--help", false},
    {Option::kVersion, "-V", "--version", false},
};

// The option an argument names, with the value written into the same argument ("--ratio=2" or
// "-r4"), if any. Null when it names none.
const OptionName* find_option(std::string_view argument, std::string_view& attached,
                              bool& has_attached) {
  has_attached = false;
  for (const OptionName& option : kOptions) {
    const std::string_view long_name = option.long_name;
    if (argument == long_name) return &option;
    if (option.takes_value && argument.starts_with(long_name) &&
        argument[long_name.size()] == '=') {
      attached = argument.substr(long_name.size() + 1);
      has_attached = true;
      return &option;
    }
    const std::string_view short_name = option.short_name;
    if (short_name.empty()) continue;
    if (argument == short_name) return &option;
    if (option.takes_value && argument.starts_with(short_name)) {
      attached = argument.substr(short_name.size());
      has_attached = true;
      return &option;
    }
  }
  return nullptr;
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

struct MethodName {
  NormalisationMethod method;
  const char* name;
};

constexpr MethodName kMethods[] = {
    {NormalisationMethod::kTotal, "total"},   {NormalisationMethod::kNone, "none"},
    {NormalisationMethod::kMedian, "median"}, {NormalisationMethod::kLoess, "loess"},
    {NormalisationMethod::kPrintTipLoess, "printtip-loess"},
};

bool method_named(std::string_view name, NormalisationMethod& method) {
  for (const MethodName& known : kMethods) {
    if (name == known.name) {
      method = known.method;
      return true;
    }
  }
  return false;
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

std::string quoted(std::string_view text) {
  std::string shown = "'";
  shown.append(text);
  shown += '\'';
  return shown;
}

// Stores the value of an option; false with the message when the value is not accepted.
bool take_value(const OptionName& option, std::string_view value, CommandLine& options,
                std::string& error) {
  const std::string named = "option " + std::string(option.long_name);
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
    case Option::kOutputDir:
      if (!value.empty()) {
        options.output_folder = value;
        return true;
      }
      error = named + " takes the name of an existing folder, not an empty one";
      return false;
    case Option::kNormalise:
      if (method_named(value, options.method)) return true;
      error = named + " takes total, none, median, loess or printtip-loess, not " + quoted(value);
      return false;
    case Option::kDyeSwap:
      if (slide_numbers(value, options.swapped_slides)) return true;
      error = named + " takes slide numbers from 1 separated by commas, such as 2,4, not " +
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

}  // namespace

bool parse_command_line(int argc, const char* const* argv, CommandLine& options,
                        std::string& error) {
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (options_ended || argument.size() < 2 || argument[0] != '-') {
      options.files.emplace_back(argument);
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    std::string_view value;
    bool has_value = false;
    const OptionName* option = find_option(argument, value, has_value);
    if (option == nullptr) {
      error = "unknown option " + quoted(argument) +
              "; the options are -r, --ratio, -c, -o, -q, --normalise, --dye-swap, --genes, "
              "--spots, --report, --help and --version";
      return false;
    }
    if (!option->takes_value) {
      if (option->option == Option::kHelp) options.help = true;
      if (option->option == Option::kVersion) options.version = true;
      if (options.help || options.version) return true;
      options.quiet = true;
      continue;
    }
    if (!has_value) {
      if (i + 1 == argc) {
        error = "option " + std::string(option->long_name) + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (!take_value(*option, value, options, error)) return false;
  }
  return true;
}

std::vector<std::string> check_command_line(const CommandLine& options) {
  std::vector<std::string> errors;
  if (options.replicates == 0) {
    errors.push_back("option --replicates is required with files: the replicate spots per gene");
  }
  if (options.files.empty()) {
    errors.push_back("no result file given: name 1 to 99 result files");
  } else if (options.files.size() > MAX_FILES) {
    errors.push_back(std::to_string(options.files.size()) +
                     " result files given: at most 99 can be merged together");
  }
  for (std::size_t k = 0; k < options.files.size(); ++k) {
    const std::string& name = options.files[k];
    bool repeated = false;
    for (std::size_t j = 0; j < k && !repeated; ++j) {
      if (options.files[j] == name) {
        errors.push_back("result file " + quoted(name) + " is named twice, as file " +
                         std::to_string(j + 1) + " and file " + std::to_string(k + 1) +
                         ": name each file once");
        repeated = true;
      }
    }
    if (repeated) continue;
    errno = 0;
    const int fd = open_regular_file(name.c_str());
    if (fd >= 0) {
      close(fd);
      continue;
    }
    const std::string reason = errno != 0 ? std::strerror(errno) : "not a regular file";
    errors.push_back("cannot open result file " + quoted(name) + " (" + reason +
                     "): a readable regular file is expected");
  }
  struct stat status {};
  if (!options.output_folder.empty() &&
      (stat(options.output_folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))) {
    errors.push_back("output folder " + quoted(options.output_folder) +
                     " does not exist: an existing folder is expected");
  }
  for (std::size_t i = 0; i < options.swapped_slides.size(); ++i) {
    const int32_t slide = options.swapped_slides[i];
    if (static_cast<std::size_t>(slide) > options.files.size()) {
      errors.push_back("option --dye-swap names slide " + std::to_string(slide) + ", but " +
                       std::to_string(options.files.size()) +
                       " result files are given: name slides 1 to " +
                       std::to_string(options.files.size()));
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (options.swapped_slides[j] == slide) {
        errors.push_back("option --dye-swap names slide " + std::to_string(slide) +
                         " twice: name each swapped slide once");
        break;
      }
    }
  }
  const int to_standard_output =
      (options.gene_table == "-") + (options.spot_table == "-") + (options.report == "-");
  if (to_standard_output > 1) {
    errors.push_back("only one of --genes, --spots and --report can write to standard output (-)");
  }
  return errors;
}
