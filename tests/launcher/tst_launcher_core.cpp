// The launcher's arithmetic: background bands, install folder, command building.
#include "launcher/launcher_core.h"

#include <QProcess>
#include <QtTest>

#include <string>

using launcher::GradientBand;
using launcher::GradientBands;

class TestLauncherCore : public QObject {
  Q_OBJECT
 private slots:
  void bandEdges_data();
  void bandEdges();
  void everyRowPainted_data();
  void everyRowPainted();
  void bandColours_data();
  void bandColours();
  void bandsSpanOnePastTheRightEdge();
  void roundHalfEven_data();
  void roundHalfEven();
  void installFolder_data();
  void installFolder();
  void cutCommand_data();
  void cutCommand();
  void buildCommand_data();
  void buildCommand();
  void commandLineGivesThePathBack_data();
  void commandLineGivesThePathBack();
};

void TestLauncherCore::bandEdges_data() {
  QTest::addColumn<int>("height");
  QTest::addColumn<int>("band");
  QTest::addColumn<int>("top");
  QTest::addColumn<int>("bottom");
  // 280 rows: step 1.4, bands of one or two rows.
  QTest::newRow("280 band 0 is row 0") << 280 << 0 << 0 << 1;
  QTest::newRow("280 band 1 is rows 1-2") << 280 << 1 << 1 << 3;
  QTest::newRow("280 band 2 is row 3") << 280 << 2 << 3 << 4;
  QTest::newRow("280 band 4 is rows 6-6") << 280 << 4 << 6 << 7;
  QTest::newRow("280 last band ends with row 279") << 280 << 199 << 279 << 280;
  // 200 rows: one row per band.
  QTest::newRow("200 band 0") << 200 << 0 << 0 << 1;
  QTest::newRow("200 band 137") << 200 << 137 << 137 << 138;
  QTest::newRow("200 band 199") << 200 << 199 << 199 << 200;
  // 100 rows: step 0.5, every other edge is a half and goes to the even row.
  QTest::newRow("100 band 0 empty") << 100 << 0 << 0 << 0;
  QTest::newRow("100 band 1: 0.5 -> 0, 1.0 -> 1") << 100 << 1 << 0 << 1;
  QTest::newRow("100 band 3: 1.5 -> 2, 2.0 -> 2") << 100 << 3 << 2 << 2;
  QTest::newRow("100 band 4: 2.0 -> 2, 2.5 -> 2") << 100 << 4 << 2 << 2;
  QTest::newRow("100 band 5: 2.5 -> 2, 3.0 -> 3") << 100 << 5 << 2 << 3;
  QTest::newRow("100 band 199: 99.5 -> 100") << 100 << 199 << 100 << 100;
  // 30 rows: the step is the 4-byte real 0.150000006, so 30 x step is just above 4.5
  // and rounds to 5 (a step of exactly 0.15 would give the even 4).
  QTest::newRow("30 band 29 ends at 5") << 30 << 29 << 4 << 5;
  QTest::newRow("30 band 30 starts at 5") << 30 << 30 << 5 << 5;
  // 325 rows (the launcher's own window height).
  QTest::newRow("325 band 1: 1.625 -> 2, 3.25 -> 3") << 325 << 1 << 2 << 3;
  QTest::newRow("325 band 199 ends at 325") << 325 << 199 << 323 << 325;
  // Nothing to paint.
  QTest::newRow("0 rows") << 0 << 100 << 0 << 0;
}

void TestLauncherCore::bandEdges() {
  QFETCH(int, height);
  QFETCH(int, band);
  QFETCH(int, top);
  QFETCH(int, bottom);
  const std::vector<GradientBand> bands = GradientBands(100, height, 1);
  QCOMPARE(bands.size(), std::size_t(200));
  QCOMPARE(bands[band].top, top);
  QCOMPARE(bands[band].bottom, bottom);
}

// Whatever the height, the bands leave no row unpainted and go no further than the page.
void TestLauncherCore::everyRowPainted_data() {
  QTest::addColumn<int>("height");
  for (int h : {1, 7, 30, 50, 99, 100, 101, 199, 200, 201, 280, 281, 325, 399, 400, 1000, 1283})
    QTest::newRow(qPrintable(QString::number(h))) << h;
}

void TestLauncherCore::everyRowPainted() {
  QFETCH(int, height);
  const std::vector<GradientBand> bands = GradientBands(10, height, 1);
  std::vector<int> painted(static_cast<std::size_t>(height), 0);
  int previousBottom = 0;
  for (const GradientBand& band : bands) {
    QCOMPARE(band.top, previousBottom);  // bands follow on without gap or overlap
    QVERIFY(band.bottom >= band.top);
    QVERIFY(band.bottom <= height);
    for (int row = band.top; row < band.bottom; ++row) ++painted[static_cast<std::size_t>(row)];
    previousBottom = band.bottom;
  }
  QCOMPARE(previousBottom, height);
  for (int row = 0; row < height; ++row)
    QVERIFY2(painted[static_cast<std::size_t>(row)] == 1, qPrintable(QString::number(row)));
}

void TestLauncherCore::bandColours_data() {
  QTest::addColumn<int>("k");
  QTest::addColumn<int>("band");
  QTest::addColumn<int>("red");
  QTest::addColumn<int>("green");
  QTest::addColumn<int>("blue");
  QTest::newRow("page 1 top") << 1 << 0 << 0 << 0 << 255;
  QTest::newRow("page 1 band 1") << 1 << 1 << 0 << 0 << 254;
  QTest::newRow("page 1 bottom") << 1 << 199 << 0 << 0 << 56;
  QTest::newRow("page 2 top") << 2 << 0 << 0 << 255 << 0;
  QTest::newRow("page 2 bottom") << 2 << 199 << 0 << 56 << 0;
  QTest::newRow("page 3 red") << 3 << 0 << 255 << 0 << 0;
  QTest::newRow("page 3 bottom") << 3 << 199 << 56 << 0 << 0;
  QTest::newRow("page 0 red") << 0 << 50 << 205 << 0 << 0;
  QTest::newRow("page -1 red") << -1 << 10 << 245 << 0 << 0;
}

void TestLauncherCore::bandColours() {
  QFETCH(int, k);
  QFETCH(int, band);
  QFETCH(int, red);
  QFETCH(int, green);
  QFETCH(int, blue);
  const GradientBand b = GradientBands(50, 280, k)[static_cast<std::size_t>(band)];
  QCOMPARE(b.red, red);
  QCOMPARE(b.green, green);
  QCOMPARE(b.blue, blue);
}

void TestLauncherCore::bandsSpanOnePastTheRightEdge() {
  for (const GradientBand& band : GradientBands(278, 280, 1)) {
    QCOMPARE(band.left, 0);
    QCOMPARE(band.right, 279);
  }
}

void TestLauncherCore::roundHalfEven_data() {
  QTest::addColumn<double>("x");
  QTest::addColumn<int>("rounded");
  QTest::newRow("0.5") << 0.5 << 0;
  QTest::newRow("1.5") << 1.5 << 2;
  QTest::newRow("2.5") << 2.5 << 2;
  QTest::newRow("2.5000001") << 2.5000001 << 3;
  QTest::newRow("2.4999999") << 2.4999999 << 2;
  QTest::newRow("-0.5") << -0.5 << 0;
  QTest::newRow("-1.5") << -1.5 << -2;
  QTest::newRow("huge") << 1e30 << 2147483647;
  QTest::newRow("-huge") << -1e30 << (-2147483647 - 1);
}

void TestLauncherCore::roundHalfEven() {
  QFETCH(double, x);
  QFETCH(int, rounded);
  QCOMPARE(launcher::RoundHalfEven(x), rounded);
}

void TestLauncherCore::installFolder_data() {
  QTest::addColumn<QString>("builtIn");
  QTest::addColumn<QString>("launcherFolder");
  QTest::addColumn<QString>("folder");
  QTest::newRow("empty: the launcher's folder") << ""
                                                << "/tmp/suite/bin"
                                                << "/tmp/suite/bin/";
  QTest::newRow("dot: the launcher's folder") << "."
                                              << "/tmp/suite/bin"
                                              << "/tmp/suite/bin/";
  QTest::newRow("relative: below the launcher") << "../libexec/qova"
                                                << "/opt/q/bin"
                                                << "/opt/q/bin/../libexec/qova/";
  QTest::newRow("absolute kept") << "/usr/local/bin/"
                                 << "/tmp/elsewhere"
                                 << "/usr/local/bin/";
  QTest::newRow("absolute gains a separator") << "/opt/qova"
                                              << "/tmp"
                                              << "/opt/qova/";
  QTest::newRow("drive letter is absolute") << "c:/qova/"
                                            << "/tmp"
                                            << "c:/qova/";
  QTest::newRow("root launcher folder") << ""
                                        << "/"
                                        << "/";
  QTest::newRow("blanks kept") << ""
                               << "/home/ann/Survey Suite/bin"
                               << "/home/ann/Survey Suite/bin/";
}

void TestLauncherCore::installFolder() {
  QFETCH(QString, builtIn);
  QFETCH(QString, launcherFolder);
  QFETCH(QString, folder);
  QCOMPARE(QString::fromStdString(
               launcher::InstallFolder(builtIn.toStdString(), launcherFolder.toStdString())),
           folder);
}

void TestLauncherCore::cutCommand_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("cut");
  const QString a255(255, QLatin1Char('a'));
  QTest::newRow("empty") << ""
                         << "";
  QTest::newRow("short") << "/opt/q/lisket.exe"
                         << "/opt/q/lisket.exe";
  QTest::newRow("255 kept") << a255 << a255;
  QTest::newRow("256 kept") << a255 + "b" << a255 + "b";
  QTest::newRow("257 cut") << a255 + "bc" << a255 + "b";
  QTest::newRow("600 cut") << QString(600, QLatin1Char('x')) << QString(256, QLatin1Char('x'));
  // Characters, not bytes: a two-byte letter at position 256 stays whole, one after it goes.
  QTest::newRow("letter at 256 kept")
      << a255 + QString::fromUtf8("é") << a255 + QString::fromUtf8("é");
  QTest::newRow("letter at 257 cut")
      << a255 + QString::fromUtf8("éé") << a255 + QString::fromUtf8("é");
  QTest::newRow("256 wide letters") << QString(300, QChar(0x6E2F)) << QString(256, QChar(0x6E2F));
}

void TestLauncherCore::cutCommand() {
  QFETCH(QString, command);
  QFETCH(QString, cut);
  QCOMPARE(QString::fromStdString(launcher::CutCommand(command.toStdString())), cut);
}

void TestLauncherCore::buildCommand_data() {
  QTest::addColumn<QString>("folder");
  QTest::addColumn<QString>("entry");
  QTest::addColumn<QString>("command");
  QTest::newRow("converter") << "c:\\qova\\"
                             << "norvane.exe"
                             << "c:\\qova\\norvane.exe";
  QTest::newRow("lister") << "/tmp/suite/bin/"
                          << "lisket.exe"
                          << "/tmp/suite/bin/lisket.exe";
  QTest::newRow("case kept") << "/q/"
                             << "QOVA2.exe"
                             << "/q/QOVA2.exe";
  const QString longFolder = "/" + QString(249, QLatin1Char('d')) + "/";  // 251 characters
  QTest::newRow("cut inside the name") << longFolder << "norvane.exe" << longFolder + "norva";
  QTest::newRow("folder alone over 256")
      << QString(300, QLatin1Char('f')) << "brisel.exe" << QString(256, QLatin1Char('f'));
}

void TestLauncherCore::buildCommand() {
  QFETCH(QString, folder);
  QFETCH(QString, entry);
  QFETCH(QString, command);
  QCOMPARE(
      QString::fromStdString(launcher::BuildCommand(folder.toStdString(), entry.toStdString())),
      command);
}

// The process start splits its command line at blanks; the whole path must come back as
// the one program name, whatever the folder holds.
void TestLauncherCore::commandLineGivesThePathBack_data() {
  QTest::addColumn<QString>("path");
  QTest::newRow("plain") << "/tmp/suite/bin/lisket.exe";
  QTest::newRow("blank") << "/home/ann/Survey Suite/bin/lisket.exe";
  QTest::newRow("two blanks") << "/a  b/norvane.exe";
  QTest::newRow("tab") << "/a\tb/norvane.exe";
  QTest::newRow("no-break space") << QString::fromUtf8("/a\u00A0b/brisel.exe");
  QTest::newRow("double quote") << "/a\"b/brisel.exe";
  QTest::newRow("backslashes") << "c:\\qova\\norvane.exe";
  QTest::newRow("trailing blank") << "/q/prog ";
}

void TestLauncherCore::commandLineGivesThePathBack() {
  QFETCH(QString, path);
  const QString line = QString::fromStdString(launcher::ProgramCommandLine(path.toStdString()));
  QCOMPARE(QProcess::splitCommand(line), QStringList{path});
}

QTEST_APPLESS_MAIN(TestLauncherCore)
#include "tst_launcher_core.moc"
