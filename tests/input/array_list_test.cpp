// The array list (.gal): read in its ATF layout, and matched to a slide's spots place by place.
#include <string>
#include <vector>

#include "slide_test_support.hpp"

namespace {

using Strings = std::vector<std::string>;

// An array list of four places in two blocks, quoted as array lists often are.
Strings gal_lines() {
  return {"ATF\t1.0",
          "3\t5",
          "\"Type=GenePix ArrayList V1.0\"",
          "\"BlockCount=2\"",
          "\"Block1= 500, 500, 100, 2, 180, 1, 180\"",
          "\"Block\"\t\"Row\"\t\"Column\"\t\"ID\"\t\"Name\"",
          "1\t1\t1\tid1\tname 1",
          "1\t1\t2\tid2\t\"name 2\"",
          "2\t1\t1\tid3\tname 3",
          "2\t1\t2\tid4\tname 4"};
}

ArrayList list_from(const Strings& lines) {
  ResultFile file = result_file_from(joined(lines, "\r\n"));
  file.name = "list.gal";
  return read_array_list(file);
}

// A SPOT table whose four spots stand at the places of the list, in another order.
SlideTable spots_at_list_places() {
  return read_text(joined({"indexs\tgrid.r\tgrid.c\tspot.r\tspot.c\tGmean\tRmean\tmorphG\tmorphR",
                           "0\t1\t2\t1\t1\t1\t2\t3\t4", "1\t1\t1\t1\t2\t1\t2\t3\t4",
                           "2\t1\t1\t1\t1\t1\t2\t3\t4", "3\t1\t2\t1\t2\t1\t2\t3\t4"}),
                   SlideFormat::kSpot, {}, false);
}

std::string mismatch(const std::string& what) {
  return "\nthe array list list.gal does not match slide.spot: " + what +
         " (the list has 4 places, the file 4 spots)\npress any key to exit the program\n";
}

TEST(ArrayList, NamesEverySpotByItsPlace) {
  const ArrayList list = list_from(gal_lines());
  EXPECT_EQ(list.block, (std::vector<int32_t>{1, 1, 2, 2}));
  EXPECT_EQ(list.name[1], "name 2");
  SlideTable table = spots_at_list_places();
  apply_array_list(list, table, "slide.spot");
  EXPECT_EQ(table.id, (Strings{"id3", "id2", "id1", "id4"}));
  EXPECT_EQ(table.name, (Strings{"name 3", "name 2", "name 1", "name 4"}));
}

TEST(ArrayList, PlacesMustMatchOneToOne) {
  const ArrayList list = list_from(gal_lines());
  SlideTable table = spots_at_list_places();
  table.column[3] = 3;
  EXPECT_RUN_ENDS_WITH(apply_array_list(list, table, "slide.spot"),
                       mismatch("spot 4 at block 2, row 1, column 3 is not in the list"));
  table = spots_at_list_places();
  table.column[3] = 1;
  EXPECT_RUN_ENDS_WITH(apply_array_list(list, table, "slide.spot"),
                       mismatch("two spots stand at block 2, row 1, column 1"));
  Strings lines = gal_lines();
  lines[9] = "2\t1\t3\tid4\tname 4";
  table = spots_at_list_places();
  EXPECT_RUN_ENDS_WITH(apply_array_list(list_from(lines), table, "slide.spot"),
                       mismatch("spot 4 at block 2, row 1, column 2 is not in the list"));
  lines.push_back("2\t1\t2\tid5\tname 5");
  table.spots = 4;
  const ArrayList longer = list_from(lines);
  EXPECT_RUN_ENDS_WITH(apply_array_list(longer, table, "slide.spot"),
                       "\nthe array list list.gal does not match slide.spot: the list's block 2, "
                       "row 1, column 3 has no spot (the list has 5 places, the file 4 spots)\n"
                       "press any key to exit the program\n");
}

TEST(ArrayList, DamagedListsAreRefused) {
  Strings lines = gal_lines();
  lines[8] = "1\t1\t2\tid3\tname 3";
  EXPECT_RUN_ENDS_WITH(list_from(lines),
                       damaged("list.gal", 9,
                               "expected each place once, found block 1, row 1, column 2 again "
                               "(first on line 8)"));
  lines = gal_lines();
  lines[5] = "\"Block\"\t\"Row\"\t\"Column\"\t\"ID\"";
  EXPECT_RUN_ENDS_WITH(list_from(lines),
                       damaged("list.gal", 6,
                               "expected a column titled \"Name\", found none among the column "
                               "titles"));
  lines = gal_lines();
  lines[7] = "1\t1\tB\tid2\tname 2";
  EXPECT_RUN_ENDS_WITH(list_from(lines),
                       damaged("list.gal", 8,
                               "expected a whole number of at least 1 in column \"Column\", found "
                               "\"B\""));
  lines = gal_lines();
  lines[7] = "1\t1\t2\tid2";
  EXPECT_RUN_ENDS_WITH(
      list_from(lines),
      damaged("list.gal", 8, "expected 5 fields as the column titles on line 6 have, found 4"));
  EXPECT_RUN_ENDS_WITH(list_from(Strings(lines.begin(), lines.begin() + 6)),
                       damaged("list.gal", 7,
                               "expected the rows of the array list after the column titles on "
                               "line 6, found the end of the file"));
}

}  // namespace
