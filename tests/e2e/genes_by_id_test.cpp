// Runs on the formats that group spots by ID, through the real binary: the spot table names each
// spot's gene by the gene table's number, and a targets file of two samples with dye-swapped
// arrays gives the one-sample test that --dye-swap gives.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/binary_run.hpp"

namespace {

std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  std::string field;
  while (std::getline(stream, field, '\t'))
    fields.push_back(field);
  if (!line.empty() && line.back() == '\t') fields.push_back("");
  return fields;
}

// The rows of a tab-separated text, each split into fields, the heading first.
std::vector<std::vector<std::string>> rows_of(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::stringstream stream(text);
  std::string line;
  while (std::getline(stream, line))
    rows.push_back(fields_of(line));
  return rows;
}

// The results file's rows of features: the titles line begins with Block.
std::vector<std::vector<std::string>> feature_rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows = rows_of(text);
  std::size_t titles = 0;
  while (titles < rows.size() && (rows[titles].empty() || rows[titles][0] != "Block"))
    ++titles;
  return {rows.begin() + static_cast<long>(titles), rows.end()};
}

std::size_t column_of(const std::vector<std::string>& heading, const std::string& name) {
  for (std::size_t c = 0; c < heading.size(); ++c)
    if (heading[c] == name) return c;
  ADD_FAILURE() << "no column " << name;
  return 0;
}

}  // namespace

// Genes scattered over the array with 1 to 7 spots, controls and spots without an ID: the spot
// table's gene is the row of the gene table whose ID the spot carries, NA for a spot of no gene
// (its decision no_gene), and every slide lists the same genes.
TEST(GenesById, SpotTableNamesEachSpotsGeneByItsNumber) {
  ScratchFolder folder;
  ASSERT_EQ(folder
                .run_tool(CORVANE_MAKE_SLIDES,
                          "--format genepix --files 2 --spots 600 --seed 7 --scatter --uneven "
                          "--controls 0.05 --flags 0.05")
                .status,
            0);
  const BinaryRun run = folder.run_with_arguments(
      "-q --normalise none --genes genes.tsv --spots spots.tsv slide01.gpr slide02.gpr");
  ASSERT_EQ(run.status, 0) << run.errors;

  std::map<std::string, std::string> id_of_gene;  // gene number -> ID
  const auto genes = rows_of(folder.read("genes.tsv"));
  for (std::size_t row = 1; row < genes.size(); ++row)
    id_of_gene[genes[row][0]] = genes[row][1];

  const auto features = feature_rows(folder.read("slide01.gpr"));
  const std::size_t id_column = column_of(features[0], "ID");
  const auto spots = rows_of(folder.read("spots.tsv"));
  const std::size_t gene_column = column_of(spots[0], "gene");
  const std::size_t decision_column = column_of(spots[0], "decision");
  const std::size_t spot_count = features.size() - 1;
  ASSERT_EQ(spots.size(), 1 + 2 * spot_count);
  int without_gene = 0;
  for (std::size_t row = 1; row < spots.size(); ++row) {
    const std::string& id = features[(row - 1) % spot_count + 1][id_column];
    const std::string& gene = spots[row][gene_column];
    if (id.empty()) {
      EXPECT_EQ(gene, "NA") << "spot row " << row;
      EXPECT_EQ(spots[row][decision_column], "no_gene") << "spot row " << row;
      ++without_gene;
      continue;
    }
    ASSERT_EQ(id_of_gene.count(gene), 1u) << "spot row " << row << ": gene " << gene;
    EXPECT_EQ(id_of_gene[gene], id) << "spot row " << row;
  }
  EXPECT_GT(without_gene, 0);  // the set holds spots without an ID
}

// Slides 2 and 4 of two samples hybridised the other way round: the targets file that says so
// gives the gene table of --dye-swap 2,4, and --dye-swap beside such a file is still refused.
TEST(GenesById, TargetsOfTwoSamplesWithDyeSwapsGiveTheOneSampleTest) {
  ScratchFolder folder;
  ASSERT_EQ(folder
                .run_tool(CORVANE_MAKE_SLIDES,
                          "--format genepix --files 4 --spots 400 --seed 8 --dye-swap 2,4 "
                          "--targets targets.txt")
                .status,
            0);
  ASSERT_EQ(folder.read("targets.txt"),
            "FileName\tCy3\tCy5\nslide01.gpr\tfirst\tsecond\nslide02.gpr\tsecond\tfirst\n"
            "slide03.gpr\tfirst\tsecond\nslide04.gpr\tsecond\tfirst\n");
  const BinaryRun from_targets =
      folder.run_with_arguments("-q --targets targets.txt --genes targets.tsv");
  ASSERT_EQ(from_targets.status, 0) << from_targets.errors;
  const BinaryRun from_option = folder.run_with_arguments(
      "-q --dye-swap 2,4 --genes option.tsv slide01.gpr slide02.gpr slide03.gpr slide04.gpr");
  ASSERT_EQ(from_option.status, 0) << from_option.errors;
  EXPECT_EQ(folder.read("targets.tsv"), folder.read("option.tsv"));

  const BinaryRun both =
      folder.run_with_arguments("-q --targets targets.txt --dye-swap 2 --genes both.tsv");
  EXPECT_EQ(both.status, 2);
  EXPECT_NE(both.errors.find("the targets file tells which arrays are dye-swapped: --dye-swap "
                             "does not go with Cy3 and Cy5 columns"),
            std::string::npos)
      << both.errors;
}
