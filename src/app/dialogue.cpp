#include "app/dialogue.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/platform.hpp"
#include "run/console.hpp"

namespace {

// The next answer word. A closed input would repeat the question forever, so end of input ends
// the run instead, with status 1 and without the key wait that could never be answered.
std::string next_answer() {
  std::string word;
  if (!read_answer_word(word)) {
    std::fputs("\nThe input ended before the question was answered.\n", stdout);
    exit_after_failure(Console{stdout, true, false}, 1);
  }
  return word;
}

// Only a regular file can be a result file: a folder, a device or a named pipe is refused like a
// file that does not open, and testing a pipe does not wait for a writer.
bool file_opens(const std::string& name) {
  const int fd = open_regular_file(name.c_str());
  if (fd < 0) return false;
  close_file(fd);
  return true;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

int32_t leading_integer(const std::string& word) {
  std::size_t i = (!word.empty() && (word[0] == '+' || word[0] == '-')) ? 1 : 0;
  bool negative = i == 1 && word[0] == '-';
  int64_t value = 0;
  for (; i < word.size() && is_digit(word[i]); ++i) {
    value = value * 10 + (word[i] - '0');
    if (value > int64_t{1} << 32) value = int64_t{1} << 32;  // beyond every 32-bit value
  }
  if (negative) value = -value;
  value = std::max<int64_t>(value, std::numeric_limits<int32_t>::min());
  value = std::min<int64_t>(value, std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(value);
}

double leading_real(const std::string& word) {
  // The longest prefix of the form [sign] digits [. digits] [e [sign] digits], with at least one
  // digit before the exponent.
  std::size_t i = (!word.empty() && (word[0] == '+' || word[0] == '-')) ? 1 : 0;
  std::size_t number_start = i;
  std::size_t digits = 0;
  for (; i < word.size() && is_digit(word[i]); ++i)
    ++digits;
  if (i < word.size() && word[i] == '.') {
    for (++i; i < word.size() && is_digit(word[i]); ++i)
      ++digits;
  }
  if (digits == 0) return 0.0;
  std::size_t end = i;
  bool negative_exponent = false;
  if (i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < word.size() && (word[j] == '+' || word[j] == '-')) negative_exponent = word[j++] == '-';
    if (j < word.size() && is_digit(word[j])) {
      while (j < word.size() && is_digit(word[j]))
        ++j;
      end = j;
    } else {
      negative_exponent = false;
    }
  }
  double value = 0.0;
  auto result = std::from_chars(word.data() + number_start, word.data() + end, value);
  if (result.ec == std::errc::result_out_of_range) {
    value = negative_exponent ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return word[0] == '-' ? -value : value;
}

void ask_file_count(Run& run) {
  const char* prompt = "Input the number of data files you want to merge together:  ";
  std::fputs(prompt, stdout);
  for (;;) {
    int32_t value = leading_integer(next_answer());
    if (value > MAX_FILES) {
      std::printf("Invalid Input! At most %d data files can be merged together!\n\n", MAX_FILES);
    } else if (value != 0) {
      run.options.FileCount = value;
      return;
    } else {
      std::fputs("Invalid Input! You are expected to enter a integer!\n\n", stdout);
    }
    std::fputs(prompt, stdout);
  }
}

void ask_replicate_count(Run& run) {
  std::fputs("\n Input the number of replicated spots in each file:  ", stdout);
  for (;;) {
    int32_t value = leading_integer(next_answer());
    if (value >= 1) {
      run.options.ReplicateCount = value;
      return;
    }
    std::fputs("\n Invalid Input! You are expected to enter a positive integer!\n\n", stdout);
    std::fputs("Input the number of replicated spots in each slides:  ", stdout);
  }
}

void ask_file_names(Run& run) {
  std::fputs("\n Input the file names(no space allowed  within a filename):  ", stdout);
  std::fputs("\n", stdout);
  for (int32_t k = 1; k <= run.options.FileCount; ++k) {
    for (;;) {
      std::printf("\n file name %d:  ", k);
      std::string name = next_answer();
      if (name.size() > MAX_NAME_LENGTH) {
        std::printf(
            "the file name %s is longer than %d characters\n Please enter the file name again\n",
            name.c_str(), MAX_NAME_LENGTH);
        continue;
      }
      char* row = run.options.FileNames[k].block();
      std::memcpy(row, name.c_str(), name.size() + 1);
      bool accepted = true;
      if (!file_opens(name)) {
        std::printf("can't open  file: %s\n Please enter the file name again\n", row);
        accepted = false;
      }
      for (int32_t j = 1; j < k; ++j) {
        if (std::strcmp(row, run.options.FileNames[j].block()) == 0) {
          std::printf("%s has been used by file name %d\n Please enter the file name again\n", row,
                      j);
          accepted = false;
        }
      }
      if (accepted) break;
    }
  }
}

void list_file_names(Run& run) {
  std::fputs("\n\nThe Files you want to merge are\n", stdout);
  for (int32_t k = 1; k <= run.options.FileCount; ++k) {
    std::printf("  File name %d:\t %s\n", k, run.options.FileNames[k].block());
  }
  std::fputs("\n\n", stdout);
}

void ask_ratio_choice(Run& run) {
  std::fputs(
      "Which kind of ratio you want to consider?\n1 --- ch2 : ch1\n2 --- ch1 : ch2\n\n"
      "Please enter 1 or 2 to make your choice:  ",
      stdout);
  for (;;) {
    int32_t value = leading_integer(next_answer());
    std::fputs("\n", stdout);
    if (value == 1 || value == 2) {
      run.options.RatioChoice = value;
      return;
    }
    std::fputs("Invalid Input, you are expected to enter 1 or 2\nPlease enter your choice again:  ",
               stdout);
  }
}

void ask_quality_constant(Run& run) {
  std::fputs("Please input the constant C for the quality control purpose:\n", stdout);
  std::fputs("if for a spot the fraction (intensity/background) less than C for both channel,\n",
             stdout);
  std::fputs("then this spot will be not accounted for. (0.0 <= C<= 4.0, C=1.0 recommended)\n",
             stdout);
  std::fputs("C=", stdout);
  for (;;) {
    double value = leading_real(next_answer());
    std::fputs("\n", stdout);
    if (value >= 0.0 && value <= 4.0) {
      run.options.QualityConstant = value;
      return;
    }
    std::fputs(
        "Invalid Input, you are expected to enter a real number range from 1.0 to 4.0\n"
        "Please enter your choice again:  ",
        stdout);
  }
}
