#include "run/slide_formats.hpp"

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

