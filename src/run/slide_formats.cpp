#include "run/slide_formats.hpp"

#include <algorithm>
#include <utility>

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

// --columns R=NAME,G=NAME,Rb=NAME,Gb=NAME[,id=NAME][,name=NAME][,block=NAME][,row=NAME]
// [,column=NAME]: the four intensity columns are required, the others may be left out.
bool parse_named_columns(std::string_view text, NamedColumns& columns, std::string& error) {
  const std::pair<const char*, std::string*> keys[] = {
      {"R", &columns.r},         {"G", &columns.g},     {"Rb", &columns.rb},
      {"Gb", &columns.gb},       {"id", &columns.id},   {"name", &columns.name},
      {"block", &columns.block}, {"row", &columns.row}, {"column", &columns.column}};
  const std::string usage =
      "option --columns takes R=NAME,G=NAME,Rb=NAME,Gb=NAME and, if the table has them, "
      "id=, name=, block=, row= and column=";
  while (!text.empty()) {
    const std::string_view item = text.substr(0, text.find(','));
    text.remove_prefix(std::min(text.size(), item.size() + 1));
    const std::size_t equals = item.find('=');
    const std::string_view key = item.substr(0, equals);
    std::string* column = nullptr;
    for (const auto& [name, place] : keys)
      if (key == name) column = place;
    if (equals == std::string_view::npos || column == nullptr || equals + 1 == item.size()) {
      error = usage + ", not '" + std::string(item) + "'";
      return false;
    }
    if (!column->empty()) {
      error = "option --columns names the column " + std::string(key) + " twice";
      return false;
    }
    *column = item.substr(equals + 1);
  }
  if (columns.r.empty() || columns.g.empty() || columns.rb.empty() || columns.gb.empty()) {
    error = usage + ": R, G, Rb and Gb are required";
    return false;
  }
  return true;
}
