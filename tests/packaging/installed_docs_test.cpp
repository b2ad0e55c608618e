// What the installation adds for players and distributions besides the
// programs: a manual page in English and in Czech for every command in bin/,
// naming the release, and the copyright file and release notes in the
// documentation folder. (lintian, in scripts/test-package.sh, reads the pages
// with man for their warnings.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/installer/payload.h"
#include "tests/shell/run_program.h"
#include "version.h"

namespace {

namespace fs = std::filesystem;
using testing_run::run_program;

// The whole text of a gzip file; empty when it cannot be read.
std::string gunzip(const fs::path& p) {
  const auto r = run_program({"gzip", "-dc", p.string()});
  return r.status == 0 ? r.output : std::string();
}

class InstalledDocs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    stage_ = fs::temp_directory_path() / ("zarnik-docs-stage-" + std::to_string(getpid()));
    fs::remove_all(stage_);
    const auto r =
        run_program({ZARNIK_CMAKE, "--install", ZARNIK_BINARY_DIR, "--prefix", stage_.string()});
    ASSERT_EQ(r.status, 0) << r.output;
  }
  static void TearDownTestSuite() { fs::remove_all(stage_); }

  static std::vector<std::string> commands() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(stage_ / "bin"))
      out.push_back(e.path().filename().string());
    return out;
  }

  static inline fs::path stage_;
};

TEST_F(InstalledDocs, EveryCommandHasAManualPageInEnglishAndCzech) {
  const auto names = commands();
  ASSERT_FALSE(names.empty());
  for (const auto& name : names)
    for (const char* dir : {"share/man/man6", "share/man/cs/man6"}) {
      const fs::path page = stage_ / dir / (name + ".6.gz");
      const std::string text = gunzip(page);
      ASSERT_FALSE(text.empty()) << page << " is missing or empty";
      // The header names the command, the section and the release.
      std::string upper = name;
      for (auto& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
      std::string th = ".TH ";
      for (char c : upper) th += c == '-' ? std::string("\\-") : std::string(1, c);
      EXPECT_EQ(text.rfind(th + " 6 ", 0), 0u) << page;
      EXPECT_NE(text.find("\"zarnik " ZARNIK_VERSION "\""), std::string::npos) << page;
      EXPECT_EQ(text.find('@'), std::string::npos) << page << " has a placeholder left";
    }
}

TEST_F(InstalledDocs, CopyrightAndReleaseNotesAreInTheDocumentationFolder) {
  const fs::path doc = stage_ / "share/doc/zarnik";
  EXPECT_TRUE(fs::is_regular_file(doc / "copyright"));
  const std::string notes = gunzip(doc / "changelog.gz");
  EXPECT_EQ(notes.rfind("zarnik (" ZARNIK_VERSION ") ", 0), 0u) << notes.substr(0, 80);
  EXPECT_EQ(notes,
            installer_test::read_text(std::string(ZARNIK_SOURCE_DIR) + "/packaging/changelog"));
}

}  // namespace
