// "Grabación de imagen": the name under which the current image is saved.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace tesvo::ui {

class SaveImageDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SaveImageDialog(QWidget* parent);

  // The text as typed: blanks and any extension are part of the name.
  std::string name() const;

 private:
  QLineEdit* m_nameEdit;
};

}  // namespace tesvo::ui
