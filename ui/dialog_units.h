// Dialog templates are laid out in dialog units; at the program's font one
// unit is 6/4 pixel across and 13/8 pixel down.
#pragma once

#include <QRect>

namespace tesvo::ui {

constexpr int HorizontalPixels(int units) { return (units * 6 + 2) / 4; }
constexpr int VerticalPixels(int units) { return (units * 13 + 4) / 8; }

inline QRect DialogRect(int x, int y, int width, int height) {
  return QRect(HorizontalPixels(x), VerticalPixels(y), HorizontalPixels(width), VerticalPixels(height));
}

inline QSize DialogSize(int width, int height) { return {HorizontalPixels(width), VerticalPixels(height)}; }

}  // namespace tesvo::ui
