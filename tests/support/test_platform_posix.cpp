// The tests' processes, pipes and streams on POSIX.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "support/test_platform.hpp"

const bool kOnWindows = false;
const char* const kNullDevice = "/dev/null";

namespace {

// The word in single quotes for the shell, a quote inside written as '\''.
std::string shell_quoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

int status_of(int raw) {
  return raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace

int run_program(const std::filesystem::path& folder, const std::vector<std::string>& words,
                const std::string& input, const std::string& output, const std::string& errors,
                int seconds) {
  std::string line =
      "cd " + shell_quoted(folder.string()) + " && timeout " + std::to_string(seconds);
  for (const std::string& word : words)
    line += " " + shell_quoted(word);
  line += " < " + shell_quoted(input.empty() ? kNullDevice : input);
  line += " > " + shell_quoted(output) + " 2> " + shell_quoted(errors);
  const int status = status_of(std::system(line.c_str()));
  // timeout's own status when it ended the program.
  return status == 124 ? -1 : status;
}

int run_shell_line(const std::filesystem::path& folder, const std::string& line,
                   const std::string& output, const std::string& errors) {
  const std::string command = "cd " + shell_quoted(folder.string()) + " && (" + line + ") < " +
                              kNullDevice + " > " + shell_quoted(output) + " 2> " +
                              shell_quoted(errors);
  return status_of(std::system(command.c_str()));
}

NamedPipe::NamedPipe(const std::filesystem::path& folder) : path_(folder / "pipe"), name_("pipe") {
  made_ = mkfifo(path_.c_str(), 0600) == 0;
}

NamedPipe::~NamedPipe() {
  if (made_) std::filesystem::remove(path_);
}

void show_output_and_end_input() {
  std::fflush(stdout);
  if (std::freopen(kNullDevice, "r", stdin) == nullptr) std::abort();
  if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) std::abort();
}
