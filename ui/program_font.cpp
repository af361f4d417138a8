#include "ui/program_font.h"

#include <QStringList>

namespace tesvo::ui {

QFont ProgramFont() {
  QFont font;
  font.setFamilies(QStringList{QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(10);
  return font;
}

}  // namespace tesvo::ui
