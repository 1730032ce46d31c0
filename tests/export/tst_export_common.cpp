// The pieces every surveyexport command shares: formats by name and outputs that are
// complete or absent.
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "export/dxf_style.h"
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
  void pendingSet_data();
  void pendingSet();
  void labelPlaces_data();
  void labelPlaces();
  void shown_data();
  void shown();
};

// A name in a message: one line, and nothing a terminal could take for part of a letter.
void TestExportCommon::shown_data() {
  QTest::addColumn<QByteArray>("name");
  QTest::addColumn<QByteArray>("shown");
  QTest::newRow("controls") << QByteArray("a\nb\tc\x1b\\") << QByteArray("a\\nb\\tc\\x1b\\\\");
  QTest::newRow("utf-8 letters") << QByteArray("Site \xc3\xa9 \xe6\xb8\xaf.NEH")
                                 << QByteArray("Site \xc3\xa9 \xe6\xb8\xaf.NEH");
  QTest::newRow("latin-1 byte") << QByteArray("caf\xe9.NEH") << QByteArray("caf\\xe9.NEH");
  QTest::newRow("letter cut at the end") << QByteArray("a\xe6\xb8") << QByteArray("a\\xe6\\xb8");
}

void TestExportCommon::shown() {
  QFETCH(QByteArray, name);
  QFETCH(QByteArray, shown);
  QCOMPARE(QByteArray::fromStdString(surveyexport::Shown(name.toStdString())), shown);
}

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

// A set of three pages (the SVG pages of sections): complete or absent, whatever stands in
// the way of one of its moves.
void TestExportCommon::pendingSet_data() {
  QTest::addColumn<bool>("older");  // pages of an earlier run under the three names
  QTest::addColumn<bool>("overwrite");
  QTest::addColumn<QString>("obstacle");  // what takes page 2's or 3's name meanwhile
  QTest::addColumn<QString>("problem");   // what Commit's line says, "" for none
  QTest::newRow("new pages") << false << false << ""
                             << "";
  QTest::newRow("older pages replaced") << true << true << ""
                                        << "";
  // The first page was left in place while the second could not be moved.
  QTest::newRow("a page written meanwhile") << false << false << "file 2"
                                            << "road-2.svg exists: use --overwrite";
  // The first two replaced pages were lost when the third could not be moved.
  QTest::newRow("a folder in the way, older pages back") << true << true << "folder 3"
                                                         << "road-3.svg: Is a directory";
}

void TestExportCommon::pendingSet() {
  QFETCH(bool, older);
  QFETCH(bool, overwrite);
  QFETCH(QString, obstacle);
  QFETCH(QString, problem);
  QTemporaryDir dir;
  const fs::path folder = dir.path().toStdString();
  auto page = [&](int i) { return folder / ("road-" + std::to_string(i) + ".svg"); };
  std::map<std::string, std::string> before;  // what must stand when the set fails
  for (int i = 1; i <= 3 && older; ++i) {
    WriteText(page(i), "older " + std::to_string(i));
    before[page(i).filename().string()] = "older " + std::to_string(i);
  }
  {
    PendingOutput set;
    QCOMPARE(set.ReserveSet((folder / "road.svg").string(), overwrite), std::string());
    for (int i = 1; i <= 3; ++i) {
      std::string path;
      QCOMPARE(set.AddToSet(page(i).string(), &path), std::string());
      WriteText(path, "new " + std::to_string(i));
    }
    if (obstacle == "file 2") {
      WriteText(page(2), "someone else's");
      before[page(2).filename().string()] = "someone else's";
    } else if (obstacle == "folder 3") {
      fs::remove(page(3));
      fs::create_directories(page(3) / "inside");
    }
    const std::string said = set.Commit();
    if (problem.isEmpty())
      QCOMPARE(said, std::string());
    else
      QVERIFY2(QString::fromStdString(said).contains(problem), said.c_str());
  }
  std::map<std::string, std::string> after;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.is_regular_file())
      after[e.path().filename().string()] = ReadText(e.path());
    else
      QCOMPARE(e.path().filename().string(), page(3).filename().string());  // the obstacle
  }
  if (problem.isEmpty()) {
    for (int i = 1; i <= 3; ++i) before[page(i).filename().string()] = "new " + std::to_string(i);
  } else if (obstacle == "folder 3") {
    before.erase(page(3).filename().string());
  }
  // Nothing hidden left behind, and each name as the outcome says.
  QCOMPARE(after, before);
}

QTEST_GUILESS_MAIN(TestExportCommon)
// Records {E, N}, each labelled with a number at (E, N + 1) and a level at (E + 1, N - 1):
// labels on one spot stand a text height apart across their line.
using Placed = std::vector<std::array<double, 2>>;

void TestExportCommon::labelPlaces_data() {
  QTest::addColumn<Placed>("records");
  QTest::addColumn<int>("stacked");  // records whose number left the pass's place
  QTest::newRow("apart") << Placed{{0, 0}, {10, 0}} << 0;
  QTest::newRow("line closing") << Placed{{0, 0}, {10, 0}, {10, 10}, {0, 0}} << 1;
  QTest::newRow("closing twice, a point taken twice")
      << Placed{{0, 0}, {10, 0}, {0, 0}, {5, 5}, {5, 5}, {0, 0}} << 3;
  std::vector<std::array<double, 2>> many(3000, {7, 7});  // the table grows past its start
  for (int i = 0; i < 3000; ++i) many.push_back({double(i), 100});
  many.push_back({7, 7});
  QTest::newRow("a spot taken 3001 times among 3000 others") << many << 3000;
}

void TestExportCommon::labelPlaces() {
  QFETCH(Placed, records);
  QFETCH(int, stacked);
  const double a = 10 * 3.14159265358979323846 / 180;
  surveyexport::LabelPlaces places(1, 10);
  std::map<std::pair<double, double>, std::vector<double>> across;  // by spot
  int moved = 0;
  for (const auto& [E, N] : records) {
    places.NewRecord(E, N);
    const surveyexport::TextCorner number = places.Place(E, N + 1),
                                   level = places.Place(E + 1, N - 1);
    moved += number.x != E || number.y != N + 1;
    for (const auto& c : {number, level})
      across[{E, N}].push_back(c.y * std::cos(a) - c.x * std::sin(a));
  }
  QCOMPARE(moved, stacked);
  for (auto& [spot, lines] : across) {
    std::sort(lines.begin(), lines.end());
    for (size_t i = 1; i < lines.size(); ++i) QVERIFY(lines[i] - lines[i - 1] >= 1 - 1e-6);
  }
}

#include "tst_export_common.moc"
