// The options' rule (one value given once, a list added up), the number of threads, and a
// replicate count far above the spots of a slide, through the real binary.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/binary_run.hpp"
#include "support/count_of.hpp"

namespace {

namespace fs = std::filesystem;

const std::string kExamples = CORVANE_TEST_DATA "/../examples/";
const std::string kTryHelp = "Try 'corvane --help'.\n";
const std::string kSlides = " slide01.txt slide02.txt slide03.txt slide04.txt";

void copy_examples(const ScratchFolder& folder) {
  for (const char* name : {"slide01.txt", "slide02.txt", "slide03.txt", "slide04.txt"})
    fs::copy_file(kExamples + name, folder.path() / name);
}

// An option of one value given twice is a usage error that names both values, whichever way it
// is spelled; a list option adds up; a switch may be repeated.
TEST(OptionRule, OneValueOnceAListAddsUp) {
  ScratchFolder folder;
  copy_examples(folder);
  const std::pair<std::string, std::string> cases[] = {
      {"-r 4 -r 5", "option --replicates is given twice, as '4' and '5': give it once"},
      {"-r 4 --replicates=4", "option --replicates is given twice, as '4' and '4': give it once"},
      {"-r 4 --normalise loess --norm median",
       "option --normalise is given twice, as 'loess' and 'median': give it once"},
      {"-r 4 --ratio 1 --ratio 2", "option --ratio is given twice, as '1' and '2': give it once"},
      {"-r 4 -c 1 --quality 2", "option --quality is given twice, as '1' and '2': give it once"},
      {"-r 4 -o . -o ..", "option --output-dir is given twice, as '.' and '..': give it once"},
      {"-r 4 --genes a --genes b", "option --genes is given twice, as 'a' and 'b': give it once"},
      {"-r 4 --spots a --spots b", "option --spots is given twice, as 'a' and 'b': give it once"},
      {"-r 4 --report a --report b",
       "option --report is given twice, as 'a' and 'b': give it once"},
      {"-r 4 -t 2 --threads 3", "option --threads is given twice, as '2' and '3': give it once"},
  };
  for (const auto& [arguments, message] : cases) {
    const BinaryRun run = folder.run_with_arguments(arguments + kSlides);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.errors, "corvane: " + message + "\n" + kTryHelp) << arguments;
  }
  EXPECT_FALSE(folder.exists("data.txt"));

  // --dye-swap 2 --dye-swap 4 is --dye-swap 2,4; -q twice is -q.
  ScratchFolder listed;
  copy_examples(listed);
  ASSERT_EQ(listed.run_with_arguments("-q -r 4 --dye-swap 2,4 --genes g.tsv" + kSlides).status, 0);
  const BinaryRun run =
      folder.run_with_arguments("-q -q -r 4 --dye-swap 2 --dye-swap 4 --genes g.tsv" + kSlides);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errors, "");
  for (const char* name : {"data.txt", "merge.txt", "g.tsv"})
    EXPECT_EQ(folder.read_bytes(name), listed.read_bytes(name)) << name;
}

// Many bad dye-swap entries give one line for the slides beyond the files and one for the repeats.
TEST(OptionRule, DyeSwapProblemsTakeOneLineEach) {
  ScratchFolder folder;
  copy_examples(folder);
  std::string beyond;
  // 3,000 of them: a Windows command line holds at most 32,767 characters.
  for (int slide = 5; slide < 3005; ++slide)
    beyond += (slide == 5 ? "" : ",") + std::to_string(slide);
  const BinaryRun run = folder.run_with_arguments("-q -r 4 --dye-swap " + beyond +
                                                  " --dye-swap 1,1,1,2,2,7 --dye-swap 5" + kSlides);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.errors,
            "corvane: option --dye-swap names slides 5, 6, 7, 8, 9, 10, 11, 12, ... (3,000 in "
            "all), but 4 result files are given: name slides 1 to 4\n"
            "corvane: option --dye-swap names slides 1, 2, 5 and 7 more than once: name each "
            "swapped slide once\n" +
                kTryHelp);
  const BinaryRun few =
      folder.run_with_arguments("-q -r 4 --dye-swap 6,3,5 slide01.txt slide02.txt");
  EXPECT_EQ(few.errors,
            "corvane: option --dye-swap names slides 3, 5 and 6, but 2 result files are given: "
            "name slides 1 to 2\n" +
                kTryHelp);
}

// The outputs are the same bytes for any number of threads, with loess normalisation and every
// output; a number of threads that is not one is a usage error.
TEST(Threads, OutputsAreTheSameForAnyNumber) {
  ScratchFolder one;
  copy_examples(one);
  const std::string options =
      "-q -r 4 --normalise loess --dye-swap 3 --genes g.tsv --spots s.tsv "
      "--report r.html" +
      kSlides;
  ASSERT_EQ(one.run_with_arguments("-t 1 " + options).status, 0);
  for (const char* threads : {"2", "7"}) {
    ScratchFolder many;
    copy_examples(many);
    const BinaryRun run =
        many.run_with_arguments(std::string("--threads ") + threads + " " + options);
    ASSERT_EQ(run.status, 0) << run.errors;
    for (const char* name : {"data.txt", "merge.txt", "g.tsv", "s.tsv"})
      EXPECT_EQ(many.read_bytes(name), one.read_bytes(name)) << name << " " << threads;
    // The report shows the command line, which names the threads.
    std::string page = many.read_bytes("r.html");
    const std::string given = std::string("--threads ") + threads;
    ASSERT_NE(page.find(given), std::string::npos);
    page.replace(page.find(given), given.size(), "-t 1");
    EXPECT_EQ(page, one.read_bytes("r.html")) << threads;
  }
  for (const char* threads : {"0", "x", "1025", "-1"}) {
    const BinaryRun run = one.run_with_arguments(std::string("-r 4 -t ") + threads + kSlides);
    EXPECT_EQ(run.status, 2) << threads;
    EXPECT_EQ(run.errors,
              "corvane: option --threads takes the number of threads, a whole number "
              "from 1 to 1024, not '" +
                  std::string(threads) + "'\n" + kTryHelp);
  }
}

// A replicate count far above the spots of a slide merges no gene and holds nothing per replicate:
// R = 10^9 runs within the memory that R = 1 needs (a limit of the shell's ulimit -v, in KiB).
TEST(Memory, ReplicatesBeyondTheSpotsHoldNothingPerReplicate) {
#ifdef CORVANE_SANITIZED
  GTEST_SKIP() << "a memory limit leaves no room for the sanitizers' shadow memory";
#endif
  if (kOnWindows) GTEST_SKIP() << "the memory limit is set with the POSIX shell's ulimit";
  ScratchFolder folder;
  ASSERT_EQ(folder.run_tool(CORVANE_MAKE_SLIDES, "--files 3 --spots 64").status, 0);
  const std::string limit = "ulimit -v 30000 && '" CORVANE_BINARY "' -q -t 1 ";
  const std::string slides = " --genes g.tsv --report r.html slide01.txt slide02.txt slide03.txt";
  BinaryRun run = folder.run_command(limit + "-r 1" + slides);
  ASSERT_EQ(run.status, 0) << run.errors;
  for (const char* replicates : {"100000000", "1000000000", "2147483647"}) {
    run = folder.run_command(limit + "-r " + replicates + slides);
    EXPECT_EQ(run.status, 0) << replicates;
    EXPECT_EQ(run.errors, "corvane: warning: --replicates " + std::string(replicates) +
                              " is more than the 64 spots of a slide, so no spot belongs to a "
                              "whole gene and merge.txt lists no genes\n");
    EXPECT_TRUE(folder.read("merge.txt").ends_with("Outliers Found\n"));
    EXPECT_EQ(count_of(folder.read("g.tsv"), "\n"), 1u) << replicates;
  }
}

}  // namespace
