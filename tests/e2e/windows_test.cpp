// What Windows users meet: reports whose lines end in CR LF (on POSIX in LF alone), file names with
// a drive letter or backslashes, and a report that another program holds open. The tests of
// Windows names skip on POSIX, where a backslash is a character of a name like any other.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/binary_run.hpp"

namespace {

const std::string kExamples = CORVANE_TEST_DATA "/../examples/";
const char* const kSlides[] = {"slide01.txt", "slide02.txt", "slide03.txt", "slide04.txt"};

std::string example(const std::string& name) {
  std::ifstream in(kExamples + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The example slides, in a subfolder of the folder when one is named.
void write_examples(const ScratchFolder& folder, const std::string& subfolder = "") {
  if (!subfolder.empty()) std::filesystem::create_directory(folder.path() / subfolder);
  for (const char* name : kSlides)
    folder.write((subfolder.empty() ? "" : subfolder + "/") + name, example(name));
}

// The answers of examples/answers.txt with each slide's name as the given prefix makes it.
std::string answers_with_names(const std::string& prefix) {
  std::string answers = "4\n4\n";
  for (const char* name : kSlides)
    answers += prefix + name + "\n";
  return answers + "1\n1.0\n";
}

// Every name the reports show, the slides' names with the prefix put before them.
std::string with_prefixed_names(std::string text, const std::string& prefix) {
  for (const char* name : kSlides) {
    std::string prefixed = prefix + name;
    for (std::size_t at = text.find(name); at != std::string::npos;
         at = text.find(name, at + prefixed.size()))
      text.replace(at, std::string(name).size(), prefixed);
  }
  return text;
}

// Lines end in CR LF on Windows, LF alone on POSIX: true when every line feed of the bytes has a
// carriage return before it on Windows, and no byte is a carriage return on POSIX.
bool lines_end_as_text_files_do(const std::string& bytes) {
  if (!kOnWindows) return bytes.find('\r') == std::string::npos;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
    if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) return false;
  }
  return true;
}

TEST(TextFiles, ReportsAndConsoleEndTheirLinesAsTheSystemsTextFilesDo) {
  ScratchFolder folder;
  write_examples(folder);
  // One input with CR LF line ends: the reader takes the result files as they are either way.
  std::string crlf;
  for (char c : example("slide02.txt"))
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  folder.write("slide02.txt", crlf);
  BinaryRun run = folder.run_with_arguments(
      "-r 4 --genes genes.tsv --spots spots.tsv --report report.html slide01.txt slide02.txt "
      "slide03.txt slide04.txt");
  ASSERT_EQ(run.status, 0) << run.errors;
  for (const char* name : {"data.txt", "merge.txt", "genes.tsv", "spots.tsv", "report.html"}) {
    const std::string bytes = folder.read_bytes(name);
    EXPECT_GT(std::count(bytes.begin(), bytes.end(), '\n'), 10) << name;
    EXPECT_TRUE(lines_end_as_text_files_do(bytes)) << name;
  }
  EXPECT_TRUE(lines_end_as_text_files_do(folder.read_bytes(".errors")));

  ScratchFolder asked;
  write_examples(asked);
  asked.write("slide02.txt", crlf);
  BinaryRun dialogue = asked.run(example("answers.txt"));
  ASSERT_EQ(dialogue.status, 0);
  EXPECT_TRUE(lines_end_as_text_files_do(asked.read_bytes(".console")));
  EXPECT_EQ(asked.read_bytes("data.txt"), folder.read_bytes("data.txt"));
  EXPECT_EQ(asked.read_bytes("merge.txt"), folder.read_bytes("merge.txt"));
}

// Typed in the dialogue (at most 50 characters) or given on the command line, a name with a drive
// letter or with backslashes opens its file, and the reports show it as it was given.
TEST(WindowsNames, DriveLetterAndBackslashes) {
  if (!kOnWindows) GTEST_SKIP() << "drive letters and backslash separators are Windows's";
  ScratchFolder plain;
  write_examples(plain);
  ASSERT_EQ(plain.run(answers_with_names("")).status, 0);

  // A folder at the root of the drive keeps the whole name within the dialogue's 50 characters.
  const std::filesystem::path drive_root = std::filesystem::temp_directory_path().root_path();
  ScratchFolder rooted(drive_root);
  write_examples(rooted, "in");
  const std::string absolute = (rooted.path() / "in").string() + "\\";
  ASSERT_EQ(absolute[1], ':');
  ASSERT_LE((absolute + kSlides[0]).size(), 50u) << absolute;
  for (const std::string& prefix : {absolute, std::string("in\\")}) {
    BinaryRun run = rooted.run(answers_with_names(prefix));
    EXPECT_EQ(run.status, 0) << prefix << run.console;
    EXPECT_NE(run.console.find("  File name 1:\t " + prefix + kSlides[0] + "\n"), std::string::npos)
        << run.console;
    EXPECT_EQ(rooted.read("data.txt"), with_prefixed_names(plain.read("data.txt"), prefix));
    EXPECT_EQ(rooted.read("merge.txt"), with_prefixed_names(plain.read("merge.txt"), prefix));

    const std::string output_folder = prefix.substr(0, prefix.size() - 1);
    BinaryRun given = rooted.run_with_arguments("-q -r 4 -o " + output_folder + " " + prefix +
                                                kSlides[0] + " " + prefix + kSlides[1] + " " +
                                                prefix + kSlides[2] + " " + prefix + kSlides[3]);
    EXPECT_EQ(given.status, 0) << given.errors;
    EXPECT_EQ(rooted.read("in/merge.txt"), rooted.read("merge.txt"));
  }
}

// A report that another program holds open against writing, as a spreadsheet program holds the
// file it shows, cannot be opened: the run names it, advises to close the program and ends with
// status 1. A table held so is a usage error of the command line.
TEST(WindowsNames, ReportHeldOpenByAnotherProgram) {
  if (!kOnWindows) GTEST_SKIP() << "POSIX has no share modes: a file open elsewhere can be written";
  ScratchFolder folder;
  write_examples(folder);
  folder.write(".answers", example("answers.txt"));
  const int status = run_program(folder.path(), {CORVANE_HOLD_OPEN, "data.txt", CORVANE_BINARY},
                                 ".answers", ".console", ".errors");
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(
      folder.read(".console")
          .ends_with("can't open the data file <data.txt>\n"
                     "close the Excel or other application which opens this file and try again.\n"
                     "press any key to exit the program\n"))
      << folder.read(".console");
  EXPECT_FALSE(folder.exists("merge.txt"));

  // hold_open made data.txt, empty, to hold it.
  const std::string data_before = folder.read_bytes("data.txt");
  std::vector<std::string> words = {
      CORVANE_HOLD_OPEN, "merge.txt", CORVANE_BINARY, "-q", "-r", "4"};
  words.insert(words.end(), std::begin(kSlides), std::end(kSlides));
  EXPECT_EQ(run_program(folder.path(), words, "", ".console", ".errors"), 1);
  EXPECT_EQ(folder.read(".errors"),
            "can't open the data file: <merge.txt>\n"
            "close the Excel or other application which opens this file and try again.\n");
  // data.txt, written before merge.txt, does not take its name, and no temporary file is left.
  EXPECT_EQ(folder.read_bytes("data.txt"), data_before);
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    EXPECT_EQ(entry.path().filename().string().find(".corvane-"), std::string::npos)
        << entry.path();

  words = {CORVANE_HOLD_OPEN, "genes.tsv", CORVANE_BINARY, "--genes", "genes.tsv", "-r", "4"};
  words.insert(words.end(), std::begin(kSlides), std::end(kSlides));
  EXPECT_EQ(run_program(folder.path(), words, "", ".console", ".errors"), 2);
  EXPECT_EQ(folder.read(".errors"),
            "corvane: option --genes cannot write 'genes.tsv' (Permission denied): a file in an "
            "existing folder that can be written is expected\nTry 'corvane --help'.\n");
}

// With standard input on the null device (a device, not a console), the dialogue's questions and
// its key wait end at once instead of waiting for a key that no one presses.
TEST(Console, NullDeviceAsInputEndsTheDialogueAtOnce) {
  ScratchFolder folder;
  BinaryRun run = folder.run_tool(CORVANE_BINARY, "");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.console.ends_with("\nThe input ended before the question was answered.\n"));
}

}  // namespace
