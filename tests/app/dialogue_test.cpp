// The dialogue through the real binary: every prompt and message byte for byte. The runs end at the
// first file, which is not a result file, so no report is written.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "app/dialogue.hpp"
#include "support/binary_run.hpp"

namespace {

const std::string kCountPrompt = "Input the number of data files you want to merge together:  ";
const std::string kNotInteger = "Invalid Input! You are expected to enter a integer!\n\n";
const std::string kReplicatePrompt = "\n Input the number of replicated spots in each file:  ";
const std::string kNotPositive =
    "\n Invalid Input! You are expected to enter a positive integer!\n\n"
    "Input the number of replicated spots in each slides:  ";
const std::string kNamesPrompt =
    "\n Input the file names(no space allowed  within a filename):  \n";
const std::string kEnded = "\nThe input ended before the question was answered.\n";

// The message for a plain text file in none of the formats Corvane reads, whose first line shows
// as given.
std::string not_readable(const std::string& name, const std::string& first_line) {
  return "\n " + name + " is in none of the formats that Corvane reads; its first line holds\n   " +
         first_line +
         "\n Corvane reads the Vantar scanner's ASCII export (first word User), GenePix\n"
         " results (ATF on line 1, a Type=GenePix Results record), Agilent Feature\n"
         " Extraction text (a TYPE line, then FEPARAMS), SPOT tables (headings indexs,\n"
         " grid.r, ..., Rmean, Gmean) and, with --format columns, a tab-separated table\n"
         " whose columns --columns names.\n\npress any key to exit the program\n";
}

TEST(LeadingPrefix, IntegersTakeSignAndDigitsOnly) {
  EXPECT_EQ(leading_integer("3x"), 3);
  EXPECT_EQ(leading_integer("2.9"), 2);
  EXPECT_EQ(leading_integer("x3"), 0);
  EXPECT_EQ(leading_integer("-2"), -2);
  EXPECT_EQ(leading_integer("+7"), 7);
  EXPECT_EQ(leading_integer("-"), 0);
  EXPECT_EQ(leading_integer("99999999999"), 2147483647);
  EXPECT_EQ(leading_integer("-99999999999"), -2147483647 - 1);
}

TEST(LeadingPrefix, RealsTakeTheLongestDecimalPrefix) {
  EXPECT_EQ(leading_real("1.5"), 1.5);
  EXPECT_EQ(leading_real("abc"), 0.0);
  EXPECT_EQ(leading_real(".5x"), 0.5);
  EXPECT_EQ(leading_real("4.0001"), 4.0001);
  EXPECT_EQ(leading_real("-0.5"), -0.5);
  EXPECT_EQ(leading_real("2e"), 2.0);
  EXPECT_EQ(leading_real("2e-1z"), 0.2);
  EXPECT_EQ(leading_real("inf"), 0.0);  // only decimal numbers count
  EXPECT_EQ(leading_real("."), 0.0);
  EXPECT_EQ(leading_real("1e999"), HUGE_VAL);
}

TEST(Dialogue, RefusedAnswersAreAskedAgain) {
  ScratchFolder folder;
  folder.write("note.txt", "hello\n");
  folder.write("other.txt", "hello\n");
  BinaryRun run = folder.run("0 abc\n2 -4\n0\n2.9\nnote.txt\nnote.txt\nmissing.txt\nother.txt\n");
  EXPECT_EQ(run.console,
            kBanner + kCountPrompt + kNotInteger + kCountPrompt + kNotInteger + kCountPrompt +
                kReplicatePrompt + kNotPositive + kNotPositive + kNamesPrompt +
                "\n file name 1:  "
                "\n file name 2:  "
                "note.txt has been used by file name 1\n Please enter the file name again\n"
                "\n file name 2:  "
                "can't open  file: missing.txt\n Please enter the file name again\n"
                "\n file name 2:  "
                "\n\nThe Files you want to merge are\n"
                "  File name 1:\t note.txt\n"
                "  File name 2:\t other.txt\n\n\n" +
                not_readable("note.txt", "\"hello\""));
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(folder.exists("data.txt"));
  EXPECT_FALSE(folder.exists("merge.txt"));
}

TEST(Dialogue, MissingNamesAndCaseSensitiveRepeats) {
  ScratchFolder folder;
  folder.write("a.txt", "x\n");
  // Names differing only in case are different names. Windows ignores the case of file names,
  // so A.txt opens a.txt there and is left out.
  const std::string other_case = kOnWindows ? "" : " A.txt";
  const std::string other_case_refused =
      kOnWindows ? ""
                 : "\n file name 1:  can't open  file: A.txt\n Please enter the file name again\n";
  BinaryRun run = folder.run("2 1 gone gone" + other_case + " a.txt gone a.txt\n");
  EXPECT_EQ(run.console,
            kBanner + kCountPrompt + kReplicatePrompt + kNamesPrompt +
                "\n file name 1:  can't open  file: gone\n Please enter the file name again\n"
                "\n file name 1:  can't open  file: gone\n Please enter the file name again\n" +
                other_case_refused +
                "\n file name 1:  "
                "\n file name 2:  can't open  file: gone\n Please enter the file name again\n"
                "\n file name 2:  a.txt has been used by file name 1\n"
                " Please enter the file name again\n"
                "\n file name 2:  " +
                kEnded);
  EXPECT_EQ(run.status, 1);
}

// A folder, a device and a named pipe are no result files: each is refused like a name that does
// not open, without reading the device or waiting for a writer of the pipe.
TEST(Dialogue, NamesThatAreNotRegularFilesAreAskedAgain) {
  ScratchFolder folder;
  folder.write("a.txt", "x\n");
  std::filesystem::create_directory(folder.path() / "dir");
  NamedPipe pipe(folder.path());
  ASSERT_TRUE(pipe.made());
  // Devices: /dev/zero (which has no end) on POSIX, NUL and the console CON on Windows.
  const std::vector<std::string> refused =
      kOnWindows ? std::vector<std::string>{"dir", "NUL", "CON", pipe.name()}
                 : std::vector<std::string>{"dir", "/dev/zero", pipe.name()};
  std::string answers = "1 1";
  std::string asked_again;
  for (const std::string& name : refused) {
    answers += " " + name;
    asked_again +=
        "\n file name 1:  can't open  file: " + name + "\n Please enter the file name again\n";
  }
  BinaryRun run = folder.run(answers + " a.txt\n");
  EXPECT_EQ(run.console, kBanner + kCountPrompt + kReplicatePrompt + kNamesPrompt + asked_again +
                             "\n file name 1:  "
                             "\n\nThe Files you want to merge are\n  File name 1:\t a.txt\n\n\n" +
                             not_readable("a.txt", "\"x\""));
  EXPECT_EQ(run.status, 1);
}

TEST(Dialogue, BoundsOfCountAndNameAreRefused) {
  ScratchFolder folder;
  std::string long_name(51, 'n');
  folder.write(long_name, "x\n");
  folder.write("b.txt", "x\n");
  BinaryRun run = folder.run("100 1 1 " + long_name + " b.txt\n");
  EXPECT_EQ(run.console, kBanner + kCountPrompt +
                             "Invalid Input! At most 99 data files can be merged together!\n\n" +
                             kCountPrompt + kReplicatePrompt + kNamesPrompt +
                             "\n file name 1:  the file name " + long_name +
                             " is longer than 50 characters\n Please enter the file name again\n"
                             "\n file name 1:  "
                             "\n\nThe Files you want to merge are\n  File name 1:\t b.txt\n\n\n" +
                             not_readable("b.txt", "\"x\""));
  EXPECT_EQ(run.status, 1);
}

TEST(Dialogue, EndOfInputEndsTheRunAtOnce) {
  ScratchFolder folder;
  auto start = std::chrono::steady_clock::now();
  BinaryRun run = folder.run("3\n");
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.console, kBanner + kCountPrompt + kReplicatePrompt + kEnded);
  EXPECT_EQ(run.status, 1);
  EXPECT_LT(elapsed, std::chrono::seconds(5));

  run = folder.run("");
  EXPECT_EQ(run.console, kBanner + kCountPrompt + kEnded);
  EXPECT_EQ(run.status, 1);
}

TEST(Dialogue, NegativeFileCountEndsInTheAllocationFailure) {
  ScratchFolder folder;
  BinaryRun run = folder.run("-2\n1\n");
  EXPECT_EQ(run.console, kBanner + kCountPrompt + kReplicatePrompt);
  EXPECT_EQ(run.errors,
            "Numerical Recipes run-time error...\nallocation failure 1 in cmatrix()\n"
            "...now exiting to system...\n");
  EXPECT_EQ(run.status, 1);
}

}  // namespace
