// The main window on the offscreen platform: its controls, its start-up files,
// and the first image as the user sees it.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "engine/buffers.h"
#include "library/image_files.h"
#include "ui/explorer_dialog.h"
#include "ui/message_box.h"
#include "ui/picture_surface.h"
#include "ui/program_font.h"

using tesvo::ui::ExplorerDialog;
using tesvo::ui::PictureSurface;

namespace {

// Answers the next modal box by clicking the button of the given role, and
// remembers its texts.
struct BoxAnswer {
  QString title;
  QString text;
  QStringList buttons;
};

void AnswerNextBox(BoxAnswer* answer, QMessageBox::ButtonRole role) {
  QTimer::singleShot(0, [answer, role] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box);
    answer->title = box->windowTitle();
    answer->text = box->text();
    for (QAbstractButton* button : box->buttons()) {
      answer->buttons << button->text();
      if (box->buttonRole(button) == role) button->click();
    }
  });
}

}  // namespace

class ExplorerDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    QVERIFY(QDir::setCurrent(m_folder->path()));
    m_dialog = std::make_unique<ExplorerDialog>();
  }

  void cleanup() {
    m_dialog.reset();
    QDir::setCurrent(QDir::tempPath());
    m_folder.reset();
  }

  void opensWithTitleModeAndEmptyPictures() {
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Conjunto de Mandelbrot y conjuntos de Julia"));
    QCOMPARE(m_dialog->size(), QSize(795, 549));
    auto* mode = m_dialog->findChild<QComboBox*>("modeCombo");
    QVERIFY(mode);
    QCOMPARE(mode->count(), 4);
    QCOMPARE(mode->currentText(), QStringLiteral("tiempo de escape"));
    QCOMPARE(mode->itemText(1), QStringLiteral("descomposición"));
    const QImage& image = m_dialog->surface()->image();
    QCOMPARE(image.pixel(400, 200), qRgba(0, 0, 0, 0));
    QCOMPARE(image.pixel(80, 460), qRgba(0, 0, 0, 0));
  }

  void controlsAtTheirPlacesWithTheirTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry");
    // Dialog units converted at 6 x 13 base units.
    QTest::newRow("start") << "startMandelbrotButton"
                           << "Iniciar conjunto de Mandelbrot" << QRect(14, 21, 197, 26);
    QTest::newRow("save") << "saveButton"
                          << "Grabar imagen" << QRect(14, 211, 197, 23);
    QTest::newRow("next") << "readNextButton"
                          << "Leer siguiente " << QRect(119, 182, 92, 23);
    QTest::newRow("previous") << "readPreviousButton"
                              << "Leer anterior" << QRect(14, 182, 92, 23);
    QTest::newRow("delete") << "deleteButton"
                            << "<- Borrar" << QRect(156, 153, 54, 23);
    QTest::newRow("precision+") << "precisionUpButton"
                                << "+" << QRect(84, 258, 57, 23);
    QTest::newRow("precision-") << "precisionDownButton"
                                << "-" << QRect(153, 258, 57, 23);
    QTest::newRow("gradation+") << "gradationUpButton"
                                << "+" << QRect(83, 306, 57, 23);
    QTest::newRow("gradation-") << "gradationDownButton"
                                << "-" << QRect(152, 306, 57, 23);
    QTest::newRow("random") << "randomColoursButton"
                            << "Cambiar" << QRect(14, 336, 57, 23);
    QTest::newRow("grey") << "greyColoursButton"
                          << "Grises" << QRect(83, 336, 57, 23);
    QTest::newRow("initial") << "initialColoursButton"
                             << "Iniciales" << QRect(152, 336, 57, 23);
    QTest::newRow("a+bi") << "juliaCoordinatesButton"
                          << "a + bi" << QRect(167, 483, 48, 23);
    QTest::newRow("enlarge") << "enlargeButton"
                             << "Ampliar" << QRect(167, 514, 48, 23);
    QTest::newRow("help1") << "generationHelpButton"
                           << "?" << QRect(224, 11, 20, 23);
    QTest::newRow("help5") << "precisionHelpButton"
                           << "?" << QRect(224, 250, 20, 23);
    QTest::newRow("modeLabel") << "modeLabel"
                               << "Modo ->" << QRect(15, 59, 45, 13);
    QTest::newRow("readLabel") << "readLabel"
                               << "Leer ->" << QRect(14, 158, 35, 13);
    QTest::newRow("gradationLabel") << "gradationLabel"
                                    << "Gradado :" << QRect(17, 310, 50, 16);
    QTest::newRow("hint")
        << "mouseHintLabel"
        << "Botón izq.: se marca zona a ampliar.\nBotón drch.: se genera conjunto de Julia. "
        << QRect(14, 89, 195, 31);
    QTest::newRow("generation") << "generationGroup"
                                << "Generación de imágenes" << QRect(3, 5, 218, 120);
    QTest::newRow("julia") << "juliaGroup"
                           << "Conjunto de Jullia" << QRect(3, 372, 218, 171);
  }

  void controlsAtTheirPlacesWithTheirTexts() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, geometry);
    QWidget* widget = m_dialog->findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->geometry(), geometry);
    QString shown;
    if (auto* button = qobject_cast<QPushButton*>(widget)) shown = button->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) shown = label->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) shown = group->title();
    QCOMPARE(shown, text);
    // Every line of the text fits the control at the program's font.
    const QFontMetrics metrics(tesvo::ui::ProgramFont());
    for (const QString& line : text.split('\n'))
      QVERIFY2(metrics.horizontalAdvance(line.trimmed()) <= geometry.width() - 2, qPrintable(line));
  }

  void readListShowsNoSelectionUntilAnImageIsRead() {
    auto* read = m_dialog->findChild<QComboBox*>("readCombo");
    QCOMPARE(read->count(), 2);
    QCOMPARE(read->itemText(0), QStringLiteral("penultimo"));
    QCOMPARE(read->currentIndex(), -1);
    QCOMPARE(read->currentText(), QString());
  }

  void startWritesThePlaceholdersFirst() {
    for (const char* name : {"ultimo", "penultimo"}) {
      QCOMPARE(QFileInfo(QString(name) + ".dat").size(), 200);
      QCOMPARE(QFileInfo(QString(name) + ".pix").size(), 2);
    }
  }

  void startDrawsTheMandelbrotSetInPaletteColours() {
    m_dialog->show();
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("startMandelbrotButton"), Qt::LeftButton);
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Conjunto de Mandelbrot"));
    const QImage& image = m_dialog->surface()->image();
    for (int i = 0; i < 531; i += 7) {
      for (int j = 0; j < 531; j += 5) {
        const int count = State().countBuffer[i * 531 + j];
        QCOMPARE(image.pixel(250 + i, 11 + j), PictureSurface::ToRgb(State().palette[count]));
      }
    }
    // What was wiped is the area of the image shown before: the start-up
    // placeholder at the top-left corner, widened by one pixel.
    QCOMPARE(image.pixel(249, 10), qRgb(192, 192, 192));
    QCOMPARE(image.pixel(251, 10), qRgb(192, 192, 192));
    QCOMPARE(image.pixel(252, 10), qRgba(0, 0, 0, 0));
    // The centre of the main cardioid never escapes: count 0, black.
    QCOMPARE(image.pixel(250 + 265, 11 + 265), qRgb(0, 0, 0));
    QCOMPARE(QFileInfo("ultimo.pix").size(), 2 * 531 * 531);
    QCOMPARE(QFileInfo("penultimo.pix").size(), 2);
  }

  void modeChangeComputesAgainAndRotates() {
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("startMandelbrotButton"), Qt::LeftButton);
    auto* mode = m_dialog->findChild<QComboBox*>("modeCombo");
    emit mode->activated(1);
    QCOMPARE(State().currentImage.coloringMethod, 1);
    QCOMPARE(tesvo::ReadParameterFile("ultimo").coloringMethod, 1);
    QCOMPARE(tesvo::ReadParameterFile("penultimo").coloringMethod, 2);
    // Decomposition counts are 0 or 100 only.
    for (int i = 0; i < 531 * 531; i += 97)
      QVERIFY(State().countBuffer[i] == 0 || State().countBuffer[i] == 100);
  }

  void precisionButtonsChangeTheLimitWithoutRotating() {
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("startMandelbrotButton"), Qt::LeftButton);
    auto* more = m_dialog->findChild<QPushButton*>("precisionUpButton");
    auto* less = m_dialog->findChild<QPushButton*>("precisionDownButton");
    QTest::mouseClick(more, Qt::LeftButton);
    QCOMPARE(State().currentImage.iterationLimit, 200.0);
    QTest::mouseClick(less, Qt::LeftButton);
    QTest::mouseClick(less, Qt::LeftButton);
    QCOMPARE(State().currentImage.iterationLimit, 50.0);
    QCOMPARE(tesvo::ReadParameterFile("ultimo").iterationLimit, 100.0);
  }

  void picturesSurviveHidingAndShowing() {
    m_dialog->show();
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("startMandelbrotButton"), Qt::LeftButton);
    const QImage before = m_dialog->grab().toImage();
    m_dialog->hide();
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    const QImage after = m_dialog->grab().toImage();
    QCOMPARE(after.pixel(400, 200), before.pixel(400, 200));
    QCOMPARE(after.pixel(515, 276), qRgb(0, 0, 0));
  }

  // The window offers both boxes; maximised, it grows around the controls
  // and the pictures, which keep their places.
  void maximisingKeepsControlsAndPictures() {
    QVERIFY(m_dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(m_dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
    m_dialog->show();
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("startMandelbrotButton"), Qt::LeftButton);
    const QSize size = m_dialog->size();
    // A window manager maximises only a window that may grow.
    QVERIFY(m_dialog->maximumWidth() > size.width() && m_dialog->maximumHeight() > size.height());
    const QImage before = m_dialog->grab().toImage();
    QList<QRect> places;
    for (const QWidget* child : m_dialog->findChildren<QWidget*>()) places << child->geometry();
    m_dialog->showMaximized();
    QTRY_VERIFY(m_dialog->isMaximized());
    QTRY_VERIFY(m_dialog->width() > size.width() && m_dialog->height() > size.height());
    QList<QRect> after;
    for (const QWidget* child : m_dialog->findChildren<QWidget*>()) after << child->geometry();
    QCOMPARE(after, places);
    QCOMPARE(m_dialog->grab().toImage().copy(QRect(QPoint(), size)), before);
  }

  void dragZoomsAndRightClickPreviews() {
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("startMandelbrotButton"), Qt::LeftButton);
    QTest::mousePress(m_dialog.get(), Qt::LeftButton, {}, QPoint(427, 188));
    QTest::mouseMove(m_dialog.get(), QPoint(500, 230));
    auto* band = m_dialog->findChild<QWidget*>("zoomBand");
    QVERIFY(band && band->isVisible());
    QCOMPARE(band->geometry(), QRect(QPoint(427, 188), QPoint(500, 230)));
    QTest::mouseRelease(m_dialog.get(), Qt::LeftButton, {}, QPoint(604, 276));
    QVERIFY(!band->isVisible());
    QCOMPARE(State().currentImage.pixelBottom, 275);
    QCOMPARE(State().currentImage.planeLeft, -0.7333333333333334);
    // Below the shortened image the big-picture area is light grey.
    QCOMPARE(m_dialog->surface()->image().pixel(500, 400), qRgb(192, 192, 192));

    QTest::mouseClick(m_dialog->findChild<QPushButton*>("startMandelbrotButton"), Qt::LeftButton);
    QTest::mousePress(m_dialog.get(), Qt::RightButton, {}, QPoint(427, 188));
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Conjunto de Mandelbrot") + QString(27, ' ') +
                                          QStringLiteral("c = -0.733333 + 0.733333·i"));
    QCOMPARE(State().previewImage.juliaRe, -0.7333333333333334);
    // The preview shows in the small picture: its corner pixel is drawn now.
    QVERIFY(m_dialog->surface()->image().pixel(12, 390) != qRgba(0, 0, 0, 0));
  }

  // Right clicks come through the window system, so each lands on the widget
  // under the cursor. A push button or a list keeps its own, enabled or not;
  // on the background, a text or a frame the dialog previews (the pictures
  // and the background are one widget; the big picture is clicked above).
  void rightClickPreviewsOnlyWhereNoControlTakesIt_data() {
    QTest::addColumn<QString>("name");  // the widget under the point, if it has one
    QTest::addColumn<QPoint>("point");  // none: the centre of the widget
    QTest::addColumn<bool>("previews");
    QTest::newRow("Ampliar, disabled") << "enlargeButton" << QPoint() << false;
    QTest::newRow("precision +") << "precisionUpButton" << QPoint() << false;
    QTest::newRow("mode list") << "modeCombo" << QPoint() << false;
    QTest::newRow("hint text") << "mouseHintLabel" << QPoint() << true;
    QTest::newRow("Julia frame") << "juliaGroup" << QPoint(190, 385) << true;
    QTest::newRow("background") << "" << QPoint(245, 450) << true;
  }

  void rightClickPreviewsOnlyWhereNoControlTakesIt() {
    QFETCH(QString, name);
    QFETCH(QPoint, point);
    QFETCH(bool, previews);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("startMandelbrotButton"), Qt::LeftButton);
    if (!name.isEmpty()) {
      QWidget* widget = m_dialog->findChild<QWidget*>(name);
      QVERIFY(widget);
      if (point.isNull()) point = widget->geometry().center();
      QCOMPARE(m_dialog->childAt(point), widget);
    }
    m_dialog->setWindowTitle("antes");
    QTest::mousePress(m_dialog->windowHandle(), Qt::RightButton, {}, point);
    QTest::mouseRelease(m_dialog->windowHandle(), Qt::RightButton, {}, point);
    QCOMPARE(m_dialog->windowTitle().startsWith(QStringLiteral("Conjunto de Mandelbrot")), previews);
    QCOMPARE(State().previewImage.kind == 'p', previews);
  }

  // The precision and colour buttons wait for an image, "Ampliar" for a
  // preview, after start-up with the placeholder or with no image at all.
  void buttonsOfferOnlyWhatThereIsSomethingFor() {
    const QStringList imageButtons = {"precisionUpButton",   "precisionDownButton", "gradationUpButton",
                                      "gradationDownButton", "randomColoursButton", "initialColoursButton",
                                      "greyColoursButton"};
    const auto expect = [&](bool image, bool preview) {
      for (const QString& name : imageButtons)
        QVERIFY2(m_dialog->findChild<QPushButton*>(name)->isEnabled() == image, qPrintable(name));
      QCOMPARE(m_dialog->findChild<QPushButton*>("enlargeButton")->isEnabled(), preview);
    };
    expect(false, false);  // the start-up placeholder
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("startMandelbrotButton"), Qt::LeftButton);
    expect(true, false);
    QTest::mousePress(m_dialog.get(), Qt::RightButton, {}, QPoint(427, 188));
    expect(true, true);
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("enlargeButton"), Qt::LeftButton);
    QCOMPARE(State().currentImage.kind, 'j');
    expect(true, true);

    // Opened again with both reserved pairs on disk: nothing in the picture.
    m_dialog = std::make_unique<ExplorerDialog>();
    QCOMPARE(State().currentImage.kind, 0);
    expect(false, false);
    emit m_dialog->findChild<QComboBox*>("readCombo")->activated(1);  // "ultimo", the Julia image
    QCOMPARE(State().currentImage.kind, 'j');
    expect(true, false);
  }

  void colourButtonsRecolourAtOnce() {
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("startMandelbrotButton"), Qt::LeftButton);
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("greyColoursButton"), Qt::LeftButton);
    const QImage& image = m_dialog->surface()->image();
    const int count = State().countBuffer[10 * 531 + 10];
    QCOMPARE(image.pixel(260, 21), PictureSurface::ToRgb(State().palette[count]));
    QCOMPARE(qRed(image.pixel(260, 21)), qGreen(image.pixel(260, 21)));  // a grey
    // The last column and row, drawn by generation, are wiped by the repaint.
    QCOMPARE(image.pixel(781, 300), qRgb(192, 192, 192));
    QCOMPARE(image.pixel(400, 542), qRgb(192, 192, 192));
  }

  void messageBoxesHaveSpanishButtons() {
    BoxAnswer answer;
    AnswerNextBox(&answer, QMessageBox::AcceptRole);
    m_dialog->ShowMessage("El fichero x ha sido grabado", "Tesvo");
    QCOMPARE(answer.title, QStringLiteral("Tesvo"));
    QCOMPARE(answer.text, QStringLiteral("El fichero x ha sido grabado"));
    QCOMPARE(answer.buttons, QStringList{QStringLiteral("Aceptar")});

    BoxAnswer question;
    AnswerNextBox(&question, QMessageBox::NoRole);
    QVERIFY(!m_dialog->AskYesNo("¿Seguro?", "Tesvo"));
    QCOMPARE(question.buttons.size(), 2);
    QVERIFY(question.buttons.contains(QStringLiteral("Sí")));
    QVERIFY(question.buttons.contains(QStringLiteral("No")));
    AnswerNextBox(&question, QMessageBox::YesRole);
    QVERIFY(m_dialog->AskYesNo("¿Seguro?", "Tesvo"));
  }

 private:
  std::unique_ptr<QTemporaryDir> m_folder;
  // What the main window under test keeps.
  const tesvo::ExplorerState& State() const { return m_dialog->explorer().State(); }

  std::unique_ptr<ExplorerDialog> m_dialog;
};

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication::setFont(tesvo::ui::ProgramFont());
  ExplorerDialogTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "explorer_dialog_test.moc"
