// The Debian package built from this build tree with cpack: its control fields, that it holds the
// program, the man page and the documents and nothing else, and that the program it holds merges
// the example slides to the same reports as the build's own; and the man page renders without a
// warning.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "support/binary_run.hpp"

namespace {

namespace fs = std::filesystem;

const std::string kSource = CORVANE_TEST_DATA "/../";

// Runs a shell command in the folder, keeping what it prints.
BinaryRun shell(const ScratchFolder& folder, const std::string& command) {
  return folder.run_command("(" + command + ")");
}

bool found(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string source_file(const std::string& name) {
  std::ifstream in(kSource + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const char* const kExampleFiles[] = {"README.md",   "answers.txt", "slide01.txt",
                                     "slide02.txt", "slide03.txt", "slide04.txt"};

class DebianPackage : public testing::Test {
 protected:
  // Builds the package into the scratch folder's out/ and extracts it into root/.
  void SetUp() override {
    if (!found("dpkg-deb") || !found("dpkg-shlibdeps"))
      GTEST_SKIP() << "dpkg-deb or dpkg-shlibdeps not found: the package's dependencies are read "
                      "off its shared libraries by dpkg-shlibdeps of package dpkg-dev, which "
                      "tools/run-tests installs";
    BinaryRun cpack = shell(work_, "'" CORVANE_CPACK "' -G DEB --config '" CORVANE_BUILD_TREE
                                   "/CPackConfig.cmake' -B out");
    ASSERT_EQ(cpack.status, 0) << cpack.console << cpack.errors;
    std::string architecture = shell(work_, "dpkg --print-architecture").console;
    architecture.erase(architecture.find_last_not_of('\n') + 1);
    package_ = "out/corvane_2.1.0_" + architecture + ".deb";
    ASSERT_TRUE(fs::is_regular_file(work_.path() / package_)) << cpack.console;
    BinaryRun extract = shell(work_, "dpkg-deb -x " + package_ + " root");
    ASSERT_EQ(extract.status, 0) << extract.errors;
  }

  std::string field(const std::string& name) const {
    return shell(work_, "dpkg-deb -f " + package_ + " " + name).console;
  }

  ScratchFolder work_;
  std::string package_;
};

TEST_F(DebianPackage, ControlFields) {
  EXPECT_EQ(field("Package"), "corvane\n");
  EXPECT_EQ(field("Version"), "2.1.0\n");
  EXPECT_EQ(field("Maintainer"), "Corvane developers <corvane-bugs@users.noreply.example>\n");
  // The dependencies come from the libraries the program links: the C and C++ runtimes at least.
  std::string depends = field("Depends");
  EXPECT_NE(depends.find("libc6 (>= "), std::string::npos) << depends;
  EXPECT_NE(depends.find("libstdc++6 (>= "), std::string::npos) << depends;
  // A summary line, then the paragraph, every line of it indented by one blank.
  std::string description = field("Description");
  EXPECT_EQ(description.rfind("merges two-colour microarray scanner result files\n Corvane ", 0),
            0u)
      << description;
}

TEST_F(DebianPackage, HoldsTheProgramTheManPageAndTheDocumentsOnly) {
  std::set<std::string> files;
  fs::path root = work_.path() / "root";
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_directory()) files.insert(fs::relative(entry.path(), root).string());
  }
  std::set<std::string> expected = {"usr/bin/corvane", "usr/share/man/man1/corvane.1",
                                    "usr/share/doc/corvane/README.md"};
  for (const char* name : kExampleFiles)
    expected.insert(std::string("usr/share/doc/corvane/examples/") + name);
  EXPECT_EQ(files, expected);

  EXPECT_EQ(work_.read("root/usr/share/man/man1/corvane.1"), source_file("doc/corvane.1"));
  EXPECT_EQ(work_.read("root/usr/share/doc/corvane/README.md"), source_file("README.md"));
  for (const char* name : kExampleFiles) {
    EXPECT_EQ(work_.read(std::string("root/usr/share/doc/corvane/examples/") + name),
              source_file(std::string("examples/") + name))
        << name;
  }
}

TEST_F(DebianPackage, ProgramMergesTheExamplesAsTheBuiltOneDoes) {
  ScratchFolder built;
  ScratchFolder packaged;
  const std::string copy_examples = "cp '" + kSource + "examples/'*.txt .";
  ASSERT_EQ(shell(built, copy_examples).status, 0);
  ASSERT_EQ(shell(packaged, copy_examples).status, 0);

  BinaryRun expected = shell(built, "'" CORVANE_BINARY "' < answers.txt");
  ASSERT_EQ(expected.status, 0) << expected.console;
  std::string program = (work_.path() / "root/usr/bin/corvane").string();
  BinaryRun run = shell(packaged, "'" + program + "' < answers.txt");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.console, expected.console);
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(packaged.read("data.txt"), built.read("data.txt"));
  EXPECT_EQ(packaged.read("merge.txt"), built.read("merge.txt"));
}

// With groff through man, or with mandoc, whichever is there (both when both are).
TEST(ManPage, RendersWithoutWarnings) {
  const std::string page = kSource + "doc/corvane.1";
  bool checked = false;
  ScratchFolder folder;
  if (found("man") && found("groff")) {
    BinaryRun man = shell(folder, "man --warnings -l '" + page + "'");
    EXPECT_EQ(man.status, 0);
    EXPECT_EQ(man.errors, "");
    EXPECT_NE(man.console.find("corvane [OPTIONS] FILE..."), std::string::npos) << man.console;
    checked = true;
  }
  if (found("mandoc")) {
    BinaryRun lint = shell(folder, "mandoc -T lint '" + page + "'");
    EXPECT_EQ(lint.status, 0);
    EXPECT_EQ(lint.console + lint.errors, "");
    checked = true;
  }
  if (!checked)
    GTEST_SKIP() << "neither man with groff (packages man-db and groff-base) nor mandoc found, "
                    "which tools/run-tests installs";
}

}  // namespace
