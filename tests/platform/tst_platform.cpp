// Desktop services: process start and wait, the beep, dialog units, system colours.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QPalette>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/dialog_units.h"
#include "platform/line_printer.h"
#include "platform/platform.h"

class TestPlatform : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void exitCodes_data();
  void exitCodes();
  void exeSuffixFallsBackToTheBareName();
  void childInheritsEnvironmentAndFolder();
  void beepsAreCounted();
  void namedDefaultPrinter_data();
  void namedDefaultPrinter();
  void dialogUnits_data();
  void dialogUnits();
  void systemColoursComeFromThePalette();
  void dialogsUseTheDialogFont();

 private:
  QTemporaryDir dir_;
  QString Script(const QString& name, const QByteArray& body);
};

QString TestPlatform::Script(const QString& name, const QByteArray& body) {
  const QString path = dir_.filePath(name);
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return QString();
  f.write("#!/bin/sh\n" + body + "\n");
  f.close();
  f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return path;
}

void TestPlatform::initTestCase() {
  QVERIFY(dir_.isValid());
  QVERIFY(!Script(QStringLiteral("exit7"), "exit 7").isEmpty());
  QVERIFY(!Script(QStringLiteral("with space"), "exit 9").isEmpty());
  QVERIFY(!Script(QStringLiteral("crash"), "kill -9 $$").isEmpty());
}

void TestPlatform::exitCodes_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<int>("code");
  QTest::newRow("success") << "true" << 0;
  QTest::newRow("exit code") << "sh -c \"exit 3\"" << 3;
  QTest::newRow("full path") << "@/exit7" << 7;
  QTest::newRow("quoted path with a blank") << "\"@/with space\"" << 9;
  QTest::newRow("missing program") << "@/no-such-program.exe" << -1;
  QTest::newRow("empty command") << "" << -1;
  QTest::newRow("blank command") << "   " << -1;
  QTest::newRow("killed") << "@/crash" << -1;
}

void TestPlatform::exitCodes() {
  QFETCH(QString, command);
  QFETCH(int, code);
  command.replace(QLatin1Char('@'), dir_.path());
  QCOMPARE(platform::RunProcessAndWait(command), code);
}

void TestPlatform::exeSuffixFallsBackToTheBareName() {
  // the launcher's table names "exit7.exe"; here the program carries no extension
  QCOMPARE(platform::RunProcessAndWait(dir_.filePath(QStringLiteral("exit7.exe"))), 7);
  QCOMPARE(platform::RunProcessAndWait(dir_.filePath(QStringLiteral("EXIT7.EXE"))), -1);
}

void TestPlatform::childInheritsEnvironmentAndFolder() {
  const QString out = dir_.filePath(QStringLiteral("seen.txt"));
  const QString script =
      Script(QStringLiteral("report"), "echo \"$PWD|$SUITE_TEST_MARK\" > \"$1\"");
  qputenv("SUITE_TEST_MARK", "neh-42");
  const QString old = QDir::currentPath();
  QVERIFY(QDir::setCurrent(dir_.path()));
  const int rc = platform::RunProcessAndWait(QStringLiteral("\"%1\" \"%2\"").arg(script, out));
  QDir::setCurrent(old);
  QCOMPARE(rc, 0);
  QFile f(out);
  QVERIFY(f.open(QIODevice::ReadOnly));
  QCOMPARE(QString::fromLocal8Bit(f.readAll()).trimmed(),
           QDir(dir_.path()).canonicalPath() + QStringLiteral("|neh-42"));
}

void TestPlatform::beepsAreCounted() {
  const int before = platform::BeepCount();
  platform::Beep();
  platform::Beep();
  QCOMPARE(platform::BeepCount(), before + 2);
}

// The setting that names the default printer, in the CUPS clients' order: the message
// for a missing printer names it.
void TestPlatform::namedDefaultPrinter_data() {
  QTest::addColumn<QString>("lpdest");
  QTest::addColumn<QString>("printer");
  QTest::addColumn<QString>("user");    // ~/.cups/lpoptions
  QTest::addColumn<QString>("system");  // the system's lpoptions
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("setting");
  QTest::newRow("nothing") << ""
                           << ""
                           << ""
                           << ""
                           << ""
                           << "";
  QTest::newRow("LPDEST before PRINTER") << "nosuch"
                                         << "q"
                                         << ""
                                         << ""
                                         << "nosuch"
                                         << "LPDEST";
  QTest::newRow("PRINTER instance") << ""
                                    << "suite_pdf/inst"
                                    << ""
                                    << ""
                                    << "suite_pdf/inst"
                                    << "PRINTER";
  QTest::newRow("PRINTER lp passed over") << ""
                                          << "lp"
                                          << "Default q\n"
                                          << ""
                                          << "q"
                                          << "~/.cups/lpoptions";
  QTest::newRow("lpoptions Default") << ""
                                     << ""
                                     << "Dest a copies=2\nDefault nosuch\n"
                                     << ""
                                     << "nosuch"
                                     << "~/.cups/lpoptions";
  QTest::newRow("last Default line") << ""
                                     << ""
                                     << "Default a\nDefault b/x sides=one-sided\n"
                                     << ""
                                     << "b/x"
                                     << "~/.cups/lpoptions";
  QTest::newRow("system lpoptions") << ""
                                    << ""
                                    << "Dest a\n"
                                    << "default  sys\n"
                                    << "sys"
                                    << "system";
}

void TestPlatform::namedDefaultPrinter() {
  QFETCH(QString, lpdest);
  QFETCH(QString, printer);
  QFETCH(QString, user);
  QFETCH(QString, system);
  QFETCH(QString, name);
  QFETCH(QString, setting);
  const platform::NamedPrinter named = platform::NamedDefaultPrinter(lpdest, printer, user, system);
  QCOMPARE(named.name, name);
  QVERIFY2(setting.isEmpty() ? named.setting.isEmpty() : named.setting.contains(setting),
           qPrintable(named.setting));
}

void TestPlatform::dialogUnits_data() {
  QTest::addColumn<int>("du");
  QTest::addColumn<int>("x");
  QTest::addColumn<int>("y");
  QTest::newRow("zero") << 0 << 0 << 0;
  QTest::newRow("4 by 8") << 8 << 12 << 13;
  QTest::newRow("lister width") << 385 << 578 << 626;
  QTest::newRow("button") << 55 << 83 << 89;
  QTest::newRow("14 high") << 14 << 21 << 23;
  QTest::newRow("390 down") << 390 << 585 << 634;
}

void TestPlatform::dialogUnits() {
  QFETCH(int, du);
  QFETCH(int, x);
  QFETCH(int, y);
  QCOMPARE(platform::DuToPxX(du), x);
  QCOMPARE(platform::DuToPxY(du), y);
}

void TestPlatform::systemColoursComeFromThePalette() {
  QPalette p = QApplication::palette();
  p.setColor(QPalette::Active, QPalette::WindowText, QColor(1, 2, 3));
  p.setColor(QPalette::Active, QPalette::Button, QColor(4, 5, 6));
  const QPalette saved = QApplication::palette();
  QApplication::setPalette(p);
  QCOMPARE(platform::SystemWindowText(), QColor(1, 2, 3));
  QCOMPARE(platform::SystemButtonFace(), QColor(4, 5, 6));
  QApplication::setPalette(saved);
}

// Every window of the suite shows its dialogs in "MS Sans Serif" 8 pt, drawn where that
// face is missing in a face of its widths; before, labels came out in the system's much
// wider default sans and lost their text.
void TestPlatform::dialogsUseTheDialogFont() {
  QLabel label(QStringLiteral("Zoom Area:"));
  QCOMPARE(label.font().family(), QStringLiteral("MS Sans Serif"));
  QCOMPARE(label.font().pointSizeF(), 8.0);
  QCOMPARE(platform::DialogFont(8.25).pointSizeF(), 8.25);
  if (!QFontDatabase::families().contains(QStringLiteral("Liberation Sans")))
    QSKIP("Liberation Sans is not installed");
  const QString drawn = QFontInfo(label.font()).family();
  QVERIFY2(drawn == QStringLiteral("Liberation Sans") || drawn == QStringLiteral("Arial") ||
               drawn == QStringLiteral("Microsoft Sans Serif") ||
               drawn == QStringLiteral("MS Sans Serif"),
           qPrintable(drawn));
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
