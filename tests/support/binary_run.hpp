// Runs the real corvane binary in a scratch folder with answers piped on standard input.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct BinaryRun {
  int status = -1;      // exit status, or -1 when the process did not exit normally
  std::string console;  // standard output
  std::string errors;   // standard error
};

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  void write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ / name, std::ios::binary) << content;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool exists(const std::string& name) const {
    return std::filesystem::exists(std::filesystem::symlink_status(path_ / name));
  }

  // Runs corvane here with `answers` on standard input; a run that takes longer than 20 seconds
  // is killed (it would be waiting for input that never comes).
  BinaryRun run(const std::string& answers) const {
    write(".answers", answers);
    return run_command("timeout 20 '" CORVANE_BINARY "' < .answers");
  }

  // Runs corvane here with the given arguments, already quoted for the shell, and no input.
  BinaryRun run_with_arguments(const std::string& arguments) const {
    return run_command("timeout 20 '" CORVANE_BINARY "' " + arguments + " < /dev/null");
  }

  // Runs a shell command line here that starts corvane (whose path is CORVANE_BINARY), with the
  // output of the line collected.
  BinaryRun run_command(const std::string& line) const {
    std::string command = "cd '" + path_.string() + "' && " + line + " > .console 2> .errors";
    int raw = std::system(command.c_str());
    BinaryRun result;
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    result.console = read(".console");
    result.errors = read(".errors");
    return result;
  }

 private:
  std::filesystem::path path_;
};

// The banner every run starts with.
inline const std::string kBanner =
    "You are using Corvane 2.0 released on Jan. 30, 2002.\n -----------------------\n";
