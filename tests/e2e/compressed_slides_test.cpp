// Result files compressed with gzip merge to the same reports as the files they hold, whatever
// their names; a compressed file cut short is refused as damaged, before any report is written.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/binary_run.hpp"
#include "support/gzip_text.hpp"

namespace {

const std::string kExamples = CORVANE_TEST_DATA "/../examples/";

std::string example(const std::string& name) {
  std::ifstream in(kExamples + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(CompressedSlides, MergeAsTheFilesTheyHold) {
  ScratchFolder plain, packed;
  for (const char* name : {"slide01.txt", "slide02.txt", "slide03.txt", "slide04.txt"}) {
    plain.write(name, example(name));
    // Two members for slide 2, as files joined with cat.
    const std::string text = example(name);
    packed.write(name, std::string(name) == "slide02.txt"
                           ? gzip_text(text.substr(0, 5000)) + gzip_text(text.substr(5000))
                           : gzip_text(text));
  }
  ASSERT_EQ(plain.run(example("answers.txt")).status, 0);
  const BinaryRun run = packed.run(example("answers.txt"));
  EXPECT_EQ(run.status, 0) << run.console;
  EXPECT_EQ(packed.read("data.txt"), plain.read("data.txt"));
  EXPECT_EQ(packed.read("merge.txt"), plain.read("merge.txt"));
}

TEST(CompressedSlides, CutShortIsDamaged) {
  ScratchFolder folder;
  const std::string packed = gzip_text(example("slide01.txt"));
  folder.write("slide01.txt", packed.substr(0, packed.size() / 2));
  const BinaryRun run = folder.run_with_arguments("-q -r 4 slide01.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("the data file slide01.txt is damaged at line "), std::string::npos)
      << run.errors;
  EXPECT_NE(run.errors.find(": expected more gzip-compressed data, found the end of the file (the "
                            "file is cut short)\n"),
            std::string::npos)
      << run.errors;
  EXPECT_FALSE(folder.exists("data.txt"));
}

}  // namespace
