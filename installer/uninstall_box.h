#pragma once
// The uninstaller's question: what will be removed and which listed lines
// are left alone, each in a list that scrolls, in a box that fits the screen
// however long the settings file is.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "installer/core/uninstall_program.h"

namespace installer {

class UninstallBox : public QDialog {
 public:
  explicit UninstallBox(const UninstallPlan& plan, QWidget* parent = nullptr);

  QListWidget* removed;  // the files that go, the settings file last
  QLabel* kept_label;    // shown with the list below when a line is left alone
  QListWidget* kept;     // the listed lines left alone, each with its reason
  QPushButton* yes;      // "Ano", the default
  QPushButton* no;       // "Ne", also Esc
};

// Asks before anything is removed; true when the user answers "Ano".
bool confirm_uninstall(const UninstallPlan& plan, QWidget* parent = nullptr);

// Which of several installations goes (a list to choose from); the only one
// without asking. Nothing when the user cancels.
std::optional<std::string> choose_installation(const std::vector<std::string>& choices,
                                               QWidget* parent = nullptr);

// The uninstallation in boxes: the problem when there is one; else which
// installation (when the program belongs to none), the question, then
// whether to keep the score table (when it is there) and the game's
// settings (when the installation wrote them), "Ano" the default for both;
// then the removal and its result. The program's exit status: 0 when it is
// done or the user said no, 1 otherwise.
int uninstall_with_boxes(const UninstallStart& start);

}  // namespace installer
