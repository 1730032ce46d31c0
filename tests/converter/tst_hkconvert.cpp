// The batch converter: one output line per input line, the numbers exactly those of the
// converter's own derivation (read back from their shortest text), reasons for faults.
#include <QProcess>
#include <QtTest>

#include <charconv>

#include "converter/form_logic.h"

using namespace norvane;

class TestHkConvert : public QObject {
  Q_OBJECT
 private slots:
  void lines_data();
  void lines();
  void manyLines();
  void limits();

 private:
  static QStringList Run(const QByteArray& input) {
    QProcess p;
    p.start(qEnvironmentVariable("HKCONVERT"), {});
    if (!p.waitForStarted(10000)) return {"not started"};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000)) {
      p.kill();
      return {"hung"};
    }
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
  }
};

void TestHkConvert::lines_data() {
  QTest::addColumn<QString>("line");
  QTest::addColumn<int>("option");  // 0: an error line is expected
  QTest::addColumn<QString>("error");
  QTest::newRow("Grid80 worked example") << "Grid80 830000 840000" << 1 << "";
  QTest::newRow("UTM84 zone 50") << "UTM84 2469920.6701 209575.603" << 4 << "";
  QTest::newRow("Geo80 packed, any case, tabs") << "geo80\t22.184368\t114.10428" << 5 << "";
  QTest::newRow("Grid84") << "Grid84 829999.8326 840000.109" << 2 << "";
  QTest::newRow("UTM80") << "UTM80 2481000.2893 212826.0121" << 3 << "";
  QTest::newRow("Geo84") << "Geo84 22.2433493 114.1247243" << 6 << "";
  QTest::newRow("CR LF line end") << "Grid80 830000 840000\r" << 1 << "";
  QTest::newRow("overflow") << "Grid80 1E999 840000" << 0 << "too large";
  QTest::newRow("far north") << "Grid80 1E10 840000" << 0 << "outside";
  QTest::newRow("latitude 95") << "Geo84 95 114" << 0 << "outside";
  QTest::newRow("absent pair") << "Grid84 abc 0" << 0 << "no input coordinates";
  QTest::newRow("unknown system") << "HK63 1 2" << 0 << "unknown system";
  QTest::newRow("two fields") << "Grid80 830000" << 0 << "expected";
  QTest::newRow("empty line") << "" << 0 << "expected";
  // A line with tabs: blanks inside a value are ignored, as the form ignores them.
  QTest::newRow("tabs, blanks inside values") << "Geo80\t22.18 4368\t 114.10 428 " << 5 << "";
  QTest::newRow("blanks inside values without tabs") << "Geo80 22.18 4368 114.1042" << 0 << "tabs";
}

void TestHkConvert::lines() {
  QFETCH(QString, line);
  QFETCH(int, option);
  QFETCH(QString, error);
  const QStringList out = Run(line.toUtf8() + "\n");
  QCOMPARE(out.size(), 1);
  const QStringList fields = out[0].split('\t');
  if (option == 0) {
    QCOMPARE(fields.size(), 2);
    QCOMPARE(fields[0], QString("error"));
    QVERIFY2(fields[1].contains(error, Qt::CaseInsensitive), qPrintable(fields[1]));
    return;
  }
  QCOMPARE(fields.size(), 12);
  // The values as typed into the form, blanks and all.
  const QStringList parts =
      line.contains('\t') ? line.split('\t') : line.trimmed().split(QRegularExpression("\\s+"));
  Conversion c;
  QCOMPARE(ReadInput(c, option, parts[1].toStdString(), parts[2].toStdString()), Fault::None);
  double expected[12];
  QCOMPARE(DeriveAllSystems(c, expected), Fault::None);
  for (int i = 0; i < 12; ++i) {
    const std::string text = fields[i].toStdString();
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    QVERIFY(r.ec == std::errc() && r.ptr == text.data() + text.size());
    QCOMPARE(v, expected[i]);  // exactly: the same double
  }
  if (option == 1) {
    QCOMPARE(QString::fromStdString(GridText(expected[4])), QString("2481000.2893"));
    QCOMPARE(QString::fromStdString(AngleText(expected[10])), QString("22-24-33.49387"));
    QCOMPARE(fields[0], QString("830000"));
  }
  if (option == 4)
    QCOMPARE(QString::fromStdString(AngleText(expected[9])), QString("114-10-42.8   "));
}

void TestHkConvert::manyLines() {
  QByteArray input;
  for (int i = 0; i < 500; ++i)
    input += (i % 7 == 3 ? "Grid80 x y\n"
                         : QByteArray("Grid80 8") + QByteArray::number(20000 + i) + " 836694.05\n");
  const QStringList out = Run(input);
  QCOMPARE(out.size(), 500);
  for (int i = 0; i < 500; ++i) QCOMPARE(out[i].startsWith("error\t"), i % 7 == 3);
}

// A line of a megabyte is one error line, and the lines after it are still converted; an
// output that cannot be written (a full disk) ends with exit code 1, not 0.
void TestHkConvert::limits() {
  const QStringList out = Run(QByteArray(1 << 20, '7') + "\nGrid80 830000 840000\n");
  QCOMPARE(out.size(), 2);
  QVERIFY2(out[0].startsWith("error\tline longer than 4096 characters"), qPrintable(out[0]));
  QCOMPARE(out[1].split('\t').size(), 12);
  QProcess p;
  p.setStandardOutputFile("/dev/full");
  p.start(qEnvironmentVariable("HKCONVERT"), {});
  QVERIFY(p.waitForStarted(10000));
  p.write("Grid80 830000 840000\n");
  p.closeWriteChannel();
  QVERIFY(p.waitForFinished(30000));
  QCOMPARE(p.exitCode(), 1);
  QVERIFY(p.readAllStandardError().contains("cannot write"));
}

QTEST_APPLESS_MAIN(TestHkConvert)
#include "tst_hkconvert.moc"
