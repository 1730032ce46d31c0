// The pieces every surveyexport command shares: formats by name and outputs that are
// complete or absent.
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>

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
  void pendingOutput_data();
  void pendingOutput();
  void pendingOutputDiscardedLeavesNothing();
};

void TestExportCommon::formatFromPath_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<Format>("format");
  QTest::newRow("dxf upper") << "SITE.DXF" << Format::Dxf;
  QTest::newRow("gpkg mixed") << "out/Site.GpKg" << Format::Gpkg;
  QTest::newRow("csv in dotted folder") << "my.folder/site.csv" << Format::Csv;
  QTest::newRow("xlsx") << "a.XLSX" << Format::Xlsx;
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

void TestExportCommon::pendingOutput_data() {
  QTest::addColumn<bool>("targetExists");
  QTest::addColumn<bool>("overwrite");
  QTest::addColumn<bool>("replaced");
  QTest::newRow("new file") << false << false << true;
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

QTEST_GUILESS_MAIN(TestExportCommon)
#include "tst_export_common.moc"
