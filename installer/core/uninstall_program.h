#pragma once
// What the uninstaller programs share around their boxes: which installation
// goes, the plan for it, the texts they show (Czech, UTF-8, paths included),
// and the run that answers for the user ("--yes"), which reports on the
// standard output, for scripts.
//
// An uninstaller removes the installation it belongs to: the one whose game
// folder it stands in (its own copy, uninstall.exe, in that folder). One that
// belongs to no installation (the package's zarnik-uninstaller, or
// uninstall.exe in the downloaded package) names the installations the
// record holds and asks which one goes; answering for the user, it removes
// one only when there is exactly one.
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "installer/core/uninstall.h"

namespace installer {

struct UninstallStart {
  // The plan for the installation that goes, once it is known; `problem`
  // says why nothing can be removed (empty when there is a record to go by).
  UninstallPlan plan;
  std::string problem;
  // The game folders to choose from, when the program belongs to no
  // installation (the plan is then made by plan_for once one is chosen).
  std::vector<std::string> choices;
  // What plan_for needs.
  std::optional<Record> record;
  std::string record_file;
  std::string settings_file;
  std::vector<std::string> settings_lines;
};

// The start for the program in `program_folder`: the plan for the
// installation in that folder when it is one; else the record's
// installations as `choices` (a record holding none planned at once).
UninstallStart start_uninstall(const std::string& program_folder);
// The same for the running program's own folder.
UninstallStart start_uninstall();
// The plan for the installation chosen from `start.choices`.
UninstallPlan plan_for(const UninstallStart& start, const std::string& game);

inline constexpr const char* kUninstallTitle = "ZARNIK";
inline constexpr const char* kUninstallQuestion = "Odinstalovat hru Zarnik?";
inline constexpr const char* kRemovedCaption = "Smažou se tyto soubory:";
inline constexpr const char* kLeftAloneCaption =
    "Tyto soubory a řádky nejsou (nebo už nejsou) z instalace hry a nic se s nimi nestane:";
inline constexpr const char* kChoiceQuestion =
    "Hra Zarnik je nainstalována vícekrát. Kterou instalaci odinstalovat?";

// The question that opens the uninstallation: kUninstallQuestion with the
// game folder that goes.
std::string uninstall_question(const UninstallPlan& plan);

// Asked one by one where a box cannot list the choices: "Ano" takes the
// installation in `game`, "Ne" goes on to the next one.
std::string choice_question(const std::string& game);

// The second question, asked when the game's score table is there: "Ano"
// (the default, also Esc and "--yes") keeps it.
std::string scores_question(const UninstallPlan& plan);

// The third, asked when the installation wrote the settings file last: "Ano"
// (the default, also "--yes") keeps the game's lines in it.
std::string settings_question(const UninstallPlan& plan);

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

// The run that answers for the user, keeping the score table and the
// settings: what is left alone, then the result with what was kept, each on
// its own line on `out`. 0 when everything the record holds as the
// installation's is gone.
int uninstall_without_questions(const UninstallStart& start, std::FILE* out);
int uninstall_without_questions(std::FILE* out);

}  // namespace installer
