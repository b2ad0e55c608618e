// .ci/run against stand-in stage scripts: a failing stage neither stops the
// run nor hides in the tally, the counts are summed from every stage's log,
// and the run's temporary files are gone however it ended.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/shell/run_program.h"

namespace {

namespace fs = std::filesystem;
using testing_run::run_program;

class CiRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zarnik-ci-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / ".ci");
    fs::create_directories(dir_ / "scripts");
    fs::create_directories(dir_ / "tmp");
    fs::copy_file(fs::path(ZARNIK_SOURCE_DIR) / ".ci/run", dir_ / ".ci/run");
    for (const char* name :
         {"test-package", "test-windows", "check-format", "check-tidy", "test-web", "test-wasm"})
      script(name, std::string("echo ") + name + " ran");
    script("test.sh", "");  // replaced by the tests
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }
  void script(std::string name, const std::string& body) {
    if (!name.ends_with(".sh")) name += ".sh";
    const fs::path p = dir_ / "scripts" / name;
    std::ofstream(p) << "#!/bin/bash\n" << body << "\n";
    fs::permissions(p, fs::perms::owner_all);
  }
  testing_run::RunResult run(const std::string& args = {}) {
    return run_program({"bash", "-c", "\"$0\"/.ci/run " + args, dir_.string()},
                       {{"TMPDIR", (dir_ / "tmp").string()}});
  }
  bool temp_empty() const { return fs::is_empty(dir_ / "tmp"); }

  fs::path dir_;
};

TEST_F(CiRun, EveryStageRunsAndTheFailuresAreTallied) {
  script("test.sh",
         "case $1 in\n"
         "  native) echo '100% tests passed, 0 tests failed out of 7' ;;\n"
         "  sanitizer) echo '83% tests passed, 1 tests failed out of 6'; exit 8 ;;\n"
         "esac");
  script("test-web", "echo '100% tests passed, 0 tests failed out of 3'");
  script("fuzz",
         "printf '%-16s %8s s %12s execs %6s edges  %s\\n' fuzz_a 30 100 20 ok "
         "fuzz_b 30 50 10 'FAILED (exit 1, see x)'\nexit 1");
  const auto r = run();
  EXPECT_EQ(r.status, 1) << r.output;
  // The stages after the first failure ran all the same.
  for (const char* ran :
       {"test-package ran", "test-windows ran", "test-wasm ran", "check-tidy ran"})
    EXPECT_NE(r.output.find(ran), std::string::npos) << ran;
  const auto summary = r.output.substr(r.output.find("===== CI summary"));
  EXPECT_NE(summary.find("FAILED (8)"), std::string::npos) << summary;
  EXPECT_NE(summary.find("5 passed, 1 failed"), std::string::npos) << summary;
  // The browser tests count once per engine (Chromium, Firefox, WebKit).
  EXPECT_NE(summary.find("tests: 22 passed, 2 failed"), std::string::npos) << summary;
  EXPECT_NE(summary.find("FAILED: sanitizer fuzz (2 of 11 stages)"), std::string::npos) << summary;
  EXPECT_TRUE(temp_empty());
}

TEST_F(CiRun, ChosenStagesOnlyAndUnknownNamesRefused) {
  script("test.sh", "echo \"test.sh $1\"; echo '100% tests passed, 0 tests failed out of 2'");
  auto r = run("format linux");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("test.sh native"), std::string::npos);
  EXPECT_EQ(r.output.find("test.sh sanitizer"), std::string::npos);
  EXPECT_EQ(r.output.find("check-tidy ran"), std::string::npos);
  EXPECT_NE(r.output.find("every stage passed (2)"), std::string::npos) << r.output;

  r = run("lint");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("no stage \"lint\""), std::string::npos) << r.output;
  EXPECT_TRUE(temp_empty());
}

}  // namespace
