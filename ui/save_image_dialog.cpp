#include "ui/save_image_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/dialog_controls.h"
#include "ui/dialog_units.h"

namespace tesvo::ui {
namespace {

constexpr int kScales[] = {1, 2, 4, 8, 16};

QComboBox* AddCombo(QDialog* dialog, const char* name, QRect geometry) {
  auto* combo = new QComboBox(dialog);
  combo->setObjectName(name);
  combo->setGeometry(geometry);
  return combo;
}

}  // namespace

SaveImageDialog::SaveImageDialog(QWidget* parent, int width, int height)
    : QDialog(parent), m_width(width), m_height(height) {
  setObjectName("saveImageDialog");
  setWindowTitle(QStringLiteral("Grabación de imagen"));
  setFixedSize(DialogSize(218, 106));

  auto* prompt = new QLabel(QStringLiteral("Escribe el nombre con el que quieres grabar la imagen:"), this);
  prompt->setObjectName("promptLabel");
  prompt->setGeometry(DialogRect(16, 6, 185, 8));
  m_nameEdit = new QLineEdit(this);
  m_nameEdit->setObjectName("nameEdit");
  m_nameEdit->setGeometry(DialogRect(69, 22, 79, 14));

  AddText(this, "sizeLabel", QStringLiteral("Tamaño del dibujo:"), DialogRect(10, 46, 64, 8));
  m_sizeCombo = AddCombo(this, "sizeCombo", DialogRect(76, 44, 56, 13));
  m_sizeCombo->addItem(QStringLiteral("como se ve"));
  for (int scale : kScales)
    if (scale > 1) m_sizeCombo->addItem(QStringLiteral("x%1").arg(scale));
  m_pixelsLabel = AddText(this, "pixelsLabel", QString(), DialogRect(136, 46, 80, 8));
  AddText(this, "antialiasLabel", QStringLiteral("Suavizado:"), DialogRect(10, 63, 64, 8));
  m_antialiasCombo = AddCombo(this, "antialiasCombo", DialogRect(76, 61, 74, 13));
  m_antialiasCombo->addItem(QStringLiteral("ninguno"));
  for (int samples = 2; samples <= 4; ++samples)
    m_antialiasCombo->addItem(QStringLiteral("%1 x %1 muestras").arg(samples));
  connect(m_sizeCombo, &QComboBox::currentIndexChanged, this, &SaveImageDialog::ShowPixels);
  ShowPixels();

  AddClosingButton(this, "saveButton", QStringLiteral("Grabar"), DialogRect(51, 85, 50, 14), true);
  AddClosingButton(this, "cancelButton", QStringLiteral("Cancelar"), DialogRect(116, 85, 50, 14), false);
  m_nameEdit->setFocus();
}

std::string SaveImageDialog::name() const { return m_nameEdit->text().toStdString(); }

int SaveImageDialog::scale() const { return kScales[m_sizeCombo->currentIndex()]; }

int SaveImageDialog::antialias() const { return m_antialiasCombo->currentIndex() + 1; }

void SaveImageDialog::ShowPixels() {
  m_pixelsLabel->setText(
      QStringLiteral("%1 x %2 píxeles").arg(qint64{m_width} * scale()).arg(qint64{m_height} * scale()));
}

}  // namespace tesvo::ui
