// surveyexport sections: scale, sheet and labels read back from the PDF with Poppler, the
// SVG pages, the DXF read back with ezdxf, and what bad input gets.
#include <QtTest>

#include <cmath>
#include <sstream>

#include "../secplot/sec_builder.h"
#include "export/cli.h"
#include "export_test_tools.h"
#include "export/section_layout.h"

using sectest::SecBuilder;

namespace {

constexpr double kMmPerPt = 25.4 / 72.0;

using exporttest::Run;
Run Export(const QStringList& words) { return exporttest::Export("sections", words); }

using exporttest::Tool;

// Word boxes of one page: text -> (xMin, yMin) in mm from the top-left corner.
QMultiMap<QString, QPointF> Words(const QString& pdf, int page) {
  const QString xml = Tool(
      "pdftotext", {"-bbox", "-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
  QMultiMap<QString, QPointF> words;
  static const QRegularExpression re(
      "<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\"[^>]*>([^<]*)</word>");
  for (auto it = re.globalMatch(xml); it.hasNext();) {
    const auto m = it.next();
    words.insert(m.captured(3),
                 QPointF(m.captured(1).toDouble() * kMmPerPt, m.captured(2).toDouble() * kMmPerPt));
  }
  return words;
}

// The words of one page whose boxes cross another's ("A/B"): texts written over each other.
QStringList Overprinted(const QString& pdf, int page) {
  static const QRegularExpression re(
      "<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" xMax=\"([-0-9.]+)\" "
      "yMax=\"([-0-9.]+)\">([^<]*)</word>");
  QList<QPair<QString, QRectF>> boxes;
  QStringList crossing;
  const QString p = QString::number(page);
  for (auto it = re.globalMatch(Tool("pdftotext", {"-bbox", "-f", p, "-l", p, pdf, "-"}));
       it.hasNext();) {
    const auto m = it.next();
    const QRectF box(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                     QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
    for (const auto& [word, other] : boxes)
      if (box.intersects(other)) crossing << word + "/" + m.captured(5);
    boxes.append({m.captured(5), box});
  }
  return crossing;
}

// The vertices of the first stroked path of the colour (a pattern of Poppler's
// "rgb(100%,0%,0%)" for red), in mm.
QList<QPointF> Stroke(const QString& pdf, int page, const QString& rgb) {
  const QString svg = QDir::temp().filePath(
      QString("section-sheet-page-%1.svg").arg(QCoreApplication::applicationPid()));
  Tool("pdftocairo", {"-svg", "-f", QString::number(page), "-l", QString::number(page), pdf, svg});
  QFile f(svg);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QString text = QString::fromUtf8(f.readAll());
  QFile::remove(svg);
  const QRegularExpression path("<path style=\"[^\"]*stroke:rgb\\(" + rgb +
                                "\\)[^\"]*\" d=\"([^\"]*)\"(?: transform=\"matrix\\(([-0-9.]+),)?");
  const auto m = path.match(text);
  if (!m.hasMatch()) return {};
  const double scale = m.captured(2).isEmpty() ? 1.0 : m.captured(2).toDouble();
  QList<QPointF> points;
  const QStringList parts = m.captured(1).split(' ', Qt::SkipEmptyParts);
  for (int i = 0; i + 2 < parts.size(); i += 3)
    points << QPointF(parts[i + 1].toDouble() * scale * kMmPerPt,
                      parts[i + 2].toDouble() * scale * kMmPerPt);
  return points;
}

}  // namespace

class TestSectionSheets : public QObject {
  Q_OBJECT
  QDir dir_;
  QString a_, b_;

  QString Path(const QString& name) const { return dir_.filePath(name); }

 private slots:
  void initTestCase() {
    dir_ = QDir(QString::fromStdString(testsupport::MakeTempDir("section_sheets")));
    a_ = Path("A.SEC");
    b_ = Path("B.SEC");
    // Offsets -10, 0, 10 in every section.
    QVERIFY(SecBuilder()
                .Section("S1", {20, 22, 21})
                .Section("S2", {19, 19.5, 19})
                .Section("S3", {21, 21, 22})
                .Write(a_.toStdString()));
    QVERIFY(SecBuilder()
                .Section("S1", {20.5, 21.5, 21})
                .Section("S3", {21, 20, 22})
                .Write(b_.toStdString()));
  }

  // Lengths on the page are the ground's at the scales, checked on the drawn ground line
  // and on the frame's tick labels; the sheet is the paper it should be.
  void trueScale_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("pageSize");
    QTest::addColumn<double>("horizontal");
    QTest::addColumn<double>("vertical");
    QTest::addColumn<QString>("note");
    QTest::newRow("1:200 / 1:100 on A4") << QStringList{"--horizontal", "200", "--vertical", "100"}
                                         << "842 x 595 pts (A4)" << 200.0 << 100.0 << "";
    QTest::newRow("1:100 / 1:50 too wide for A4: A3")
        << QStringList{"--horizontal", "100", "--vertical", "50"} << "1191 x 842 pts (A3)" << 100.0
        << 50.0 << "Drawn on A3";
    QTest::newRow("1:100 / 1:50 fitted to A4")
        << QStringList{"--horizontal", "100", "--vertical", "50", "--fit"} << "842 x 595 pts (A4)"
        << 200.0 << 50.0 << "Scales changed to fit A4";
    QTest::newRow("1:200 / 1:100 on A3 asked")
        << QStringList{"--horizontal=200", "--vertical=100", "--paper", "a3"}
        << "1191 x 842 pts (A3)" << 200.0 << 100.0 << "";
  }
  void trueScale() {
    QFETCH(QStringList, options);
    QFETCH(QString, pageSize);
    QFETCH(double, horizontal);
    QFETCH(double, vertical);
    QFETCH(QString, note);
    const QString pdf = Path("scale.pdf");
    const Run r = Export(QStringList{a_, "--from", "s1", "--to", "S1", "--overwrite"} + options +
                         QStringList{pdf});
    QCOMPARE(r.code, 0);
    bool ok = false;
    const QString info = Tool("pdfinfo", {pdf}, &ok);
    if (!ok) QSKIP("pdfinfo (poppler-utils) is not installed");
    QVERIFY2(info.contains("Pages:           1"), qPrintable(info));
    QVERIFY2(info.contains("Page size:       " + pageSize), qPrintable(info));

    // The ground line: offsets -10, 0, 10 at heights 20, 22, 21.
    const QList<QPointF> line = Stroke(pdf, 1, "100%,0%,0%");
    QCOMPARE(line.size(), 3);
    const double across = 10 * 1000 / horizontal, up = 1000 / vertical;  // mm
    QVERIFY2(std::fabs(line[1].x() - line[0].x() - across) < 0.05,
             qPrintable(QString::number(line[1].x() - line[0].x())));
    QVERIFY(std::fabs(line[2].x() - line[1].x() - across) < 0.05);
    QVERIFY(std::fabs(line[0].y() - line[1].y() - 2 * up) < 0.05);  // 2 m up
    QVERIFY(std::fabs(line[2].y() - line[1].y() - 1 * up) < 0.05);  // 1 m down

    // Tick labels stand where their values are: "0.00" and "10.00" at the tick's foot,
    // a blank's width to the right of the offsets 0 and 10 of the ground line.
    const auto words = Words(pdf, 1);
    QVERIFY(words.contains("0.00") && words.contains("10.00"));
    const double at0 = words.value("0.00").x() - line[1].x();
    const double at10 = words.value("10.00").x() - line[2].x();
    QVERIFY2(at0 > 0 && at0 < 1.2, qPrintable(QString::number(at0)));
    QVERIFY2(std::fabs(at10 - at0) < 0.05, qPrintable(QString::number(at10 - at0)));
    // Height tick labels, under the row of distance labels at the left edge: whatever
    // the vertical scale, they are 20 mm apart on the page.
    QList<double> heights;
    const double distanceRow = words.value("0.00").y();
    for (auto it = words.begin(); it != words.end(); ++it)
      if (it.key().endsWith(".00") && it.value().x() < line[0].x() &&
          it.value().y() > distanceRow + 1 && it.value().y() < words.value("Datum").y() - 1)
        heights << it.value().y();
    std::sort(heights.begin(), heights.end());
    QVERIFY(heights.size() >= 2);
    // The datum under the frame's lower left corner, 20 mm under the lowest height label.
    QVERIFY(std::fabs(words.value("Datum").y() - heights.last() - 20) < 1.5);
    for (int i = 1; i < heights.size(); ++i)
      QVERIFY(std::fabs(heights[i] - heights[i - 1] - 20) < 0.05);

    const QString text = Tool("pdftotext", {"-layout", pdf, "-"});
    const QString title =
        QString("S1  Ch 0.000  Hor 1/%1  Vert 1/%2").arg(horizontal).arg(vertical);
    QVERIFY2(text.simplified().contains(title.simplified()), qPrintable(text));
    if (!note.isEmpty()) {
      QVERIFY2(text.contains(note), qPrintable(text));
      QVERIFY(r.err.find("section S1: " + note.toStdString()) != std::string::npos);
    }
  }

  // Every section of the range gets a page; a file without one of them is drawn where it
  // has the section and named in the legend of the page it is missing from.
  void rangeOverFiles() {
    const QString pdf = Path("range.pdf");
    const Run r = Export({a_, b_, "--from", "S1", "--to", "S3", "--horizontal", "200", "--vertical",
                          "100", "--heights", "--overwrite", pdf});
    QCOMPARE(r.code, 0);
    bool ok = false;
    QVERIFY(Tool("pdfinfo", {pdf}, &ok).contains("Pages:           3"));
    QVERIFY(exporttest::AsksActualSize(pdf));
    const QString page2 = Tool("pdftotext", {"-f", "2", "-l", "2", pdf, "-"});
    QVERIFY2(page2.contains("B.SEC (no section S2)"), qPrintable(page2));
    QVERIFY(Stroke(pdf, 2, "0%,58\\.8\\d*%,0%").isEmpty());   // no green line on S2
    QCOMPARE(Stroke(pdf, 3, "0%,58\\.8\\d*%,0%").size(), 3);  // B's S3 in print green
    // Height labels, the second reading of the same records; where both files have the
    // same height at an offset, the two labels stand side by side.
    QVERIFY(Words(pdf, 3).contains("22.00"));
    const QStringList crossing = Overprinted(pdf, 3);
    QVERIFY2(crossing.isEmpty(), qPrintable(crossing.join(' ')));
  }

  void svgPages_data() {
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("overOlder");  // over a drawing S1-S3 and a file one-4.svg of its own
    QTest::addColumn<QStringList>("files");
    QTest::newRow("one section: the named file") << "S1" << false << QStringList{"one.svg"};
    QTest::newRow("a range: one file a page")
        << "S3" << false << QStringList{"one-1.svg", "one-2.svg", "one-3.svg"};
    // The older drawing's page past the new end goes; a file that is none of its pages stays.
    QTest::newRow("a shorter range over a longer one")
        << "S2" << true << QStringList{"one-1.svg", "one-2.svg", "one-4.svg"};
  }
  void svgPages() {
    QFETCH(QString, to);
    QFETCH(bool, overOlder);
    QFETCH(QStringList, files);
    QDir out(Path("svg-" + to));
    QVERIFY(out.mkpath("."));
    QStringList words{a_, "--from", "S1", "--horizontal", "200", "--vertical", "100"};
    if (overOlder) {
      QCOMPARE(Export(words + QStringList{"--to", "S3", out.filePath("one.svg")}).code, 0);
      QVERIFY(QFile(out.filePath("one-4.svg")).open(QIODevice::WriteOnly));
      words << "--overwrite";
    }
    const Run r = Export(words + QStringList{"--to", to, out.filePath("one.svg")});
    QCOMPARE(r.code, 0);
    QCOMPARE(out.entryList(QDir::Files | QDir::Hidden), files);
    QFile f(out.filePath(files.first()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray svg = f.readAll();
    QVERIFY(svg.contains("width=\"297mm\" height=\"210mm\""));
    QVERIFY(svg.contains("S1  Ch 0.000  Hor 1/200  Vert 1/100"));
  }

  // The DXF read back with ezdxf: a layer per file in its colour and line type, ground
  // lines in (offset, height) metres, each section over its datum.
  void dxfReadBack() {
    const QString dxf = Path("range.dxf");
    const Run r = Export({a_, b_, "--from", "S1", "--to", "S3", "--horizontal", "200", "--vertical",
                          "100", "--heights", "--overwrite", dxf});
    QCOMPARE(r.code, 0);
    const QString script =
        "import sys, ezdxf\n"
        "d = ezdxf.readfile(sys.argv[1])\n"
        "for l in d.layers: print('LAYER', l.dxf.name, l.dxf.color, l.dxf.linetype)\n"
        "for p in d.modelspace().query('POLYLINE'):\n"
        "  print('LINE', p.dxf.layer, ' '.join('%.3f,%.3f' % (v.dxf.location.x, v.dxf.location.y) "
        "for v in p.vertices))\n"
        "for t in d.modelspace().query('TEXT'): print('TEXT', t.dxf.layer, t.dxf.text)\n"
        "at = [(round(t.dxf.insert.x, 3), round(t.dxf.insert.y, 3)) for t in "
        "d.modelspace().query('TEXT') if t.dxf.rotation == 90]\n"
        "print('HEIGHT LABELS', len(at), 'ON ONE SPOT', len(at) - len(set(at)))\n"
        // The header's extents hold every point drawn (a viewer opens at them).
        "m = d.modelspace(); lo, hi = d.header.get('$EXTMIN', (1e99,) * 2), "
        "d.header.get('$EXTMAX', (-1e99,) * 2)\n"
        "pts = [v.dxf.location for p in m.query('POLYLINE') for v in p.vertices] + "
        "[t.dxf.insert for t in m.query('TEXT')] + [e.dxf.end for e in m.query('LINE')]\n"
        "print('EXTENTS', all(lo[i] - 1e-6 <= p[i] <= hi[i] + 1e-6 for p in pts for i in (0, "
        "1)))\n";
    bool ok = false;
    const QString got = Tool("/usr/bin/python3", {"-c", script, dxf}, &ok);
    if (!ok) QSKIP("python3-ezdxf is not installed");
    QVERIFY2(got.contains("LAYER A 1 CONTINUOUS") && got.contains("LAYER B 3 DASHED"),
             qPrintable(got));
    const QStringList lines = got.split('\n').filter(QRegularExpression("^LINE A "));
    QCOMPARE(lines.size(), 3);
    // S1 of A: offsets -10, 0, 10; heights 20, 22, 21 moved up by one shift.
    const QStringList v = lines[0].mid(7).split(' ');
    QCOMPARE(v.size(), 3);
    double x[3], y[3];
    for (int i = 0; i < 3; ++i) {
      x[i] = v[i].section(',', 0, 0).toDouble();
      y[i] = v[i].section(',', 1, 1).toDouble();
    }
    QCOMPARE(x[0], -10.0);
    QCOMPARE(x[2], 10.0);
    // Heights at the vertical scale: 2 m and -1 m up are 4 and -2 units at 1/200 over 1/100.
    QVERIFY(std::fabs(y[1] - y[0] - 4) < 1e-6 && std::fabs(y[2] - y[1] + 2) < 1e-6);
    QVERIFY(got.contains("TEXT TITLES S3  Ch 0.000  Hor 1/200  Vert 1/100"));
    QVERIFY(got.contains("TEXT DATUM Datum 18.00"));
    QCOMPARE(got.split('\n').filter(QRegularExpression("^LINE B ")).size(), 2);
    // S3: both files 21.00 at -10 and 22.00 at 10, written side by side.
    QVERIFY2(got.contains("HEIGHT LABELS 15 ON ONE SPOT 0"), qPrintable(got));
    QVERIFY2(got.contains("EXTENTS True"), qPrintable(got));
  }

  // One line and exit 1 for input that cannot be drawn, a usage error (exit 2) for bad
  // options; never anything left under the output's name.
  void badInput_data() {
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");  // files of the work folder are named with @
    const QStringList scales{"--horizontal", "200", "--vertical", "100"};
    QTest::newRow("missing file") << (QStringList{"@NOPE.SEC", "--from", "S1"} + scales) << 1
                                  << "NOPE.SEC: no such file";
    QTest::newRow("folder as file")
        << (QStringList{"@DIR", "--from", "S1"} + scales) << 1 << "is a folder, not a survey file";
    QTest::newRow("first name in no file")
        << (QStringList{"@A", "--from", "ZZ"} + scales) << 1 << "no section ZZ in any of the files";
    QTest::newRow("last name never reached")
        << (QStringList{"@A", "--from", "S2", "--to", "ZZ"} + scales) << 1
        << "no section ZZ follows it";
    QTest::newRow("last name before the first")
        << (QStringList{"@A", "--from", "S3", "--to", "S1"} + scales) << 1
        << "the range ends at section S3";
    QTest::newRow("broken section") << (QStringList{"@BROKEN", "--from", "S1"} + scales) << 1
                                    << "BROKEN.SEC: section S1: no section end";
    QTest::newRow("offset out of reach")
        << (QStringList{"@FAR", "--from", "S1"} + scales) << 1 << "section S1 reaches too far";
    QTest::newRow("scale zero") << QStringList{"@A", "--from",     "S1", "--horizontal",
                                               "0",  "--vertical", "100"}
                                << 2 << "--horizontal 0";
    QTest::newRow("scale negative")
        << QStringList{"@A", "--from", "S1", "--horizontal", "200", "--vertical", "-100"} << 2
        << "--vertical -100";
    QTest::newRow("scale not a number")
        << QStringList{"@A", "--from", "S1", "--horizontal", "1:200", "--vertical", "100"} << 2
        << "--horizontal 1:200";
    QTest::newRow("scale missing")
        << QStringList{"@A", "--from", "S1", "--horizontal", "200"} << 2 << "--vertical V";
    QTest::newRow("paper unknown")
        << (QStringList{"@A", "--from", "S1", "--paper", "B4"} + scales) << 2 << "--paper B4";
    QTest::newRow("six files") << (QStringList{"@A", "@A", "@A", "@A", "@A", "@A", "--from", "S1"} +
                                   scales)
                               << 2 << "at most 5";
  }
  void badInput() {
    QFETCH(QStringList, words);
    QFETCH(int, code);
    QFETCH(QString, message);
    QDir work(Path("bad"));
    QVERIFY(work.removeRecursively() && work.mkpath("DIR"));
    QVERIFY(SecBuilder()
                .Section("S1", {20, 21})
                .Section("S2", {20, 21})
                .Section("S3", {2})
                .Write(work.filePath("A.SEC").toStdString()));
    // More than ten blank records after the header.
    QVERIFY(SecBuilder().Header("S1").Empty(11).Point(0, 20).Terminator().Write(
        work.filePath("BROKEN.SEC").toStdString()));
    QVERIFY(SecBuilder()
                .Header("S1")
                .Point(0, 20)
                .Raw("  1e300", "   20")
                .Terminator()
                .Write(work.filePath("FAR.SEC").toStdString()));
    QStringList args;
    for (const QString& w : words) args << (w.startsWith('@') ? work.filePath(w.mid(1)) : w);
    const QString pdf = work.filePath("out.pdf");
    const Run r = Export(args + QStringList{pdf});
    QCOMPARE(r.code, code);
    QVERIFY2(QString::fromStdString(r.err).contains(message), r.err.c_str());
    QCOMPARE(QString::fromStdString(r.err).count('\n'), code == 1 ? 1 : 2);
    QVERIFY(QString::fromStdString(r.err).startsWith("surveyexport: "));
    // Nothing under the output's name and no temporary file beside it.
    QCOMPARE(work.entryList(QDir::Files | QDir::Hidden).filter(QRegularExpression("out|pdf")),
             QStringList());
  }

  // An existing output is replaced only with --overwrite.
  void existingOutput() {
    const QString pdf = Path("kept.pdf");
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("keep me") == 7);
    f.close();
    const QStringList args{a_, "--from", "S1", "--horizontal", "200", "--vertical", "100"};
    Run r = Export(args + QStringList{pdf});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.find("--overwrite") != std::string::npos);
    QCOMPARE(QFileInfo(pdf).size(), 7);
    r = Export(args + QStringList{"--overwrite", pdf});
    QCOMPARE(r.code, 0);
    QVERIFY(QFileInfo(pdf).size() > 1000);
  }

  // The sheet and scales a section of the given width (metres, heights 0 to 5) gets.
  void sheetChoice_data() {
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("horizontal");
    QTest::addColumn<QString>("paper");
    QTest::addColumn<bool>("fit");
    QTest::addColumn<QString>("gotPaper");
    QTest::addColumn<double>("gotHorizontal");
    QTest::newRow("fits A4") << 30.0 << 200.0 << "A4" << false << "A4" << 200.0;
    QTest::newRow("next sheet") << 60.0 << 200.0 << "A4" << false << "A3" << 200.0;
    QTest::newRow("two sheets up") << 90.0 << 200.0 << "A4" << false << "A2" << 200.0;
    QTest::newRow("fit keeps the sheet") << 90.0 << 200.0 << "A4" << true << "A4" << 500.0;
    QTest::newRow("odd scale to the series") << 60.0 << 300.0 << "A4" << true << "A4" << 500.0;
    QTest::newRow("odd scale, next sheet") << 60.0 << 300.0 << "A4" << false << "A3" << 300.0;
    QTest::newRow("beyond A0: fitted on A0") << 1000.0 << 200.0 << "A4" << false << "A0" << 1000.0;
  }
  void sheetChoice() {
    QFETCH(double, width);
    QFETCH(double, horizontal);
    QFETCH(QString, paper);
    QFETCH(bool, fit);
    QFETCH(QString, gotPaper);
    QFETCH(double, gotHorizontal);
    surveyexport::Extent e;
    e.Add(0, 0);
    e.Add(width, 5);
    const auto choice = surveyexport::ChooseSheet(
        e, horizontal, 100, false, *surveyexport::PaperNamed(paper.toStdString()), fit);
    QVERIFY(choice && choice->fits);
    QCOMPARE(QString::fromStdString(choice->paper.name), gotPaper);
    QCOMPARE(choice->frame.horizontal, gotHorizontal);
    QCOMPARE(choice->scalesChanged, gotHorizontal != horizontal);
    QVERIFY(choice->frame.widthMm <= surveyexport::FrameAreaWidthMm(choice->paper));
    // The corner is a multiple of the tick spacing, 50 mm of the sheet.
    const double ticks = choice->frame.x0 / choice->frame.gx;
    QCOMPARE(ticks, std::round(ticks));
  }

  void scaleText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");  // 0: refused
    QTest::newRow("whole") << "200" << 200.0;
    QTest::newRow("fraction") << "12.5" << 12.5;
    QTest::newRow("zero") << "0" << 0.0;
    QTest::newRow("zero point") << "0.0" << 0.0;
    QTest::newRow("below one") << "0.0001" << 0.0;  // would print as 1/.0001
    QTest::newRow("negative") << "-5" << 0.0;
    QTest::newRow("plus sign") << "+5" << 0.0;
    QTest::newRow("exponent") << "1e3" << 0.0;
    QTest::newRow("infinite") << "inf" << 0.0;
    QTest::newRow("two points") << "1.2.3" << 0.0;
    QTest::newRow("trailing text") << "200m" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("just a point") << "." << 0.0;
    QTest::newRow("huge") << "99999999999" << 0.0;
  }
  void scaleText() {
    QFETCH(QString, text);
    QFETCH(double, value);
    const auto got = surveyexport::ParseScale(text.toStdString());
    QCOMPARE(got.value_or(0), value);
  }
};

QTEST_MAIN(TestSectionSheets)
#include "tst_section_sheets.moc"
