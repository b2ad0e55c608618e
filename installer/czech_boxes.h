#pragma once
// The Yes/No question box with its buttons labelled in Czech: Qt's own labels
// are English unless a translation happens to be installed.
#include <QAbstractButton>
#include <QMessageBox>
#include <QString>

namespace installer {

// True when the user answers "Ano". Enter answers "Ano", Esc "Ne".
inline bool ask_yes_no(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Ano"));
  box.button(QMessageBox::No)->setText(QStringLiteral("Ne"));
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace installer
