// What the tests do differently on POSIX and on Windows: starting a program with its standard
// streams in files, the null device, named pipes, the standard streams of death tests, and reading
// back text that a program wrote. test_platform_posix.cpp and test_platform_windows.cpp implement
// it; the build takes the one for its target.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <vector>

// Whether the tests run on Windows, for those that skip there.
extern const bool kOnWindows;

// The null device: "/dev/null" on POSIX, "NUL" on Windows.
extern const char* const kNullDevice;

// Text as a text-mode read of the system gives it: on Windows every CR LF becomes LF, so that what
// a Windows program writes compares with what the same program writes on POSIX.
inline std::string as_text(const std::string& bytes) {
  if (!kOnWindows) return bytes;
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text += bytes[i];
  }
  return text;
}

// Makes a new folder in the given one (by default the system's temporary folder), named the prefix
// and a random number.
inline std::filesystem::path make_scratch_folder(
    const std::string& prefix,
    const std::filesystem::path& under = std::filesystem::temp_directory_path()) {
  std::random_device random;
  std::filesystem::path path;
  do {
    path = under / (prefix + std::to_string(random()));
  } while (!std::filesystem::create_directory(path));
  return path;
}

// Runs the program words[0] with the other words as its arguments, passed as they are, in the
// folder: standard input from the file `input` there (the null device when empty), standard output
// and standard error into the files `output` and `errors` there. A run that takes longer than
// `seconds` is ended. Returns the exit status, or -1 when the program did not exit by itself (a
// crash, a signal, the time limit).
int run_program(const std::filesystem::path& folder, const std::vector<std::string>& words,
                const std::string& input, const std::string& output, const std::string& errors,
                int seconds = 20);

// Runs a command line of the system's shell (sh on POSIX, cmd on Windows) in the folder, with
// standard input at its end and standard output and standard error into the files `output` and
// `errors` there. Returns the exit status, or -1 when the shell did not exit by itself.
int run_shell_line(const std::filesystem::path& folder, const std::string& line,
                   const std::string& output, const std::string& errors);

// A named pipe that no one writes to, for as long as the object lives: a FIFO in the folder on
// POSIX, a pipe under \\.\pipe\ on Windows, whose names do not live in folders. name() is the name
// that opens it from the folder.
class NamedPipe {
 public:
  explicit NamedPipe(const std::filesystem::path& folder);
  ~NamedPipe();
  NamedPipe(const NamedPipe&) = delete;
  NamedPipe& operator=(const NamedPipe&) = delete;

  const std::string& name() const { return name_; }
  bool made() const { return made_; }

 private:
  std::filesystem::path path_;
  std::string name_;
  bool made_ = false;
  [[maybe_unused]] void* handle_ = nullptr;  // the server end on Windows
};

// For the statement of a death test: standard output sent to standard error, where the death test
// reads, and standard input at its end, so that a key wait returns at once.
void show_output_and_end_input();
