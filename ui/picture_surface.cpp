#include "ui/picture_surface.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <climits>

namespace tesvo::ui {
namespace {

constexpr int kStripMilliseconds = 20;

}  // namespace

PictureSurface::PictureSurface(QSize size, QWidget* parent)
    : QWidget(parent), m_image(size, QImage::Format_ARGB32_Premultiplied) {
  m_image.fill(Qt::transparent);
  setObjectName("pictureSurface");
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setGeometry(QRect(QPoint(0, 0), size));
  m_dirtyLeft = m_dirtyTop = INT_MAX;
  m_dirtyRight = m_dirtyBottom = INT_MIN;
  m_sinceShown.start();
}

QRgb PictureSurface::ToRgb(Colour colour) {
  return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

void PictureSurface::SetPixel(int x, int y, Colour colour) {
  if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height()) return;
  reinterpret_cast<QRgb*>(m_image.scanLine(y))[x] = ToRgb(colour);
  Touch(x, y, x, y);
  // A new column: the one before is complete, a good moment to show progress.
  if (x != m_lastColumn) {
    m_lastColumn = x;
    RepaintIfDue();
  }
}

void PictureSurface::Fill(QRect area, Colour colour) {
  area = area.intersected(m_image.rect());
  if (area.isEmpty()) return;
  const QRgb rgb = ToRgb(colour);
  for (int y = area.top(); y <= area.bottom(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(m_image.scanLine(y));
    std::fill(line + area.left(), line + area.right() + 1, rgb);
  }
  Touch(area.left(), area.top(), area.right(), area.bottom());
}

void PictureSurface::CopyBlock(int left, int top, int width, int height, const Colour* pixels) {
  const QRect area = QRect(left, top, width, height).intersected(m_image.rect());
  if (area.isEmpty()) return;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(m_image.scanLine(y));
    const Colour* source = pixels + static_cast<std::ptrdiff_t>(y - top) * width - left;
    for (int x = area.left(); x <= area.right(); ++x) line[x] = ToRgb(source[x]);
  }
  Touch(area.left(), area.top(), area.right(), area.bottom());
}

void PictureSurface::Touch(int left, int top, int right, int bottom) {
  m_dirtyLeft = std::min(m_dirtyLeft, left);
  m_dirtyTop = std::min(m_dirtyTop, top);
  m_dirtyRight = std::max(m_dirtyRight, right);
  m_dirtyBottom = std::max(m_dirtyBottom, bottom);
}

void PictureSurface::RepaintIfDue() {
  if (m_sinceShown.elapsed() < kStripMilliseconds) return;
  if (m_dirtyLeft <= m_dirtyRight && isVisible()) {
    repaint(QRect(QPoint(m_dirtyLeft, m_dirtyTop), QPoint(m_dirtyRight, m_dirtyBottom)));
    m_dirtyLeft = m_dirtyTop = INT_MAX;
    m_dirtyRight = m_dirtyBottom = INT_MIN;
  }
  // Lets the window system have its repaints (an uncovered window) while user
  // input waits until the command has finished.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  m_sinceShown.restart();
}

void PictureSurface::Flush() {
  if (m_dirtyLeft <= m_dirtyRight)
    update(QRect(QPoint(m_dirtyLeft, m_dirtyTop), QPoint(m_dirtyRight, m_dirtyBottom)));
  m_dirtyLeft = m_dirtyTop = INT_MAX;
  m_dirtyRight = m_dirtyBottom = INT_MIN;
  m_lastColumn = -1;
  m_sinceShown.restart();
}

void PictureSurface::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.drawImage(event->rect(), m_image, event->rect());
}

}  // namespace tesvo::ui
