// The plan plotter's logic: extent scan, fit, mapping, drawing pass state machine, zoom
// box and label texts, over NEH files written for each case.
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <filesystem>
#include <limits>

#include "planplot/plan_core.h"
#include "planplot/recording_canvas.h"
#include "survey_writer.h"

using namespace planplot;

Q_DECLARE_METATYPE(planplot::PenStyle)

// The value of a data column (QFETCH without a named local).
#define FETCH(Type, name) (*static_cast<Type*>(QTest::qData(#name, ::qMetaTypeId<Type>())))

namespace {

struct Pt {
  double n, e, s;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// World x = E, y = 700 - N: one unit per pixel, north up.
PlanMapping NorthUp() {
  PlanMapping m;
  ApplyWorldWindow(m, 0, kPlotHeight, kPlotWidth, 0);
  return m;
}

}  // namespace

class TestPlanCore : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir dir_;
  int files_ = 0;

  std::string Write(const std::vector<Pt>& pts) {
    const std::string name = dir_.filePath(QString("f%1.NEH").arg(++files_)).toStdString();
    std::vector<testsupport::Record> recs;
    for (const Pt& p : pts) recs.push_back({p.n, p.e, p.s});
    if (!testsupport::WriteSurveyFile(name, recs, 24)) qFatal("cannot write %s", name.c_str());
    return name;
  }
  // A pass over the main (and reference) file in the given mapping.
  RecordingCanvas Pass(PlanState& s, const std::vector<Pt>& main,
                       const std::vector<Pt>* ref = nullptr) {
    s.mainFileName = Write(main);
    if (ref) {
      s.referenceFileName = Write(*ref);
      s.referencePresent = true;
    }
    RecordingCanvas c;
    DrawPlanPass(s, kDarkScheme, OpenNehFile, c);
    return c;
  }

 private slots:
  void fitViewWindow_data() {
    QTest::addColumn<double>("Elo");
    QTest::addColumn<double>("Ehi");
    QTest::addColumn<double>("Nlo");
    QTest::addColumn<double>("Nhi");
    QTest::addColumn<double>("Eleft");
    QTest::addColumn<double>("Eright");
    QTest::addColumn<double>("Nbottom");
    QTest::addColumn<double>("Ntop");
    QTest::addColumn<double>("u");
    QTest::newRow("wide about N 500")
        << 0.0 << 200.0 << 450.0 << 550.0 << 0.0 << 200.0 << 400.0 << 600.0 << 100.0 / 700;
    QTest::newRow("tall") << 1000.0 << 1100.0 << 0.0 << 300.0 << 900.0 << 1200.0 << 0.0 << 300.0
                          << 100.0 / 700;
    QTest::newRow("square") << 10.0 << 60.0 << 20.0 << 70.0 << 10.0 << 60.0 << 20.0 << 70.0
                            << 50.0 / 700;
    QTest::newRow("one point") << 5.0 << 5.0 << 7.0 << 7.0 << 5.0 << 5.0 << 7.0 << 7.0 << 0.0;
    QTest::newRow("constant northing")
        << 0.0 << 100.0 << 40.0 << 40.0 << 0.0 << 100.0 << -10.0 << 90.0 << 0.0;
    QTest::newRow("Hong Kong grid") << 834500.0 << 834700.0 << 816900.0 << 817000.0 << 834500.0
                                    << 834700.0 << 816850.0 << 817050.0 << 100.0 / 700;
  }
  void fitViewWindow() {
    QFETCH(double, Elo);
    QFETCH(double, Ehi);
    QFETCH(double, Nlo);
    QFETCH(double, Nhi);
    PlanState s;
    s.Elo = Elo;
    s.Ehi = Ehi;
    s.Nlo = Nlo;
    s.Nhi = Nhi;
    FitViewWindow(s);
    QCOMPARE(s.Eleft, FETCH(double, Eleft));
    QCOMPARE(s.Eright, FETCH(double, Eright));
    QCOMPARE(s.Nbottom, FETCH(double, Nbottom));
    QCOMPARE(s.Ntop, FETCH(double, Ntop));
    QCOMPARE(s.u, FETCH(double, u));
  }

  void worldToPixel_data() {
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("right");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("E");
    QTest::addColumn<double>("N");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    // Half a pixel per unit: odd world values land on halves, which go to the even pixel.
    QTest::newRow("0.5 to 0") << 0.0 << 1400.0 << 2100.0 << 0.0 << 1.0 << 1.0 << 0 << 700;
    QTest::newRow("1.5 to 2") << 0.0 << 1400.0 << 2100.0 << 0.0 << 3.0 << 3.0 << 2 << 698;
    QTest::newRow("2.5 to 2") << 0.0 << 1400.0 << 2100.0 << 0.0 << 5.0 << 5.0 << 2 << 698;
    QTest::newRow("top right corner")
        << 0.0 << 1400.0 << 2100.0 << 0.0 << 2100.0 << 1400.0 << 1050 << 0;
    // Square view, easting drawn 1.5 times as long as northing.
    QTest::newRow("grid view centre")
        << 834500.0 << 817050.0 << 834700.0 << 816850.0 << 834600.0 << 816950.0 << 525 << 350;
    QTest::newRow("west of the view")
        << 100.0 << 200.0 << 200.0 << 100.0 << 0.0 << 150.0 << -1050 << 350;
  }
  void worldToPixel() {
    PlanMapping m;
    QVERIFY(ApplyWorldWindow(m, FETCH(double, left), FETCH(double, top), FETCH(double, right),
                             FETCH(double, bottom)));
    const PixelPoint p = WorldToPixel(m, FETCH(double, E), FETCH(double, N));
    QVERIFY(p.valid);
    QCOMPARE(static_cast<int>(p.x), FETCH(int, x));
    QCOMPARE(static_cast<int>(p.y), FETCH(int, y));
  }

  // Pixels as extended precision rounds them, a few doubles either side of every half pixel.
  void worldToPixelNearHalves_data() {
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::newRow("site") << 834500.0 << 834700.0;
    QTest::newRow("2 mm at grid coordinates") << 834512.3456 << 834512.3476;
    QTest::newRow("reversed") << 1000.0 << -50.0;
    QTest::newRow("hemisphere") << -1e7 << 1e7;
    QTest::newRow("near the smallest doubles") << 1e-300 << 3e-300;
  }
  void worldToPixelNearHalves() {
    const long double low = FETCH(double, low), high = FETCH(double, high);
    PlanMapping m;
    QVERIFY(ApplyWorldWindow(m, double(low), double(high), double(high), double(low)));
    auto exact = [&](double v, int size) {
      return std::nearbyint((v - low) * size / (high - low));
    };
    for (int size : {kPlotWidth, kPlotHeight}) {
      for (int k = -size; k <= 2 * size; ++k) {
        double v = std::nextafter(double(low + (k + 0.5L) * (high - low) / size), -kInf);
        for (int step = 0; step < 4; ++step, v = std::nextafter(v, kInf)) {
          const PixelPoint p = WorldToPixel(m, v, v);
          QCOMPARE(p.x, exact(v, kPlotWidth));
          QCOMPARE(std::signbit(p.x), std::signbit(exact(v, kPlotWidth)));
          QCOMPARE(p.y, kPlotHeight - exact(v, kPlotHeight));
        }
      }
    }
  }

  void startMappingIsOnePixelPerUnit() {
    const PlanMapping m;
    const PixelPoint p = WorldToPixel(m, 10.5, 20.0);
    QCOMPARE(static_cast<int>(p.x), 10);  // half to even
    QCOMPARE(static_cast<int>(p.y), 20);  // y grows downward
    QCOMPARE(static_cast<int>(WorldToPixel(m, 11.5, 21.5).x), 12);
    QCOMPARE(static_cast<int>(WorldToPixel(m, 11.5, 21.5).y), 22);
  }

  void unusableWindowKeepsMapping_data() {
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("right");
    QTest::addColumn<double>("bottom");
    QTest::newRow("zero width") << 5.0 << 10.0 << 5.0 << 0.0;
    QTest::newRow("zero height") << 0.0 << 10.0 << 5.0 << 10.0;
    QTest::newRow("single point") << 3.0 << 3.0 << 3.0 << 3.0;
    QTest::newRow("NaN") << kNaN << 10.0 << 5.0 << 0.0;
    QTest::newRow("infinite") << 0.0 << kInf << 5.0 << 0.0;
  }
  void unusableWindowKeepsMapping() {
    PlanMapping m;
    QVERIFY(ApplyWorldWindow(m, 100, 900, 300, 700));
    QVERIFY(!ApplyWorldWindow(m, FETCH(double, left), FETCH(double, top), FETCH(double, right),
                              FETCH(double, bottom)));
    QCOMPARE(m.left, 100.0);
    QCOMPARE(m.top, 900.0);
    QCOMPARE(m.right, 300.0);
    QCOMPARE(m.bottom, 700.0);
  }

  void styleTable_data() {
    QTest::addColumn<int>("d");
    QTest::addColumn<uint>("dark");
    QTest::addColumn<uint>("light");
    QTest::addColumn<PenStyle>("pen");
    const uint current = 0x123456;  // the colour in force before the line
    QTest::newRow("0") << 0 << 0xFFFFFFu << 0x000000u << PenStyle::Solid;
    QTest::newRow("1") << 1 << 0xFF0000u << 0xFF0000u << PenStyle::Dash;
    QTest::newRow("2") << 2 << 0xFFFF00u << 0xFFFF00u << PenStyle::Dot;
    QTest::newRow("3") << 3 << 0x00FF00u << 0x00FF00u << PenStyle::DashDot;
    QTest::newRow("4") << 4 << 0x00FFFFu << 0x00FFFFu << PenStyle::DashDotDot;
    QTest::newRow("5") << 5 << 0x0000FFu << 0x0000FFu << PenStyle::Solid;
    for (int d = 6; d <= 9; ++d)
      QTest::newRow(qPrintable(QString::number(d))) << d << current << current << PenStyle::Solid;
  }
  void styleTable() {
    QFETCH(int, d);
    QCOMPARE(StyleColour(d, 0x123456, kDarkScheme), FETCH(uint, dark));
    QCOMPARE(StyleColour(d, 0x123456, kLightScheme), FETCH(uint, light));
    QCOMPARE(StylePen(d), FETCH(PenStyle, pen));
  }

  void styleDigit_data() {
    QTest::addColumn<double>("stored");
    QTest::addColumn<int>("d");
    QTest::newRow("code 13") << 130012.5 << 3;
    QTest::newRow("code 17") << 170001.0 << 7;
    QTest::newRow("negative height code 3") << -30002.5 << 3;
    QTest::newRow("no code") << 35.123 << 0;
    QTest::newRow("code 120") << 1200035.0 << 0;
    QTest::newRow("NaN") << kNaN << 0;
    QTest::newRow("huge") << 1e300 << StyleDigit(1e300);
  }
  void styleDigit() {
    const int d = StyleDigit(FETCH(double, stored));
    QCOMPARE(d, FETCH(int, d));
    QVERIFY(d >= 0 && d <= 9);
  }

  // +100, -110, 120, -130, 140: pixel, line start, line 2-3, line 3-4 ending the line, pixel.
  void markerSequence() {
    PlanState s;
    s.mapping = NorthUp();
    RecordingCanvas c =
        Pass(s, {{100, 200, 0}, {-110, 210, 0}, {120, 220, 0}, {-130, 230, 0}, {140, 240, 0}});
    QCOMPARE(c.items.size(), size_t(4));
    QCOMPARE(c.items[0].kind, DrawnItem::Pixel);
    QCOMPARE(c.items[0].x0, 200);
    QCOMPARE(c.items[0].y0, 600);
    QCOMPARE(c.items[0].colour, kYellow);
    QCOMPARE(c.items[1].kind, DrawnItem::Line);
    QCOMPARE(QRect(QPoint(c.items[1].x0, c.items[1].y0), QPoint(c.items[1].x1, c.items[1].y1)),
             QRect(QPoint(210, 590), QPoint(220, 580)));
    QCOMPARE(c.items[1].colour, kDarkScheme.styleZero);
    QCOMPARE(c.items[2].kind, DrawnItem::Line);
    QCOMPARE(QRect(QPoint(c.items[2].x0, c.items[2].y0), QPoint(c.items[2].x1, c.items[2].y1)),
             QRect(QPoint(220, 580), QPoint(230, 570)));
    QCOMPARE(c.items[3].kind, DrawnItem::Pixel);
    QCOMPARE(c.items[3].x0, 240);
    QCOMPARE(c.items[3].y0, 560);
    // The pass leaves the zoom box on the last record drawn.
    QCOMPARE(s.Ep, 240.0);
    QCOMPARE(s.Ec, 240.0);
    QCOMPARE(s.Np, 140.0);
    QCOMPARE(s.Nc, 140.0);
    QCOMPARE(c.font.face, std::string("Arial"));
    QCOMPARE(c.font.points, 7.0);
    QCOMPARE(c.font.escapement, 100);
    QCOMPARE(c.passesBegun, 1);
    QCOMPARE(c.passesEnded, 1);
  }

  // Styles 6-9 keep the colour in force: red at the start of a pass, else the last line's
  // or label's colour.
  // The pass speaks world units: each record is announced with its attributes and what
  // the pass makes of it, before its drawing calls, whatever the view shows; lines run
  // between the plotted (absolute) coordinates; labels carry kind, anchor and text.
  void worldCalls_data() {
    QTest::addColumn<bool>("reference");
    QTest::newRow("main file") << false;
    QTest::newRow("reference file") << true;
  }
  void worldCalls() {
    QFETCH(bool, reference);
    PlanState s;
    ApplyWorldWindow(s.mapping, 0, 1, 1, 0);  // a view that shows none of the points
    s.showNumbers = s.showLevels = true;
    s.u = 0.25;
    const std::vector<Pt> pts{
        {816100.5, -834200.25, 12.5}, {-816110, 834210, 130012.75}, {kNaN, 1, 2},
        {816120, 834220, -30002.5},   {-816130, 834230, 40000},     {816140, 834240, 7}};
    const std::vector<Pt> none{};
    RecordingCanvas c = reference ? Pass(s, none, &pts) : Pass(s, pts);
    QVERIFY(c.items.empty());
    QCOMPARE(c.mapping.right, 1.0);
    QCOMPARE(c.font.points, 7.0);
    QCOMPARE(c.font.escapement, 100);
    QCOMPARE(c.records.size(), size_t(5));  // the damaged record 3 is passed over
    const RecordRole roles[] = {RecordRole::Point, RecordRole::LineStart, RecordRole::LinePoint,
                                RecordRole::LineEnd, RecordRole::Point};
    const std::int64_t numbers[] = {1, 2, 4, 5, 6};
    for (size_t i = 0; i < 5; ++i) {
      QCOMPARE(c.records[i].role, roles[i]);
      QCOMPARE(c.records[i].number, numbers[i]);
      QCOMPARE(c.records[i].reference, reference);
    }
    QCOMPARE(c.records[0].E, 834200.25);
    QCOMPARE(c.records[0].height, 12.5);
    QCOMPARE(c.records[1].N, 816110.0);
    QVERIFY(c.records[1].marker);
    QCOMPARE(c.records[1].code, 13.0);
    QCOMPARE(c.records[1].styleDigit, 3);
    QCOMPARE(c.records[2].height, -2.5);
    QCOMPARE(c.records[2].code, 3.0);
    QCOMPARE(c.records[3].styleDigit, 4);

    std::vector<WorldItem> lines, numbersDrawn, levels;
    for (const WorldItem& w : c.world) {
      if (w.kind == DrawnItem::Line) lines.push_back(w);
      if (w.kind == DrawnItem::Label)
        (w.labelKind == PlanLabel::Number ? numbersDrawn : levels).push_back(w);
    }
    QCOMPARE(lines.size(), size_t(2));
    QCOMPARE(lines[0].record, std::int64_t(4));
    QCOMPARE(QRectF(QPointF(lines[0].E0, lines[0].N0), QPointF(lines[0].E1, lines[0].N1)),
             QRectF(QPointF(834210, 816110), QPointF(834220, 816120)));
    QCOMPARE(lines[1].style, PenStyle::DashDotDot);
    QCOMPARE(lines[1].colour, reference ? kBlue : kCyan);
    QCOMPARE(numbersDrawn.size(), size_t(5));
    QCOMPARE(numbersDrawn[2].text, std::string(" 4"));
    QCOMPARE(numbersDrawn[2].E0, 834220.0);
    QCOMPARE(numbersDrawn[2].N0, 816120.25);
    QCOMPARE(levels.size(), size_t(5));
    QCOMPARE(levels[2].text, std::string("-2.50"));
    QCOMPARE(levels[2].E0, 834220.25);
    QCOMPARE(levels[2].N0, 816119.75);
  }

  void inheritedLineColour_data() {
    QTest::addColumn<bool>("numbers");
    QTest::addColumn<bool>("levels");
    QTest::addColumn<double>("firstCode");
    QTest::addColumn<uint>("colour");
    QTest::newRow("start of pass: red") << false << false << 7.0 << 0xFF0000u;
    QTest::newRow("after green number label") << true << false << 7.0 << 0x00FF00u;
    QTest::newRow("after level label") << false << true << 7.0 << 0xFFFFFFu;
    QTest::newRow("after cyan line") << false << false << 4.0 << 0x00FFFFu;
  }
  void inheritedLineColour() {
    QFETCH(double, firstCode);
    PlanState s;
    s.mapping = NorthUp();
    s.showNumbers = FETCH(bool, numbers);
    s.showLevels = FETCH(bool, levels);
    // Line start, a line of code firstCode (only the cyan case draws one with it), then
    // a line of code 17.
    RecordingCanvas c = Pass(s, {{-100, 100, firstCode == 4 ? 0.0 : 1.0},
                                 {110, 110, firstCode == 4 ? 40001.0 : 170001.0},
                                 {-120, 120, 170001.0}});
    const auto lines = c.Of(DrawnItem::Line);
    QCOMPARE(lines.size(), size_t(2));
    QCOMPARE(lines[1].colour, FETCH(uint, colour));
    QCOMPARE(lines[1].style, PenStyle::Solid);
  }

  void codedLines_data() {
    QTest::addColumn<double>("stored");
    QTest::addColumn<uint>("colour");
    QTest::addColumn<PenStyle>("pen");
    QTest::addColumn<QString>("level");
    QTest::newRow("code 13") << 130012.5 << 0x00FF00u << PenStyle::DashDot << " 12.50";
    QTest::newRow("code 3 negative height")
        << -30002.5 << 0x00FF00u << PenStyle::DashDot << "-2.50";
    QTest::newRow("code 1") << 10000.0 << 0xFF0000u << PenStyle::Dash << " 0.00";
    QTest::newRow("code 22") << 221234.999 << 0xFFFF00u << PenStyle::Dot << " 1234.99";
    QTest::newRow("code 5") << 50012.34 << 0x0000FFu << PenStyle::Solid << " 12.33";
  }
  void codedLines() {
    PlanState s;
    s.mapping = NorthUp();
    s.showLevels = true;
    RecordingCanvas c = Pass(s, {{-100, 100, 0}, {-150, 300, FETCH(double, stored)}});
    const auto lines = c.Of(DrawnItem::Line);
    QCOMPARE(lines.size(), size_t(1));
    QCOMPARE(lines[0].colour, FETCH(uint, colour));
    QCOMPARE(lines[0].style, FETCH(PenStyle, pen));
    const auto labels = c.Of(DrawnItem::Label);
    QCOMPARE(labels.size(), size_t(2));
    QCOMPARE(QString::fromStdString(labels[1].text), FETCH(QString, level));
  }

  // Numbers at (E, N + u) in green, levels at (E + u, N - u) in the scheme colour; the
  // reference file in blue except the levels and numbers of a line start.
  void labels() {
    PlanState s;
    s.mapping = NorthUp();
    s.u = 10;
    s.showNumbers = s.showLevels = true;
    const std::vector<Pt> ref = {{300, 400, 5.25}, {-310, 410, 0}, {320, 420, 0}};
    RecordingCanvas c = Pass(s, {{100, 200, 12.5}}, &ref);
    const auto labels = c.Of(DrawnItem::Label);
    QCOMPARE(labels.size(), size_t(8));
    struct Want {
      const char* text;
      int x, y;
      Rgb colour;
    };
    const Want want[] = {
        {" 1", 200, 590, kGreen}, {" 12.50", 210, 610, kDarkScheme.levelLabel},
        {" 1", 400, 390, kBlue},  {" 5.25", 410, 410, kBlue},
        {" 2", 410, 380, kGreen}, {" 0.00", 420, 400, kDarkScheme.levelLabel},
        {" 3", 420, 370, kBlue},  {" 0.00", 430, 390, kBlue},
    };
    for (size_t i = 0; i < labels.size(); ++i) {
      QCOMPARE(QString::fromStdString(labels[i].text), QString(want[i].text));
      QCOMPARE(QPoint(labels[i].x0, labels[i].y0), QPoint(want[i].x, want[i].y));
      QCOMPARE(labels[i].colour, want[i].colour);
      QCOMPARE(labels[i].background, kDarkScheme.background);
    }
    const auto pixels = c.Of(DrawnItem::Pixel);
    QCOMPARE(pixels.size(), size_t(2));
    QCOMPARE(pixels[0].colour, kYellow);
    QCOMPARE(pixels[1].colour, kBlue);
    const auto lines = c.Of(DrawnItem::Line);
    QCOMPARE(lines.size(), size_t(1));
    QCOMPARE(lines[0].colour, kBlue);
  }

  void labelsInLightScheme() {
    PlanState s;
    s.mapping = NorthUp();
    s.showLevels = true;
    s.mainFileName = Write({{100, 200, 12.5}});
    RecordingCanvas c;
    DrawPlanPass(s, kLightScheme, OpenNehFile, c);
    const auto labels = c.Of(DrawnItem::Label);
    QCOMPARE(labels.size(), size_t(1));
    QCOMPARE(labels[0].colour, Rgb(0x000000));
    QCOMPARE(labels[0].background, Rgb(0xFFFFFF));
  }

  // The extent stops at the first record with N and E both 0, yet every record is drawn.
  void extentStopsAtZeroRecord() {
    std::vector<Pt> pts = {{100, 200, 0}, {150, 300, 0}, {120, 250, 0}, {0, 0, 0}};
    for (int i = 0; i < 6; ++i) pts.push_back({110.0 + i * 5, 210.0 + i * 10, 0});
    QCOMPARE(pts.size(), size_t(10));
    PlanState s;
    s.mainFileName = Write(pts);
    ScanFullExtent(s, OpenNehFile);
    QCOMPARE(s.Nlo, 100.0);
    QCOMPARE(s.Nhi, 150.0);
    QCOMPARE(s.Elo, 200.0);
    QCOMPARE(s.Ehi, 300.0);
    FitViewWindow(s);
    QVERIFY(ApplyViewWindow(s));
    RecordingCanvas c;
    const PassResult r = DrawPlanPass(s, kDarkScheme, OpenNehFile, c);
    QCOMPARE(r.recordsRead, 10);
    // Record 4 at (0, 0) lies outside the view, and record 2, the easternmost, lands on
    // x = 1050 just past the last column; the other eight are pixels in the view.
    QCOMPARE(c.Of(DrawnItem::Pixel).size(), size_t(8));
  }

  void extentScan_data() {
    QTest::addColumn<QByteArray>("bytes");  // raw file contents
    QTest::addColumn<double>("Nlo");
    QTest::addColumn<double>("Nhi");
    QTest::addColumn<double>("Elo");
    QTest::addColumn<double>("Ehi");
    auto rec = [](double n, double e, double s) {
      QByteArray b(24, 0);
      memcpy(b.data(), &n, 8);
      memcpy(b.data() + 8, &e, 8);
      memcpy(b.data() + 16, &s, 8);
      return b;
    };
    QTest::newRow("empty file") << QByteArray() << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("short file") << QByteArray(23, 'x') << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("zero first record counts")
        << rec(0, 0, 0) + rec(-50, -60, 0) << 0.0 << 50.0 << 0.0 << 60.0;
    QTest::newRow("absolute values")
        << rec(-50, -60, 0) + rec(40, 70, 0) << 40.0 << 50.0 << 60.0 << 70.0;
    QTest::newRow("trailing partial record ignored")
        << rec(10, 20, 0) + rec(30, 40, 0).left(20) << 10.0 << 10.0 << 20.0 << 20.0;
    QTest::newRow("NaN record passed over")
        << rec(10, 20, 0) + rec(kNaN, 5000, 0) + rec(30, 40, 0) << 10.0 << 30.0 << 20.0 << 40.0;
    QTest::newRow("infinite easting passed over")
        << rec(10, 20, 0) + rec(15, -kInf, 0) + rec(30, 40, 0) << 10.0 << 30.0 << 20.0 << 40.0;
    QTest::newRow("NaN height passed over")
        << rec(10, 20, 0) + rec(1e9, 1e9, kNaN) << 10.0 << 10.0 << 20.0 << 20.0;
    QTest::newRow("first record NaN")
        << rec(kNaN, kNaN, 0) + rec(30, 40, 0) + rec(35, 45, 0) << 30.0 << 35.0 << 40.0 << 45.0;
    QTest::newRow("all NaN") << rec(kNaN, 1, 0) + rec(1, kNaN, 0) << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("huge values") << rec(1e308, -1e308, 0) + rec(1, 2, 0) << 1.0 << 1e308 << 2.0
                                 << 1e308;
  }
  void extentScan() {
    QFETCH(QByteArray, bytes);
    const std::string name = dir_.filePath(QString("raw%1.NEH").arg(++files_)).toStdString();
    QVERIFY(testsupport::WriteBytes(name, bytes.toStdString()));
    PlanState s;
    s.mainFileName = name;
    ScanFullExtent(s, OpenNehFile);
    QCOMPARE(s.Nlo, FETCH(double, Nlo));
    QCOMPARE(s.Nhi, FETCH(double, Nhi));
    QCOMPARE(s.Elo, FETCH(double, Elo));
    QCOMPARE(s.Ehi, FETCH(double, Ehi));
    // The same bytes from memory give the same extent.
    PlanState m;
    m.mainFileName = "mem";
    const std::string raw = bytes.toStdString();
    ScanFullExtent(m, [&](const std::string&) { return MemoryNehSource(raw); });
    QCOMPARE(m.Nlo, s.Nlo);
    QCOMPARE(m.Ehi, s.Ehi);
    // Fitting and drawing such a file never yields a pixel outside the plot area.
    FitViewWindow(s);
    ApplyViewWindow(s);
    s.showNumbers = s.showLevels = true;
    RecordingCanvas c;
    DrawPlanPass(s, kDarkScheme, OpenNehFile, c);
    for (const auto& p : c.Of(DrawnItem::Pixel))
      QVERIFY(p.x0 >= 0 && p.x0 < kPlotWidth && p.y0 >= 0 && p.y0 < kPlotHeight);
  }

  // A damaged record in the middle of a line neither draws nor breaks the line.
  void nonFiniteRecordInLine() {
    PlanState s;
    s.mapping = NorthUp();
    s.showNumbers = true;
    RecordingCanvas c =
        Pass(s, {{-100, 100, 0}, {kNaN, 150, 0}, {110, kInf, 0}, {120, 120, kNaN}, {-130, 130, 0}});
    const auto lines = c.Of(DrawnItem::Line);
    QCOMPARE(lines.size(), size_t(1));
    QCOMPARE(QPoint(lines[0].x0, lines[0].y0), QPoint(100, 600));
    QCOMPARE(QPoint(lines[0].x1, lines[0].y1), QPoint(130, 570));
    // Labels keep their record numbers.
    const auto labels = c.Of(DrawnItem::Label);
    QCOMPARE(labels.size(), size_t(2));
    QCOMPARE(labels[1].text, std::string(" 5"));
  }

  void nothingToDraw_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fault");
    QTest::newRow("no name yet") << QString() << QString();
    QTest::newRow("missing file") << QString("nowhere/none.NEH")
                                  << QString("The file cannot be opened: nowhere/none.NEH");
    QTest::newRow("folder") << QString(".") << QString("The file cannot be opened: .");
  }
  void nothingToDraw() {
    PlanState s;
    s.mainFileName = FETCH(QString, name).toStdString();
    const QString fault = FETCH(QString, fault);
    s.Ep = 1;
    s.Np = 2;
    s.Ec = 3;
    s.Nc = 4;
    s.showNumbers = true;
    RecordingCanvas c;
    const PassResult r = DrawPlanPass(s, kDarkScheme, OpenNehFile, c);
    QCOMPARE(r.recordsRead, 0);
    QVERIFY(c.items.empty());
    // A file named but gone is said; nothing named yet is not a fault.
    QCOMPARE(QString::fromStdString(r.fault), fault);
    // The zoom box stays as it was.
    QCOMPARE(s.Ep, 1.0);
    QCOMPARE(s.Nc, 4.0);
    ScanFullExtent(s, OpenNehFile);
    QCOMPARE(s.Nhi, 0.0);
  }

  void emptyFileDrawsNothing() {
    PlanState s;
    s.mainFileName = dir_.filePath("empty.NEH").toStdString();
    QVERIFY(testsupport::WriteBytes(s.mainFileName, ""));
    RecordingCanvas c;
    DrawPlanPass(s, kDarkScheme, OpenNehFile, c);
    QVERIFY(c.items.empty());
  }

  // With one record the view window has zero size and the mapping stays as it was.
  void oneRecordKeepsMapping() {
    PlanState s;
    QVERIFY(ApplyWorldWindow(s.mapping, 0, 1000, 1500, 0));
    s.mainFileName = Write({{300, 450, 0}});
    ScanFullExtent(s, OpenNehFile);
    FitViewWindow(s);
    QVERIFY(!ApplyViewWindow(s));
    QCOMPARE(s.mapping.right, 1500.0);
    RecordingCanvas c;
    DrawPlanPass(s, kDarkScheme, OpenNehFile, c);
    QCOMPARE(c.items.size(), size_t(1));
    QCOMPARE(QPoint(c.items[0].x0, c.items[0].y0), QPoint(315, 490));
  }

  // Lines far outside a zoomed view are cut to a short piece; nothing far off is drawn.
  void farLinesAreCut() {
    PlanState s;
    QVERIFY(ApplyWorldWindow(s.mapping, 0, 1, 1, 0));  // 1050 pixels per metre
    s.showNumbers = true;
    RecordingCanvas c = Pass(s, {{-0.5, 0.5, 0}, {0.5, 1e6, 0}, {-1e7, 1e7, 0}});
    const auto lines = c.Of(DrawnItem::Line);
    QCOMPARE(lines.size(), size_t(1));  // the second line lies wholly outside
    QCOMPARE(QPoint(lines[0].x0, lines[0].y0), QPoint(525, 350));
    QVERIFY(lines[0].x1 > kPlotWidth && lines[0].x1 < 5000);
    QCOMPARE(lines[0].y1, 350);
    // Only the label of the record in the view is written.
    QCOMPARE(c.Of(DrawnItem::Label).size(), size_t(1));
  }

  // Another program cuts the file while it is drawn: the pass ends at the new end. The
  // records no longer there read as zeros, and must not draw a line to E 0, N 0.
  void fileCutDuringPass() {
    std::vector<Pt> pts{{-100, 100, 0}};  // one line through every point
    for (int i = 1; i < 20000; ++i) pts.push_back({100.0 + i % 500, 100.0 + i % 700, 0});
    PlanState s;
    s.mapping = NorthUp();
    s.mainFileName = Write(pts);
    struct Cutting : RecordingCanvas {
      std::string name;
      long calls = 0;
      bool KeepAlive() override {
        if (++calls == 100) std::filesystem::resize_file(name, 10000 * 24 + 5);
        return true;
      }
    } c;
    c.name = s.mainFileName;
    const PassResult r = DrawPlanPass(s, kDarkScheme, OpenNehFile, c);
    QVERIFY(r.fault.empty());
    QVERIFY(!r.aborted);
    // Bytes read ahead before the cut may still be drawn, never records past them.
    QVERIFY2(r.recordsRead >= 10000 && r.recordsRead < 20000,
             qPrintable(QString::number(r.recordsRead)));
    const auto lines = c.Of(DrawnItem::Line);
    QCOMPARE(static_cast<std::int64_t>(lines.size()), r.recordsRead - 1);
    for (const DrawnItem& l : lines) QVERIFY(l.x1 >= 100 && l.y1 <= 600);
  }

  // A read that fails stops the pass and the scan, and says which file it was.
  void readFaultIsSaid() {
    struct Failing : NehSource {
      bool failed = false;
      double Count() const override { return 10; }
      bool Read(std::int64_t r, NehRecord& out) override {
        if (r > 3) {
          failed = true;
          return false;
        }
        out.northing = 100.0 + r;
        out.easting = 200.0 + r;
        out.packedHeight = 0;
        return true;
      }
      bool Failed() const override { return failed; }
    };
    const NehOpener open = [](const std::string&) { return std::make_unique<Failing>(); };
    PlanState s;
    s.mapping = NorthUp();
    s.mainFileName = "SITE.NEH";
    s.referenceFileName = "REF.NEH";
    s.referencePresent = true;
    RecordingCanvas c;
    const PassResult r = DrawPlanPass(s, kDarkScheme, open, c);
    QCOMPARE(r.fault, std::string("The file cannot be read: SITE.NEH"));  // the first fault
    QCOMPARE(r.recordsRead, 6);                                           // three of each file
    QCOMPARE(ScanFullExtent(s, open), std::string("The file cannot be read: SITE.NEH"));
    const NehOpener none = [](const std::string&) { return std::unique_ptr<NehSource>(); };
    QCOMPARE(ScanFullExtent(s, none), std::string("The file cannot be opened: SITE.NEH"));
  }

  void closingEndsPass() {
    std::vector<Pt> pts;
    for (int i = 0; i < 5000; ++i) pts.push_back({100.0 + i % 500, 100.0 + i % 700, 0});
    PlanState s;
    s.mapping = NorthUp();
    s.mainFileName = Write(pts);
    s.referenceFileName = s.mainFileName;
    s.referencePresent = true;
    RecordingCanvas c;
    c.closeAfter = 100;
    const PassResult r = DrawPlanPass(s, kDarkScheme, OpenNehFile, c);
    QVERIFY(r.aborted);
    QCOMPARE(r.recordsRead, 100);
    QCOMPARE(c.passesEnded, 1);  // the label font is still released
  }

  void zoomBox_data() {
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("right");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("u");
    QTest::addColumn<QRect>("band");  // left, top, right, bottom as a QRect of corners
    // View 1050 x 1050 units: a 100 x 50 pixel drag is 100 x 75 units, raised to 100 x 100.
    QTest::newRow("wide drag") << QPoint(100, 100) << QPoint(200, 150) << 100.0 << 925.0 << 200.0
                               << 825.0 << 6.0 * 75 / 700
                               << QRect(QPoint(100, 100), QPoint(200, 150));
    QTest::newRow("wide drag backwards")
        << QPoint(200, 150) << QPoint(100, 100) << 100.0 << 925.0 << 200.0 << 825.0
        << 6.0 * 75 / 700 << QRect(QPoint(100, 100), QPoint(200, 150));
    QTest::newRow("tall drag") << QPoint(100, 100) << QPoint(150, 200) << 100.0 << 900.0 << 250.0
                               << 750.0 << 6.0 * 50 / 700
                               << QRect(QPoint(100, 100), QPoint(150, 200));
    QTest::newRow("no move") << QPoint(30, 40) << QPoint(30, 40) << 30.0 << 990.0 << 30.0 << 990.0
                             << 0.0 << QRect(QPoint(30, 40), QPoint(31, 41));
  }
  void zoomBox() {
    PlanState s;
    s.Eleft = 0;
    s.Eright = 1050;
    s.Nbottom = 0;
    s.Ntop = 1050;
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    const DragRect d = UpdateZoomBox(s, from.x(), from.y(), to.x(), to.y());
    QCOMPARE(s.Ep, FETCH(double, left));
    QCOMPARE(s.Np, FETCH(double, top));
    QCOMPARE(s.Ec, FETCH(double, right));
    QCOMPARE(s.Nc, FETCH(double, bottom));
    QVERIFY(std::fabs(s.u - FETCH(double, u)) < 1e-12);
    QCOMPARE(QRect(QPoint(d.left, d.top), QPoint(d.right, d.bottom)), FETCH(QRect, band));
  }

  void zoomAreaText_data() {
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("right");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<QString>("text");
    QTest::newRow("grid") << 834512.3456 << 817020.9 << 834610.7 << 816922.5111
                          << "Zoom Area: 834512.3E  816922.5N -  834610.7E  817020.9N";
    QTest::newRow("whole numbers")
        << 100.0 << 925.0 << 200.0 << 825.0 << "Zoom Area: 100E  825N -  200E  925N";
    QTest::newRow("negative and fractions")
        << -12.5 << 0.25 << 1e20 << -0.125 << "Zoom Area:-12.5E -.125N -  1E+20E  .25N";
  }
  void zoomAreaText() {
    PlanState s;
    s.Ep = FETCH(double, left);
    s.Np = FETCH(double, top);
    s.Ec = FETCH(double, right);
    s.Nc = FETCH(double, bottom);
    QCOMPARE(QString::fromStdString(ZoomAreaText(s)), FETCH(QString, text));
  }

  void bitmapNames() {
    QCOMPARE(BitmapFileName(1), std::string("Plan 1.bmp"));
    QCOMPARE(BitmapFileName(3), std::string("Plan 3.bmp"));
    QCOMPARE(BitmapFileName(12), std::string("Plan 12.bmp"));
  }
};

QTEST_APPLESS_MAIN(TestPlanCore)
#include "tst_plan_core.moc"
