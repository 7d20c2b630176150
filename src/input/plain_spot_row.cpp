#include "input/plain_spot_row.hpp"

#include <cstring>

#include "input/plain_decimal.hpp"
#include "run/run.hpp"

// A row is read in three steps, with as few branches as the checks allow, since the lengths of its
// fields vary from row to row and would defeat any guess of where a loop over characters ends:
// its bytes are sorted into character classes, sixteen at a time, as bit masks with bit i for byte
// i; the tabs of the mask give the fields; and the masks check the characters of all fields at
// once. Only then are the kept fields converted.

namespace {

// Five integers, the name and eleven numbers, separated by sixteen tabs.
constexpr int kPositionColumns = 5;
constexpr int kNameField = kPositionColumns;
constexpr int kNumbersPerRow = 11;
constexpr int kFields = kPositionColumns + 1 + kNumbersPerRow;
// Nine digits always fit in 32 bits. A number of up to fifteen characters has at most fifteen
// digits, whose integer stays below 2^53 and so is an exact double.
constexpr int kMostIntegerDigits = 9;
constexpr int kLongestNumber = 15;

constexpr int kBlock = 16;
constexpr int kHalfRow = 64;
constexpr int kLongestRow = 2 * kHalfRow;  // bytes, line feed included
__extension__ using RowBits = unsigned __int128;
using ByteBlock = unsigned char __attribute__((vector_size(kBlock)));
// What comparing two blocks gives: all ones in the bytes where the comparison holds.
using ByteTruth = signed char __attribute__((vector_size(kBlock)));

struct RowClasses {
  RowBits tab = 0, line_feed = 0, digit = 0, point = 0, minus = 0, zero = 0;
};

// Bit i set when byte i of the comparison result is true (all ones).
uint16_t bit_per_byte(ByteTruth is) {
#if defined(__SSE2__)
  using CharBlock = char __attribute__((vector_size(kBlock)));
  return static_cast<uint16_t>(__builtin_ia32_pmovmskb128(reinterpret_cast<CharBlock>(is)));
#else
  uint64_t half[2];
  std::memcpy(half, &is, sizeof half);
  // Gathers the top bit of each byte of a half into its top byte.
  constexpr uint64_t kTopBits = 0x8080808080808080, kGather = 0x0002040810204081;
  const auto gather = [](uint64_t h) { return ((h & kTopBits) * kGather) >> 56; };
  return static_cast<uint16_t>(gather(half[0]) | gather(half[1]) << 8);
#endif
}

// The classes of a row as they are gathered: each mask in two words of 64 bits.
struct ClassWords {
  uint64_t tab[2] = {}, line_feed[2] = {}, digit[2] = {}, point[2] = {}, minus[2] = {},
           zero[2] = {};
};

// Adds the classes of blocks `first` to `end` - 1 of the row text to the words. The blocks are
// unrolled, so that each one's bits go to a fixed place.
template <int first, int end>
void classify_blocks(const char* text, ClassWords& words) {
#pragma GCC unroll 8
  for (int block_index = first; block_index < end; ++block_index) {
    ByteBlock block;
    std::memcpy(&block, text + block_index * kBlock, kBlock);
    const int word = block_index / 4;
    const int shift = block_index % 4 * kBlock;
    const auto bits = [shift](ByteTruth is) { return uint64_t{bit_per_byte(is)} << shift; };
    words.tab[word] |= bits(block == '\t');
    words.line_feed[word] |= bits(block == '\n');
    words.digit[word] |= bits(static_cast<ByteBlock>(block - '0') < 10);
    words.point[word] |= bits(block == '.');
    words.minus[word] |= bits(block == '-');
    words.zero[word] |= bits(block == 0);
  }
}

RowBits row_bits(const uint64_t (&words)[2]) {
  return RowBits{words[1]} << 64 | words[0];
}

// Sets the bits from each bit set up to `count` - 1 places above it, for 1 <= count <= 16.
RowBits spread_up(RowBits bits, int count) {
  RowBits spread = bits;
  for (int covered = 1; covered < count; covered *= 2)
    spread |= spread << (covered < count - covered ? covered : count - covered);
  return spread;
}

// Bits first to end - 1, for 0 <= first <= end < 128.
RowBits bit_range(int first, int end) {
  return ((RowBits{1} << end) - 1) & ~((RowBits{1} << first) - 1);
}

// The bytes below byte count of a word, for 0 <= count <= 8.
uint64_t low_bytes(int count) {
  return ~(~uint64_t{0} << 4 * count << 4 * count);
}

// The integer of the eight digits of a word, the first of them in its lowest byte (a zero byte
// counts as a zero digit): pairs, then fours, then all eight, one multiply a step.
uint64_t eight_digits(uint64_t word) {
  word = (word & 0x0F0F0F0F0F0F0F0F) * 2561 >> 8;
  word = (word & 0x00FF00FF00FF00FF) * 6553601 >> 16;
  return (word & 0x0000FFFF0000FFFF) * 42949672960001 >> 32;
}

// A field of one to eight digits with at most one point, read whole as a word: the point found and
// taken out, the digits moved to the top so that the bytes below them read as leading zeros.
[[gnu::always_inline]] inline PlainDecimal short_field_value(const char* text, int length) {
  uint64_t word;
  std::memcpy(&word, text, sizeof word);
  // The bytes equal to a point get their top bit set, exactly (no borrow crosses a byte).
  const uint64_t to_point = word ^ 0x2E2E2E2E2E2E2E2E;
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  const uint64_t points = ~(((to_point & kLow7) + kLow7) | to_point | kLow7) & low_bytes(length);
  const bool has_point = points != 0;
  const int point = has_point ? __builtin_ctzll(points) / 8 : length;
  word = (word & low_bytes(point)) | (word >> 8 & ~low_bytes(point));
  const int digits = length - (has_point ? 1 : 0);
  PlainDecimal value;
  value.digits = eight_digits(word << 8 * (8 - digits));
  value.decimals = length - point - (has_point ? 1 : 0);
  value.negative = false;
  return value;
}

// The value of a number field that has passed the checks, as the reader of single numbers gives
// it.
[[gnu::always_inline]] inline double number_value(const char* first, const char* end) {
  const bool negative = *first == '-';
  const char* const digits = first + (negative ? 1 : 0);
  PlainDecimal number{};
  if (end - digits <= 8) {
    number = short_field_value(digits, static_cast<int>(end - digits));
    number.negative = negative;
  } else {
    scan_plain_decimal(first, end, number);
  }
  return plain_decimal_value(number);
}

int32_t integer_value(const char* first, const char* end) {
  if (end - first <= 8) {
    return static_cast<int32_t>(short_field_value(first, static_cast<int>(end - first)).digits);
  }
  int32_t value = 0;
  for (const char* p = first; p != end; ++p)
    value = value * 10 + (*p - '0');
  return value;
}

}  // namespace

bool read_plain_spot_row(ResultFile& file, PlainSpotRow& row, bool with_positions) {
  const char* const data = file.bytes.data();
  const char* const last = data + file.bytes.size();
  const char* p = data + file.pos;

  // The end of the previous row.
  int64_t line_feeds = 0;
  while (p != last && is_white_space(*p)) {
    if (*p == '\n') ++line_feeds;
    ++p;
  }

  // Near the end of the file the row is read from a copy padded with zero bytes, so that no load
  // reaches beyond the file: neither the blocks of the classes nor the word of a short field.
  char padded[kLongestRow + sizeof(uint64_t)];
  const char* text = p;
  if (last - p < static_cast<std::ptrdiff_t>(sizeof padded)) {
    std::memset(padded, 0, sizeof padded);
    std::memcpy(padded, p, static_cast<std::size_t>(last - p));
    text = padded;
  }
  // Most rows end within six blocks.
  ClassWords words;
  classify_blocks<0, 6>(text, words);
  if ((words.line_feed[0] | words.line_feed[1]) == 0) {
    classify_blocks<6, kLongestRow / kBlock>(text, words);
  }
  RowClasses classes;
  classes.tab = row_bits(words.tab);
  classes.line_feed = row_bits(words.line_feed);
  classes.digit = row_bits(words.digit);
  classes.point = row_bits(words.point);
  classes.minus = row_bits(words.minus);
  classes.zero = row_bits(words.zero);
  if (classes.line_feed == 0) return false;

  const auto low_line_feed = static_cast<uint64_t>(classes.line_feed);
  int length = low_line_feed != 0
                   ? __builtin_ctzll(low_line_feed)
                   : kHalfRow + __builtin_ctzll(static_cast<uint64_t>(classes.line_feed >> 64));
  if (length > 0 && text[length - 1] == '\r') --length;

  // Each field runs from first[i] up to its tab at end[i]; the last one up to the line end. The
  // tabs come from each half of the mask in turn.
  const RowBits tabs = classes.tab & bit_range(0, length);
  int first[kFields], end[kFields];
  int tab_count = 0;
  for (int half = 0; half < 2; ++half) {
    auto bits = static_cast<uint64_t>(tabs >> kHalfRow * half);
    for (; bits != 0 && tab_count < kFields - 1; bits &= bits - 1)
      end[tab_count++] = kHalfRow * half + __builtin_ctzll(bits);
    if (bits != 0) return false;
  }
  if (tab_count != kFields - 1) return false;
  end[kFields - 1] = length;
  first[0] = 0;
  for (int i = 1; i < kFields; ++i)
    first[i] = end[i - 1] + 1;

  // The checks of every field are gathered, so that a row of the common shape takes no branch.
  // The classes of the three parts of the row are checked for all their fields at once.
  const RowBits separators = tabs | RowBits{1} << length;
  const RowBits field_starts = separators << 1 | 1;
  bool plain = true;
  // Only the name may be empty.
  plain &= (field_starts & separators & ~(RowBits{1} << first[kNameField])) == 0;
  // The integers: digits.
  const RowBits positions = bit_range(0, end[kPositionColumns - 1]);
  plain &= (positions & ~(classes.digit | classes.tab)) == 0;
  plain &= (positions & ~tabs & ~spread_up(field_starts, kMostIntegerDigits)) == 0;
  // The name: anything but a zero byte. A row of kLongestRow bytes always leaves room in the name
  // row for its tab and a zero.
  static_assert(kLongestRow < SPOT_NAME_WIDTH);
  plain &= (bit_range(first[kNameField], end[kNameField]) & classes.zero) == 0;
  // The numbers: an optional minus sign, then digits with at most one point among them.
  const RowBits numbers = bit_range(first[kNameField + 1], length);
  const RowBits points = classes.point & numbers;
  plain &= (numbers & ~(classes.digit | classes.point | classes.minus | classes.tab)) == 0;
  plain &= (classes.minus & numbers & ~field_starts) == 0;
  plain &= (numbers & ~tabs & ~spread_up(field_starts, kLongestNumber)) == 0;
  // A field without a digit: a carry that enters at its start runs through its other characters
  // and reaches its separator.
  const RowBits not_digits = numbers & ~classes.digit;
  const RowBits starts = field_starts & numbers;
  plain &= (((not_digits + starts) ^ not_digits ^ starts) & separators) == 0;
  // A field with two points: a carry that enters after a point runs through digits and signs and
  // reaches the next point before any separator; or the points stand side by side.
  const RowBits digits_and_signs = numbers & ~(classes.tab | classes.point);
  const RowBits after_points = points << 1;
  plain &= (((digits_and_signs + after_points) ^ digits_and_signs ^ after_points) & points) == 0;
  plain &= (points & after_points) == 0;
  if (!plain) return false;

  if (with_positions) {
    for (int i = 0; i < 4; ++i)
      row.position[i] = integer_value(text + first[i + 1], text + end[i + 1]);
  }
  row.name = p + first[kNameField];
  row.name_length = static_cast<std::size_t>(end[kNameField] - first[kNameField] + 1);
  // Numbers 3 and 4 are the intensity and background of channel 1, 7 and 8 those of channel 2.
  const auto number = [&](int n) {
    const int i = kNameField + n;
    return number_value(text + first[i], text + end[i]);
  };
  row.ch1_intensity = number(3);
  row.ch1_background = number(4);
  row.ch2_intensity = number(7);
  row.ch2_background = number(8);
  file.pos = static_cast<std::size_t>(p + end[kFields - 1] - data);
  file.line += line_feeds;
  return true;
}
