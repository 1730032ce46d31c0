// The pieces every surveyexport command shares: formats by name, outputs that are
// complete or absent, output names for several inputs, CRS texts, the command word.
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/cli.h"
#include "export/export_common.h"

using namespace surveyexport;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(surveyexport::Format)

namespace {
void WriteText(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}
std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
int FilesIn(const fs::path& dir) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    (void)e;
    ++n;
  }
  return n;
}
}  // namespace

class TestExportCommon : public QObject {
  Q_OBJECT
 private slots:
  void formatFromPath_data();
  void formatFromPath();
  void outputPathFor();
  void pendingOutput_data();
  void pendingOutput();
  void pendingOutputDiscardedLeavesNothing();
  void pendingOutputIntoMissingFolder();
  void parseCrs_data();
  void parseCrs();
  void commandWord_data();
  void commandWord();
};

void TestExportCommon::formatFromPath_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<Format>("format");
  QTest::newRow("dxf upper") << "SITE.DXF" << Format::Dxf;
  QTest::newRow("gpkg mixed") << "out/Site.GpKg" << Format::Gpkg;
  QTest::newRow("geojson") << "a.geojson" << Format::GeoJson;
  QTest::newRow("kml") << "a.kml" << Format::Kml;
  QTest::newRow("csv in dotted folder") << "my.folder/site.csv" << Format::Csv;
  QTest::newRow("xlsx") << "a.XLSX" << Format::Xlsx;
  QTest::newRow("pdf") << "a.pdf" << Format::Pdf;
  QTest::newRow("svg") << "a.svg" << Format::Svg;
  QTest::newRow("no extension") << "site" << Format::Unknown;
  QTest::newRow("folder with dot, name without") << "my.gpkg/site" << Format::Unknown;
  QTest::newRow("shapefile") << "a.shp" << Format::Unknown;
}

void TestExportCommon::formatFromPath() {
  QFETCH(QString, path);
  QFETCH(Format, format);
  QCOMPARE(FormatFromPath(path.toStdString()), format);
  // Every known format's --format name and extension lead back to it.
  if (format != Format::Unknown) {
    const std::string ext = FormatExtension(format);
    QCOMPARE(FormatFromName(ext.substr(1)), format);
    QCOMPARE(FormatFromPath("x" + ext), format);
  }
}

void TestExportCommon::outputPathFor() {
  QCOMPARE(OutputPathFor("data/SITE.NEH", "out", Format::Gpkg), std::string("out/SITE.gpkg"));
  QCOMPARE(OutputPathFor("/a/b/Road 1.SEC", "/tmp/x", Format::Csv), std::string("/tmp/x/Road 1.csv"));
  QCOMPARE(OutputPathFor("SITE.NEH", "", Format::Xlsx), std::string("SITE.xlsx"));
}

void TestExportCommon::pendingOutput_data() {
  QTest::addColumn<bool>("targetExists");
  QTest::addColumn<bool>("overwrite");
  QTest::addColumn<bool>("replaced");
  QTest::newRow("new file") << false << false << true;
  QTest::newRow("new file, overwrite") << false << true << true;
  QTest::newRow("existing file kept") << true << false << false;
  QTest::newRow("existing file replaced") << true << true << true;
}

void TestExportCommon::pendingOutput() {
  QFETCH(bool, targetExists);
  QFETCH(bool, overwrite);
  QFETCH(bool, replaced);
  QTemporaryDir dir;
  const fs::path target = fs::path(dir.path().toStdString()) / "Grün plan.gpkg";
  if (targetExists) WriteText(target, "old");
  {
    PendingOutput out;
    const std::string problem = out.Reserve(target.string(), overwrite);
    if (!replaced) {
      QCOMPARE(problem, target.string() + " exists: use --overwrite");
      QCOMPARE(ReadText(target), std::string("old"));
      return;
    }
    QVERIFY2(problem.empty(), problem.c_str());
    QCOMPARE(fs::path(out.TempPath()).parent_path(), target.parent_path());
    QCOMPARE(fs::path(out.TempPath()).extension().string(), std::string(".gpkg"));
    WriteText(out.TempPath(), "new");
    // Until the commit the target is untouched.
    QCOMPARE(fs::exists(target), targetExists);
    QCOMPARE(out.Commit(), std::string());
  }
  QCOMPARE(ReadText(target), std::string("new"));
  QCOMPARE(FilesIn(target.parent_path()), 1);
}

void TestExportCommon::pendingOutputDiscardedLeavesNothing() {
  QTemporaryDir dir;
  const fs::path target = fs::path(dir.path().toStdString()) / "site.csv";
  {
    PendingOutput out;
    QCOMPARE(out.Reserve(target.string(), false), std::string());
    WriteText(out.TempPath(), "half a file");
    WriteText(out.TempPath() + "-journal", "journal");
  }
  QCOMPARE(FilesIn(target.parent_path()), 0);
  // A file named after the target that appears while writing is kept without --overwrite.
  PendingOutput out;
  QCOMPARE(out.Reserve(target.string(), false), std::string());
  WriteText(out.TempPath(), "ours");
  WriteText(target, "someone else's");
  QCOMPARE(out.Commit(), target.string() + " exists: use --overwrite");
  QCOMPARE(ReadText(target), std::string("someone else's"));
  QCOMPARE(FilesIn(target.parent_path()), 1);
}

void TestExportCommon::pendingOutputIntoMissingFolder() {
  QTemporaryDir dir;
  const fs::path folder = fs::path(dir.path().toStdString()) / "missing";
  PendingOutput out;
  const std::string problem = out.Reserve((folder / "a.csv").string(), false);
  QVERIFY2(problem.find("cannot write to folder " + folder.string()) == 0, problem.c_str());
  // A folder under the target's name is not replaced.
  fs::create_directory(folder);
  QCOMPARE(out.Reserve(folder.string(), true), folder.string() + " is a folder, not a file");
}

void TestExportCommon::parseCrs_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("ok");
  QTest::addColumn<bool>("isNull");
  QTest::newRow("Hong Kong 1980 Grid") << "EPSG:2326" << true << false;
  QTest::newRow("none") << "none" << true << true;
  QTest::newRow("NONE") << "NONE" << true << true;
  QTest::newRow("proj string") << "+proj=utm +zone=50 +datum=WGS84" << true << false;
  QTest::newRow("unknown code") << "EPSG:99999" << false << true;
  QTest::newRow("words") << "Hong Kong grid please" << false << true;
  QTest::newRow("empty") << "" << false << true;
  QTest::newRow("network address") << "http://example.com/crs" << false << true;
}

void TestExportCommon::parseCrs() {
  QFETCH(QString, text);
  QFETCH(bool, ok);
  QFETCH(bool, isNull);
  SpatialRef srs;
  const std::string problem = ParseCrs(text.toStdString(), &srs);
  QCOMPARE(problem.empty(), ok);
  if (!ok) QCOMPARE(problem, "unknown CRS '" + text.toStdString() + "'");
  QCOMPARE(srs == nullptr, isNull);
  if (text == "EPSG:2326") {
    QCOMPARE(std::string(OSRGetAuthorityCode(srs.get(), nullptr)), std::string("2326"));
  }
}

void TestExportCommon::commandWord_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("outStart");
  QTest::addColumn<QString>("errStart");
  QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: surveyexport" << "";
  QTest::newRow("no word") << QStringList{} << 2 << "" << "Usage: surveyexport";
  QTest::newRow("unknown word") << QStringList{"plot", "a.NEH"} << 2 << ""
                                << "surveyexport: unknown command 'plot' (plan, table or "
                                   "sections)\nTry 'surveyexport --help'.\n";
}

void TestExportCommon::commandWord() {
  QFETCH(QStringList, args);
  QFETCH(int, code);
  QFETCH(QString, outStart);
  QFETCH(QString, errStart);
  std::vector<std::string> words;
  for (const QString& a : args) words.push_back(a.toStdString());
  std::ostringstream out, err;
  QCOMPARE(RunSurveyExport(words, out, err), code);
  QVERIFY2(out.str().rfind(outStart.toStdString(), 0) == 0, out.str().c_str());
  QVERIFY2(err.str().rfind(errStart.toStdString(), 0) == 0, err.str().c_str());
  if (outStart.isEmpty()) QVERIFY(out.str().empty());
}

QTEST_GUILESS_MAIN(TestExportCommon)
#include "tst_export_common.moc"
