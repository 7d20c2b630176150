// make_slides: writes realistic scanner result files for trying out and testing corvane.
//
// All slides share one array layout. Genes are printed as R consecutive replicate spots that
// share a true ratio of channel 2 to channel 1; most genes are unchanged, some go up or down
// (threefold by default), some are too weak to rise above background, and a few spots on each slide
// are missing. On request the slides also differ as real ones do (a gene's ratio varying from slide
// to slide, a dye bias that bends with intensity, print-tip offsets, dye-swapped slides), and the
// true changes are written out, for simulations with a known truth. The output depends only on
// the options: the random numbers come from our own generator and are drawn in a fixed order, so
// one seed always gives the same bytes. The effects draw numbers only when they are asked for, so
// without them the slides are those of the plain simulation.

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

#include "slide_file.hpp"

namespace {

const char* const kHelpText =
    "usage: make_slides [options]\n"
    "Writes scanner result files (one per slide) with a common array layout.\n"
    "\n"
    "  --files N        number of slides to write, 1 to 99 (default 3)\n"
    "  --spots S        spots per slide, 1 to 1000000 (default 256); rounded up to fill a\n"
    "                   grid of whole blocks\n"
    "  --block RxC      spot rows and columns of one block (default 8x8)\n"
    "  --replicates R   consecutive replicate spots per gene, at least 1 (default 4)\n"
    "  --seed X         seed of the random numbers, an unsigned integer (default 1)\n"
    "  --crlf           end lines with carriage return and line feed (default line feed)\n"
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
    "The effects of --slide-sd, --dye-bias, --print-tip-sd and --dye-swap draw from random\n"
    "numbers of their own: slides made with them differ from those made without them only by\n"
    "those effects.\n"
    "\n"
    "The files are DIR/NAME01.txt, DIR/NAME02.txt, ... The blocks form a grid of ArrayRows x\n"
    "ArrayColumns blocks with ArrayColumns = ceil(sqrt(blocks)), so TotalSpots is S rounded up\n"
    "to that grid. The same options always give the same bytes.\n";

// The options that take a value.
const char* const kValueOptions[] = {
    "--files",    "--spots",   "--block",         "--replicates", "--seed",     "--out",
    "--prefix",   "--changed", "--fold",          "--slide-sd",   "--dye-bias", "--print-tip-sd",
    "--dye-swap", "--missing", "--badly-printed", "--outliers",   "--truth"};

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
    if (option == "--crlf") {
      options.crlf = true;
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
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse_options(argc, argv);
  Random random{options.seed};
  // The slide effects draw from a stream of their own: a slide with them is the slide without
  // them, changed only by them.
  Random effect_random{options.seed ^ 0xa0761d6478bd642fULL};
  const Layout layout = make_layout(options.spots, options.block_rows, options.block_columns,
                                    options.replicates, options.changes, random);
  if (layout.total_spots > kMaxSpots) {
    usage_error("the grid of whole blocks would hold more than " + std::to_string(kMaxSpots) +
                " spots");
  }
  std::error_code error;
  std::filesystem::create_directories(options.out, error);
  if (error) {
    std::cerr << "make_slides: cannot create the folder " << options.out << ": " << error.message()
              << "\n";
    return 1;
  }
  for (int slide = 1; slide <= options.files; ++slide) {
    const std::filesystem::path path =
        std::filesystem::path(options.out) / (slide_name(options.prefix, slide) + ".txt");
    const std::string text = slide_text(layout, options.effects, options.prefix, slide,
                                        options.crlf, random, effect_random);
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
      std::cerr << "make_slides: cannot write " << path.string() << "\n";
      return 1;
    }
  }
  if (!options.truth.empty()) {
    std::ofstream out(options.truth, std::ios::binary);
    out << truth_text(layout);
    out.close();
    if (!out) {
      std::cerr << "make_slides: cannot write " << options.truth << "\n";
      return 1;
    }
  }
  return 0;
}
