// The real arrays of shared/realdata: the two GenePix results files, and the four swirl SPOT
// tables named by fish.gal. The values expected were read by R from the same columns:
//   g <- read.delim("genepix/dummy_GSM734833_PA41992_-_AD1.gpr", skip=33, check.names=FALSE)
//   s <- read.delim("swirl/swirl.1.spot"); gal <- read.delim("swirl/fish.gal", skip=21)
//   sprintf("%.17g", g[["F635 Mean"]][100]) and so on for each value below.
#include <filesystem>
#include <string>

#include "slide_test_support.hpp"

namespace {

const std::string kRealData = CORVANE_REALDATA;

// Loads a real file as the program does, its format told by its content.
class RealFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kRealData)) GTEST_SKIP() << "no real data at " << kRealData;
  }

  static SlideTable read(const std::string& name, bool with_annotations = true) {
    ResultFile file;
    const SlideFormat format =
        open_slide_file(Console{}, (kRealData + "/" + name).c_str(), 1, ReadChoices{}, file);
    return read_slide_table(file, format, ReadChoices{}, with_annotations);
  }

  static ArrayList fish_gal() {
    ResultFile file;
    load_or_refuse(Console{}, (kRealData + "/swirl/fish.gal").c_str(), 1, file);
    return read_array_list(file);
  }
};

TEST_F(RealFilesTest, GenePixResults) {
  const SlideTable ad1 = read("genepix/dummy_GSM734833_PA41992_-_AD1.gpr");
  EXPECT_EQ(ad1.format, SlideFormat::kGenePix);
  ASSERT_EQ(ad1.spots, 200);
  // Spots 1, 2, 100 and 200 (counted from 1): R, G, Rb, Gb.
  const std::size_t spots[] = {0, 1, 99, 199};
  const double r[] = {5250, 5745, 876, 851}, g[] = {32113, 35876, 550, 520};
  const double rb[] = {49, 50, 49, 55}, gb[] = {497, 507, 446, 453};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(ad1.r[spots[i]], r[i]);
    EXPECT_EQ(ad1.g[spots[i]], g[i]);
    EXPECT_EQ(ad1.rb[spots[i]], rb[i]);
    EXPECT_EQ(ad1.gb[spots[i]], gb[i]);
  }
  EXPECT_EQ(ad1.block[99], 1);
  EXPECT_EQ(ad1.row[99], 10);
  EXPECT_EQ(ad1.column[99], 10);
  EXPECT_EQ(ad1.id[99], "HA20251~B01R10C10");
  EXPECT_EQ(ad1.name[99], "Hs~Ref:NM_004448.1~N/A~RFU:8841.37");
  EXPECT_EQ(ad1.block[199], 2);
  // sum(g$Flags < 0) is 20; the two blocks lie side by side.
  EXPECT_EQ(std::count(ad1.flagged.begin(), ad1.flagged.end(), 1), 20);
  EXPECT_EQ(ad1.block_rows, 1);
  EXPECT_EQ(ad1.block_columns, 2);
  EXPECT_EQ(ad1.header.front(), (std::pair<std::string, std::string>{"Type", "GenePix Results 3"}));

  const SlideTable co13 = read("genepix/dummy_GSM735203_PA42023_-_CO13.gpr");
  ASSERT_EQ(co13.spots, 200);
  EXPECT_EQ(co13.r[56], 472);
  EXPECT_EQ(co13.g[56], 686);
  EXPECT_EQ(co13.rb[56], 70);
  EXPECT_EQ(co13.gb[56], 558);
  EXPECT_EQ(co13.id[56], "HA20251~B01R06C07");
  EXPECT_EQ(co13.flagged[199], 1);  // Flags -50
  EXPECT_EQ(std::count(co13.flagged.begin(), co13.flagged.end(), 1), 30);
}

TEST_F(RealFilesTest, SwirlSpotTablesNamedByTheirArrayList) {
  const ArrayList gal = fish_gal();
  ASSERT_EQ(gal.block.size(), 8448u);
  EXPECT_EQ(gal.id[3999], "fb66d08");
  EXPECT_EQ(gal.name[3999], "13-J16");

  // Spots 1, 4000 and 8448 of each slide: Rmean, Gmean, morphR, morphG.
  const double r[4][3] = {{19538.470000000001, 4810.7719999999999, 5700.6000000000004},
                          {16138.719999999999, 5744.9679999999998, 6742.3549999999996},
                          {2895.1599999999999, 2639.9780000000001, 4273.1279999999997},
                          {14054.540000000001, 3040.8960000000002, 2367.4560000000001}};
  const double g[4][3] = {{22028.259999999998, 8207.7199999999993, 8641.857},
                          {19278.77, 5662.857, 7588.4470000000001},
                          {2727.5599999999999, 3960.761, 5630.6859999999997},
                          {19930.650000000001, 3895.4169999999999, 4190.4809999999998}};
  const double rb[4][3] = {{174, 116, 102}, {136, 132, 83}, {82, 77, 126}, {48, 65, 57}};
  const double gb[4][3] = {{182, 131, 169}, {175, 151, 147}, {86, 105, 122}, {97, 101, 111}};
  const std::size_t spots[] = {0, 3999, 8447};
  for (int slide = 1; slide <= 4; ++slide) {
    SCOPED_TRACE(slide);
    const std::string name = "swirl/swirl." + std::to_string(slide) + ".spot";
    SlideTable table = read(name, false);
    EXPECT_EQ(table.format, SlideFormat::kSpot);
    ASSERT_EQ(table.spots, 8448);
    EXPECT_EQ(table.block_rows, 4);
    EXPECT_EQ(table.block_columns, 4);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(table.r[spots[i]], r[slide - 1][i]);
      EXPECT_EQ(table.g[spots[i]], g[slide - 1][i]);
      EXPECT_EQ(table.rb[spots[i]], rb[slide - 1][i]);
      EXPECT_EQ(table.gb[spots[i]], gb[slide - 1][i]);
    }
    // Spot 4000 stands at grid.r 2, grid.c 4: block 8, where the list has it.
    EXPECT_EQ(table.block[3999], 8);
    EXPECT_EQ(table.row[3999], 13);
    EXPECT_EQ(table.column[3999], 16);
    EXPECT_EQ(std::count(table.flagged.begin(), table.flagged.end(), 1), 0);
    // The whole list matches the slide's spots, place by place.
    apply_array_list(gal, table, name);
    EXPECT_EQ(table.id[0], "control");
    EXPECT_EQ(table.name[0], "geno1");
    EXPECT_EQ(table.id[3999], "fb66d08");
    EXPECT_EQ(table.name[8447], "27-P24");
  }
}

}  // namespace
