// Helpers of the report tests: a scratch directory to write reports in, reading a file back, and
// arrays for a hand-built run that the test owns and frees.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "numeric/arrays.hpp"
#include "support/test_platform.hpp"

// Makes a fresh directory, works in it while alive, then returns and removes it.
class ScratchDirectory {
 public:
  ScratchDirectory()
      : previous_(std::filesystem::current_path()), path_(make_scratch_folder("corvane-reports-")) {
    std::filesystem::current_path(path_);
  }
  ~ScratchDirectory() {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(path_);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

// For the statement of a death test: standard input at its end, so that the key wait ends at
// once, and the console on standard error, where the death test reads it.
template <class Action>
void run_with_console_on_stderr(Action action) {
  show_output_and_end_input();
  action();
}

// The report's text, CR LF read as LF on Windows.
inline std::string read_file(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return as_text(text.str());
}

// Offset-indexed arrays over storage that lives as long as this object.
class TestArrays {
 public:
  DoubleVector doubles(std::vector<double> values) { return vector_from_1(doubles_, values); }
  IntVector ints(std::vector<int32_t> values) { return vector_from_1(ints_, values); }

  // Rows and columns from 1.
  DoubleMatrix double_rows(const std::vector<std::vector<double>>& rows) {
    auto& table = double_tables_.emplace_back();
    for (const auto& row : rows)
      table.push_back(vector_from_1(doubles_, row));
    return DoubleMatrix(
        OffsetVector<DoubleVector>(table.data(), 1, static_cast<int32_t>(table.size())));
  }

  // Rows from 1, each a zero-terminated text in columns 0..width.
  CharMatrix texts(const std::vector<std::string>& rows, int32_t width) {
    auto& table = text_tables_.emplace_back();
    for (const std::string& text : rows) {
      auto& row = chars_.emplace_back(static_cast<std::size_t>(width) + 1, '\0');
      text.copy(row.data(), static_cast<std::size_t>(width));
      table.emplace_back(row.data(), 0, width);
    }
    return CharMatrix(
        OffsetVector<OffsetVector<char>>(table.data(), 1, static_cast<int32_t>(table.size())));
  }

 private:
  template <class T>
  static OffsetVector<T> vector_from_1(std::deque<std::vector<T>>& store,
                                       const std::vector<T>& values) {
    auto& block = store.emplace_back(values);
    return OffsetVector<T>(block.data(), 1, static_cast<int32_t>(block.size()));
  }

  // Deques keep their elements in place as they grow, so the views stay valid.
  std::deque<std::vector<double>> doubles_;
  std::deque<std::vector<int32_t>> ints_;
  std::deque<std::vector<char>> chars_;
  std::deque<std::vector<DoubleVector>> double_tables_;
  std::deque<std::vector<OffsetVector<char>>> text_tables_;
};
