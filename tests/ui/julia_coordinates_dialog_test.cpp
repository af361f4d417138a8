// The coordinates dialog as the user drives it: its fields, its refusals and
// the values it hands over.
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "ui/julia_coordinates_dialog.h"
#include "ui/program_font.h"

using tesvo::ui::JuliaCoordinatesDialog;

class JuliaCoordinatesDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void opensWithZeroInBothFields() {
    JuliaCoordinatesDialog dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Coordenadas para conjunto de Julia"));
    QCOMPARE(dialog.findChild<QLineEdit*>("reEdit")->text(), QStringLiteral("0"));
    QCOMPARE(dialog.findChild<QLineEdit*>("imEdit")->text(), QStringLiteral("0"));
    QCOMPARE(dialog.size(), QSize(420, 192));
  }

  void acceptsNumbers_data() {
    QTest::addColumn<QString>("re");
    QTest::addColumn<QString>("im");
    QTest::addColumn<double>("expectedRe");
    QTest::addColumn<double>("expectedIm");
    QTest::newRow("typical") << "-0.75"
                             << "0.1" << -0.75 << 0.1;
    QTest::newRow("blanks") << " 0.5 "
                            << "0.0" << 0.5 << 0.0;
    QTest::newRow("scientific") << "1e-3"
                                << "0" << 1e-3 << 0.0;
  }

  void acceptsNumbers() {
    QFETCH(QString, re);
    QFETCH(QString, im);
    QFETCH(double, expectedRe);
    QFETCH(double, expectedIm);
    JuliaCoordinatesDialog dialog(nullptr);
    dialog.findChild<QLineEdit*>("reEdit")->setText(re);
    dialog.findChild<QLineEdit*>("imEdit")->setText(im);
    QTimer::singleShot(0, [&] { dialog.findChild<QPushButton*>("okButton")->click(); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.re(), expectedRe);
    QCOMPARE(dialog.im(), expectedIm);
  }

  void refusesTextThatIsNotANumber_data() {
    QTest::addColumn<QString>("re");
    QTest::addColumn<QString>("im");
    QTest::addColumn<QString>("refused");
    QTest::newRow("comma") << "0,5"
                           << "0"
                           << "reEdit";
    QTest::newRow("empty") << ""
                           << "0"
                           << "reEdit";
    QTest::newRow("minus zero") << "-0"
                                << "0"
                                << "reEdit";
    QTest::newRow("imaginary") << "0.25"
                               << ",5"
                               << "imEdit";
    QTest::newRow("not finite") << "0"
                                << "1e999"
                                << "imEdit";
    QTest::newRow("nan") << "nan"
                         << "0"
                         << "reEdit";
  }

  void refusesTextThatIsNotANumber() {
    QFETCH(QString, re);
    QFETCH(QString, im);
    QFETCH(QString, refused);
    JuliaCoordinatesDialog dialog(nullptr);
    dialog.show();
    dialog.findChild<QLineEdit*>("reEdit")->setText(re);
    dialog.findChild<QLineEdit*>("imEdit")->setText(im);
    QString message;
    QString selected;
    bool stillOpen = false;
    // The refusal comes as a modal box; answer it, then look at the dialog.
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box);
      message = box->text();
      box->buttons().first()->click();
    });
    dialog.findChild<QPushButton*>("okButton")->click();
    auto* field = dialog.findChild<QLineEdit*>(refused);
    selected = field->selectedText();
    stillOpen = dialog.isVisible() && dialog.result() != QDialog::Accepted;
    QCOMPARE(message, QStringLiteral("Introduzca un número."));
    QVERIFY(stillOpen);
    QCOMPARE(selected, field->text());
  }

  void cancelRefusesNothingAndReturnsNothing() {
    JuliaCoordinatesDialog dialog(nullptr);
    dialog.findChild<QLineEdit*>("reEdit")->setText("not a number");
    QTimer::singleShot(0, [&] { dialog.findChild<QPushButton*>("cancelButton")->click(); });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
  }
};

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tesvo"));
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication::setFont(tesvo::ui::ProgramFont());
  JuliaCoordinatesDialogTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "julia_coordinates_dialog_test.moc"
