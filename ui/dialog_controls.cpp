#include "ui/dialog_controls.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace tesvo::ui {

QPushButton* AddClosingButton(QDialog* dialog, const char* name, const QString& text, QRect geometry,
                              bool accepts) {
  auto* button = new QPushButton(text, dialog);
  button->setObjectName(name);
  button->setGeometry(geometry);
  button->setDefault(accepts);
  QObject::connect(button, &QPushButton::clicked, dialog, accepts ? &QDialog::accept : &QDialog::reject);
  return button;
}

QLabel* AddText(QDialog* dialog, const char* name, const QString& text, QRect geometry) {
  auto* label = new QLabel(text, dialog);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setGeometry(geometry);
  return label;
}

}  // namespace tesvo::ui
