// "Grabación de imagen": the name under which the current image is saved and
// the size of the picture written beside it.
#pragma once

#include <QDialog>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;

namespace tesvo::ui {

class SaveImageDialog : public QDialog {
  Q_OBJECT

 public:
  // width x height: the picture as shown, the first size offered.
  SaveImageDialog(QWidget* parent, int width, int height);

  // The text as typed: blanks and any extension are part of the name.
  std::string name() const;
  // The picture is scale times as wide and high as shown (1, 2, 4, 8, 16),
  // each pixel the mean of antialias x antialias samples (1 to 4).
  int scale() const;
  int antialias() const;

 private:
  void ShowPixels();

  int m_width;
  int m_height;
  QLineEdit* m_nameEdit;
  QComboBox* m_sizeCombo;
  QComboBox* m_antialiasCombo;
  QLabel* m_pixelsLabel;
};

}  // namespace tesvo::ui
