// The image library driven through the real windows: saving through the save
// dialog, reading from the "Leer ->" list and its two buttons, deleting, the
// help buttons, and the way from the start dialog to the main window and back.
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtEndian>
#include <QtTest>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "engine/buffers.h"
#include "engine/deep_image.h"
#include "library/image_files.h"
#include "tests/file_helpers.h"
#include "ui/explorer_dialog.h"
#include "ui/help_texts.h"
#include "ui/picture_surface.h"
#include "ui/program_font.h"
#include "ui/start_dialog.h"
#include "ui/start_up.h"

using tesvo::ui::ExplorerDialog;
using tesvo::ui::PictureSurface;

namespace {

// Key by key; QTest maps only ASCII and upper-case Latin-1 characters to
// keys, so any other character comes as a key event with its text alone.
void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() < 0x80)
      QTest::keyClick(widget, c.toLatin1());
    else
      QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

// What a message box said.
struct Box {
  QString title;
  QString text;
};

// Answers the modal windows a command opens, in the order they come. A window
// that no step expects is recorded and closed, so a wrong turn fails the test
// instead of hanging it.
class ModalSteps {
 public:
  ModalSteps() {
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
    m_timer.start(5);
  }

  void Then(const char* objectName, std::function<void(QWidget*)> act) {
    m_steps.push_back({objectName, std::move(act)});
  }

  // A message box answered by the button of `role`.
  void ThenBox(Box* box, QMessageBox::ButtonRole role = QMessageBox::AcceptRole) {
    const char* name = role == QMessageBox::AcceptRole ? "messageBox" : "questionBox";
    Then(name, [box, role](QWidget* modal) {
      auto* message = static_cast<QMessageBox*>(modal);
      box->title = message->windowTitle();
      box->text = message->text();
      for (QAbstractButton* button : message->buttons())
        if (message->buttonRole(button) == role) button->click();
    });
  }

  // The save dialog, given a name typed as the user types it and the
  // entries of the two size lists.
  void ThenSave(const QString& name, int size = 0, int antialias = 0) {
    Then("saveImageDialog", [=](QWidget* dialog) {
      Type(dialog->findChild<QLineEdit*>("nameEdit"), name);
      dialog->findChild<QComboBox*>("sizeCombo")->setCurrentIndex(size);
      dialog->findChild<QComboBox*>("antialiasCombo")->setCurrentIndex(antialias);
      dialog->findChild<QPushButton*>("saveButton")->click();
    });
  }

  // Every step ran and nothing else came up.
  QString Problems() const {
    QString problems = m_unexpected;
    if (!m_steps.empty()) problems += QStringLiteral("no window came for step ") + m_steps.front().name;
    return problems;
  }

 private:
  struct Step {
    const char* name;
    std::function<void(QWidget*)> act;
  };

  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal == m_answered) return;
    m_answered = modal;
    if (m_steps.empty() || modal->objectName() != QLatin1String(m_steps.front().name)) {
      const auto* box = qobject_cast<QMessageBox*>(modal);
      m_unexpected += QStringLiteral("unexpected %1 %2; ").arg(modal->objectName(), box ? box->text() : "");
      modal->close();
      return;
    }
    const Step step = m_steps.front();
    m_steps.pop_front();
    step.act(modal);
  }

  QTimer m_timer;
  std::deque<Step> m_steps;
  QPointer<QWidget> m_answered;
  QString m_unexpected;
};

QStringList Entries(const QComboBox* combo) {
  QStringList entries;
  for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
  return entries;
}

std::vector<qint16> PixelFileCounts(const QString& base) {
  QFile file(base + ".pix");
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  std::vector<qint16> counts(static_cast<std::size_t>(bytes.size() / 2));
  for (std::size_t i = 0; i < counts.size(); ++i)
    counts[i] = qFromLittleEndian<qint16>(bytes.constData() + 2 * i);
  return counts;
}

// How many pixels of the current image's rectangle differ from its counts,
// stored column by column, drawn through the Palette.
int PixelsNotDrawnFrom(const tesvo::ExplorerState& state, const QImage& picture,
                       const std::vector<qint16>& counts) {
  const tesvo::ImageRecord& image = state.currentImage;
  const int w = image.Width();
  const int h = image.Height();
  if (counts.size() != static_cast<std::size_t>(w) * h) return -1;
  int wrong = 0;
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y)
      if (picture.pixel(image.pixelLeft + x, image.pixelTop + y) !=
          PictureSurface::ToRgb(state.palette[counts[x * h + y]]))
        ++wrong;
  return wrong;
}

// How many pixels differ in colour; -1 for pictures of different sizes.
int PixelsDiffering(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return -1;
  int wrong = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (qRed(a.pixel(x, y)) != qRed(b.pixel(x, y)) || qGreen(a.pixel(x, y)) != qGreen(b.pixel(x, y)) ||
          qBlue(a.pixel(x, y)) != qBlue(b.pixel(x, y)))
        ++wrong;
  return wrong;
}

}  // namespace

class LibraryCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    m_folder = std::make_unique<tesvo::testing::TemporaryDirectory>();

    m_dialog = std::make_unique<ExplorerDialog>();
    m_dialog->show();
    m_read = m_dialog->findChild<QComboBox*>("readCombo");
    m_mode = m_dialog->findChild<QComboBox*>("modeCombo");
  }

  void cleanup() {
    m_dialog.reset();
    m_folder.reset();
  }

  void savedNamesTakeTheirSortedPlace() {
    Click("startMandelbrotButton");
    const QStringList names = {"Zorro", "árbol", "Mar", "arce"};
    for (const QString& name : names) {
      Box box;
      Save(name, &box);
      if (QTest::currentTestFailed()) return;
      QCOMPARE(box.title, QStringLiteral("Tesvo"));
      QCOMPARE(box.text, QStringLiteral("El fichero %1 ha sido grabado").arg(name));
      QCOMPARE(QFileInfo(name + ".dat").size(), 200);
      QCOMPARE(QFileInfo(name + ".pix").size(), 2 * 531 * 531);
    }
    // Accents and case weigh only where the letters alone are equal.
    const QStringList sorted = {"árbol", "arce", "Mar", "penultimo", "ultimo", "Zorro"};
    QCOMPARE(Entries(m_read), sorted);
    QCOMPARE(m_read->currentIndex(), -1);  // saving selects nothing
    // A new main window lists the folder in the same order.
    ExplorerDialog again;
    QCOMPARE(Entries(again.findChild<QComboBox*>("readCombo")), sorted);
  }

  // "Grabar imagen" writes a picture of the big picture's size, and Ctrl+C
  // copies the big picture as shown.
  void savedPictureAndCopyAreTheBigPicture() {
    Click("startMandelbrotButton");
    Save("foto");
    QCOMPARE(QImage("foto.png", "PNG").size(), QSize(531, 531));

    const QImage shown = m_dialog->surface()->image().copy(250, 11, 531, 531);
    QApplication::clipboard()->clear();
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    QTest::keyClick(m_dialog->findChild<QPushButton*>("saveButton"), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(PixelsDiffering(QApplication::clipboard()->image(), shown), 0);
    // In the "Leer ->" field Ctrl+C copies the field's text.
    m_read->lineEdit()->setFocus();
    m_read->lineEdit()->setText(QStringLiteral("texto"));
    m_read->lineEdit()->selectAll();
    QTest::keyClick(m_read->lineEdit(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("texto"));
  }

  // A larger picture is computed again beside the window; cancelling its
  // progress leaves the pair saved and listed, and no picture at all.
  void largerPictureAndItsCancelling() {
    Click("startMandelbrotButton");
    Box saved;
    ModalSteps steps;
    steps.ThenSave(QStringLiteral("doble"), 1, 1);
    steps.ThenBox(&saved);
    Click("saveButton");
    QCOMPARE(steps.Problems(), QString());
    QCOMPARE(saved.text, QStringLiteral("El fichero doble ha sido grabado"));
    QCOMPARE(QImage("doble.png", "PNG").size(), QSize(1062, 1062));

    // x16 with 4 x 4 samples takes minutes: long enough to be cancelled.
    Box cancelled;
    QString progressText;
    steps.ThenSave(QStringLiteral("enorme"), 4, 3);
    steps.Then("pictureProgress", [&](QWidget* progress) {
      progressText = progress->findChild<QLabel*>()->text();
      for (QPushButton* button : progress->findChildren<QPushButton*>()) button->click();
    });
    steps.ThenBox(&cancelled);
    Click("saveButton");
    QCOMPARE(steps.Problems(), QString());
    QCOMPARE(progressText, QStringLiteral("Grabando el dibujo enorme.png, de 8496 x 8496 píxeles..."));
    QCOMPARE(
        cancelled.text,
        QStringLiteral("El fichero enorme ha sido grabado, sin el dibujo enorme.png, que se ha cancelado."));
    QCOMPARE(QFileInfo("enorme.dat").size(), 200);
    QCOMPARE(QFileInfo("enorme.pix").size(), 2 * 531 * 531);
    QVERIFY(Entries(m_read).contains("enorme"));
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden),
             QStringList({".tesvo.lock", "doble.dat", "doble.pix", "doble.png", "enorme.dat", "enorme.pix",
                          "penultimo.dat", "penultimo.pix", "ultimo.dat", "ultimo.pix"}));
  }

  // Past the wall of doubles the zoom gives a deep image that grows beside
  // the window; Esc stops a slow one, in its progress window or before it
  // shows, and the image before it stays.
  void deepImageDrawsAndEscapeKeepsTheImageBefore_data() {
    QTest::addColumn<bool>("inProgressWindow");
    QTest::newRow("progress window") << true;
    QTest::newRow("main window") << false;
  }

  void deepImageDrawsAndEscapeKeepsTheImageBefore() {
    QFETCH(bool, inProgressWindow);
    Click("startMandelbrotButton");
    tesvo::SetNearestCorners(m_dialog->explorer().State().currentImage, {"-0.1", "0.1", "1e-12"});
    QTest::mousePress(m_dialog.get(), Qt::LeftButton, {}, QPoint(300, 60));
    QTest::mouseMove(m_dialog.get(), QPoint(400, 160));
    QTest::mouseRelease(m_dialog.get(), Qt::LeftButton, {}, QPoint(500, 260));
    QVERIFY(m_dialog->explorer().IsDeep());
    QVERIFY(m_dialog->windowTitle().endsWith(QStringLiteral("ancho 3.8e-13")));
    const QImage shown = m_dialog->surface()->image();
    QCOMPARE(shown.pixel(400, 200), qRgb(0, 0, 0));

    // Inside the set every orbit runs to the limit: one that takes minutes.
    m_dialog->explorer().State().currentImage.iterationLimit = 1 << 22;
    const QString title = m_dialog->windowTitle();
    if (inProgressWindow) {
      ModalSteps steps;
      steps.Then("pictureProgress", [](QWidget* progress) { QTest::keyClick(progress, Qt::Key_Escape); });
      Click("precisionUpButton");
      QCOMPARE(steps.Problems(), QString());
    } else {
      // Esc on the main window while the image is counted, whether its
      // progress window has come or not.
      QTimer escape;
      connect(&escape, &QTimer::timeout, m_dialog.get(),
              [&] { QTest::keyClick(m_dialog.get(), Qt::Key_Escape); });
      escape.start(100);
      Click("precisionUpButton");
      escape.stop();
    }
    QCOMPARE(State().currentImage.iterationLimit, 1 << 22);
    QCOMPARE(m_dialog->windowTitle(), title);
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(PixelsDiffering(m_dialog->surface()->image(), shown), 0);
  }

  // Text typed into the "Leer ->" field reads nothing, however the field is
  // left; only a choice from the drop-down list reads.
  void typedTextReadsNothing_data() {
    QTest::addColumn<bool>("byClick");
    QTest::newRow("Tab") << false;
    QTest::newRow("click on Borrar") << true;
  }

  void typedTextReadsNothing() {
    QFETCH(bool, byClick);
    Click("startMandelbrotButton");
    Save("uno");
    const QString title = m_dialog->windowTitle();
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    QTest::mouseClick(m_read->lineEdit(), Qt::LeftButton);
    QTest::keyClick(m_read->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(m_read->lineEdit(), "uno");
    Box first;
    ModalSteps steps;
    if (byClick) {
      steps.ThenBox(&first);
      Click("deleteButton");
    } else {
      QTest::keyClick(m_read->lineEdit(), Qt::Key_Tab);
      QVERIFY(!m_read->lineEdit()->hasFocus());
    }
    QCOMPARE(steps.Problems(), QString());
    QCOMPARE(State().readIndex, -1);
    QCOMPARE(m_read->currentIndex(), -1);
    QCOMPARE(m_dialog->windowTitle(), title);
    if (byClick)
      QCOMPARE(first.text, QStringLiteral("Primero tiene que leer para poder borrar.\nEs así la cosa"));
    QCOMPARE(Entries(m_read), QStringList({"penultimo", "ultimo", "uno"}));

    ChooseEntry("uno");
    QCOMPARE(State().readIndex, 2);
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Conjunto de Mandelbrot"));
  }

  // Enter closes the main window where no push button has the focus; on a
  // push button it presses that button.
  void enterClosesTheWindowOutsidePushButtons_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Leer field") << "readCombo" << true;
    QTest::newRow("Modo list") << "modeCombo" << true;
    QTest::newRow("Leer siguiente") << "readNextButton" << false;
  }

  void enterClosesTheWindowOutsidePushButtons() {
    QFETCH(QString, focus);
    QFETCH(bool, closes);
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    auto* widget = m_dialog->findChild<QWidget*>(focus);
    QVERIFY(widget);
    widget->setFocus(Qt::TabFocusReason);
    QWidget* focused = QApplication::focusWidget();
    QVERIFY(focused == widget || focused->parentWidget() == widget);
    QTest::keyClick(focused, Qt::Key_Return);
    QCOMPARE(m_dialog->isVisible(), !closes);
    if (closes) QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    QCOMPARE(State().readIndex, closes ? -1 : 0);
  }

  void emptyTakenAndCancelledNamesSaveNothing() {
    Click("startMandelbrotButton");
    const QByteArray last = ReadAll("ultimo.dat");
    Box empty, taken;
    ModalSteps steps;
    steps.ThenSave(QString());
    steps.ThenBox(&empty);
    steps.ThenSave(QStringLiteral("ultimo"));
    steps.ThenBox(&taken);
    steps.Then("saveImageDialog", [](QWidget* dialog) {
      QTest::keyClicks(dialog->findChild<QLineEdit*>("nameEdit"), QStringLiteral("otra"));
      dialog->findChild<QPushButton*>("cancelButton")->click();
    });
    Click("saveButton");
    Click("saveButton");
    Click("saveButton");
    QCOMPARE(steps.Problems(), QString());
    QCOMPARE(empty.text, QStringLiteral("Hay que teclear un nombre de fichero \n(sin extensión)"));
    QCOMPARE(taken.text, QStringLiteral("El fichero ultimo.dat ya existe.\nSi quieres volver a utiliar este "
                                        "nombre\ntendrás que borrarlo previamente"));
    QCOMPARE(taken.title, QStringLiteral("Tesvo"));
    QCOMPARE(Entries(m_read), QStringList({"penultimo", "ultimo"}));
    QCOMPARE(ReadAll("ultimo.dat"), last);
    QVERIFY(!QFileInfo::exists("otra.dat"));
    QCOMPARE(QDir().entryList(QDir::Files).size(), 4);
  }

  void choosingAnEntryShowsItFromItsPixelFile() {
    Click("startMandelbrotButton");
    Save("mandel");
    // A Julia image in another mode, so that reading has everything to change.
    QTest::mousePress(m_dialog.get(), Qt::RightButton, {}, QPoint(427, 188));
    Click("enlargeButton");
    emit m_mode->activated(1);
    QVERIFY(m_dialog->windowTitle().startsWith(QStringLiteral("Conjunto de Julia ")));
    Save("julia");

    ChooseEntry("mandel");
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Conjunto de Mandelbrot"));
    QCOMPARE(m_mode->currentText(), QStringLiteral("tiempo de escape"));
    QCOMPARE(m_read->currentText(), QStringLiteral("mandel"));
    QCOMPARE(State().readIndex, m_read->findText("mandel"));
    QCOMPARE(PixelsNotDrawnFrom(State(), m_dialog->surface()->image(), PixelFileCounts("mandel")), 0);

    ChooseEntry("julia");
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Conjunto de Julia"));
    QCOMPARE(m_mode->currentText(), QStringLiteral("descomposición"));
    QCOMPARE(State().currentImage.kind, tesvo::kJuliaKind);
    QCOMPARE(PixelsNotDrawnFrom(State(), m_dialog->surface()->image(), PixelFileCounts("julia")), 0);
    // Reading makes no new "ultimo".
    QCOMPARE(ReadAll("ultimo.dat"), ReadAll("julia.dat"));
  }

  void nextAndPreviousWrapAround() {
    Click("startMandelbrotButton");
    Save("medio");
    const QStringList entries = {"medio", "penultimo", "ultimo"};
    QCOMPARE(Entries(m_read), entries);
    // Nothing read yet: "Leer siguiente " reads the first entry; from there
    // "Leer anterior" wraps to the last and "Leer siguiente " back to the first.
    const std::pair<const char*, int> presses[] = {
        {"readNextButton", 0}, {"readPreviousButton", 2}, {"readNextButton", 0},
        {"readNextButton", 1}, {"readNextButton", 2},     {"readNextButton", 0},
    };
    for (const auto& [button, expected] : presses) {
      ModalSteps steps;
      Click(button);
      QCOMPARE(steps.Problems(), QString());
      QCOMPARE(State().readIndex, expected);
      QCOMPARE(m_read->currentIndex(), expected);
      QCOMPARE(m_read->currentText(), entries[expected]);
      QVERIFY(
          tesvo::SameBytes(State().currentImage, tesvo::ReadParameterFile(entries[expected].toStdString())));
    }
    // The start-up placeholder is one pixel at the top-left corner of the big
    // picture, drawn in the Palette's colour for its count.
    Click("readPreviousButton");
    Click("readPreviousButton");
    QCOMPARE(m_read->currentText(), QStringLiteral("penultimo"));
    QCOMPARE(PixelsNotDrawnFrom(State(), m_dialog->surface()->image(), PixelFileCounts("penultimo")), 0);
    QCOMPARE(m_dialog->surface()->image().pixel(251, 11), qRgb(192, 192, 192));
  }

  void missingPixelFileIsRebuiltInPlace() {
    Click("startMandelbrotButton");
    Save("roto");
    const std::vector<qint16> counts = PixelFileCounts("roto");
    const QByteArray parameters = ReadAll("roto.dat");
    QVERIFY(QFile::remove("roto.pix"));
    Click("gradationUpButton");  // the picture on screen is no longer the saved one

    Box missing, saved;
    ModalSteps steps;
    steps.ThenBox(&missing);
    steps.ThenBox(&saved);
    ChooseEntry("roto");
    QCOMPARE(steps.Problems(), QString());
    QCOMPARE(missing.text,
             QStringLiteral(
                 "No encuentro el fichero roto.pix. \nLo tendré que reconstruir. Un momento, por favor."));
    QCOMPARE(saved.text, QStringLiteral("El fichero roto ha sido grabado"));
    QCOMPARE(Entries(m_read), QStringList({"penultimo", "roto", "ultimo"}));
    QCOMPARE(m_read->currentText(), QStringLiteral("roto"));
    QCOMPARE(ReadAll("roto.dat"), parameters);
    QVERIFY(PixelFileCounts("roto") == counts);
    QCOMPARE(PixelsNotDrawnFrom(State(), m_dialog->surface()->image(), counts), 0);
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Conjunto de Mandelbrot"));
  }

  void deleteTakesThePairReadLastAfterAsking() {
    Click("startMandelbrotButton");
    Save("borrable");
    Box first;
    {
      ModalSteps steps;
      steps.ThenBox(&first);
      Click("deleteButton");
      QCOMPARE(steps.Problems(), QString());
    }
    QCOMPARE(first.text, QStringLiteral("Primero tiene que leer para poder borrar.\nEs así la cosa"));

    Click("readNextButton");
    QCOMPARE(m_read->currentText(), QStringLiteral("borrable"));
    // The edit field's text is not what Borrar goes by.
    m_read->setEditText(QStringLiteral("ultimo"));
    Box question, kept;
    {
      ModalSteps steps;
      steps.ThenBox(&question, QMessageBox::NoRole);
      steps.ThenBox(&kept);
      Click("deleteButton");
      QCOMPARE(steps.Problems(), QString());
    }
    QCOMPARE(question.text,
             QStringLiteral("¿Estas seguro de que quieres borrar la siguiente imagen?\n\n\t\tborrable"));
    QCOMPARE(question.title, QStringLiteral("Tesvo"));
    QCOMPARE(kept.text, QStringLiteral("Pues haces bien en no borrarla"));
    QVERIFY(QFileInfo::exists("borrable.dat") && QFileInfo::exists("borrable.pix"));
    QVERIFY(QFileInfo::exists("borrable.png"));

    {
      ModalSteps steps;
      steps.ThenBox(&question, QMessageBox::YesRole);
      Click("deleteButton");
      QCOMPARE(steps.Problems(), QString());
    }
    QVERIFY(!QFileInfo::exists("borrable.dat") && !QFileInfo::exists("borrable.pix"));
    QVERIFY(!QFileInfo::exists("borrable.png"));
    QCOMPARE(Entries(m_read), QStringList({"penultimo", "ultimo"}));
    QVERIFY(QFileInfo::exists("ultimo.dat"));
    // The index read last is kept: the next entry is the one that stood two
    // places after the deleted one.
    Click("readNextButton");
    QCOMPARE(m_read->currentText(), QStringLiteral("ultimo"));
  }

  // A name from an old copy in Latin-1: shown readably, read and deleted
  // under its own bytes.
  void nameThatIsNotUtf8IsReadAndDeletedUnderItsBytes() {
    Click("startMandelbrotButton");
    const std::string latin1 = "caf\xe9";
    // Qt would decode the name; the file system takes the bytes.
    std::filesystem::copy_file("ultimo.dat", latin1 + ".dat");
    std::filesystem::copy_file("ultimo.pix", latin1 + ".pix");
    ExplorerDialog again;
    auto* read = again.findChild<QComboBox*>("readCombo");
    QCOMPARE(Entries(read), QStringList({QStringLiteral("caf\uFFFD"), "penultimo", "ultimo"}));
    QCOMPARE(again.ReadListText(0), latin1);

    again.show();
    Box question;
    ModalSteps steps;
    steps.ThenBox(&question, QMessageBox::YesRole);
    read->setCurrentIndex(0);
    emit read->activated(0);
    QCOMPARE(again.explorer().State().readIndex, 0);
    QTest::mouseClick(again.findChild<QPushButton*>("deleteButton"), Qt::LeftButton);
    QCOMPARE(steps.Problems(), QString());
    QVERIFY(question.text.endsWith(QStringLiteral("\t\tcaf\uFFFD")));
    QCOMPARE(m_folder->Entries(),
             std::vector<std::string>({"penultimo.dat", "penultimo.pix", "ultimo.dat", "ultimo.pix"}));
  }

  // Each "?" stands beside its group and opens that group's topic, over the
  // big picture and right of every group, so the controls stay in sight.
  void helpButtonsOpenTheirGroupsTopicsOverTheBigPicture() {
    const char* groups[] = {"generation", "library", "colours", "julia", "precision"};
    int column = 0;
    for (const QGroupBox* group : m_dialog->findChildren<QGroupBox*>())
      column = std::max(column, m_dialog->mapToGlobal(group->geometry().topRight()).x());
    for (int topic = 0; topic < 5; ++topic) {
      const QString name = groups[topic];
      const QRect button = m_dialog->findChild<QPushButton*>(name + "HelpButton")->geometry();
      const QRect group = m_dialog->findChild<QGroupBox*>(name + "Group")->geometry();
      QVERIFY2(button.top() >= group.top() && button.bottom() <= group.bottom(), qPrintable(name));
      QVERIFY(button.left() > group.right());

      QString shown;
      QRect place;
      QWidget* parent = nullptr;
      ModalSteps steps;
      steps.Then("helpDialog", [&](QWidget* help) {
        shown = help->windowTitle();
        place = help->frameGeometry();
        parent = help->parentWidget();
        QTest::keyClick(help, Qt::Key_Escape);
      });
      Click(qPrintable(name + "HelpButton"));
      QCOMPARE(steps.Problems(), QString());
      QCOMPARE(shown, QString::fromUtf8(tesvo::ui::HelpTopics()[topic].title));
      QCOMPARE(parent, m_dialog.get());
      QVERIFY2(place.left() > column, qPrintable(QString::number(place.left())));
      QCOMPARE(place.top(), m_dialog->mapToGlobal(QPoint(0, 0)).y());
    }
  }

  // The entry read last is the program's: Borrar in a main window opened
  // again offers the image read in the one before. Enter in the "Leer ->"
  // field returns to the start dialog without reading the text typed there.
  void entryReadLastOutlivesTheMainWindow() {
    m_dialog.reset();
    tesvo::ui::StartDialog start;
    start.show();
    bool closedByEnter = false;
    {
      ModalSteps steps;
      steps.Then("explorerDialog", [&](QWidget* explorer) {
        explorer->findChild<QPushButton*>("readNextButton")->click();
        explorer->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(explorer));
        QTest::mouseClick(explorer->findChild<QComboBox*>("readCombo")->lineEdit(), Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), "ultimo");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        closedByEnter = !explorer->isVisible();
        explorer->close();
      });
      QTest::mouseClick(start.findChild<QPushButton*>("startButton"), Qt::LeftButton);
      QCOMPARE(steps.Problems(), QString());
    }
    QVERIFY(closedByEnter);
    QVERIFY(start.isVisible());
    QVERIFY(start.explorer() != nullptr);
    QCOMPARE(start.explorer()->State().readIndex, 0);

    Box question, kept;
    ModalSteps steps;
    // Borrar's boxes are modal in their turn: pressed once this step is done.
    steps.Then("explorerDialog", [](QWidget* explorer) {
      QTimer::singleShot(0, explorer->findChild<QPushButton*>("deleteButton"), &QPushButton::click);
    });
    steps.ThenBox(&question, QMessageBox::NoRole);
    steps.ThenBox(&kept);
    steps.Then("explorerDialog", [](QWidget* explorer) { explorer->close(); });
    QTest::mouseClick(start.findChild<QPushButton*>("startButton"), Qt::LeftButton);
    QCOMPARE(steps.Problems(), QString());
    QCOMPARE(question.text,
             QStringLiteral("¿Estas seguro de que quieres borrar la siguiente imagen?\n\n\t\tpenultimo"));
    QVERIFY(start.isVisible());
  }

  void startDialogLeadsToTheMainWindowAndBack() {
    m_dialog.reset();
    tesvo::ui::StartDialog start;
    start.show();
    QString title;
    {
      ModalSteps steps;
      steps.Then("explorerDialog", [&](QWidget* explorer) {
        title = explorer->windowTitle();
        QWidget* focus = explorer->focusWidget();
        QTest::keyClick(focus ? focus : explorer, Qt::Key_Escape);
      });
      QTest::mouseClick(start.findChild<QPushButton*>("startButton"), Qt::LeftButton);
      QCOMPARE(steps.Problems(), QString());
    }
    QCOMPARE(title, QStringLiteral("Conjunto de Mandelbrot y conjuntos de Julia"));
    QVERIFY(start.isVisible());

    // The context menu: a separator, then the about entry, which opens the
    // same box as the button.
    QStringList items;
    QTimer::singleShot(0, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QVERIFY(menu);
      for (const QAction* action : menu->actions()) items << (action->isSeparator() ? "-" : action->text());
      QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {},
                        menu->actionGeometry(menu->actions().last()).center());
    });
    ModalSteps steps;
    steps.Then("aboutDialog", [&](QWidget* about) {
      title = about->windowTitle();
      QTest::keyClick(about, Qt::Key_Escape);
    });
    // Both clicks go through the window, as a user's do. A menu remembers
    // where the pointer was when it opened, and Qt 6.8's (not 6.4's) closes
    // on a press that has not moved from there, taking it for the opening
    // click. A context menu event sent to the dialog, or QTest's clicks on
    // widgets, which bypass the window, leave the pointer nowhere, and then
    // every press looks unmoved.
    QTest::mouseClick(start.windowHandle(), Qt::RightButton, {}, QPoint(10, 10));
    QTRY_COMPARE(title, QStringLiteral("Acerca de Tesvo"));
    QCOMPARE(steps.Problems(), QString());
    QVERIFY(items.size() >= 2);
    QCOMPARE(items.mid(items.size() - 2), QStringList({"-", "&Acerca de Tesvo..."}));
    QVERIFY(start.isVisible());
  }

  // "tesvo otra/vista.dat", as a file manager's "Abrir con" starts it: the
  // program moves to the file's folder, and the main window opens over the
  // start dialog with the image read and chosen in "Leer ->"; closing it
  // comes back to the start dialog.
  void anImageFileOpensInTheMainWindowOverTheStartDialog() {
    Click("startMandelbrotButton");
    m_dialog.reset();
    QVERIFY(QDir().mkdir("otra"));
    QVERIFY(QFile::copy("ultimo.dat", "otra/vista.dat"));
    QVERIFY(QFile::copy("ultimo.pix", "otra/vista.pix"));
    const QString folder = QDir::current().filePath("otra");

    const std::string name = tesvo::ui::EnterFolderOfImage(QStringLiteral("otra/vista.dat"));
    QCOMPARE(QString::fromStdString(name), QStringLiteral("vista"));
    QCOMPARE(QDir::currentPath(), folder);

    tesvo::ui::StartDialog start;
    start.show();
    QStringList entries;
    QString selected;
    QByteArray shown;
    ModalSteps steps;
    steps.Then("explorerDialog", [&](QWidget* explorer) {
      auto* read = explorer->findChild<QComboBox*>("readCombo");
      QTRY_COMPARE(read->currentText(), QStringLiteral("vista"));
      entries = Entries(read);
      selected = read->currentText();
      auto* dialog = qobject_cast<ExplorerDialog*>(explorer);
      QVERIFY(dialog != nullptr);
      const tesvo::RecordBytes bytes = tesvo::ToBytes(dialog->explorer().State().currentImage);
      shown = QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      explorer->close();
    });
    start.OpenImage(name);
    QCOMPARE(steps.Problems(), QString());
    QCOMPARE(selected, QStringLiteral("vista"));
    QVERIFY(entries.contains("vista") && entries.contains("ultimo"));
    QCOMPARE(shown, ReadAll("vista.dat"));
    QVERIFY(start.isVisible());
  }

 private:
  void Click(const char* name) {
    auto* button = m_dialog->findChild<QPushButton*>(name);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
  }

  // "Grabar imagen" with `name` typed; the box that follows is answered.
  void Save(const QString& name, Box* box = nullptr) {
    Box answered;
    ModalSteps steps;
    steps.ThenSave(name);
    steps.ThenBox(box ? box : &answered);
    Click("saveButton");
    QCOMPARE(steps.Problems(), QString());
  }

  // As a user chooses: a click on the entry in the drop-down list.
  void ChooseEntry(const QString& name) {
    const int index = m_read->findText(name);
    QVERIFY(index >= 0);
    m_read->showPopup();
    QAbstractItemView* list = m_read->view();
    QVERIFY(QTest::qWaitForWindowExposed(list->window()));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(index, 0)).center());
    QTRY_VERIFY(!list->window()->isVisible());
  }

  static QByteArray ReadAll(const QString& file) {
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
  }

  std::unique_ptr<tesvo::testing::TemporaryDirectory> m_folder;
  // What the main window under test keeps.
  const tesvo::ExplorerState& State() const { return m_dialog->explorer().State(); }

  std::unique_ptr<ExplorerDialog> m_dialog;
  QComboBox* m_read = nullptr;
  QComboBox* m_mode = nullptr;
};

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication::setFont(tesvo::ui::ProgramFont());
  LibraryCommandsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "library_commands_test.moc"
