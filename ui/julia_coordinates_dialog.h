// "Coordenadas para conjunto de Julia": the real and imaginary parts of c.
#pragma once

#include <QDialog>
#include <optional>

class QLineEdit;

namespace tesvo::ui {

class JuliaCoordinatesDialog : public QDialog {
  Q_OBJECT

 public:
  explicit JuliaCoordinatesDialog(QWidget* parent);

  double re() const { return m_re; }
  double im() const { return m_im; }

  void accept() override;

 private:
  // Converts one field, or tells the user and puts the focus on it.
  bool Exchange(QLineEdit* field, double& value);

  QLineEdit* m_reEdit;
  QLineEdit* m_imEdit;
  double m_re = 0.0;
  double m_im = 0.0;
};

}  // namespace tesvo::ui
