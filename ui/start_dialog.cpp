#include "ui/start_dialog.h"

#include <QContextMenuEvent>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "ui/about_dialog.h"
#include "ui/dialog_units.h"
#include "ui/explorer_dialog.h"
#include "ui/program_icon.h"

namespace tesvo::ui {

StartDialog::StartDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("startDialog");
  setWindowTitle(QStringLiteral("Tesvo"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  // A serif at 12 points, and the dialog's units are that font's.
  QFont serif(QStringLiteral("DejaVu Serif"), 12);
  serif.setStyleHint(QFont::Serif);
  setFont(serif);
  const DialogUnits units = UnitsOf(serif);
  setFixedSize(units.Size(197, 130));

  auto* start = new QPushButton(QStringLiteral("Iniciar"), this);
  start->setObjectName("startButton");
  start->setGeometry(units.Rect(60, 36, 75, 29));
  start->setDefault(true);
  auto* quit = new QPushButton(QStringLiteral("Salir"), this);
  quit->setObjectName("quitButton");
  quit->setGeometry(units.Rect(143, 113, 50, 14));
  auto* about = new QPushButton(QStringLiteral("Acerca de Tesvo"), this);
  about->setObjectName("aboutButton");
  about->setGeometry(units.Rect(60, 73, 75, 14));

  auto* sentence = new QLabel(
      QStringLiteral("Programa para la exploración del conjunto de Mandelbrot y los conjuntos Julia."), this);
  sentence->setObjectName("sentenceLabel");
  sentence->setWordWrap(true);
  sentence->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Wider than the template's 123 units, so that the sentence keeps to its
  // two lines in this serif.
  sentence->setGeometry(units.Rect(46, 10, 140, 18));

  // An icon keeps its own size, 32 pixels, inside its sunken frame.
  auto* image = new QLabel(this);
  image->setObjectName("startImage");
  image->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  image->setAlignment(Qt::AlignCenter);
  constexpr int kIconSize = 32;
  image->setGeometry(
      QRect(units.Rect(27, 11, 0, 0).topLeft(),
            QSize(kIconSize, kIconSize) + 2 * QSize(image->frameWidth(), image->frameWidth())));
  ProgramIcon();  // registers the resources
  image->setPixmap(QIcon(QStringLiteral(":/tesvo/start.png")).pixmap(kIconSize, kIconSize));

  connect(start, &QPushButton::clicked, this, [this] { StartExplorer(); });
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

void StartDialog::OpenImage(const std::string& name) { StartExplorer(name); }

void StartDialog::StartExplorer(const std::string& imageName) {
  // The images, the colours and the entry read last go on from the main
  // window closed before.
  ExplorerDialog explorer(this, std::move(m_explorer));
  // Read from the main window's own event loop, so that the reading's
  // message boxes stand over it.
  if (!imageName.empty())
    QTimer::singleShot(0, &explorer, [&explorer, imageName] { explorer.ReadNamedImage(imageName); });
  explorer.exec();
  m_explorer = explorer.TakeExplorer();
}

void StartDialog::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

}  // namespace tesvo::ui
