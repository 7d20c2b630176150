// Whole runs through the real binary: console transcript, data.txt and merge.txt byte for byte.
// The expectations are worked out by hand; the comments give the arithmetic.
#include <gtest/gtest.h>

#include "support/binary_run.hpp"
#include "support/result_file_text.hpp"

namespace {

const std::string kChannel1 = "1\tC:\\Scans\\slide a\\a ch1.tif\tCyanine 3\textra text";
const std::string kChannel2 = "2\tC:\\Scans\\slide a\\a ch2.tif\tCy5\t";

// File 1 (LF). Nets ch1 200, 200, 50, 0, 400 (total 850); ch2 400, 200, 10, 100, 990 (total 1700);
// factor 2, so ch2 becomes 200, 100, 5, 50, 495. Spot 3 fails (50/100 and 10/100 below 1); spot 4
// passes through its zero channel-2 background (100/0 is infinite).
std::string slide1() {
  return result_file_text({{1, 2, 3, 1, "A1", "300", "100", "500", "100"},
                           {1, 2, 3, 2, "A2", "300", "100", "250", "50"},
                           {1, 2, 3, 3, "A3", "150", "100", "110", "100"},
                           {1, 2, 3, 4, "A4", "100", "100", "100", "0"},
                           {1, 2, 3, 5, "A5", "500", "100", "1090", "100"}},
                          kChannel1, kChannel2);
}

// File 2 (CRLF), other positions (ignored) and the names that are reported. Nets ch1 300, -100, 0,
// 300, 400 (total 1000, the negative one left out); ch2 600, 200, 0, 100, 1100 (total 2000); factor
// 2, so ch2 becomes 300, 100, 0, 50, 550. Spot 3 fails (0/0 is not a number), spot 5 fails
// (400/600 and 1100/1200).
std::string slide2() {
  return result_file_text({{9, 9, 9, 9, "gene a", "400", "100", "700", "100"},
                           {9, 9, 9, 9, "", "100", "200", "300", "100"},
                           {9, 9, 9, 9, "G3", "0", "0", "0", "0"},
                           {9, 9, 9, 9, "G4", "350", "50", "200", "100"},
                           {9, 9, 9, 9, "G5", "1000", "600", "2300", "1200"}},
                          kChannel1, kChannel2, "\r\n");
}

std::string block(const std::string& name, const std::string& totals, const std::string& factor,
                  const std::string& ratio_heading, const std::string& rows) {
  return "\n\nFiles:\t  " + name +
         "\n\nNormalization\t Information:\n  \t Channel 1 \t Channel 2\n" +
         "Total Intensities(Backgound Subtracted):\t " + totals + "\n" +
         "Normalization Factor:\t 1\t " + factor + "\n\nbegin data\n" +
         "Number\t Position\t Gene Name\tCh.1 Intensity \t Ch.2 Intensity \t " + ratio_heading +
         "\t\n" + rows;
}

const std::string kMergeHeadingEnd =
    "Mean of Ratio\tStandard Deviation of Mean Ratio\tCV\tMedian of Ratio\tMean of Log-Ratio\t"
    "Standard Deviation of Mean Log-Ratio\tP-Value(t statistic)\tSpots used\tOutliers Found\n";

std::string merge_header(int files, int genes, int replicates, const std::string& orientation,
                         const std::string& names, const std::string& unused,
                         const std::string& outliers, const std::string& ratio_columns) {
  return "The number of data sets merged:\t " + std::to_string(files) +
         "\nThe number of genes in each file:\t " + std::to_string(genes) +
         "\nThe nummber of replicated spots in each file:\t " + std::to_string(replicates) +
         "\n\nImage\t Information:\nChannel (Fluor.)\tImage (listed only for the first data set)\n"
         "1\t(Cya)\ta ch1.tif\t\n2\t(Cy5)\ta ch2.tif\t\n" +
         orientation + "The number of spots not used in ratio calculation in each data set:\n" +
         names + "\n" + unused + "\n\nThe number of outliers found in each data set:\n" + names +
         "\n" + outliers + "\n\nNumber\t Position\t Name\t" + ratio_columns + kMergeHeadingEnd;
}

std::string console_transcript(const std::string& ratio_answers, const std::string& c_answers,
                               int genes) {
  return kBanner +
         "Input the number of data files you want to merge together:  "
         "\n Input the number of replicated spots in each file:  "
         "\n Input the file names(no space allowed  within a filename):  \n"
         "\n file name 1:  \n file name 2:  "
         "\n\nThe Files you want to merge are\n"
         "  File name 1:\t slide1.txt\n  File name 2:\t slide2.txt\n\n\n"
         "ArrayRows = 1\nArrayColumns = 1\nRows = 1\nColumns = 5\nArraySpots = 5\n"
         "TotalSpots = 5\n\n"
         "Channel (Fluor.)\tImage (listed only for the first data set)\n"
         "1\t(Cya)\ta ch1.tif\t\n2\t(Cy5) \ta ch2.tif\t\n"
         "Which kind of ratio you want to consider?\n1 --- ch2 : ch1\n2 --- ch1 : ch2\n\n"
         "Please enter 1 or 2 to make your choice:  " +
         ratio_answers +
         "Please input the constant C for the quality control purpose:\n"
         "if for a spot the fraction (intensity/background) less than C for both channel,\n"
         "then this spot will be not accounted for. (0.0 <= C<= 4.0, C=1.0 recommended)\nC=" +
         c_answers + "GeneNumber = " + std::to_string(genes) +
         "\n\nProgram running...\n"
         "\nOK!\n Check output files <merge.txt> and <data.txt> for results\n\n"
         " Please send bug reports to  corvane-bugs@users.noreply.example\n\n"
         "\n\nPress Any Key to Continue\n";
}

TEST(WholeRun, TwoSlidesChannel2OverChannel1) {
  ScratchFolder folder;
  folder.write("slide1.txt", slide1());
  folder.write("slide2.txt", slide2());
  BinaryRun run = folder.run("2\n2\nslide1.txt slide2.txt\n3\n1.7\n4.5\n1\n");

  const std::string refused_ratio =
      "\nInvalid Input, you are expected to enter 1 or 2\nPlease enter your choice again:  \n";
  const std::string refused_c =
      "\nInvalid Input, you are expected to enter a real number range from 1.0 to 4.0\n"
      "Please enter your choice again:  \n";
  EXPECT_EQ(run.console, console_transcript(refused_ratio, refused_c, 2));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errors, "");

  // Ratios ch2/ch1 of the scaled nets: file 1 200/200, 100/200, 5/50, none (ch1 0), 495/400;
  // file 2 300/300, none (ch1 -100), none (0), 50/300, 550/400.
  EXPECT_EQ(folder.read("data.txt"),
            block("slide1.txt", "850.000000\t 1700.000000", "2.000000", "Ch.2/Ch.1 Ratio",
                  "1\tAR1 AC2 R3 C1\tgene a\t200.000000\t 200.000000\t 1.000000\t\n"
                  "2\tAR1 AC2 R3 C2\t\t200.000000\t 100.000000\t 0.500000\t\n"
                  "3\tAR1 AC2 R3 C3\tG3\t50.000000\t 5.000000\t 0.100000\t\n"
                  "4\tAR1 AC2 R3 C4\tG4\t0.000000\t 50.000000\t 0.000000\t\n"
                  "5\tAR1 AC2 R3 C5\tG5\t400.000000\t 495.000000\t 1.237500\t\n") +
                block("slide2.txt", "1000.000000\t 2000.000000", "2.000000", "Ch.2/Ch.1 Ratio",
                      "1\tAR1 AC2 R3 C1\tgene a\t300.000000\t 300.000000\t 1.000000\t\n"
                      "2\tAR1 AC2 R3 C2\t\t-100.000000\t 100.000000\t 0.000000\t\n"
                      "3\tAR1 AC2 R3 C3\tG3\t0.000000\t 0.000000\t 0.000000\t\n"
                      "4\tAR1 AC2 R3 C4\tG4\t300.000000\t 50.000000\t 0.166667\t\n"
                      "5\tAR1 AC2 R3 C5\tG5\t400.000000\t 550.000000\t 1.375000\t\n"));

  // Gene 1 = spots 1-2: (1.0, 0.5 | 1.0, 0.0); file means 0.75 and 1.0; kept 0.5, 1, 1: mean
  // 0.833, SD sqrt(1/18) = 0.236, CV 0.283, median 1, log2 mean -1/3, log2 SD sqrt(2)/3, so t = -1,
  // df 2, p = 1 - 1/sqrt(3) = 0.422650. Gene 2 = spots 3-4: (0.1 failed, 0.0 | 0.0 failed, 1/6);
  // file means 0.1 (the failed spot counts) and 0.166667; one kept value 1/6, log2 -2.585.
  // Zeros: file 1 two (gene 2), file 2 two (one in each gene). Spot 5 belongs to no gene.
  EXPECT_EQ(
      folder.read("merge.txt"),
      merge_header(2, 2, 2, "\nch2 : ch 1 ratio was considered\n\n", "slide1.txt\tslide2.txt\t",
                   "2\t2\t", "0\t0\t", "slide1.txt-Ratio\tslide2.txt-Ratio\t") +
          "  1-  2\tAR1 AC2 R3 C1-C2\t\t0.750000\t1.000000\t0.833\t0.236\t0.283\t1.000\t"
          "-0.333\t0.471\t0.422650\t3\t0\n"
          "  3-  4\tAR1 AC2 R3 C3-C4\tG4\t0.100000\t0.166667\t0.167\t0.000\t0.000\t0.167\t"
          "-2.585\t0.000\t-\t1\t0\n");
}

TEST(WholeRun, TwoSlidesChannel1OverChannel2) {
  ScratchFolder folder;
  folder.write("slide1.txt", slide1());
  folder.write("slide2.txt", slide2());
  BinaryRun run = folder.run("2 2 slide1.txt slide2.txt 2 1.0\n");
  EXPECT_EQ(run.console, console_transcript("\n", "\n", 2));
  EXPECT_EQ(run.status, 0);

  // Ratios ch1/ch2: file 1 1, 2, 10, none, 400/495; file 2 1, none, none, 300/50, 400/550.
  EXPECT_EQ(folder.read("data.txt"),
            block("slide1.txt", "850.000000\t 1700.000000", "2.000000", "Ch.1/Ch.2 Ratio",
                  "1\tAR1 AC2 R3 C1\tgene a\t200.000000\t 200.000000\t 1.000000\t\n"
                  "2\tAR1 AC2 R3 C2\t\t200.000000\t 100.000000\t 2.000000\t\n"
                  "3\tAR1 AC2 R3 C3\tG3\t50.000000\t 5.000000\t 10.000000\t\n"
                  "4\tAR1 AC2 R3 C4\tG4\t0.000000\t 50.000000\t 0.000000\t\n"
                  "5\tAR1 AC2 R3 C5\tG5\t400.000000\t 495.000000\t 0.808081\t\n") +
                block("slide2.txt", "1000.000000\t 2000.000000", "2.000000", "Ch.1/Ch.2 Ratio",
                      "1\tAR1 AC2 R3 C1\tgene a\t300.000000\t 300.000000\t 1.000000\t\n"
                      "2\tAR1 AC2 R3 C2\t\t-100.000000\t 100.000000\t 0.000000\t\n"
                      "3\tAR1 AC2 R3 C3\tG3\t0.000000\t 0.000000\t 0.000000\t\n"
                      "4\tAR1 AC2 R3 C4\tG4\t300.000000\t 50.000000\t 6.000000\t\n"
                      "5\tAR1 AC2 R3 C5\tG5\t400.000000\t 550.000000\t 0.727273\t\n"));

  // Gene 1: (1, 2 | 1, 0), file means 1.5 and 1.0; kept 1, 1, 2: mean 4/3, SD sqrt(2)/3 = 0.471,
  // CV 0.354, median 1, log2 mean 1/3, log2 SD sqrt(2)/3, t = 1, p 0.422650. Gene 2: (10 failed,
  // 0 | 0 failed, 6): file means 10 and 6, one kept value 6, log2 2.585.
  EXPECT_EQ(
      folder.read("merge.txt"),
      merge_header(2, 2, 2, "\nch1 : ch2  ratio was considered\n\n", "slide1.txt\tslide2.txt\t",
                   "2\t2\t", "0\t0\t", "slide1.txt-Ratio\tslide2.txt-Ratio\t") +
          "  1-  2\tAR1 AC2 R3 C1-C2\t\t1.500000\t1.000000\t1.333\t0.471\t0.354\t1.000\t"
          "0.333\t0.471\t0.422650\t3\t0\n"
          "  3-  4\tAR1 AC2 R3 C3-C4\tG4\t10.000000\t6.000000\t6.000\t0.000\t0.000\t6.000\t"
          "2.585\t0.000\t-\t1\t0\n");
}

}  // namespace
