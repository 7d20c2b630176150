#include "run/console.hpp"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.hpp"
#include "run/output_files.hpp"
#include "run/shared_work.hpp"

bool read_answer_word(std::string& word) {
  std::fflush(stdout);
  word.clear();
  int c = std::getchar();
  while (c != EOF && std::isspace(c))
    c = std::getchar();
  if (c == EOF) return false;
  while (c != EOF && !std::isspace(c)) {
    word.push_back(static_cast<char>(c));
    c = std::getchar();
  }
  // Like formatted input, leave the white space that ended the word for the next read.
  if (c != EOF) std::ungetc(c, stdin);
  return true;
}

void wait_for_key() {
  std::fflush(stdout);
  if (!wait_for_console_key()) std::getchar();
}

void exit_after_failure(const Console& console, int status) {
  defer_exit_if_asked(status);
  // No thread of the run's work outlives it, and no temporary file either.
  stop_workers();
  discard_outputs();
  if (console.key_waits) {
    std::fputs("press any key to exit the program\n", console.messages);
    std::fflush(console.messages);
    wait_for_key();
  }
  std::fflush(console.messages);
  std::exit(status);
}
