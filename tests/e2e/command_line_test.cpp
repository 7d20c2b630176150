// Runs from the command line through the real binary: the same reports as a dialogue run given the
// same answers, messages on standard error only, usage errors with status 2 and no report touched.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/binary_run.hpp"
#include "support/result_file_text.hpp"

namespace {

const std::string kExamples = CORVANE_TEST_DATA "/../examples";
const std::string kTryHelp = "Try 'corvane --help'.\n";

void copy_examples(const ScratchFolder& folder) {
  for (const char* name : {"slide01.txt", "slide02.txt", "slide03.txt", "slide04.txt"})
    std::filesystem::copy_file(kExamples + "/" + name, folder.path() / name);
}

// A dialogue run and a command-line run of the same merge in two folders holding the same slides
// write the same reports; the command line prints the header echo and the gene count on standard
// error, exactly as the dialogue prints them between its questions.
void expect_same_reports(const std::vector<std::string>& names, int replicates, int ratio,
                         const std::string& quality,
                         const std::function<void(const ScratchFolder&)>& fill) {
  ScratchFolder asked, given;
  fill(asked);
  fill(given);
  std::string answers = std::to_string(names.size()) + "\n" + std::to_string(replicates) + "\n";
  std::string files;
  for (const std::string& name : names) {
    answers += name + "\n";
    files += " " + name;
  }
  answers += std::to_string(ratio) + "\n" + quality + "\n";
  BinaryRun dialogue = asked.run(answers);
  ASSERT_EQ(dialogue.status, 0) << dialogue.console;
  BinaryRun command = given.run_with_arguments("-r " + std::to_string(replicates) +
                                               " --ratio=" + std::to_string(ratio) + " --quality " +
                                               quality + files);
  ASSERT_EQ(command.status, 0) << command.errors;
  EXPECT_EQ(given.read("data.txt"), asked.read("data.txt"));
  EXPECT_EQ(given.read("merge.txt"), asked.read("merge.txt"));
  EXPECT_EQ(command.console, "");
  // The echo stands in the dialogue's transcript from "ArrayRows" to the ratio question, and the
  // gene count after the quality question.
  const std::size_t echo_start = dialogue.console.find("ArrayRows = ");
  const std::size_t echo_end = dialogue.console.find("Which kind of ratio");
  const std::size_t count_start = dialogue.console.find("GeneNumber = ");
  const std::size_t count_end = dialogue.console.find('\n', count_start) + 1;
  EXPECT_EQ(command.errors, dialogue.console.substr(echo_start, echo_end - echo_start) +
                                dialogue.console.substr(count_start, count_end - count_start));
}

TEST(CommandLine, ExamplesGiveTheReportsOfTheDialogueForBothRatios) {
  const std::vector<std::string> names = {"slide01.txt", "slide02.txt", "slide03.txt",
                                          "slide04.txt"};
  expect_same_reports(names, 4, 1, "1.0", copy_examples);
  expect_same_reports(names, 4, 2, "1.0", copy_examples);
}

TEST(CommandLine, GeneratedSlidesGiveTheReportsOfTheDialogue) {
  auto generate = [](const ScratchFolder& folder) {
    ASSERT_EQ(folder
                  .run_tool(CORVANE_MAKE_SLIDES,
                            "--files 3 --spots 600 --replicates 3 --seed 7 --crlf --prefix g")
                  .status,
              0);
  };
  const std::vector<std::string> names = {"g01.txt", "g02.txt", "g03.txt"};
  expect_same_reports(names, 3, 1, "2.5", generate);
  expect_same_reports(names, 3, 2, "0", generate);
}

TEST(CommandLine, QuietOutputFolderAndLongNames) {
  ScratchFolder folder;
  copy_examples(folder);
  const std::string long_name(70, 'n');
  std::filesystem::copy_file(kExamples + "/slide02.txt", folder.path() / long_name);
  std::filesystem::create_directory(folder.path() / "out");
  BinaryRun run = folder.run_with_arguments("-q -r4 -o out -- slide01.txt " + long_name);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.console + run.errors, "");
  EXPECT_FALSE(folder.exists("data.txt"));
  EXPECT_FALSE(folder.exists("merge.txt"));
  // merge.txt names the files as they were given, whatever their length.
  const std::string merge = folder.read("out/merge.txt");
  EXPECT_NE(merge.find("\t" + long_name), std::string::npos);
  EXPECT_NE(folder.read("out/data.txt").find("Files:\t  " + long_name + "\n"), std::string::npos);
}

TEST(CommandLine, UsageErrorsEndWithStatus2AndTouchNoReport) {
  ScratchFolder folder;
  copy_examples(folder);
  folder.write("data.txt", "earlier\n");
  std::filesystem::create_directory(folder.path() / "dir");
  NamedPipe pipe(folder.path());
  ASSERT_TRUE(pipe.made());
  // A device: /dev/zero on POSIX, NUL on Windows.
  const std::string device = kOnWindows ? "NUL" : "/dev/zero";
  const std::string cases[][2] = {
      {"-x slide01.txt", "unknown option '-x'"},
      {"slide01.txt -r", "option --replicates needs a value"},
      {"-r 0 slide01.txt",
       "option --replicates takes the replicate spots per gene, a whole number of 1 or more, "
       "not '0'"},
      {"-r 4x slide01.txt",
       "option --replicates takes the replicate spots per gene, a whole number of 1 or more, "
       "not '4x'"},
      {"-r 4 --ratio 3 slide01.txt",
       "option --ratio takes 1 (channel 2 over channel 1) or 2 (channel 1 over channel 2), not "
       "'3'"},
      {"-r 4 -c 4.0001 slide01.txt",
       "option --quality takes a number from 0.0 to 4.0, not '4.0001'"},
      {"-r 4 --quality=-0.5 slide01.txt",
       "option --quality takes a number from 0.0 to 4.0, not '-0.5'"},
      {"-r 4 -c abc slide01.txt", "option --quality takes a number from 0.0 to 4.0, not 'abc'"},
      {"slide01.txt", "option --replicates is required with files: the replicate spots per gene"},
      {"-r 4", "no result file given: name 1 to 99 result files"},
      {"-r 4 slide01.txt slide02.txt slide01.txt",
       "result file 'slide01.txt' is named twice, as file 1 and file 3: name each file once"},
      {"-r 4 gone.txt",
       "cannot open result file 'gone.txt' (No such file or directory): a readable regular file "
       "is expected"},
      {"-r 4 dir",
       "cannot open result file 'dir' (not a regular file): a readable regular file is expected"},
      {"-r 4 " + device, "cannot open result file '" + device +
                             "' (not a regular file): a readable regular file is expected"},
      {"-r 4 " + pipe.name(), "cannot open result file '" + pipe.name() +
                                  "' (not a regular file): a readable regular file is expected"},
      {"-r 4 -o nowhere slide01.txt",
       "output folder 'nowhere' does not exist: an existing folder is expected"},
      {"-r 4 --normalise lowess slide01.txt",
       "option --normalise takes total, none, median, loess or printtip-loess, not 'lowess'"},
      {"-r 4 --dye-swap 0 slide01.txt",
       "option --dye-swap takes slide numbers from 1 separated by commas, such as 2,4, not '0'"},
      {"-r 4 --dye-swap 1, slide01.txt",
       "option --dye-swap takes slide numbers from 1 separated by commas, such as 2,4, not '1,'"},
      {"-r 4 --dye-swap 3 slide01.txt slide02.txt",
       "option --dye-swap names slide 3, but 2 result files are given: name slides 1 to 2"},
      {"-r 4 --dye-swap 2,1,2 slide01.txt slide02.txt",
       "option --dye-swap names slide 2 twice: name each swapped slide once"},
      {"--rep 4 slide01.txt", "option '--rep' is ambiguous: it could be --replicates or --report"},
      {"-r 4 --quiet=yes slide01.txt", "option --quiet takes no value"},
      {"-qx -r 4 slide01.txt", "unknown option '-x'"},
      {"-r 4 slide01.txt ./slide01.txt",
       "result files 'slide01.txt' (file 1) and './slide01.txt' (file 2) are the same file: "
       "name each file once"},
      {"-r 4 slide01.txt slide02.txt linked.txt",
       "result files 'slide01.txt' (file 1) and 'linked.txt' (file 3) are the same file: name "
       "each file once"},
      {"-r 4 dir/../slide02.txt slide02.txt",
       "result files 'dir/../slide02.txt' (file 1) and 'slide02.txt' (file 2) are the same file: "
       "name each file once"},
  };
  std::filesystem::create_hard_link(folder.path() / "slide01.txt", folder.path() / "linked.txt");
  for (const auto& [arguments, message] : cases) {
    BinaryRun run = folder.run_with_arguments(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.errors, "corvane: " + message + "\n" + kTryHelp) << arguments;
    EXPECT_EQ(run.console, "") << arguments;
  }
  EXPECT_EQ(folder.read("data.txt"), "earlier\n");
  EXPECT_FALSE(folder.exists("merge.txt"));

  // More than 99 files; every failing file is named, each on its own line.
  std::string hundred;
  for (int k = 0; k < 100; ++k)
    hundred += " slide01.txt";
  BinaryRun run = folder.run_with_arguments("-r 4" + hundred);
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.errors.starts_with(
      "corvane: 100 result files given: at most 99 can be merged together\n"
      "corvane: result file 'slide01.txt' is named twice, as file 1 and file 2"));
  run = folder.run_with_arguments("-r 4 gone1 gone2");
  EXPECT_EQ(run.errors,
            "corvane: cannot open result file 'gone1' (No such file or directory): a readable "
            "regular file is expected\n"
            "corvane: cannot open result file 'gone2' (No such file or directory): a readable "
            "regular file is expected\n" +
                kTryHelp);
}

TEST(CommandLine, FailuresOfTheRunGoToStandardErrorWithoutAKeyWait) {
  ScratchFolder folder;
  copy_examples(folder);
  folder.write("other.txt", "Name\tValue\n");
  BinaryRun run = folder.run_with_arguments("-q -r 4 slide01.txt other.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(run.errors,
            "\n other.txt is in none of the formats that Corvane reads; its first line holds\n"
            "   \"Name\\tValue\"\n"
            " Corvane reads the Vantar scanner's ASCII export (first word User), GenePix\n"
            " results (ATF on line 1, a Type=GenePix Results record), Agilent Feature\n"
            " Extraction text (a TYPE line, then FEPARAMS), SPOT tables (headings indexs,\n"
            " grid.r, ..., Rmean, Gmean) and, with --format columns, a tab-separated table\n"
            " whose columns --columns names.\n\n");
  EXPECT_FALSE(folder.exists("data.txt"));

  // A folder in the place of merge.txt is found before anything is read.
  std::filesystem::create_directory(folder.path() / "merge.txt");
  run = folder.run_with_arguments("--quiet --replicates=4 slide01.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.errors,
            "corvane: output merge.txt ('merge.txt') is a folder: a file, or no file, is expected "
            "there\n" +
                kTryHelp);
  EXPECT_FALSE(folder.exists("data.txt"));
}

// Short options bundle, and a long option may be shortened to any prefix that no other option
// shares; both give the reports of the spelled-out options. A replicate count above the spots of
// a slide merges no gene: the run ends well, with a warning.
TEST(CommandLine, BundledAndShortenedOptionsAndNoWholeGene) {
  ScratchFolder spelled, bundled, shortened;
  for (const ScratchFolder* folder : {&spelled, &bundled, &shortened})
    copy_examples(*folder);
  ASSERT_EQ(spelled.run_with_arguments("-q -r 4 --ratio 2 --normalise median slide01.txt").status,
            0);
  ASSERT_EQ(bundled.run_with_arguments("-qr4 --ratio=2 --normalise=median slide01.txt").status, 0);
  ASSERT_EQ(shortened.run_with_arguments("--qui --repl 4 --rat 2 --norm median slide01.txt").status,
            0);
  for (const ScratchFolder* folder : {&bundled, &shortened}) {
    EXPECT_EQ(folder->read("data.txt"), spelled.read("data.txt"));
    EXPECT_EQ(folder->read("merge.txt"), spelled.read("merge.txt"));
  }

  // The example slides have 256 spots.
  BinaryRun run = spelled.run_with_arguments("-q -r 257 slide01.txt slide02.txt");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errors,
            "corvane: warning: --replicates 257 is more than the 256 spots of a slide, so no spot "
            "belongs to a whole gene and merge.txt lists no genes\n");
  EXPECT_TRUE(spelled.read("merge.txt").ends_with("Outliers Found\n"));
}

TEST(CommandLine, HelpAndVersion) {
  ScratchFolder folder;
  for (const char* arguments : {"--help", "-h", "-r 4 --help slide01.txt"}) {
    BinaryRun run = folder.run_with_arguments(arguments);
    EXPECT_EQ(run.status, 0) << arguments;
    EXPECT_TRUE(run.console.starts_with("Usage: corvane\n")) << arguments;
    for (const char* option : {"--replicates", "--ratio", "--quality", "--output-dir", "--quiet",
                               "--help", "--version", "Example:"})
      EXPECT_NE(run.console.find(option), std::string::npos) << option;
  }
  for (const char* arguments : {"--version", "-V"}) {
    BinaryRun run = folder.run_with_arguments(arguments);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.console, "corvane " CORVANE_VERSION "\n");
  }
}

}  // namespace
