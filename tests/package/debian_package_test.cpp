// The Debian package built from this build tree with cpack: its control fields, that it holds the
// program, the man page and the documents and nothing else, and that the program it holds merges
// the example slides to the same reports as the build's own; and the man page renders without a
// warning.
#include <gtest/gtest.h>
#include <sys/wait.h>

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

struct Shell {
  int status = -1;  // exit status, or -1 when the command did not exit normally
  std::string out;
  std::string err;
};

// Runs a shell command in the folder, keeping what it prints.
Shell shell(const ScratchFolder& folder, const std::string& command) {
  std::string line = "cd '" + folder.path().string() + "' && (" + command + ") > .out 2> .err";
  int raw = std::system(line.c_str());
  Shell result;
  if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  result.out = folder.read(".out");
  result.err = folder.read(".err");
  return result;
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
    Shell cpack = shell(work_, "'" CORVANE_CPACK "' -G DEB --config '" CORVANE_BUILD_TREE
                               "/CPackConfig.cmake' -B out");
    ASSERT_EQ(cpack.status, 0) << cpack.out << cpack.err;
    std::string architecture = shell(work_, "dpkg --print-architecture").out;
    architecture.erase(architecture.find_last_not_of('\n') + 1);
    package_ = "out/corvane_2.1.0_" + architecture + ".deb";
    ASSERT_TRUE(fs::is_regular_file(work_.path() / package_)) << cpack.out;
    Shell extract = shell(work_, "dpkg-deb -x " + package_ + " root");
    ASSERT_EQ(extract.status, 0) << extract.err;
  }

  std::string field(const std::string& name) const {
    return shell(work_, "dpkg-deb -f " + package_ + " " + name).out;
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

  Shell expected = shell(built, "'" CORVANE_BINARY "' < answers.txt");
  ASSERT_EQ(expected.status, 0) << expected.out;
  std::string program = (work_.path() / "root/usr/bin/corvane").string();
  Shell run = shell(packaged, "'" + program + "' < answers.txt");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, expected.out);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(packaged.read("data.txt"), built.read("data.txt"));
  EXPECT_EQ(packaged.read("merge.txt"), built.read("merge.txt"));
}

// With groff through man, or with mandoc, whichever is there (both when both are).
TEST(ManPage, RendersWithoutWarnings) {
  const std::string page = kSource + "doc/corvane.1";
  bool checked = false;
  ScratchFolder folder;
  if (found("man") && found("groff")) {
    Shell man = shell(folder, "man --warnings -l '" + page + "'");
    EXPECT_EQ(man.status, 0);
    EXPECT_EQ(man.err, "");
    EXPECT_NE(man.out.find("corvane [OPTIONS] FILE..."), std::string::npos) << man.out;
    checked = true;
  }
  if (found("mandoc")) {
    Shell lint = shell(folder, "mandoc -T lint '" + page + "'");
    EXPECT_EQ(lint.status, 0);
    EXPECT_EQ(lint.out + lint.err, "");
    checked = true;
  }
  if (!checked)
    GTEST_SKIP() << "neither man with groff (packages man-db and groff-base) nor mandoc found, "
                    "which tools/run-tests installs";
}

}  // namespace
