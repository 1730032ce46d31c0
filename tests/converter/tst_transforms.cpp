// The grid transformations, the derivation chains (which pairs they store on the way)
// and what the form shows for each result, against the Hong Kong worked examples.
#include <QtTest>

#include <cmath>
#include <cstring>

#include "converter/form_logic.h"
#include "converter/transforms.h"

using namespace norvane;

Q_DECLARE_METATYPE(norvane::Fault)

namespace {
bool SameStore(const CoordinateStore& a, const CoordinateStore& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}
bool SameParams(const ProjectionParams& a, const ProjectionParams& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}
Conversion Input(int option, const char* first, const char* second) {
  Conversion c;
  const Fault f = ReadInput(c, option, first, second);
  if (f != Fault::None) qWarning("ReadInput fault %d", int(f));
  return c;
}
QString Shown(Conversion& c, int index) {
  ResultText r;
  const Fault f = DeriveResult(c, index, r);
  if (f != Fault::None) return QString("fault %1").arg(int(f));
  return QString::fromStdString(r.shownName + "|" + r.value1 + "|" + r.value2);
}
}  // namespace

class TestTransforms : public QObject {
  Q_OBJECT
 private slots:
  void gridAffine();
  void workedExample_data();
  void workedExample();
  void utm84InputZone50();
  void geo80InputStoresBothGrids();
  void chainsStoreTheirPairs_data();
  void chainsStoreTheirPairs();
  void utm80PreferredForGeo80();
  void partialPairIsReplaced();
  void longitude114IsZone49();
  void utmInputZoneLabel();
  void absentInputIsNotAvailable_data();
  void absentInputIsNotAvailable();
  void faultsAbandon_data();
  void faultsAbandon();
  void inputPresent_data();
  void inputPresent();
  void printedInputAngle_data();
  void printedInputAngle();
  void printedColumns();
  void aboutText();
  void allSystemsBatch();
};

void TestTransforms::gridAffine() {
  const GridPoint g84 = Grid80ToGrid84(819069.8, 836694.05);
  QVERIFY(std::fabs(g84.northing - 819069.72296) < 0.000005);
  QVERIFY(std::fabs(g84.easting - 836693.85398) < 0.000005);
  const GridPoint back = Grid84ToGrid80(g84.northing, g84.easting);
  QVERIFY(std::fabs(back.northing - 819069.8) < 0.00003);
  QVERIFY(std::fabs(back.easting - 836694.05) < 0.00003);
  // Two formulas of their own, not exact inverses: there and back is not the identity.
  QVERIFY(back.northing != 819069.8 || back.easting != 836694.05);
}

void TestTransforms::workedExample_data() {
  QTest::addColumn<int>("index");
  QTest::addColumn<QString>("shown");
  QTest::newRow("Grid80") << 1 << "1980 HK Grid|830000.|840000.";
  QTest::newRow("Grid84") << 2 << "1984 HK Grid|829999.8326|840000.109";
  QTest::newRow("UTM80") << 3 << "UTM80    Zone 50|2481000.2893|212826.0121";
  QTest::newRow("UTM84") << 4 << "UTM84    Zone 50|2480793.782|213088.1976";
  QTest::newRow("Geo80") << 5 << "1980 HK Geodetic Datumn|22-24-39.0032 |114-12-38.38554";
  QTest::newRow("WGS 84") << 6 << "norvane|22-24-33.49387|114-12-47.24287";
}

void TestTransforms::workedExample() {
  QFETCH(int, index);
  QFETCH(QString, shown);
  Conversion c = Input(1, "830000", "840000");
  QCOMPARE(Shown(c, index), shown);
  // The grid origin.
  Conversion o = Input(1, "819069.8", "836694.05");
  QCOMPARE(Shown(o, 5), QString("1980 HK Geodetic Datumn|22-18-43.68   |114-10-42.8   "));
}

void TestTransforms::utm84InputZone50() {
  Conversion c = Input(4, "2469920.6701", "209575.603");
  QCOMPARE(Shown(c, 6), QString("norvane|22-18-38.1675 |114-10-51.64315"));
  // The first trial (zone 49) was outside 111..117, so zone 50 was taken last.
  QCOMPARE(c.active.lon0, DegToRad(117.0));
  // Geo80 through both HK grids is the 1980 grid origin.
  QCOMPARE(Shown(c, 5), QString("1980 HK Geodetic Datumn|22-18-43.68   |114-10-42.8   "));
  QVERIFY(Complete(c.store[System::Grid84]));
  QVERIFY(Complete(c.store[System::Grid80]));
  QVERIFY(Absent(c.store[System::Utm80]));
}

void TestTransforms::geo80InputStoresBothGrids() {
  Conversion c = Input(5, "22.184368", "114.10428");
  QCOMPARE(EnsureGeo84(c), Fault::None);
  QVERIFY(Complete(c.store[System::Grid80]));
  QVERIFY(Complete(c.store[System::Grid84]));
  QVERIFY(Absent(c.store[System::Utm80]) && Absent(c.store[System::Utm84]));
  // A later request finds Grid80 complete and computes nothing.
  const CoordinateStore before = c.store;
  ProjectionParams marker;
  marker.a = 42;
  c.active = marker;
  QCOMPARE(EnsureGrid80(c), Fault::None);
  QVERIFY(SameStore(before, c.store));
  QVERIFY(SameParams(marker, c.active));
  QVERIFY(std::fabs(c.store[System::Grid80].first - 819069.8) < 0.001);
}

void TestTransforms::chainsStoreTheirPairs_data() {
  QTest::addColumn<int>("option");
  QTest::addColumn<QString>("first");
  QTest::addColumn<QString>("second");
  QTest::addColumn<int>("index");
  QTest::addColumn<QString>("stored");  // systems known afterwards, store order
  // From UTM80 to WGS 84: UTM80 -> Geo80 -> Grid80 -> Grid84 -> Geo84.
  QTest::newRow("UTM80 to Geo84") << 3 << "2481000.2893"
                                  << "212826.0121" << 6 << "-UGGGG";
  // From UTM84 to Geo80: UTM84 -> Geo84 -> Grid84 -> Grid80 -> Geo80.
  QTest::newRow("UTM84 to Geo80") << 4 << "2480793.782"
                                  << "213088.1976" << 5 << "U-GGGG";
  // From Grid84 to UTM80: Grid84 -> Grid80 -> Geo80 -> UTM80.
  QTest::newRow("Grid84 to UTM80") << 2 << "829999.8326"
                                   << "840000.109" << 3 << "-UGG-G";
  // From Geo84 to Grid80: Geo84 -> Grid84 -> Grid80 -> Geo80, then Grid80 again from Geo80.
  QTest::newRow("Geo84 to Grid80") << 6 << "22.2433493"
                                   << "114.1247243" << 1 << "--GGGG";
  // From Grid80 to UTM84: Grid80 -> Grid84 -> Geo84 -> UTM84.
  QTest::newRow("Grid80 to UTM84") << 1 << "830000"
                                   << "840000" << 4 << "U-GGG-";
}

void TestTransforms::chainsStoreTheirPairs() {
  QFETCH(int, option);
  QFETCH(QString, first);
  QFETCH(QString, second);
  QFETCH(int, index);
  QFETCH(QString, stored);
  Conversion c = Input(option, first.toLatin1().constData(), second.toLatin1().constData());
  QCOMPARE(ResultSystemFor(index).ensure(c), Fault::None);
  QString got;
  for (const Pair& p : c.store.pairs) got += Complete(p) ? (got.size() < 2 ? 'U' : 'G') : '-';
  QCOMPARE(got, stored);
}

void TestTransforms::utm80PreferredForGeo80() {
  // With UTM80 and Grid80 both known, Geo80 comes from UTM80 (S6).
  Conversion c = Input(3, "2481000.2893", "212826.0121");
  Conversion ref = c;
  c.store[System::Grid80] = {819069.8, 836694.05};
  QCOMPARE(EnsureGeo80(c), Fault::None);
  QCOMPARE(StepS6(ref), Fault::None);
  QCOMPARE(c.store[System::Geo80].first, ref.store[System::Geo80].first);
  QCOMPARE(c.store[System::Geo80].second, ref.store[System::Geo80].second);
}

void TestTransforms::partialPairIsReplaced() {
  Conversion c = Input(1, "0", "836694.05");
  QVERIFY(Usable(c.store[System::Grid80]) && !Complete(c.store[System::Grid80]));
  QCOMPARE(EnsureGrid80(c), Fault::None);
  QVERIFY(Complete(c.store[System::Geo80]));
  const Pair g = c.store[System::Grid80];
  QVERIFY(Complete(g));
  // The replacement is the projection of the derived Geo80: within 0.0001 m of the input.
  QVERIFY2(std::fabs(g.first) < 0.0001 && std::fabs(g.second - 836694.05) < 0.0001,
           qPrintable(QString("%1 %2").arg(g.first, 0, 'f', 6).arg(g.second, 0, 'f', 6)));
}

void TestTransforms::longitude114IsZone49() {
  Conversion c = Input(5, "22.3", "114");
  ResultText r;
  QCOMPARE(DeriveResult(c, 3, r), Fault::None);
  QCOMPARE(QString::fromStdString(r.shownName), QString("UTM80    Zone 49"));
  QVERIFY(c.store[System::Utm80].second > 500000);  // east of 111 in zone 49
}

void TestTransforms::utmInputZoneLabel() {
  // Regression: a UTM input shown as itself was labelled zone 49 whatever its easting,
  // because its geodetic pair was not yet known. The label now follows the zone trial
  // and the store is not changed by it.
  Conversion c = Input(3, "2481000.2893", "212826.0121");
  const CoordinateStore before = c.store;
  ResultText r;
  QCOMPARE(DeriveResult(c, 3, r), Fault::None);
  QCOMPARE(QString::fromStdString(r.shownName), QString("UTM80    Zone 50"));
  QCOMPARE(QString::fromStdString(r.value1), QString("2481000.2893"));
  QVERIFY(SameStore(before, c.store));
  Conversion w = Input(4, "2470000", "790000");
  QCOMPARE(DeriveResult(w, 4, r), Fault::None);
  QCOMPARE(QString::fromStdString(r.printedName), QString("UTM84    Zone 49"));
}

void TestTransforms::absentInputIsNotAvailable_data() {
  QTest::addColumn<int>("option");
  QTest::addColumn<QString>("first");
  QTest::addColumn<QString>("second");
  QTest::newRow("zeros") << 1 << "0"
                         << "0";
  QTest::newRow("text that is no number") << 2 << "north"
                                          << "east";
  QTest::newRow("empty") << 3 << ""
                         << "";
  QTest::newRow("geodetic zeros") << 6 << "0.0"
                                  << "-0";
}

void TestTransforms::absentInputIsNotAvailable() {
  QFETCH(int, option);
  QFETCH(QString, first);
  QFETCH(QString, second);
  Conversion c = Input(option, first.toLatin1().constData(), second.toLatin1().constData());
  for (int index = 1; index <= 6; ++index) {
    ResultText r;
    QCOMPARE(DeriveResult(c, index, r), Fault::NoInput);
    QVERIFY(!c.store.AnyUsable());  // nothing meaningless was stored
  }
}

void TestTransforms::faultsAbandon_data() {
  QTest::addColumn<int>("option");
  QTest::addColumn<QString>("first");
  QTest::addColumn<QString>("second");
  QTest::addColumn<int>("index");
  QTest::addColumn<Fault>("fault");
  QTest::newRow("1E999") << 1 << "1E999"
                         << "840000" << 5 << Fault::Overflow;
  QTest::newRow("northing 1E10") << 1 << "1E10"
                                 << "840000" << 5 << Fault::OutOfRange;
  QTest::newRow("northing 1E30") << 2 << "1E30"
                                 << "840000" << 6 << Fault::NoConvergence;
  QTest::newRow("latitude 95") << 5 << "95"
                               << "114.1" << 5 << Fault::OutOfRange;
  QTest::newRow("longitude 200") << 6 << "22.3"
                                 << "200" << 6 << Fault::OutOfRange;
  QTest::newRow("UTM easting 1E300") << 4 << "2470000"
                                     << "1E300" << 6 << Fault::Overflow;
  QTest::newRow("geodetic far west") << 5 << "22.3"
                                     << "60" << 1 << Fault::OutOfRange;
}

void TestTransforms::faultsAbandon() {
  QFETCH(int, option);
  QFETCH(QString, first);
  QFETCH(QString, second);
  QFETCH(int, index);
  QFETCH(Fault, fault);
  Conversion c;
  Fault f = ReadInput(c, option, first.toStdString(), second.toStdString());
  ResultText r;
  r.value1 = "untouched";
  if (f == Fault::None) f = DeriveResult(c, index, r);
  if (fault == Fault::NoConvergence)
    QVERIFY(f == Fault::NoConvergence || f == Fault::OutOfRange);
  else
    QCOMPARE(f, fault);
  QCOMPARE(QString::fromStdString(r.value1), QString("untouched"));
  QVERIFY(!FaultMessage(f).empty());
}

void TestTransforms::inputPresent_data() {
  QTest::addColumn<QStringList>("texts");
  QTest::addColumn<bool>("present");
  QTest::newRow("grid pair") << QStringList{"1", "2", "", ""} << true;
  QTest::newRow("geodetic pair") << QStringList{"", "", "22", "114"} << true;
  QTest::newRow("one grid value") << QStringList{"1", "", "22", ""} << false;
  QTest::newRow("blank counts as filled") << QStringList{" ", " ", "", ""} << true;
  QTest::newRow("nothing") << QStringList{"", "", "", ""} << false;
}

void TestTransforms::inputPresent() {
  QFETCH(QStringList, texts);
  QFETCH(bool, present);
  QCOMPARE(InputPresent(texts[0].toStdString(), texts[1].toStdString(), texts[2].toStdString(),
                        texts[3].toStdString()),
           present);
}

// The input column on paper shows the angle the calculation used, not the typed text.
void TestTransforms::printedInputAngle_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("printed");
  QTest::newRow("seconds") << "22.1843"
                           << "Lat :22-18-43.     ";
  QTest::newRow("60 seconds carried") << "22.1860"
                                      << "Lat :22-19-00.     ";
  QTest::newRow("blank inside") << "22.18 4368"
                                << "Lat :22-18-43.68   ";
  QTest::newRow("comma: whole degrees read") << "22,3"
                                             << "Lat :22-00-00.     ";
  QTest::newRow("exponent: 22 deg 03 min 10 s read") << "22.3e1"
                                                     << "Lat :22-03-10.     ";
  QTest::newRow("south") << "-22.1843"
                         << "Lat :-22-18-43.    ";
}

void TestTransforms::printedInputAngle() {
  QFETCH(QString, typed);
  QFETCH(QString, printed);
  const auto geo = InputColumn(5, typed.toStdString(), "114.10428");
  QCOMPARE(QString::fromStdString(geo[1]), printed);
  QCOMPARE(QString::fromStdString(geo[2]), QString("Lon :114-10-42.8   "));
}

void TestTransforms::printedColumns() {
  const auto geo = InputColumn(5, "22.1843", "114.10428");
  QCOMPARE(QString::fromStdString(geo[0]), QString("1980 Geodetic Datumn"));
  QCOMPARE(QString::fromStdString(geo[1]), QString("Lat :22-18-43.     "));
  QCOMPARE(QString::fromStdString(geo[2]), QString("Lon :114-10-42.8   "));
  const auto grid = InputColumn(1, "830000", "840000");
  QCOMPARE(QString::fromStdString(grid[1]), QString("N :830000"));
  Conversion c = Input(1, "830000", "840000");
  ResultText r;
  QCOMPARE(DeriveResult(c, 6, r), Fault::None);
  const auto res = ResultColumn(r);
  QCOMPARE(QString::fromStdString(res[0]), QString("WGS 84"));
  QCOMPARE(QString::fromStdString(res[1]), QString("Lat :22-24-33.49387"));
  QCOMPARE(QString::fromStdString(res[2]), QString("Lon :114-12-47.24287"));
  QCOMPARE(ResultColumnFor("N :830000"), 35);
  QCOMPARE(ResultColumnFor(std::string(29, 'x')), 35);
  QCOMPARE(ResultColumnFor(std::string(30, 'x')), 36);  // reaches column 35: pushed right
}

void TestTransforms::aboutText() {
  const std::vector<std::string> lines = AboutLines();
  QCOMPARE(int(lines.size()), 16);
  QCOMPARE(QString::fromStdString(lines[0]),
           QString("This program is used to converse coordinates from "));
  QCOMPARE(QString::fromStdString(lines[5]),
           QString("(4) World Geodetic System 84                 (norvane)"));
  QVERIFY(lines[8].empty() && lines[12].empty() && lines[14].empty());
  const std::string text = AboutText();
  QCOMPARE(int(std::count(text.begin(), text.end(), '\r')), 15);
  QVERIFY(text.find('\n') == std::string::npos);
  QVERIFY(text.back() != '\r');
}

void TestTransforms::allSystemsBatch() {
  Conversion c = Input(1, "830000", "840000");
  double v[12];
  QCOMPARE(DeriveAllSystems(c, v), Fault::None);
  QCOMPARE(v[0], 830000.0);
  QCOMPARE(QString::fromStdString(GridText(v[2])), QString("829999.8326"));
  QCOMPARE(QString::fromStdString(GridText(v[5])), QString("212826.0121"));
  QCOMPARE(QString::fromStdString(AngleText(v[11])), QString("114-12-47.24287"));
  // The same values as one request after the other through the form's derivations.
  Conversion d = Input(1, "830000", "840000");
  for (int i : {1, 2, 3, 4, 5, 6}) QCOMPARE(ResultSystemFor(i).ensure(d), Fault::None);
  QVERIFY(SameStore(c.store, d.store));
}

QTEST_APPLESS_MAIN(TestTransforms)
#include "tst_transforms.moc"
