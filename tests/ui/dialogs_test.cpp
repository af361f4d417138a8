// The start dialog, the about box, the save dialog and the help window, driven
// as a user would on the offscreen platform.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "ui/about_dialog.h"
#include "ui/dialog_units.h"
#include "ui/explorer_dialog.h"
#include "ui/help_dialog.h"
#include "ui/help_texts.h"
#include "ui/program_font.h"
#include "ui/save_image_dialog.h"
#include "ui/start_dialog.h"

using namespace tesvo::ui;

namespace {

// Runs `act` on the next modal window once it is up, then `after` once it is gone.
void OnNextModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    QVERIFY(modal);
    act(modal);
  });
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setFont(ProgramFont());
    QVERIFY(m_folder.isValid());
    QDir::setCurrent(m_folder.path());
  }

  void startDialogOpensTheExplorerAndTheAboutBox() {
    StartDialog start;
    start.show();
    QCOMPARE(start.windowTitle(), QStringLiteral("Tesvo"));
    QVERIFY(start.findChild<QLabel*>("startImage")->pixmap().width() > 0);

    QString opened;
    OnNextModal([&](QWidget* modal) {
      opened = modal->objectName();
      modal->close();
    });
    QTest::mouseClick(start.findChild<QPushButton*>("startButton"), Qt::LeftButton);
    QCOMPARE(opened, QStringLiteral("explorerDialog"));
    QVERIFY(start.isVisible());  // closing the main window returns here

    OnNextModal([&](QWidget* modal) {
      opened = modal->windowTitle();
      QTest::keyClick(modal, Qt::Key_Escape);
    });
    QTest::mouseClick(start.findChild<QPushButton*>("aboutButton"), Qt::LeftButton);
    QCOMPARE(opened, QStringLiteral("Acerca de Tesvo"));

    QTest::mouseClick(start.findChild<QPushButton*>("quitButton"), Qt::LeftButton);
    QVERIFY(!start.isVisible());
    QCOMPARE(start.result(), int(QDialog::Rejected));
  }

  // The start dialog is laid out in the units of its own font, a serif at 12
  // points: 11 pixels in 4 units across, 19 in 8 down at 96 dots per inch.
  void startDialogIsLaidOutInItsSerif() {
    StartDialog start;
    const QFontInfo font(start.font());
    QCOMPARE(font.family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(font.pointSize(), 12);
    const DialogUnits units = UnitsOf(start.font());
    QCOMPARE(units.letterWidth, 11);
    QCOMPARE(units.lineHeight, 19);
    QCOMPARE(start.size(), QSize(542, 309));
    QCOMPARE(start.findChild<QPushButton*>("startButton")->geometry(), QRect(165, 86, 206, 69));
    QCOMPARE(start.findChild<QPushButton*>("quitButton")->geometry(), units.Rect(143, 113, 50, 14));
    // The sentence keeps to its two lines.
    const auto* sentence = start.findChild<QLabel*>("sentenceLabel");
    QVERIFY(sentence->heightForWidth(sentence->width()) <= sentence->height());
    QVERIFY(sentence->height() < 3 * QFontMetrics(start.font()).lineSpacing());
  }

  void aboutBoxClosesWithAceptarAndEnter() {
    AboutDialog about(nullptr);
    QVERIFY(!(about.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(about.findChild<QLabel*>("aboutText")->text().contains(QStringLiteral("2.0.0.1")));
    QVERIFY(!about.findChild<QLabel*>("aboutIcon")->pixmap().isNull());
    const auto* text = about.findChild<QLabel*>("aboutText");
    QCOMPARE(text->geometry(), DialogRect(40, 10, 163, 81));
    QVERIFY(text->heightForWidth(text->width()) <= text->height());
    QTimer::singleShot(0, [&] { QTest::keyClick(&about, Qt::Key_Return); });
    QCOMPARE(about.exec(), int(QDialog::Accepted));
    QTimer::singleShot(0, [&] { about.findChild<QPushButton*>("okButton")->click(); });
    QCOMPARE(about.exec(), int(QDialog::Accepted));
  }

  void saveDialogGivesTheNameAsTyped() {
    SaveImageDialog dialog(nullptr, 531, 531);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Grabación de imagen"));
    QTimer::singleShot(0, [&] {
      QTest::keyClicks(dialog.findChild<QLineEdit*>("nameEdit"), QStringLiteral(" Árbol.x "));
      QTest::keyClick(&dialog, Qt::Key_Return);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.name(), std::string(" Árbol.x "));
    QCOMPARE(dialog.scale(), 1);
    QCOMPARE(dialog.antialias(), 1);
    QTimer::singleShot(0, [&] { dialog.findChild<QPushButton*>("cancelButton")->click(); });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
  }

  // The picture as shown is the default; each larger size shows its pixels.
  void saveDialogOffersSizesWithTheirPixels() {
    SaveImageDialog dialog(nullptr, 531, 265);
    auto* size = dialog.findChild<QComboBox*>("sizeCombo");
    auto* antialias = dialog.findChild<QComboBox*>("antialiasCombo");
    auto* pixels = dialog.findChild<QLabel*>("pixelsLabel");
    QCOMPARE(pixels->text(), QStringLiteral("531 x 265 píxeles"));
    const struct {
      int index;
      int scale;
      const char* pixels;
    } sizes[] = {{0, 1, "531 x 265 píxeles"},
                 {1, 2, "1062 x 530 píxeles"},
                 {2, 4, "2124 x 1060 píxeles"},
                 {3, 8, "4248 x 2120 píxeles"},
                 {4, 16, "8496 x 4240 píxeles"}};
    QCOMPARE(size->count(), 5);
    QCOMPARE(size->itemText(0), QStringLiteral("como se ve"));
    for (const auto& s : sizes) {
      size->setCurrentIndex(s.index);
      QCOMPARE(dialog.scale(), s.scale);
      QCOMPARE(pixels->text(), QString::fromUtf8(s.pixels));
    }
    QCOMPARE(antialias->count(), 4);
    QCOMPARE(antialias->itemText(0), QStringLiteral("ninguno"));
    for (int index = 0; index < 4; ++index) {
      antialias->setCurrentIndex(index);
      QCOMPARE(dialog.antialias(), index + 1);
    }
  }

  void helpButtonsShowTheirTopics() {
    ExplorerDialog explorer;
    explorer.show();
    const std::pair<const char*, const char*> buttons[] = {
        {"generationHelpButton", "GENERACIÓN DE IMÁGENES"},
        {"libraryHelpButton", "LEER, GRABAR Y BORRAR"},
        {"coloursHelpButton", "COLORES"},
        {"juliaHelpButton", "CONJUNTOS DE JULIA"},
        {"precisionHelpButton", "PRECISIÓN"},
    };
    for (const auto& [name, title] : buttons) {
      QString shown;
      QString text;
      QPoint place;
      OnNextModal([&](QWidget* modal) {
        shown = modal->windowTitle();
        text = modal->findChild<QLabel*>("helpText")->text();
        place = modal->pos();
        QTest::keyClick(modal, Qt::Key_Escape);
      });
      explorer.findChild<QPushButton*>(name)->click();
      QCOMPARE(shown, QString::fromUtf8(title));
      QVERIFY(text.size() > 200);
      QCOMPARE(place, explorer.mapToGlobal(QPoint(222, 0)));  // over the big picture
    }
  }

  void helpTextsBeginAndEndAsWritten() {
    const auto& topics = HelpTopics();
    QVERIFY(topics[0].text.starts_with("Estas son unas instrucciones de uso."));
    QVERIFY(topics[0].text.ends_with("y se suelta."));
    for (int i = 1; i < 5; ++i) {
      QVERIFY(topics[i].text.starts_with("\n1. "));
      QVERIFY(topics[i].text.ends_with("\n"));
    }
    QVERIFY(topics[1].text.ends_with("elegidos al grabar.\n"));
    QVERIFY(topics[0].text.find(kWebAddress) != std::string::npos);
    QVERIFY(topics[1].text.size() < 2000);
    QCOMPARE(FindHelpTopic(6), nullptr);
  }

  // Word-wrapped in the help window's fixed text area, no topic loses lines.
  void helpTextsFitTheirWindow() {
    for (const HelpTopic& topic : HelpTopics()) {
      HelpDialog help(topic.number, nullptr);
      const auto* text = help.findChild<QLabel*>("helpText");
      QVERIFY2(text->heightForWidth(text->width()) <= text->height(), topic.title);
    }
  }

  // The topic on saving tells the two files first, then the PNG added to
  // them, and names the save window's choices as the window labels them.
  void savingTopicAgreesWithTheSaveWindow() {
    const std::string& text = FindHelpTopic(2)->text;
    const std::size_t pair = text.find("Se graban dos ficheros.");
    QVERIFY(pair != std::string::npos);
    QCOMPARE(text.find("PNG"), text.find("PNG", pair));
    QCOMPARE(text.find("dibujo"), text.find("dibujo", pair));
    SaveImageDialog dialog(nullptr, 531, 531);
    for (const char* label : {"sizeLabel", "antialiasLabel"}) {
      QString name = dialog.findChild<QLabel*>(label)->text();
      name.chop(1);  // the colon
      QVERIFY2(text.find("'" + name.toStdString() + "'") != std::string::npos, label);
    }
  }

  // One word for each thing: "grabar" as the window says, never "guardar",
  // and "tú" as the fixed paragraphs speak.
  void helpTextsUseTheProgramsWords() {
    for (const HelpTopic& topic : HelpTopics())
      for (const char* word : {"guard", "Guard", "usted", "Pruebe", "sus cuentas"})
        QVERIFY2(topic.text.find(word) == std::string::npos,
                 (std::string(topic.title) + ": " + word).c_str());
  }

 private:
  QTemporaryDir m_folder;
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
