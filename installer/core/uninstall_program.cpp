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

UninstallStart start_uninstall() {
  UninstallStart start;
  const std::string settings = shell::settings_file_path();
  const std::string record = record_path(platform::settings_directory());
  try {
    start.plan =
        plan_uninstall(read_record(record), record, shell::read_settings_text(settings), settings);
    start.problem = start.plan.refusal;
  } catch (const std::exception& e) {
    start.problem = std::string(
                        "Hra Zarnik není nainstalována, jak ji tento instalátor "
                        "instaluje, a tak se nic neodstraní.\n\n") +
                    e.what();
  }
  return start;
}

std::string scores_question(const UninstallPlan& plan) {
  return "Ponechat tabulku rekordů (data.dat)?\n" +
         (plan.scores ? utf8(plan.scores->path()) : std::string());
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
  std::string text = std::string(kUninstallQuestion) + "\n\n" + kRemovedCaption +
                     listed(removed_texts(plan), max_lines);
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

int uninstall_without_questions(std::FILE* out) {
  const UninstallStart start = start_uninstall();
  if (!start.problem.empty()) {
    std::fprintf(out, "%s\n", start.problem.c_str());
    return 1;
  }
  for (const auto& l : left_alone_texts(start.plan)) std::fprintf(out, "ponechán %s\n", l.c_str());
  const auto result = perform_uninstall(start.plan, /*keep_scores=*/true);
  std::fprintf(out, "%s\n", result_text(result).c_str());
  return result.failures.empty() ? 0 : 1;
}

}  // namespace installer
