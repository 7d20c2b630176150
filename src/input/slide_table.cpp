#include "input/slide_table.hpp"

#include <cassert>

#include "input/format_readers.hpp"

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
