#include "ui/explorer_dialog.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <ctime>

#include "commands/file_reports.h"
#include "ui/dialog_units.h"
#include "ui/help_dialog.h"
#include "ui/picture_surface.h"
#include "ui/zoom_band.h"

namespace tesvo::ui {
namespace {

enum class Kind { kButton, kCombo, kEditableCombo, kLabel, kGroup };

struct Control {
  const char* name;
  Kind kind;
  const char* text;
  int x, y, width, height;  // dialog units
};

// The controls in tab order. Combo boxes are given the height of their closed
// field; their lists drop down below it.
constexpr Control kControls[] = {
    {"startMandelbrotButton", Kind::kButton, "Iniciar conjunto de Mandelbrot", 9, 13, 131, 16},
    {"modeCombo", Kind::kCombo, "", 47, 33, 92, 13},
    {"readCombo", Kind::kEditableCombo, "", 34, 95, 68, 13},
    {"saveButton", Kind::kButton, "Grabar imagen", 9, 130, 131, 14},
    {"precisionUpButton", Kind::kButton, "+", 56, 159, 38, 14},
    {"precisionDownButton", Kind::kButton, "-", 102, 159, 38, 14},
    {"gradationLabel", Kind::kLabel, "Gradado :", 11, 191, 33, 10},
    {"gradationUpButton", Kind::kButton, "+", 55, 188, 38, 14},
    {"gradationDownButton", Kind::kButton, "-", 101, 188, 38, 14},
    {"initialColoursButton", Kind::kButton, "Iniciales", 101, 207, 38, 14},
    {"randomColoursButton", Kind::kButton, "Cambiar", 9, 207, 38, 14},
    {"enlargeButton", Kind::kButton, "Ampliar", 111, 316, 32, 14},
    {"modeLabel", Kind::kLabel, "Modo ->", 10, 36, 30, 8},
    {"readLabel", Kind::kLabel, "Leer ->", 9, 97, 23, 8},
    {"readNextButton", Kind::kButton, "Leer siguiente ", 79, 112, 61, 14},
    {"readPreviousButton", Kind::kButton, "Leer anterior", 9, 112, 61, 14},
    {"deleteButton", Kind::kButton, "<- Borrar", 104, 94, 36, 14},
    {"generationGroup", Kind::kGroup, "Generación de imágenes", 2, 3, 145, 74},
    {"libraryGroup", Kind::kGroup, "Lectura y grabación", 2, 85, 145, 63},
    {"coloursGroup", Kind::kGroup, "Colores", 2, 180, 145, 44},
    {"juliaGroup", Kind::kGroup, "Conjunto de Jullia", 2, 229, 145, 105},
    {"generationHelpButton", Kind::kButton, "?", 149, 7, 13, 14},
    {"libraryHelpButton", Kind::kButton, "?", 149, 89, 13, 14},
    {"coloursHelpButton", Kind::kButton, "?", 149, 184, 13, 14},
    {"juliaHelpButton", Kind::kButton, "?", 149, 233, 13, 14},
    {"greyColoursButton", Kind::kButton, "Grises", 55, 207, 38, 14},
    {"precisionGroup", Kind::kGroup, "Precisión", 2, 150, 145, 27},
    {"precisionHelpButton", Kind::kButton, "?", 149, 154, 13, 14},
    {"mouseHintLabel", Kind::kLabel,
     "Botón izq.: se marca zona a ampliar.\nBotón drch.: se genera conjunto de Julia. ", 9, 55, 130, 19},
    {"juliaCoordinatesButton", Kind::kButton, "a + bi", 111, 297, 32, 14},
};

// The buttons that act on the image in the big picture: precision and colours.
constexpr const char* kImageButtons[] = {
    "precisionUpButton",   "precisionDownButton",  "gradationUpButton", "gradationDownButton",
    "randomColoursButton", "initialColoursButton", "greyColoursButton",
};

constexpr int kClientWidth = 530;
constexpr int kClientHeight = 338;

bool IsEnter(const QKeyEvent* event) {
  return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
         (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

ExplorerDialog::ExplorerDialog(QWidget* parent, std::unique_ptr<Explorer> explorer)
    : QDialog(parent), m_explorer(explorer ? std::move(explorer) : std::make_unique<Explorer>(*this)) {
  m_explorer->Attach(*this);
  setObjectName("explorerDialog");
  setWindowTitle(QStringLiteral("Conjunto de Mandelbrot y conjuntos de Julia"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  // A window manager offers maximising only to a window that may grow; the
  // controls and the pictures keep their places in a larger window.
  setMinimumSize(DialogSize(kClientWidth, kClientHeight));
  resize(minimumSize());
  m_surface = new PictureSurface(size(), this);
  CreateControls();

  m_zoomBand = new ZoomBand(this);
  m_zoomBand->hide();
  ConnectCommands();
  // In the "Leer ->" field Ctrl+C copies its text, as in any field.
  connect(new QShortcut(QKeySequence::Copy, this), &QShortcut::activated, this, &ExplorerDialog::CopyPicture);

  m_explorer->Initialise(static_cast<unsigned>(std::clock()));
  ShowAvailableCommands();
}

ExplorerDialog::~ExplorerDialog() = default;

void ExplorerDialog::CreateControls() {
  QList<QWidget*> groups;
  for (const Control& c : kControls) {
    const QString text = QString::fromUtf8(c.text);
    QWidget* widget = nullptr;
    switch (c.kind) {
      case Kind::kButton: {
        auto* button = new QPushButton(text, this);
        widget = button;
        break;
      }
      case Kind::kCombo:
      case Kind::kEditableCombo: {
        auto* combo = new QComboBox(this);
        if (c.kind == Kind::kEditableCombo) {
          combo->setEditable(true);
          // The edit field only shows the entry read; what is typed there is
          // never a new entry and never reads an image. A combo box selects
          // the entry matching the typed text, and reports it as activated,
          // when editing ends (Enter, or the focus leaving the field): that
          // link is cut, so only a choice from the list reads.
          combo->setInsertPolicy(QComboBox::NoInsert);
          combo->setCompleter(nullptr);
          disconnect(combo->lineEdit(), &QLineEdit::editingFinished, combo, nullptr);
          m_readCombo = combo;
        } else {
          combo->setFocusPolicy(Qt::ClickFocus);
          m_modeCombo = combo;
        }
        widget = combo;
        break;
      }
      case Kind::kLabel: {
        auto* label = new QLabel(text, this);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
      }
      case Kind::kGroup:
        widget = new QGroupBox(text, this);
        groups.append(widget);
        break;
    }
    widget->setObjectName(c.name);
    widget->setGeometry(DialogRect(c.x, c.y, c.width, c.height));
  }
  Button("generationHelpButton")->setFocusPolicy(Qt::ClickFocus);
  // Group titles sit on the frame line, so the controls laid out in dialog
  // units keep their places inside the frames.
  setStyleSheet(
      QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                     "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
  // Frames below the controls, the pictures below everything.
  for (QWidget* group : groups) group->lower();
  m_surface->lower();
}

void ExplorerDialog::ConnectCommands() {
  const std::pair<const char*, void (Explorer::*)()> buttons[] = {
      {"startMandelbrotButton", &Explorer::StartMandelbrot},
      {"precisionUpButton", &Explorer::IncreasePrecision},
      {"precisionDownButton", &Explorer::DecreasePrecision},
      {"gradationUpButton", &Explorer::IncreaseGradation},
      {"gradationDownButton", &Explorer::DecreaseGradation},
      {"randomColoursButton", &Explorer::RandomColours},
      {"initialColoursButton", &Explorer::InitialColours},
      {"greyColoursButton", &Explorer::GreyColours},
      {"enlargeButton", &Explorer::EnlargePreview},
      {"juliaCoordinatesButton", &Explorer::JuliaFromCoordinates},
      {"readNextButton", &Explorer::ReadNextImage},
      {"readPreviousButton", &Explorer::ReadPreviousImage},
      {"saveButton", &Explorer::SaveImageAs},
      {"deleteButton", &Explorer::DeleteReadImage},
  };
  for (const auto& [name, command] : buttons)
    connect(Button(name), &QPushButton::clicked, this,
            [this, command = command] { Run([command](Explorer& explorer) { (explorer.*command)(); }); });
  // activated fires on the user's choice only, never on a selection set by a command.
  connect(m_modeCombo, &QComboBox::activated, this,
          [this](int index) { Run([index](Explorer& explorer) { explorer.ChangeMode(index); }); });
  connect(m_readCombo, &QComboBox::activated, this,
          [this](int index) { Run([index](Explorer& explorer) { explorer.ReadSelectedImage(index); }); });

  const std::pair<const char*, int> helpButtons[] = {
      {"generationHelpButton", 1}, {"libraryHelpButton", 2},   {"coloursHelpButton", 3},
      {"juliaHelpButton", 4},      {"precisionHelpButton", 5},
  };
  for (const auto& [name, topic] : helpButtons)
    connect(Button(name), &QPushButton::clicked, this, [this, topic = topic] { ShowHelpTopic(topic); });
}

void ExplorerDialog::ShowHelpTopic(int topic) {
  if (m_busy) return;
  m_surface->Flush();
  HelpDialog dialog(topic, this);
  dialog.move(mapToGlobal(DialogRect(148, 0, 0, 0).topLeft()));
  dialog.exec();
}

void ExplorerDialog::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (event->button() == Qt::LeftButton && !m_busy) {
    m_zoomStart = point;
    m_zooming = true;
    m_zoomBand->setGeometry(QRect(point, QSize()));
    m_zoomBand->show();
    m_zoomBand->raise();
  } else if (event->button() == Qt::RightButton && PassesRightClicks(childAt(point))) {
    Run([point](Explorer& explorer) { explorer.JuliaFromPoint({point.x(), point.y()}); });
  }
}

void ExplorerDialog::mouseMoveEvent(QMouseEvent* event) {
  if (m_zooming) m_zoomBand->setGeometry(QRect(m_zoomStart, event->position().toPoint()).normalized());
}

void ExplorerDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (!m_zooming || event->button() != Qt::LeftButton) return;
  m_zooming = false;
  m_zoomBand->hide();
  const QPoint start = m_zoomStart;
  const QPoint end = event->position().toPoint();
  Run([start, end](Explorer& explorer) {
    explorer.ZoomToRectangle({start.x(), start.y()}, {end.x(), end.y()});
  });
}

void ExplorerDialog::ReadNamedImage(const std::string& name) {
  Run([&name](Explorer& explorer) { explorer.ReadNamedImage(name); });
}

void ExplorerDialog::CopyPicture() {
  if (m_busy || !m_explorer || !m_explorer->HasImage()) return;
  const ImageRecord& image = m_explorer->State().currentImage;
  const QRect shown(image.pixelLeft, image.pixelTop, image.Width(), image.Height());
  QGuiApplication::clipboard()->setImage(
      m_surface->image().copy(shown).convertToFormat(QImage::Format_RGB32));
}

QPushButton* ExplorerDialog::Button(const char* name) const { return findChild<QPushButton*>(name); }

// A right press that an enabled child ignores, as push buttons and lists do,
// comes on to the dialog; one on a disabled child never reaches it. The right
// click is the dialog's only on its background, a text, a frame or a picture,
// which take no clicks of their own.
bool ExplorerDialog::PassesRightClicks(const QWidget* widget) const {
  return widget == nullptr || widget == m_surface || qobject_cast<const QLabel*>(widget) != nullptr ||
         qobject_cast<const QGroupBox*>(widget) != nullptr;
}

void ExplorerDialog::ShowAvailableCommands() {
  const bool image = m_explorer->HasImage();
  for (const char* name : kImageButtons) Button(name)->setEnabled(image);
  Button("enlargeButton")->setEnabled(m_explorer->HasPreview());
}

void ExplorerDialog::Run(const std::function<void(Explorer&)>& command) {
  if (m_busy || !m_explorer) return;
  m_busy = true;
  ReportingFileErrors(*this, [&] { command(*m_explorer); });
  m_surface->Flush();
  ShowAvailableCommands();
  m_busy = false;
}

// Enter where no push button has the focus (a push button takes it as a
// click) closes the dialog, as a dialog without a default button does: the
// two lists and the "Leer ->" field pass it on.
void ExplorerDialog::keyPressEvent(QKeyEvent* event) {
  if (IsEnter(event))
    accept();
  else
    QDialog::keyPressEvent(event);
}

void ExplorerDialog::closeEvent(QCloseEvent* event) {
  if (m_busy)
    event->ignore();
  else
    QDialog::closeEvent(event);
}

void ExplorerDialog::accept() {
  if (!m_busy) QDialog::accept();
}

// Esc while a long task runs stops the task, as its progress window's
// "Cancelar" does, and closes nothing.
void ExplorerDialog::reject() {
  if (!m_busy) return QDialog::reject();
  if (m_cancelling != nullptr) *m_cancelling = true;
}

}  // namespace tesvo::ui
