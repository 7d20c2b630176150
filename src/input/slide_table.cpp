#include "input/slide_table.hpp"

#include <cassert>

#include "input/format_readers.hpp"

namespace {

struct FormatNames {
  SlideFormat format;
  const char* name;
  const char* title;
};

constexpr FormatNames kFormats[] = {
    {SlideFormat::kScanner, "scanner", "the Vantar scanner's ASCII export"},
    {SlideFormat::kGenePix, "genepix", "GenePix results"},
    {SlideFormat::kAgilent, "agilent", "Agilent Feature Extraction text"},
    {SlideFormat::kSpot, "spot", "a SPOT table"},
    {SlideFormat::kColumns, "columns", "a table of named columns"},
};

}  // namespace

const char* format_name(SlideFormat format) {
  for (const FormatNames& names : kFormats)
    if (names.format == format) return names.name;
  return "";
}

const char* format_title(SlideFormat format) {
  for (const FormatNames& names : kFormats)
    if (names.format == format) return names.title;
  return "";
}

bool format_from_name(const std::string& word, SlideFormat& format) {
  for (const FormatNames& names : kFormats) {
    if (word == names.name) {
      format = names.format;
      return true;
    }
  }
  return false;
}

SlideTable read_slide_table(ResultFile& file, SlideFormat format, const ReadChoices& choices,
                            bool with_annotations) {
  file.pos = 0;
  file.line = 1;
  switch (format) {
    case SlideFormat::kGenePix:
      return read_genepix_results(file, choices, with_annotations);
    case SlideFormat::kAgilent:
      return read_agilent_features(file, choices, with_annotations);
    case SlideFormat::kSpot:
      return read_spot_file(file, choices, with_annotations);
    case SlideFormat::kColumns:
      return read_named_columns(file, choices, with_annotations);
    case SlideFormat::kScanner:
      break;
  }
  assert(false && "the scanner's spot table is read by read_spot_tables");
  return SlideTable{};
}
