#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <QTimer>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "cli/movie_command.h"
#include "cli/render_command.h"
#include "ui/command_line.h"
#include "ui/program_font.h"
#include "ui/program_icon.h"
#include "ui/start_dialog.h"
#include "ui/start_up.h"

int main(int argc, char* argv[]) {
  // "tesvo render IN.dat OUT.png ..." and "tesvo movie ...": before any window exists, so that it
  // runs where there is no display.
  if (argc > 1 && std::string_view(argv[1]) == "render")
    return tesvo::RenderCommand({argv + 2, argv + argc}, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
  if (argc > 1 && std::string_view(argv[1]) == "movie")
    return tesvo::MovieCommand({argv + 2, argv + argc}, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const tesvo::ui::CommandLine line = tesvo::ui::ParseCommandLine(arguments);
  switch (line.action) {
    case tesvo::ui::CommandLine::Action::kPrintHelp:
    case tesvo::ui::CommandLine::Action::kPrintVersion:
      std::fputs(line.text.toLocal8Bit().constData(), stdout);
      return std::fflush(stdout) == 0 ? tesvo::ui::kExitSuccess : tesvo::ui::kExitFailure;
    case tesvo::ui::CommandLine::Action::kRefuse:
      std::fprintf(stderr, "%s\n", line.text.toLocal8Bit().constData());
      return tesvo::ui::kExitUsage;
    case tesvo::ui::CommandLine::Action::kStart:
      break;
  }

  // Set before the application exists: on X11 the windows' class (WM_CLASS)
  // is the application's name, which the desktop entry's StartupWMClass names.
  QApplication::setApplicationName(QStringLiteral("Tesvo"));
  QApplication::setApplicationVersion(QStringLiteral(TESVO_VERSION));
  QApplication::setOrganizationName(QStringLiteral("Orvanel"));
  QGuiApplication::setDesktopFileName(QStringLiteral(TESVO_APP_ID));
  std::optional<tesvo::ui::DisplayGuard> guard(std::in_place);
  QApplication application(argc, argv);
  guard.reset();
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication::setFont(tesvo::ui::ProgramFont());
  QApplication::setWindowIcon(tesvo::ui::ProgramIcon());
  tesvo::ui::LoadQtSpanish(application);
  // A file to open decides the folder, even after the desktop entry's
  // --pictures-folder: the program works where the image is.
  std::string image;
  if (!line.imageFile.isEmpty())
    image = tesvo::ui::EnterFolderOfImage(line.imageFile);
  else if (!tesvo::ui::EnterWorkingFolder(line.picturesFolder))
    return tesvo::ui::kExitFailure;
  tesvo::ui::StartDialog start;
  if (!line.imageFile.isEmpty()) QTimer::singleShot(0, &start, [&start, &image] { start.OpenImage(image); });
  start.exec();
  return tesvo::ui::kExitSuccess;
}
