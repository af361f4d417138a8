// The command line, read before anything needs a display: --help and
// --version answer on the terminal, and anything unknown is refused there.
#pragma once

#include <QString>
#include <QStringList>

namespace tesvo::ui {

struct CommandLine {
  enum class Action { kStart, kPrintHelp, kPrintVersion, kRefuse };
  Action action = Action::kStart;
  // --pictures-folder: work in "Tesvo" inside the user's pictures folder.
  bool picturesFolder = false;
  // A saved image to open ("tesvo NAME.dat", as a file manager's "Abrir con"
  // starts the program), as given; empty when none.
  QString imageFile;
  // What to print: the help or version text (standard output), or why the
  // line was refused (standard error).
  QString text;
};

// Exit codes of the program, as command-line programs use them.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// `arguments` includes the program's name first, as argv does. Qt's own
// options (-platform, -style, -display and the like) are accepted and left
// for QApplication.
CommandLine ParseCommandLine(const QStringList& arguments);

}  // namespace tesvo::ui
