#include "run/console.hpp"

#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

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
  termios saved{};
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) {
    std::getchar();
    return;
  }
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char key = 0;
  ssize_t got = read(STDIN_FILENO, &key, 1);
  (void)got;  // the key, or its absence, is discarded either way
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

void exit_after_failure(const Console& console, int status) {
  if (console.key_waits) {
    std::fputs("press any key to exit the program\n", console.messages);
    std::fflush(console.messages);
    wait_for_key();
  }
  std::fflush(console.messages);
  std::exit(status);
}
