#include "ui/save_image_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/dialog_controls.h"
#include "ui/dialog_units.h"

namespace tesvo::ui {

SaveImageDialog::SaveImageDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("saveImageDialog");
  setWindowTitle(QStringLiteral("Grabación de imagen"));
  setFixedSize(DialogSize(218, 95));

  auto* prompt = new QLabel(QStringLiteral("Escribe el nombre con el que quieres grabar la imagen:"), this);
  prompt->setObjectName("promptLabel");
  prompt->setGeometry(DialogRect(16, 6, 185, 8));
  m_nameEdit = new QLineEdit(this);
  m_nameEdit->setObjectName("nameEdit");
  m_nameEdit->setGeometry(DialogRect(69, 28, 79, 14));

  AddClosingButton(this, "saveButton", QStringLiteral("Grabar"), DialogRect(51, 73, 50, 14), true);
  AddClosingButton(this, "cancelButton", QStringLiteral("Cancelar"), DialogRect(116, 73, 50, 14), false);
  m_nameEdit->setFocus();
}

std::string SaveImageDialog::name() const { return m_nameEdit->text().toStdString(); }

}  // namespace tesvo::ui
