// scripts/release.sh's steps, sourced on their own with stand-ins for the
// builds: artifacts recorded with their checksums, a step that makes nothing
// stopping the release, the browser build's one line, and zips whose bytes
// depend on nothing but the files' names and contents.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/installer/payload.h"
#include "tests/shell/run_program.h"

namespace {

namespace fs = std::filesystem;
using installer_test::read_text;
using testing_run::run_program;

const std::string kRelease = std::string(ZARNIK_SOURCE_DIR) + "/scripts/release.sh";

class ReleaseScript : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zarnik-release-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
    fs::create_directories(dir_ / "work");
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }
  // Runs `body` in bash after sourcing the release script, with the output
  // folder, the work folder and the version set as the script's main sets
  // them.
  testing_run::RunResult steps(const std::string& body) {
    const std::string script =
        "set -euo pipefail\nsource \"$0\"\nout=$1 work=$2 version=9.8.7 "
        "JOBS=1 SOURCE_DATE_EPOCH=1796731200\n" +
        body;
    return run_program(
        {"bash", "-c", script, kRelease, (dir_ / "out").string(), (dir_ / "work").string()});
  }
  void write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }

  fs::path dir_;
};

TEST_F(ReleaseScript, RecordsEveryArtifactWithItsChecksum) {
  const auto r = steps(
      "make_a() { printf a > \"$1\"; }\n"
      "make_b() { printf bb > \"$1\"; }\n"
      "release_artifact one zarnik-a.txt make_a\n"
      "release_artifact two zarnik-b.txt make_b\n"
      "write_checksums\n"
      "cd \"$out\" && sha256sum --strict -c SHA256SUMS\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(read_text((dir_ / "out/SHA256SUMS").string()),
            "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb  zarnik-a.txt\n"
            "3b64db95cb55c763391c707108489ae18b4112d783300de38e033b4c98c3deaf  zarnik-b.txt\n");
}

TEST_F(ReleaseScript, AStepThatMakesNothingStopsTheRelease) {
  const auto r = steps(
      "make_none() { :; }\n"
      "release_artifact web zarnik-web.zip make_none\n"
      "echo went on\n");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("web: make_none made no zarnik-web.zip"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("went on"), std::string::npos);
}

// The line the script keeps for the browser build, as it stands there with
// its comment sign taken away, over a stand-in for scripts/build-web.sh.
TEST_F(ReleaseScript, TheBrowserBuildJoinsWithItsOneLine) {
  std::string line;
  {
    std::ifstream in(kRelease);
    for (std::string l; std::getline(in, l);)
      if (l.find("release_artifact web") != std::string::npos) line = l;
  }
  const auto hash = line.find('#');
  ASSERT_NE(hash, std::string::npos) << "the web line is there, and commented out: " << line;
  line.erase(0, hash + 1);

  const fs::path root = dir_ / "tree";
  write(root / "scripts/build-web.sh",
        "#!/bin/sh\nmkdir -p \"$WEB_BUILD_DIR/site\"\necho page > "
        "\"$WEB_BUILD_DIR/site/index.html\"\n"
        "printf 'the web zip' > \"$WEB_BUILD_DIR/zarnik-web.zip\"\n");
  fs::permissions(root / "scripts/build-web.sh", fs::perms::owner_all);
  auto r = steps("root=" + root.string() + "\n" + line + "\nwrite_checksums\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(read_text((dir_ / "out/zarnik-9.8.7-web.zip").string()), "the web zip");
  EXPECT_NE(read_text((dir_ / "out/SHA256SUMS").string()).find("  zarnik-9.8.7-web.zip\n"),
            std::string::npos);

  // A browser build that leaves two zips leaves the release no way to tell
  // which one players download.
  write(root / "scripts/build-web.sh",
        "#!/bin/sh\nmkdir -p \"$WEB_BUILD_DIR\"\ntouch \"$WEB_BUILD_DIR/a.zip\" "
        "\"$WEB_BUILD_DIR/b.zip\"\n");
  r = steps("root=" + root.string() + "\n" + line + "\n");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("expected one zip"), std::string::npos) << r.output;
}

// Two copies of a folder made in another order, at other times, with other
// permissions and in another time zone give the same zip.
TEST_F(ReleaseScript, ZipsDependOnlyOnNamesAndContents) {
  REQUIRE_TOOL("zip");
  REQUIRE_TOOL("unzip");
  const auto r = steps(
      "umask 077\n"
      "mkdir -p \"$work/a/zarnik/sub\" \"$work/b/zarnik\"\n"
      "for f in setup.exe hra.xxx sub/x.mid; do echo \"$f\" > \"$work/a/zarnik/$f\"; done\n"
      "chmod 755 \"$work/a/zarnik/setup.exe\"\n"
      "umask 022\n"
      "mkdir -p \"$work/b/zarnik/sub\"\n"
      "for f in sub/x.mid hra.xxx setup.exe; do echo \"$f\" > \"$work/b/zarnik/$f\"; done\n"
      "chmod 755 \"$work/b/zarnik/setup.exe\"\n"
      "touch -d @1000000000 \"$work/b/zarnik/hra.xxx\"\n"
      "TZ=Europe/Prague deterministic_zip \"$work/a\" zarnik \"$out/a.zip\"\n"
      "TZ=America/New_York deterministic_zip \"$work/b\" zarnik \"$out/b.zip\"\n"
      "cmp \"$out/a.zip\" \"$out/b.zip\"\n"
      "unzip -Z1 \"$out/a.zip\"\n"
      "unzip -Z -l \"$out/a.zip\" | grep setup.exe\n");
  ASSERT_EQ(r.status, 0) << r.output;
  // Names in byte order, the folder first; the executable keeps its bit.
  EXPECT_NE(r.output.find("zarnik/\nzarnik/hra.xxx\nzarnik/setup.exe\nzarnik/sub/\n"
                          "zarnik/sub/x.mid\n"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("-rwxr-xr-x"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("26-Dec-08 12:00"), std::string::npos) << r.output;
}

}  // namespace
