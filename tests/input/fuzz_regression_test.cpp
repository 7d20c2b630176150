// Inputs that the fuzzer of the result-file reader (fuzz/) once reported, kept in fuzz/regressions
// and read again here the way the fuzzer reads them: as files 1 and 2 of a run, and as file 2
// after the valid first file fuzz/seeds/two_spots.txt. Each read must end normally, or with the
// reader's own exit for a damaged file: its message, then status 1.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <utility>

#include "input/input.hpp"
#include "run/run.hpp"
#include "support/test_platform.hpp"

namespace {

const std::filesystem::path kRegressionFolder = CORVANE_TEST_DATA "/../fuzz/regressions";
// Named from the regression folder, where the reads run.
const char* const kValidFirstFile = "../seeds/two_spots.txt";

// What a normal read prints last.
const char* const kReadToTheEnd = "read to the end\n";

struct KeptInput {
  const char* file;
  // The end of what is printed when the input is files 1 and 2, and when it is file 2 after the
  // valid first file: kReadToTheEnd, or the damaged-file message and the exit line.
  const char* ending_as_both_files;
  const char* ending_after_valid_file;
};

const KeptInput kKeptInputs[] = {
    // A zero byte inside a channel field would cut the printed field short and drop its tab, so
    // the file is refused as damaged. As a later file its header is not read, and its spot table
    // is out of step.
    {"zero_byte_in_channel_field.txt",
     "\nthe data file zero_byte_in_channel_field.txt is damaged at line 31: expected text without "
     "zero bytes (field 3 of channel line 2)\npress any key to exit the program\n",
     "\nthe data file zero_byte_in_channel_field.txt is damaged at line 42: expected an integer "
     "(column 1 of spot row 1), found \"Number\"\npress any key to exit the program\n"},
};

// The reader's steps of a run of two files, in the run driver's order, with the answers of the
// dialogue fixed (ratio 1, C = 1.0). Standard output goes to standard error, where the death test
// sees it, and standard input is at its end, so the key wait of an early exit returns at once.
[[noreturn]] void read_two_files(const char* first, const char* second) {
  show_output_and_end_input();
  std::filesystem::current_path(kRegressionFolder);

  Run run;
  run.options.FileCount = 2;
  run.options.ReplicateCount = 1;
  run.options.FileNames = cmatrix(1, 2, 0, MAX_NAME_LENGTH);
  std::strcpy(run.options.FileNames[1].block(), first);
  std::strcpy(run.options.FileNames[2].block(), second);
  run.slides.first_file = open_result_file(Console{}, run.options.FileNames[1].block(), 1);
  read_result_header(run);
  run.options.RatioChoice = 1;
  run.options.QualityConstant = 1.0;
  seek_spot_table(run);

  create_spot_arrays(run);
  read_spot_tables(run);

  std::fputs(kReadToTheEnd, stdout);
  std::fflush(stdout);
  std::exit(0);
}

// The death test's output ends with `ending`: what a read prints before its end is of no concern
// here.
class EndsWith : public testing::MatcherInterface<const std::string&> {
 public:
  explicit EndsWith(std::string ending) : ending_(std::move(ending)) {}
  bool MatchAndExplain(const std::string& output, testing::MatchResultListener*) const override {
    return output.size() >= ending_.size() &&
           output.compare(output.size() - ending_.size(), ending_.size(), ending_) == 0;
  }
  void DescribeTo(std::ostream* os) const override { *os << "ends with \"" << ending_ << '"'; }

 private:
  std::string ending_;
};

testing::Matcher<const std::string&> ends_with(const char* ending) {
  return testing::MakeMatcher(new EndsWith(ending));
}

int expected_status(const char* ending) {
  return std::strcmp(ending, kReadToTheEnd) == 0 ? 0 : 1;
}

TEST(FuzzRegressionDeathTest, KeptInputsEndNormallyOrAsDamagedFiles) {
  for (const KeptInput& input : kKeptInputs) {
    SCOPED_TRACE(input.file);
    EXPECT_EXIT(read_two_files(input.file, input.file),
                testing::ExitedWithCode(expected_status(input.ending_as_both_files)),
                ends_with(input.ending_as_both_files));
    EXPECT_EXIT(read_two_files(kValidFirstFile, input.file),
                testing::ExitedWithCode(expected_status(input.ending_after_valid_file)),
                ends_with(input.ending_after_valid_file));
  }
}

TEST(FuzzRegressionTest, EveryKeptInputHasItsExpectedEnding) {
  std::set<std::string> listed;
  for (const KeptInput& input : kKeptInputs)
    listed.insert(input.file);
  for (const auto& entry : std::filesystem::directory_iterator(kRegressionFolder)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(listed.count(name) == 1) << name << " is kept but not listed in kKeptInputs";
    // The run holds file names in rows of MAX_NAME_LENGTH characters.
    EXPECT_LE(name.size(), static_cast<std::size_t>(MAX_NAME_LENGTH)) << name;
  }
}

}  // namespace
