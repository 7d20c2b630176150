// Small files of the formats other than the scanner's, written by the tests, and how to read them.
#pragma once

#include <string>
#include <vector>

#include "input/field_values.hpp"
#include "input/slide_table.hpp"
#include "input_test_support.hpp"
#include "support/gzip_text.hpp"

// The lines joined with the line end.
inline std::string joined(const std::vector<std::string>& lines, const std::string& eol = "\n") {
  std::string text;
  for (const std::string& line : lines)
    text += line + eol;
  return text;
}

// Reads text in memory (named memory.txt) as the given format.
inline SlideTable read_text(const std::string& text, SlideFormat format,
                            const ReadChoices& choices = {}, bool with_annotations = true) {
  ResultFile file = result_file_from(text);
  return read_slide_table(file, format, choices, with_annotations);
}

// GenePix results of six spots, one per block, the blocks in two rows of three on the slide
// (X grows along a row, Y from row to row). `quote` encloses the header records and the titles in
// double quotes; `tail` is added to every line (trailing tabs).
inline std::vector<std::string> genepix_lines(bool quote = false, const std::string& tail = "") {
  const auto q = [quote](const std::string& text) { return quote ? "\"" + text + "\"" : text; };
  std::vector<std::string> lines = {
      "ATF\t1.0",
      "4\t14",
      q("Type=GenePix Results 3"),
      q("DateTime=2010/11/09 16:56:02"),
      "\"Wavelengths=635\t532\"",
      q("Scanner=GenePix 4000B"),
  };
  std::string titles;
  for (const char* title :
       {"Block", "Column", "Row", "Name", "ID", "X", "Y", "F635 Median", "F635 Mean", "F532 Median",
        "F532 Mean", "B635 Median", "B532 Median", "Flags"}) {
    titles += (titles.empty() ? "" : "\t") + q(title);
  }
  lines.push_back(titles);
  lines.push_back("1\t2\t3\tgene a\tID1\t100\t200\t510\t500.5\t410\t400.25\t50\t40\t0");
  lines.push_back("2\t1\t1\t\"gene \"\"b\"\"\"\tID2\t1100\t210\t520\t501\t420\t401\t51\t41\t-50");
  lines.push_back("3\t1\t1\tgene c\tID3\t2100\t190\t530\t502\t430\t402\t52\t42\t100");
  lines.push_back("4\t1\t1\tgene d\tID4\t90\t1200\t540\t503\t440\t403\t53\t43\t-100");
  lines.push_back("5\t1\t1\tgene e\tID5\t1090\t1210\t550\t504\t450\t404\t54\t44\t0");
  lines.push_back("6\t4\t5\tgene f\tID6\t2090\t1190\t560\t505\t460\t405\t55\t45\t0");
  for (std::string& line : lines)
    line += tail;
  return lines;
}

// Agilent Feature Extraction text of three features.
inline std::vector<std::string> agilent_lines() {
  return {
      "TYPE\ttext\ttext\tinteger",
      "FEPARAMS\tProtocol_Name\tScan_ScannerName\tScan_NumChannels",
      "DATA\tGE2_105_Dec08\tSG12345678\t2",
      "*",
      "TYPE\tinteger\tfloat",
      "STATS\tgDarkOffsetAverage\trDarkOffsetAverage",
      "DATA\t10.5\t12.25",
      "*",
      "TYPE\tinteger\tinteger\tinteger\tinteger\ttext\ttext\tfloat\tfloat\tfloat\tfloat\tfloat\t"
      "float\tfloat\tfloat\tboolean",
      "FEATURES\tFeatureNum\tRow\tCol\tControlType\tProbeName\tGeneName\trMeanSignal\tgMeanSignal\t"
      "rMedianSignal\tgMedianSignal\trBGMedianSignal\tgBGMedianSignal\tLogRatio\tgIsSaturated\t"
      "IsManualFlag",
      "DATA\t1\t1\t1\t1\tBrightCorner\tBrightCorner\t9000.5\t8000.5\t9001\t8001\t30\t31\t0.1\t0\t0",
      "DATA\t2\t1\t2\t0\tA_44_P1\t\"Gene B\t1500.25\t1400.75\t1501\t1401\t32\t33\t-0.2\t0\t1",
      "DATA\t3\t2\t1\t-1\tNegativeControl\tNC\t35.5\t36.5\t35\t36\t34\t35\t0\t0\t0",
  };
}

// A SPOT table of four spots in a grid of 2 x 2 blocks.
inline std::vector<std::string> spot_lines() {
  return {
      "indexs\tgrid.r\tgrid.c\tspot.r\tspot."
      "c\tarea\tGmean\tGmedian\tRmean\tRmedian\tmorphG\tmorphR\t"
      "badspot",
      "0\t1\t1\t1\t1\t95\t22028.26\t23219\t19538.47\t20626\t182\t174\t0",
      "1\t1\t2\t1\t2\t85\t25613.2\t20827\t23619.82\t18618\t171\t174\t0",
      "2\t2\t1\t2\t1\t80\t100.5\t101\t200.5\t201\t10\t11\t1",
      "3\t2\t2\t2\t2\t70\t300.5\t301\t400.5\t401\t12\t13\t0",
  };
}

// A table of named columns.
inline std::vector<std::string> columns_lines() {
  return {
      "gene\tred\tgreen\tred bg\tgreen bg\tnote",
      "g1\t100\t200\t10\t20\tx",
      "g2\t110\t210\t11\t21\t",
      "g3\t120\t220\t12\t22\ty",
  };
}

inline ReadChoices columns_choices() {
  ReadChoices choices;
  choices.format_forced = true;
  choices.format = SlideFormat::kColumns;
  choices.columns.r = "red";
  choices.columns.g = "green";
  choices.columns.rb = "red bg";
  choices.columns.gb = "green bg";
  choices.columns.id = "gene";
  return choices;
}
