#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <iostream>
#include <string_view>

#include "library/render_command.h"

#include "ui/program_font.h"
#include "ui/program_icon.h"
#include "ui/start_dialog.h"
#include "ui/start_up.h"

int main(int argc, char* argv[]) {
  // "tesvo render IN.dat OUT.png ...": before any window exists, so that it
  // runs where there is no display.
  if (argc > 1 && std::string_view(argv[1]) == "render")
    return tesvo::RenderCommand({argv + 2, argv + argc}, std::cerr, ::isatty(STDERR_FILENO) == 1);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tesvo"));
  QApplication::setApplicationVersion(QStringLiteral(TESVO_VERSION));
  QApplication::setOrganizationName(QStringLiteral("Orvanel"));
  QGuiApplication::setDesktopFileName(QStringLiteral(TESVO_APP_ID));
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication::setFont(tesvo::ui::ProgramFont());
  QApplication::setWindowIcon(tesvo::ui::ProgramIcon());
  tesvo::ui::LoadQtSpanish(application);
  if (!tesvo::ui::EnterWorkingFolder(QApplication::arguments())) return 1;
  tesvo::ui::StartDialog start;
  start.exec();
  return 0;
}
