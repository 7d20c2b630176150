// Agilent Feature Extraction text output: three sections (FEPARAMS, STATS, FEATURES), each a TYPE
// line with the type of every column, a heading line whose first field names the section, and
// data lines whose first field is DATA. FEPARAMS and STATS hold one data line each; FEATURES one
// per feature. Its fields are never quoted: a double quote is a character like any other.
#include <algorithm>

#include "input/format_readers.hpp"

namespace {

// The FEPARAMS values a report may echo.
constexpr const char* kKeptParameters[] = {"Protocol_Name", "Scan_ScannerName", "Scan_Date",
                                           "FeatureExtractor_Barcode"};

bool starts_with_field(const Record& record, const char* text) {
  return record.fields[0].view() == text;
}

// The kept parameters of the FEPARAMS heading and its data line.
void keep_parameters(const Record& heading, const Record& data, SlideTable& table) {
  for (const char* key : kKeptParameters) {
    for (std::size_t i = 1; i < heading.fields.size() && i < data.fields.size(); ++i) {
      if (heading.fields[i].view() == key) {
        table.header.emplace_back(key, std::string(data.fields[i].view()));
        break;
      }
    }
  }
}

}  // namespace

SlideTable read_agilent_features(ResultFile& file, const ReadChoices& choices,
                                 bool with_annotations) {
  SlideTable table;
  table.format = SlideFormat::kAgilent;
  // The sections before FEATURES are passed over, but for the parameters that are kept.
  Record record, parameters;
  bool in_parameters = false;
  for (;;) {
    if (!read_record(file, false, record)) {
      reject_damaged_file(file, "expected the FEATURES section, found the end of the file");
    }
    if (starts_with_field(record, "FEATURES")) break;
    if (in_parameters && starts_with_field(record, "DATA"))
      keep_parameters(parameters, record, table);
    in_parameters = starts_with_field(record, "FEPARAMS");
    if (in_parameters) parameters = record;
  }
  const Titles titles = titles_of(record);

  const bool mean = choices.signal == SignalChoice::kMean;
  ColumnPlan plan;
  plan.r = require_column(file, titles, mean ? "rMeanSignal" : "rMedianSignal");
  plan.g = require_column(file, titles, mean ? "gMeanSignal" : "gMedianSignal");
  plan.rb = require_column(file, titles, "rBGMedianSignal");
  plan.gb = require_column(file, titles, "gBGMedianSignal");
  // One block: the array has no print tips.
  plan.row = find_column(titles, "Row");
  plan.column = find_column(titles, "Col");
  plan.flag = find_column(titles, "IsManualFlag");
  plan.flag_rule = FlagRule::kNotZero;
  plan.control = find_column(titles, "ControlType");
  if (with_annotations) {
    plan.id = id_column(file, titles, choices, "ProbeName");
    plan.name = find_column(titles, "GeneName");
  }
  read_spot_rows(file, titles, plan, "DATA", false, with_annotations, table);
  check_block_numbers(file, titles, table);
  return table;
}
