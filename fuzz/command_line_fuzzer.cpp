// libFuzzer target for the command line.
//
// The input is split at its zero bytes into the words after the program's name, as a process
// receives them (a word can hold any byte but zero). They go to parse_command_line and, when it
// accepts them, to check_command_line, with the file names resolved in a scratch folder of
// example slides. Findings, besides crashes, hangs, leaks and sanitizer reports:
//   - a refused command line without a message, or a message of the checks that is empty;
//   - a parse that depends on an earlier one: the same words must give the same result twice;
//   - options that are not what the words said: every file must be one of the words, and the
//     options written back as a command line of long options must read as the same options;
//   - checks that let a run go ahead that cannot: no replicate count, no files or more than 99, a
//     file named twice, a dye-swapped slide beyond the files or named twice, two outputs to
//     standard output, or an output named as one of the files.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.hpp"
#include "harness_support.hpp"

namespace {

std::filesystem::path folder_of_slides;

// Equal in every field; the quality constants bit for bit, so that -0 differs from 0 and a NaN
// that a refused value left behind equals itself.
bool same_options(const CommandLine& a, const CommandLine& b) {
  return a.help == b.help && a.version == b.version && a.replicates == b.replicates &&
         a.ratio_choice == b.ratio_choice &&
         std::bit_cast<uint64_t>(a.quality_constant) ==
             std::bit_cast<uint64_t>(b.quality_constant) &&
         a.output_folder == b.output_folder && a.quiet == b.quiet && a.threads == b.threads &&
         a.gene_table == b.gene_table && a.spot_table == b.spot_table && a.report == b.report &&
         a.method == b.method && a.swapped_slides == b.swapped_slides && a.files == b.files;
}

// The options as a command line of long options with attached values, the files after "--".
std::vector<std::string> written_back(const CommandLine& options) {
  std::vector<std::string> words = {"corvane"};
  if (options.replicates != 0)
    words.push_back("--replicates=" + std::to_string(options.replicates));
  words.push_back("--ratio=" + std::to_string(options.ratio_choice));
  char quality[40];
  std::snprintf(quality, sizeof quality, "--quality=%.17g", options.quality_constant);
  words.push_back(quality);
  if (!options.output_folder.empty()) words.push_back("--output-dir=" + options.output_folder);
  if (options.quiet) words.push_back("--quiet");
  words.push_back("--threads=" + std::to_string(options.threads));
  if (!options.gene_table.empty()) words.push_back("--genes=" + options.gene_table);
  if (!options.spot_table.empty()) words.push_back("--spots=" + options.spot_table);
  if (!options.report.empty()) words.push_back("--report=" + options.report);
  words.push_back(std::string("--normalise=") + normalisation_method_name(options.method));
  if (!options.swapped_slides.empty()) {
    std::string list;
    for (int32_t slide : options.swapped_slides)
      list += (list.empty() ? "" : ",") + std::to_string(slide);
    words.push_back("--dye-swap=" + list);
  }
  words.push_back("--");
  words.insert(words.end(), options.files.begin(), options.files.end());
  return words;
}

struct Parse {
  bool accepted = false;
  CommandLine options;
  std::string error;
};

Parse parse(const std::vector<std::string>& words) {
  std::vector<const char*> argv;
  for (const std::string& word : words)
    argv.push_back(word.c_str());
  argv.push_back(nullptr);
  Parse result;
  result.accepted =
      parse_command_line(static_cast<int>(words.size()), argv.data(), result.options, result.error);
  return result;
}

void check_accepted(const std::vector<std::string>& words, const CommandLine& options) {
  const std::set<std::string> given(words.begin() + 1, words.end());
  for (const std::string& file : options.files) {
    if (given.count(file) == 0) finding("a file that is none of the words: " + file);
  }
  const Parse again = parse(written_back(options));
  if (!again.accepted) finding("the options written back are refused: " + again.error);
  if (!same_options(again.options, options)) finding("the options written back read otherwise");
}

void check_checks(CommandLine options) {
  const std::vector<std::string> errors = check_command_line(options);
  for (const std::string& error : errors) {
    if (error.empty()) finding("an empty message of the checks");
  }
  if (!errors.empty()) return;
  if (options.replicates < 1 && options.first_format == SlideFormat::kScanner)
    finding("a run of the scanner's files without replicates would go ahead");
  if (options.files.empty() || options.files.size() > MAX_FILES)
    finding("a run without 1 to 99 files would go ahead");
  if (std::set<std::string>(options.files.begin(), options.files.end()).size() !=
      options.files.size())
    finding("a run with a file named twice would go ahead");
  for (int32_t slide : options.swapped_slides) {
    if (slide < 1 || static_cast<std::size_t>(slide) > options.files.size())
      finding("a run with a dye-swapped slide beyond the files would go ahead");
  }
  if (std::set<int32_t>(options.swapped_slides.begin(), options.swapped_slides.end()).size() !=
      options.swapped_slides.size())
    finding("a run with a dye-swapped slide named twice would go ahead");
  if ((options.gene_table == "-") + (options.spot_table == "-") + (options.report == "-") > 1)
    finding("a run with two outputs to standard output would go ahead");
  for (const std::string* output : {&options.gene_table, &options.spot_table, &options.report}) {
    if (output->empty() || *output == "-") continue;
    if (std::set<std::string>(options.files.begin(), options.files.end()).count(*output) > 0)
      finding("a run that writes over one of its files would go ahead");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder_of_slides = make_folder_of_slides();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  InFolder in_folder(folder_of_slides);
  std::vector<std::string> words = {"corvane"};
  if (size > 0) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (true) {
      const std::size_t zero = input.find('\0', start);
      words.emplace_back(input.substr(start, zero - start));
      if (zero == std::string_view::npos) break;
      start = zero + 1;
    }
  }

  const Parse first = parse(words);
  const Parse second = parse(words);
  if (second.accepted != first.accepted || second.error != first.error ||
      !same_options(second.options, first.options))
    finding("the same words parse otherwise the second time");
  if (!first.accepted) {
    if (first.error.empty()) finding("a command line refused without a message");
    return 0;
  }
  if (first.options.help || first.options.version) return 0;
  check_accepted(words, first.options);
  check_checks(first.options);
  return 0;
}
