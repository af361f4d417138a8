// Controls of the small dialogs: named for the tests, placed in dialog units.
#pragma once

#include <QRect>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;

namespace tesvo::ui {

// A push button that ends the dialog: accepting (and the default button for
// Enter) or rejecting.
QPushButton* AddClosingButton(QDialog* dialog, const char* name, const QString& text, QRect geometry,
                              bool accepts);

// Plain, left-aligned, word-wrapped text.
QLabel* AddText(QDialog* dialog, const char* name, const QString& text, QRect geometry);

}  // namespace tesvo::ui
