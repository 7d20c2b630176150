// Whole runs that end early or have unusual counts: what the console shows, the exit status, and
// which reports exist afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace std::string_literals;

#include "support/binary_run.hpp"
#include "support/result_file_text.hpp"

namespace {

const std::string kChannel1 = "1\tD:\\img\\s1.tif\tCy3\t";
const std::string kChannel2 = "2\tD:\\img\\s2.tif\tCy5\t";

// Three spots: ratios ch2/ch1 of 2.0 (nets 100 and 200), 0.5 (nets 200 and 100) and none (channel
// 1 net -10, channel 2 net 0); totals 300 and 300, factor 1.
std::string three_spot_slide() {
  return result_file_text({{1, 1, 1, 1, "P", "200", "100", "300", "100"},
                           {1, 1, 1, 2, "Q", "300", "100", "200", "100"},
                           {1, 1, 1, 3, "R", "90", "100", "100", "100"}},
                          kChannel1, kChannel2);
}

const std::string kThreeSpotData =
    "\n\nFiles:\t  s.txt\n\nNormalization\t Information:\n  \t Channel 1 \t Channel 2\n"
    "Total Intensities(Backgound Subtracted):\t 300.000000\t 300.000000\n"
    "Normalization Factor:\t 1\t 1.000000\n\nbegin data\n"
    "Number\t Position\t Gene Name\tCh.1 Intensity \t Ch.2 Intensity \t Ch.2/Ch.1 Ratio\t\n"
    "1\tAR1 AC1 R1 C1\tP\t100.000000\t 200.000000\t 2.000000\t\n"
    "2\tAR1 AC1 R1 C2\tQ\t200.000000\t 100.000000\t 0.500000\t\n"
    "3\tAR1 AC1 R1 C3\tR\t-10.000000\t 0.000000\t 0.000000\t\n";

std::string merge_header(int genes, int replicates, const std::string& unused) {
  return "The number of data sets merged:\t 1\nThe number of genes in each file:\t " +
         std::to_string(genes) + "\nThe nummber of replicated spots in each file:\t " +
         std::to_string(replicates) +
         "\n\nImage\t Information:\nChannel (Fluor.)\tImage (listed only for the first data set)\n"
         "1\t(Cy3)\ts1.tif\t\n2\t(Cy5)\ts2.tif\t\n\nch2 : ch 1 ratio was considered\n\n"
         "The number of spots not used in ratio calculation in each data set:\ns.txt\t\n" +
         unused +
         "\t\n\nThe number of outliers found in each data set:\ns.txt\t\n0\t\n\n"
         "Number\t Position\t Name\ts.txt-Ratio\tMean of Ratio\tStandard Deviation of Mean Ratio\t"
         "CV\tMedian of Ratio\tMean of Log-Ratio\tStandard Deviation of Mean Log-Ratio\t"
         "P-Value(t statistic)\tSpots used\tOutliers Found\n";
}

TEST(RunCounts, OneFileOneReplicate) {
  ScratchFolder folder;
  folder.write("s.txt", three_spot_slide());
  BinaryRun run = folder.run("1 1 s.txt 1 1.0\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.console.find("GeneNumber = 3\n"), std::string::npos);
  EXPECT_EQ(folder.read("data.txt"), kThreeSpotData);
  // Every gene has one column: one kept value, or none. log2(2) = 1, log2(0.5) = -1.
  EXPECT_EQ(
      folder.read("merge.txt"),
      merge_header(3, 1, "1") +
          "  1-  1\tAR1 AC1 R1 C1-C1\tP\t2.000000\t2.000\t0.000\t0.000\t2.000\t1.000\t0.000\t"
          "-\t1\t0\n"
          "  2-  2\tAR1 AC1 R1 C2-C2\tQ\t0.500000\t0.500\t0.000\t0.000\t0.500\t-1.000\t0.000\t"
          "-\t1\t0\n"
          "  3-  3\tAR1 AC1 R1 C3-C3\tR\t0.000000\t-\t-\t-\t-\t-\t-\t-\t0\t0\n");
}

TEST(RunCounts, ReplicatesBeyondTheSpotsLeaveOnlyHeadings) {
  ScratchFolder folder;
  folder.write("s.txt", three_spot_slide());
  BinaryRun run = folder.run("1 4 s.txt 1 1.0\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.console.find("GeneNumber = 0\n"), std::string::npos);
  EXPECT_EQ(folder.read("data.txt"), kThreeSpotData);
  EXPECT_EQ(folder.read("merge.txt"), merge_header(0, 4, "0"));
}

TEST(RunCounts, SpotsLeftOverBelongToNoGene) {
  ScratchFolder folder;
  folder.write("s.txt", three_spot_slide());
  BinaryRun run = folder.run("1 2 s.txt 1 1.0\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(folder.read("data.txt"), kThreeSpotData);
  // Gene 1 is the pair 2.0 and 0.5: q = 4, accepted; log2 values 1 and -1 give mean 0 and t = 0,
  // so p = 1. Spot 3 (no ratio) is in no gene, so it is not counted as a zero.
  EXPECT_EQ(folder.read("merge.txt"),
            merge_header(1, 2, "0") +
                "  1-  2\tAR1 AC1 R1 C1-C2\tQ\t1.250000\t1.250\t0.750\t0.600\t1.250\t0.000\t1.000\t"
                "1.000000\t2\t0\n");
}

const std::string kPressKey = "press any key to exit the program\n";

TEST(RunExits, SecondFileThatIsNotAResultFile) {
  ScratchFolder folder;
  folder.write("s.txt", three_spot_slide());
  folder.write("t.txt", "\xFF\xFEU\0s\0e\0r\0"s);
  BinaryRun run = folder.run("2 1 s.txt t.txt 1 1.0\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.console.ends_with(
      "\nProgram running...\n"
      "\n t.txt is not a valid ASCII format Vantar output file, check\n the README to see how to "
      "convert a Unicode Vantar output file\n to an ASCII format file\n\n" +
      kPressKey));
  EXPECT_FALSE(folder.exists("data.txt"));
  EXPECT_FALSE(folder.exists("merge.txt"));
}

TEST(RunExits, DamagedSecondFileLeavesNoReport) {
  ScratchFolder folder;
  folder.write("s.txt", three_spot_slide());
  std::string damaged = three_spot_slide();
  damaged.resize(damaged.size() - 10);  // cuts the last spot row short
  folder.write("t.txt", damaged);
  BinaryRun run = folder.run("2 1 s.txt t.txt 1 1.0\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.console.find("\nthe data file t.txt is damaged at line 45: "), std::string::npos);
  EXPECT_TRUE(run.console.ends_with(kPressKey));
  EXPECT_FALSE(folder.exists("data.txt"));
  EXPECT_FALSE(folder.exists("merge.txt"));
}

// Memory that runs out outside the arrays, here while a file is loaded, ends the run like an array
// that cannot be created: the fatal notice and status 1, not an uncaught exception.
TEST(RunExits, MemoryThatRunsOutEndsInTheAllocationFailure) {
#ifdef CORVANE_SANITIZED
  GTEST_SKIP() << "a memory limit leaves no room for the sanitizers' shadow memory";
#endif
  if (kOnWindows)
    GTEST_SKIP() << "the memory limit is set with the POSIX shell's ulimit, which Windows lacks";
  ScratchFolder folder;
  std::filesystem::resize_file((folder.write("big.txt", ""), folder.path() / "big.txt"),
                               std::uintmax_t{256} << 20);
  BinaryRun run =
      folder.run_command("ulimit -v 100000 && timeout 20 '" CORVANE_BINARY "' -r 1 big.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors,
            "Numerical Recipes run-time error...\nallocation failure in operator new()\n"
            "...now exiting to system...\n");
}

TEST(RunExits, ReportThatCannotBeOpened) {
  ScratchFolder folder;
  folder.write("s.txt", three_spot_slide());
  std::filesystem::create_directory(folder.path() / "data.txt");
  BinaryRun run = folder.run("1 1 s.txt 1 1.0\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.console.ends_with(
      "can't open the data file <data.txt>\n"
      "close the Excel or other application which opens this file and try again.\n" +
      kPressKey));
  EXPECT_FALSE(folder.exists("merge.txt"));

  std::filesystem::remove(folder.path() / "data.txt");
  std::filesystem::create_directory(folder.path() / "merge.txt");
  run = folder.run("1 1 s.txt 1 1.0\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.console.ends_with(
      "can't open the data file: <merge.txt>\n"
      "close the Excel or other application which opens this file and try again.\n" +
      kPressKey));
  // data.txt was complete before merge.txt was opened, but after a failure no output takes its
  // name, and its temporary file is gone.
  EXPECT_FALSE(folder.exists("data.txt"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            5);  // s.txt, merge.txt and the three files of the console
}

// From the command line with the gene table and the HTML report, whose spot figures are taken on
// a thread of their own while data.txt is written: when data.txt cannot be written (the disk is
// full, through the writer's test hook), the run stops that thread, ends with the message and
// status 1, and writes nothing. A folder in the place of data.txt is a usage error.
TEST(RunExits, ReportThatCannotBeWrittenWhileTheFiguresAreTaken) {
  if (kOnWindows) GTEST_SKIP() << "the test hook is set in the POSIX shell's way";
  ScratchFolder folder;
  folder.write("s.txt", three_spot_slide());
  BinaryRun run = folder.run_command("CORVANE_TEST_DISK_ROOM=10 '" CORVANE_BINARY
                                     "' -q -r 1 -t 2 --genes g.tsv --report r.html s.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors, "can't write the data file <data.txt>: No space left on device\n");
  EXPECT_FALSE(folder.exists("data.txt"));
  EXPECT_FALSE(folder.exists("merge.txt"));
  EXPECT_FALSE(folder.exists("g.tsv"));
  EXPECT_FALSE(folder.exists("r.html"));

  // The gene table fails while the page is drawn on a thread of its own: the room takes data.txt
  // and merge.txt, as a run with room for all writes them.
  ScratchFolder whole;
  whole.write("s.txt", three_spot_slide());
  ASSERT_EQ(whole.run_with_arguments("-q -r 1 s.txt").status, 0);
  const std::size_t room =
      whole.read_bytes("data.txt").size() + whole.read_bytes("merge.txt").size();
  run =
      folder.run_command("CORVANE_TEST_DISK_ROOM=" + std::to_string(room) +
                         " '" CORVANE_BINARY "' -q -r 1 -t 2 --genes g.tsv --report r.html s.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors, "can't write the data file <g.tsv>: No space left on device\n");
  EXPECT_FALSE(folder.exists("data.txt"));

  std::filesystem::create_directory(folder.path() / "data.txt");
  run = folder.run_with_arguments("-q -r 1 --genes g.tsv --report r.html s.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.errors,
            "corvane: output data.txt ('data.txt') is a folder: a file, or no file, is expected "
            "there\nTry 'corvane --help'.\n");
}

// A report on a device that cannot be written (/dev/full, through a link) is written in place: the
// failure is told, and the link stays, as the device does; data.txt, complete, does not take its
// name.
TEST(RunExits, ReportOnADeviceThatCannotBeWrittenStays) {
  if (kOnWindows)
    GTEST_SKIP() << "Windows has no device like /dev/full, on which every write fails";
  ScratchFolder folder;
  folder.write("s.txt", three_spot_slide());
  std::filesystem::create_symlink("/dev/full", folder.path() / "merge.txt");
  BinaryRun run = folder.run("1 1 s.txt 1 1.0\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.console.ends_with(
      "can't write the data file <merge.txt>: No space left on device\n" + kPressKey));
  EXPECT_TRUE(std::filesystem::is_symlink(folder.path() / "merge.txt"));
  EXPECT_FALSE(folder.exists("data.txt"));
}

}  // namespace
