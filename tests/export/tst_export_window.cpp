// surveyexport-gui driven like a surveyor drives it: files added, a target chosen, Export
// clicked; every output read back with outside readers (ezdxf, ogrinfo, Poppler) and
// compared with what the command line writes for the command the window shows.
#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include <cmath>
#include <cstring>

#include "export/cli.h"
#include "export/gui_command.h"
#include "export/gui_preview.h"
#include "export/gui_window.h"
#include "export/options.h"
#include "export/plan_sheet.h"
#include "export_test_tools.h"
#include "survey_writer.h"

namespace {

using exporttest::Tool;
using surveyexport::ExportWindow;
using surveyexport::Target;

QString Samples() { return qEnvironmentVariable("SUITE_SOURCE_DIR") + "/samples/"; }

// The field a label names, as a person finds it.
template <typename T>
T* Field(QWidget& w, const QString& label) {
  for (QLabel* l : w.findChildren<QLabel*>())
    if (l->text() == label) return qobject_cast<T*>(l->buddy());
  return nullptr;
}
template <typename T>
T* Named(QWidget& w, const QString& text) {
  for (T* b : w.findChildren<T*>())
    if (b->text() == text) return b;
  return nullptr;
}

QString Result(ExportWindow& w, int row) {
  return w.List()->topLevelItem(row)->text(surveyexport::kColResult);
}

// Files in a folder, hidden ones too (a pending output's temporary name).
QStringList Entries(const QString& dir) {
  return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Each window starts from no remembered choices.
bool ForgetChoices() {
  QSettings().clear();
  return true;
}

struct Fixture {
  QTemporaryDir out;
  bool fresh = ForgetChoices();
  ExportWindow window;
  explicit Fixture(const QStringList& files) {
    window.show();
    window.AddFiles(files);
    QTRY_COMPARE_WITH_TIMEOUT(window.Reading(), 0, 20000);
    Field<QLineEdit>(window, "Save &in folder:")->setText(out.path());
  }
  void Choose(Target t) {
    Field<QComboBox>(window, "Export &to:")->setCurrentIndex(static_cast<int>(t));
  }
  bool Export() {
    QSignalSpy done(&window, &ExportWindow::ExportFinished);
    QTest::mouseClick(Named<QPushButton>(window, "E&xport"), Qt::LeftButton);
    return !done.isEmpty() || done.wait(120000);
  }
};

// What an outside reader makes of an output: a text to compare between the window's
// output and the command line's.
QString ReadBack(const QString& path) {
  const QString ext = QFileInfo(path).suffix().toLower();
  if (ext == "dxf") {
    return Tool("/usr/bin/python3",
                {"-c",
                 "import sys, ezdxf\nfrom collections import Counter\n"
                 "doc = ezdxf.readfile(sys.argv[1])\nprint('errors', len(doc.audit().errors))\n"
                 "for k, n in sorted(Counter((e.dxftype(), e.dxf.layer) for e in "
                 "doc.modelspace()).items()):\n"
                 "    print(k, n)\n",
                 path});
  }
  if (ext == "pdf")
    return Tool("pdftotext", {"-layout", path, "-"}) +
           Tool("pdfinfo", {path}).section("Pages:", 1, 1);
  if (ext == "svg") {
    return Tool("/usr/bin/python3", {"-c",
                                     "import sys, xml.etree.ElementTree as t\n"
                                     "print(sum(1 for e in t.parse(sys.argv[1]).iter()))",
                                     path});
  }
  // GIS layers and tables: ogrinfo's summary of every layer, names and counts.
  QString text = Tool("ogrinfo", {"-ro", "-so", "-al", path});
  QStringList kept;
  for (const QString& line : text.split('\n'))
    if (line.startsWith("Layer name") || line.startsWith("Feature Count") ||
        line.startsWith("Geometry"))
      kept << line;
  return kept.join('\n');
}

}  // namespace

class TestExportWindow : public QObject {
  Q_OBJECT
  QTemporaryDir bigDir_;
  const QString big_ = bigDir_.filePath("BIG.NEH");

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName("QOVA-test");
    QSettings().clear();
    // A survey of 1,000,000 records, long enough to stop its export half way.
    std::string bytes(24 * 1000000, '\0');
    for (int r = 0; r < 1000000; ++r) {
      const double rec[3] = {820000.0 + r % 1000, 836000.0 + r / 1000,
                             testsupport::PackHeight(5 + r % 7, r % 30)};
      std::memcpy(&bytes[24 * r], rec, 24);
    }
    QVERIFY(testsupport::WriteBytes(big_.toStdString(), bytes));
  }

  // The words the choices make, read back by a POSIX shell, are the words themselves.
  void shellQuoting_data() {
    QTest::addColumn<QString>("word");
    QTest::newRow("plain") << "SITE.NEH";
    QTest::newRow("blank") << "my survey/SITE.NEH";
    QTest::newRow("quote") << "O'Brien's.NEH";
    QTest::newRow("dollar and star") << "$HOME*.neh";
    QTest::newRow("empty") << "";
    QTest::newRow("proj string") << "+proj=utm +zone=50 +datum=WGS84";
  }
  void shellQuoting() {
    QFETCH(QString, word);
    const std::string quoted = surveyexport::ShellQuoted(word.toStdString());
    const QString echoed =
        Tool("/bin/sh", {"-c", "printf '%s|' " + QString::fromStdString(quoted)});
    QCOMPARE(echoed, word + "|");
  }

  // Each target with the samples: the window's outputs, read back by outside readers, are
  // what the command line writes for the command the window shows; a file no command of
  // the target takes says so, and the others are written.
  void eachTarget_data() {
    QTest::addColumn<int>("target");
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<QStringList>("notWritten");
    QTest::newRow("dxf") << int(Target::Dxf) << QStringList{"SITE.dxf", "ROAD.dxf"}
                         << QStringList{"TRAV"};
    QTest::newRow("gpkg") << int(Target::Gpkg) << QStringList{"SITE.gpkg", "ROAD.gpkg", "TRAV.gpkg"}
                          << QStringList{};
    QTest::newRow("kml") << int(Target::Kml) << QStringList{"SITE.kml"}
                         << QStringList{"ROAD", "TRAV"};
    QTest::newRow("geojson") << int(Target::GeoJson) << QStringList{"SITE.geojson"}
                             << QStringList{"ROAD", "TRAV"};
    QTest::newRow("xlsx") << int(Target::Xlsx) << QStringList{"SITE.xlsx", "ROAD.xlsx", "TRAV.xlsx"}
                          << QStringList{};
    QTest::newRow("csv") << int(Target::Csv) << QStringList{"SITE.csv", "ROAD.csv", "TRAV.csv"}
                         << QStringList{};
    QTest::newRow("pdf") << int(Target::Pdf) << QStringList{"SITE.pdf", "ROAD.pdf"}
                         << QStringList{"TRAV"};
    QTest::newRow("svg") << int(Target::Svg) << QStringList{"SITE.svg"} << QStringList{"TRAV"};
  }
  void eachTarget() {
    QFETCH(int, target);
    QFETCH(QStringList, outputs);
    QFETCH(QStringList, notWritten);
    Fixture f({Samples() + "SITE.NEH", Samples() + "ROAD.SEC", Samples() + "TRAV.DAT"});
    f.Choose(static_cast<Target>(target));
    // A section drawing of the first two sections only, and the reference with the plan.
    Field<QComboBox>(f.window, "&From section:")->setCurrentText("A");
    Field<QComboBox>(f.window, "T&o section:")->setCurrentText("B");
    Field<QLineEdit>(f.window, "&Reference file:")->setText(Samples() + "SITEREF.NEH");
    const QString commands = f.window.CommandText();
    QVERIFY(f.Export());
    for (const QString& name : outputs)
      QVERIFY2(QFile::exists(f.out.filePath(name)), qPrintable(name));
    for (int row = 0; row < 3; ++row) {
      const QString file = f.window.List()->topLevelItem(row)->text(surveyexport::kColFile);
      const bool skipped = notWritten.contains(QFileInfo(file).baseName());
      QVERIFY2(Result(f.window, row).contains(skipped ? "is not written as" : "") &&
                   !Result(f.window, row).isEmpty(),
               qPrintable(Result(f.window, row)));
      if (!skipped)
        QVERIFY2(!Result(f.window, row).contains("surveyexport"),
                 qPrintable(Result(f.window, row)));
    }
    // The command shown, run by the command line into another folder, writes the same.
    QTemporaryDir cli;
    for (QString line : commands.split('\n')) {
      line.replace(f.out.path(), cli.path());
      const QString script = "printf '%s\\n' " + line.mid(QString("surveyexport ").size());
      QStringList words = Tool("/bin/sh", {"-c", script}).split('\n');
      words.removeLast();
      const auto run = exporttest::Export(words.takeFirst().toUtf8().constData(), words);
      QVERIFY2(run.code == 0, run.err.c_str());
    }
    QCOMPARE(Entries(cli.path()), Entries(f.out.path()));
    for (const QString& name : Entries(cli.path())) {
      if (name.endsWith(".svg") && name.startsWith("ROAD")) continue;  // pages, counted above
      const QString mine = ReadBack(f.out.filePath(name)), theirs = ReadBack(cli.filePath(name));
      QVERIFY2(!mine.trimmed().isEmpty(), qPrintable(name));
      QCOMPARE(mine, theirs);
    }
  }

  // A file that cannot be read shows the command line's line for it, in the list, with no
  // box to answer; the others are still written, and nothing is left of the bad one.
  void badFileShownOthersWritten_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");
    QTest::newRow("empty") << QByteArray() << "BAD.NEH: the file is empty";
    QTest::newRow("short")
        << QByteArray("abc")
        << "BAD.NEH: holds no records (3 bytes, less than one record of 24 bytes)";
    QTest::newRow("all empty") << QByteArray(48, '\0')
                               << "BAD.NEH: holds no records (all 2 records are empty)";
  }
  void badFileShownOthersWritten() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);
    QTemporaryDir in;
    const QString bad = in.filePath("BAD.NEH");
    QVERIFY(testsupport::WriteBytes(bad.toStdString(), bytes.toStdString()));
    Fixture f({bad, Samples() + "SITE.NEH"});
    f.Choose(Target::Dxf);
    QCOMPARE(Result(f.window, 0), in.path() + "/" + line);
    bool boxSeen = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout,
            [&] { boxSeen = boxSeen || QApplication::activeModalWidget(); });
    watch.start(5);
    QVERIFY(f.Export());
    QVERIFY(!boxSeen);
    QCOMPARE(Result(f.window, 0), in.path() + "/" + line);
    // The same line the command line gives for it.
    const auto run = exporttest::Export("plan", {bad, f.out.filePath("x.dxf")});
    QCOMPARE(QString::fromStdString(run.err).trimmed(), "surveyexport: " + in.path() + "/" + line);
    QCOMPARE(Entries(f.out.path()), QStringList{"SITE.dxf"});
  }

  // Cancel, or closing the window, in the middle of a 1,000,000-record export: nothing
  // under the output's name and nothing beside it.
  void stopMidExport_data() {
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("close");
    QTest::newRow("Cancel") << int(Target::Gpkg) << false;
    QTest::newRow("window closed") << int(Target::Dxf) << true;
  }
  void stopMidExport() {
    QFETCH(int, target);
    QFETCH(bool, close);
    QTemporaryDir out;
    {
      Fixture f({big_});
      f.Choose(static_cast<Target>(target));
      Field<QLineEdit>(f.window, "Save &in folder:")->setText(out.path());
      QSignalSpy done(&f.window, &ExportWindow::ExportFinished);
      QTest::mouseClick(Named<QPushButton>(f.window, "E&xport"), Qt::LeftButton);
      auto* bar = qobject_cast<QProgressBar*>(f.window.List()->itemWidget(
          f.window.List()->topLevelItem(0), surveyexport::kColProgress));
      QTRY_VERIFY_WITH_TIMEOUT(bar->value() > 0, 60000);
      QVERIFY(f.window.Exporting());
      // The choices hold still meanwhile: the window goes on saying what is being written.
      QVERIFY(!Field<QComboBox>(f.window, "&Coordinate system:")->isEnabled());
      if (close) {
        f.window.close();
      } else {
        QTest::mouseClick(Named<QPushButton>(f.window, "Cancel"), Qt::LeftButton);
        QVERIFY(done.wait(60000));
        QVERIFY2(Result(f.window, 0).contains("cancelled"), qPrintable(Result(f.window, 0)));
      }
    }
    QCOMPARE(Entries(out.path()), QStringList());
  }

  // An existing output is kept unless the surveyor says to replace it.
  void existingOutput_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("keep") << "&Keep them, export the others" << false;
    QTest::newRow("replace") << "&Replace" << true;
  }
  void existingOutput() {
    QFETCH(QString, answer);
    QFETCH(bool, replaced);
    Fixture f({Samples() + "SITE.NEH"});
    f.Choose(Target::Csv);
    QFile old(f.out.filePath("SITE.csv"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older\n");
    old.close();
    QTimer::singleShot(200, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        for (QAbstractButton* b : box->buttons())
          if (b->text() == answer) b->click();
    });
    QVERIFY(f.Export());
    QFile now(f.out.filePath("SITE.csv"));
    QVERIFY(now.open(QIODevice::ReadOnly));
    QCOMPARE(now.readAll() != "older\n", replaced);
    QCOMPARE(Result(f.window, 0).startsWith("kept"), !replaced);
  }

  // Whatever the surveyor sets among the options shown, the command line takes it: for each
  // target every shown field is given a good value and no command is refused; options
  // hidden for the target never reach its command.
  void shownOptionsAreTaken_data() {
    QTest::addColumn<int>("target");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    const QStringList sections{"&From section:", "T&o section:", "Hori&zontal 1:", "&Vertical 1:"};
    QTest::newRow("dxf") << int(Target::Dxf)
                         << QStringList{"&Reference file:", "Point labels:"} + sections
                         << QStringList{"Scale &1:", "&Paper:", "&Coordinate system:"};
    QTest::newRow("gpkg") << int(Target::Gpkg)
                          << QStringList{"&Coordinate system:", "NEH files &go as:"}
                          << QStringList{"Point labels:", "Scale &1:", "&From section:"};
    QTest::newRow("kml") << int(Target::Kml) << QStringList{"&Datum shift:"}
                         << QStringList{"&Coordinate system:", "Point labels:"};
    QTest::newRow("pdf") << int(Target::Pdf)
                         << QStringList{"Scale &1:", "&Paper:", "Point labels:"} + sections
                         << QStringList{"&Coordinate system:", "&Datum shift:"};
    QTest::newRow("xlsx") << int(Target::Xlsx) << QStringList{}
                          << QStringList{"&Reference file:", "&Coordinate system:", "Scale &1:"};
  }
  void shownOptionsAreTaken() {
    QFETCH(int, target);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    Fixture f({Samples() + "SITE.NEH", Samples() + "ROAD.SEC"});
    f.Choose(static_cast<Target>(target));
    auto label = [&](const QString& text) -> QLabel* {
      for (QLabel* l : f.window.findChildren<QLabel*>())
        if (l->text() == text) return l;
      return nullptr;
    };
    for (const QString& s : shown) QVERIFY2(label(s) && label(s)->isVisible(), qPrintable(s));
    for (const QString& h : hidden) QVERIFY2(!label(h) || !label(h)->isVisible(), qPrintable(h));
    // Good values in every field shown, any value in the hidden ones.
    if (auto* r = Field<QLineEdit>(f.window, "&Reference file:"))
      r->setText(Samples() + "SITEREF.NEH");
    if (auto* s = Field<QLineEdit>(f.window, "Scale &1:")) s->setText("500");
    if (auto* c = Field<QComboBox>(f.window, "&Coordinate system:"))
      c->setCurrentText("UTM 50N on WGS 84");
    for (QCheckBox* b : f.window.findChildren<QCheckBox*>()) b->setChecked(b->isVisible());
    for (const BuiltCommandCheck& c : Checks(f.window))
      QVERIFY2(c.refused.isEmpty(), qPrintable(c.refused));
    if (!label("Scale &1:")->isVisible()) QVERIFY(!f.window.CommandText().contains("--scale"));
    if (!label("&Coordinate system:")->isVisible())
      QVERIFY(!f.window.CommandText().contains("--crs"));
  }

  // Which command takes each kind of file for each target, and what a file no command
  // takes is told.
  void commandPerKind_data() {
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("nehAsTable");
    QTest::addColumn<QString>("expected");  // NEH SEC DAT: plan, table, sections or "-"
    QTest::newRow("dxf") << int(Target::Dxf) << false << "plan sections -";
    QTest::newRow("gpkg plan") << int(Target::Gpkg) << false << "plan table table";
    QTest::newRow("gpkg table") << int(Target::Gpkg) << true << "table table table";
    QTest::newRow("csv table") << int(Target::Csv) << true << "table table table";
    QTest::newRow("kml") << int(Target::Kml) << true << "plan - -";
    QTest::newRow("xlsx") << int(Target::Xlsx) << false << "table table table";
    QTest::newRow("svg") << int(Target::Svg) << false << "plan sections -";
  }
  void commandPerKind() {
    QFETCH(int, target);
    QFETCH(bool, nehAsTable);
    QFETCH(QString, expected);
    surveyexport::ExportChoices c;
    c.target = static_cast<Target>(target);
    c.neHAsTable = nehAsTable;
    c.outputDir = "/tmp/out";
    c.from = "A";
    c.horizontal = "200";
    c.vertical = "100";
    c.crs = "EPSG:32650";  // given to a table only where its files hold positions
    std::vector<surveyexport::ListedFile> files;
    for (auto kind : {toolkit::SurveyKind::Neh, toolkit::SurveyKind::Sec, toolkit::SurveyKind::Dat})
      files.push_back({std::string("/s/F") + toolkit::KindExtension(kind), true, kind});
    const auto built = surveyexport::BuildExport(c, files);
    QStringList got{"-", "-", "-"};
    for (const auto& b : built.commands) {
      QVERIFY2(b.refused.empty(), b.refused.c_str());
      for (int row : b.rows) got[row] = surveyexport::CommandName(b.command);
    }
    QCOMPARE(got.join(' '), expected);
    for (const auto& [row, line] : built.skipped)
      QVERIFY(QString::fromStdString(line).startsWith(
          QString("/s/F") + toolkit::KindExtension(files[row].kind) + ": "));
  }

  // A choice the command line refuses is refused in its words, under the command, and
  // nothing of that command is written.
  void refusedChoices_data() {
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("line");
    QTest::newRow("scale with 1:") << int(Target::Pdf) << "Scale &1:"
                                   << "1:500"
                                   << "plan: --scale 1:500: the scale is the number N";
    QTest::newRow("crs letter O") << int(Target::Gpkg) << "&Coordinate system:"
                                  << "EPSG:3265O"
                                  << "unknown CRS";
    QTest::newRow("crs a file") << int(Target::GeoJson) << "&Coordinate system:"
                                << "/etc/passwd"
                                << "names a file or a network resource";
    QTest::newRow("no section") << int(Target::Dxf) << "&From section:"
                                << ""
                                << "sections: --from NAME is needed";
    QTest::newRow("no folder") << int(Target::Dxf) << "Save &in folder:"
                               << ""
                               << "--output-dir needs a folder";
  }
  void refusedChoices() {
    QFETCH(int, target);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, line);
    Fixture f({Samples() + "SITE.NEH", Samples() + "ROAD.SEC"});
    f.Choose(static_cast<Target>(target));
    if (auto* e = Field<QLineEdit>(f.window, field)) e->setText(value);
    if (auto* c = Field<QComboBox>(f.window, field)) c->setCurrentText(value);
    QLabel* said = nullptr;
    for (QLabel* l : f.window.findChildren<QLabel*>())
      if (l->text().startsWith("surveyexport: ")) said = l;
    QVERIFY(said);
    QVERIFY2(said->text().contains(line), qPrintable(said->text()));
    // The command shown is the one refused: the command line says the same of it.
    const QString shown = f.window.CommandText();
    if (Named<QPushButton>(f.window, "E&xport")->isEnabled()) QVERIFY(f.Export());
    QVERIFY(f.window.CommandText() == shown);
  }

  // The list's kind, records and extent of each sample, against the records as Python
  // reads them (little-endian doubles, the northing and easting fields of each kind).
  void listedFacts_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("north");  // 0-based field of the northing, -1 none
    QTest::addColumn<int>("east");
    QTest::newRow("NEH") << "SITE.NEH" << 24 << 0 << 1;
    QTest::newRow("STN") << "CONTROL.STN" << 32 << 1 << 2;
    QTest::newRow("CHG") << "ROAD.CHG" << 40 << 2 << 3;
    QTest::newRow("SOL") << "ROAD.SOL" << 32 << 1 << 2;
    QTest::newRow("DAT") << "TRAV.DAT" << 40 << -1 << -1;
  }
  void listedFacts() {
    QFETCH(QString, file);
    QFETCH(int, length);
    QFETCH(int, north);
    QFETCH(int, east);
    Fixture f({Samples() + file});
    QTreeWidgetItem* it = f.window.List()->topLevelItem(0);
    const QString script =
        QString(
            "import struct, sys\nd = open(sys.argv[1], 'rb').read()\nL, n, e = %1, %2, %3\n"
            "recs = [struct.unpack_from('<%4d', d, i) for i in range(0, len(d) - L + 1, L)]\n"
            "print(len(recs))\n"
            "if n >= 0:\n"
            "    p = [(abs(r[e]), abs(r[n])) for r in recs if (r[e], r[n]) != (0, 0) and r[1:3] != "
            "(0, 0)]\n"
            "    print('%.3f %.3f %.3f %.3f' % (min(x for x, y in p), max(x for x, y in p), min(y "
            "for x, y in p), max(y for x, y in p)))\n")
            .arg(length)
            .arg(north)
            .arg(east)
            .arg(length / 8);
    const QStringList py =
        Tool("/usr/bin/python3", {"-c", script, Samples() + file}).trimmed().split('\n');
    QCOMPARE(it->text(surveyexport::kColRecords), py[0]);
    if (north >= 0) {
      QCOMPARE(QStringList({it->text(surveyexport::kColEMin), it->text(surveyexport::kColEMax),
                            it->text(surveyexport::kColNMin), it->text(surveyexport::kColNMax)})
                   .join(' '),
               py[1]);
    } else {
      QVERIFY(it->text(surveyexport::kColEMin).isEmpty());
    }
    QVERIFY(it->text(surveyexport::kColResult).isEmpty());
  }

  // The sheet preview at 100 dpi against the PDF page as Poppler renders it at 100 dpi:
  // the frame and the line work at the same places within two pixels.
  void sheetPreviewMatchesPdf_data() {
    QTest::addColumn<QString>("paper");
    QTest::addColumn<bool>("portrait");
    QTest::addColumn<QString>("scale");
    QTest::newRow("A3 at 1:500") << "A3" << false << "500";
    QTest::newRow("A4 upright, fitted") << "A4" << true << "";
  }
  void sheetPreviewMatchesPdf() {
    QFETCH(QString, paper);
    QFETCH(bool, portrait);
    QFETCH(QString, scale);
    Fixture f({Samples() + "SITE.NEH"});
    f.Choose(Target::Pdf);
    Field<QLineEdit>(f.window, "&Reference file:")->setText(Samples() + "SITEREF.NEH");
    Field<QLineEdit>(f.window, "Scale &1:")->setText(scale);
    Field<QComboBox>(f.window, "&Paper:")->setCurrentText(paper);
    Named<QCheckBox>(f.window, "Portrait, &upright")->setChecked(portrait);
    Named<QCheckBox>(f.window, "&Numbers")->setChecked(true);
    // The window's preview becomes the sheet: paper on a grey ground (on a loaded machine
    // the plan's preview may still be shown a while).
    QTRY_VERIFY_WITH_TIMEOUT(!f.window.Preview()->Image().isNull() &&
                                 !f.window.Preview()->Drawing() &&
                                 f.window.Preview()->Image().pixel(1, 1) == qRgb(0x80, 0x80, 0x80),
                             20000);
    QVERIFY(f.Export());
    bool ok = false;
    Tool("pdftoppm",
         {"-r", "100", "-png", "-singlefile", f.out.filePath("SITE.pdf"), f.out.filePath("page")},
         &ok);
    QVERIFY(ok);
    const QImage pdf(f.out.filePath("page.png"));
    QVERIFY(!pdf.isNull());

    surveyexport::PlanSheetOptions o;
    o.neh = (Samples() + "SITE.NEH").toStdString();
    o.reference = (Samples() + "SITEREF.NEH").toStdString();
    o.numbers = true;
    o.scale = scale.toDouble();
    o.paper = paper.toStdString();
    o.portrait = portrait;
    auto scene = surveyexport::SheetScene(o);
    QVERIFY(scene->Prepare([] { return true; }).empty());
    surveyexport::PreviewView v;
    v.perPixel = 25.4 / 100;
    v.width = pdf.width();
    v.height = pdf.height();
    v.cx = v.width * v.perPixel / 2;
    v.cy = v.height * v.perPixel / 2;
    v.yUp = false;
    // Poppler rounds the page's pixels up.
    QVERIFY(std::abs(std::lround(scene->Extent().width() / v.perPixel) - v.width) <= 1);
    QImage mine(v.width, v.height, QImage::Format_RGB32);
    mine.fill(Qt::white);
    QVERIFY(scene->Draw(mine, v, [] { return true; }));

    // Ink: any pixel clearly darker than the paper.
    auto ink = [](const QImage& im) {
      QVector<bool> m(im.width() * im.height());
      for (int y = 0; y < im.height(); ++y)
        for (int x = 0; x < im.width(); ++x) {
          const QRgb p = im.pixel(x, y);
          m[y * im.width() + x] = std::min({qRed(p), qGreen(p), qBlue(p)}) < 150;
        }
      return m;
    };
    const QVector<bool> a = ink(mine), b = ink(pdf.convertToFormat(QImage::Format_RGB32));
    const int w = v.width, h = v.height;
    // The share of one's ink with ink of the other within 2 pixels.
    auto near = [&](const QVector<bool>& from, const QVector<bool>& to) {
      long all = 0, hit = 0;
      for (int y = 2; y < h - 2; ++y)
        for (int x = 2; x < w - 2; ++x) {
          if (!from[y * w + x]) continue;
          ++all;
          bool found = false;
          for (int dy = -2; dy <= 2 && !found; ++dy)
            for (int dx = -2; dx <= 2 && !found; ++dx) found = to[(y + dy) * w + x + dx];
          hit += found;
        }
      return all ? double(hit) / all : 0.0;
    };
    QVERIFY2(near(a, b) > 0.97, qPrintable(QString::number(near(a, b))));
    QVERIFY2(near(b, a) > 0.97, qPrintable(QString::number(near(b, a))));
    // The frame: the longest runs of ink down a column, on the left, at the same column.
    auto frameColumn = [&](const QVector<bool>& m) {
      for (int x = 0; x < w / 2; ++x) {
        int run = 0;
        for (int y = 0; y < h; ++y) run += m[y * w + x];
        if (run > h / 2) return x;
      }
      return -1;
    };
    QVERIFY(frameColumn(a) > 0);
    QVERIFY(std::abs(frameColumn(a) - frameColumn(b)) <= 1);
  }

  // Zoomed into the sheet's preview, the window takes what it shows as --view.
  void viewFromPreview() {
    Fixture f({Samples() + "SITE.NEH"});
    f.Choose(Target::Pdf);
    surveyexport::PreviewArea* p = f.window.Preview();
    QTRY_VERIFY_WITH_TIMEOUT(!p->Image().isNull() && !p->Drawing(), 20000);
    const QRectF whole = p->ShownGround();
    QVERIFY(!whole.isEmpty());
    p->ZoomAt(QPointF(p->width() / 2.0, p->height() / 2.0), 4);
    QTest::mouseClick(Named<QPushButton>(f.window, "Ac&quire from the preview"), Qt::LeftButton);
    const QString view = Field<QLineEdit>(f.window, "Draw &just the window:")->text();
    const QStringList v = view.split(',');
    QCOMPARE(v.size(), 4);
    const QRectF part(QPointF(v[0].toDouble(), v[1].toDouble()),
                      QPointF(v[2].toDouble(), v[3].toDouble()));
    QVERIFY2(whole.contains(part) && part.width() < whole.width() / 2, qPrintable(view));
    QVERIFY(f.window.CommandText().contains("--view " + view));
  }

  // The preview draws a plan's line work (SITE.NEH's red lines), a SEC file's sections in
  // frames with the sheets' blue ticks, and follows the wheel.
  void preview_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QRgb>("colour");
    QTest::newRow("plan") << "SITE.NEH" << qRgb(255, 0, 0);
    QTest::newRow("sections") << "ROAD.SEC" << qRgb(0, 0, 255);
  }
  void preview() {
    QFETCH(QString, file);
    QFETCH(QRgb, colour);
    Fixture f({Samples() + file});
    surveyexport::PreviewArea* p = f.window.Preview();
    QTRY_VERIFY_WITH_TIMEOUT(!p->Image().isNull() && !p->Drawing(), 20000);
    int inked = 0;
    for (int y = 0; y < p->Image().height(); ++y)
      for (int x = 0; x < p->Image().width(); ++x) inked += p->Image().pixel(x, y) == colour;
    QVERIFY2(inked > 50, qPrintable(QString::number(inked)));
    const double before = p->View().perPixel;
    QWheelEvent wheel(QPointF(50, 50), p->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(p, &wheel);
    QVERIFY(std::fabs(p->View().perPixel - before / 1.5625) < before * 1e-9);
    QTRY_VERIFY_WITH_TIMEOUT(!p->Drawing(), 20000);
    QCOMPARE(p->Image().size(), p->size());
  }

  // Dropped files are listed; the last choices come back in a new window.
  void dropAndRemember() {
    QTemporaryDir dir;
    {
      Fixture f({});
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(Samples() + "ROAD.SEC")});
      QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&f.window, &enter);
      QVERIFY(enter.isAccepted());
      QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&f.window, &drop);
      QTRY_COMPARE(f.window.List()->topLevelItemCount(), 1);
      f.Choose(Target::Svg);
      Field<QLineEdit>(f.window, "Save &in folder:")->setText(dir.path());
    }
    ExportWindow again;
    QCOMPARE(again.Choices().target, Target::Svg);
    QCOMPARE(QString::fromStdString(again.Choices().outputDir), dir.path());
  }

  // Every control is reached with Tab, and every labelled one has a key of its own.
  void keyboard() {
    Fixture f({Samples() + "SITE.NEH"});
    QApplication::setActiveWindow(&f.window);
    QSet<QWidget*> reached;
    QWidget* start = f.window.List();
    start->setFocus();
    QWidget* w = start;
    for (int i = 0; i < 200; ++i) {
      reached.insert(w);
      w = w->nextInFocusChain();
      while (w && !(w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)))
        w = w->nextInFocusChain();
      if (!w || w == start) break;
    }
    QList<QWidget*> controls;
    for (QWidget* c : f.window.findChildren<QWidget*>())
      if ((qobject_cast<QAbstractButton*>(c) || qobject_cast<QComboBox*>(c) ||
           qobject_cast<QLineEdit*>(c)) &&
          c->isVisible() && c->isEnabled() && !qobject_cast<QComboBox*>(c->parentWidget()))
        controls << c;
    QVERIFY(controls.size() > 10);
    QSet<QString> keys;
    for (QWidget* c : controls) QVERIFY2(reached.contains(c), c->metaObject()->className());
    for (QLabel* l : f.window.findChildren<QLabel*>()) {
      if (!l->isVisible() || !l->buddy()) continue;
      const int amp = l->text().indexOf('&');
      QVERIFY2(amp >= 0, qPrintable(l->text()));
      QVERIFY2(!keys.contains(l->text().mid(amp + 1, 1).toLower()), qPrintable(l->text()));
      keys.insert(l->text().mid(amp + 1, 1).toLower());
    }
  }

  // The menu entry validates, and the survey file kinds are taken by the MIME database in
  // any letter case.
  void desktopEntryAndMime() {
    const QString dir = qEnvironmentVariable("SUITE_SOURCE_DIR") + "/export/";
    QFile in(dir + "surveyexport-gui.desktop.in");
    QVERIFY(in.open(QIODevice::ReadOnly));
    QString entry = QString::fromUtf8(in.readAll());
    entry.replace("@PROGRAM_EXEC_QUOTED@", "/usr/bin/surveyexport-gui")
        .replace("@PROGRAM_EXEC@", "/usr/bin/surveyexport-gui");
    QTemporaryDir scratch;
    QFile out(scratch.filePath("surveyexport-gui.desktop"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(entry.toUtf8());
    out.close();
    bool ok = false;
    const QString says = Tool("desktop-file-validate", {out.fileName()}, &ok);
    QVERIFY2(ok && says.isEmpty(), qPrintable(says));
    QDir(scratch.path()).mkpath("mime/packages");
    QVERIFY(
        QFile::copy(dir + "surveyexport-gui-mime.xml", scratch.filePath("mime/packages/qova.xml")));
    Tool("update-mime-database", {scratch.filePath("mime")}, &ok);
    QVERIFY(ok);
    QFile globs(scratch.filePath("mime/globs2"));
    QVERIFY(globs.open(QIODevice::ReadOnly));
    const QString g = QString::fromUtf8(globs.readAll());
    for (const char* kind : {"dat", "neh", "sec", "stn", "chg", "pts", "sol"}) {
      QVERIFY2(g.contains(QString("application/x-qova-survey-%1:*.%1\n").arg(kind)), kind);
      QVERIFY(entry.contains(QString("application/x-qova-survey-%1;").arg(kind)));
    }
    // Globs without case-sensitive="true" match SITE.NEH as well as site.neh.
    QVERIFY(!g.contains(":cs"));
  }

 private:
  struct BuiltCommandCheck {
    QString refused;
  };
  static QList<BuiltCommandCheck> Checks(ExportWindow& w) {
    QList<BuiltCommandCheck> list;
    for (const auto& b : w.Built().commands)
      list << BuiltCommandCheck{QString::fromStdString(b.refused)};
    return list;
  }
};

QTEST_MAIN(TestExportWindow)
#include "tst_export_window.moc"
