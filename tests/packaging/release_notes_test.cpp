// The release notes (packaging/changelog) as the build and the release read
// them: the version of the latest entry, its date, the AppStream releases of
// every entry, and the faults that must stop a configure rather than make a
// release with a wrong version.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/shell/run_program.h"
#include "version.h"

namespace {

namespace fs = std::filesystem;
using testing_run::run_program;

const std::string kScript = std::string(ZARNIK_SOURCE_DIR) + "/packaging/version.cmake";

// What the script prints about the notes in `text` (-DWHAT=what), or its
// complaint.
testing_run::RunResult read_notes(const std::string& text, const std::string& what = "version") {
  const fs::path file =
      fs::temp_directory_path() / ("zarnik-notes-" + std::to_string(getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::ofstream(file, std::ios::binary) << text;
  auto r = run_program(
      {ZARNIK_CMAKE, "-DZARNIK_CHANGELOG=" + file.string(), "-DWHAT=" + what, "-P", kScript});
  fs::remove(file);
  while (!r.output.empty() && r.output.back() == '\n') r.output.pop_back();
  return r;
}

constexpr const char* kTwoReleases =
    "zarnik (1.2.0) unstable; urgency=medium\n"
    "\n"
    "  * Faster; and the <b> & <i> of it, over\n"
    "    two lines.\n"
    "  * A second item.\n"
    "\n"
    " -- Someone <someone@example.org>  Sun, 3 Jan 2027 23:30:00 -0200\n"
    "\n"
    "zarnik (1.0.0) unstable; urgency=low\n"
    "\n"
    "  * First.\n"
    "\n"
    " -- Someone <someone@example.org>  Tue, 08 Dec 2026 12:00:00 +0000\n";

TEST(ReleaseNotes, TheTreesNotesGiveTheBuiltVersion) {
  const auto r = run_program({ZARNIK_CMAKE, "-P", kScript});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, std::string(ZARNIK_VERSION) + "\n");
}

TEST(ReleaseNotes, TheLatestEntryGivesVersionAndDate) {
  EXPECT_EQ(read_notes(kTwoReleases).output, "1.2.0");
  // The date as written, for `date -d`; the day of the release as the
  // entry's own zone has it.
  EXPECT_EQ(read_notes(kTwoReleases, "date").output, "Sun, 3 Jan 2027 23:30:00 -0200");
  EXPECT_NE(read_notes(kTwoReleases, "releases").output.find("date=\"2027-01-03\""),
            std::string::npos);
}

TEST(ReleaseNotes, EveryEntryBecomesAnAppStreamReleaseNewestFirst) {
  const auto r = read_notes(kTwoReleases, "releases");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output,
            "  <releases>\n"
            "    <release version=\"1.2.0\" date=\"2027-01-03\">\n"
            "      <description>\n"
            "        <ul>\n"
            "          <li>Faster; and the &lt;b&gt; &amp; &lt;i&gt; of it, over two lines.</li>\n"
            "          <li>A second item.</li>\n"
            "        </ul>\n"
            "      </description>\n"
            "    </release>\n"
            "    <release version=\"1.0.0\" date=\"2026-12-08\">\n"
            "      <description>\n"
            "        <ul>\n"
            "          <li>First.</li>\n"
            "        </ul>\n"
            "      </description>\n"
            "    </release>\n"
            "  </releases>");
}

// Each of these would otherwise give a release a wrong or no version.
TEST(ReleaseNotes, MalformedNotesStopNamingTheLine) {
  const std::string trailer = " -- A <a@example.org>  Tue, 08 Dec 2026 12:00:00 +0000\n";
  const struct {
    std::string text, complaint;
  } cases[] = {
      {"", "no trailer line"},
      {"zarnik (1.0) unstable; urgency=low\n\n  * x\n\n" + trailer, ":1: the version \"1.0\""},
      {"zarnik (1.0.0) unstable; urgency=low\n\n  * x\n", "no trailer line"},
      {"zarnik (1.0.0) unstable; urgency=low\n\n" + trailer,
       ":3: the entry for 1.0.0 says nothing"},
      {"zarnik (1.0.0) unstable; urgency=low\n  * x\nstray words\n" + trailer, ":3: not a line"},
      {"zarnik (1.0.0) unstable; urgency=low\n  * x\n -- A <a@example.org>  8 Dec 2026\n",
       "is not of the form"},
      {"zarnik (1.0.0) unstable; urgency=low\n  * x\n -- A <a@example.org>  Tue, 08 Dek 2026 "
       "12:00:00 +0000\n",
       "no month is called \"Dek\""},
      {"zarnik (1.1.0) unstable; urgency=low\n  * x\nzarnik (1.0.0) unstable; urgency=low\n",
       ":3: a new entry before"},
  };
  for (const auto& c : cases) {
    const auto r = read_notes(c.text);
    EXPECT_NE(r.status, 0) << c.text;
    // CMake wraps its messages: compare with the line breaks as spaces.
    std::string said;
    for (char ch : r.output)
      if (!(ch == '\n' || ch == ' ') || (!said.empty() && said.back() != ' '))
        said += ch == '\n' ? ' ' : ch;
    EXPECT_NE(said.find(c.complaint), std::string::npos) << c.text << "\n---\n" << r.output;
  }
}

}  // namespace
