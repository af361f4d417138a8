// Message boxes with the program's Spanish buttons.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace tesvo::ui {

inline const QString kOkText = QStringLiteral("Aceptar");
inline const QString kYesText = QStringLiteral("Sí");
inline const QString kNoText = QStringLiteral("No");

void ShowMessageBox(QWidget* parent, const QString& caption, const QString& text,
                    QMessageBox::Icon icon = QMessageBox::NoIcon);
bool AskYesNoBox(QWidget* parent, const QString& caption, const QString& text);

}  // namespace tesvo::ui
