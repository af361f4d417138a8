#include "ui/help_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "ui/dialog_controls.h"
#include "ui/dialog_units.h"
#include "ui/help_texts.h"

namespace tesvo::ui {

HelpDialog::HelpDialog(int topic, QWidget* parent) : QDialog(parent) {
  setObjectName("helpDialog");
  // Caption and frame only: "Vale", Enter and Esc close it.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(DialogSize(347, 265));

  const HelpTopic* help = FindHelpTopic(topic);
  setWindowTitle(QString::fromUtf8(help ? help->title : HelpTopics()[0].title));
  AddText(this, "helpText", help ? QString::fromStdString(help->text) : QString(),
          DialogRect(11, 7, 326, 216));

  AddClosingButton(this, "okButton", QStringLiteral("Vale"), DialogRect(19, 233, 311, 23), true);
}

}  // namespace tesvo::ui
