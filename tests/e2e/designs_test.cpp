// Runs with a design through the real binary: the targets file, a reference sample, a design file
// and contrasts, worked out by hand on slides whose log ratios are whole numbers, and the usage
// errors of designs that the options do not make.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/binary_run.hpp"
#include "support/genepix_text.hpp"

namespace {

// One spot per gene X, Y, Z, no background, green 800: red is 800 * 2^M for the gene's M.
std::string slide_of(const std::vector<int>& m) {
  std::vector<Feature> features;
  const char* ids[] = {"X", "Y", "Z"};
  for (std::size_t g = 0; g < 3; ++g) {
    features.push_back({1, static_cast<int>(g) + 1, 1, std::string("gene ") + ids[g], ids[g],
                        static_cast<int>(std::lround(800 * std::exp2(m[g]))), 800, 0, 0, 0});
  }
  return genepix_file(features);
}

// Four arrays: ref against A (then the dyes swapped), ref against B (then swapped). Per gene the
// array M values are X 1, -3, 2, -2; Y 0, 0, -1, 1; Z 2, -2, 1, -1.
class Designs : public testing::Test {
 protected:
  void SetUp() override {
    folder_.write("a1.gpr", slide_of({1, 0, 2}));
    folder_.write("a2.gpr", slide_of({-3, 0, -2}));
    folder_.write("a3.gpr", slide_of({2, -1, 1}));
    folder_.write("a4.gpr", slide_of({-2, 1, -1}));
    folder_.write("targets.txt",
                  "# arrays of the experiment\nFileName\tCy3\tCy5\tDate\n"
                  "a1.gpr\tref\tA\t1 May\na2.gpr\tA\tref\t1 May\na3.gpr\tref\tB\t2 May\n"
                  "a4.gpr\tB\tref\t2 May  # swapped\n");
  }

  // The value of the named column in the gene table's row of gene g (1, 2, 3).
  double value(const std::string& table, int g, const std::string& column) {
    const std::vector<std::string> lines = lines_of(folder_.read(table));
    const std::vector<std::string> heading = fields_of(lines[0]);
    for (std::size_t c = 0; c < heading.size(); ++c) {
      if (heading[c] == column)
        return std::strtod(fields_of(lines[static_cast<std::size_t>(g)])[c].c_str(), nullptr);
    }
    ADD_FAILURE() << "no column " << column;
    return NAN;
  }

  ScratchFolder folder_;
};

TEST_F(Designs, CommonReferenceCoefficientsAndContrasts) {
  BinaryRun run = folder_.run_with_arguments(
      "-q --targets targets.txt --reference ref --background none --normalise none "
      "--contrast AminusB=A-B --contrast mean=(A+B)/2 --genes g.tsv");
  ASSERT_EQ(run.status, 0) << run.errors;
  // A: the mean of the A arrays' M turned by the dyes, (1 + 3) / 2 for X; B likewise.
  const double a[] = {2, 0, 2}, b[] = {2, -1, 1};
  for (int g = 1; g <= 3; ++g) {
    SCOPED_TRACE(g);
    EXPECT_NEAR(value("g.tsv", g, "AminusB.logFC"), a[g - 1] - b[g - 1], 1e-13);
    EXPECT_NEAR(value("g.tsv", g, "mean.logFC"), (a[g - 1] + b[g - 1]) / 2, 1e-13);
  }
  // AveExpr: log2 800 and half the mean of the gene's M: X -0.5, Y 0, Z 0.
  EXPECT_NEAR(value("g.tsv", 1, "AveExpr"), std::log2(800.0) - 0.25, 1e-13);
  EXPECT_NEAR(value("g.tsv", 2, "AveExpr"), std::log2(800.0), 1e-13);
  const std::string heading = lines_of(folder_.read("g.tsv"))[0];
  EXPECT_NE(heading.find("\tAveExpr\tAminusB.logFC\tAminusB.t\tAminusB.p_value\tAminusB.q_value\t"
                         "AminusB.B\tmean.logFC\tmean.t\tmean.p_value\tmean.q_value\tmean.B\tF\t"
                         "F.p_value"),
            std::string::npos)
      << heading;

  // The same design from a design file gives the same table.
  folder_.write("design.txt", "\tA\tB\na1\t1\t0\na2\t-1\t0\na3\t0\t1\na4\t0\t-1\n");
  run = folder_.run_with_arguments(
      "-q --design design.txt --background none --normalise none --contrast AminusB=A-B "
      "--contrast mean=(A+B)/2 --genes d.tsv a1.gpr a2.gpr a3.gpr a4.gpr");
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(folder_.read("d.tsv"), folder_.read("g.tsv"));
}

// Every array holds ref and one other sample: without a reference the targets of two samples make
// the one-sample test, the arrays with ref in Cy5 swapped, as --dye-swap makes it.
TEST_F(Designs, TwoSamplesWithoutAReferenceAreTheOneSampleTest) {
  folder_.write("pair.txt",
                "FileName\tCy3\tCy5\na1.gpr\tref\tA\na2.gpr\tA\tref\na3.gpr\tref\tA\n"
                "a4.gpr\tA\tref\n");
  BinaryRun from_targets = folder_.run_with_arguments("-q --targets pair.txt --genes t.tsv");
  ASSERT_EQ(from_targets.status, 0) << from_targets.errors;
  BinaryRun swapped =
      folder_.run_with_arguments("-q --dye-swap 2,4 --genes s.tsv a1.gpr a2.gpr a3.gpr a4.gpr");
  ASSERT_EQ(swapped.status, 0) << swapped.errors;
  EXPECT_EQ(folder_.read("t.tsv"), folder_.read("s.tsv"));
  EXPECT_NE(lines_of(folder_.read("t.tsv"))[0].find("mod_p_value"), std::string::npos);
}

TEST_F(Designs, OptionsThatMakeNoDesignAreUsageErrors) {
  folder_.write("dependent.txt", "A\tB\tC\n1\t0\t1\n-1\t0\t-1\n0\t1\t1\n0\t-1\t-1\n");
  folder_.write("ragged.txt", "FileName\tCy3\tCy5\na1.gpr\tref\n");
  folder_.write("no_file.txt", "File\tCy3\tCy5\na1.gpr\tref\tA\n");
  folder_.write("empty.txt", "FileName\tCy3\tCy5\na1.gpr\t\tA\n");
  const std::string files = " a1.gpr a2.gpr a3.gpr a4.gpr";
  const std::pair<std::string, std::string> cases[] = {
      {"--targets targets.txt",
       "the arrays of the targets file hold the samples 'A', 'B', 'ref': name the reference "
       "sample with --reference NAME, or give the design with --design FILE"},
      {"--targets targets.txt --reference C",
       "the reference sample C is not among the arrays' samples (A, B, ref)"},
      {"--contrast d=A-B" + files,
       "option --contrast needs a design with coefficients to contrast: a targets file with a "
       "reference (--reference) or a design file (--design)"},
      {"--reference ref" + files,
       "option --reference needs the samples of the arrays: a targets file (--targets) with Cy3 "
       "and Cy5 columns"},
      {"--targets targets.txt --reference ref --dye-swap 2",
       "option --dye-swap does not go with a design, which takes every array's log2 ratio of "
       "channel 2 (Cy5) over channel 1 (Cy3) and holds the dye swaps itself"},
      {"--targets targets.txt" + files,
       "the targets file 'targets.txt' names the result files: give them there, not on the "
       "command line"},
      {"--targets ragged.txt",
       "the targets file 'ragged.txt', line 2: 2 fields where the heading "
       "has 3"},
      {"--targets no_file.txt",
       "the targets file 'no_file.txt' has no column FileName: its heading must name the column of "
       "the result files"},
      {"--targets empty.txt",
       "the targets file 'empty.txt', line 2: the Cy3 sample is empty: name the sample in every "
       "channel"},
      {"--targets targets.txt --reference ref --contrast d=A-D",
       "contrast \"d=A-D\", character 5: no coefficient is named D (the coefficients are A, B)"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(arguments);
    BinaryRun run = folder_.run_with_arguments("-q " + arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.errors, "corvane: " + message + "\nTry 'corvane --help'.\n");
  }
  BinaryRun run = folder_.run_with_arguments("-q --design dependent.txt" + files);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("C = A + B"), std::string::npos) << run.errors;
  EXPECT_FALSE(folder_.exists("genes.tsv"));
}

}  // namespace
