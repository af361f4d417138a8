// Before the first window: Qt's own texts in Spanish, and the folder the
// images go to when the desktop entry starts the program, or a terminal does.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>
#include <cstdlib>
#include <memory>

#include "engine/buffers.h"
#include "tests/file_helpers.h"
#include "ui/explorer_dialog.h"
#include "ui/julia_coordinates_dialog.h"
#include "ui/start_up.h"

class StartUpTest : public QObject {
  Q_OBJECT

 private slots:
  void qtTextsAreSpanishAndTheProgramsOwnStay() {
    QVERIFY(tesvo::ui::LoadQtSpanish(*QCoreApplication::instance()));
    tesvo::testing::TemporaryDirectory folder;
    tesvo::ui::ExplorerDialog explorer;
    QLineEdit* field = explorer.findChild<QComboBox*>("readCombo")->lineEdit();
    std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
    QStringList texts;
    for (const QAction* action : menu->actions())
      if (!action->isSeparator()) texts << action->text().section(QLatin1Char('\t'), 0, 0).remove('&');
    QCOMPARE(texts,
             QStringList({"Deshacer", "Rehacer", "Cortar", "Copiar", "Pegar", "Borrar", "Seleccionar todo"}));
    // Texts the program sets itself are not translated, English ones included.
    tesvo::ui::JuliaCoordinatesDialog coordinates(&explorer);
    QCOMPARE(coordinates.findChild<QPushButton*>("okButton")->text(), QStringLiteral("OK"));
    QCOMPARE(coordinates.findChild<QPushButton*>("cancelButton")->text(), QStringLiteral("Cancel"));
  }

  // Started from the menu in the home folder: the placeholders go to
  // Imágenes/Tesvo, made on the way, and nothing into the home folder.
  // Started from a terminal, the program stays where it was started.
  void desktopEntryStartWorksInThePicturesFolder() {
    tesvo::testing::TemporaryDirectory home;
    QDir(home.path()).mkpath(".config");
    QFile dirs(QDir(home.path()).filePath(".config/user-dirs.dirs"));
    QVERIFY(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_PICTURES_DIR=\"$HOME/Im\xc3\xa1genes\"\n");
    dirs.close();
    qputenv("HOME", home.path().c_str());
    qunsetenv("XDG_CONFIG_HOME");

    QVERIFY(tesvo::ui::EnterWorkingFolder(false));
    QCOMPARE(QDir::current(), QDir(home.path()));
    QVERIFY(tesvo::ui::EnterWorkingFolder(true));
    const QDir images(QDir(home.path()).filePath(QStringLiteral("Imágenes/Tesvo")));
    QCOMPARE(QDir::current(), images);
    tesvo::ui::ExplorerDialog explorer;
    QCOMPARE(images.entryList(QDir::Files),
             QStringList({"penultimo.dat", "penultimo.pix", "ultimo.dat", "ultimo.pix"}));
    QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({".config", "Imágenes"}));
  }
};

QTEST_MAIN(StartUpTest)
#include "start_up_test.moc"
