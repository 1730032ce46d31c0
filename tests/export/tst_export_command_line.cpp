// The surveyexport command line across every command: one table of arguments against the
// exit code and the first line said; the coordinate system written, read back with
// ogrinfo and cs2cs; and no CRS text that names a network resource makes a request.
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "export/cli.h"
#include "survey_writer.h"

namespace {

struct Said {
  int code = -1;
  QString first;  // the first line of the error stream
  QString out;
};

class TestCommandLine : public QObject {
  Q_OBJECT

 public:
  QString Path(const QString& name) const { return dir_.filePath(name); }

  // Runs the words, "@NAME" standing for a file of the test's folder.
  Said Run(const QStringList& words) const {
    std::vector<std::string> args;
    for (const QString& w : words)
      args.push_back((w.startsWith('@') ? Path(w.mid(1)) : w).toStdString());
    std::ostringstream out, err;
    Said s;
    s.code = surveyexport::RunSurveyExport(args, out, err);
    s.first = QString::fromStdString(err.str()).section('\n', 0, 0);
    s.out = QString::fromStdString(out.str());
    return s;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    // Point 1 of the site survey, another point, and a line of two records.
    const std::vector<testsupport::Record> neh{{820010.0, 836010.0, 10012.921},
                                               {820020.0, 836030.0, 10014.201},
                                               {-820030.0, 836050.0, 20010.0},
                                               {-820040.0, 836070.0, 20011.0}};
    QVERIFY(testsupport::WriteSurveyFile(Path("SITE.NEH").toStdString(), neh, 24));
    QVERIFY(testsupport::WriteSurveyFile(Path("-x.NEH").toStdString(), neh, 24));
    std::vector<testsupport::Record> big;
    for (int i = 0; i < 10000; ++i)
      big.push_back({820000.0 + i % 100, 836000.0 + i / 100, 10010.0});
    QVERIFY(testsupport::WriteSurveyFile(Path("BIG.NEH").toStdString(), big, 24));
    std::ofstream(Path("keep.dxf").toStdString()) << "mine";
    QVERIFY(mkfifo(Path("fifo.wkt").toUtf8().constData(), 0600) == 0);
  }

  // arguments -> exit code, the start of the first line said. Every command, one rule.
  void commandLine_data() {
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("first");
    const QStringList sec{"--from", "S1", "--horizontal", "200", "--vertical", "100"};
    // A flag given a value is refused, in every command: it never acts on the name alone.
    QTest::newRow("plan flag=no") << QStringList{"plan", "@SITE.NEH", "--overwrite=no", "@keep.dxf"}
                                  << 2 << "surveyexport: plan: option --overwrite takes no value";
    QTest::newRow("plan numbers=0") << QStringList{"plan", "@SITE.NEH", "--numbers=0", "@n.dxf"}
                                    << 2 << "surveyexport: plan: option --numbers takes no value";
    QTest::newRow("table flag=yes") << QStringList{"table", "@SITE.NEH", "--quiet=yes", "@t.csv"}
                                    << 2 << "surveyexport: table: option --quiet takes no value";
    QTest::newRow("sections flag=1") << QStringList{"sections", "@A.SEC", "--fit=1", "@s.pdf"} + sec
                                     << 2 << "surveyexport: sections: option --fit takes no value";
    // An option that does not apply to the format asked for names both.
    QTest::newRow("numbers to gpkg")
        << QStringList{"plan", "@SITE.NEH", "--numbers", "@n.gpkg"} << 2
        << "surveyexport: plan: option --numbers does not apply to .gpkg output";
    QTest::newRow("datum shift to dxf")
        << QStringList{"plan", "@SITE.NEH", "--datum-shift", "suite", "@d.dxf"} << 2
        << "surveyexport: plan: option --datum-shift does not apply to .dxf";
    QTest::newRow("scale to gpkg")
        << QStringList{"plan", "@SITE.NEH", "--scale", "500", "@s.gpkg"} << 2
        << "surveyexport: plan: option --scale does not apply to .gpkg";
    QTest::newRow("crs to kml") << QStringList{"plan", "@SITE.NEH", "--crs", "EPSG:4326", "@k.kml"}
                                << 2 << "surveyexport: plan: option --crs does not apply to .kml";
    QTest::newRow("crs to table csv")
        << QStringList{"table", "@SITE.NEH", "--crs", "none", "@t.csv"} << 2
        << "surveyexport: table: option --crs does not apply to .csv";
    QTest::newRow("fit to sections dxf")
        << QStringList{"sections", "@A.SEC", "--fit", "@s.dxf"} + sec << 2
        << "surveyexport: sections: option --fit does not apply to .dxf";
    QTest::newRow("datum shift csv without wgs84")
        << QStringList{"plan", "@SITE.NEH", "--datum-shift", "suite", "@c.csv"} << 2
        << "surveyexport: plan: option --datum-shift goes with --wgs84";
    QTest::newRow("datum shift grid gpkg")
        << QStringList{"plan", "@SITE.NEH", "--datum-shift", "suite", "@g.gpkg"} << 2
        << "surveyexport: plan: option --datum-shift applies to a WGS 84 based --crs only";
    // A GeoJSON file records EPSG systems only: nothing is written in a system it would lose.
    QTest::newRow("geocentric crs")
        << QStringList{"plan", "@SITE.NEH", "--crs", "EPSG:4978", "@o.gpkg"} << 2
        << "surveyexport: plan: WGS 84 is not a map's system (--crs 'EPSG:4978')";
    // A system PROJ reaches only by a "ballpark" (no datum shift: some 300 m off), with
    // heights of its own, or an operation in place of a system: refused, never written.
    QTest::newRow("ballpark cgcs2000")
        << QStringList{"plan", "@SITE.NEH", "--crs", "EPSG:4547", "@o.gpkg"} << 2
        << "surveyexport: plan: PROJ has no transformation from the Hong Kong";
    QTest::newRow("system of another area")
        << QStringList{"plan", "@SITE.NEH", "--crs", "EPSG:2263", "@o.gpkg"} << 2
        << "surveyexport: plan: NAD83 / New York Long Island (ftUS) is made for another area";
    QTest::newRow("utm string far off")
        << QStringList{"plan", "@SITE.NEH", "--crs", "+proj=utm +zone=18 +datum=WGS84", "@o.gpkg"}
        << 2 << "surveyexport: plan: WGS 84 / UTM zone 18N is centred on longitude -75";
    // Web Mercator as GDAL writes it: "@null" is no grid file, the "/" of its name no path.
    QTest::newRow("web mercator wkt1")
        << QStringList{"plan",
                       "-q",
                       "@SITE.NEH",
                       "--overwrite",
                       "--crs",
                       "PROJCS[\"WGS 84 / Pseudo-Mercator\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\","
                       "SPHEROID[\"WGS 84\",6378137,298.257223563]],PRIMEM[\"Greenwich\",0],UNIT["
                       "\"degree\",0.0174532925199433]],PROJECTION[\"Mercator_1SP\"],PARAMETER["
                       "\"central_meridian\",0],UNIT[\"metre\",1],EXTENSION[\"PROJ4\",\"+proj=merc "
                       "+a=6378137 +b=6378137 +lon_0=0 +k=1 +units=m +nadgrids=@null +no_defs\"]]",
                       "@m.gpkg"}
        << 0 << "";
    QTest::newRow("3d system") << QStringList{"plan", "@SITE.NEH", "--crs", "EPSG:4979", "@o.gpkg"}
                               << 2 << "surveyexport: plan: WGS 84 has heights of its own";
    QTest::newRow("operation") << QStringList{"plan", "@SITE.NEH", "--crs",
                                              "+proj=pipeline +step +proj=utm +zone=50", "@o.gpkg"}
                               << 2 << "surveyexport: plan: CRS '+proj=pipeline";
    QTest::newRow("crs to a table of no positions")
        << QStringList{"table", "@TRAV.DAT", "--crs", "EPSG:32650", "@t.gpkg"} << 2
        << "surveyexport: table: option --crs does not apply to ";
    QTest::newRow("datum shift grid geojson")
        << QStringList{"plan",          "@SITE.NEH", "--crs",     "EPSG:2326",
                       "--datum-shift", "suite",     "@g.geojson"}
        << 2 << "surveyexport: plan: option --datum-shift applies to a WGS 84 based --crs only";
    QTest::newRow("geojson crs none")
        << QStringList{"plan", "@SITE.NEH", "--crs", "none", "@g.geojson"} << 2
        << "surveyexport: plan: a .geojson output records EPSG systems only";
    QTest::newRow("geojson local tmerc")
        << QStringList{"plan", "@SITE.NEH", "--crs",
                       "+proj=tmerc +lon_0=114.2 +ellps=intl +units=m", "@g.geojson"}
        << 2 << "surveyexport: plan: a .geojson output records EPSG systems only";
    QTest::newRow("geojson utm proj string")
        << QStringList{"plan",
                       "-q",
                       "@SITE.NEH",
                       "--crs",
                       "+proj=utm +zone=50 +datum=WGS84 +units=m +no_defs",
                       "--overwrite",
                       "@g.geojson"}
        << 0 << "";
    // Values, missing values, unknown words.
    QTest::newRow("scale 1e308")
        << QStringList{"plan", "@SITE.NEH", "--scale", "1e308", "@s.pdf"} << 2
        << "surveyexport: plan: --scale 1e308: the scale is the number N of 1:N, written in digits";
    QTest::newRow("value missing") << QStringList{"plan", "@SITE.NEH", "@o.dxf", "--reference"} << 2
                                   << "surveyexport: plan: option --reference needs a value (NEH)";
    QTest::newRow("unknown option") << QStringList{"table", "@SITE.NEH", "--overwrit", "@t.csv"}
                                    << 2 << "surveyexport: table: unknown option '--overwrit'";
    QTest::newRow("option of another command")
        << QStringList{"plan", "@SITE.NEH", "--from", "S1", "@o.dxf"} << 2
        << "surveyexport: plan: unknown option '--from'";
    QTest::newRow("sections takes no crs")
        << QStringList{"sections", "@A.SEC", "--crs", "none", "@s.pdf"} + sec << 2
        << "surveyexport: sections: unknown option '--crs'";
    QTest::newRow("unknown command")
        << QStringList{"draw", "@SITE.NEH"} << 2 << "surveyexport: unknown command 'draw'";
    QTest::newRow("newline in a word") << QStringList{"plan", "@SITE.NEH", "--bad\nname", "@o.dxf"}
                                       << 2 << "surveyexport: plan: unknown option '--bad\\nname'";
    QTest::newRow("newline in a value escaped once")
        << QStringList{"plan", "@SITE.NEH", "--crs", "EPSG:4326\n", "@o.gpkg"} << 2
        << "surveyexport: plan: unknown CRS 'EPSG:4326\\n'";
    QTest::newRow("no output") << QStringList{"table", "@SITE.NEH"} << 2
                               << "surveyexport: table: no output named after";
    QTest::newRow("two inputs one output")
        << QStringList{"plan", "@SITE.NEH", "@SITE.NEH", "@o.dxf"} << 2
        << "surveyexport: plan: one input and one output";
    QTest::newRow("format without dir")
        << QStringList{"table", "@SITE.NEH", "--format", "csv"} << 2
        << "surveyexport: table: --output-dir and --format go together";
    QTest::newRow("format the command cannot write")
        << QStringList{"table", "@SITE.NEH", "--output-dir", "@o", "--format", "dxf"} << 2
        << "surveyexport: table: --format dxf is not one of gpkg csv xlsx";
    QTest::newRow("unknown extension")
        << QStringList{"plan", "@SITE.NEH", "@o.txt"} << 2
        << "surveyexport: plan: " + Path("o.txt") + ": unknown kind of output";
    QTest::newRow("sections without from")
        << QStringList{"sections", "@A.SEC", "--horizontal", "200", "--vertical", "100", "@s.pdf"}
        << 2 << "surveyexport: sections: --from NAME is needed";
    // CRS texts: inline only, the code to its end, nothing that names a file or the network.
    const QStringList refusedCrs{"/vsigzip//vsicurl/http://127.0.0.1:9/crs.wkt.gz",
                                 "/vsizip//vsicurl/http://127.0.0.1:9/a.zip/crs.wkt",
                                 "/vsisubfile/0_100,/etc/passwd",
                                 "http://127.0.0.1:9/crs",
                                 "+init=/etc/passwd:x",
                                 "@fifo.wkt",
                                 "+proj=tmerc +nadgrids=/tmp/x.gsb +ellps=intl"};
    for (const QString& crs : refusedCrs)
      QTest::newRow(qPrintable("crs " + crs))
          << QStringList{"plan", "@SITE.NEH", "--crs", crs, "@c.gpkg"} << 2
          << "surveyexport: plan: CRS '";
    // JSON's escaped slashes name the same address; a grid PROJ lacks, or a system it
    // cannot reach, is refused before anything is written; PROJJSON as projinfo writes
    // it (with its "$schema" address, never fetched) is taken.
    QTest::newRow("crs json escaped url")
        << QStringList{"plan", "@SITE.NEH", "--crs",
                       R"({"type":"BoundCRS","g":"http:\/\/127.0.0.1:9\/h.gsb"})", "@c.gpkg"}
        << 2 << "surveyexport: plan: CRS '";
    QTest::newRow("crs grid not installed")
        << QStringList{"plan", "@SITE.NEH", "--crs",
                       "+proj=longlat +ellps=clrk66 +nadgrids=nosuch.tif +no_defs", "@c.gpkg"}
        << 2 << "surveyexport: plan: PROJ cannot transform the Hong Kong 1980 Grid into";
    QTest::newRow("crs on mars")
        << QStringList{"table", "@SITE.NEH", "--crs", "IAU_2015:49900", "@c.gpkg"} << 2
        << "surveyexport: table: PROJ has no transformation from the Hong Kong 1980 Grid";
    QTest::newRow("crs projjson with schema")
        << QStringList{"plan",
                       "-q",
                       "@SITE.NEH",
                       "--crs",
                       R"({"$schema":"https://proj.org/schemas/v0.4/projjson.schema.json","type":"GeographicCRS","name":"WGS 84",)"
                       R"("datum":{"type":"GeodeticReferenceFrame","name":"World Geodetic System 1984","ellipsoid":)"
                       R"({"name":"WGS 84","semi_major_axis":6378137,"inverse_flattening":298.257223563}},)"
                       R"("coordinate_system":{"subtype":"ellipsoidal","axis":[{"name":"Geodetic latitude",)"
                       R"("abbreviation":"Lat","direction":"north","unit":"degree"},{"name":"Geodetic longitude",)"
                       R"("abbreviation":"Lon","direction":"east","unit":"degree"}]},"id":{"authority":"EPSG","code":4326}})",
                       "--overwrite",
                       "@j.gpkg"}
        << 0 << "";
    QTest::newRow("crs letter O") << QStringList{"plan", "@SITE.NEH", "--crs", "EPSG:3265O",
                                                 "@c.gpkg"}
                                  << 2 << "surveyexport: plan: unknown CRS 'EPSG:3265O'";
    QTest::newRow("crs junk after code")
        << QStringList{"table", "@SITE.NEH", "--crs", "EPSG:2326junk", "@c.gpkg"} << 2
        << "surveyexport: table: unknown CRS 'EPSG:2326junk'";
    QTest::newRow("crs unknown code")
        << QStringList{"plan", "@SITE.NEH", "--crs", "EPSG:99999", "@c.gpkg"} << 2
        << "surveyexport: plan: unknown CRS 'EPSG:99999'";
    // What is well formed runs: -q everywhere, "--" before an input that starts with "-",
    // --name=value, an existing file kept without --overwrite.
    QTest::newRow("-- ends the options")
        << QStringList{"plan", "-q", "--", "@-x.NEH", "@x.dxf"} << 0 << "";
    QTest::newRow("name=value") << QStringList{"plan", "@SITE.NEH", "--crs=EPSG:32650", "@u.gpkg"}
                                << 0 << "";
    QTest::newRow("kept without overwrite")
        << QStringList{"plan", "@SITE.NEH", "@keep.dxf"} << 1
        << "surveyexport: " + Path("keep.dxf") + " exists: use --overwrite";
    QTest::newRow("help of a command") << QStringList{"sections", "--help"} << 0 << "";
    QTest::newRow("help") << QStringList{"-h"} << 0 << "";
  }
  void commandLine() {
    QFETCH(QStringList, words);
    QFETCH(int, code);
    QFETCH(QString, first);
    const Said s = Run(words);
    QVERIFY2(first.isEmpty() ? s.first.isEmpty() : s.first.startsWith(first), qPrintable(s.first));
    QCOMPARE(s.code, code);
    // Nothing is written on a usage error.
    const QString last = words.last();
    if (code == 2 && last.startsWith('@') && !last.contains("NEH") && last != "@keep.dxf")
      QVERIFY(!QFileInfo::exists(Path(last.mid(1))));
  }

  // One set of conventions: the bar on the command's error stream for inputs of 10,000
  // records or more, in every command; --quiet hides the bar and nothing else.
  void progressAndQuiet_data() {
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<bool>("bar");
    QTest::newRow("plan long") << QStringList{"plan", "@BIG.NEH", "@p1.csv"} << true;
    QTest::newRow("plan long quiet")
        << QStringList{"plan", "--quiet", "@BIG.NEH", "@p2.csv"} << false;
    QTest::newRow("plan short") << QStringList{"plan", "@SITE.NEH", "@p3.csv"} << false;
    QTest::newRow("sheet long") << QStringList{"plan", "@BIG.NEH", "--scale", "2000", "@p4.pdf"}
                                << true;
    QTest::newRow("table long") << QStringList{"table", "@BIG.NEH", "@t1.csv"} << true;
    QTest::newRow("table long -q") << QStringList{"table", "-q", "@BIG.NEH", "@t2.csv"} << false;
  }
  void progressAndQuiet() {
    QFETCH(QStringList, words);
    QFETCH(bool, bar);
    std::vector<std::string> args;
    for (const QString& w : words)
      args.push_back((w.startsWith('@') ? Path(w.mid(1)) : w).toStdString());
    std::ostringstream out, err;
    QCOMPARE(surveyexport::RunSurveyExport(args, out, err), 0);
    QCOMPARE(QString::fromStdString(err.str()).endsWith("100 - done.\n"), bar);
    if (!bar) QCOMPARE(err.str(), std::string());
    QVERIFY2(out.str().find(Path(words.last().mid(1)).toStdString()) != std::string::npos,
             out.str().c_str());
  }

  // The help text is made from the same table: every option of every command is in it.
  void helpListsEveryOption() {
    const Said all = Run({"--help"});
    for (const char* option :
         {"--reference", "--numbers", "--levels",     "--crs",        "--datum-shift",
          "--2d",        "--wgs84",   "--scale",      "--paper",      "--portrait",
          "--view",      "--from",    "--to",         "--horizontal", "--vertical",
          "--heights",   "--fit",     "--output-dir", "--format",     "--overwrite",
          "--quiet",     "-q"})
      QVERIFY2(all.out.contains(option), option);
  }

  // --crs is the system of the coordinates written: point 1 (E 836010, N 820010) read back
  // with ogrinfo, against PROJ's own cs2cs from EPSG:2326.
  void crsTransforms_data() {
    QTest::addColumn<QString>("crs");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("srsId");
    QTest::newRow("utm 50n gpkg") << "EPSG:32650"
                                  << "u.gpkg"
                                  << "32650";
    QTest::newRow("wgs84 gpkg") << "EPSG:4326"
                                << "w.gpkg"
                                << "4326";
    QTest::newRow("utm 50n geojson") << "EPSG:32650"
                                     << "u.geojson"
                                     << "";
    QTest::newRow("none gpkg") << "none"
                               << "n.gpkg"
                               << "-1";
  }
  void crsTransforms() {
    QFETCH(QString, crs);
    QFETCH(QString, output);
    QFETCH(QString, srsId);
    const QString out = Path("crs-" + output);
    QCOMPARE(Run({"plan", "-q", "@SITE.NEH", "--crs", crs, "--overwrite", out}).code, 0);
    QProcess ogr;
    ogr.start("ogrinfo", {"-ro", "-q", "-where", "number = 1", out,
                          output.endsWith(".gpkg") ? "points" : "plan"});
    QVERIFY(ogr.waitForFinished(30000));
    const QString text = QString::fromUtf8(ogr.readAllStandardOutput());
    const auto m = QRegularExpression(R"(POINT Z \(([-0-9.e]+) ([-0-9.e]+) )").match(text);
    QVERIFY2(m.hasMatch(), qPrintable(text));
    double x = 836010, y = 820010;
    if (crs != "none") {
      QProcess cs2cs;
      cs2cs.start("cs2cs", {"-f", "%.9f", "EPSG:2326", crs});
      cs2cs.write("820010 836010\n");  // EPSG:2326 takes northing first
      cs2cs.closeWriteChannel();
      QVERIFY(cs2cs.waitForFinished(30000));
      const QStringList v =
          QString::fromUtf8(cs2cs.readAllStandardOutput()).simplified().split(' ');
      QVERIFY(v.size() >= 2);
      // EPSG:4326 answers latitude first; the layer holds longitude as x.
      x = crs == "EPSG:4326" ? v[1].toDouble() : v[0].toDouble();
      y = crs == "EPSG:4326" ? v[0].toDouble() : v[1].toDouble();
    }
    const double tolerance = crs == "EPSG:4326" ? 1e-8 : 1e-3;
    QVERIFY2(std::abs(m.captured(1).toDouble() - x) < tolerance, qPrintable(m.captured(1)));
    QVERIFY2(std::abs(m.captured(2).toDouble() - y) < tolerance, qPrintable(m.captured(2)));
    if (!srsId.isEmpty()) {
      QProcess sql;
      // The layer's system, and every geometry's own (a reader may look at either).
      for (const char* query : {"SELECT srs_id FROM gpkg_geometry_columns",
                                "SELECT DISTINCT ST_SRID(geom) AS srs_id FROM points"}) {
        sql.start("ogrinfo", {"-ro", "-q", out, "-sql", query});
        QVERIFY(sql.waitForFinished(30000));
        const QString ids = QString::fromUtf8(sql.readAllStandardOutput());
        QVERIFY2(ids.contains(QRegularExpression(R"(srs_id \(Integer(64)?\) = )" + srsId + "\n")),
                 qPrintable(ids));
      }
      // The file says which datum shift brought its points into a system on WGS 84.
      sql.start("ogrinfo", {"-ro", "-q", out, "-sql",
                            "SELECT description FROM gpkg_contents WHERE table_name = 'points'"});
      QVERIFY(sql.waitForFinished(30000));
      QCOMPARE(QString::fromUtf8(sql.readAllStandardOutput()).contains("official datum shift"),
               crs != "none");
    }
  }

  // No CRS text reaches the network: a listener on 127.0.0.1 sees no connection for any
  // of the forms that name a network resource, at any depth of /vsi nesting.
  void noRequestLeaves() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QString base = "http://127.0.0.1:" + QString::number(server.serverPort());
    for (const QString& crs :
         {"/vsigzip//vsicurl/" + base + "/crs.wkt.gz", "/vsicurl/" + base + "/crs.wkt",
          "/vsizip//vsicurl/" + base + "/a.zip/crs.wkt", base + "/crs.wkt",
          "+proj=tmerc +nadgrids=" + base + "/g.tif +ellps=intl",
          "+proj=tmerc +nadgrids=@https://127.0.0.1:" + QString::number(server.serverPort()) +
              "/g.tif +ellps=intl"}) {
      const Said s =
          Run({"plan", "-q", "@SITE.NEH", "--crs", crs, "--overwrite", Path("net.gpkg")});
      QVERIFY2(s.code != 0, qPrintable(crs));
      QVERIFY2(!server.waitForNewConnection(50), qPrintable(crs));
    }
  }

 private:
  QTemporaryDir dir_;
};

}  // namespace

QTEST_MAIN(TestCommandLine)
#include "tst_export_command_line.moc"
