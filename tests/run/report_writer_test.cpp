#include "run/report_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "reports/report_test_support.hpp"
#include "run/fixed_point.hpp"

namespace {

std::string printf_text(const char* format, double value) {
  char text[400];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string printf_text(const char* format, const char* value) {
  char text[400];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string printf_text(const char* format, int value) {
  char text[400];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The numbers a report meets, with rounding ties, signed zeros and values near the ends of the
// range; the written file must hold exactly what printf writes for each.
TEST(ReportWriter, FixedPointIsWhatPrintfWrites) {
  const double samples[] = {
      0.0, -0.0, 1.0, -1.0, 0.5, 2.0 / 3.0, 0.0005, 0.0015, 0.0025, 1.0005, -0.0005, 0.0000005,
      -1e-7, 1e-7, 0.777778, 4.5, 1234567.891, 99.9995, 1e22, -1e300, 1.7976931348623157e308,
      4.9e-324, 0.1,
      // Exact binary ties at six and at three decimals, and values on both sides of 2^43.
      0.0078125, 0.0234375, -0.0078125, 1.0625, 1.1875, 8796093022207.9995, 8796093022208.0};
  ScratchDirectory scratch;
  ReportWriter out;
  ASSERT_TRUE(open_report(out, Console{}, "numbers.txt"));
  std::string expected;
  // Enough rounds that the text passes the buffer size several times.
  for (int round = 0; round < 6000; ++round) {
    for (double sample : samples) {
      double value = sample * (1.0 + round * 1e-3);
      append_fixed(out, value, 6);
      append_text(out, "|");
      append_fixed(out, value, 3, 4);
      append_text(out, "\n");
      expected += printf_text("%lf", value) + "|" + printf_text("%4.3lf", value) + "\n";
    }
  }
  close_report(out);
  give_outputs_their_names(Console{});
  ASSERT_GT(expected.size(), std::size_t{3} << 20);
  EXPECT_EQ(read_file("numbers.txt"), expected);
}

// Values whose product with 10^decimals, in doubles, ends in exactly one half although the exact
// product does not (the exact work decides them), their neighbours one unit on either side (the
// double product decides them), and values around 2^52 / 10^decimals, where the double product
// stops deciding.
TEST(ReportWriter, RoundingNearOneHalfIsWhatPrintfWrites) {
  ScratchDirectory scratch;
  ReportWriter out;
  ASSERT_TRUE(open_report(out, Console{}, "halves.txt"));
  std::string expected;
  int ending_in_one_half = 0;
  auto write_both = [&](double value) {
    append_fixed(out, value, 6);
    append_text(out, " ");
    append_fixed(out, value, 3);
    append_text(out, "\n");
    expected += printf_text("%lf", value) + " " + printf_text("%.3lf", value) + "\n";
  };
  for (double whole = 0.0; whole < 5e6; whole = std::floor(whole * 1.7) + 1.0) {
    for (double scale : {1e6, 1e3}) {
      const double value = (whole + 0.5) / scale;
      if (value * scale == whole + 0.5) ++ending_in_one_half;
      write_both(value);
      write_both(std::nextafter(value, 0.0));
      write_both(std::nextafter(value, 1e300));
      write_both(-value);
    }
  }
  for (double limit : {0x1p52 / 1e6, 0x1p52 / 1e3}) {
    double value = limit;
    for (int i = 0; i < 50; ++i)
      value = std::nextafter(value, 0.0);
    for (int i = 0; i < 100; ++i) {
      write_both(value);
      value = std::nextafter(value, 1e300);
    }
  }
  close_report(out);
  give_outputs_their_names(Console{});
  EXPECT_GT(ending_in_one_half, 20);
  EXPECT_EQ(read_file("halves.txt"), expected);
}

// Whole parts on both sides of every power of ten, where the digit count changes, with every number
// of decimals; a value just below a power of ten that rounds up to it gains its digit there. The
// powers reach past 2^43, where the text comes from to_chars.
TEST(ReportWriter, WholePartsAroundPowersOfTenAreWhatPrintfWrites) {
  ScratchDirectory scratch;
  ReportWriter out;
  ASSERT_TRUE(open_report(out, Console{}, "powers.txt"));
  std::string expected;
  for (double power = 1.0; power <= 1e17; power *= 10.0) {
    for (double value : {power - 1.0, power - 0.0000004, power - 0.0000006, power, power + 0.5,
                         std::nextafter(power, 0.0), -power}) {
      for (int decimals = 0; decimals <= kMaxDecimals; ++decimals) {
        append_fixed(out, value, decimals);
        append_text(out, "\n");
        const std::string format = "%." + std::to_string(decimals) + "lf";
        expected += printf_text(format.c_str(), value) + "\n";
      }
    }
  }
  close_report(out);
  give_outputs_their_names(Console{});
  EXPECT_NE(expected.find("\n1000.000000\n"), std::string::npos);
  EXPECT_NE(expected.find("\n999.999999\n"), std::string::npos);
  EXPECT_EQ(read_file("powers.txt"), expected);
}

TEST(ReportWriter, ValuesThatAreNotFinite) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  ScratchDirectory scratch;
  ReportWriter out;
  ASSERT_TRUE(open_report(out, Console{}, "odd.txt"));
  std::string expected;
  for (double value : {inf, -inf, nan, -nan}) {
    append_fixed(out, value, 6);
    append_text(out, "|");
    append_fixed(out, value, 3, 4);
    append_text(out, "|");
    expected += printf_text("%lf", value) + "|" + printf_text("%4.3lf", value) + "|";
  }
  close_report(out);
  give_outputs_their_names(Console{});
  // The reports read the same on every system: Windows's C library leaves out the sign of a NaN,
  // which the writer keeps.
  const std::string written = "inf| inf|-inf|-inf|nan| nan|-nan|-nan|";
  if (!kOnWindows) {
    EXPECT_EQ(expected, written);
  }
  EXPECT_EQ(read_file("odd.txt"), written);
}

TEST(ReportWriter, IntegersAndClippedTexts) {
  ScratchDirectory scratch;
  ReportWriter out;
  ASSERT_TRUE(open_report(out, Console{}, "small.txt"));
  std::string expected;
  for (int value : {0, 1, 12, 999, 1000, 123456, -5, -1234, std::numeric_limits<int>::min()}) {
    append_int(out, value);
    append_text(out, "|");
    append_int(out, value, 3);
    append_text(out, "|");
    expected += printf_text("%d", value) + "|" + printf_text("%3d", value) + "|";
  }
  // Channel and fluor fields end with their tab; an empty field is the tab alone.
  for (const char* field : {"Cy5\t", "Cyanine 5\t", "ab\t", "R\t", "\t", ""}) {
    append_text_clipped(out, field, 2, 3);
    append_text(out, "|");
    expected += printf_text("%2.3s", field) + "|";
  }
  close_report(out);
  give_outputs_their_names(Console{});
  EXPECT_EQ(read_file("small.txt"), expected);
  EXPECT_NE(expected.find("|  1|"), std::string::npos);
  EXPECT_NE(expected.find("|R\t| \t|  |"), std::string::npos);
}

TEST(ReportWriter, OpeningADirectoryFails) {
  ScratchDirectory scratch;
  std::filesystem::create_directory("taken.txt");
  ReportWriter out;
  EXPECT_FALSE(open_report(out, Console{}, "taken.txt"));
}

// A failure when a full buffer goes to the file, long before the close. The file is a device,
// written in place: it is never removed, nor the link that names it.
TEST(ReportWriterDeathTest, FailedWriteLeavesADevice) {
  if (kOnWindows)
    GTEST_SKIP() << "Windows has no device like /dev/full, on which every write fails";
  ScratchDirectory scratch;
  std::filesystem::create_symlink("/dev/full", "big.txt");
  EXPECT_EXIT(run_with_console_on_stderr([] {
                ReportWriter out;
                if (!open_report(out, Console{}, "big.txt")) std::exit(3);
                for (int i = 0; i < 1000000; ++i)
                  append_text(out, "some text\n");
                std::exit(4);
              }),
              testing::ExitedWithCode(1),
              "^can't write the data file <big.txt>: No space left on device\n"
              "press any key to exit the program\n$");
  EXPECT_TRUE(std::filesystem::is_symlink("big.txt"));
}

std::vector<std::string> names_here() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("."))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A report goes to a temporary file beside its name and replaces the earlier file only when the
// outputs are given their names; discarded, it leaves the earlier file as it was.
TEST(ReportWriter, ReportsTakeTheirNamesTogetherAtTheEnd) {
  ScratchDirectory scratch;
  { std::ofstream("a.txt") << "earlier a\n"; }
  ReportWriter a, b;
  ASSERT_TRUE(open_report(a, Console{}, "a.txt"));
  append_text(a, "new a\n");
  close_report(a);
  ASSERT_TRUE(open_report(b, Console{}, "b.txt"));
  append_text(b, "new b\n");
  close_report(b);
  EXPECT_EQ(read_file("a.txt"), "earlier a\n");
  EXPECT_EQ(names_here().size(), 3u);  // a.txt and the two temporary files
  give_outputs_their_names(Console{});
  EXPECT_EQ(read_file("a.txt"), "new a\n");
  EXPECT_EQ(read_file("b.txt"), "new b\n");
  EXPECT_EQ(names_here(), (std::vector<std::string>{"a.txt", "b.txt"}));

  ReportWriter again;
  ASSERT_TRUE(open_report(again, Console{}, "a.txt"));
  append_text(again, "never\n");
  close_report(again);
  discard_outputs();
  EXPECT_EQ(read_file("a.txt"), "new a\n");
  EXPECT_EQ(names_here(), (std::vector<std::string>{"a.txt", "b.txt"}));
}

}  // namespace
