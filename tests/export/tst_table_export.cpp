// surveyexport table: every kind of survey file to CSV, GeoPackage and XLSX, read back
// with GDAL's ogrinfo; bad inputs and outputs, several inputs, the real program.
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "export/cli.h"
#include "export/table_export.h"
#include "survey_writer.h"

namespace fs = std::filesystem;
using testsupport::Record;
using testsupport::WriteSurveyFile;

namespace {

struct Run {
  int code;
  QString out;
  QString err;
};

Run RunTable(const QStringList& args) {
  std::vector<std::string> words{"table", "--quiet"};
  for (const QString& a : args) words.push_back(a.toStdString());
  std::ostringstream out, err;
  const int code = surveyexport::RunSurveyExport(words, out, err);
  return {code, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
}

QString Ogrinfo(const QStringList& args) {
  QProcess p;
  p.start("ogrinfo", args);
  if (!p.waitForFinished(60000)) return QString();
  return QString::fromUtf8(p.readAllStandardOutput());
}

// The rows of an SQL query through ogrinfo: the values of columns c0, c1 ... per feature.
QList<QStringList> QueryRows(const QString& file, const QString& sql) {
  const QString text = Ogrinfo({"-q", "-ro", "-dialect", "SQLite", "-sql", sql, file});
  QList<QStringList> rows;
  static const QRegularExpression value("^  c(\\d+) \\(\\w+\\) = (.*)$");
  for (const QString& line : text.split('\n')) {
    if (line.startsWith("OGRFeature(")) rows.append(QStringList());
    const auto m = value.match(line);
    if (m.hasMatch() && !rows.isEmpty()) rows.last().append(m.captured(2));
  }
  return rows;
}

// A SELECT of every column of a table, numbers with 17 digits so that a double reads
// back exactly.
QString SelectAll(const QString& layer, const QStringList& columns, const QList<bool>& text) {
  QStringList parts;
  for (int i = 0; i < columns.size(); ++i) {
    const QString col = "\"" + columns[i] + "\"";
    QString expr = i == 0    ? "CAST(" + col + " AS INTEGER)"
                   : text[i] ? "ifnull(" + col + ", '')"
                             : "printf('%!.17g', " + col + ")";
    parts << expr + " AS c" + QString::number(i);
  }
  return "SELECT " + parts.join(", ") + " FROM \"" + layer + "\" ORDER BY CAST(\"" + columns[0] +
         "\" AS INTEGER)";
}

// A GeoPackage's field names as a GIS user types them; CSV and XLSX keep brisel's headings.
QString GpkgName(const QString& heading) {
  static const QMap<QString, QString> names{{"PT.", "pt"},
                                            {"H.A.", "h_a"},
                                            {"V.A.", "v_a"},
                                            {"DIST.", "dist"},
                                            {"SIG.HT.", "sig_ht"},
                                            {"STN. NAME", "stn_name"},
                                            {"Item1/(N)", "item1_n"},
                                            {"Item2/(E)", "item2_e"},
                                            {"TAN BRG", "tan_brg"}};
  return names.value(heading, heading.toLower());
}

int FilesIn(const QString& dir) { return QDir(dir).entryList(QDir::Files | QDir::Hidden).size(); }

bool HaveOgrinfo() { return !QStandardPaths::findExecutable("ogrinfo").isEmpty(); }

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

}  // namespace

class TestTableExport : public QObject {
  Q_OBJECT
 private slots:
  void everyKindReadBack_data();
  void everyKindReadBack();
  void pointsInTheirCrs_data();
  void pointsInTheirCrs();
  void controlOnTheMap_data();
  void controlOnTheMap();
  void fullPrecision();
  void badRecordsSkippedAndCounted();
  void problems_data();
  void problems();
  void severalInputs();
  void realProgram();
  void worksheetTooSmall();
  void worksheetNames_data();
  void worksheetNames();
  void interruptedLeavesNothing();
};

void TestTableExport::everyKindReadBack_data() {
  QTest::addColumn<QString>("ext");
  QTest::addColumn<int>("recordLength");
  QTest::addColumn<QList<Record>>("records");
  QTest::addColumn<QStringList>("columns");
  QTest::addColumn<QList<QStringList>>("expected");

  using R = Record;
  const auto tn = [](double v) { return testsupport::TextNumber(v); };
  struct Kind {
    const char* ext;
    int length;
    QList<Record> records;
    QStringList columns;
    QList<QStringList> expected;
  };
  const QList<Kind> kinds = {
      // Northing sign = line marker; a stored 10012.921 is code 1, height 12.921 (not
      // 12.921000000000276); record 2 is empty (easting and stored height zero).
      {"NEH",
       24,
       {R{-820010.5, 836010.25, testsupport::PackHeight(12.921, 1)}, R{5.0, 0.0, 0.0},
        R{820000.0, 836000.0, -30002.5}, R{820001.0, 836001.0, 0.0}},
       {"PT.", "NORTHINGS", "EASTINGS", "HEIGHT", "CODE", "LINE"},
       {{"1", "820010.5", "836010.25", "12.921", "1", "1"},
        {"3", "820000", "836000", "-2.5", "3", "0"},
        {"4", "820001", "836001", "0", "0", "0"}}},
      // Headers and terminators name the rows; empty records anywhere are passed over.
      {"SEC",
       16,
       {R{std::string("A"), tn(1000.5)}, R{tn(-15), tn(16.773)}, R{tn(0), tn(0)},
        R{std::string("999"), std::string("")}, R{tn(0), tn(0)}, R{std::string("b2"), tn(1020)},
        R{tn(0), tn(17.5)}, R{std::string("999"), tn(0)}},
       {"PT.", "SECTION", "CHAINAGE", "OFFSET", "HEIGHT"},
       {{"2", "A", "1000.5", "-15", "16.773"}, {"7", "b2", "1020", "0", "17.5"}}},
      {"DAT",
       40,
       {R{23.42, 88.0, 15.0, 1.5, 10.0}, R{1.0, 0.0, 0.0, 1.0, 1.0},
        R{50.3, 90.5736, 29.0, 1.65, 2.5}},
       {"PT.", "H.A.", "V.A.", "DIST.", "SIG.HT.", "CODE"},
       {{"1", "23.42", "88", "15", "1.5", "10"}, {"3", "50.3", "90.5736", "29", "1.65", "2.5"}}},
      // A name holding a Latin-1 letter and one cut by a zero byte.
      {"STN",
       32,
       {R{std::string("HK1021"), 819988.5, 835985.25, 11.874}, R{std::string("X"), 0.0, 0.0, 5.0},
        R{std::string("TP\xE9"
                      "01"),
          1.0, 2.0, -0.25},
        R{std::string("AB\0CDEFG", 8), 3.0, 4.0, 0.0}},
       {"PT.", "STN. NAME", "NORTHINGS", "EASTINGS", "HEIGHTS"},
       {{"1", "HK1021", "819988.5", "835985.25", "11.874"},
        {"3", "TP\u00e901", "1", "2", "-0.25"},
        {"4", "AB", "3", "4", "0"}}},
      {"CHG",
       40,
       {R{1000.0, 60.0, 820040.0, 836020.0, 0.0}, R{1010.0, 0.0, 0.0, 5.0, 5.0},
        R{1020.0, 60.5, 820050.0, 836037.321, -250.0}},
       {"PT.", "CHAINAGE", "BEARINGS", "NORTHINGS", "EASTINGS", "RADIUS"},
       {{"1", "1000", "60", "820040", "836020", "0"},
        {"3", "1020", "60.5", "820050", "836037.321", "-250"}}},
      // PTS records are never empty: an all-zero record is a row of blank items.
      {"PTS",
       16,
       {R{std::string("1"), std::string("11")}, R{std::string(8, '\0'), std::string(8, '\0')},
        R{std::string("B1"), std::string("B5")}},
       {"PT.", "Item1/(N)", "Item2/(E)"},
       {{"1", "1", "11"}, {"2", "", ""}, {"3", "B1", "B5"}}},
      {"SOL",
       32,
       {R{1000.0, 820040.0, 836020.0, 60.0}, R{1005.0, 0.0, 0.0, 60.0},
        R{1010.0, 820045.0, 836028.66, 60.25}},
       {"PT.", "CHAINAGE", "NORTHINGS", "EASTING", "TAN BRG"},
       {{"1", "1000", "820040", "836020", "60"}, {"3", "1010", "820045", "836028.66", "60.25"}}},
  };
  for (const Kind& k : kinds) {
    for (const char* fmt : {"csv", "gpkg", "xlsx"}) {
      QTest::addRow("%s to %s", k.ext, fmt)
          << QString(k.ext) + "|" + fmt << k.length << k.records << k.columns << k.expected;
    }
  }
}

void TestTableExport::everyKindReadBack() {
  if (!HaveOgrinfo()) QSKIP("ogrinfo (gdal-bin) is not installed");
  QFETCH(QString, ext);
  QFETCH(int, recordLength);
  QFETCH(QList<Record>, records);
  QFETCH(QStringList, columns);
  QFETCH(QList<QStringList>, expected);
  const QString kind = ext.section('|', 0, 0), fmt = ext.section('|', 1, 1);
  QTemporaryDir dir;
  // A name with blanks and a letter beyond ASCII.
  const QString input = dir.filePath("Grün site 1." + kind);
  const QString output = dir.filePath("Grün site 1." + fmt);
  QVERIFY(WriteSurveyFile(input.toStdString(), {records.begin(), records.end()}, recordLength));

  const Run run = RunTable({input, output});
  QCOMPARE(run.err, QString());
  QCOMPARE(run.code, 0);
  QCOMPARE(run.out, input + " -> " + output + ": " + QString::number(expected.size()) +
                        " records written, 0 skipped\n");

  QList<bool> text;
  for (const QString& c : columns)
    text << (c == "SECTION" || c == "STN. NAME" || c.startsWith("Item"));
  if (fmt == "gpkg") {
    for (QString& c : columns) c = GpkgName(c);
    // Whole numbers are integers: the record number, and the NEH code and line marker.
    const QString fields = Ogrinfo({"-ro", "-so", output, "Grün site 1"});
    QVERIFY2(fields.contains("pt: Integer64"), qPrintable(fields));
    if (kind == "NEH")
      QVERIFY(fields.contains("code: Integer64") && fields.contains("line: Integer64"));
  }
  const QList<QStringList> rows = QueryRows(output, SelectAll("Grün site 1", columns, text));
  QCOMPARE(rows.size(), expected.size());
  for (int r = 0; r < rows.size(); ++r) {
    QCOMPARE(rows[r].size(), columns.size());
    for (int c = 0; c < columns.size(); ++c) {
      const QString what = columns[c] + " of row " + QString::number(r);
      if (text[c] || c == 0) {
        QVERIFY2(rows[r][c] == expected[r][c], qPrintable(what + ": " + rows[r][c]));
      } else {
        // The very double: XLSX keeps 16 digits, which these values never need.
        QVERIFY2(rows[r][c].toDouble() == expected[r][c].toDouble(),
                 qPrintable(what + ": " + rows[r][c] + " != " + expected[r][c]));
      }
    }
  }
}

void TestTableExport::pointsInTheirCrs_data() {
  QTest::addColumn<QString>("crs");
  QTest::addColumn<QString>("srsText");
  QTest::newRow("default Hong Kong 1980 Grid") << ""
                                               << "ID[\"EPSG\",2326]]";
  QTest::newRow("UTM 50N") << "EPSG:32650"
                           << "ID[\"EPSG\",32650]]";
  QTest::newRow("PROJ string") << "+proj=tmerc +lat_0=22.3121333333333 +lon_0=114.178555555556 "
                                  "+k=1 +x_0=836694.05 +y_0=819069.8 +ellps=intl +units=m"
                               << "Transverse Mercator";
  // GeoPackage's undefined Cartesian system, not the undefined geographic one (degrees).
  QTest::newRow("none") << "none"
                        << "ENGCRS[\"Undefined Cartesian SRS\"";
}

void TestTableExport::pointsInTheirCrs() {
  if (!HaveOgrinfo()) QSKIP("ogrinfo (gdal-bin) is not installed");
  QFETCH(QString, crs);
  QFETCH(QString, srsText);
  QTemporaryDir dir;
  const QString input = dir.filePath("pts.NEH"), output = dir.filePath("pts.gpkg");
  QVERIFY(WriteSurveyFile(input.toStdString(),
                          {{-820010.5, 836010.25, testsupport::PackHeight(12.921, 1)},
                           {820000.125, 836000.0625, -30002.5}},
                          24));
  QStringList args{input, output};
  if (!crs.isEmpty()) args << "--crs" << crs;
  QCOMPARE(RunTable(args).code, 0);
  const QString summary = Ogrinfo({"-ro", "-so", output, "pts"});
  QVERIFY2(summary.contains("Geometry: 3D Point"), qPrintable(summary));
  QVERIFY2(summary.contains("Feature Count: 2"), qPrintable(summary));
  QVERIFY2(summary.contains(srsText), qPrintable(summary));
  // Points at (easting, northing, height), the northing without its line marker; in
  // another system transformed into it, never the grid values under its name.
  const QString all = Ogrinfo({"-ro", "-al", "-q", output});
  if (crs.isEmpty() || crs == "none" || crs == "EPSG:32650") {
    const bool grid = crs != "EPSG:32650";
    QCOMPARE(all.contains("POINT Z (836010.25 820010.5 12.921)"), grid);
    QCOMPARE(all.contains("POINT Z (836000.0625 820000.125 -2.5)"), grid);
  }
}

// The control of a job is on the map: stations (with their heights), chainage points and
// setting-out points are points of a GeoPackage at their easting and northing.
void TestTableExport::controlOnTheMap_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("length");
  QTest::addColumn<QVariantList>("record");  // fields after the first, as written
  QTest::addColumn<QString>("point");
  QTest::newRow("station") << "C.STN" << 32
                           << QVariantList{QString("CP1"), 820010.5, 836020.25, 12.5}
                           << "POINT Z (836020.25 820010.5 12.5)";
  QTest::newRow("chainage") << "C.CHG" << 40 << QVariantList{100.0, 45.0, 820030.5, 836040.25, 0.0}
                            << "POINT (836040.25 820030.5)";
  QTest::newRow("setting out") << "C.SOL" << 32 << QVariantList{100.0, 820050.5, 836060.25, 90.0}
                               << "POINT (836060.25 820050.5)";
}

void TestTableExport::controlOnTheMap() {
  if (!HaveOgrinfo()) QSKIP("ogrinfo (gdal-bin) is not installed");
  QFETCH(QString, name);
  QFETCH(int, length);
  QFETCH(QVariantList, record);
  QFETCH(QString, point);
  testsupport::Record r;
  for (const QVariant& v : record)
    r.push_back(v.typeId() == QMetaType::QString ? testsupport::Field(v.toString().toStdString())
                                                 : testsupport::Field(v.toDouble()));
  QTemporaryDir dir;
  const QString input = dir.filePath(name), output = dir.filePath("c.gpkg");
  QVERIFY(WriteSurveyFile(input.toStdString(), {r}, length));
  QCOMPARE(RunTable({input, output}).code, 0);
  const QString all = Ogrinfo({"-ro", "-al", "-q", output});
  QVERIFY2(all.contains(point), qPrintable(all));
}

void TestTableExport::fullPrecision() {
  if (!HaveOgrinfo()) QSKIP("ogrinfo (gdal-bin) is not installed");
  // Values that need all 17 digits; 15 digits (GDAL's own text for reals) would change them.
  const double a = 0.1 + 0.2, b = 836010.0 + 1.0 / 3.0, c = 1.0e-300 * 7.0;
  for (const char* fmt : {"csv", "gpkg"}) {
    QTemporaryDir dir;
    const QString input = dir.filePath("p.SOL"), output = dir.filePath(QString("p.") + fmt);
    QVERIFY(WriteSurveyFile(input.toStdString(), {{a, b, b, c}}, 32));
    QCOMPARE(RunTable({input, output}).code, 0);
    const QList<QStringList> rows =
        QueryRows(output, SelectAll("p",
                                    {QString(fmt) == "gpkg" ? "pt" : "PT.", "CHAINAGE", "NORTHINGS",
                                     "EASTING", "TAN BRG"},
                                    {false, false, false, false, false}));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][1].toDouble(), a);
    QCOMPARE(rows[0][2].toDouble(), b);
    QCOMPARE(rows[0][4].toDouble(), c);
  }
}

void TestTableExport::badRecordsSkippedAndCounted() {
  if (!HaveOgrinfo()) QSKIP("ogrinfo (gdal-bin) is not installed");
  QTemporaryDir dir;
  const QString input = dir.filePath("bad.NEH"), output = dir.filePath("bad.gpkg");
  QVERIFY(WriteSurveyFile(input.toStdString(),
                          {{1.0, 2.0, 3.0},
                           {kNaN, 2.0, 3.0},
                           {1.0, 2.0, -kInf},
                           {4.0, 5.0, 6.0},
                           {1.0, kInf, 1.0},
                           {1.0, 1.0, kNaN},
                           {7.0, 8.0, 9.0}},
                          24));
  // A trailing partial record is not a record.
  std::ofstream(input.toStdString(), std::ios::app | std::ios::binary) << std::string(20, '\x7f');
  const Run run = RunTable({input, output});
  QCOMPARE(run.code, 0);
  QCOMPARE(run.out,
           input + " -> " + output +
               ": 3 records written, 4 skipped (not a number or infinite: records 2, 3, 5, 6)\n");
  const QList<QStringList> rows = QueryRows(output, "SELECT pt AS c0 FROM bad ORDER BY 1");
  QCOMPARE(rows, (QList<QStringList>{{"1"}, {"4"}, {"7"}}));
}

void TestTableExport::problems_data() {
  QTest::addColumn<QString>("inputName");
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QStringList>("args");  // {in}, {out}, {dir} replaced
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("err");

  const QByteArray one(24, '\x01');
  QByteArray nan8(8, '\0');
  nan8[6] = '\xf8';
  nan8[7] = '\x7f';
  QTest::newRow("empty file") << "a.NEH" << QByteArray() << QStringList{"{in}", "{out}"} << 1
                              << "surveyexport: {in}: the file is empty\n";
  QTest::newRow("shorter than a record")
      << "a.DAT" << QByteArray(39, 'x') << QStringList{"{in}", "{out}"} << 1
      << "surveyexport: {in}: holds no records (39 bytes, less than one record of 40 bytes)\n";
  QTest::newRow("only empty records")
      << "a.STN" << QByteArray(96, '\0') << QStringList{"{in}", "{out}"} << 1
      << "surveyexport: {in}: holds no records (all 3 records are empty)\n";
  QTest::newRow("only not-a-number records")
      << "a.NEH" << nan8 + nan8 + nan8 << QStringList{"{in}", "{out}"} << 1
      << "surveyexport: {in}: no record could be exported (its 1 record holds a value that is not "
         "a "
         "number or infinite)\n";
  QTest::newRow("unknown input extension")
      << "a.TXT" << one << QStringList{"{in}", "{out}"} << 1
      << "surveyexport: {in}: not a survey file (the name must end in .DAT .NEH .SEC .STN .CHG "
         ".PTS or .SOL)\n";
  QTest::newRow("missing input") << "a.NEH" << QByteArray()
                                 << QStringList{"{dir}/gone.NEH", "{out}"} << 1
                                 << "surveyexport: {dir}/gone.NEH: no such file\n";
  QTest::newRow("unknown output extension")
      << "a.NEH" << one << QStringList{"{in}", "{dir}/a.dxf"} << 2
      << "surveyexport: table: {dir}/a.dxf: unknown kind of output (table writes .gpkg .csv "
         ".xlsx)\n"
         "Try 'surveyexport --help'.\n";
  QTest::newRow("unknown CRS") << "a.NEH" << one
                               << QStringList{"{in}", "--crs", "EPSG:99999", "{out}"} << 2
                               << "surveyexport: table: unknown CRS 'EPSG:99999'\n"
                                  "Try 'surveyexport --help'.\n";
  // A CRS is never fetched from the network.
  QTest::newRow("CRS at a web address")
      << "a.NEH" << one << QStringList{"{in}", "--crs", "http://x/crs", "{out}"} << 2
      << "surveyexport: table: CRS 'http://x/crs' names a file or a "
         "network resource: give the system inline (EPSG:n, a PROJ "
         "string, WKT)\nTry 'surveyexport --help'.\n";
  QTest::newRow("folder that is not there")
      << "a.NEH" << one << QStringList{"{in}", "{dir}/no/a.csv"} << 1
      << "surveyexport: cannot write to folder {dir}/no: no such folder\n";
  QTest::newRow("no output") << "a.NEH" << one << QStringList{"{in}"} << 2
                             << "surveyexport: table: no output named after {in}\n"
                                "Try 'surveyexport --help'.\n";
  QTest::newRow("unknown option") << "a.NEH" << one << QStringList{"{in}", "--overwrit", "{out}"}
                                  << 2
                                  << "surveyexport: table: unknown option '--overwrit'\n"
                                     "Try 'surveyexport --help'.\n";
  QTest::newRow("format table cannot write")
      << "a.NEH" << one << QStringList{"{in}", "--output-dir", "{dir}", "--format", "dxf"} << 2
      << "surveyexport: table: --format dxf is not one of gpkg csv xlsx\n"
         "Try 'surveyexport --help'.\n";
}

void TestTableExport::problems() {
  QFETCH(QString, inputName);
  QFETCH(QByteArray, bytes);
  QFETCH(QStringList, args);
  QFETCH(int, code);
  QFETCH(QString, err);
  QTemporaryDir dir;
  const QString input = dir.filePath(inputName);
  QVERIFY(testsupport::WriteBytes(input.toStdString(), bytes.toStdString()));
  auto fill = [&](QString s) {
    return s.replace("{in}", input)
        .replace("{out}", dir.filePath("out.csv"))
        .replace("{dir}", dir.path());
  };
  QStringList words;
  for (const QString& a : args) words << fill(a);
  const Run run = RunTable(words);
  QCOMPARE(run.err, fill(err));
  QCOMPARE(run.code, code);
  QCOMPARE(run.out, QString());
  // Nothing is left behind: only the input is in the folder.
  QCOMPARE(FilesIn(dir.path()), 1);
}

void TestTableExport::severalInputs() {
  if (!HaveOgrinfo()) QSKIP("ogrinfo (gdal-bin) is not installed");
  QTemporaryDir dir;
  // The output folder is made by the export.
  const QString in = dir.filePath("in"), out = dir.filePath("out é/sub");
  QVERIFY(QDir().mkpath(in));
  QVERIFY(
      WriteSurveyFile((in + "/SITE.NEH").toStdString(), {{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}}, 24));
  QVERIFY(WriteSurveyFile(
      (in + "/ROAD.SEC").toStdString(),
      {{std::string("A"), std::string("100")}, {std::string("1"), std::string("2")}}, 16));
  // One input missing: the others are still written, the run ends with exit code 1.
  Run run = RunTable({in + "/SITE.NEH", in + "/GONE.STN", in + "/ROAD.SEC", "--output-dir", out,
                      "--format", "GPKG"});
  QCOMPARE(run.code, 1);
  QCOMPARE(run.err, "surveyexport: " + in + "/GONE.STN: no such file\n");
  QCOMPARE(run.out, in + "/SITE.NEH -> " + out + "/SITE.gpkg: 2 records written, 0 skipped\n" + in +
                        "/ROAD.SEC -> " + out + "/ROAD.gpkg: 1 record written, 0 skipped\n");
  QVERIFY(Ogrinfo({"-ro", "-so", out + "/SITE.gpkg", "SITE"}).contains("Feature Count: 2"));
  QVERIFY(Ogrinfo({"-ro", "-so", out + "/ROAD.gpkg", "ROAD"}).contains("Feature Count: 1"));
  QCOMPARE(FilesIn(out), 2);

  // Two inputs of one base name: the kind goes into the outputs' names.
  QVERIFY(
      WriteSurveyFile((in + "/SITE.STN").toStdString(), {{std::string("A"), 1.0, 2.0, 3.0}}, 32));
  run = RunTable({in + "/SITE.NEH", in + "/SITE.STN", "--output-dir", out, "--format", "csv"});
  QCOMPARE(run.code, 0);
  QVERIFY(QFileInfo::exists(out + "/SITE-NEH.csv") && QFileInfo::exists(out + "/SITE-STN.csv"));
  // ... and into the names of their tables, which a GIS lists side by side.
  run = RunTable({in + "/SITE.NEH", in + "/SITE.STN", "--output-dir", out, "--format", "gpkg"});
  QVERIFY(Ogrinfo({"-ro", "-so", out + "/SITE-STN.gpkg", "SITE-STN"}).contains("Feature Count: 1"));
  // The same name and kind twice would overwrite one output: nothing is written.
  QVERIFY(QDir().mkpath(in + "/b"));
  QVERIFY(QFile::copy(in + "/SITE.STN", in + "/b/SITE.STN"));
  run = RunTable(
      {in + "/SITE.STN", in + "/b/SITE.STN", "--output-dir", out + "/two", "--format", "csv"});
  QCOMPARE(run.code, 1);
  QCOMPARE(run.err, "surveyexport: " + in + "/SITE.STN and " + in +
                        "/b/SITE.STN would both be written to " + out +
                        "/two/SITE-STN.csv: export them one at a time\n");
  QCOMPARE(FilesIn(out + "/two"), 0);
}

void TestTableExport::realProgram() {
  QTemporaryDir dir;
  const QString input = dir.filePath("long.NEH"), output = dir.filePath("long.csv");
  std::vector<Record> records;
  for (int i = 1; i <= 20000; ++i) records.push_back({820000.0 + i, 836000.0 + i, 10005.5});
  QVERIFY(WriteSurveyFile(input.toStdString(), records, 24));
  QProcess p;
  p.start(SURVEYEXPORT_BIN, {"table", input, output});
  QVERIFY(p.waitForFinished(120000));
  QCOMPARE(p.exitCode(), 0);
  QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
           input + " -> " + output + ": 20000 records written, 0 skipped\n");
  // GDAL's terminal progress on standard error for a long file.
  const QString progress = QString::fromUtf8(p.readAllStandardError());
  QVERIFY2(progress.startsWith("0...10...20...30...40...50...60...70...80...90...100 - done."),
           qPrintable(progress));
  QFile csv(output);
  QVERIFY(csv.open(QIODevice::ReadOnly));
  QCOMPARE(csv.readLine(), QByteArray("PT.,NORTHINGS,EASTINGS,HEIGHT,CODE,LINE\n"));
  QCOMPARE(csv.readLine(), QByteArray("1,820001,836001,5.5,1,0\n"));

  // --quiet: no bar; a usage error: exit code 2.
  p.start(SURVEYEXPORT_BIN, {"table", "--quiet", "--overwrite", input, output});
  QVERIFY(p.waitForFinished(120000));
  QCOMPARE(p.exitCode(), 0);
  QCOMPARE(p.readAllStandardError(), QByteArray());
  p.start(SURVEYEXPORT_BIN, {"table", input});
  QVERIFY(p.waitForFinished(60000));
  QCOMPARE(p.exitCode(), 2);
}

void TestTableExport::worksheetTooSmall() {
  // More rows than a worksheet holds: refused, not cut short.
  QTemporaryDir dir;
  surveyexport::TableOptions options;
  options.input = dir.filePath("a.NEH").toStdString();
  options.output = dir.filePath("a.xlsx").toStdString();
  options.xlsxRowLimit = 3;
  QVERIFY(WriteSurveyFile(options.input, {{1.0, 1.0, 1.0}, {2.0, 2.0, 2.0}, {3.0, 3.0, 3.0}}, 24));
  surveyexport::TableSummary summary;
  QCOMPARE(surveyexport::ExportTable(options, &summary), std::string());
  QVERIFY(WriteSurveyFile(
      options.input, {{1.0, 1.0, 1.0}, {2.0, 2.0, 2.0}, {3.0, 3.0, 3.0}, {4.0, 4.0, 4.0}}, 24));
  options.overwrite = true;
  QCOMPARE(surveyexport::ExportTable(options, &summary),
           options.input +
               ": more than 3 rows, more than a worksheet holds: write .csv or .gpkg instead");
  QCOMPARE(FilesIn(dir.path()), 2);  // the input and the first output, unchanged
  // Rows are counted before the work, and an empty record is no row.
  QVERIFY(WriteSurveyFile(
      options.input, {{1.0, 1.0, 1.0}, {2.0, 2.0, 2.0}, {3.0, 3.0, 3.0}, {0.0, 0.0, 0.0}}, 24));
  QCOMPARE(surveyexport::ExportTable(options, &summary), std::string());
}

void TestTableExport::worksheetNames_data() {
  QTest::addColumn<QByteArray>("stem");  // the file name's bytes
  QTest::addColumn<QString>("sheet");
  QTest::addColumn<QString>("output");
  // A 31st letter of two bytes was cut in half and the whole name came out as "?".
  QTest::newRow("long, beyond ASCII")
      << QString(40, QChar(0xC4)).toUtf8() << QString(31, QChar(0xC4)) << "w.xlsx";
  QTest::newRow("Excel's forbidden letters") << QByteArray("a[b]c") << "a_b_c"
                                             << "w.xlsx";
  QTest::newRow("Excel's own name") << QByteArray("History") << "History_"
                                    << "w.xlsx";
  // A file name in Latin-1 (byte C4 alone) gives a valid UTF-8 name.
  QTest::newRow("Latin-1 file name")
      << QByteArray("\xC4x") << QString::fromUtf8("\u00C4x") << "w.xlsx";
  // GeoPackage refused a layer named "-x" ("may not contain special characters").
  QTest::newRow("GeoPackage, leading dash") << QByteArray("-x") << "_x"
                                            << "w.gpkg";
  QTest::newRow("GeoPackage, gpkg prefix") << QByteArray("gpkg_site") << "_gpkg_site"
                                           << "w.gpkg";
}

void TestTableExport::worksheetNames() {
  if (!HaveOgrinfo()) QSKIP("ogrinfo (gdal-bin) is not installed");
  QFETCH(QByteArray, stem);
  QFETCH(QString, sheet);
  QFETCH(QString, output);
  QTemporaryDir dir;
  const std::string input = dir.path().toStdString() + "/" + stem.toStdString() + ".NEH";
  output = dir.filePath(output);
  QVERIFY(WriteSurveyFile(input, {{1.0, 2.0, 3.0}}, 24));
  std::ostringstream out, err;
  QCOMPARE(surveyexport::RunSurveyExport({"table", input, output.toStdString()}, out, err), 0);
  const QString pt = output.endsWith(".gpkg") ? "pt" : "\"PT.\"";
  QCOMPARE(QueryRows(output, "SELECT " + pt + " AS c0 FROM \"" + sheet + "\"").size(), 1);
}

void TestTableExport::interruptedLeavesNothing() {
  // Ctrl+C while a GeoPackage is written leaves neither the output nor its temporary file.
  QTemporaryDir dir;
  const QString input = dir.filePath("big.NEH"), output = dir.filePath("big.gpkg");
  std::vector<Record> records;
  for (int i = 1; i <= 400000; ++i) records.push_back({820000.0 + i, 836000.0 + i, 10005.5});
  QVERIFY(WriteSurveyFile(input.toStdString(), records, 24));
  QProcess p;
  p.start(SURVEYEXPORT_BIN, {"table", "--quiet", input, output});
  QVERIFY(p.waitForStarted());
  bool seen = false;
  for (int i = 0; i < 6000 && !seen && p.state() == QProcess::Running; ++i) {
    seen = QDir(dir.path()).entryList({".big.partial-*"}, QDir::Files | QDir::Hidden).size() > 0;
    if (!seen) QThread::msleep(10);
  }
  if (!seen) QSKIP("the export ended before its temporary file was seen");
  QThread::msleep(200);
  if (p.state() != QProcess::Running) QSKIP("the export ended before it could be interrupted");
  ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  QVERIFY(p.waitForFinished(60000));
  QCOMPARE(p.exitStatus(), QProcess::CrashExit);
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"big.NEH"});
}

QTEST_GUILESS_MAIN(TestTableExport)
#include "tst_table_export.moc"
