// The slide generator's simulation options through the real tool: without them it writes the
// slides it always wrote; the truth file lists what the slides hold; each effect changes the
// ratio of the nets by the size it is given, against the same slides made without it (the effects
// draw from random numbers of their own); and the common-reference experiment holds each
// sample's true levels, as its targets file says which sample is in which dye.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/binary_run.hpp"

namespace {

const std::string kExamples = CORVANE_TEST_DATA "/../examples";

int make_slides(const ScratchFolder& folder, const std::string& out, const std::string& options) {
  return folder.run_tool(CORVANE_MAKE_SLIDES, "--out " + out + " " + options).status;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator))
    parts.push_back(part);
  return parts;
}

// One row of a slide's spot table, with the nets as the file gives them.
struct SlideSpot {
  std::string line;
  std::pair<int, int> block;  // array row, array column
  std::string name;
  double net1, net2, background1, background2;
  bool saturated;
};

std::vector<SlideSpot> read_spots(const ScratchFolder& folder, const std::string& name) {
  const std::vector<std::string> lines = split(folder.read(name), '\n');
  std::size_t first = 0;
  for (std::size_t i = 40; i < lines.size(); ++i) {
    if (lines[i].starts_with("Number\tArray Row\tArray Column\tRow\tColumn\tName")) first = i + 1;
  }
  std::vector<SlideSpot> spots;
  for (std::size_t i = first; i < lines.size(); ++i) {
    const std::vector<std::string> field = split(lines[i], '\t');
    const double intensity1 = std::stod(field[8]), intensity2 = std::stod(field[12]);
    const double background1 = std::stod(field[9]), background2 = std::stod(field[13]);
    spots.push_back({lines[i],
                     {std::stoi(field[1]), std::stoi(field[2])},
                     field[5],
                     intensity1 - background1,
                     intensity2 - background2,
                     background1,
                     background2,
                     intensity1 >= 65535.0 || intensity2 >= 65535.0});
  }
  return spots;
}

// A spot bright enough that its nets are exact to the file's two decimals in a share of 1e-4, and
// not one of the faint spots, which carry no signal of the gene.
bool well_measured(const SlideSpot& spot) {
  return !spot.saturated && spot.net1 > spot.background1 && spot.net2 > spot.background2 &&
         spot.net1 > 100.0 && spot.net2 > 100.0;
}

struct TruthRow {
  std::string name;
  double log2_ratio;
  bool changed;
};

std::vector<TruthRow> read_truth(const ScratchFolder& folder, const std::string& name) {
  const std::vector<std::string> lines = split(folder.read(name), '\n');
  EXPECT_EQ(lines.at(0), "gene\tname\ttrue_log2_ratio\tchanged");
  std::vector<TruthRow> rows;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> field = split(lines[i], '\t');
    EXPECT_EQ(field.at(0), std::to_string(i));
    rows.push_back({field.at(1), std::stod(field.at(2)), field.at(3) == "yes"});
    EXPECT_TRUE(field[3] == "yes" || field[3] == "no");
  }
  return rows;
}

double standard_deviation(const std::vector<double>& values) {
  double sum = 0.0, squares = 0.0;
  for (double v : values)
    sum += v;
  const double mean = sum / static_cast<double>(values.size());
  for (double v : values)
    squares += (v - mean) * (v - mean);
  return std::sqrt(squares / static_cast<double>(values.size() - 1));
}

// The examples are make_slides' defaults; their README lists the true ratios and the odd names.
TEST(MakeSlides, DefaultsStillWriteTheExampleSlidesWithTheirTruth) {
  ScratchFolder folder;
  const std::string examples = "--files 4 --spots 256 --replicates 4 --seed 1";
  ASSERT_EQ(make_slides(folder, "plain", examples + " --truth truth.tsv"), 0);
  ASSERT_EQ(
      make_slides(folder, "given",
                  examples + " --changed 0.12 --fold 3 --slide-sd 0 --dye-bias 0 --print-tip-sd 0 "
                             "--missing 0.01 --badly-printed 0.02 --outliers 0.03"),
      0);
  ScratchFolder kept;
  for (const char* name : {"slide01.txt", "slide02.txt", "slide03.txt", "slide04.txt"}) {
    std::filesystem::copy_file(kExamples + "/" + name, kept.path() / name);
    EXPECT_EQ(folder.read("plain/" + std::string(name)), kept.read(name)) << name;
    EXPECT_EQ(folder.read("given/" + std::string(name)), kept.read(name)) << name;
  }

  const std::string up = "1.584962500721156", down = "-1.5849625007211563";
  std::map<int, std::string> changes = {{17, up}, {39, up}, {59, up}, {45, up}};
  for (int gene : {4, 16, 32, 35, 36, 38, 49, 56})
    changes[gene] = down;
  const std::map<int, std::string> names = {
      {5, "GENE0005 clone 30"}, {12, ""}, {30, "GENE0030 clone 12"}, {45, ""}};
  std::string expected = "gene\tname\ttrue_log2_ratio\tchanged\n";
  for (int gene = 1; gene <= 64; ++gene) {
    char name[16];
    std::snprintf(name, sizeof name, "GENE%04d", gene);
    const bool changed = changes.count(gene) == 1;
    expected += std::to_string(gene) + "\t" + (names.count(gene) ? names.at(gene) : name) + "\t" +
                (changed ? changes[gene] : "0") + (changed ? "\tyes\n" : "\tno\n");
  }
  EXPECT_EQ(folder.read("truth.tsv"), expected);
}

TEST(MakeSlides, TruthFileHoldsTheGenesOfTheSlidesWithTheShareAndFoldAsked) {
  ScratchFolder folder;
  ASSERT_EQ(make_slides(folder, ".",
                        "--files 1 --spots 9216 --replicates 4 --changed 0.1 --fold 2 "
                        "--truth truth.tsv"),
            0);
  const std::vector<TruthRow> truth = read_truth(folder, "truth.tsv");
  const std::vector<SlideSpot> spots = read_spots(folder, "slide01.txt");
  ASSERT_EQ(truth.size(), 2304u);
  ASSERT_EQ(spots.size(), 9216u);
  int up = 0, down = 0;
  for (std::size_t g = 0; g < truth.size(); ++g) {
    up += truth[g].log2_ratio == 1.0;
    down += truth[g].log2_ratio == -1.0;
    EXPECT_EQ(truth[g].changed, truth[g].log2_ratio != 0.0);
    for (std::size_t s = 4 * g; s < 4 * g + 4; ++s)
      EXPECT_EQ(spots[s].name, truth[g].name);
  }
  EXPECT_EQ(std::count_if(truth.begin(), truth.end(), [](const TruthRow& r) { return r.changed; }),
            up + down);
  // 230 changed genes are expected of 2304, half of them up: a binomial spread of about 15.
  EXPECT_NEAR(up + down, 230, 45);
  EXPECT_NEAR(up, 115, 32);

  // A last gene with fewer spots than the replicates is listed too.
  ASSERT_EQ(make_slides(folder, "short", "--files 1 --spots 10 --block 2x5 --truth short.tsv"), 0);
  EXPECT_EQ(read_truth(folder, "short.tsv").size(), 3u);
}

// On a swapped slide channel 1 holds the second sample and channel 2 the first: a changed gene's
// net 1 is multiplied by its true ratio r and net 2 divided by it; nothing else moves.
TEST(MakeSlides, DyeSwapExchangesTheSamplesOnTheNamedSlidesOnly) {
  ScratchFolder folder;
  const std::string options = "--files 3 --spots 2304 --changed 0.3 --seed 5 --truth truth.tsv";
  ASSERT_EQ(make_slides(folder, "plain", options), 0);
  ASSERT_EQ(make_slides(folder, "swapped", options + " --dye-swap 2"), 0);
  EXPECT_EQ(folder.read("plain/slide01.txt"), folder.read("swapped/slide01.txt"));
  EXPECT_EQ(folder.read("plain/slide03.txt"), folder.read("swapped/slide03.txt"));
  const std::vector<TruthRow> truth = read_truth(folder, "truth.tsv");
  const std::vector<SlideSpot> plain = read_spots(folder, "plain/slide02.txt");
  const std::vector<SlideSpot> swapped = read_spots(folder, "swapped/slide02.txt");
  ASSERT_EQ(plain.size(), swapped.size());
  int changed_rows = 0, exchanged = 0;
  for (std::size_t s = 0; s < plain.size(); ++s) {
    SCOPED_TRACE("spot " + std::to_string(s + 1));
    const TruthRow& gene = truth[s / 4];
    if (!gene.changed) {
      EXPECT_EQ(swapped[s].line, plain[s].line);
      continue;
    }
    ++changed_rows;
    // Faint and missing spots, and those of genes too weak to show, carry no sample.
    if (swapped[s].line == plain[s].line) continue;
    if (plain[s].saturated || swapped[s].saturated) continue;
    // Each net is exact to 0.01, the two decimals of its intensity and background.
    const double r = std::exp2(gene.log2_ratio);
    EXPECT_NEAR(swapped[s].net1, plain[s].net1 * r, 0.01 + 0.01 * r) << plain[s].line;
    EXPECT_NEAR(swapped[s].net2 * r, plain[s].net2, 0.01 + 0.01 * r) << plain[s].line;
    ++exchanged;
  }
  EXPECT_GT(exchanged, 0.8 * changed_rows);
}

// The log2 change of the ratio net 2 / net 1 that an effect brings to every well-measured spot
// of an unchanged gene, against the same slides without it. An effect of the dyes moves net 2
// alone; the slide offset of a gene moves both samples, half each way, keeping their product.
struct Shift {
  int slide;
  std::size_t spot;
  std::pair<int, int> block;
  double log2_net1;  // without the effect
  double log2_change;
};

std::vector<Shift> shifts_of_effect(const std::string& effect, bool both_samples_move) {
  ScratchFolder folder;
  const std::string options = "--files 3 --spots 2304 --seed 3 --truth truth.tsv";
  EXPECT_EQ(make_slides(folder, "plain", options), 0);
  EXPECT_EQ(make_slides(folder, "effect", options + " " + effect), 0);
  const std::vector<TruthRow> truth = read_truth(folder, "truth.tsv");
  std::vector<Shift> shifts;
  for (int slide = 1; slide <= 3; ++slide) {
    const std::string name = "/slide0" + std::to_string(slide) + ".txt";
    const std::vector<SlideSpot> plain = read_spots(folder, "plain" + name);
    const std::vector<SlideSpot> changed = read_spots(folder, "effect" + name);
    for (std::size_t s = 0; s < plain.size(); ++s) {
      if (!both_samples_move) {
        EXPECT_EQ(changed[s].net1, plain[s].net1) << plain[s].line;
      }
      if (truth[s / 4].changed || !well_measured(plain[s]) || changed[s].saturated) continue;
      const double change1 = std::log2(changed[s].net1 / plain[s].net1);
      const double change2 = std::log2(changed[s].net2 / plain[s].net2);
      if (both_samples_move) {
        EXPECT_NEAR(change1, -change2, 1e-3) << plain[s].line;
      }
      shifts.push_back({slide, s, plain[s].block, std::log2(plain[s].net1), change2 - change1});
    }
  }
  EXPECT_GT(shifts.size(), 5000u);
  return shifts;
}

// Every shift of a group (a gene or a block on one slide) is the same: the group's offset. The
// offsets of all groups.
template <typename Key>
std::vector<double> group_offsets(const std::vector<Shift>& shifts, Key key) {
  std::map<std::pair<int, decltype(key(shifts[0]))>, double> offset_of;
  for (const Shift& shift : shifts) {
    const auto [place, added] = offset_of.try_emplace({shift.slide, key(shift)}, shift.log2_change);
    EXPECT_NEAR(shift.log2_change, place->second, 2e-3);
  }
  std::vector<double> offsets;
  for (const auto& [group, offset] : offset_of)
    offsets.push_back(offset);
  return offsets;
}

TEST(MakeSlides, SlideEffectsMoveTheRatioBySizesOfTheirOwn) {
  // Each gene moves by its own normal offset on each slide: about 1,400 offsets of SD 0.5.
  const std::vector<double> gene_offsets = group_offsets(shifts_of_effect("--slide-sd 0.5", true),
                                                         [](const Shift& s) { return s.spot / 4; });
  EXPECT_GT(gene_offsets.size(), 1200u);
  EXPECT_NEAR(standard_deviation(gene_offsets), 0.5, 0.05);

  // Each block of 8 x 8 spots on each slide: 3 x 36 offsets of SD 0.5.
  const std::vector<double> block_offsets = group_offsets(
      shifts_of_effect("--print-tip-sd 0.5", false), [](const Shift& s) { return s.block; });
  EXPECT_EQ(block_offsets.size(), 108u);
  EXPECT_NEAR(standard_deviation(block_offsets), 0.5, 0.12);

  // The dye bias X / (1 + 2^(A - 10)), with A the mean log2 signal, here log2 net 1 (which holds
  // a log-normal noise of SD 0.17 in log2, hence the tolerance): near X at faint spots, near 0 at
  // bright ones.
  double faintest = 0.0, brightest = 1.0;
  for (const Shift& shift : shifts_of_effect("--dye-bias 1", false)) {
    EXPECT_NEAR(shift.log2_change, 1.0 / (1.0 + std::exp2(shift.log2_net1 - 10.0)), 0.15);
    faintest = std::max(faintest, shift.log2_change);
    brightest = std::min(brightest, shift.log2_change);
  }
  EXPECT_GT(faintest, 0.8);
  EXPECT_LT(brightest, 0.1);
}

// FNV-1a, 64 bits: a checksum of a file's bytes.
std::uint64_t checksum(const std::string& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

// The checksums were taken of the files that make_slides wrote before it learnt the other formats
// (the same on Linux and under Wine); every effect and every layout option in use.
TEST(MakeSlides, ScannerFilesAreThoseWrittenBeforeTheOtherFormats) {
  ScratchFolder folder;
  ASSERT_EQ(make_slides(folder, "b",
                        "--files 3 --spots 2304 --seed 5 --dye-swap 2 --slide-sd 0.5 --dye-bias 1 "
                        "--print-tip-sd 0.3 --crlf --changed 0.3 --fold 2 --missing 0.05 "
                        "--badly-printed 0.1 --outliers 0.1 --block 6x7 --replicates 3 "
                        "--truth b.tsv --prefix x"),
            0);
  ASSERT_EQ(make_slides(folder, "c", "--files 2 --spots 10 --block 2x5 --seed 77 --truth c.tsv"),
            0);
  const std::map<std::string, std::uint64_t> expected = {
      {"b.tsv", 0x3ca5c2b8bbe4e759ULL},        {"b/x01.txt", 0x0a36b87cb9c47db0ULL},
      {"b/x02.txt", 0xaeb29b96a55337d7ULL},    {"b/x03.txt", 0xa1725b1212f892eaULL},
      {"c.tsv", 0x11b0b26e098496d8ULL},        {"c/slide01.txt", 0x3fa11e44a2ef965cULL},
      {"c/slide02.txt", 0x961b5c15bb17fff4ULL}};
  for (const auto& [name, sum] : expected)
    EXPECT_EQ(checksum(folder.read_bytes(name)), sum) << name;
}

// Seven slides of three samples against the reference: each sample on two slides, the second
// dye-swapped, and the first sample again; the names relative to the targets file's folder.
TEST(MakeSlides, CommonReferenceTargetsSayWhichSampleIsInWhichDye) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.path() / "sets");
  ASSERT_EQ(make_slides(folder, "slides",
                        "--files 7 --samples ref,A,B,C --targets sets/targets.txt --format "
                        "genepix --gzip"),
            0);
  EXPECT_EQ(folder.read("sets/targets.txt"),
            "FileName\tCy3\tCy5\n"
            "../slides/slide01.gpr.gz\tref\tA\n"
            "../slides/slide02.gpr.gz\tref\tB\n"
            "../slides/slide03.gpr.gz\tref\tC\n"
            "../slides/slide04.gpr.gz\tA\tref\n"
            "../slides/slide05.gpr.gz\tB\tref\n"
            "../slides/slide06.gpr.gz\tC\tref\n"
            "../slides/slide07.gpr.gz\tref\tA\n");
  // The two-sample design names its samples first and second.
  ASSERT_EQ(make_slides(folder, ".", "--files 3 --dye-swap 2 --targets targets.txt"), 0);
  EXPECT_EQ(folder.read("targets.txt"),
            "FileName\tCy3\tCy5\nslide01.txt\tfirst\tsecond\nslide02.txt\tsecond\tfirst\n"
            "slide03.txt\tfirst\tsecond\n");
}

// Each well-measured spot's log2 ratio of Cy5 over Cy3 (net 2 over net 1) is the difference of
// the true levels of its two samples, but for the slide's dye balance (the median over the
// unchanged genes) and a noise of SD about 0.25.
TEST(MakeSlides, CommonReferenceSlidesHoldEachSamplesTrueLevels) {
  ScratchFolder folder;
  ASSERT_EQ(make_slides(folder, ".",
                        "--files 6 --spots 4608 --samples ref,A,B,C --changed 0.3 --fold 4 "
                        "--targets targets.txt --truth truth.tsv --seed 11"),
            0);
  const std::vector<std::string> truth_lines = split(folder.read("truth.tsv"), '\n');
  EXPECT_EQ(truth_lines.at(0), "gene\tname\tref\tA\tB\tC\tchanged");
  std::vector<std::map<std::string, double>> level_of;  // by gene less 1, by sample
  int changed = 0;
  for (std::size_t i = 1; i < truth_lines.size(); ++i) {
    const std::vector<std::string> field = split(truth_lines[i], '\t');
    level_of.push_back({{"ref", std::stod(field.at(2))},
                        {"A", std::stod(field.at(3))},
                        {"B", std::stod(field.at(4))},
                        {"C", std::stod(field.at(5))}});
    int samples_changed = 0;
    for (const auto& [sample, level] : level_of.back()) {
      EXPECT_TRUE(level == 0.0 || level == 2.0 || level == -2.0) << truth_lines[i];
      samples_changed += level != 0.0;
    }
    EXPECT_EQ(level_of.back()["ref"], 0.0);
    EXPECT_EQ(field.at(6), samples_changed > 0 ? "yes" : "no") << truth_lines[i];
    changed += samples_changed > 0;
  }
  ASSERT_EQ(level_of.size(), 1152u);
  EXPECT_NEAR(changed, 0.3 * 1152, 50);

  const std::vector<std::string> targets = split(folder.read("targets.txt"), '\n');
  for (int slide = 1; slide <= 6; ++slide) {
    SCOPED_TRACE("slide " + std::to_string(slide));
    const std::vector<std::string> target =
        split(targets.at(static_cast<std::size_t>(slide)), '\t');
    const std::vector<SlideSpot> spots = read_spots(folder, target.at(0));
    std::vector<double> unchanged, departures;
    for (std::size_t s = 0; s < spots.size(); ++s) {
      if (!well_measured(spots[s])) continue;
      std::map<std::string, double>& levels = level_of[s / 4];
      const double m = std::log2(spots[s].net2 / spots[s].net1);
      const double expected = levels[target.at(2)] - levels[target.at(1)];
      (expected == 0.0 ? unchanged : departures).push_back(expected == 0.0 ? m : m - expected);
    }
    std::sort(unchanged.begin(), unchanged.end());
    const double balance = unchanged[unchanged.size() / 2];
    int near = 0;
    for (const double departure : departures)
      near += std::abs(departure - balance) < 0.75;
    EXPECT_GT(departures.size(), 100u);
    EXPECT_GT(near, 0.9 * static_cast<double>(departures.size()));
  }
}

}  // namespace
