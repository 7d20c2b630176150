#include "input/tab_records.hpp"

#include <cstdio>
#include <cstring>

namespace {

// The field that starts at p, quoted, when its closing quote comes before `end` and is followed by
// a tab, a line end or the end of the file; null otherwise. The closing quote is then *close.
const char* closing_quote(const char* p, const char* end, Record& record) {
  if (record.no_quote_after != nullptr && p >= record.no_quote_after) return nullptr;
  for (const char* q = p + 1; q < end; ++q) {
    q = static_cast<const char*>(std::memchr(q, '"', static_cast<std::size_t>(end - q)));
    if (q == nullptr) {
      record.no_quote_after = p;
      return nullptr;
    }
    if (q + 1 < end && q[1] == '"') {
      ++q;  // a doubled quote stands for one
      continue;
    }
    const char* after = q + 1;
    if (after == end || *after == '\t' || *after == '\n' ||
        (*after == '\r' && (after + 1 == end || after[1] == '\n'))) {
      return q;
    }
    return nullptr;
  }
  return nullptr;
}

// The end of the line's text: before its line feed, and before a carriage return that precedes it.
const char* text_end(const char* first, const char* line_feed) {
  return line_feed > first && line_feed[-1] == '\r' ? line_feed - 1 : line_feed;
}

// Adds the fields of first..last, split at its tabs. Fields are short (a few characters), so the
// tabs are found sixteen bytes at a time, as a bit mask of the bytes that hold one, rather than by
// a search per field.
void split_at_tabs(const char* first, const char* last, std::vector<Field>& fields) {
  const char* start = first;
  const char* p = first;
#if defined(__SSE2__)
  using ByteBlock = char __attribute__((vector_size(16)));
  for (; last - p >= 16; p += 16) {
    ByteBlock block;
    std::memcpy(&block, p, sizeof block);
    const ByteBlock tabs = block == '\t';
    for (auto mask = static_cast<unsigned>(__builtin_ia32_pmovmskb128(tabs)); mask != 0;
         mask &= mask - 1) {
      const char* tab = p + __builtin_ctz(mask);
      fields.push_back({start, tab, false});
      start = tab + 1;
    }
  }
#endif
  for (; p != last; ++p) {
    if (*p == '\t') {
      fields.push_back({start, p, false});
      start = p + 1;
    }
  }
  fields.push_back({start, last, false});
}

}  // namespace

bool read_record(ResultFile& file, bool quotes, Record& record) {
  const char* const data = file.bytes.data();
  const char* const end = data + file.bytes.size();
  const char* p = data + file.pos;
  if (p >= end) return false;
  record.fields.clear();
  record.line = file.line;

  const char* line_feed = static_cast<const char*>(std::memchr(p, '\n', end - p));
  if (line_feed == nullptr) line_feed = end;
  // Most records hold no quote: their fields are split at tabs alone.
  if (!quotes || std::memchr(p, '"', line_feed - p) == nullptr) {
    split_at_tabs(p, text_end(p, line_feed), record.fields);
    file.pos = static_cast<std::size_t>(line_feed - data) + (line_feed == end ? 0 : 1);
    if (line_feed != end) ++file.line;
    return true;
  }

  // A record with quotes: field by field, a quoted one maybe past line ends.
  for (;;) {
    const char* close = *p == '"' ? closing_quote(p, end, record) : nullptr;
    const char* field_end;
    if (close != nullptr) {
      record.fields.push_back({p + 1, close, true});
      for (const char* q = p; q < close; ++q)
        if (*q == '\n') ++file.line;
      field_end = close + 1;
    } else {
      const char* stop = p;
      while (stop < end && *stop != '\t' && *stop != '\n')
        ++stop;
      field_end = stop;
      record.fields.push_back({p, stop == end || *stop == '\n' ? text_end(p, stop) : stop, false});
    }
    // field_end stands on a tab, a carriage return before a line feed, a line feed or the end.
    if (field_end < end && *field_end == '\r') ++field_end;
    if (field_end == end) {
      file.pos = file.bytes.size();
      return true;
    }
    if (*field_end == '\n') {
      file.pos = static_cast<std::size_t>(field_end - data) + 1;
      ++file.line;
      return true;
    }
    p = field_end + 1;
  }
}

bool record_is_blank(const Record& record) {
  for (const Field& field : record.fields) {
    for (const char* p = field.first; p != field.last; ++p)
      if (!is_white_space(*p)) return false;
  }
  return true;
}

std::size_t filled_width(const Record& record) {
  std::size_t width = record.fields.size();
  while (width > 0 && record.fields[width - 1].first == record.fields[width - 1].last &&
         !record.fields[width - 1].quoted) {
    --width;
  }
  return width;
}

std::string_view record_view(const Record& record) {
  const std::size_t width = filled_width(record);
  if (width == 0) return {};
  const Field& first = record.fields.front();
  const Field& last = record.fields[width - 1];
  const char* begin = first.quoted ? first.first - 1 : first.first;
  const char* end = last.quoted ? last.last + 1 : last.last;
  return {begin, static_cast<std::size_t>(end - begin)};
}

std::string field_text(const Field& field) {
  std::string text(field.first, field.last);
  if (!field.quoted) return text;
  std::string single;
  for (std::size_t i = 0; i < text.size(); ++i) {
    single += text[i];
    if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"') ++i;
  }
  return single;
}

std::string shown_text(std::string_view text) {
  constexpr std::size_t kLongestShown = 40;
  std::string shown = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == kLongestShown) {
      shown += "...";
      break;
    }
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\t') {
      shown += "\\t";
    } else if (c >= 0x20 && c < 0x7f) {
      shown += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
      shown += escaped;
    }
  }
  return shown + "\"";
}
