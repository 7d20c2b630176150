// make_slides: writes realistic scanner result files for trying out and testing corvane.
//
// All slides share one array layout. Genes are printed as R consecutive replicate spots that
// share a true ratio of channel 2 to channel 1; most genes are unchanged, some go up or down
// threefold, some are too weak to rise above background, and a few spots on each slide are
// missing. The output depends only on the options: the random numbers come from our own
// generator and are drawn in a fixed order, so one seed always gives the same bytes.

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

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
    "The files are DIR/NAME01.txt, DIR/NAME02.txt, ... The blocks form a grid of ArrayRows x\n"
    "ArrayColumns blocks with ArrayColumns = ceil(sqrt(blocks)), so TotalSpots is S rounded up\n"
    "to that grid. The same options always give the same bytes.\n";

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
    const bool takes_value = option == "--files" || option == "--spots" || option == "--block" ||
                             option == "--replicates" || option == "--seed" || option == "--out" ||
                             option == "--prefix";
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
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse_options(argc, argv);
  Random random{options.seed};
  const Layout layout = make_layout(options.spots, options.block_rows, options.block_columns,
                                    options.replicates, random);
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
    const std::string text = slide_text(layout, options.prefix, slide, options.crlf, random);
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
      std::cerr << "make_slides: cannot write " << path.string() << "\n";
      return 1;
    }
  }
  return 0;
}
