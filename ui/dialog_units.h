// Dialog templates are laid out in dialog units, which follow the template's
// font: a unit across is a quarter of its average letter width, a unit down
// an eighth of its line height.
#pragma once

#include <QRect>

class QFont;

namespace tesvo::ui {

struct DialogUnits {
  int letterWidth;  // pixels in 4 units across
  int lineHeight;   // pixels in 8 units down

  constexpr int Across(int units) const { return (units * letterWidth + 2) / 4; }
  constexpr int Down(int units) const { return (units * lineHeight + 4) / 8; }
  QRect Rect(int x, int y, int width, int height) const {
    return QRect(Across(x), Down(y), Across(width), Down(height));
  }
  QSize Size(int width, int height) const { return {Across(width), Down(height)}; }
};

// The units of font: its line height, and the average width of the 52 Latin
// letters rounded to the nearest pixel.
DialogUnits UnitsOf(const QFont& font);

// The units of the main window and the small dialogs: those of their
// template's sans-serif 8 points at 96 dots per inch, 6 pixels in 4 units
// across and 13 in 8 down, whatever font draws their texts.
inline constexpr DialogUnits kProgramUnits{6, 13};

constexpr int HorizontalPixels(int units) { return kProgramUnits.Across(units); }
constexpr int VerticalPixels(int units) { return kProgramUnits.Down(units); }

inline QRect DialogRect(int x, int y, int width, int height) {
  return kProgramUnits.Rect(x, y, width, height);
}

inline QSize DialogSize(int width, int height) { return kProgramUnits.Size(width, height); }

}  // namespace tesvo::ui
