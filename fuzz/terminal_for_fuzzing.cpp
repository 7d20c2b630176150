// The terminal of the fuzzing build: answer words from the text the harness sets, no key wait,
// and an early exit becomes a RunEnded exception that the harness catches.
#include <cctype>
#include <cstdio>

#include "run/console.hpp"
#include "run_ended.hpp"

namespace {

std::string_view answer_input;  // what is left of the answers

}  // namespace

void set_answer_input(std::string_view text) {
  answer_input = text;
}

// As the program's terminal: white space (in the C locale) before the word is skipped, the word
// runs to the next white space, which is left for the next read.
bool read_answer_word(std::string& word) {
  std::fflush(stdout);
  word.clear();
  auto is_space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  std::size_t i = 0;
  while (i < answer_input.size() && is_space(answer_input[i]))
    ++i;
  if (i == answer_input.size()) {
    answer_input = {};
    return false;
  }
  const std::size_t start = i;
  while (i < answer_input.size() && !is_space(answer_input[i]))
    ++i;
  word.assign(answer_input.substr(start, i - start));
  answer_input.remove_prefix(i);
  return true;
}

void wait_for_key() {
  std::fflush(stdout);
}

void exit_after_failure(const Console& console, int status) {
  defer_exit_if_asked(status);
  if (console.key_waits) std::fputs("press any key to exit the program\n", console.messages);
  throw RunEnded{status};
}
