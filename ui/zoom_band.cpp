#include "ui/zoom_band.h"

#include <QPainter>

namespace tesvo::ui {

ZoomBand::ZoomBand(QWidget* parent) : QRubberBand(QRubberBand::Rectangle, parent) {
  setObjectName("zoomBand");
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ZoomBand::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Black dots on white stay visible over any colour of the picture.
  painter.setPen(QPen(Qt::white, 1));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tesvo::ui
