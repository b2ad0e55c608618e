#include "installer/core/uninstall_program.h"

#include <cstring>
#include <exception>

#include "platform/files.h"
#include "platform/folder_entries.h"
#include "shell/settings_file.h"

namespace installer {

namespace {

std::string utf8(const std::string& path) { return platform::utf8_from_path(path); }

// `items` one a line, at most `max_lines` of them.
std::string listed(const std::vector<std::string>& items, size_t max_lines) {
  std::string text;
  for (size_t i = 0; i < items.size() && i < max_lines; ++i) text += "\n" + items[i];
  if (items.size() > max_lines)
    text += "\n… a " + std::to_string(items.size() - max_lines) + " dalších";
  return text;
}

}  // namespace

UninstallStart start_uninstall(const std::string& program_folder) {
  UninstallStart start;
  start.settings_file = shell::settings_file_path();
  start.record_file = record_path(platform::settings_directory());
  try {
    start.record = read_record(start.record_file);
    start.settings_lines = shell::read_settings_text(start.settings_file);
  } catch (const std::exception& e) {
    start.problem = std::string(
                        "Hra Zarnik není nainstalována, jak ji tento instalátor "
                        "instaluje, a tak se nic neodstraní.\n\n") +
                    e.what();
    return start;
  }
  // Its own installation, when it stands in one's folder.
  const std::string own =
      start.record && !program_folder.empty() ? game_folder_at(*start.record, program_folder) : "";
  if (!own.empty()) {
    start.plan = plan_for(start, own);
  } else if (!start.record || start.record->game_folders.empty()) {
    start.plan = plan_for(start, "");
  } else {
    start.choices = start.record->game_folders;
    return start;
  }
  start.problem = start.plan.refusal;
  return start;
}

UninstallStart start_uninstall() {
  const std::string program = platform::running_program_path();
  return start_uninstall(program.empty() ? std::string() : parent_folder(program));
}

UninstallPlan plan_for(const UninstallStart& start, const std::string& game) {
  return plan_uninstall(start.record, start.record_file, start.settings_lines, start.settings_file,
                        game);
}

std::string uninstall_question(const UninstallPlan& plan) {
  if (plan.game.empty()) return kUninstallQuestion;
  return "Odinstalovat hru Zarnik z adresáře " + utf8(plan.game) + "?";
}

std::string choice_question(const std::string& game) {
  return "Hra Zarnik je nainstalována vícekrát.\n\nOdinstalovat tu v adresáři " + utf8(game) +
         "?\n\n(Ne: nabídne se další instalace.)";
}

std::string scores_question(const UninstallPlan& plan) {
  return "Ponechat tabulku rekordů (data.dat)?\n" +
         (plan.scores ? utf8(plan.scores->path()) : std::string());
}

std::string settings_question(const UninstallPlan& plan) {
  return "Ponechat nastavení hry (velikost obrazovky a jméno hráče)?\n" +
         (plan.settings ? utf8(plan.settings->path()) : std::string()) +
         "\n\nSeznam souborů instalace z něj zmizí tak jako tak.";
}

std::vector<std::string> removed_texts(const UninstallPlan& plan) {
  std::vector<std::string> out;
  out.reserve(plan.files.size() + 1);
  for (const auto& f : plan.files) out.push_back(utf8(f.path()));
  if (!plan.record_file.empty()) out.push_back(utf8(plan.record_file));
  return out;
}

std::vector<std::string> left_alone_texts(const UninstallPlan& plan) {
  std::vector<std::string> out;
  out.reserve(plan.left_alone.size());
  for (const auto& l : plan.left_alone) out.push_back(utf8(l.line) + "  (" + l.reason + ")");
  return out;
}

std::string question_text(const UninstallPlan& plan, size_t max_lines) {
  std::string text =
      uninstall_question(plan) + "\n\n" + kRemovedCaption + listed(removed_texts(plan), max_lines);
  if (!plan.left_alone.empty())
    text += std::string("\n\n") + kLeftAloneCaption + listed(left_alone_texts(plan), max_lines);
  return text;
}

std::string result_text(const UninstallResult& result) {
  std::string text = result.failures.empty() ? std::string("ODINSTALACE JE HOTOVA")
                                             : "ODINSTALACE NENÍ ÚPLNÁ\n\nNepodařilo se:" +
                                                   listed(result.failures, result.failures.size());
  if (!result.kept.empty()) text += "\n\nPonecháno:" + listed(result.kept, result.kept.size());
  return text;
}

bool answers_itself(int argc, char** argv) {
  return argc > 1 && std::strcmp(argv[1], "--yes") == 0;
}

int uninstall_without_questions(const UninstallStart& start, std::FILE* out) {
  UninstallPlan plan = start.plan;
  std::string problem = start.problem;
  if (problem.empty() && !start.choices.empty()) {
    // Answering for the user, it takes the only installation there is, and
    // never picks one of several.
    if (start.choices.size() == 1) {
      plan = plan_for(start, start.choices.front());
      problem = plan.refusal;
    } else {
      problem = std::string(kChoiceQuestion) + listed(start.choices, start.choices.size()) +
                "\n\nBez otázek se odinstaluje jen jediná instalace; spusťte odinstalaci z "
                "adresáře té, která se má odstranit (její uninstall.exe), nebo bez --yes. Nic "
                "se neodstranilo.";
    }
  }
  if (!problem.empty()) {
    std::fprintf(out, "%s\n", problem.c_str());
    return 1;
  }
  for (const auto& l : left_alone_texts(plan)) std::fprintf(out, "ponechán %s\n", l.c_str());
  const auto result = perform_uninstall(plan, /*keep_scores=*/true, /*keep_settings=*/true);
  std::fprintf(out, "%s\n", result_text(result).c_str());
  return result.failures.empty() ? 0 : 1;
}

int uninstall_without_questions(std::FILE* out) {
  return uninstall_without_questions(start_uninstall(), out);
}

}  // namespace installer
