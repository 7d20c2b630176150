#include "app/run_files.hpp"

#include <string_view>

#include "platform/platform.hpp"

namespace {

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

// What tells a file apart: its identity when it exists, else the path it would be made at.
struct FileKey {
  FileIdentity identity;
  std::string resolved;

  bool same_as(const FileKey& other) const {
    if (identity.known || other.identity.known) return identity.same_file_as(other.identity);
    return !resolved.empty() && resolved == other.resolved;
  }
};

FileKey key_of(const std::string& path) {
  FileKey key;
  key.identity = path_identity(path.c_str());
  if (!key.identity.known) key.resolved = resolved_path(path.c_str());
  return key;
}

std::string in_output_folder(const CommandLine& options, const char* name) {
  if (options.output_folder.empty()) return name;
  std::string path = options.output_folder;
  if (path.find_last_of(kPathSeparators) != path.size() - 1) path += '/';
  return path + name;
}

}  // namespace

std::vector<RunFile> files_read(const CommandLine& options) {
  std::vector<RunFile> read;
  for (std::size_t k = 0; k < options.files.size(); ++k) {
    const std::string& path = options.files[k];
    read.push_back(
        {"result file " + quoted(path) + " (file " + std::to_string(k + 1) + ")", path, ""});
  }
  const std::pair<const char*, const std::string*> named[] = {
      {"--targets", &options.targets},
      {"--design", &options.design},
      {"--array-list", &options.formats.array_list}};
  for (const auto& [option, path] : named) {
    if (!path->empty())
      read.push_back({"the " + std::string(option) + " file " + quoted(*path), *path, option});
  }
  return read;
}

std::vector<RunFile> files_written(const CommandLine& options) {
  std::vector<RunFile> written;
  // The scanner's files make data.txt and merge.txt; the other formats make the gene table, in
  // the output folder when --genes does not name it.
  std::vector<const char*> made = {"data.txt", "merge.txt"};
  if (options.first_format != SlideFormat::kScanner) made.assign(1, kDefaultGeneTable);
  for (const char* name : made) {
    if (name == kDefaultGeneTable && !options.gene_table.empty()) continue;
    const std::string path = in_output_folder(options, name);
    written.push_back({"output " + std::string(name) + " (" + quoted(path) + ")", path, ""});
  }
  const std::pair<const char*, const std::string*> asked[] = {{"--genes", &options.gene_table},
                                                              {"--spots", &options.spot_table},
                                                              {"--report", &options.report}};
  for (const auto& [option, path] : asked) {
    if (path->empty() || *path == "-") continue;
    const char* what = std::string_view(option) == "--report" ? " page (" : " table (";
    written.push_back({"the " + std::string(option) + what + quoted(*path) + ")", *path, option});
  }
  return written;
}

void check_files_apart(const std::vector<RunFile>& read, const std::vector<RunFile>& written,
                       std::vector<std::string>& errors) {
  std::vector<FileKey> read_keys, written_keys;
  for (const RunFile& input : read)
    read_keys.push_back(key_of(input.path));
  for (std::size_t w = 0; w < written.size(); ++w) {
    const FileKey key = key_of(written[w].path);
    written_keys.push_back(key);
    bool clashes = false;
    for (std::size_t r = 0; r < read.size() && !clashes; ++r) {
      if (!key.same_as(read_keys[r])) continue;
      errors.push_back(written[w].role + " would replace " + read[r].role +
                       ": an output cannot be an input");
      clashes = true;
    }
    for (std::size_t e = 0; e < w && !clashes; ++e) {
      if (!key.same_as(written_keys[e])) continue;
      errors.push_back(written[e].role + " and " + written[w].role +
                       " are the same file: each output needs a file of its own");
      clashes = true;
    }
  }
}
