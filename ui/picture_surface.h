// The client area's pictures as a kept image: what the commands draw stays
// when the window is covered, minimised or restored. While a command draws,
// finished strips are shown every few tens of milliseconds.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

#include "engine/image_record.h"

namespace tesvo::ui {

class PictureSurface : public QWidget {
  Q_OBJECT

 public:
  PictureSurface(QSize size, QWidget* parent);

  void SetPixel(int x, int y, Colour colour);
  void Fill(QRect area, Colour colour);
  void CopyBlock(int left, int top, int width, int height, const Colour* pixels);
  // Shows everything drawn since the last call.
  void Flush();

  const QImage& image() const { return m_image; }
  static QRgb ToRgb(Colour colour);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Touch(int left, int top, int right, int bottom);
  void RepaintIfDue();

  QImage m_image;
  int m_dirtyLeft, m_dirtyTop, m_dirtyRight, m_dirtyBottom;
  int m_lastColumn = -1;
  QElapsedTimer m_sinceShown;
};

}  // namespace tesvo::ui
