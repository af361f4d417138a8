#include "ui/message_box.h"

#include <QPushButton>

namespace tesvo::ui {

void ShowMessageBox(QWidget* parent, const QString& caption, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
  box.setObjectName("messageBox");
  QPushButton* ok = box.addButton(kOkText, QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

bool AskYesNoBox(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::NoButton, parent);
  box.setObjectName("questionBox");
  QPushButton* yes = box.addButton(kYesText, QMessageBox::YesRole);
  QPushButton* no = box.addButton(kNoText, QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

}  // namespace tesvo::ui
