// Section page geometry, frame ticks and the SEC section reader, drawn into the recording
// canvas.
#include <QtTest>
#include <cmath>
#include <limits>

#include "sec_builder.h"
#include "secplot/recording_canvas.h"
#include "secplot/section_page.h"
#include "secplot/section_plot.h"

using namespace secplot;
using sectest::SecBuilder;

Q_DECLARE_METATYPE(std::vector<double>)

namespace {

std::vector<double> Values(const std::vector<Tick>& ticks) {
  std::vector<double> out;
  for (const Tick& t : ticks) out.push_back(double(t.value));
  return out;
}

bool Near(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::fabs(a[i] - b[i]) > 1e-9) return false;
  return true;
}

QByteArray Show(const std::vector<double>& v) {
  QByteArray s;
  for (double x : v) s += QByteArray::number(x, 'g', 12) + " ";
  return s;
}

}  // namespace

class TestSectionCore : public QObject {
  Q_OBJECT
  QString dir_;
  int fileNo_ = 0;

  // Opens a fresh file of the builder's records as file k of the state.
  void Load(SectionPlotState& state, int k, const SecBuilder& b, bool labels = true) {
    const std::string path = (dir_ + QString("/f%1.SEC").arg(++fileNo_)).toStdString();
    QVERIFY(b.Write(path));
    SectionFileEntry& e = state.files[k - 1];
    QCOMPARE(toolkit::OpenSurveyFileNamed(e.file, path, toolkit::SurveyKind::Sec),
             toolkit::OpenResult::Ok);
    e.labels = labels;
    e.record = 1;
    state.fileCount = std::max(state.fileCount, k);
  }

 private slots:
  void initTestCase() { dir_ = QString::fromStdString(testsupport::MakeTempDir("secplot_core")); }

  void firstTick_data() {
    QTest::addColumn<double>("corner");
    QTest::addColumn<double>("spacing");
    QTest::addColumn<double>("first");
    QTest::newRow("zero corner: the tick above, not at 0") << 0.0 << 10.0 << 10.0;
    QTest::newRow("negative corner between ticks") << -25.0 << 10.0 << -20.0;
    QTest::newRow("negative corner on a tick") << -20.0 << 10.0 << -20.0;
    QTest::newRow("positive corner on a tick: the next one") << 20.0 << 10.0 << 30.0;
    QTest::newRow("positive corner between ticks") << 37.5 << 10.0 << 40.0;
    QTest::newRow("small negative corner") << -0.5 << 2.0 << 0.0;
    QTest::newRow("height ticks every 2 m") << 101.3 << 2.0 << 102.0;
  }
  void firstTick() {
    QFETCH(double, corner);
    QFETCH(double, spacing);
    QFETCH(double, first);
    QCOMPARE(double(FirstTick(corner, spacing)), first);
  }

  void pageGeometry_data() {
    QTest::addColumn<bool>("dark");
    QTest::addColumn<double>("hs");
    QTest::addColumn<double>("vs");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("gx");
    QTest::addColumn<double>("gy");
    QTest::newRow("1:200 across, 1:100 up")
        << false << 200.0 << 100.0 << 51.6 << 11.3 << 10.0 << 2.0;
    QTest::newRow("dark build, 1:100 up") << true << 200.0 << 100.0 << 51.6 << 15.25 << 10.0 << 2.0;
    QTest::newRow("1:500 both") << false << 500.0 << 500.0 << 129.0 << 56.5 << 25.0 << 10.0;
  }
  void pageGeometry() {
    QFETCH(bool, dark);
    QFETCH(double, hs);
    QFETCH(double, vs);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(double, gx);
    QFETCH(double, gy);
    const PageGeometry p = PageFor(hs, vs, 3, 100, dark ? kDarkPage : kMainPage);
    QVERIFY(std::fabs(double(p.xr - p.x0) - width) < 1e-9);
    QVERIFY(std::fabs(double(p.yt - p.y0) - height) < 1e-9);
    QVERIFY(std::fabs(double(p.gx) - gx) < 1e-12);
    QVERIFY(std::fabs(double(p.gy) - gy) < 1e-12);
    QVERIFY(PageUsable(p));
  }

  void ticks_data() {
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("y0");
    QTest::addColumn<std::vector<double>>("across");
    QTest::addColumn<std::vector<double>>("up");
    QTest::addColumn<double>("tickBottom");  // lower end of the distance ticks
    QTest::addColumn<double>("tickRight");   // right end of the height ticks
    QTest::newRow("corner at 0,0") << 0.0 << 0.0 << std::vector<double>{10, 20, 30, 40, 50}
                                   << std::vector<double>{2, 4, 6, 8, 10} << 11.0 << 1.0;
    QTest::newRow("negative corner") << -25.0 << -3.0 << std::vector<double>{-20, -10, 0, 10, 20}
                                     << std::vector<double>{-2, 0, 2, 4, 6, 8} << 8.0 << -24.0;
    QTest::newRow("corner on a tick")
        << -20.0 << 101.5 << std::vector<double>{-20, -10, 0, 10, 20, 30}
        << std::vector<double>{102, 104, 106, 108, 110, 112} << 112.0 << -19.0;
  }
  void ticks() {
    QFETCH(double, x0);
    QFETCH(double, y0);
    QFETCH(std::vector<double>, across);
    QFETCH(std::vector<double>, up);
    QFETCH(double, tickBottom);
    QFETCH(double, tickRight);
    const PageGeometry p = PageFor(200, 100, x0, y0, kMainPage);
    const auto d = DistanceTicks(p);
    const auto h = HeightTicks(p);
    QVERIFY2(Near(Values(d), across), Show(Values(d)).constData());
    QVERIFY2(Near(Values(h), up), Show(Values(h)).constData());
    for (const Tick& t : d) {
      QCOMPARE(double(t.y1), double(p.yt));
      QCOMPARE(double(t.y2), tickBottom);
    }
    for (const Tick& t : h) {
      QCOMPARE(double(t.x1), x0);
      QCOMPARE(double(t.x2), tickRight);
    }
  }

  // A scale or corner that would give no usable window must never loop for ever.
  void ticksStopOnBadSpacing_data() {
    QTest::addColumn<double>("corner");
    QTest::addColumn<double>("spacing");
    QTest::addColumn<double>("edge");
    QTest::addColumn<int>("count");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("zero spacing") << 0.0 << 0.0 << 10.0 << 0;
    QTest::newRow("negative spacing") << -100.0 << -10.0 << -51.6 << 0;
    QTest::newRow("NaN spacing") << 0.0 << std::nan("") << 10.0 << 0;
    QTest::newRow("infinite edge") << 0.0 << 10.0 << inf << 0;
    QTest::newRow("spacing lost against a huge corner") << 1e300 << 10.0 << 1e300 << 1;
  }
  void ticksStopOnBadSpacing() {
    QFETCH(double, corner);
    QFETCH(double, spacing);
    QFETCH(double, edge);
    QFETCH(int, count);
    QCOMPARE(int(TickValues(corner, spacing, edge).size()), count);
  }

  void usable_data() {
    QTest::addColumn<double>("hs");
    QTest::addColumn<double>("x0");
    QTest::addColumn<bool>("scaleOk");
    QTest::addColumn<bool>("pageOk");
    QTest::newRow("ordinary") << 200.0 << 0.0 << true << true;
    QTest::newRow("zero scale: empty window") << 0.0 << 0.0 << false << false;
    QTest::newRow("negative scale") << -200.0 << 0.0 << false << false;
    QTest::newRow("NaN scale") << std::nan("") << 0.0 << false << false;
    QTest::newRow("corner so far out the window vanishes") << 200.0 << 1e20 << true << false;
  }
  void usable() {
    QFETCH(double, hs);
    QFETCH(double, x0);
    QFETCH(bool, scaleOk);
    QFETCH(bool, pageOk);
    QCOMPARE(ScaleUsable(hs), scaleOk);
    QCOMPARE(PageUsable(PageFor(hs, 100, x0, 0, kMainPage)), pageOk);
  }

  void levelLabels_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("truncated, not rounded") << 2.999 << " 2.99";
    QTest::newRow("whole metres") << 7.0 << " 7.00";
    QTest::newRow("negative") << -0.057 << "-0.05";
    QTest::newRow("NaN: no label") << std::nan("") << "";
    QTest::newRow("infinite: no label") << std::numeric_limits<double>::infinity() << "";
  }
  void levelLabels() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(LevelLabel(value)), text);
  }

  void setUpPageDraws_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("main") << false;
    QTest::newRow("dark") << true;
  }
  void setUpPageDraws() {
    QFETCH(bool, dark);
    const PageStyle& style = dark ? kDarkPage : kMainPage;
    RecordingCanvas c;
    const PageGeometry p = PageFor(200, 100, 0, 0, style);
    SetUpPage(c, p, style);
    QCOMPARE(c.Ops().front().kind, DrawOp::Clear);
    QCOMPARE(c.Ops().front().colour, dark ? kBlack : kWhite);
    const auto world = c.OfKind(DrawOp::World);
    QCOMPARE(world.size(), std::size_t(1));
    QCOMPARE(world[0].x1, 0.0);
    QCOMPARE(world[0].x2, double(p.xr));
    QCOMPARE(world[0].y1, double(p.yt));
    QCOMPARE(world[0].y2, 0.0);
    const auto lines = c.OfKind(DrawOp::Line);
    QCOMPARE(int(lines.size()), int(DistanceTicks(p).size() + HeightTicks(p).size()));
    for (const DrawOp& l : lines) QCOMPARE(l.colour, kTickBlue);
    const auto labels = c.OfKind(DrawOp::Label);
    QCOMPARE(labels.size(), lines.size());
    QCOMPARE(QString::fromStdString(labels[0].text), QString(" 10.00"));
    QCOMPARE(labels[0].x1, 10.0);  // at the tick's lower end
    QCOMPARE(labels[0].y1, dark ? 15.0 : 11.0);
    for (const DrawOp& l : labels) {
      QCOMPARE(l.font, kTickFont);
      QCOMPARE(l.colour, dark ? kWhite : kBlack);
      QCOMPARE(l.background, dark ? kBlack : kWhite);
    }
  }

  void sectionNames_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("case ignored") << "ch100a"
                                  << "CH100A  " << true;
    QTest::newRow("short name against padded field") << "A"
                                                     << "A       " << true;
    QTest::newRow("zero bytes as padding") << "A" << QString("A") + QChar(0) + QChar(0) << true;
    QTest::newRow("different") << "A"
                               << "B" << false;
    QTest::newRow("leading blank counts") << " A"
                                          << "A" << false;
    QTest::newRow("blank matches nothing") << ""
                                           << "        " << false;
    QTest::newRow("longer than the field") << "ABCDEFGHI"
                                           << "ABCDEFGH" << false;
  }
  void sectionNames() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QCOMPARE(SameSectionName(a.toStdString(), b.toStdString()), same);
  }

  // One file, one request: what the reader draws and where it leaves the file.
  void drawFileSection_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("labels");
    QTest::addColumn<int>("result");  // SectionResult
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("labelCount");
    QTest::addColumn<QString>("next");  // next section name read, "-" for none
    QTest::addColumn<int>("record");    // current record afterwards
    const int drawn = int(SectionResult::Drawn), missing = int(SectionResult::NotFound),
              bad = int(SectionResult::FileError);
    QTest::newRow("ends at terminator, next name read")
        << 0 << "A" << true << drawn << 3 << 3 << "B       " << 6;
    QTest::newRow("second section, lower-case request")
        << 0 << "b" << true << drawn << 2 << 2 << "-" << 10;
    QTest::newRow("labels off still draw the line")
        << 0 << "A" << false << drawn << 3 << 0 << "B       " << 6;
    QTest::newRow("not in the file") << 0 << "Z" << true << missing << 0 << 0 << "-" << 0;
    QTest::newRow("header then terminator draws nothing")
        << 1 << "A" << true << drawn << 0 << 0 << "B       " << 3;
    QTest::newRow("ten empties before the first point")
        << 2 << "A" << true << drawn << 1 << 1 << "-" << 0;
    QTest::newRow("eleven empties: file error") << 3 << "A" << true << bad << 0 << 0 << "-" << 0;
    QTest::newRow("end through empties, terminator, next")
        << 4 << "A" << true << drawn << 2 << 2 << "B       " << 7;
    QTest::newRow("data after empties: file error")
        << 5 << "A" << true << bad << 2 << 2 << "-" << 0;
    QTest::newRow("empties to the end of the file")
        << 6 << "A" << true << drawn << 2 << 2 << "-" << 0;
    QTest::newRow("height 999.9 ends the section")
        << 7 << "A" << true << drawn << 1 << 1 << "B       " << 0;
    QTest::newRow("lower-case header, upper request")
        << 8 << "CH10" << true << drawn << 1 << 1 << "-" << 0;
    QTest::newRow("header ends the file") << 9 << "A" << true << bad << 0 << 0 << "-" << 0;
    // After a 999.9 end the next name was read from the offset record that followed.
    QTest::newRow("999.9, offsets left before the terminator")
        << 10 << "P" << true << drawn << 2 << 2 << "Q       " << 7;
    QTest::newRow("999.9, offsets and empties, terminator")
        << 11 << "A" << true << drawn << 1 << 1 << "B       " << 8;
    QTest::newRow("999.9, no terminator before the end")
        << 12 << "A" << true << drawn << 1 << 1 << "-" << 0;
  }
  void drawFileSection() {
    QFETCH(int, which);
    QFETCH(QString, name);
    QFETCH(bool, labels);
    QFETCH(int, result);
    QFETCH(int, lines);
    QFETCH(int, labelCount);
    QFETCH(QString, next);
    QFETCH(int, record);
    SecBuilder b;
    switch (which) {
      case 0:
        b.Section("A", {1.5, 2.999, 3}).Section("B", {4, 5});
        break;
      case 1:
        b.Header("A").Terminator().Section("B", {1});
        break;
      case 2:
        b.Header("A").Empty(10).Point(1, 2).Terminator();
        break;
      case 3:
        b.Header("A").Empty(11).Point(1, 2).Terminator();
        break;
      case 4:
        b.Header("A").Point(0, 1).Point(5, 2).Empty(2).Terminator().Section("B", {1});
        break;
      case 5:
        b.Header("A").Point(0, 1).Point(5, 2).Empty(2).Point(7, 7).Terminator();
        break;
      case 6:
        b.Header("A").Point(0, 1).Point(5, 2).Empty(30);
        break;
      case 7:
        b.Header("A").Point(0, 1).Point(5, 999.9).Terminator().Section("B", {1});
        break;
      case 8:
        b.Section("ch10", {4});
        break;
      case 9:
        b.Header("A");
        break;
      case 10:
        b.Header("P").Point(2, 1).Point(5, 5).Point(8, 999.9).Point(12, 3).Terminator().Section(
            "Q", {2, 6});
        break;
      case 11:
        b.Header("A").Point(0, 1).Point(5, 999.9).Point(7, 7).Empty(2).Terminator().Section("B",
                                                                                            {1});
        break;
      case 12:
        b.Header("A").Point(0, 1).Point(5, 999.9).Point(7, 7).Point(9, 2);
        break;
    }
    SectionPlotState state;
    Load(state, 1, b, labels);
    state.lastName = PadName("ZZZ");
    RecordingCanvas c;
    SetUpPage(c, PageFor(200, 100, -20, 0, kMainPage), kMainPage);
    const std::size_t before = c.Ops().size();
    const SectionOutcome o = DrawFileSection(state, 1, PadName(name.toStdString()), c, kMainPage);
    QCOMPARE(int(o.result), result);
    std::vector<DrawOp> mine(c.Ops().begin() + long(before), c.Ops().end());
    int lineCount = 0, labelsSeen = 0;
    for (const DrawOp& op : mine) {
      if (op.kind == DrawOp::Line) {
        ++lineCount;
        QCOMPARE(op.colour, FileColour(1));
        QCOMPARE(op.style, int(kSolid));
      }
      if (op.kind == DrawOp::Label) {
        ++labelsSeen;
        QCOMPARE(op.font, kHeightFont);
        QCOMPARE(op.colour, FileColour(1));
        QCOMPARE(op.background, kWhite);
        QCOMPARE(QString::fromStdString(LevelLabel(op.y1)), QString::fromStdString(op.text));
      }
    }
    QCOMPARE(lineCount, lines);
    QCOMPARE(labelsSeen, labelCount);
    QCOMPARE(o.nextNameRead ? QString::fromStdString(o.nextName) : QString("-"), next);
    if (record > 0) QCOMPARE(int(state.files[0].record), record);
    toolkit::CloseSurveyFile(state.files[0].file);
  }

  // The first section of a file: the first line runs from its first point to itself, the
  // labels stand at the points, " 2.99" for 2.999.
  void groundLineShape() {
    SectionPlotState state;
    Load(state, 1, SecBuilder().Section("A", {1.5, 2.999, 3}));
    RecordingCanvas c;
    QCOMPARE(DrawFileSection(state, 1, "A", c, kDarkPage).result, SectionResult::Drawn);
    const auto px = c.OfKind(DrawOp::Pixel);
    QCOMPARE(px.size(), std::size_t(1));
    QCOMPARE(px[0].x1, -10.0);
    QCOMPARE(px[0].y1, 1.5);
    const auto lines = c.OfKind(DrawOp::Line);
    QCOMPARE(lines.size(), std::size_t(3));
    QCOMPARE(lines[0].x1, lines[0].x2);
    QCOMPARE(lines[1].x1, -10.0);
    QCOMPARE(lines[1].x2, 0.0);
    QCOMPARE(lines[2].y1, 2.999);
    QCOMPARE(lines[2].y2, 3.0);
    const auto labels = c.OfKind(DrawOp::Label);
    QCOMPARE(QString::fromStdString(labels[1].text), QString(" 2.99"));
    QCOMPARE(labels[1].x1, 0.0);
    QCOMPARE(labels[1].background, kBlack);  // dark build's label background
    toolkit::CloseSurveyFile(state.files[0].file);
  }

  // Colours and pen styles follow the position of the file in the list.
  void fileColours() {
    SectionPlotState state;
    for (int k = 1; k <= 5; ++k) Load(state, k, SecBuilder().Section("A", {1, 2}));
    RecordingCanvas c;
    state.firstName = PadName("A");
    state.lastName = PadName("A");
    state.horizScale = 200;
    state.vertScale = 100;
    QCOMPARE(DrawSectionPage(state, c, kMainPage), PageResult::Drawn);
    const Colour want[5] = {RgbColour(255, 0, 0), RgbColour(0, 255, 0), RgbColour(0, 255, 255),
                            RgbColour(255, 255, 0), RgbColour(0, 0, 255)};
    for (int k = 1; k <= 5; ++k) {
      const auto lines = c.OfKind(DrawOp::Line, want[k - 1]);
      // file 5's blue lines share the colour of the ticks
      QVERIFY(!lines.empty());
      QCOMPARE(lines.back().style, k - 1);
    }
    for (auto& e : state.files) toolkit::CloseSurveyFile(e.file);
  }

  // Paging over two files from a first to a last name.
  void paging_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QStringList>("pages");  // section names of the pages drawn
    QTest::addColumn<bool>("failsAtEnd");    // the run ends with a wrong section
    QTest::newRow("A to C: three pages") << "A"
                                         << "C" << QStringList{"A", "B", "C"} << false;
    QTest::newRow("equal names in any case: one page") << "b"
                                                       << "B" << QStringList{"B"} << false;
    QTest::newRow("B to the end") << "B"
                                  << "D" << QStringList{"B", "C", "D"} << false;
    QTest::newRow("last name missing: runs out") << "C"
                                                 << "X" << QStringList{"C", "D"} << true;
    QTest::newRow("first name missing") << "Q"
                                        << "D" << QStringList{} << true;
  }
  void paging() {
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QStringList, pages);
    QFETCH(bool, failsAtEnd);
    SectionPlotState state;
    // One file ends its sections at terminators, the other through empty records.
    Load(
        state, 1,
        SecBuilder().Section("A", {1, 2}).Section("B", {3}).Section("C", {4, 5}).Section("D", {6}));
    Load(state, 2,
         SecBuilder()
             .Header("a")
             .Point(0, 1)
             .Empty(3)
             .Terminator()
             .Header("b")
             .Point(0, 1)
             .Point(1, 2)
             .Empty(1)
             .Terminator()
             .Empty(2)
             .Header("c")
             .Point(0, 1)
             .Empty(2)
             .Terminator()
             .Header("d")
             .Point(0, 1)
             .Empty(2)
             .Terminator(),
         false);
    state.horizScale = 200;
    state.vertScale = 100;
    SetSectionRange(state, first.toStdString(), last.toStdString());
    RecordingCanvas c;
    QStringList drawn;
    bool failed = false;
    for (int guard = 0; guard < 20; ++guard) {
      const PageResult r = DrawSectionPage(state, c, kMainPage);
      if (r != PageResult::Drawn) {
        failed = true;
        break;
      }
      drawn << QString::fromStdString(state.sectionName).trimmed().toUpper();
      if (PageWasLast(state)) break;
    }
    QCOMPARE(drawn, pages);
    QCOMPARE(failed, failsAtEnd);
    for (auto& e : state.files) toolkit::CloseSurveyFile(e.file);
  }

  // Numbers that are not finite must neither crash nor end the section early.
  void notFiniteNumbers() {
    SectionPlotState state;
    Load(state, 1,
         SecBuilder()
             .Header("A")
             .Raw("  1e999", "     nan")
             .Raw("-1e999", "   1e400")
             .Point(2, 3)
             .Raw("     inf", "     0.0")
             .Terminator()
             .Section("B", {1}));
    RecordingCanvas c;
    const SectionOutcome o = DrawFileSection(state, 1, "A", c, kMainPage);
    QCOMPARE(o.result, SectionResult::Drawn);
    QCOMPARE(QString::fromStdString(o.nextName), QString("B       "));
    for (const DrawOp& l : c.OfKind(DrawOp::Label))
      if (!std::isfinite(l.y1)) QVERIFY(l.text.empty());
    toolkit::CloseSurveyFile(state.files[0].file);
  }

  void clipSegment_data() {
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("y1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<double>("y2");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<double>("cx1");
    QTest::addColumn<double>("cy1");
    QTest::addColumn<double>("cx2");
    QTest::addColumn<double>("cy2");
    const double inf = std::numeric_limits<double>::infinity();
    // window 0..10 across, 0..10 up
    QTest::newRow("inside") << 1.0 << 1.0 << 9.0 << 9.0 << true << 1.0 << 1.0 << 9.0 << 9.0;
    QTest::newRow("far end cut") << 5.0 << 5.0 << 1e12 << 5.0 << true << 5.0 << 5.0 << 10.0 << 5.0;
    QTest::newRow("both ends cut")
        << -10.0 << 5.0 << 20.0 << 5.0 << true << 0.0 << 5.0 << 10.0 << 5.0;
    QTest::newRow("diagonal") << -5.0 << -5.0 << 15.0 << 15.0 << true << 0.0 << 0.0 << 10.0 << 10.0;
    QTest::newRow("outside") << 11.0 << 0.0 << 20.0 << 5.0 << false << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("parallel outside")
        << -1.0 << 0.0 << -1.0 << 5.0 << false << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("infinite end") << 5.0 << 5.0 << inf << 5.0 << false << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("NaN end") << 5.0 << std::nan("") << 6.0 << 5.0 << false << 0.0 << 0.0 << 0.0
                             << 0.0;
    QTest::newRow("huge span") << -1e308 << 5.0 << 1e308 << 5.0 << false << 0.0 << 0.0 << 0.0
                               << 0.0;
  }
  void clipSegment() {
    QFETCH(double, x1);
    QFETCH(double, y1);
    QFETCH(double, x2);
    QFETCH(double, y2);
    QFETCH(bool, visible);
    QCOMPARE(ClipSegment(0, 0, 10, 10, x1, y1, x2, y2), visible);
    if (!visible) return;
    QFETCH(double, cx1);
    QFETCH(double, cy1);
    QFETCH(double, cx2);
    QFETCH(double, cy2);
    QVERIFY(std::fabs(x1 - cx1) < 1e-9 && std::fabs(y1 - cy1) < 1e-9);
    QVERIFY(std::fabs(x2 - cx2) < 1e-9 && std::fabs(y2 - cy2) < 1e-9);
  }
};

QTEST_APPLESS_MAIN(TestSectionCore)
#include "tst_section_core.moc"
