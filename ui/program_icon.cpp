#include "ui/program_icon.h"

// The resources live in a static library: register them before first use.
static void InitialiseResources() { Q_INIT_RESOURCE(tesvo); }

namespace tesvo::ui {

QIcon ProgramIcon() {
  InitialiseResources();
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 256})
    icon.addFile(QStringLiteral(":/tesvo/icon-%1.png").arg(size), QSize(size, size));
  return icon;
}

}  // namespace tesvo::ui
