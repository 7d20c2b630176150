// Telling a file's format from its first lines, never from its name, and the messages for a file
// in none of them.
#include <cstring>
#include <string>
#include <string_view>

#include "input/input.hpp"
#include "input/slide_table.hpp"
#include "input/tab_records.hpp"

namespace {

bool is_ascii_letter(unsigned c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The line that starts at pos (without its line end), and pos moved to the next one.
std::string_view next_line(const FileBytes& bytes, std::size_t& pos) {
  const std::size_t start = pos;
  const char* data = bytes.data();
  const void* line_feed =
      pos < bytes.size() ? std::memchr(data + pos, '\n', bytes.size() - pos) : nullptr;
  std::size_t end = line_feed == nullptr
                        ? bytes.size()
                        : static_cast<std::size_t>(static_cast<const char*>(line_feed) - data);
  pos = line_feed == nullptr ? bytes.size() : end + 1;
  if (end > start && data[end - 1] == '\r') --end;
  return {data + start, end - start};
}

// The line's first field, without the double quotes around it.
std::string_view first_field(std::string_view line) {
  line = line.substr(0, line.find('\t'));
  if (line.size() >= 2 && line.front() == '"' && line.back() == '"')
    line = line.substr(1, line.size() - 2);
  return line;
}

bool has_field(std::string_view line, std::string_view title) {
  while (!line.empty()) {
    if (first_field(line) == title) return true;
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) break;
    line.remove_prefix(tab + 1);
  }
  return false;
}

bool starts_with(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// The scanner's export: its first word, after any white space, is "User", exactly.
bool is_scanner_export(const FileBytes& bytes) {
  std::size_t i = 0;
  while (i < bytes.size() && is_white_space(bytes[i]))
    ++i;
  const std::size_t start = i;
  while (i < bytes.size() && !is_white_space(bytes[i]))
    ++i;
  return std::string_view(bytes.data() + start, i - start) == "User";
}

// GenePix results: ATF on line 1 and, among the header records that line 2 counts, one that
// starts Type=GenePix Results (quoted or not).
bool is_genepix_results(const FileBytes& bytes) {
  std::size_t pos = 0;
  if (first_field(next_line(bytes, pos)) != "ATF") return false;
  const std::string_view counts = next_line(bytes, pos);
  const std::size_t records = std::strtoul(std::string(first_field(counts)).c_str(), nullptr, 10);
  for (std::size_t i = 0; i < records && pos < bytes.size(); ++i) {
    std::string_view record = next_line(bytes, pos);
    if (starts_with(record, "\"")) record.remove_prefix(1);
    if (starts_with(record, "Type=GenePix Results")) return true;
  }
  return false;
}

bool is_agilent_features(const FileBytes& bytes) {
  std::size_t pos = 0;
  if (first_field(next_line(bytes, pos)) != "TYPE") return false;
  return first_field(next_line(bytes, pos)) == "FEPARAMS";
}

bool is_spot_table(const FileBytes& bytes) {
  std::size_t pos = 0;
  const std::string_view heading = next_line(bytes, pos);
  return first_field(heading) == "indexs" && has_field(heading, "Rmean") &&
         has_field(heading, "Gmean");
}

}  // namespace

Recognition recognise_file(const ResultFile& file) {
  const FileBytes& bytes = file.bytes;
  const auto byte = [&bytes](std::size_t i) {
    return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u;
  };
  if ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))
    return Recognition::kUtf16;
  if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) return Recognition::kUtf8Mark;
  if (is_scanner_export(bytes)) return Recognition::kScanner;
  // UTF-16 without a mark spells ASCII text with a zero byte beside every letter; its first word
  // shows it.
  constexpr std::size_t kLookedAt = 16;
  for (std::size_t i = 1; i + 1 < bytes.size() && i < kLookedAt; ++i) {
    if (byte(i) == 0 && is_ascii_letter(byte(i - 1)) && is_ascii_letter(byte(i + 1)))
      return Recognition::kUtf16;
  }
  if (is_genepix_results(bytes)) return Recognition::kGenePix;
  if (is_agilent_features(bytes)) return Recognition::kAgilent;
  if (is_spot_table(bytes)) return Recognition::kSpot;
  return Recognition::kUnknown;
}

void reject_unreadable_file(const ResultFile& file, Recognition recognition) {
  const char* name = file.name.c_str();
  if (recognition == Recognition::kUtf16) {
    // A Unicode export of the scanner: the README tells how to convert it.
    print_failure(file.console,
                  "\n %s is not a valid ASCII format Vantar output file, check\n"
                  " the README to see how to convert a Unicode Vantar output file\n"
                  " to an ASCII format file\n",
                  name);
  } else if (recognition == Recognition::kUtf8Mark) {
    print_failure(file.console,
                  "\n %s starts with a UTF-8 byte order mark, the bytes EF BB BF that some\n"
                  " programs write at the start of a text file. Remove it and read the file\n"
                  " again, for example with:\n"
                  "   sed -i '1s/^\\xEF\\xBB\\xBF//' %s\n",
                  name, name);
  } else {
    std::size_t pos = 0;
    const std::string first_line(next_line(file.bytes, pos));
    print_failure(
        file.console,
        "\n %s is in none of the formats that Corvane reads; its first line holds\n"
        "   %s\n"
        " Corvane reads the Vantar scanner's ASCII export (first word User), GenePix\n"
        " results (ATF on line 1, a Type=GenePix Results record), Agilent Feature\n"
        " Extraction text (a TYPE line, then FEPARAMS), SPOT tables (headings indexs,\n"
        " grid.r, ..., Rmean, Gmean) and, with --format columns, a tab-separated table\n"
        " whose columns --columns names.\n",
        name, file.bytes.empty() ? "nothing: the file is empty" : shown_text(first_line).c_str());
  }
  print_failure(file.console, "\n");
  exit_after_failure(file.console, 1);
}

SlideFormat open_slide_file(const Console& console, const char* name, int32_t file_number,
                            const ReadChoices& choices, ResultFile& file) {
  load_or_refuse(console, name, file_number, file);
  const Recognition recognition = recognise_file(file);
  if (recognition == Recognition::kUtf16 || recognition == Recognition::kUtf8Mark ||
      (!choices.format_forced && recognition == Recognition::kUnknown)) {
    reject_unreadable_file(file, recognition);
  }
  SlideFormat format = choices.format;
  if (!choices.format_forced) {
    switch (recognition) {
      case Recognition::kGenePix:
        format = SlideFormat::kGenePix;
        break;
      case Recognition::kAgilent:
        format = SlideFormat::kAgilent;
        break;
      case Recognition::kSpot:
        format = SlideFormat::kSpot;
        break;
      default:
        format = SlideFormat::kScanner;
        break;
    }
  }
  if (format == SlideFormat::kScanner) {
    std::string first_word;
    if (!read_word(file, first_word) || first_word != "User")
      reject_unreadable_file(file, Recognition::kUnknown);
  }
  return format;
}

SlideFormat recognised_format(const Console& console, const char* name,
                              const ReadChoices& choices) {
  if (choices.format_forced) return choices.format;
  ResultFile file;
  file.console = console;
  if (!load_result_file(name, file)) return SlideFormat::kScanner;
  switch (recognise_file(file)) {
    case Recognition::kGenePix:
      return SlideFormat::kGenePix;
    case Recognition::kAgilent:
      return SlideFormat::kAgilent;
    case Recognition::kSpot:
      return SlideFormat::kSpot;
    default:
      return SlideFormat::kScanner;
  }
}
