#pragma once
// The one QApplication of the test program, made on first use on the
// offscreen platform (unless another platform was asked for).
#include <QApplication>
#include <cstdlib>

namespace installer_test {

inline QApplication& app() {
  static int argc = 1;
  static char name[] = "installer_tests";
  static char* argv[] = {name, nullptr};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Never destroyed: at process exit Qt's own statics may already be gone.
  static QApplication* instance = new QApplication(argc, argv);
  return *instance;
}

}  // namespace installer_test
