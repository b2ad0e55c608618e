// The installer program: one full-screen window; closing it ends the program.
#include <QApplication>

#include "installer/form.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  installer::TForm1 form;
  form.showFullScreen();
  return app.exec();
}
