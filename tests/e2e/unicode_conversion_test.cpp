// A result file saved as Unicode (UTF-16) is turned away; converted back to ASCII with the iconv
// commands that README.md and the man page give, it merges to the same reports as the ASCII file it
// was saved from. The Unicode copies are made here byte by byte, independently of iconv.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/binary_run.hpp"

namespace {

const std::string kExamples = CORVANE_TEST_DATA "/../examples/";

std::string example(const std::string& name) {
  std::ifstream in(kExamples + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// UTF-16 little-endian, as Windows programs write it, of text whose every byte is one character of
// the first 256 code points (ASCII, plus a few accented letters), with the byte-order mark FF FE in
// front when `mark` is set.
std::string utf16le(const std::string& latin1, bool mark) {
  std::string bytes = mark ? "\xFF\xFE" : "";
  for (char c : latin1) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return bytes;
}

// Runs a shell command in the folder and returns its exit status (-1 when it did not exit).
int run_command(const ScratchFolder& folder, const std::string& command) {
  return folder.run_command(command).status;
}

void write_examples(const ScratchFolder& folder) {
  for (const char* name : {"slide01.txt", "slide02.txt", "slide03.txt", "slide04.txt"})
    folder.write(name, example(name));
}

class UnicodeConversion : public testing::Test {
 protected:
  void SetUp() override {
    if (kOnWindows)
      GTEST_SKIP() << "iconv is a POSIX tool: on Windows README.txt converts with PowerShell, "
                      "which Wine does not have";
    if (run_command(ScratchFolder(), "command -v iconv") != 0)
      GTEST_SKIP() << "iconv not found (it comes with the C library's tools, package libc-bin)";
  }

  // Merges the four example slides, slide01.txt being the one the conversion wrote, and expects
  // the reports of the ASCII originals.
  static void expect_same_reports(const ScratchFolder& folder) {
    ScratchFolder original;
    write_examples(original);
    ASSERT_EQ(original.run(example("answers.txt")).status, 0);
    BinaryRun run = folder.run(example("answers.txt"));
    EXPECT_EQ(run.status, 0) << run.console;
    EXPECT_EQ(folder.read("data.txt"), original.read("data.txt"));
    EXPECT_EQ(folder.read("merge.txt"), original.read("merge.txt"));
  }
};

TEST(UnicodeFile, IsRefusedWithOrWithoutAByteOrderMark) {
  for (bool mark : {true, false}) {
    ScratchFolder folder;
    write_examples(folder);
    folder.write("slide01.txt", utf16le(example("slide01.txt"), mark));
    BinaryRun refused = folder.run(example("answers.txt"));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.console.find("slide01.txt is not a valid ASCII format"), std::string::npos);
    EXPECT_FALSE(folder.exists("data.txt"));
  }
}

TEST_F(UnicodeConversion, FileWithAByteOrderMark) {
  ScratchFolder folder;
  write_examples(folder);
  folder.write("slide01-unicode.txt", utf16le(example("slide01.txt"), true));
  ASSERT_EQ(run_command(folder, "iconv -f UTF-16 -t ASCII slide01-unicode.txt > slide01.txt"), 0);
  // The mark only told the byte order: the ASCII file is the original, byte for byte.
  ASSERT_EQ(folder.read("slide01.txt"), example("slide01.txt"));
  expect_same_reports(folder);
}

TEST_F(UnicodeConversion, FileWithoutAByteOrderMark) {
  ScratchFolder folder;
  write_examples(folder);
  folder.write("slide01-unicode.txt", utf16le(example("slide01.txt"), false));
  ASSERT_EQ(run_command(folder, "iconv -f UTF-16LE -t ASCII slide01-unicode.txt > slide01.txt"), 0);
  ASSERT_EQ(folder.read("slide01.txt"), example("slide01.txt"));
  expect_same_reports(folder);
}

TEST_F(UnicodeConversion, NamingTheByteOrderKeepsTheMarkWhichHasNoAsciiForm) {
  ScratchFolder folder;
  folder.write("slide01-unicode.txt", utf16le(example("slide01.txt"), true));
  EXPECT_EQ(run_command(folder, "iconv -f UTF-16LE -t ASCII slide01-unicode.txt > slide01.txt"), 1);
  EXPECT_EQ(folder.read("slide01.txt"), "");
}

TEST_F(UnicodeConversion, ACharacterWithoutAsciiFormStopsTheConversion) {
  // An accented letter in a gene name: iconv stops there and leaves the file cut short before it,
  // which the merge then refuses as damaged.
  std::string slide = example("slide01.txt");
  std::size_t accent = slide.find("GENE0030 clone");
  ASSERT_NE(accent, std::string::npos);
  accent += 13;
  slide[accent] = '\xE9';
  ScratchFolder folder;
  write_examples(folder);
  folder.write("slide01-unicode.txt", utf16le(slide, true));
  EXPECT_EQ(run_command(folder, "iconv -f UTF-16 -t ASCII slide01-unicode.txt > slide01.txt"), 1);
  EXPECT_EQ(folder.read("slide01.txt"), slide.substr(0, accent));
  BinaryRun run = folder.run(example("answers.txt"));
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(folder.exists("merge.txt"));
}

}  // namespace
