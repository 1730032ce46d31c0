// surveyexport plan: every output read back with readers of its own (GDAL's ogrinfo,
// ezdxf, PROJ's cs2cs, the converter's hkconvert), never with the exporter's code.
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "export/cli.h"
#include "export_test_tools.h"
#include "survey_writer.h"

namespace fs = std::filesystem;

namespace {

struct Rec {
  double n, e, s;
};

// Two single points, a coded line (fence, code 13: green dash-dot) of three records, a
// change of style inside a line (codes 21 then 5), a damaged record and an unused slot.
const std::vector<Rec> kMain{{820100.125, 836010.5, 10012.5},
                             {820105.25, 836020.75, 10013.0},
                             {-820110.5, 836030.25, 130014.5},
                             {820120.75, 836040.5, 130015.25},
                             {-820130.25, 836050.125, 130016},
                             {-820140.5, 836060.25, 210017.5},
                             {820150.75, 836070.5, 210018.25},
                             {820160.125, 836080.75, 50019},
                             {-820170.5, 836090.25, 50020.5},
                             {std::numeric_limits<double>::quiet_NaN(), 836095, 0},
                             {0, 0, 0}};
const std::vector<Rec> kRef{{-820090, 836000, 0},
                            {820090, 836100, 0},
                            {-820180, 836100, 0},
                            {820185.5, 836005.5, 900021.75}};

void WriteNeh(const fs::path& p, const std::vector<Rec>& recs) {
  std::vector<testsupport::Record> records;
  for (const Rec& r : recs) records.push_back({r.n, r.e, r.s});
  QVERIFY(testsupport::WriteSurveyFile(p.string(), records, 24));
}

using Result = exporttest::Run;
Result Export(const QStringList& words) { return exporttest::Export("plan", words); }

QString Run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted(10000)) return "cannot start " + program;
  if (!input.isEmpty()) p.write(input);
  p.closeWriteChannel();
  p.waitForFinished(60000);
  return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

// "Layer name: X ... Feature Count: N" of ogrinfo -so -al.
QMap<QString, int> FeatureCounts(const QString& path) {
  QMap<QString, int> counts;
  const QString text = Run("ogrinfo", {"-ro", "-so", "-al", path});
  QString layer;
  for (const QString& line : text.split('\n')) {
    if (line.startsWith("Layer name: ")) layer = line.mid(12).trimmed();
    if (line.startsWith("Feature Count: ")) counts[layer] = line.mid(15).toInt();
  }
  return counts;
}

// The coordinates of every POINT in ogrinfo's listing, with the number field before it.
QMap<qlonglong, QVector<double>> ListedPoints(const QString& path, const QString& layer) {
  QMap<qlonglong, QVector<double>> points;
  const QString text = Run("ogrinfo", {"-ro", "-al", "-q", path, layer});
  const QRegularExpression number(R"(^\s*number \(\w+\) = (\d+))");
  const QRegularExpression point(R"(^\s*POINT Z? ?\(([-\d.e+ ]+)\))");
  qlonglong current = -1;
  for (const QString& line : text.split('\n')) {
    if (auto m = number.match(line); m.hasMatch()) current = m.captured(1).toLongLong();
    if (auto m = point.match(line); m.hasMatch() && current >= 0) {
      QVector<double> v;
      for (const QString& x : m.captured(1).split(' ', Qt::SkipEmptyParts)) v << x.toDouble();
      points[current] = v;
    }
  }
  return points;
}

// Every feature of ogrinfo's listing: field -> value, "type:field" -> its type, "Style" ->
// the OGR style string.
QVector<QMap<QString, QString>> Features(const QString& path, const QString& layer = {}) {
  QVector<QMap<QString, QString>> features;
  QStringList args{"-ro", "-al", "-q", path};
  if (!layer.isEmpty()) args << layer;
  const QRegularExpression field(R"(^  ([\w-]+) \(([\w()]+)\) = (.*)$)");
  for (const QString& line : Run("ogrinfo", args).split('\n')) {
    if (line.startsWith("OGRFeature(")) features.append(QMap<QString, QString>());
    if (features.isEmpty()) continue;
    if (auto m = field.match(line); m.hasMatch()) {
      features.last()[m.captured(1)] = m.captured(3);
      features.last()["type:" + m.captured(1)] = m.captured(2);
    }
    if (line.startsWith("  Style = ")) features.last()["Style"] = line.mid(10);
  }
  return features;
}

// The shared styles of a KML as Google Earth looks them up: each <Style id>'s colour
// ("LineStyle ff00ff00", "IconStyle ff00ffff"), and the faults: an id defined twice, a
// placemark with a style of its own or without a styleUrl naming a style defined.
struct KmlStyles {
  QMap<QString, QString> colour;
  int placemarks = 0, faults = 0;
};
KmlStyles ReadKmlStyles(const QString& path) {
  KmlStyles k;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return k;
  QXmlStreamReader xml(&file);
  QString id, element;
  QStringList urls;
  for (bool inPlacemark = false; !xml.atEnd();) {
    xml.readNext();
    if (xml.isEndElement() && xml.name() == u"Placemark") inPlacemark = false;
    if (!xml.isStartElement()) continue;
    const QString name = xml.name().toString();
    if (name == "Placemark") {
      inPlacemark = true;
      ++k.placemarks;
    } else if (name == "Style") {
      id = xml.attributes().value("id").toString();
      k.faults += inPlacemark || k.colour.contains(id);
      k.colour[id] = "";
    } else if (name == "LineStyle" || name == "IconStyle") {
      element = name;
    } else if (name == "color" && !element.isEmpty()) {
      k.colour[id] = element + " " + xml.readElementText();
      element.clear();  // the LabelStyle's is the label's
    } else if (name == "styleUrl") {
      urls << xml.readElementText();
    }
  }
  for (const QString& url : urls) k.faults += !k.colour.contains(url.mid(1));
  k.faults += k.placemarks - static_cast<int>(urls.size());
  if (xml.hasError()) k.placemarks = -1;
  return k;
}

}  // namespace

class TestPlanExport : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QString main_, ref_, zero_;
  QString Path(const QString& name) const { return dir_.filePath(name); }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    main_ = Path("Site Plan é.NEH");  // a blank and a non-ASCII letter in the name
    ref_ = Path("REF.NEH");
    WriteNeh(main_.toStdString(), kMain);
    WriteNeh(ref_.toStdString(), kRef);
    // A point, and a line of style digit 0 (code 10) from record 2 to 3.
    zero_ = Path("ZERO.NEH");
    WriteNeh(zero_.toStdString(),
             {{820100, 836010, 10012.5}, {-820110, 836020, 100013}, {-820120, 836030, 100014}});
  }

  // Counts per layer as ogrinfo sees them, in every format. 9 records of the main file
  // have positions; its lines are the fence (records 3-5), the kerb (6-7, style 1) and
  // the centreline going on from 7 (7-9, style 5); the reference holds 4 points, 1 line.
  void counts_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("layers");
    QTest::addColumn<QList<int>>("counts");
    QTest::newRow("gpkg") << "c.gpkg" << QStringList{"points", "lines", "ref_points", "ref_lines"}
                          << QList<int>{9, 3, 4, 1};
    QTest::newRow("geojson") << "c.geojson" << QStringList{"plan"} << QList<int>{17};
    QTest::newRow("kml") << "c.kml" << QStringList{"plan"} << QList<int>{17};
    QTest::newRow("csv") << "c.csv" << QStringList{"c"} << QList<int>{13};
    QTest::newRow("dxf") << "c.dxf" << QStringList{"entities"} << QList<int>{17};
  }
  void counts() {
    QFETCH(QString, output);
    QFETCH(QStringList, layers);
    QFETCH(QList<int>, counts);
    const Result r = Export({main_, "--reference", ref_, Path(output)});
    QCOMPARE(r.code, 0);
    QVERIFY2(QString::fromStdString(r.out).contains("1 records skipped"), r.out.c_str());
    QVERIFY2(QString::fromStdString(r.out).contains("1 unused records"), r.out.c_str());
    const QMap<QString, int> seen = FeatureCounts(Path(output));
    for (int i = 0; i < layers.size(); ++i) QCOMPARE(seen.value(layers[i], -1), counts[i]);
  }

  // GeoPackage points: the file's doubles exactly, Z the decoded height (flat with --2d),
  // in EPSG:2326 unless told otherwise.
  void geopackage_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("crs");
    QTest::addColumn<bool>("flat");
    QTest::newRow("default") << QStringList{} << "EPSG\",2326" << false;
    QTest::newRow("2d, other crs")
        << QStringList{"--2d", "--crs", "EPSG:2326"} << "EPSG\",2326" << true;
    QTest::newRow("no crs") << QStringList{"--crs", "none"} << "Undefined" << false;
  }
  void geopackage() {
    QFETCH(QStringList, options);
    QFETCH(QString, crs);
    QFETCH(bool, flat);
    const QString out =
        Path(QString("g%1.gpkg").arg(QTest::currentDataTag()).remove(' ').remove(','));
    QCOMPARE(Export(QStringList{main_} + options + QStringList{out}).code, 0);
    QVERIFY(Run("ogrinfo", {"-ro", "-so", out, "points"}).contains(crs));
    const auto points = ListedPoints(out, "points");
    QCOMPARE(points.size(), 9);
    for (int i = 0; i < 9; ++i) {
      const QVector<double> p = points.value(i + 1);
      QCOMPARE(p.size(), flat ? 2 : 3);
      QCOMPARE(p[0], kMain[i].e);
      QCOMPARE(p[1], std::fabs(kMain[i].n));
      if (!flat) QCOMPARE(p[2], std::fmod(kMain[i].s, 10000.0));
    }
  }

  // The DXF as a CAD program reads it: ezdxf's audit, layers, linetypes, colours, texts.
  void dxf() {
    const QString out = Path("site.dxf");
    QCOMPARE(Export({main_, "--reference", ref_, "--numbers", "--levels", out}).code, 0);
    const QString script = R"PY(
import sys, ezdxf
from collections import Counter
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
print("errors", len(auditor.errors))
print("insunits", doc.header.get("$INSUNITS"))
msp = doc.modelspace()
for (t, l), n in sorted(Counter((e.dxftype(), e.dxf.layer) for e in msp).items()):
    print("count", t, l, n)
for e in msp.query("POLYLINE"):
    print("line", e.dxf.layer, e.dxf.linetype, e.dxf.color, len(list(e.vertices)),
          "3d" if e.is_3d_polyline else "2d")
for e in msp.query("TEXT"):
    print("text", e.dxf.layer, repr(e.dxf.text), e.dxf.rotation, e.dxf.color)
print("ltypes", " ".join(sorted(lt.dxf.name.upper() for lt in doc.linetypes)))
for lt in doc.linetypes:
    tags = lt.pattern_tags.tags
    total, parts = sum(t.value for t in tags if t.code == 40), sum(abs(t.value) for t in tags if t.code == 49)
    print("ltype", lt.dxf.name.upper(), "consistent" if abs(total - parts) < 1e-9 else total)
# Each text's box in the frame of the text line (all texts share the angle): from its
# top-left corner, a text height down and a height a letter along.
import math
boxes = []
for e in msp.query("TEXT"):
    h, a = e.dxf.height, math.radians(e.dxf.rotation)
    at = e.dxf.align_point if e.dxf.valign == 3 else e.dxf.insert
    x, y = at.x, at.y
    u, v = x * math.cos(a) + y * math.sin(a), y * math.cos(a) - x * math.sin(a)
    boxes.append((u, u + h * len(e.dxf.text), v - h, v))
lo, hi = doc.header["$EXTMIN"], doc.header["$EXTMAX"]
at = [e.dxf.location for e in msp.query("POINT")] + [e.dxf.insert for e in msp.query("TEXT")] + \
     [v.dxf.location for p in msp.query("POLYLINE") for v in p.vertices]
print("outside extents", sum(1 for p in at if not (lo[0] <= p[0] <= hi[0] and lo[1] <= p[1] <= hi[1])))
print("overlapping labels", sum(1 for i, p in enumerate(boxes) for q in boxes[:i]
      if p[0] < q[1] and q[0] < p[1] and p[2] < q[3] and q[2] < p[3]))
)PY";
    const QString text = Run("/usr/bin/python3", {"-c", script, out});
    QVERIFY2(text.contains("errors 0\n"), qPrintable(text));
    // An R12 drawing states no $INSUNITS (a later variable that readers scale it by).
    QVERIFY(text.contains("insunits None\n"));
    QVERIFY2(text.contains("overlapping labels 0\n"), qPrintable(text));
    QVERIFY2(text.contains("outside extents 0\n"), qPrintable(text));  // the reference's too
    QVERIFY(text.contains("count POINT POINTS 9\n"));
    QVERIFY(text.contains("count POINT REF_POINTS 4\n"));
    QVERIFY(text.contains("count TEXT NUMBERS 13\n"));
    QVERIFY(text.contains("count TEXT LEVELS 13\n"));
    // Fence: code 13, green dash-dot; kerb code 21: red dashed; centreline code 5: blue.
    QVERIFY2(text.contains("line LINES_3 DASHDOT 3 3 3d\n"), qPrintable(text));
    QVERIFY(text.contains("line LINES_1 DASHED 1 2 3d\n"));
    QVERIFY(text.contains("line LINES_5 CONTINUOUS 5 3 3d\n"));
    QVERIFY(text.contains("line REF_LINES CONTINUOUS 5 3 3d\n"));
    // The names CAD programs ship (LibreCAD draws only those dashed), each pattern's length
    // the sum of its elements.
    QVERIFY(text.contains("ltypes BYBLOCK BYLAYER CONTINUOUS DASHDOT DASHED DIVIDE DOT\n") ||
            text.contains("ltypes CONTINUOUS DASHDOT DASHED DIVIDE DOT\n"));
    for (const char* lt : {"CONTINUOUS", "DASHED", "DOT", "DASHDOT", "DIVIDE"})
      QVERIFY2(text.contains(QString("ltype %1 consistent\n").arg(lt)), qPrintable(text));
    // The texts the plotter writes, turned by 10 degrees: green numbers, levels in white
    // (7), the reference's in blue.
    QVERIFY(text.contains("text NUMBERS ' 1' 10.0 3\n"));
    QVERIFY(text.contains("text LEVELS ' 12.50' 10.0 7\n"));
    QVERIFY(text.contains("text LEVELS ' 21.75' 10.0 5\n"));
  }

  // The colour and dash of every line as the pass resolves them, in every GIS format: the
  // fence (code 13) green dash-dot, the kerb (21) red dashed, the centreline going on from
  // it (5) blue, the reference's line blue; points yellow, the reference's blue. Style 0
  // (ZERO.NEH) black on the white maps of GeoPackage and GeoJSON, white on Google Earth's
  // imagery. KML: the placemark's shared style has the colour, every style is defined
  // once and every placemark names one.
  void styles_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("layer");
    QTest::addColumn<QString>("key");  // the feature: first (lines) or number (points)
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("dash");
    const QString formats[] = {"s.gpkg", "s.geojson", "s.kml"};
    for (const QString& f : formats) {
      const bool gpkg = f.endsWith("gpkg");
      const auto row = [&](const char* layer, const char* key, const char* v, const char* c,
                           const char* d) {
        QTest::addRow("%s %s %s", qPrintable(f), layer, v)
            << f << QString(layer) << QString(key) << QString(v) << QString(c) << QString(d);
      };
      row("lines", "first", "3", "#00ff00", "dash dot");
      row("lines", "first", "6", "#ff0000", "dash");
      row("lines", "first", "7", "#0000ff", "solid");
      row("ref_lines", "first", "1", "#0000ff", "solid");
      row("points", "number", "1", "#ffff00", "");
      if (gpkg || f.endsWith("kml")) row("ref_points", "number", "4", "#0000ff", "");
    }
    const auto zero = [](const char* f, const char* c) {
      QTest::addRow("%s style 0", f) << QString(f) << QString("lines") << QString("first")
                                     << QString("2") << QString(c) << QString("solid");
    };
    zero("z.gpkg", "#000000");
    zero("z.geojson", "#000000");
    zero("z.kml", "#ffffff");
  }
  void styles() {
    QFETCH(QString, output);
    QFETCH(QString, layer);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, colour);
    QFETCH(QString, dash);
    const QString out = Path(output);
    QStringList input{main_, "--reference", ref_};
    if (output.startsWith("z.")) input = QStringList{zero_};
    if (!QFile::exists(out)) QCOMPARE(Export(input + QStringList{out}).code, 0);
    const bool gpkg = output.endsWith("gpkg");
    const KmlStyles kml = output.endsWith("kml") ? ReadKmlStyles(out) : KmlStyles();
    QCOMPARE(kml.faults, 0);
    if (output == "s.kml") QCOMPARE(kml.placemarks, 17);
    int found = 0;
    for (const auto& f : Features(out, gpkg ? layer : "plan")) {
      if (f.value(key) != value || (!gpkg && f.value("layer") != layer)) continue;
      ++found;
      QCOMPARE(f.value("colour"), colour);
      QCOMPARE(f.value("dash"), dash);
      if (output.endsWith("geojson"))  // the simplestyle properties beside the fields
        QCOMPARE(f.value(dash.isEmpty() ? "marker-color" : "stroke"), colour);
      if (output.endsWith("kml")) {  // GDAL names the shared style "@id"; KML's aabbggrr
        const QString kmlColour = "ff" + colour.mid(5, 2) + colour.mid(3, 2) + colour.mid(1, 2);
        QCOMPARE(kml.colour.value(f.value("Style").mid(1)),
                 (dash.isEmpty() ? "IconStyle " : "LineStyle ") + kmlColour);
      }
    }
    QCOMPARE(found, 1);
  }

  // QGIS opens every GeoPackage layer in its default style from layer_styles: checked in
  // the table, and in QGIS's own drawing where QGIS is installed.
  void layerStyles() {
    const QString out = Path("styles.gpkg");
    QCOMPARE(Export({main_, "--reference", ref_, out}).code, 0);
    QStringList rows;
    for (const auto& f : Features(out, "layer_styles")) {
      rows << f.value("f_table_name") + " " + f.value("f_geometry_column") + " " +
                  f.value("useAsDefault");
    }
    const QString table = Run("ogrinfo", {"-ro", "-al", "-q", out, "layer_styles"});
    QCOMPARE(table.count(R"(name="field" value="colour")"), 4);  // colours from the field
    QCOMPARE(rows, QStringList(
                       {"points geom 1", "lines geom 1", "ref_points geom 1", "ref_lines geom 1"}));
    if (Run("/usr/bin/python3", {"-c", "import qgis.core; print('qgis')"}).trimmed() != "qgis")
      QSKIP("QGIS's Python bindings are not installed");
    const QString script = R"PY(
import sys
from qgis.core import QgsApplication, QgsVectorLayer, QgsMapSettings, QgsMapRendererSequentialJob
from qgis.PyQt.QtCore import QSize
from qgis.PyQt.QtGui import QColor
app = QgsApplication([], False); app.initQgis()
layer = QgsVectorLayer(sys.argv[1] + "|layername=lines", "lines", "ogr")
s = QgsMapSettings(); s.setLayers([layer]); s.setDestinationCrs(layer.crs())
s.setOutputSize(QSize(400, 400)); s.setExtent(layer.extent()); s.setBackgroundColor(QColor("white"))
job = QgsMapRendererSequentialJob(s); job.start(); job.waitForFinished()
image = job.renderedImage()
seen = {image.pixelColor(x, y).name() for x in range(400) for y in range(400)}
print(" ".join(sorted(c for c in seen if c in ("#00ff00", "#ff0000", "#0000ff"))))
)PY";
    QCOMPARE(
        Run("/usr/bin/python3", {"-c", script, out}).split('\n').filter(QRegularExpression("^#")),
        QStringList({"#0000ff #00ff00 #ff0000"}));
  }

  // Whole numbers as integers, names to type, and heights to the decimals the file holds
  // (a stored 10012.921 is 12.921, as `table` writes it) in every format.
  void fields_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("layer");
    QTest::addColumn<QStringList>("types");  // field:type
    QTest::newRow("gpkg points") << "h.gpkg"
                                 << "points"
                                 << QStringList{"number:Integer64", "code:Integer64",
                                                "line_marker:Integer", "height:Real"};
    QTest::newRow("gpkg lines") << "h.gpkg"
                                << "lines"
                                << QStringList{"first:Integer64", "last:Integer64", "style:Integer",
                                               "code:Integer64"};
    QTest::newRow("geojson") << "h.geojson"
                             << "plan"
                             << QStringList{"number:Integer", "code:Integer", "first:Integer",
                                            "stroke-width:Integer"};
    QTest::newRow("kml") << "h.kml"
                         << "plan"
                         << QStringList{"number:Integer", "code:Integer", "first:Integer",
                                        "last:Integer", "Name:String"};
    QTest::newRow("csv") << "h.csv"
                         << "h" << QStringList{"height:String", "colour:String"};
    QTest::newRow("dxf") << "h.dxf"
                         << "entities" << QStringList{"Layer:String"};
  }
  void fields() {
    QFETCH(QString, output);
    QFETCH(QString, layer);
    QFETCH(QStringList, types);
    const QString in = Path("HEIGHTS.NEH");
    WriteNeh(
        in.toStdString(),
        {{820100, 836010, 10012.921}, {-820110, 836020, 30014.201}, {-820120, 836030, 30015.5}});
    QCOMPARE(Export({in, "--overwrite", Path(output)}).code, 0);
    const auto features = Features(Path(output), layer);
    QVERIFY(!features.isEmpty());
    for (const QString& t : types) {
      const QString name = t.section(':', 0, 0);
      for (const auto& f : features) {
        if (f.contains("type:" + name)) QCOMPARE(f.value("type:" + name), t.section(':', 1));
      }
    }
    const QString listing = Run("ogrinfo", {"-ro", "-al", "-q", Path(output)});
    QVERIFY2(listing.contains("12.921") && listing.contains("14.201"), qPrintable(listing));
    QVERIFY2(!listing.contains("12.92100") && !listing.contains("14.20100"), qPrintable(listing));
  }

  // WGS 84 positions through PROJ (as cs2cs gives them) or through the suite's chain (as
  // hkconvert gives them), and the largest difference between the two in the summary.
  void wgs84_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("shift");
    QTest::newRow("geojson official") << "w.geojson"
                                      << "official";
    QTest::newRow("geojson suite") << "w.geojson"
                                   << "suite";
    QTest::newRow("kml official") << "w.kml"
                                  << "official";
    QTest::newRow("kml suite") << "w.kml"
                               << "suite";
    QTest::newRow("csv official") << "w.csv"
                                  << "official";
  }
  void wgs84() {
    QFETCH(QString, output);
    QFETCH(QString, shift);
    const QString out = Path(output);
    QStringList words{main_, "--datum-shift", shift, "--overwrite", out};
    if (output.endsWith(".csv")) words.prepend("--wgs84");  // the CSV's latitude and longitude
    const Result r = Export(words);
    QCOMPARE(r.code, 0);
    const QRegularExpression summary(R"(official and the suite datum shift: (\d+\.\d+) m)");
    const auto m = summary.match(QString::fromStdString(r.out));
    QVERIFY2(m.hasMatch(), r.out.c_str());
    // The two methods differ by decimetres in Hong Kong, never by metres.
    QVERIFY(m.captured(1).toDouble() > 0.01 && m.captured(1).toDouble() < 2);

    // Expected positions of records 1 and 8.
    QVector<QPair<double, double>> expected;
    for (int i : {0, 7}) {
      // EPSG:2326 takes the northing first.
      const QString line = QString::number(std::fabs(kMain[i].n), 'f', 6) + " " +
                           QString::number(kMain[i].e, 'f', 6);
      QStringList v;
      if (shift == "official") {
        v = Run("cs2cs", {"-f", "%.12f", "EPSG:2326", "EPSG:4326"}, (line + "\n").toUtf8())
                .split(QRegularExpression(R"(\s+)"), Qt::SkipEmptyParts);
        QVERIFY(v.size() >= 2);
        expected.append({v[0].toDouble(), v[1].toDouble()});
      } else {
        const QString input = QString("Grid80 %1 %2\n")
                                  .arg(QString::number(std::fabs(kMain[i].n), 'f', 6),
                                       QString::number(kMain[i].e, 'f', 6));
        v = Run(qEnvironmentVariable("HKCONVERT"), {}, input.toUtf8()).split('\t');
        QVERIFY2(v.size() >= 12, qPrintable(v.join('|')));
        expected.append({v[10].toDouble(), v[11].toDouble()});
      }
    }
    QString listing =
        output.endsWith(".csv")
            ? Run("ogrinfo", {"-ro", "-al", "-q", out})
            : Run("ogr2ogr", {"-f", "CSV", "/vsistdout/", out, "-lco", "GEOMETRY=AS_XY"});
    const QStringList lines = listing.split('\n');
    const QStringList header = lines.value(0).split(',');
    const int layerColumn = header.indexOf("layer"), numberColumn = header.indexOf("number");
    int checked = 0;
    for (int k = 0; k < 2; ++k) {
      const int number = k == 0 ? 1 : 8;
      bool found = false;
      for (const QString& line : lines) {
        double lat = 0, lon = 0;
        if (output.endsWith(".csv")) continue;
        const QStringList f = QString(line).remove('"').split(',');
        if (f.size() != header.size() || f[layerColumn] != "points" ||
            f[numberColumn].toInt() != number)
          continue;
        lon = f[0].toDouble();
        lat = f[1].toDouble();
        QVERIFY2(std::fabs(lat - expected[k].first) < 1e-9, qPrintable(line));
        QVERIFY2(std::fabs(lon - expected[k].second) < 1e-9, qPrintable(line));
        found = true;
      }
      if (output.endsWith(".csv")) {
        const QRegularExpression row(
            QString(
                R"(number \(\w+\) = %1\n(?:.*\n)*?\s*latitude \(\w+\) = ([-\d.]+)\n\s*longitude \(\w+\) = ([-\d.]+))")
                .arg(number));
        const auto m2 = row.match(listing);
        QVERIFY2(m2.hasMatch(), qPrintable(listing.left(2000)));
        QVERIFY(std::fabs(m2.captured(1).toDouble() - expected[k].first) < 1e-9);
        QVERIFY(std::fabs(m2.captured(2).toDouble() - expected[k].second) < 1e-9);
        found = true;
      }
      QVERIFY2(found, qPrintable(listing.left(2000)));
      ++checked;
    }
    QCOMPARE(checked, 2);
  }

  // A damaged record a thousand kilometres off has no position in WGS 84 (PROJ would wrap
  // it to a plausible latitude): left out and counted, or in a CSV kept without one.
  void farRecord_data() {
    QTest::addColumn<QString>("output");  // the layer first
    QTest::addColumn<int>("features");
    QTest::addColumn<QString>("said");
    QTest::newRow("kml") << "plan:far.kml" << 1 << "1 points without a position in the output's";
    QTest::newRow("csv") << "far:far.csv" << 2 << "1 points without a position in WGS 84";
  }
  void farRecord() {
    QFETCH(QString, output);
    QFETCH(int, features);
    QFETCH(QString, said);
    WriteNeh(Path("FAR.NEH").toStdString(), {{820100, 836010, 10012.5}, {1e9, 836010, 10012.5}});
    const QString file = Path(output.section(':', 1));
    const Result r = Export({Path("FAR.NEH"), file.endsWith("csv") ? "--wgs84" : "--2d", file});
    QCOMPARE(r.code, 0);
    QVERIFY2(QString::fromStdString(r.out).contains(said), r.out.c_str());
    QCOMPARE(FeatureCounts(file).value(output.section(':', 0, 0), -1), features);
  }

  // Bad input and output: one line naming the file, the right exit code, nothing left.
  void problems_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");
    QTest::newRow("missing file") << "NONE.NEH" << QStringList{} << "p1.gpkg" << 1 << "NONE.NEH";
    QTest::newRow("empty file") << "EMPTY.NEH" << QStringList{} << "p2.dxf" << 1 << "EMPTY.NEH";
    QTest::newRow("short file") << "SHORT.NEH" << QStringList{} << "p3.csv" << 1 << "SHORT.NEH";
    QTest::newRow("unknown crs") << "" << QStringList{"--crs", "EPSG:99999"} << "p4.gpkg" << 2
                                 << "EPSG:99999";
    QTest::newRow("unknown extension") << "" << QStringList{} << "p5.txt" << 2 << "p5.txt";
    QTest::newRow("no such folder") << "" << QStringList{} << "nowhere/p6.gpkg" << 1 << "nowhere";
    QTest::newRow("bad datum shift")
        << "" << QStringList{"--datum-shift", "old"} << "p7.kml" << 2 << "old";
  }
  void problems() {
    QFETCH(QString, input);
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(int, code);
    QFETCH(QString, said);
    std::ofstream(Path("EMPTY.NEH").toStdString(), std::ios::binary);
    std::ofstream(Path("SHORT.NEH").toStdString(), std::ios::binary) << "0123456789";
    const QString in = input.isEmpty() ? main_ : Path(input);
    const int before =
        static_cast<int>(std::distance(fs::directory_iterator(dir_.path().toStdString()), {}));
    const Result r = Export(QStringList{in} + options + QStringList{Path(output)});
    QCOMPARE(r.code, code);
    QVERIFY2(QString::fromStdString(r.err).startsWith("surveyexport: "), r.err.c_str());
    QVERIFY2(QString::fromStdString(r.err).contains(said), r.err.c_str());
    QVERIFY(!fs::exists(Path(output).toStdString()));
    const int after =
        static_cast<int>(std::distance(fs::directory_iterator(dir_.path().toStdString()), {}));
    QCOMPARE(after, before);  // no temporary file left either
  }

  // An existing output is kept unless --overwrite; several inputs go to a folder.
  void overwriteAndFolder() {
    const QString out = Path("keep.csv");
    std::ofstream(out.toStdString()) << "mine\n";
    Result r = Export({main_, out});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.find("--overwrite") != std::string::npos);
    std::ifstream kept(out.toStdString());
    std::string first;
    std::getline(kept, first);
    QCOMPARE(first, std::string("mine"));
    QCOMPARE(Export({main_, "--overwrite", out}).code, 0);

    const QString folder = Path("many");
    fs::create_directory(folder.toStdString());
    r = Export({"--output-dir", folder, "--format", "gpkg", main_, ref_});
    QCOMPARE(r.code, 0);
    QCOMPARE(FeatureCounts(folder + "/REF.gpkg").value("points"), 4);
    QCOMPARE(FeatureCounts(folder + "/Site Plan é.gpkg").value("points"), 9);

    // Two inputs of one name in different folders would overwrite each other: nothing is
    // written.
    fs::create_directory(Path("other").toStdString());
    WriteNeh(Path("other/REF.NEH").toStdString(), kRef);
    const QString second = Path("second");
    fs::create_directory(second.toStdString());
    r = Export({"--output-dir", second, "--format", "csv", ref_, Path("other/REF.NEH")});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.find("would both be written") != std::string::npos, r.err.c_str());
    QVERIFY(fs::is_empty(second.toStdString()));

    r = Export({"--help"});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.find("--datum-shift") != std::string::npos);
  }
};

QTEST_GUILESS_MAIN(TestPlanExport)
#include "tst_plan_export.moc"
