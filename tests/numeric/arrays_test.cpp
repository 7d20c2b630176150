#include <gtest/gtest.h>

#include <cstdlib>

#include "numeric/fatal_notice.hpp"
#include "numeric/numeric.hpp"

using testing::ExitedWithCode;

TEST(Arrays, VectorIsAddressedByItsOwnBoundsAndByAZeroBasedHandle) {
  DoubleVector v = dvector(1, 3);
  EXPECT_EQ(v.lowest(), 1);
  EXPECT_EQ(v.highest(), 3);
  v[1] = 10.0;
  v[2] = 20.0;
  v[3] = 30.0;

  DoubleVector tail = v.from(1);
  EXPECT_EQ(tail.lowest(), 0);
  EXPECT_EQ(tail.highest(), 2);
  EXPECT_EQ(tail[0], 10.0);
  EXPECT_EQ(tail[2], 30.0);
  tail[1] = 25.0;
  EXPECT_EQ(v[2], 25.0);
  EXPECT_EQ(v.from(3)[0], 30.0);
  release_dvector(v, 1, 3);
}

TEST(Arrays, EmptyRangesCanBeCreatedAndReleased) {
  DoubleVector v = dvector(1, 0);
  EXPECT_EQ(v.highest() - v.lowest() + 1, 0);
  release_dvector(v, 1, 0);

  IntVector counts = ivector(1, 0);
  release_ivector(counts, 1, 0);

  DoubleMatrix no_rows = dmatrix(1, 0, 1, 4);
  EXPECT_EQ(no_rows.row_table().highest(), 0);
  release_dmatrix(no_rows, 1, 0, 1, 4);

  DoubleMatrix empty_rows = dmatrix(1, 2, 1, 0);
  EXPECT_EQ(empty_rows[2].highest(), 0);
  release_dmatrix(empty_rows, 1, 2, 1, 0);
}

TEST(Arrays, CharacterMatrixRowsRunFromZero) {
  const int32_t files = 3;
  CharMatrix names = cmatrix(1, files, 0, 50);
  for (int32_t k = 1; k <= files; ++k) {
    EXPECT_EQ(names[k].lowest(), 0);
    EXPECT_EQ(names[k].highest(), 50);
    for (int32_t c = 0; c <= 50; ++c)
      names[k][c] = static_cast<char>('a' + k);
  }
  EXPECT_EQ(names[1][50], 'b');
  EXPECT_EQ(names[3][0], 'd');
  release_cmatrix(names, 1, files, 0, 50);
}

TEST(Arrays, MatrixRowsAreSeparateBlocks) {
  DoubleMatrix m = dmatrix(1, 2, 1, 3);
  for (int32_t i = 1; i <= 2; ++i) {
    for (int32_t j = 1; j <= 3; ++j)
      m[i][j] = 10.0 * i + j;
  }
  EXPECT_NE(m[1].block(), m[2].block());
  EXPECT_EQ(m[1][3], 13.0);
  EXPECT_EQ(m[2][1], 21.0);
  EXPECT_EQ(m[2].from(2)[1], 23.0);
  release_dmatrix(m, 1, 2, 1, 3);
  EXPECT_EQ(m.row_table().block(), nullptr);
}

TEST(ArraysDeathTest, NegativeCountsEndInTheAllocatorsMessage) {
  EXPECT_EXIT(cmatrix(1, -2, 0, 50), ExitedWithCode(1),
              fatal_notice("allocation failure 1 in cmatrix\\(\\)"));
  EXPECT_EXIT(dmatrix(1, 2, 5, 3), ExitedWithCode(1),
              fatal_notice("allocation failure 2 in dmatrix\\(\\)"));
  EXPECT_EXIT(ivector(1, -1), ExitedWithCode(1),
              fatal_notice("allocation failure in ivector\\(\\)"));
}

TEST(ArraysDeathTest, ImpossiblyLargeRequestsEndInTheAllocatorsMessage) {
  EXPECT_EXIT(dvector(1, int64_t{1} << 40), ExitedWithCode(1),
              fatal_notice("allocation failure in dvector\\(\\)"));
  EXPECT_EXIT(dmatrix(1, 99, 1, 2000000000), ExitedWithCode(1),
              fatal_notice("allocation failure 2 in dmatrix\\(\\)"));
  EXPECT_EXIT(cmatrix(1, int64_t{1} << 33, 0, 50), ExitedWithCode(1),
              fatal_notice("allocation failure 1 in cmatrix\\(\\)"));
}

#ifdef CORVANE_SANITIZED
#include <sys/wait.h>  // only the sanitizer build, which is POSIX, has this test

// Loses an array in a frame of its own: once it has returned, no copy of the pointer is left
// where the leak check looks, which an unoptimised build would keep in the caller's frame.
[[gnu::noinline]] static void lose_an_array() {
  DoubleMatrix lost = dmatrix(1, 2, 1, 3);
  lost = DoubleMatrix();
}

// The sanitizer build's tests run with leak detection on: an array that is never released makes
// the program that lost it fail at its exit, whatever its own status.
TEST(ArraysDeathTest, AnArrayNeverReleasedFailsTheProgramUnderTheLeakCheck) {
  EXPECT_EXIT(
      {
        lose_an_array();
        std::exit(0);
      },
      [](int status) { return !WIFEXITED(status) || WEXITSTATUS(status) != 0; },
      "LeakSanitizer: detected memory leaks");
}
#endif
