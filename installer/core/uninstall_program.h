#pragma once
// What the uninstaller programs share around their boxes: the plan for the
// installations the record holds, the texts they show (Czech, UTF-8, paths
// included), and the run that answers for the user ("--yes"), which reports
// on the standard output, for scripts.
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "installer/core/uninstall.h"

namespace installer {

// The plan for the record and the settings file where the programs keep
// them; `problem` says why nothing can be removed (empty when there is a
// record to go by).
struct UninstallStart {
  UninstallPlan plan;
  std::string problem;
};
UninstallStart start_uninstall();

inline constexpr const char* kUninstallTitle = "ZARNIK";
inline constexpr const char* kUninstallQuestion = "Odinstalovat hru Zarnik?";
inline constexpr const char* kRemovedCaption = "Smažou se tyto soubory:";
inline constexpr const char* kLeftAloneCaption =
    "Tyto soubory a řádky nejsou (nebo už nejsou) z instalace hry a nic se s nimi nestane:";

// The second question, asked when the game's score table is there: "Ano"
// (the default, also Esc and "--yes") keeps it.
std::string scores_question(const UninstallPlan& plan);

// The files that go, the record last.
std::vector<std::string> removed_texts(const UninstallPlan& plan);
// What is left alone, each with its reason.
std::vector<std::string> left_alone_texts(const UninstallPlan& plan);

// The whole question as one text, for a box that does not scroll: at most
// `max_lines` lines of each list, then how many more there are.
std::string question_text(const UninstallPlan& plan, size_t max_lines);

// "ODINSTALACE JE HOTOVA", or the message that names every failure; then
// what was kept.
std::string result_text(const UninstallResult& result);

// Whether the program was asked to answer for the user: "--yes" as its
// first argument.
bool answers_itself(int argc, char** argv);

// The run that answers for the user, keeping the score table: what is left
// alone, then the result with what was kept, each on its own line on `out`.
// 0 when everything the record holds as the installation's is gone.
int uninstall_without_questions(std::FILE* out);

}  // namespace installer
