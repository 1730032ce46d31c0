// The plan on paper: true scale, frame labels and sheet size read back from the PDF with
// Poppler; the choice of scale and tick spacing; bad input.
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>
#include <sstream>

#include "export/cli.h"
#include "export/plan_sheet.h"
#include "export/section_layout.h"
#include "export_test_tools.h"
#include "survey_writer.h"

namespace {

constexpr double kMmPerPt = 25.4 / 72.0;

using exporttest::Tool;

// Word boxes of the page: text -> centre, in mm from the top-left corner.
QMultiMap<QString, QPointF> Words(const QString& pdf) {
  const QString xml = Tool("pdftotext", {"-bbox", pdf, "-"});
  QMultiMap<QString, QPointF> words;
  static const QRegularExpression re(
      "<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" "
      "xMax=\"([-0-9.]+)\" yMax=\"([-0-9.]+)\">([^<]*)</word>");
  for (auto it = re.globalMatch(xml); it.hasNext();) {
    const auto m = it.next();
    words.insert(m.captured(5),
                 QPointF((m.captured(1).toDouble() + m.captured(3).toDouble()) / 2 * kMmPerPt,
                         (m.captured(2).toDouble() + m.captured(4).toDouble()) / 2 * kMmPerPt));
  }
  return words;
}

// Every path of the page filled or stroked in the colour pattern: the points where its
// pieces start (mm).
QList<QPointF> PathStarts(const QString& pdf, const QString& rgb, const QString& how) {
  const QString svg = QDir::temp().filePath(
      QString("plan-sheet-page-%1.svg").arg(QCoreApplication::applicationPid()));
  Tool("pdftocairo", {"-svg", pdf, svg});
  QFile f(svg);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QString text = QString::fromUtf8(f.readAll());
  QFile::remove(svg);
  const QRegularExpression path("<path style=\"[^\"]*" + how + ":rgb\\(" + rgb +
                                "\\)[^\"]*\" d=\"([^\"]*)\"(?: transform=\"matrix\\(([-0-9.]+),)?");
  static const QRegularExpression move("M ([-0-9.]+) ([-0-9.]+)");
  QList<QPointF> starts;
  for (auto it = path.globalMatch(text); it.hasNext();) {
    const auto m = it.next();
    const double k = (m.captured(2).isEmpty() ? 1.0 : m.captured(2).toDouble()) * kMmPerPt;
    QList<QPointF> pieces;
    for (auto mv = move.globalMatch(m.captured(1)); mv.hasNext();) {
      const auto p = mv.next();
      const QPointF at(p.captured(1).toDouble() * k, p.captured(2).toDouble() * k);
      if (pieces.isEmpty() || pieces.back() != at) pieces << at;  // a closing move repeats
    }
    starts += pieces;
  }
  return starts;
}

}  // namespace

class TestPlanSheet : public QObject {
  Q_OBJECT
  QDir dir_;
  QString neh_;

 private slots:
  void initTestCase() {
    dir_ = QDir(QString::fromStdString(testsupport::MakeTempDir("plan_sheet")));
    neh_ = dir_.filePath("SURVEY.NEH");
    using testsupport::PackHeight;
    // Two points 100 m apart east-west, and a red dashed line (code 1) 100 m long,
    // 50 m further north.
    QVERIFY(testsupport::WriteSurveyFile(neh_.toStdString(),
                                         {{820000.0, 836000.0, PackHeight(12.5, 0)},
                                          {820000.0, 836100.0, PackHeight(13.25, 0)},
                                          {-820050.0, 836000.0, PackHeight(14, 1)},
                                          {-820050.0, 836100.0, PackHeight(14, 1)}},
                                         24));
    // The same survey after an unused slot and a damaged record, under a name with markup;
    // and with a record a long way off.
    QVERIFY(testsupport::WriteSurveyFile(dir_.filePath("A&<B>.NEH").toStdString(),
                                         {{0.0, 0.0, 0.0},
                                          {std::nan(""), 836000.0, 0.0},
                                          {820000.0, 836000.0, PackHeight(12.5, 0)},
                                          {820000.0, 836100.0, PackHeight(13.25, 0)}},
                                         24));
    QVERIFY(testsupport::WriteSurveyFile(
        dir_.filePath("FAR.NEH").toStdString(),
        {{820000.0, 836000.0, PackHeight(12.5, 0)}, {1e20, 836000.0, PackHeight(12.5, 0)}}, 24));
  }

  // At 1:500 the two points are 200 mm apart on the page, the line is 200 mm long, the
  // easting labels stand over the eastings they name and the sheet is A3.
  void trueScale() {
    const QString pdf = dir_.filePath("plan.pdf");
    surveyexport::PlanSheetOptions o;
    o.neh = neh_.toStdString();
    o.levels = true;
    o.output = pdf.toStdString();
    surveyexport::PlanSheetResult result;
    QCOMPARE(QString::fromStdString(surveyexport::DrawPlanSheet(o, {}, &result)), QString());
    QCOMPARE(result.scale, 500.0);  // the largest standard scale that fits A3
    bool ok = false;
    const QString info = Tool("pdfinfo", {pdf}, &ok);
    if (!ok) QSKIP("pdfinfo (poppler-utils) is not installed");
    QVERIFY2(info.contains("Page size:       1191 x 842 pts (A3)"), qPrintable(info));
    QVERIFY(exporttest::AsksActualSize(pdf));  // printed at 1:500, not shrunk to the paper

    // Points: squares in the print yellow (185, 135, 0), their corners 200 mm apart.
    const QList<QPointF> points = PathStarts(pdf, "72\\.5\\d*%,52\\.9\\d*%,0%", "fill");
    QCOMPARE(points.size(), 2);
    QVERIFY2(std::fabs(std::fabs(points[1].x() - points[0].x()) - 200) < 0.05,
             qPrintable(QString::number(points[1].x() - points[0].x())));
    QVERIFY(std::fabs(points[1].y() - points[0].y()) < 0.01);
    // The line 50 m north: 100 mm above the points.
    const QList<QPointF> line = PathStarts(pdf, "100%,0%,0%", "stroke");
    QCOMPARE(line.size(), 1);
    QVERIFY2(std::fabs(points[0].y() - line[0].y() - 100) < 0.5,
             qPrintable(QString::number(points[0].y() - line[0].y())));

    // Frame labels: every 20 m at 1:500; "836000" centred over the point at E 836000.
    const auto words = Words(pdf);
    const double pointX = std::min(points[0].x(), points[1].x()) + 0.3;  // square's centre
    QVERIFY(words.contains("836000") && words.contains("836100"));
    const QList<QPointF> at0 = words.values("836000"), at100 = words.values("836100");
    QCOMPARE(at0.size(), 2);  // along the bottom and the top
    for (const QPointF& p : at0)
      QVERIFY2(std::fabs(p.x() - pointX) < 0.2, qPrintable(QString::number(p.x() - pointX)));
    QVERIFY(std::fabs(at100[0].x() - at0[0].x() - 200) < 0.2);
    QVERIFY(words.contains("820000") && words.contains("1:500"));
    QVERIFY(words.contains("12.50") && words.contains("13.25"));
    QVERIFY(Tool("pdftotext", {pdf, "-"}).contains("Hong Kong 1980 Grid"));
  }

  void scaleChoice_data() {
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("scale");  // 0: none fits
    QTest::newRow("100 m on 378 mm") << 100.0 << 50.0 << 500.0;
    QTest::newRow("exactly 1:250") << 94.5 << 10.0 << 250.0;
    QTest::newRow("tall") << 10.0 << 100.0 << 500.0;
    QTest::newRow("a point") << 0.0 << 0.0 << 100.0;
    QTest::newRow("too big") << 30000.0 << 10.0 << 0.0;
  }
  void scaleChoice() {
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(double, scale);
    QCOMPARE(surveyexport::PlanScaleFor(width, height, 378, 220).value_or(0), scale);
  }

  void tickSpacing_data() {
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("spacing");
    QTest::newRow("1:100") << 100.0 << 5.0;
    QTest::newRow("1:500") << 500.0 << 20.0;
    QTest::newRow("1:1000") << 1000.0 << 50.0;
    QTest::newRow("1:1250") << 1250.0 << 50.0;
    QTest::newRow("1:50000") << 50000.0 << 2000.0;
  }
  void tickSpacing() {
    QFETCH(double, scale);
    QFETCH(double, spacing);
    QCOMPARE(surveyexport::PlanTickSpacing(scale), spacing);
  }

  void view_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("good");
    QTest::newRow("four numbers") << "836000,820000,836100.5,820050" << true;
    QTest::newRow("three") << "836000,820000,836100" << false;
    QTest::newRow("five") << "1,2,3,4,5" << false;
    QTest::newRow("text") << "a,b,c,d" << false;
    QTest::newRow("no width") << "1,2,1,4" << false;
    QTest::newRow("infinite") << "1,2,inf,4" << false;
    QTest::newRow("empty part") << "1,,3,4" << false;
    QTest::newRow("hexadecimal") << "0x10,1,2,3" << false;
    QTest::newRow("blanks about the numbers") << " 1 , 2,3 ,4 " << true;
  }
  void view() {
    QFETCH(QString, text);
    QFETCH(bool, good);
    QCOMPARE(surveyexport::ParseView(text.toStdString()).has_value(), good);
  }

  // The sheet holds the reference file too: a reference 600 m off the survey widens the
  // scale to take both in, and at a given scale too small for it the sheet says so.
  void referenceOnTheSheet() {
    const QString ref = dir_.filePath("REF.NEH");
    QVERIFY(testsupport::WriteSurveyFile(
        ref.toStdString(), {{820600.0, 836600.0, 0.0}, {820610.0, 836610.0, 0.0}}, 24));
    surveyexport::PlanSheetOptions o;
    o.neh = neh_.toStdString();
    o.reference = ref.toStdString();
    o.output = dir_.filePath("withref.pdf").toStdString();
    o.overwrite = true;
    surveyexport::PlanSheetResult result;
    QCOMPARE(QString::fromStdString(surveyexport::DrawPlanSheet(o, {}, &result)), QString());
    QVERIFY2(result.scale >= 2000 && result.note.empty(),
             qPrintable(QString::number(result.scale)));
    o.scale = 500;
    QCOMPARE(QString::fromStdString(surveyexport::DrawPlanSheet(o, {}, &result)), QString());
    QVERIFY2(QString::fromStdString(result.note).contains("lies outside the sheet"),
             result.note.c_str());
  }

  // Nothing under the frame covers anything else, on every paper either way up and at
  // every scale: the scale bar ends before the north arrow, the note beside it, the
  // arrow before the title block, all on the sheet.
  void stripLayout_data() {
    QTest::addColumn<double>("width");
    for (const auto& paper : surveyexport::PaperSeries()) {
      QTest::newRow(qPrintable(QString::fromStdString(paper.name) + " landscape")) << paper.longMm;
      QTest::newRow(qPrintable(QString::fromStdString(paper.name) + " portrait")) << paper.shortMm;
    }
  }
  void stripLayout() {
    QFETCH(double, width);
    const auto apart = [](const surveyexport::SheetBox& a, const surveyexport::SheetBox& b) {
      return a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
    };
    for (double scale : surveyexport::PlanScaleSeries()) {
      const surveyexport::PlanSheetStrip s = surveyexport::PlanStripFor(width, 17, 250, scale);
      const std::vector<surveyexport::SheetBox> boxes{s.bar, s.arrow, s.title, s.note};
      for (std::size_t i = 0; i < boxes.size(); ++i) {
        QVERIFY(boxes[i].left >= 10 - 1e-9 && boxes[i].right <= width - 10 + 1e-9);
        for (std::size_t j = i + 1; j < boxes.size(); ++j)
          QVERIFY2(apart(boxes[i], boxes[j]),
                   qPrintable(QString("%1 %2 at 1:%3").arg(i).arg(j).arg(scale)));
      }
      // The bar is as long as it can be: twice its step would not have fitted.
      QVERIFY(s.bar.right - s.bar.left >= 20 || scale >= 50000);
    }
  }

  // Every text of a sheet stands at least 1.8 mm in capitals: Poppler's word boxes (the
  // font's ascent and descent, 1.12 em) at least 1.8 / 0.69 em high.
  void textHeights() {
    const QString pdf = dir_.filePath("heights.pdf");
    std::ostringstream out, err;
    QCOMPARE(surveyexport::RunSurveyExport(
                 {"plan", "-q", neh_.toStdString(), "--numbers", "--levels", "--paper", "A4",
                  "--portrait", "--scale", "100", "--overwrite", pdf.toStdString()},
                 out, err),
             0);
    bool ok = false;
    const QString xml = Tool("pdftotext", {"-bbox", pdf, "-"}, &ok);
    if (!ok) QSKIP("pdftotext (poppler-utils) is not installed");
    static const QRegularExpression word(
        "<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" xMax=\"([-0-9.]+)\" "
        "yMax=\"([-0-9.]+)\">([^<]*)<");
    int words = 0;
    for (auto it = word.globalMatch(xml); it.hasNext(); ++words) {
      const auto m = it.next();
      const double w = (m.captured(3).toDouble() - m.captured(1).toDouble()) * 25.4 / 72;
      const double h = (m.captured(4).toDouble() - m.captured(2).toDouble()) * 25.4 / 72;
      // Across the line of reading: the box's height, or its width for the northings that
      // read upward along the sides (words more than twice as high as wide).
      const double across = m.captured(5).size() > 1 && h > 2 * w ? w : h;
      QVERIFY2(across >= 1.8 / 0.69 * 1.117 - 0.02,
               qPrintable(m.captured(5) + " " + QString::number(across)));
    }
    QVERIFY(words > 10);
  }

  // The plan command on its way to paper: usage errors (exit 2) for bad scales, views
  // and papers, one line and exit 1 for a file that cannot be read; no output left.
  void command_data() {
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("scale zero") << QStringList{"@SURVEY.NEH", "--scale", "0"} << 2 << "--scale 0";
    QTest::newRow("scale negative")
        << QStringList{"@SURVEY.NEH", "--scale", "-500"} << 2 << "--scale -500";
    QTest::newRow("scale text") << QStringList{"@SURVEY.NEH", "--scale", "big"} << 2
                                << "--scale big";
    QTest::newRow("view of three")
        << QStringList{"@SURVEY.NEH", "--view", "1,2,3"} << 2 << "--view 1,2,3";
    QTest::newRow("paper") << QStringList{"@SURVEY.NEH", "--paper", "letter"} << 2
                           << "--paper letter";
    QTest::newRow("missing file") << QStringList{"@NONE.NEH"} << 1 << "NONE.NEH: no such file";
    // Beyond a million kilometres no frame can be drawn: refused, never a hang.
    QTest::newRow("record far off at a scale")
        << QStringList{"@FAR.NEH", "--scale", "1000"} << 1 << "the survey reaches too far";
    QTest::newRow("view too big for any scale")
        << QStringList{"@SURVEY.NEH", "--view", "0,0,1e7,1"} << 1 << "does not fit A3";
  }
  void command() {
    QFETCH(QStringList, words);
    QFETCH(int, code);
    QFETCH(QString, message);
    std::vector<std::string> args{"plan"};
    for (const QString& w : words)
      args.push_back((w.startsWith('@') ? dir_.filePath(w.mid(1)) : w).toStdString());
    const QString pdf = dir_.filePath("command.pdf");
    args.push_back(pdf.toStdString());
    std::ostringstream out, err;
    QCOMPARE(surveyexport::RunSurveyExport(args, out, err), code);
    const QString said = QString::fromStdString(err.str());
    QVERIFY2(said.startsWith("surveyexport: ") && said.contains(message), qPrintable(said));
    QCOMPARE(said.count('\n'), code == 1 ? 1 : 2);
    QVERIFY(!QFileInfo::exists(pdf));
  }

  // The plan command to SVG: one file of the sheet's size in millimetres.
  void commandToSvg() {
    const QString svg = dir_.filePath("plan.svg");
    std::ostringstream out, err;
    QCOMPARE(surveyexport::RunSurveyExport({"plan", neh_.toStdString(), "--numbers", "--paper",
                                            "A4", "--portrait", "--quiet", svg.toStdString()},
                                           out, err),
             0);
    QFile f(svg);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY(text.contains("width=\"210mm\" height=\"297mm\""));
    QVERIFY(text.contains("SURVEY.NEH 1:1000"));  // 100 m on 168 mm

    // A name with markup stays well-formed XML, and the points after an unused slot are
    // fitted like any others (100 m again at 1:1000).
    const QString named = dir_.filePath("named.svg");
    QCOMPARE(
        surveyexport::RunSurveyExport({"plan", dir_.filePath("A&<B>.NEH").toStdString(), "--paper",
                                       "A4", "--portrait", "--quiet", named.toStdString()},
                                      out, err),
        0);
    QVERIFY2(out.str().find("named.svg: 1:1000 on A4; 1 records skipped") != std::string::npos,
             out.str().c_str());
    QFile n(named);
    QVERIFY(n.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&n);
    while (!xml.atEnd()) xml.readNext();
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
  }

  // A file that cannot be read: one line naming it, nothing under the output's name.
  void badInput() {
    surveyexport::PlanSheetOptions o;
    o.neh = dir_.filePath("NOPE.NEH").toStdString();
    o.output = dir_.filePath("bad.pdf").toStdString();
    QVERIFY(QString::fromStdString(surveyexport::DrawPlanSheet(o, {}))
                .contains("NOPE.NEH: no such file"));
    o.neh = dir_.path().toStdString();  // a folder
    QVERIFY(QString::fromStdString(surveyexport::DrawPlanSheet(o, {}))
                .contains("is a folder, not a survey file"));
    QVERIFY(!QFileInfo::exists(dir_.filePath("bad.pdf")));
  }
};

QTEST_MAIN(TestPlanSheet)
#include "tst_plan_sheet.moc"
