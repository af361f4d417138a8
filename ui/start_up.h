// What the program does before its first window: Qt's own texts in Spanish,
// and the folder the images are kept in.
#pragma once

#include <QStringList>

class QCoreApplication;

namespace tesvo::ui {

// Passed by the desktop entry alone: the images go to "Tesvo" in the user's
// pictures folder instead of the folder the program was started in.
inline constexpr const char* kPicturesFolderOption = "--pictures-folder";

// Qt's Spanish translations, so that what Qt draws itself (edit menus,
// standard buttons, tooltips) is Spanish. False when they are not installed.
bool LoadQtSpanish(QCoreApplication& application);

// With kPicturesFolderOption among the arguments, creates the menu's image
// folder where needed and makes it the current directory; otherwise the
// current directory stays. False, once the user has been told, when the folder
// cannot be had.
bool EnterWorkingFolder(const QStringList& arguments);

}  // namespace tesvo::ui
