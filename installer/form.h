#pragma once
// The installer's window: a borderless black full-screen form with the
// target folder, the folder chooser, and the buttons that end or start the
// installation. The procedure itself is installer::install (core/install.h);
// this layer only shows its progress and asks its questions.
#include <QComboBox>
#include <QFileSystemModel>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>
#include <string>
#include <vector>

#include "installer/core/install.h"

namespace installer {

class TForm1 : public QWidget, private InstallUi {
 public:
  TForm1();

  // Controls, named as the handlers below refer to them.
  QLabel* Image1;  // the title picture; a click writes the credit line
  QLabel* Label1;  // the credit line
  QLabel* Label2;  // the target folder
  QLabel* Label4;  // "Adresář:", "Hotovo:" while installing
  QProgressBar* ProgressBar1;
  QPushButton* Button1;  // "INSTALUJ"
  QPushButton* Button2;  // "KONEC"
  QPushButton* Button3;  // "Prohlidnout"
  QFrame* Panel1;        // the folder chooser
  QLabel* Label3;        // the folder selected in the tree
  QComboBox* DriveComboBox1;
  QTreeView* DirectoryListBox1;
  QPushButton* Button4;  // "Nový adresář"
  QPushButton* Button5;  // "OK" of the chooser
  QFrame* Panel2;        // the new-folder entry
  QLabel* Label5;        // "nový adresář"
  QLineEdit* Edit1;
  QPushButton* Button6;  // "OK"
  QPushButton* Button7;  // "Storno"

  // The folder the game goes into (no trailing separator) and the folder the
  // payload comes from (with one).
  const std::string& target_folder() const { return target_; }
  const std::string& source_folder() const { return source_; }
  // The folder selected in the chooser's tree.
  const std::string& selected_folder() const { return selected_; }
  // Selects a folder in the chooser's tree (and its drive in the drive box).
  void select_folder(const std::string& path);
  // Whether the credit line has been written onto the window's canvas.
  bool credit_on_canvas() const { return credit_on_canvas_; }
  // What the last installation reported.
  const InstallReport& last_report() const { return report_; }
  // The folders "Nový adresář" made, which the installation records as its
  // own when the game goes into one of them.
  const std::vector<std::string>& made_folders() const { return made_folders_; }

  void Button1Click();  // INSTALUJ
  void Button2Click();  // KONEC
  void Button3Click();  // Prohlidnout
  void Button4Click();  // Nový adresář
  void Button5Click();  // OK of the chooser
  void Button6Click();  // OK of the new folder
  void Button7Click();  // Storno
  void Image1Click();

 protected:
  void paintEvent(QPaintEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void set_progress(int position) override;
  bool ask_desktop_shortcut() override;
  void show_error(const std::string& text) override;
  void drive_chosen(int index);
  void keep_selection_in_view();

  std::string source_;
  std::string target_;
  std::string selected_;
  int W = 0;
  int H = 0;
  bool credit_on_canvas_ = false;
  bool follow_selection_ = false;
  QFileSystemModel* folders_;
  InstallReport report_;
  std::vector<std::string> made_folders_;
};

}  // namespace installer
