#include "ui/julia_coordinates_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "navigation/julia.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_units.h"
#include "ui/message_box.h"

namespace tesvo::ui {

JuliaCoordinatesDialog::JuliaCoordinatesDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("juliaCoordinatesDialog");
  setWindowTitle(QStringLiteral("Coordenadas para conjunto de Julia"));
  setFixedSize(DialogSize(280, 118));

  m_reEdit = new QLineEdit(QStringLiteral("0"), this);
  m_reEdit->setObjectName("reEdit");
  m_reEdit->setGeometry(DialogRect(97, 89, 40, 12));
  m_imEdit = new QLineEdit(QStringLiteral("0"), this);
  m_imEdit->setObjectName("imEdit");
  m_imEdit->setGeometry(DialogRect(145, 89, 40, 12));

  AddClosingButton(this, "okButton", QStringLiteral("OK"), DialogRect(223, 7, 50, 14), true);
  AddClosingButton(this, "cancelButton", QStringLiteral("Cancel"), DialogRect(223, 24, 50, 14), false);

  struct Text {
    const char* text;
    int x, y, width, height;
  };
  static constexpr Text kTexts[] = {
      {"+", 139, 90, 8, 14},
      {"i", 187, 91, 8, 14},
      {"c = ", 83, 91, 13, 13},
      {"OJO: se perderá la última imagen generada a no ser que haya sido previamente grabada. Para salir de "
       "aquí sin hacer nada, basta pulsar en el botón de cancel. \n\nOtro OJO: la posición decimal se indica "
       "con un punto.",
       7, 36, 200, 44},
      {"Esta opción permite generar un conjunto de Julia a partir del valor del parametro complejo c.  Para "
       "ello basta escribir en las cajas de texto siguientes su parte real y compleja. ",
       7, 7, 200, 27},
  };
  for (const Text& t : kTexts)
    AddText(this, "", QString::fromUtf8(t.text), DialogRect(t.x, t.y, t.width, t.height));
  m_reEdit->setFocus();
}

bool JuliaCoordinatesDialog::Exchange(QLineEdit* field, double& value) {
  const std::optional<double> number = ParseDialogNumber(field->text().toStdString());
  if (number) {
    value = *number;
    return true;
  }
  ShowMessageBox(this, QApplication::applicationName(), QStringLiteral("Introduzca un número."),
                 QMessageBox::Warning);
  field->setFocus();
  field->selectAll();
  return false;
}

void JuliaCoordinatesDialog::accept() {
  if (Exchange(m_reEdit, m_re) && Exchange(m_imEdit, m_im)) QDialog::accept();
}

}  // namespace tesvo::ui
