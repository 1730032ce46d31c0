// The colours, names and heights every GIS and CAD output carries, pinned by exact texts.
#include <QtTest>

#include <cmath>
#include <limits>

#include "export/dxf_style.h"
#include "export/export_common.h"
#include "export/output_styles.h"

using namespace surveyexport;

class TestOutputStyles : public QObject {
  Q_OBJECT
 private slots:
  // Every plotter colour, and one no plotter draws, in each format's notation.
  void colours_data() {
    QTest::addColumn<uint>("rgb");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("kml");  // aabbggrr
    QTest::addColumn<int>("aci");
    QTest::newRow("red") << 0xFF0000u << "#ff0000" << "ff0000ff" << 1;
    QTest::newRow("yellow") << 0xFFFF00u << "#ffff00" << "ff00ffff" << 2;
    QTest::newRow("green") << 0x00FF00u << "#00ff00" << "ff00ff00" << 3;
    QTest::newRow("cyan") << 0x00FFFFu << "#00ffff" << "ffffff00" << 4;
    QTest::newRow("blue") << 0x0000FFu << "#0000ff" << "ffff0000" << 5;
    QTest::newRow("white") << 0xFFFFFFu << "#ffffff" << "ffffffff" << 7;
    QTest::newRow("black") << 0x000000u << "#000000" << "ff000000" << 7;
    QTest::newRow("orange") << 0xFF8000u << "#ff8000" << "ff0080ff" << 7;
  }
  void colours() {
    QFETCH(uint, rgb);
    QFETCH(QString, hex);
    QFETCH(QString, kml);
    QFETCH(int, aci);
    QCOMPARE(QString::fromStdString(HexColour(rgb)), hex);
    QCOMPARE(QString::fromStdString(KmlColour(rgb)), kml);
    QCOMPARE(AciColour(rgb), aci);
  }

  // brisel's headings as field names that need no quoting in SQL or a QGIS expression.
  void gisFieldNames_data() {
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("name");
    QTest::newRow("dot") << "PT." << "pt";
    QTest::newRow("dot and blank") << "STN. NAME" << "stn_name";
    QTest::newRow("slash and brackets") << "Item1/(N)" << "item1_n";
    QTest::newRow("dots inside") << "SIG.HT." << "sig_ht";
    QTest::newRow("blank") << "TAN BRG" << "tan_brg";
    QTest::newRow("plain") << "NORTHINGS" << "northings";
    QTest::newRow("nothing usable") << "..." << "field";
  }
  void gisFieldNames() {
    QFETCH(QString, heading);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdString(GisFieldName(heading.toStdString())), name);
  }

  // A packed height to the decimals the file holds, for plan and table alike.
  void heightAsStored_data() {
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("height");
    QTest::newRow("code 1") << 10012.921 << "12.921";  // not 12.921000000000276
    QTest::newRow("negative") << -10012.921 << "-12.921";
    QTest::newRow("code 3") << 30014.201 << "14.201";
    QTest::newRow("no code") << 0.1 << "0.1";
    QTest::newRow("large code") << 123456789.123 << "6789.123";
    QTest::newRow("not finite") << std::numeric_limits<double>::infinity() << "nan";
  }
  void heightAsStored() {
    QFETCH(double, stored);
    QFETCH(QString, height);
    QCOMPARE(QString::fromStdString(ExactText(HeightAsStored(toolkit::DecodePackedHeight(stored)))), height);
  }

  // The level of a numbered point starts 1.5 text heights below the number, across the text.
  void levelUnderNumber_data() {
    QTest::addColumn<double>("angle");
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dy");
    QTest::newRow("level text") << 0.0 << 0.0 << -3.0;
    QTest::newRow("upright text") << 90.0 << 3.0 << 0.0;
  }
  void levelUnderNumber() {
    QFETCH(double, angle);
    QFETCH(double, dx);
    QFETCH(double, dy);
    const TextCorner at = LevelUnderNumber({100, 200}, 2, angle);
    QVERIFY(std::fabs(at.x - (100 + dx)) < 1e-12 && std::fabs(at.y - (200 + dy)) < 1e-12);
  }
};

QTEST_GUILESS_MAIN(TestOutputStyles)
#include "tst_output_styles.moc"
