#include "ui/start_dialog.h"

#include <QContextMenuEvent>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStringList>

#include "ui/about_dialog.h"
#include "ui/dialog_units.h"
#include "ui/explorer_dialog.h"
#include "ui/program_icon.h"

namespace tesvo::ui {

StartDialog::StartDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("startDialog");
  setWindowTitle(QStringLiteral("Tesvo"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(DialogSize(197, 130));
  QFont serif;
  serif.setFamilies(QStringList{QStringLiteral("DejaVu Serif"), QStringLiteral("Times New Roman")});
  serif.setPixelSize(12);
  setFont(serif);

  auto* start = new QPushButton(QStringLiteral("Iniciar"), this);
  start->setObjectName("startButton");
  start->setGeometry(DialogRect(60, 36, 75, 29));
  start->setDefault(true);
  auto* quit = new QPushButton(QStringLiteral("Salir"), this);
  quit->setObjectName("quitButton");
  quit->setGeometry(DialogRect(143, 113, 50, 14));
  auto* about = new QPushButton(QStringLiteral("Acerca de Tesvo"), this);
  about->setObjectName("aboutButton");
  about->setGeometry(DialogRect(60, 73, 75, 14));

  auto* sentence = new QLabel(
      QStringLiteral("Programa para la exploración del conjunto de Mandelbrot y los conjuntos Julia."), this);
  sentence->setObjectName("sentenceLabel");
  sentence->setWordWrap(true);
  sentence->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  sentence->setGeometry(DialogRect(52, 6, 140, 26));

  auto* image = new QLabel(this);
  image->setObjectName("startImage");
  image->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  image->setAlignment(Qt::AlignCenter);
  const QRect imageRect = DialogRect(22, 6, 24, 22);
  image->setGeometry(imageRect);
  ProgramIcon();  // registers the resources
  image->setPixmap(QIcon(QStringLiteral(":/tesvo/start.png")).pixmap(imageRect.size() - QSize(6, 6)));

  connect(start, &QPushButton::clicked, this, &StartDialog::StartExplorer);
  connect(about, &QPushButton::clicked, this, &StartDialog::ShowAbout);
  connect(quit, &QPushButton::clicked, this, &QDialog::reject);
}

void StartDialog::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.setObjectName("startMenu");
  menu.setSeparatorsCollapsible(false);
  menu.addAction(QStringLiteral("&Cerrar"), this, &QDialog::reject);
  menu.addSeparator();
  menu.addAction(QStringLiteral("&Acerca de Tesvo..."), this, &StartDialog::ShowAbout);
  menu.exec(event->globalPos());
}

void StartDialog::StartExplorer() {
  ExplorerDialog explorer(this);
  explorer.exec();
}

void StartDialog::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

}  // namespace tesvo::ui
