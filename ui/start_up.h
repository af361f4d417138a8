// What the program does before its first window: Qt's own texts in Spanish,
// and the folder the images are kept in.
#pragma once

#include <string>

class QCoreApplication;
class QString;

namespace tesvo::ui {

// Qt's Spanish translations, so that what Qt draws itself (edit menus,
// standard buttons, tooltips) is Spanish. False when they are not installed.
bool LoadQtSpanish(QCoreApplication& application);

// With `picturesFolder` (the desktop entry's --pictures-folder), creates the
// menu's image folder where needed and makes it the current directory;
// otherwise the current directory stays. False, once the user has been told,
// when the folder cannot be had.
bool EnterWorkingFolder(bool picturesFolder);

// "tesvo NAME.dat": makes the file's folder the current directory, since the
// program works where the image is, and returns the name to read there (the
// file's name without ".dat"). Where the folder cannot be entered the current
// directory stays and the name keeps its path, so that the reading reports
// the file as it was given.
std::string EnterFolderOfImage(const QString& file);

// Qt ends a program that finds no display with a fatal message and an abort.
// While one of these lives (around the construction of the QApplication),
// that becomes one Spanish line on standard error and exit code 1; Qt's
// other messages are held and passed on when it ends.
class DisplayGuard {
 public:
  DisplayGuard();
  ~DisplayGuard();
  DisplayGuard(const DisplayGuard&) = delete;
  DisplayGuard& operator=(const DisplayGuard&) = delete;
};

// The line DisplayGuard prints.
extern const char* const kNoDisplayMessage;

}  // namespace tesvo::ui
