// make_slides: writes realistic result files for trying out and testing corvane, in the scanner's
// format or in the formats other image-analysis programs write (results files with an array
// list, feature-extraction text, SPOT files, plain tables), plain or gzip-compressed.
//
// All slides share one array layout. Genes are printed as R consecutive replicate spots that
// share a true ratio of channel 2 to channel 1; most genes are unchanged, some go up or down
// (threefold by default), some are too weak to rise above background, and a few spots on each slide
// are missing. On request the slides also differ as real ones do (a gene's ratio varying from slide
// to slide, a dye bias that bends with intensity, print-tip offsets, dye-swapped slides), and the
// true changes are written out, for simulations with a known truth. The output depends only on
// the options: the random numbers come from our own generator and are drawn in a fixed order, so
// one seed always gives the same bytes. The effects draw numbers only when they are asked for, so
// without them the slides are those of the plain simulation. Every format writes the same
// simulated spots. On request the slides hold a common-reference experiment (several samples,
// each against a reference, dyes balanced) with limma's targets file.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "gzip_text.hpp"
#include "reference_design.hpp"
#include "slide_file.hpp"
#include "slide_formats.hpp"
#include "slide_layout.hpp"
#include "slide_simulation.hpp"

namespace {

const char* const kHelpText =
    "usage: make_slides [options]\n"
    "Writes result files (one per slide) with a common array layout.\n"
    "\n"
    "  --format F       scanner (the default), genepix (results files, .gpr), agilent\n"
    "                   (feature-extraction text, .txt), spot (SPOT files, .spot, with the\n"
    "                   array list DIR/NAME.gal) or columns (a plain table, .tsv)\n"
    "  --gzip           compress every slide with gzip (NAME01.gpr.gz, ...)\n"
    "  --array-list     also write the array list DIR/NAME.gal (always with spot)\n"
    "  --files N        number of slides to write, 1 to 99 (default 3)\n"
    "  --spots S        spots per slide, 1 to 1000000 (default 256); rounded up to fill a\n"
    "                   grid of whole blocks\n"
    "  --block RxC      spot rows and columns of one block (default 8x8)\n"
    "  --replicates R   consecutive replicate spots per gene, at least 1 (default 4)\n"
    "  --seed X         seed of the random numbers, an unsigned integer (default 1)\n"
    "  --crlf           end the lines of the slides with carriage return and line feed\n"
    "                   (default line feed)\n"
    "  --out DIR        folder for the files, created if missing (default .)\n"
    "  --prefix NAME    file name prefix: letters, digits, '_', '-' or '.', at most 40\n"
    "                   characters (default slide)\n"
    "  --help           print this text\n"
    "\n"
    "Simulation with a known truth (each off, or as before, by default):\n"
    "  --changed P      share of the genes that change, 0 to 1, half of them up and half down\n"
    "                   (default 0.12)\n"
    "  --fold F         the fold change of a changed gene, 1 to 1000 (default 3)\n"
    "  --slide-sd SD    each slide moves each gene's log2 true ratio by a normal offset o with\n"
    "                   this standard deviation, half in each sample (the first by -o/2, the\n"
    "                   second by +o/2, in log2), 0 to 10 (default 0)\n"
    "  --dye-bias X     a dye bias that bends with intensity: channel 2 reads 2^b too high,\n"
    "                   b = X / (1 + 2^(A - 10)) for a spot of mean log2 signal A, so about X at\n"
    "                   faint spots, X/2 at A = 10, fading at bright ones; -10 to 10 (default 0)\n"
    "  --print-tip-sd SD  each block of each slide reads channel 2 off by 2^o, o normal with\n"
    "                   this standard deviation, 0 to 10 (default 0)\n"
    "  --dye-swap LIST  slide numbers (e.g. 2,4) hybridised the other way round: channel 1\n"
    "                   holds the second sample and channel 2 the first, so their true ratio of\n"
    "                   channel 2 over channel 1 is inverted; the dye bias stays with the dyes\n"
    "  --missing P      share of the spots missing on each slide, 0 to 1 (default 0.01)\n"
    "  --badly-printed P  share of the spots printed too faintly to rise above background,\n"
    "                   0 to 1 (default 0.02)\n"
    "  --outliers P     share of the spots of measurable genes whose channel 2 reads 4 times\n"
    "                   too high or too low, 0 to 1 (default 0.03)\n"
    "  --truth FILE     also write the true changes: a tab-separated file with a heading and\n"
    "                   one row per gene: gene (its number), name, true_log2_ratio (channel 2\n"
    "                   over channel 1 on a slide that is not swapped, before the slide\n"
    "                   offsets), changed (yes or no). A last gene with fewer than R spots is\n"
    "                   included. FILE is named from the working folder, not from DIR.\n"
    "                   With a format other than scanner, a column id after gene gives the\n"
    "                   gene's ID, which all its spots carry.\n"
    "The effects of --slide-sd, --dye-bias, --print-tip-sd and --dye-swap draw from random\n"
    "numbers of their own: slides made with them differ from those made without them only by\n"
    "those effects.\n"
    "\n"
    "What the other formats carry (each off by default):\n"
    "  --flags P        share of the spots flagged bad (results files: Flags -50, -75 or -100;\n"
    "                   SPOT: badspot 1; feature extraction: IsManualFlag 1), 0 to 1\n"
    "  --controls P     share of the spots that hold control probes, 0 to 1: positive ones\n"
    "                   (ControlType 1, e.g. (+)E1A_r60_1, BrightCorner) as bright in both\n"
    "                   channels, negative ones (ControlType -1, (-)3xSLv1, DarkCorner) faint;\n"
    "                   results files give the negative ones the ID EMPTY or an empty ID\n"
    "  --scatter        a gene's spots at random places over the array instead of consecutive\n"
    "  --uneven         1 to 2R - 1 spots per gene instead of R\n"
    "\n"
    "A common-reference experiment:\n"
    "  --samples LIST   sample names separated by commas, the reference first (e.g.\n"
    "                   ref,A,B,C): slide k holds the k-th of the other samples in turn against\n"
    "                   the reference, in Cy5 with the reference in Cy3, and every other slide\n"
    "                   of a sample the other way round. Each gene has a true log2 level per\n"
    "                   sample, 0 in the reference; a changed gene (--changed) is changed in\n"
    "                   some samples, each up or down by --fold. The truth file gives the\n"
    "                   levels, one column per sample. Not with --dye-swap.\n"
    "  --targets FILE   write limma's targets file (FileName, Cy3, Cy5), the file names\n"
    "                   relative to its folder; without --samples the samples are named first\n"
    "                   and second. FILE is named from the working folder.\n"
    "Channel 1 is Cy3 (green, 532 nm), channel 2 Cy5 (red, 635 nm).\n"
    "\n"
    "The files are DIR/NAME01.txt, DIR/NAME02.txt, ... (.gpr, .spot, .tsv for those formats).\n"
    "The blocks form a grid of ArrayRows x ArrayColumns blocks with ArrayColumns =\n"
    "ceil(sqrt(blocks)), so TotalSpots is S rounded up to that grid. The same options always\n"
    "give the same bytes.\n";

// The options that take a value.
const char* const kValueOptions[] = {
    "--files",    "--spots",    "--block",         "--replicates", "--seed",     "--out",
    "--prefix",   "--changed",  "--fold",          "--slide-sd",   "--dye-bias", "--print-tip-sd",
    "--dye-swap", "--missing",  "--badly-printed", "--outliers",   "--truth",    "--format",
    "--flags",    "--controls", "--samples",       "--targets"};

// The switches, which take no value.
const char* const kSwitches[] = {"--crlf", "--gzip", "--array-list", "--scatter", "--uneven"};

enum class Format { scanner, genepix, agilent, spot, columns };

struct FormatName {
  const char* name;
  Format format;
  const char* extension;
};

const FormatName kFormats[] = {{"scanner", Format::scanner, ".txt"},
                               {"genepix", Format::genepix, ".gpr"},
                               {"agilent", Format::agilent, ".txt"},
                               {"spot", Format::spot, ".spot"},
                               {"columns", Format::columns, ".tsv"}};

const int kMaxFiles = 99;
const int kMaxSpots = 1000000;
const int kMaxBlockSide = 1000;
const std::size_t kMaxPrefixLength = 40;

struct Options {
  int files = 3;
  int spots = 256;
  int block_rows = 8;
  int block_columns = 8;
  int replicates = 4;
  std::uint64_t seed = 1;
  bool crlf = false;
  FormatName format = kFormats[0];
  bool gzip = false;
  bool array_list = false;
  Arrangement arrangement;
  std::vector<std::string> samples;  // empty: the two-sample design
  std::string targets;               // empty: none written
  std::string out = ".";
  std::string prefix = "slide";
  GeneChanges changes;
  SlideEffects effects;
  std::vector<int> swapped_slides;
  std::string truth;  // empty: none written
};

[[noreturn]] void usage_error(const std::string& message) {
  std::cerr << "make_slides: " << message << "\n(make_slides --help lists the options)\n";
  std::exit(2);
}

template <typename Number>
Number number_option(const std::string& option, const char* word, Number low, Number high) {
  Number value{};
  const std::string_view text(word);
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < low ||
      value > high) {
    usage_error(option + " needs a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not '" + std::string(text) + "'");
  }
  return value;
}

std::string shortest(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

double real_option(const std::string& option, const char* word, double low, double high) {
  double value = 0.0;
  const std::string_view text(word);
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !(value >= low) ||
      !(value <= high)) {
    usage_error(option + " needs a number from " + shortest(low) + " to " + shortest(high) +
                ", not '" + std::string(text) + "'");
  }
  return value;
}

// Slide numbers separated by commas, e.g. 2,4; checked against the file count later.
void slide_list_option(const char* word, Options& options) {
  const std::string text(word);
  std::size_t start = 0;
  options.swapped_slides.clear();
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string number = text.substr(start, comma - start);
    options.swapped_slides.push_back(number_option("--dye-swap", number.c_str(), 1, kMaxFiles));
    if (comma == std::string::npos) return;
    start = comma + 1;
  }
}

void block_option(const char* word, Options& options) {
  const std::string text(word);
  const std::size_t cross = text.find('x');
  if (cross == std::string::npos) usage_error("--block needs ROWSxCOLUMNS, e.g. 8x8");
  const std::string rows = text.substr(0, cross);
  const std::string columns = text.substr(cross + 1);
  options.block_rows = number_option("--block", rows.c_str(), 1, kMaxBlockSide);
  options.block_columns = number_option("--block", columns.c_str(), 1, kMaxBlockSide);
}

void format_option(const char* word, Options& options) {
  for (const FormatName& format : kFormats) {
    if (std::string_view(word) == format.name) {
      options.format = format;
      return;
    }
  }
  usage_error("--format takes scanner, genepix, agilent, spot or columns, not '" +
              std::string(word) + "'");
}

// Sample names separated by commas, the reference first: at least two, each named once, none
// empty nor holding a tab, a quote or '#' (which a targets file reads as a comment).
void samples_option(const char* word, Options& options) {
  const std::string text(word);
  options.samples.clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string name = text.substr(start, comma - start);
    if (name.empty() || name.find_first_of("\t\r\n\"#") != std::string::npos) {
      usage_error("--samples needs names without tabs, quotes or '#', separated by commas, not '" +
                  text + "'");
    }
    if (std::find(options.samples.begin(), options.samples.end(), name) != options.samples.end())
      usage_error("--samples names " + name + " twice");
    options.samples.push_back(name);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (options.samples.size() < 2) usage_error("--samples needs the reference and a sample");
}

bool valid_prefix(const std::string& prefix) {
  if (prefix.size() > kMaxPrefixLength) return false;
  for (const char c : prefix) {
    const bool letter_or_digit =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letter_or_digit && c != '_' && c != '-' && c != '.') return false;
  }
  return true;
}

Options parse_options(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help") {
      std::cout << kHelpText;
      std::exit(0);
    }
    if (std::find(std::begin(kSwitches), std::end(kSwitches), option) != std::end(kSwitches)) {
      options.crlf = options.crlf || option == "--crlf";
      options.gzip = options.gzip || option == "--gzip";
      options.array_list = options.array_list || option == "--array-list";
      options.arrangement.scatter = options.arrangement.scatter || option == "--scatter";
      options.arrangement.uneven = options.arrangement.uneven || option == "--uneven";
      continue;
    }
    const bool takes_value = std::find(std::begin(kValueOptions), std::end(kValueOptions),
                                       option) != std::end(kValueOptions);
    if (!takes_value) usage_error("unknown option: " + option);
    if (i + 1 >= argc) usage_error(option + " needs a value");
    const char* value = argv[++i];
    if (option == "--files") {
      options.files = number_option(option, value, 1, kMaxFiles);
    } else if (option == "--spots") {
      options.spots = number_option(option, value, 1, kMaxSpots);
    } else if (option == "--block") {
      block_option(value, options);
    } else if (option == "--replicates") {
      options.replicates = number_option(option, value, 1, kMaxSpots);
    } else if (option == "--seed") {
      options.seed = number_option<std::uint64_t>(option, value, 0, UINT64_MAX);
    } else if (option == "--out") {
      options.out = value;
    } else if (option == "--changed") {
      options.changes.share = real_option(option, value, 0.0, 1.0);
    } else if (option == "--fold") {
      options.changes.fold = real_option(option, value, 1.0, 1000.0);
    } else if (option == "--slide-sd") {
      options.effects.gene_sd = real_option(option, value, 0.0, 10.0);
    } else if (option == "--dye-bias") {
      options.effects.dye_bias = real_option(option, value, -10.0, 10.0);
    } else if (option == "--print-tip-sd") {
      options.effects.print_tip_sd = real_option(option, value, 0.0, 10.0);
    } else if (option == "--dye-swap") {
      slide_list_option(value, options);
    } else if (option == "--missing") {
      options.effects.missing = real_option(option, value, 0.0, 1.0);
    } else if (option == "--badly-printed") {
      options.effects.badly_printed = real_option(option, value, 0.0, 1.0);
    } else if (option == "--outliers") {
      options.effects.outliers = real_option(option, value, 0.0, 1.0);
    } else if (option == "--truth") {
      options.truth = value;
      if (options.truth.empty()) usage_error("--truth needs a file name");
    } else if (option == "--format") {
      format_option(value, options);
    } else if (option == "--flags") {
      options.effects.flagged = real_option(option, value, 0.0, 1.0);
    } else if (option == "--controls") {
      options.arrangement.controls = real_option(option, value, 0.0, 1.0);
    } else if (option == "--samples") {
      samples_option(value, options);
    } else if (option == "--targets") {
      options.targets = value;
      if (options.targets.empty()) usage_error("--targets needs a file name");
    } else if (option == "--prefix") {
      options.prefix = value;
      if (!valid_prefix(options.prefix)) {
        usage_error("--prefix takes at most " + std::to_string(kMaxPrefixLength) +
                    " letters, digits, '_', '-' or '.', not '" + options.prefix + "'");
      }
    }
  }
  if (static_cast<long long>(options.block_rows) * options.block_columns > kMaxSpots) {
    usage_error("--block gives more than " + std::to_string(kMaxSpots) + " spots in one block");
  }
  options.effects.swapped.assign(static_cast<std::size_t>(options.files), false);
  for (const int slide : options.swapped_slides) {
    if (slide > options.files) {
      usage_error("--dye-swap names slide " + std::to_string(slide) + " of " +
                  std::to_string(options.files));
    }
    options.effects.swapped[static_cast<std::size_t>(slide - 1)] = true;
  }
  if (!options.samples.empty()) {
    if (!options.swapped_slides.empty()) {
      usage_error(
          "--dye-swap does not go with --samples, which swaps every other slide of a "
          "sample");
    }
    assign_slides(options.effects, options.files, options.samples.size());
  }
  if (options.format.format == Format::spot) options.array_list = true;
  return options;
}

// Writes a file's text, or says which file could not be written.
bool write_file(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  if (!out) std::cerr << "make_slides: cannot write " << path.string() << "\n";
  return static_cast<bool>(out);
}

std::string slide_file_text(const Options& options, const Layout& layout,
                            const SimulatedSlide& slide) {
  switch (options.format.format) {
    case Format::genepix:
      return genepix_text(layout, slide, options.prefix, options.crlf);
    case Format::agilent:
      return agilent_text(layout, slide, options.prefix, options.crlf);
    case Format::spot:
      return spot_text(layout, slide, options.crlf);
    case Format::columns:
      return columns_text(layout, slide, options.crlf);
    case Format::scanner:
      break;
  }
  return slide_text(layout, slide, options.prefix, options.crlf);
}

// The name of a slide's file as the targets file gives it: relative to the targets file's folder.
std::string name_from_targets(const std::filesystem::path& slide, const std::string& targets) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::absolute(targets).parent_path().lexically_normal();
  return fs::absolute(slide).lexically_normal().lexically_relative(folder).generic_string();
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse_options(argc, argv);
  Random random{options.seed};
  // The slide effects draw from a stream of their own: a slide with them is the slide without
  // them, changed only by them. So do the arrangement of the spots, the details only the other
  // formats carry, and the samples' levels of the common-reference design.
  Random effect_random{options.seed ^ 0xa0761d6478bd642fULL};
  Random layout_random{options.seed ^ 0xe7037ed1a0b428dbULL};
  Random detail_random{options.seed ^ 0x8ebc6af09c88c6e3ULL};
  Random design_random{options.seed ^ 0x589965cc75374cc3ULL};
  Layout layout =
      make_layout(options.spots, options.block_rows, options.block_columns, options.replicates,
                  options.changes, options.arrangement, random, layout_random);
  if (layout.total_spots > kMaxSpots) {
    usage_error("the grid of whole blocks would hold more than " + std::to_string(kMaxSpots) +
                " spots");
  }
  if (!options.samples.empty()) {
    draw_sample_levels(layout, options.samples.size(), options.changes.fold, design_random);
  }
  std::error_code error;
  std::filesystem::create_directories(options.out, error);
  if (error) {
    std::cerr << "make_slides: cannot create the folder " << options.out << ": " << error.message()
              << "\n";
    return 1;
  }
  std::vector<std::string> file_names;
  for (int slide = 1; slide <= options.files; ++slide) {
    const std::string name =
        slide_name(options.prefix, slide) + options.format.extension + (options.gzip ? ".gz" : "");
    const std::filesystem::path path = std::filesystem::path(options.out) / name;
    const SimulatedSlide simulated =
        simulate_slide(layout, options.effects, slide, random, effect_random, detail_random);
    const std::string text = slide_file_text(options, layout, simulated);
    if (!write_file(path, options.gzip ? gzip_text(text) : text)) return 1;
    if (!options.targets.empty()) file_names.push_back(name_from_targets(path, options.targets));
  }
  if (options.array_list) {
    const std::filesystem::path path =
        std::filesystem::path(options.out) / (options.prefix + ".gal");
    if (!write_file(path, array_list_text(layout, options.crlf))) return 1;
  }
  if (!options.targets.empty()) {
    const std::vector<std::string> samples =
        options.samples.empty() ? std::vector<std::string>{"first", "second"} : options.samples;
    if (!write_file(options.targets, targets_text(file_names, samples, options.effects))) return 1;
  }
  if (!options.truth.empty()) {
    const bool with_ids = options.format.format != Format::scanner;
    if (!write_file(options.truth, truth_text(layout, with_ids, options.samples))) return 1;
  }
  return 0;
}
