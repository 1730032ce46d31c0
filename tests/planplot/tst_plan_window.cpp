// The plan plotter's window driven as a surveyor drives it: answers typed into the plot
// area, buttons clicked, areas dragged with the mouse; checked in the plot area's pixels,
// the zoom-area label, the button states and the saved bitmaps.
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>

#include "planplot/plan_window.h"
#include "platform/platform.h"
#include "message_boxes.h"
#include "survey_writer.h"

using namespace planplot;

Q_DECLARE_METATYPE(planplot::PlanScheme)

namespace {

struct Pt {
  double n, e, s;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void WriteNeh(const std::string& name, const std::vector<Pt>& pts) {
  std::vector<testsupport::Record> recs;
  for (const Pt& p : pts) recs.push_back({p.n, p.e, p.s});
  if (!testsupport::WriteSurveyFile(name, recs, 24)) qFatal("cannot write %s", name.c_str());
}

Rgb At(PlanWindow& w, int x, int y) { return w.PlotArea()->Image().pixel(x, y) & 0xFFFFFFu; }

// The colour within one pixel of (x, y).
bool Near(PlanWindow& w, int x, int y, Rgb colour) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (At(w, x + dx, y + dy) == colour) return true;
  return false;
}

int CountColour(const QImage& img, Rgb colour) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if ((img.pixel(x, y) & 0xFFFFFFu) == colour) ++n;
  return n;
}

std::string LastLine(const std::string& transcript) {
  const auto nl = transcript.rfind('\n');
  return nl == std::string::npos ? transcript : transcript.substr(nl + 1);
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Clicks Start and answers each prompt ("... = ") with the next text; "<esc>" presses Esc,
// "<close>" closes the window. Calls onPrompt (if given) each time a prompt waits. A
// watchdog closes the window after 30 s; returns false then.
struct Conversation {
  QStringList answers;
  std::function<void()> onPrompt;
  int promptsSeen = 0;
  std::vector<std::string> transcripts;  // the area's text at each prompt
};

bool RunStart(PlanWindow& w, Conversation& c) {
  bool timedOut = false;
  QTimer typer;
  typer.setInterval(2);
  QObject::connect(&typer, &QTimer::timeout, [&] {
    toolkit::PromptWindow* area = w.PlotArea();
    const std::string t = area->Transcript();
    if (area->HasPendingKey() || !EndsWith(LastLine(t), "= ")) return;
    if (c.answers.isEmpty()) return;
    ++c.promptsSeen;
    c.transcripts.push_back(t);
    if (c.onPrompt) c.onPrompt();
    const QString a = c.answers.takeFirst();
    if (a == "<esc>") {
      QTest::keyClick(area, Qt::Key_Escape);
    } else if (a == "<close>") {
      w.close();
    } else {
      QTest::keyClicks(area, a);
      QTest::keyClick(area, Qt::Key_Return);
    }
  });
  typer.start();
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    timedOut = true;
    w.close();
  });
  watchdog.start(30000);
  QTest::mouseClick(w.Button(kIdStart), Qt::LeftButton);
  return !timedOut;
}

bool Start(PlanWindow& w, const QStringList& answers) {
  Conversation c;
  c.answers = answers;
  return RunStart(w, c) && c.answers.isEmpty();
}

void Click(PlanWindow& w, int id) { QTest::mouseClick(w.Button(id), Qt::LeftButton); }

// The message boxes answered so far, each as "caption: text".
QStringList Said(const testsupport::MessageBoxCatcher& boxes) {
  QStringList said;
  for (int i = 0; i < boxes.count(); ++i) said << boxes.titles[i] + ": " + boxes.texts[i];
  return said;
}

void Drag(PlanWindow& w, QPoint from, QPoint to) {
  QTest::mousePress(w.PlotArea(), Qt::LeftButton, {}, from);
  QTest::mouseMove(w.PlotArea(), to);
  QTest::mouseRelease(w.PlotArea(), Qt::LeftButton, {}, to);
}

}  // namespace

class TestPlanWindow : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  std::filesystem::path oldDir_;

 private slots:
  void initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(dir_.isValid());
    oldDir_ = std::filesystem::current_path();
    // Bitmaps go to the current folder.
    std::filesystem::current_path(dir_.path().toStdString());
    // +100, -110, 120, -130, 140 with two corner points that set the view.
    WriteNeh("SIGNS.NEH", {{100, 200, 0},
                           {-110, 210, 0},
                           {120, 220, 0},
                           {-130, 230, 0},
                           {140, 240, 0},
                           {90, 190, 0},
                           {150, 250, 0}});
    WriteNeh("SQUARE.NEH", {{0, 0, 0}, {1050, 1050, 0}});
    WriteNeh("REF.NEH", {{500, 500, 0}, {600, 600, 0}});
    WriteNeh("ONE.NEH", {{300, 500, 0}});
  }
  void cleanupTestCase() { std::filesystem::current_path(oldDir_); }

  void layout_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("Start") << int(kIdStart) << "&Start" << QRect(570, 702, 75, 23);
    QTest::newRow("Zoom") << int(kIdZoom) << "&Zoom" << QRect(647, 702, 75, 23);
    QTest::newRow("Redraw") << int(kIdRedraw) << "&Redraw" << QRect(723, 702, 75, 23);
    QTest::newRow("Pt.No") << int(kIdNumbers) << "&Pt.No" << QRect(800, 702, 75, 23);
    QTest::newRow("Level") << int(kIdLevels) << "&Level" << QRect(876, 702, 75, 23);
    QTest::newRow("Bmp") << int(kIdBmp) << "&Bmp" << QRect(953, 702, 75, 23);
  }
  void layout() {
    QFETCH(int, id);
    QFETCH(QString, text);
    QFETCH(QRect, geometry);
    PlanWindow w(kDarkScheme);
    w.show();
    QCOMPARE(w.windowTitle(), QString("NEH File Plot"));
    QCOMPARE(w.size(), QSize(1050, 723));
    QCOMPARE(w.pos(), QPoint(0, 0));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.PlotArea()->geometry(), QRect(0, 0, 1050, 700));
    QCOMPARE(w.PlotArea()->ControlId(), 121);
    QCOMPARE(w.ZoomLabel()->text(), QString("Zoom Area:"));
    QCOMPARE(w.ZoomLabel()->geometry(), QRect(150, 702, 300, 23));
    QPushButton* b = w.Button(id);
    QVERIFY(b);
    QCOMPARE(b->text(), text);
    QCOMPARE(b->geometry(), geometry);
    QCOMPARE(b->property("controlId").toInt(), id);
    // The access key: Alt and the marked letter.
    QCOMPARE(b->shortcut(), QKeySequence(QString("Alt+") + text.at(1)));
    QCOMPARE(w.cursor().shape(), Qt::CrossCursor);
    QCOMPARE(w.PlotArea()->cursor().shape(), Qt::CrossCursor);
  }

  // Which of Start, Zoom and Redraw can be clicked at each moment.
  void buttonStates() {
    PlanWindow w(kDarkScheme);
    w.show();
    auto states = [&] {
      QString s;
      for (int id : {kIdStart, kIdZoom, kIdRedraw, kIdNumbers, kIdLevels, kIdBmp})
        s += w.Button(id)->isEnabled() ? '1' : '0';
      return s;
    };
    QCOMPARE(states(), QString("100111"));
    Conversation c;
    c.answers = QStringList{"SQUARE", ""};
    QStringList during;
    c.onPrompt = [&] { during << states(); };
    QVERIFY(RunStart(w, c));
    QCOMPARE(during, QStringList({"000111", "000111"}));
    QCOMPARE(states(), QString("110111"));
    Drag(w, QPoint(100, 100), QPoint(300, 300));
    Click(w, kIdZoom);
    QCOMPARE(states(), QString("111111"));
    Click(w, kIdRedraw);
    QCOMPARE(states(), QString("110111"));
    Click(w, kIdNumbers);
    Click(w, kIdLevels);
    QCOMPARE(states(), QString("110111"));
  }

  // +100, -110, 120, -130, 140: a yellow pixel, a line 2-3-4 and a yellow pixel, in both
  // builds' colours.
  void markerSequence_data() {
    QTest::addColumn<PlanScheme>("scheme");
    QTest::newRow("dark") << kDarkScheme;
    QTest::newRow("light") << kLightScheme;
  }
  void markerSequence() {
    QFETCH(PlanScheme, scheme);
    PlanWindow w(scheme);
    w.show();
    QVERIFY(Start(w, {"SIGNS", "n"}));
    // View E 190..250, N 90..150: x = (E - 190) * 17.5, y = 700 - round((N - 90) * 35 / 3).
    QCOMPARE(At(w, 175, 583), kYellow);            // record 1
    QCOMPARE(At(w, 875, 117), kYellow);            // record 5
    QVERIFY(Near(w, 350, 467, scheme.styleZero));  // record 2 starts the line: no pixel
    QCOMPARE(At(w, 350, 467), scheme.styleZero);
    QCOMPARE(At(w, 525, 350), scheme.styleZero);    // record 3 on the line
    QVERIFY(Near(w, 700, 233, scheme.styleZero));   // record 4 ends it
    QVERIFY(Near(w, 437, 409, scheme.styleZero));   // between 2 and 3
    QVERIFY(Near(w, 612, 292, scheme.styleZero));   // between 3 and 4
    QVERIFY(!Near(w, 262, 525, scheme.styleZero));  // no line 1-2
    QVERIFY(!Near(w, 787, 175, scheme.styleZero));  // no line 4-5
    QCOMPARE(At(w, 5, 5), scheme.background);
    // Records 6 and 7 set the view and land just past the bottom and the right edge.
    QCOMPARE(CountColour(w.PlotArea()->Image(), kYellow), 2);
  }

  // The prompts in the scheme's text colour.
  void promptColours_data() { markerSequence_data(); }
  void promptColours() {
    QFETCH(PlanScheme, scheme);
    PlanWindow w(scheme);
    w.show();
    Conversation c;
    c.answers = QStringList{"SQUARE", "n"};
    int textPixels = -1;
    QString firstPrompt;
    c.onPrompt = [&] {
      if (textPixels < 0) {
        textPixels = CountColour(w.PlotArea()->Image().copy(0, 0, 400, 60), scheme.promptText);
        firstPrompt = QString::fromStdString(w.PlotArea()->Transcript());
      }
    };
    QVERIFY(RunStart(w, c));
    QVERIFY(textPixels > 50);
    QCOMPARE(firstPrompt, QString("Select Area before Zoom !!!\nNEH File Name = "));
  }

  // Line colours and styles: a horizontal line from E 100 to E 300 on row 350.
  void codedLine_data() {
    QTest::addColumn<double>("code");
    QTest::addColumn<bool>("numbers");
    QTest::addColumn<uint>("colour");
    QTest::addColumn<bool>("solid");
    QTest::newRow("17 after a green label") << 17.0 << true << 0x00FF00u << true;
    QTest::newRow("17 at the start of a pass") << 17.0 << false << 0xFF0000u << true;
    QTest::newRow("13 dash-dot") << 13.0 << false << 0x00FF00u << false;
    QTest::newRow("0 solid white") << 0.0 << false << 0xFFFFFFu << true;
    QTest::newRow("21 dashed red") << 21.0 << false << 0xFF0000u << false;
  }
  void codedLine() {
    QFETCH(double, code);
    QFETCH(uint, colour);
    QFETCH(bool, solid);
    QFETCH(bool, numbers);
    WriteNeh("CODED.NEH", {{-100, 100, 0}, {-100, 300, code * 10000 + 5}});
    PlanWindow w(kDarkScheme);
    w.show();
    const QImage before = w.PlotArea()->Image();
    // Pt.No before any Start draws nothing; the next Start shows the numbers.
    if (numbers) Click(w, kIdNumbers);
    QCOMPARE(w.PlotArea()->Image(), before);
    QVERIFY(Start(w, {"CODED", ""}));
    int on = 0, off = 0;
    for (int x = 100; x < 900; ++x) (At(w, x, 350) == colour ? on : off)++;
    QVERIFY2(on > 300, qPrintable(QString::number(on)));
    if (solid)
      QCOMPARE(off, 0);
    else
      QVERIFY(off > 100);
    if (numbers) QVERIFY(CountColour(w.PlotArea()->Image().copy(0, 330, 40, 40), kGreen) > 5);
  }

  // At program start the mapping is one unit per pixel, y down; a one-record file keeps it.
  void oneRecordFile() {
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, {"ONE", ""}));
    QCOMPARE(At(w, 500, 300), kYellow);
    QCOMPARE(CountColour(w.PlotArea()->Image(), kYellow), 1);
    // After a fitted view, a one-record file is drawn in that view.
    QVERIFY(Start(w, {"SQUARE", ""}));
    QVERIFY(Start(w, {"ONE", ""}));
    QCOMPARE(At(w, 500, 700 - 200), kYellow);  // E 500, N 300 in the 0..1050 view
  }

  // The name is used as typed with ".NEH" appended, even after an extension.
  void fileNameAnswers_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("mainPrompts");
    QTest::newRow("x.NEH looked for as x.NEH.NEH")
        << QStringList{"x.NEH.NEH"} << QStringList{"x.NEH", "n"} << 1;
    QTest::newRow("x.NEH missing: asked again")
        << QStringList{"y.NEH"} << QStringList{"y.NEH", "y", "n"} << 2;
    QTest::newRow("first field before a comma")
        << QStringList{"site.NEH"} << QStringList{"  site , other", "N"} << 1;
    QTest::newRow("quoted name keeps its comma")
        << QStringList{"a,b.NEH"} << QStringList{"\"a,b\"", ""} << 1;
    QTest::newRow("letter case kept")
        << QStringList{"Mixed.NEH"} << QStringList{"MIXED", "mixed", "Mixed", "n"} << 3;
  }
  void fileNameAnswers() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, answers);
    QFETCH(int, mainPrompts);
    for (const QString& f : files) WriteNeh(f.toStdString(), {{300, 500, 0}});
    PlanWindow w(kDarkScheme);
    w.show();
    Conversation c;
    c.answers = answers;
    QVERIFY(RunStart(w, c));
    QVERIFY(c.answers.isEmpty());
    int seen = 0;
    for (const auto& t : c.transcripts)
      if (EndsWith(t, "NEH File Name = ") && !EndsWith(t, "Ref. NEH File Name = ")) ++seen;
    QCOMPARE(seen, mainPrompts);
    for (const auto& t : c.transcripts)
      if (EndsWith(t, "NEH File Name = ") && !EndsWith(t, "Ref. NEH File Name = "))
        QVERIFY(t.rfind("Select Area before Zoom !!!\n", 0) == 0);
    QCOMPARE(At(w, 500, 300), kYellow);  // the file found was drawn
    for (const QString& f : files) QFile::remove(f);
  }

  // The reference file is drawn in blue over the main file; no answer, "N", "n" or a
  // missing name then "n" draw none.
  void referenceAnswers_data() {
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<bool>("blue");
    QTest::addColumn<int>("refPrompts");
    QTest::newRow("REF") << QStringList{"SQUARE", "REF"} << true << 1;
    QTest::newRow("empty") << QStringList{"SQUARE", ""} << false << 1;
    QTest::newRow("N") << QStringList{"SQUARE", "N"} << false << 1;
    QTest::newRow("n") << QStringList{"SQUARE", "n"} << false << 1;
    QTest::newRow("missing, then REF") << QStringList{"SQUARE", "NOPE", "REF"} << true << 2;
    QTest::newRow("missing, then n") << QStringList{"SQUARE", "NOPE", "n"} << false << 2;
  }
  void referenceAnswers() {
    QFETCH(QStringList, answers);
    QFETCH(bool, blue);
    QFETCH(int, refPrompts);
    PlanWindow w(kDarkScheme);
    w.show();
    // An earlier Start with a reference file must not leak into this one.
    QVERIFY(Start(w, {"SQUARE", "REF"}));
    QCOMPARE(CountColour(w.PlotArea()->Image(), kBlue), 2);
    Conversation c;
    c.answers = answers;
    QVERIFY(RunStart(w, c));
    QVERIFY(c.answers.isEmpty());
    QCOMPARE(CountColour(w.PlotArea()->Image(), kBlue), blue ? 2 : 0);
    int seen = 0;
    for (const auto& t : c.transcripts) seen += EndsWith(t, "Ref. NEH File Name = ");
    QCOMPARE(seen, refPrompts);
    // A repeated reference prompt stands alone at the top of the area.
    if (seen == 2) QCOMPARE(c.transcripts.back(), std::string("Ref. NEH File Name = "));
  }

  // In a view 1050 units wide and high a 100 x 50 pixel drag is 100 x 75 units, made
  // 100 x 100 by raising the top edge; the opposite drag gives the same box.
  void dragZoomBox_data() {
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::newRow("top-left to bottom-right") << QPoint(100, 100) << QPoint(200, 150);
    QTest::newRow("bottom-right to top-left") << QPoint(200, 150) << QPoint(100, 100);
  }
  void dragZoomBox() {
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, {"SQUARE", ""}));
    const QImage plot = w.PlotArea()->Image();
    QTest::mousePress(w.PlotArea(), Qt::LeftButton, {}, from);
    QTest::mouseMove(w.PlotArea(), to);
    const QString text = "Zoom Area: 100E  825N -  200E  925N";
    QCOMPARE(w.ZoomLabel()->text(), text);
    QVERIFY(std::fabs(w.State().u - 6.0 * 75 / 700) < 1e-12);
    // The rubber band shows on the window, the plot's picture is untouched.
    const QImage shown = w.grab().toImage();
    const Rgb shadow = platform::SystemButtonShadow().rgb() & 0xFFFFFFu;
    QCOMPARE(shown.pixel(150, 100) & 0xFFFFFFu, shadow);
    QCOMPARE(shown.pixel(100, 125) & 0xFFFFFFu, shadow);
    QCOMPARE(shown.pixel(150, 125) & 0xFFFFFFu, kDarkScheme.background);
    QCOMPARE(w.PlotArea()->Image(), plot);
    QTest::mouseRelease(w.PlotArea(), Qt::LeftButton, {}, to);
    QCOMPARE(w.grab().toImage().pixel(150, 100) & 0xFFFFFFu, kDarkScheme.background);
    QCOMPARE(w.ZoomLabel()->text(), text);
    // Zoom shows the box: E 100..200 across the whole width.
    Click(w, kIdZoom);
    QCOMPARE(w.State().Eleft, 100.0);
    QCOMPARE(w.State().Ntop, 925.0);
    QVERIFY(std::fabs(w.State().u - 6.0 * 75 / 700) < 1e-12);
  }

  // A press and release without a move shows the zoom box as it was: after Start, the
  // last record drawn.
  void clickWithoutMove() {
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, {"SQUARE", ""}));
    QTest::mousePress(w.PlotArea(), Qt::LeftButton, {}, QPoint(400, 300));
    QTest::mouseRelease(w.PlotArea(), Qt::LeftButton, {}, QPoint(400, 300));
    QCOMPARE(w.ZoomLabel()->text(), QString("Zoom Area: 1050E  1050N -  1050E  1050N"));
  }

  // Zoom right after Start: the box is the last point, a window of zero size, and the
  // picture stays as it was.
  void zoomAfterStart() {
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, {"SIGNS", ""}));
    const QImage before = w.PlotArea()->Image();
    Click(w, kIdZoom);
    QCOMPARE(w.PlotArea()->Image(), before);
    QVERIFY(w.Button(kIdRedraw)->isEnabled());
  }

  // The plotted file is removed, or replaced by a folder, before the next pass: the pass
  // says so, draws nothing and the commands stay usable.
  void fileGoneBeforeZoom_data() {
    QTest::addColumn<bool>("folder");
    QTest::newRow("removed") << false;
    QTest::newRow("replaced by a folder") << true;
  }
  void fileGoneBeforeZoom() {
    QFETCH(bool, folder);
    WriteNeh("GOING.NEH", {{100, 200, 0}, {150, 250, 0}, {120, 220, 0}});
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, {"GOING", ""}));
    QVERIFY(CountColour(w.PlotArea()->Image(), kYellow) > 0);
    QVERIFY(QFile::remove("GOING.NEH"));
    if (folder) QVERIFY(QDir().mkdir("GOING.NEH"));
    testsupport::MessageBoxCatcher messages;
    Click(w, kIdZoom);
    QTRY_COMPARE(Said(messages),
                 QStringList{"NEH File Plot: The file cannot be opened: GOING.NEH"});
    QCOMPARE(CountColour(w.PlotArea()->Image(), kDarkScheme.background), 1050 * 700);
    QVERIFY(w.Button(kIdStart)->isEnabled());
    QVERIFY(w.Button(kIdRedraw)->isEnabled());
    // Start asks for the name again and a missing name is asked again, as always.
    QVERIFY(Start(w, {"GOING", "<close>"}));
    if (folder) QDir().rmdir("GOING.NEH");
  }

  // Pt.No writes green numbers; Redraw clears the flags and the numbers are gone.
  void numbersThenRedraw() {
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, {"SIGNS", ""}));
    // Redraw can be clicked once a Zoom has been made.
    QVERIFY(!w.Button(kIdRedraw)->isEnabled());
    Click(w, kIdZoom);
    QCOMPARE(CountColour(w.PlotArea()->Image(), kGreen), 0);
    Click(w, kIdNumbers);
    QVERIFY(CountColour(w.PlotArea()->Image(), kGreen) > 20);
    Click(w, kIdLevels);
    Click(w, kIdRedraw);
    QCOMPARE(CountColour(w.PlotArea()->Image(), kGreen), 0);
    QCOMPARE(CountColour(w.PlotArea()->Image(), kYellow), 2);
  }

  // Level labels in the scheme colour, beside the points.
  void levels() {
    WriteNeh("LEVELS.NEH", {{100, 100, 12.5}, {150, 150, -3.456}, {200, 200, 7}});
    PlanWindow w(kLightScheme);
    w.show();
    QVERIFY(Start(w, {"LEVELS", ""}));
    const int black = CountColour(w.PlotArea()->Image(), 0x000000);
    Click(w, kIdLevels);
    QVERIFY(CountColour(w.PlotArea()->Image(), 0x000000) > black + 20);
  }

  // Three presses write Plan 1.bmp to Plan 3.bmp of 2206454 bytes; a name that cannot be
  // written still uses up its number and changes nothing else.
  void bitmaps() {
    for (const char* f : {"Plan 1.bmp", "Plan 2.bmp", "Plan 3.bmp", "Plan 4.bmp"}) QFile::remove(f);
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, {"SIGNS", ""}));
    for (int i = 0; i < 3; ++i) Click(w, kIdBmp);
    for (const char* f : {"Plan 1.bmp", "Plan 2.bmp", "Plan 3.bmp"}) {
      QFile file(f);
      QVERIFY2(file.open(QIODevice::ReadOnly), f);
      QCOMPARE(file.size(), qint64(2206454));
      QCOMPARE(file.read(2), QByteArray("BM"));
    }
    // The saved picture is the plot: record 1's yellow pixel at (175, 583) lies in row
    // 699 - 583 from the bottom.
    QFile one("Plan 1.bmp");
    QVERIFY(one.open(QIODevice::ReadOnly));
    const QByteArray bytes = one.readAll();
    const qsizetype at = 54 + qsizetype(699 - 583) * 3152 + 175 * 3;
    QCOMPARE(bytes.mid(at, 3), QByteArray("\x00\xff\xff", 3));
    // "Plan 4.bmp" is a folder: the save fails and says so, the counter moves on to 5.
    QVERIFY(QDir().mkdir("Plan 4.bmp"));
    const QImage before = w.PlotArea()->Image();
    testsupport::MessageBoxCatcher messages;
    Click(w, kIdBmp);
    QTRY_COMPARE(Said(messages), QStringList{"NEH File Plot: Image not saved: Plan 4.bmp"});
    Click(w, kIdBmp);
    QCOMPARE(messages.count(), 1);
    QVERIFY(QFileInfo("Plan 4.bmp").isDir());
    QCOMPARE(QFileInfo("Plan 5.bmp").size(), qint64(2206454));
    QCOMPARE(w.PlotArea()->Image(), before);
    QDir().rmdir("Plan 4.bmp");
    // A new run starts again at Plan 1.bmp.
    PlanWindow again(kDarkScheme);
    again.show();
    QFile::remove("Plan 1.bmp");
    Click(again, kIdBmp);
    QVERIFY(QFile::exists("Plan 1.bmp"));
  }

  // The current folder was removed (as good as read-only, whoever runs the test): the
  // picture cannot be written and the window says so, once a click.
  void bitmapWhereNothingCanBeWritten() {
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, {"SIGNS", ""}));
    const std::filesystem::path here = std::filesystem::current_path();
    const std::filesystem::path gone = here / "gone";
    std::filesystem::create_directory(gone);
    std::filesystem::current_path(gone);
    std::filesystem::remove(gone);
    testsupport::MessageBoxCatcher messages;
    Click(w, kIdBmp);
    Click(w, kIdBmp);
    std::filesystem::current_path(here);
    QTRY_COMPARE(Said(messages), (QStringList{"NEH File Plot: Image not saved: Plan 1.bmp",
                                              "NEH File Plot: Image not saved: Plan 2.bmp"}));
    QVERIFY(!std::filesystem::exists(gone));
    QVERIFY(w.Button(kIdStart)->isEnabled());
  }

  // Damaged records: passed over, the rest drawn in a sensible view.
  void damagedRecords() {
    WriteNeh("BAD.NEH", {{100, 100, 0},
                         {kNaN, 5, 0},
                         {-kInf, 150, 0},
                         {150, kInf, 0},
                         {200, 200, kNaN},
                         {200, 200, 0},
                         {kNaN, kNaN, kNaN}});
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, {"BAD", ""}));
    // View E 100..200, N 100..200: record 1 on the bottom edge, record 6 at the top right.
    QCOMPARE(At(w, 0, 699), kDarkScheme.background);
    QCOMPARE(CountColour(w.PlotArea()->Image(), kYellow), 0);  // both lie on the far edges
    WriteNeh("BAD.NEH", {{100, 100, 0}, {kNaN, 5, 0}, {150, 150, 0}, {kInf, 1, 0}, {200, 200, 0}});
    QVERIFY(Start(w, {"BAD", ""}));
    QCOMPARE(At(w, 525, 350), kYellow);
    // An empty file and a file that cannot be read draw nothing.
    WriteNeh("EMPTY.NEH", {});
    QVERIFY(Start(w, {"EMPTY", ""}));
    QCOMPARE(CountColour(w.PlotArea()->Image(), kDarkScheme.background), 1050 * 700);
    QVERIFY(QDir().mkdir("FOLDER.NEH"));
    testsupport::MessageBoxCatcher messages;
    QVERIFY(Start(w, {"FOLDER", ""}));
    QCOMPARE(CountColour(w.PlotArea()->Image(), kDarkScheme.background), 1050 * 700);
    QVERIFY(w.Button(kIdStart)->isEnabled());
    QCOMPARE(Said(messages), QStringList{"NEH File Plot: The file cannot be opened: FOLDER.NEH"});
  }

  // Pt.No during a prompt runs a pass and the conversation goes on where it was.
  void numbersDuringPrompt() {
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, {"SQUARE", ""}));
    Conversation c;
    c.answers = QStringList{"SIGNS", "n"};
    bool clicked = false;
    c.onPrompt = [&] {
      if (clicked) return;
      clicked = true;
      Click(w, kIdNumbers);  // draws SQUARE, the file named at that moment, with numbers
    };
    QVERIFY(RunStart(w, c));
    QVERIFY(c.answers.isEmpty());
    QVERIFY(c.transcripts.back().rfind("Select Area before Zoom !!!\nNEH File Name = ", 0) == 0);
    QVERIFY(EndsWith(c.transcripts.back(), "SIGNS\nRef. NEH File Name = "));
    // SIGNS is then drawn with numbers on.
    QVERIFY(CountColour(w.PlotArea()->Image(), kGreen) > 20);
  }

  // A press on Pt.No, Level or Bmp while a question waits took the keyboard from it,
  // whether or not it became a command: "SI", the press, then "GNS" typed at the
  // keyboard must answer SIGNS.
  void typingGoesOnAfterACommand_data() {
    QTest::addColumn<PlanScheme>("scheme");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("press");
    QTest::newRow("Pt.No") << kDarkScheme << int(kIdNumbers) << "click";
    QTest::newRow("Level") << kDarkScheme << int(kIdLevels) << "click";
    QTest::newRow("Bmp") << kDarkScheme << int(kIdBmp) << "click";
    QTest::newRow("Pt.No right-click") << kDarkScheme << int(kIdNumbers) << "right";
    QTest::newRow("Pt.No dragged off") << kDarkScheme << int(kIdNumbers) << "off";
    QTest::newRow("Bmp middle-click") << kDarkScheme << int(kIdBmp) << "middle";
    QTest::newRow("Bmp middle-click, light") << kLightScheme << int(kIdBmp) << "middle";
  }
  void typingGoesOnAfterACommand() {
    QFETCH(PlanScheme, scheme);
    QFETCH(int, command);
    QFETCH(QString, press);
    PlanWindow w(scheme);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    Conversation c;
    c.answers = QStringList{"", "SQUARE", ""};  // Enter after the typing; then the reference
    c.onPrompt = [&] {
      if (c.promptsSeen != 1) return;
      QTest::keyClicks(QApplication::focusWidget(), "SI");
      QPushButton* b = w.Button(command);
      if (press == "right")
        QTest::mouseClick(b, Qt::RightButton);
      else if (press == "middle")
        QTest::mouseClick(b, Qt::MiddleButton);
      else if (press == "off") {
        QTest::mousePress(b, Qt::LeftButton);
        QTest::mouseMove(b, QPoint(b->width() / 2, -30));
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(b->width() / 2, -30));
      } else
        Click(w, command);
      QTest::keyClicks(QApplication::focusWidget(), "GNS");
    };
    QVERIFY(RunStart(w, c));
    QVERIFY(EndsWith(c.transcripts.at(1), "NEH File Name = SIGNS\nRef. NEH File Name = "));
  }

  // Labels are opaque boxes in the plot's own colours: a dark plot with numbers and
  // levels over points and coded lines of every style holds no blended colour (the
  // rotated boxes were drawn with smoothed edges).
  void labelsKeepExactColours_data() {
    QTest::addColumn<PlanScheme>("scheme");
    QTest::addColumn<int>("command");
    QTest::newRow("dark, levels") << kDarkScheme << int(kIdLevels);
    QTest::newRow("dark, numbers") << kDarkScheme << int(kIdNumbers);
    QTest::newRow("light, levels") << kLightScheme << int(kIdLevels);
  }
  void labelsKeepExactColours() {
    QFETCH(PlanScheme, scheme);
    QFETCH(int, command);
    std::vector<Pt> pts;
    for (int i = 0; i < 60; ++i) {
      const double n = 100 + 7.0 * (i % 12), e = 100 + 5.0 * i + (i % 3);
      pts.push_back({i % 4 == 1 || i % 4 == 3 ? -n : n, e, 10000.0 * (i % 10) + 12.34 + i});
    }
    WriteNeh("PALETTE.NEH", pts);
    PlanWindow w(scheme);
    w.show();
    QVERIFY(Start(w, {"PALETTE", "REF"}));
    Click(w, command);
    const QSet<Rgb> palette{scheme.background,
                            scheme.styleZero,
                            scheme.levelLabel,
                            kRed,
                            kGreen,
                            kYellow,
                            kCyan,
                            kBlue};
    QSet<Rgb> seen;
    const QImage& img = w.PlotArea()->Image();
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) seen.insert(img.pixel(x, y) & 0xFFFFFFu);
    QVERIFY2(seen.size() >= 4, "the plot shows its colours");
    const QSet<Rgb> foreign = seen - palette;
    QVERIFY2(foreign.isEmpty(), qPrintable(QString("%1 blended colours").arg(foreign.size())));
  }

  // A command clicked while Start scans and draws a long file waits for that pass: the
  // picture is the one Start then Pt.No (or Level) draw one after the other. (The extent
  // scan let a pass start inside it, drawn in the previous view.)
  void commandDuringStartWaits_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("Pt.No at once") << int(kIdNumbers) << 1;
    QTest::newRow("Level at once") << int(kIdLevels) << 1;
    QTest::newRow("Pt.No later") << int(kIdNumbers) << 40;
  }
  void commandDuringStartWaits() {
    QFETCH(int, command);
    QFETCH(int, delayMs);
    // A few points and a line, then a long run of damaged records that both the scan and
    // the pass read through.
    std::string bytes;
    auto add = [&bytes](double n, double e, double s) {
      const double v[3] = {n, e, s};
      bytes.append(reinterpret_cast<const char*>(v), 24);
    };
    add(200, 300, 5);
    add(-260, 340, 30001);
    add(-320, 420, 30002);
    add(250, 500, 7);
    for (int i = 0; i < 250000; ++i) add(kNaN, 0, 0);
    add(400, 380, 9);
    QVERIFY(testsupport::WriteBytes("SLOW.NEH", bytes));

    PlanWindow expected(kDarkScheme);
    expected.show();
    QVERIFY(Start(expected, {"SLOW", ""}));
    Click(expected, command);

    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, {"SQUARE", ""}));  // a different view before
    QTimer clicker;
    clicker.setSingleShot(true);
    QObject::connect(&clicker, &QTimer::timeout, [&] { Click(w, command); });
    Conversation c;
    c.answers = QStringList{"SLOW", ""};
    c.onPrompt = [&] {
      if (c.promptsSeen == 2) clicker.start(delayMs);
    };
    QVERIFY(RunStart(w, c));
    QTRY_VERIFY(!clicker.isActive());
    QCoreApplication::processEvents();
    QVERIFY(w.Button(kIdStart)->isEnabled());
    QVERIFY(w.PlotArea()->Image() == expected.PlotArea()->Image());
  }

  // Esc or the close box during a prompt ends the conversation at once.
  void closeDuringPrompt_data() {
    QTest::addColumn<QStringList>("answers");
    QTest::newRow("Esc at the file prompt") << QStringList{"<esc>"};
    QTest::newRow("close box at the file prompt") << QStringList{"<close>"};
    QTest::newRow("Esc at the reference prompt") << QStringList{"SQUARE", "<esc>"};
    QTest::newRow("close box at the reference prompt") << QStringList{"SQUARE", "<close>"};
  }
  void closeDuringPrompt() {
    QFETCH(QStringList, answers);
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(Start(w, answers));
    QVERIFY(w.Closed());
    QVERIFY(!w.isVisible());
  }

  // Closing the window while a long pass draws ends the pass promptly.
  void closeDuringPass() {
    std::string bytes;
    for (int i = 0; i < 400000; ++i) {
      const double v[3] = {1000.0 + i % 977, 2000.0 + i % 991, 0};
      bytes.append(reinterpret_cast<const char*>(v), 24);
    }
    QVERIFY(testsupport::WriteBytes("BIG.NEH", bytes));
    PlanWindow w(kDarkScheme);
    w.show();
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [&] { w.close(); });
    Conversation c;
    c.answers = QStringList{"BIG", ""};
    c.onPrompt = [&] {
      if (c.promptsSeen == 2) closer.start(30);
    };
    QVERIFY(RunStart(w, c));
    QVERIFY(w.Closed());
    QVERIFY(w.LastPass().records < 400000);
  }
};

QTEST_MAIN(TestPlanWindow)
#include "tst_plan_window.moc"
