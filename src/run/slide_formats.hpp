// The formats of the result files a run reads, and what the command line says about reading them.
#pragma once

#include <string>
#include <string_view>

enum class SlideFormat { kScanner, kGenePix, kAgilent, kSpot, kColumns };

// The columns of a table read with --format columns; r, g, rb and gb are required, the others may
// be empty (not in the file).
struct NamedColumns {
  std::string r, g, rb, gb, id, name, block, row, column;
};

// --signal: the mean or the median of a feature's pixels, where the format has both.
enum class SignalChoice { kFormatDefault, kMean, kMedian };

// What the command line says about reading the files.
struct ReadChoices {
  bool format_forced = false;  // --format NAME
  SlideFormat format = SlideFormat::kScanner;
  SignalChoice signal = SignalChoice::kFormatDefault;
  std::string id_column;  // --id COLUMN: the column that names a spot's gene; empty: the format's
  NamedColumns columns;   // for SlideFormat::kColumns
};

// The format's name as --format takes it: scanner, genepix, agilent, spot, columns.
const char* format_name(SlideFormat format);
// The format of a --format word; false when the word names none.
bool format_from_name(const std::string& word, SlideFormat& format);
// The format's name for people: "GenePix results", "the Vantar scanner's ASCII export", ...
const char* format_title(SlideFormat format);

// The columns of --columns, "R=NAME,G=NAME,Rb=NAME,Gb=NAME[,id=NAME][,name=NAME][,block=NAME]
// [,row=NAME][,column=NAME]": the four intensity columns are required, the others may be left
// out. False, with a message that says what is taken, for any other text.
bool parse_named_columns(std::string_view text, NamedColumns& columns, std::string& error);
