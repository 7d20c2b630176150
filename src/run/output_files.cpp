#include "run/output_files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.hpp"

namespace {

// An output written under a temporary name, waiting for its own. The outputs are opened, written
// and named on the run's main thread only.
struct PendingOutput {
  std::string name;            // as it was asked for, for the messages
  std::string final_path;      // the file it replaces, links resolved
  std::string temporary_path;  // empty once it has its name or has been removed
  int slot = -1;               // its place in the platform's table of temporary files
  const char* opening_failure = nullptr;
  bool closed = false;
};

std::vector<PendingOutput> pending_outputs;

// The longest part of an output's own name that its temporary name repeats, so that the temporary
// name stays within the systems' limit of 255 characters.
constexpr std::size_t kNameKept = 100;

std::string folder_of(const std::string& path) {
  const std::size_t separator = path.find_last_of(kPathSeparators);
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string last_name_of(const std::string& path) {
  const std::size_t separator = path.find_last_of(kPathSeparators);
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

// A new file beside `final_path`, under a name no other file has: the process number and a count
// make it the run's own, and O_EXCL makes sure that it is new (a file left by a killed run of an
// earlier process of the same number is passed over). Fills in the temporary path and its slot.
std::FILE* create_temporary_file(PendingOutput& output) {
  static unsigned long long count = 0;
  const std::string stem = folder_of(output.final_path) + "." +
                           last_name_of(output.final_path).substr(0, kNameKept) + ".corvane-" +
                           std::to_string(process_number()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    output.temporary_path = stem + std::to_string(++count) + ".tmp";
    // Noted before it is made, so that an interruption at any moment after finds it.
    output.slot = note_temporary_file(output.temporary_path.c_str());
    if (output.slot < 0) {
      errno = ENAMETOOLONG;
      return nullptr;
    }
    std::FILE* file = create_new_file(output.temporary_path.c_str(), output.final_path.c_str());
    if (file != nullptr) return file;
    const int error = errno;
    forget_temporary_file(output.slot);
    errno = error;
    if (error != EEXIST) return nullptr;
  }
  return nullptr;
}

void remove_temporary(PendingOutput& output) {
  if (output.temporary_path.empty()) return;
  remove_file(output.temporary_path.c_str());
  forget_temporary_file(output.slot);
  output.temporary_path.clear();
}

[[noreturn]] void fail_naming(const Console& console, const PendingOutput& output, int error) {
  discard_outputs();
  if (error == EACCES || error == EPERM || error == EBUSY) {
    print_failure(console, output.opening_failure, output.name.c_str());
    print_failure(console,
                  "close the Excel or other application which opens this file and try again.\n");
  } else {
    print_failure(console, "can't write the data file <%s>: %s\n", output.name.c_str(),
                  std::strerror(error));
  }
  exit_after_failure(console, 1);
}

}  // namespace

bool open_output(OutputFile& output, const std::string& path, const char* opening_failure) {
  output = OutputFile{};
  const PathKind kind = path_kind(path.c_str());
  if (kind == PathKind::kFolder) {
    errno = EISDIR;
    return false;
  }
  if (kind == PathKind::kOther) {
    output.file = std::fopen(path.c_str(), "w");
    output.in_place = true;
    return output.file != nullptr;
  }
  // An existing file must take new text (on Windows, one that a spreadsheet holds open does not);
  // for a new one, making the temporary file beside it is the test.
  const int refusal = replace_refusal(path.c_str());
  if (refusal != 0) {
    errno = refusal;
    return false;
  }
  remove_temporary_files_when_interrupted();
  PendingOutput pending;
  pending.name = path;
  pending.final_path = replaced_path(path.c_str());
  pending.opening_failure = opening_failure;
  output.file = create_temporary_file(pending);
  if (output.file == nullptr) return false;
  output.pending = static_cast<int>(pending_outputs.size());
  pending_outputs.push_back(pending);
  return true;
}

int close_output(OutputFile& output) {
  std::FILE* file = output.file;
  output.file = nullptr;
  errno = 0;
  int error = output.in_place ? 0 : flush_to_disk(file);
  if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  if (error == 0 && output.pending >= 0)
    pending_outputs[static_cast<std::size_t>(output.pending)].closed = true;
  return error;
}

void give_outputs_their_names(const Console& console) {
  // Every name is checked first (on Windows, a report open in a spreadsheet cannot be replaced),
  // so that a name that cannot be given leaves every output as it was.
  for (const PendingOutput& output : pending_outputs) {
    if (!output.closed || output.temporary_path.empty()) continue;
    const int refusal = replace_refusal(output.final_path.c_str());
    if (refusal != 0) fail_naming(console, output, refusal);
  }
  hold_interruptions();
  for (PendingOutput& output : pending_outputs) {
    if (!output.closed || output.temporary_path.empty()) continue;
    const int error = replace_file(output.temporary_path.c_str(), output.final_path.c_str());
    if (error != 0) {
      let_go_interruptions();
      fail_naming(console, output, error);
    }
    forget_temporary_file(output.slot);
    output.temporary_path.clear();
  }
  pending_outputs.clear();
  let_go_interruptions();
}

void discard_outputs() {
  for (PendingOutput& output : pending_outputs)
    remove_temporary(output);
  pending_outputs.clear();
  remove_temporary_files();
}

int take_disk_room(std::size_t bytes) {
  static const char* const room_text = std::getenv("CORVANE_TEST_DISK_ROOM");
  static std::size_t used = 0;
  if (room_text == nullptr) return 0;
  const auto room = static_cast<std::size_t>(std::strtoull(room_text, nullptr, 10));
  if (bytes > room - std::min(used, room)) return ENOSPC;
  used += bytes;
  return 0;
}
