#include "ui/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "ui/dialog_controls.h"
#include "ui/dialog_units.h"
#include "ui/message_box.h"
#include "ui/program_icon.h"

namespace tesvo::ui {
namespace {

const QString kAboutText = QStringLiteral(
    "Tesvo, versión " TESVO_VERSION
    "\nExploración Mandelbrot y Julia\n\n"
    "Dibuja el conjunto de Mandelbrot y los conjuntos de Julia de sus puntos, amplía las zonas que "
    "se marcan con el ratón, cambia sus colores y guarda las imágenes que merezcan la pena.\n\n"
    "© Orvanel\n"
    "https://orvanel.example\n"
    "tesvo@orvanel.example");

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("aboutDialog");
  setWindowTitle(QStringLiteral("Acerca de Tesvo"));
  // Caption and frame only, no close box: "Aceptar", Enter and Esc close it.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(DialogSize(236, 114));

  auto* icon = new QLabel(this);
  icon->setObjectName("aboutIcon");
  const QRect iconRect = DialogRect(10, 6, 20, 20);
  icon->setGeometry(iconRect.x(), iconRect.y(), 32, 32);
  icon->setPixmap(ProgramIcon().pixmap(32, 32));

  AddText(this, "aboutText", kAboutText, DialogRect(40, 10, 163, 81));
  AddClosingButton(this, "okButton", kOkText, DialogRect(180, 92, 50, 14), true);
}

}  // namespace tesvo::ui
