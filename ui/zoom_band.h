// The dotted rectangle that follows the mouse while a zoom is dragged.
#pragma once

#include <QRubberBand>

namespace tesvo::ui {

class ZoomBand : public QRubberBand {
  Q_OBJECT

 public:
  explicit ZoomBand(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tesvo::ui
