#include <QApplication>
#include <QFont>

#include "ui/explorer_dialog.h"
#include "ui/program_font.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tesvo"));
  QApplication::setApplicationVersion(QStringLiteral(TESVO_VERSION));
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication::setFont(tesvo::ui::ProgramFont());
  tesvo::ui::ExplorerDialog explorer;
  explorer.exec();
  return 0;
}
