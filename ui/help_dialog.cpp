#include "ui/help_dialog.h"

#include <QLabel>
#include <QPushButton>

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
  auto* text = new QLabel(help ? QString::fromStdString(help->text) : QString(), this);
  text->setObjectName("helpText");
  text->setTextFormat(Qt::PlainText);
  text->setWordWrap(true);
  text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  text->setGeometry(DialogRect(11, 7, 326, 216));

  auto* ok = new QPushButton(QStringLiteral("Vale"), this);
  ok->setObjectName("okButton");
  ok->setGeometry(DialogRect(19, 233, 311, 23));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tesvo::ui
