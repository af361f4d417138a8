// "Acerca de Tesvo": the program's icon, version and author.
#pragma once

#include <QDialog>

namespace tesvo::ui {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent);
};

}  // namespace tesvo::ui
