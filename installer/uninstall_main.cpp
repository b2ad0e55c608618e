// The uninstaller: removes what the installations' record holds as theirs,
// as far as it still is, and the empty folders they made (installer/core).
// It asks before it removes anything, showing also what it leaves alone,
// then whether to keep the score table (kept unless the user says no);
// "--yes" answers for it, keeps the score table, and reports on the standard
// output instead of in boxes, for scripts.
#include <QApplication>
#include <cstdio>

#include "installer/core/uninstall_program.h"
#include "installer/uninstall_box.h"

int main(int argc, char** argv) {
  if (installer::answers_itself(argc, argv)) return installer::uninstall_without_questions(stdout);
  QApplication app(argc, argv);
  return installer::uninstall_with_boxes(installer::start_uninstall());
}
