// Runs the real corvane binary in a scratch folder with answers piped on standard input, or with
// arguments on the command line.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_platform.hpp"

struct BinaryRun {
  int status = -1;      // exit status, or -1 when the process did not exit normally
  std::string console;  // standard output
  std::string errors;   // standard error
};

// The words of an argument text: separated by blanks, a part in single quotes taken as it is, so
// that "-o 'a b'" is the two words -o and "a b".
inline std::vector<std::string> argument_words(const std::string& arguments) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false, quoted = false;
  for (char c : arguments) {
    if (c == '\'') {
      quoted = !quoted;
      in_word = true;
    } else if (c == ' ' && !quoted) {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

class ScratchFolder {
 public:
  // A new folder under the system's temporary folder, or under the given folder.
  ScratchFolder() : path_(make_scratch_folder("corvane-")) {}
  explicit ScratchFolder(const std::filesystem::path& under)
      : path_(make_scratch_folder("corvane-", under)) {}
  ~ScratchFolder() {
    std::error_code error;  // a file that another process still holds stays behind
    std::filesystem::remove_all(path_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  void write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ / name, std::ios::binary) << content;
  }
  // The file's text, CR LF read as LF on Windows (see as_text).
  std::string read(const std::string& name) const { return as_text(read_bytes(name)); }
  // The file's bytes as they are.
  std::string read_bytes(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool exists(const std::string& name) const {
    return std::filesystem::exists(std::filesystem::symlink_status(path_ / name));
  }

  // Runs corvane here with `answers` on standard input; a run that takes longer than 20 seconds
  // is ended (it would be waiting for input that never comes).
  BinaryRun run(const std::string& answers) const {
    write(".answers", answers);
    return collect(run_program(path_, {CORVANE_BINARY}, ".answers", ".console", ".errors"));
  }

  // Runs corvane here with the given arguments (see argument_words) and no input.
  BinaryRun run_with_arguments(const std::string& arguments) const {
    return run_tool(CORVANE_BINARY, arguments);
  }

  // Runs another program here the same way, such as the slide maker.
  BinaryRun run_tool(const std::string& program, const std::string& arguments) const {
    std::vector<std::string> words = {program};
    for (const std::string& word : argument_words(arguments))
      words.push_back(word);
    return collect(run_program(path_, words, "", ".console", ".errors"));
  }

  // Runs a command line of the system's shell here, with the output of the line collected.
  BinaryRun run_command(const std::string& line) const {
    return collect(run_shell_line(path_, line, ".console", ".errors"));
  }

 private:
  BinaryRun collect(int status) const {
    BinaryRun result;
    result.status = status;
    result.console = read(".console");
    result.errors = read(".errors");
    return result;
  }

  std::filesystem::path path_;
};

// The banner every run starts with.
inline const std::string kBanner =
    "You are using Corvane 2.0 released on Jan. 30, 2002.\n -----------------------\n";
