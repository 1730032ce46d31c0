// The input rule of every command and format: a file with nothing to export, or that is not
// a file at all, is one line and exit 1, never a blank drawing and never a wait on a pipe;
// a file cut while it is read names the record that went missing, and nothing is written.
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "export/plan_export.h"
#include "export/plan_sheet.h"
#include "export/section_sheets.h"
#include "export/table_export.h"
#include "export_test_tools.h"
#include "survey_writer.h"

namespace {

using testsupport::Record;

// n NEH points 1 m apart on a 200 m square, every tenth a line marker.
std::vector<Record> Points(int n) {
  std::vector<Record> r;
  for (int i = 0; i < n; ++i)
    r.push_back({(i % 10 == 0 ? -1.0 : 1.0) * (820000.0 + i / 200), 836000.0 + i % 200,
                 testsupport::PackHeight(10 + i % 7, i % 10 == 0 ? 1 : 0)});
  return r;
}

// Sections S1, S2, ... of 40 offsets each; `offsets` false: headers and ends only.
std::vector<Record> Sections(int n, bool offsets = true) {
  using testsupport::TextNumber;
  std::vector<Record> r;
  for (int s = 1; s <= n; ++s) {
    r.push_back({"S" + std::to_string(s), TextNumber(100.0 * s)});
    for (int i = 0; offsets && i < 40; ++i)
      r.push_back({TextNumber(i - 20.0), TextNumber(12 + i % 3)});
    r.push_back({"     999", TextNumber(0)});
  }
  return r;
}

const QStringList kPlanFormats{"dxf", "gpkg", "geojson", "kml", "csv", "pdf", "svg"};
const QStringList kTableFormats{"csv", "gpkg", "xlsx"};
const QStringList kSectionFormats{"pdf", "svg", "dxf"};

}  // namespace

class TestExportInputs : public QObject {
  Q_OBJECT
  QDir dir_;
  QString At(const QString& name) const { return dir_.filePath(name); }

 private slots:
  void initTestCase() {
    dir_ = QDir(QString::fromStdString(testsupport::MakeTempDir("export_inputs")));
    QVERIFY(testsupport::WriteSurveyFile(At("GOOD.NEH").toStdString(), Points(50), 24));
    QVERIFY(testsupport::WriteSurveyFile(At("GOOD.SEC").toStdString(), Sections(1), 16));
    QVERIFY(testsupport::WriteSurveyFile(At("BARE.SEC").toStdString(), Sections(1, false), 16));
    // A million records, all but the first unused: too many labels for an SVG in memory.
    std::string big(24000000, '\0');
    big[7] = 0x41;
    QVERIFY(testsupport::WriteBytes(At("BIG.NEH").toStdString(), big));
    for (const char* kind : {"NEH", "SEC"}) {
      const int length = QString(kind) == "NEH" ? 24 : 16;
      const QString k = QString(".") + kind;
      QVERIFY(testsupport::WriteBytes(At("E0" + k).toStdString(), ""));
      QVERIFY(testsupport::WriteBytes(At("E3" + k).toStdString(), "abc"));
      QVERIFY(testsupport::WriteBytes(At("SHORT" + k).toStdString(), std::string(length - 1, 'x')));
      QVERIFY(testsupport::WriteBytes(At("ZERO" + k).toStdString(), std::string(3 * length, '\0')));
      QVERIFY(dir_.mkdir("DIR" + k));
      QCOMPARE(mkfifo(At("PIPE" + k).toLocal8Bit().constData(), 0600), 0);
    }
  }

  void cleanupTestCase() { dir_.removeRecursively(); }

  // Every command and format: one line, exit 1, no output.
  void refused_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("words");  // @NAME: a file of the work folder
    QTest::addColumn<QString>("message");
    const QStringList faults{"E0|: the file is empty",
                             "E3|: holds no records (3 bytes, less than one record",
                             "SHORT|: holds no records (",
                             "ZERO|: holds no records (all 3 records are empty)",
                             "DIR| is a folder, not a survey file",
                             "PIPE| is a pipe, not a survey file"};
    const QStringList sectionWords{"--from", "S1", "--horizontal", "200", "--vertical", "100"};
    for (const QString& fault : faults) {
      const QString file = fault.section('|', 0, 0), said = fault.section('|', 1);
      for (const QString& f : kPlanFormats)
        QTest::addRow("plan %s %s", qPrintable(file), qPrintable(f))
            << "plan" << QStringList{"@" + file + ".NEH", "@out." + f} << file + ".NEH" + said;
      for (const QString& f : kTableFormats)
        QTest::addRow("table %s %s", qPrintable(file), qPrintable(f))
            << "table" << QStringList{"@" + file + ".NEH", "@out." + f} << file + ".NEH" + said;
      for (const QString& f : kSectionFormats)
        QTest::addRow("sections %s %s", qPrintable(file), qPrintable(f))
            << "sections"
            << QStringList{"@" + file + ".SEC"} + sectionWords + QStringList{"@out." + f}
            << file + ".SEC" + said;
    }
    for (const QString& f : kPlanFormats)
      QTest::addRow("plan empty reference %s", qPrintable(f))
          << "plan" << QStringList{"@GOOD.NEH", "--reference", "@E0.NEH", "@out." + f}
          << "E0.NEH: the file is empty";
    for (const QString& f : kSectionFormats)
      QTest::addRow("sections without offsets %s", qPrintable(f))
          << "sections" << QStringList{"@BARE.SEC"} + sectionWords + QStringList{"@out." + f}
          << "BARE.SEC: section S1 holds no offset records";
    QTest::newRow("plan SVG too large")
        << "plan" << QStringList{"@BIG.NEH", "--numbers", "--levels", "@out.svg"}
        << "out.svg: the plan as SVG would be about ";
  }
  void refused() {
    QFETCH(QString, command);
    QFETCH(QStringList, words);
    QFETCH(QString, message);
    for (QString& w : words)
      if (w.startsWith('@')) w = At(w.mid(1));
    alarm(30);  // a call that waits on a pipe ends the test program instead of hanging
    const exporttest::Run run = exporttest::Export(command.toUtf8().constData(), words);
    alarm(0);
    const QString err = QString::fromStdString(run.err);
    QCOMPARE(run.code, 1);
    QVERIFY2(err.startsWith("surveyexport: " + dir_.path()) && err.contains(message) &&
                 err.count('\n') == 1,
             qPrintable(err));
    QVERIFY(dir_.entryList({"out.*", ".out*"}, QDir::Files | QDir::Hidden).isEmpty());
  }

  // A file cut while it is read: the export names the first record gone and writes nothing.
  void cutWhileRead_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("format");
    for (const QString& f : kPlanFormats) QTest::addRow("plan %s", qPrintable(f)) << "plan" << f;
    for (const QString& f : kTableFormats) QTest::addRow("table %s", qPrintable(f)) << "table" << f;
    for (const QString& f : kSectionFormats)
      QTest::addRow("sections %s", qPrintable(f)) << "sections" << f;
  }
  void cutWhileRead() {
    QFETCH(QString, command);
    QFETCH(QString, format);
    const bool sections = command == "sections";
    const std::string input = At(sections ? "SHORTENED.SEC" : "SHORTENED.NEH").toStdString();
    const std::string output = At("cut." + format).toStdString();
    QVERIFY(sections ? testsupport::WriteSurveyFile(input, Sections(3), 16)
                     : testsupport::WriteSurveyFile(input, Points(40000), 24));
    // At the first progress during the reading, the file loses all but its first records.
    bool cut = false;
    auto progress = [&](double done) {
      if (!cut && done > 0 && done < 1)
        cut = truncate(input.c_str(), sections ? 60 * 16 : 2400) == 0;
      return true;
    };
    using namespace surveyexport;
    std::string said;
    if (command == "plan" && (format == "pdf" || format == "svg")) {
      PlanSheetOptions o;
      o.neh = input;
      o.output = output;
      said = DrawPlanSheet(o, progress);
    } else if (command == "plan") {
      PlanExportOptions o;
      o.input = input;
      o.output = output;
      o.format = FormatFromName(format.toStdString());
      PlanExportSummary summary;
      said = ExportPlan(o, progress, summary);
    } else if (command == "table") {
      TableOptions o;
      o.input = input;
      o.output = output;
      o.progress = progress;
      TableSummary summary;
      said = ExportTable(o, &summary);
    } else {
      SectionsOptions o;
      o.inputs = {input};
      o.from = "S1";
      o.to = "S3";
      o.horizontal = o.vertical = 100;
      o.output = output;
      said = DrawSections(o, progress);
    }
    QVERIFY(cut);
    QVERIFY2(QString::fromStdString(said).contains(QRegularExpression(
                 "^" + QRegularExpression::escape(QString::fromStdString(input)) +
                 ": record \\d+ is no longer in the file")),
             said.c_str());
    QVERIFY(dir_.entryList({"cut*", ".cut*"}, QDir::Files | QDir::Hidden).isEmpty());
  }
};

QTEST_MAIN(TestExportInputs)
#include "tst_export_inputs.moc"
