// The whole "Section File Plot" conversation, typed into the real window on the offscreen
// platform: files, scales, names, corner, pages, saving, errors and closing; the drawing
// checked in the graphic area's pixels.
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <unistd.h>

#include "conversation_driver.h"
#include "sec_builder.h"
#include "secplot/sectra_window.h"

using namespace secplot;
using sectest::ConversationDriver;
using sectest::SecBuilder;
using sectest::Step;

namespace {

const QString kPageEnd = " Press(E) to End, (S) to Save Image,Any KEY continue \n";
const QString kCornerX = " L.H.Corner of Sect.: Dist.(";
const QString kCornerY = " L.H.Corner of Sect.:   Ht.(";

struct FileAnswer {
  QString name;
  QString labels;
};

// The file questions, ended with N unless five files are given.
QList<Step> Files(const QList<FileAnswer>& files) {
  QList<Step> s;
  int k = 1;
  for (const FileAnswer& f : files) {
    s << Step{QString("Input No. %1 Section File=").arg(k), f.name + "\r"};
    s << Step{" Height Plot (Y/N)", f.labels + "\r"};
    ++k;
  }
  if (files.size() < 5) s << Step{QString("Input No. %1 Section File=").arg(k), "N\r"};
  return s;
}

QList<Step> ScalesAndNames(const QString& hs, const QString& vs, const QString& first,
                           const QString& last) {
  return {{"     Horiz.Scale=1/", hs + "\r"},
          {"      Vert.Scale=1/", vs + "\r"},
          {"1st section name = ", first + "\r"},
          {"Last section name = ", last + "\r"},
          {"Input OK ( Y/N )=", "Y\r"}};
}

// The corner questions; the defaults offered are the corner of the page before.
QList<Step> Corner(const QString& oldX, const QString& oldY, const QString& x, const QString& y) {
  return {{kCornerX + oldX + ")=", x + "\r"},
          {kCornerY + oldY + ")=", y + "\r"},
          {"   Input O.K. (Y/N)= ", "Y\r"}};
}

bool HasColourNear(const QImage& img, QPoint p, QRgb colour, int radius = 2) {
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx) {
      const QPoint q = p + QPoint(dx, dy);
      if (img.rect().contains(q) && (img.pixel(q) & 0xffffff) == (colour & 0xffffff)) return true;
    }
  return false;
}

int CountColour(const QImage& img, QRgb colour) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if ((img.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) ++n;
  return n;
}

// World point to pixel on a page with the corner (x0, y0) at 1:200 across, 1:100 up.
QPoint PagePixel(const toolkit::PromptWindow& area, double x0, double y0, bool dark, double x,
                 double y) {
  const double w = 51.6, h = dark ? 15.25 : 11.3;
  return QPoint(qRound((x - x0) * area.width() / w),
                area.height() - qRound((y - y0) * area.height() / h));
}

}  // namespace

class TestSectraWindow : public QObject {
  Q_OBJECT
  QString dir_;
  QString oldDir_;

  std::unique_ptr<SectraWindow> Open(bool dark) {
    auto w = std::make_unique<SectraWindow>(dark ? kDarkBuild : kMainBuild);
    w->show();
    return w;
  }

 private slots:
  void initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
    dir_ = QString::fromStdString(testsupport::MakeTempDir("sectra_window"));
    oldDir_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_));  // saved bitmaps land here
    const QString samples = qEnvironmentVariable("SUITE_SOURCE_DIR") + "/samples/";
    for (const char* f : {"ROAD.SEC", "ROADDES.SEC", "ROADOLD.SEC"}) {
      QFile::remove(f);
      if (!QFile::copy(samples + f, f)) QSKIP("the sample SEC files are not there");
    }
    // A file whose sections end through empty records, with a short name "ch1".
    QVERIFY(SecBuilder()
                .Header("ch1", 10)
                .Point(-10, 5)
                .Point(0, 5)
                .Point(10, 5)
                .Empty(2)
                .Terminator()
                .Header("ch2", 20)
                .Point(0, 6)
                .Terminator()
                .Write("SHORT.SEC"));
    QVERIFY(
        SecBuilder().Header("A").Point(0, 1).Point(5, 2).Empty(2).Point(9, 9).Terminator().Write(
            "BROKEN.SEC"));
    QVERIFY(SecBuilder()
                .Header("A")
                .Raw("  1e999", " -1e999")
                .Raw("   1e400", "     nan")
                .Point(2, 3)
                .Point(3, 1e300)
                .Terminator()
                .Write("NOTFIN.SEC"));
    QVERIFY(SecBuilder().Header("A").Terminator().Header("B").Point(0, 1).Terminator().Write(
        "NOLINE.SEC"));
  }
  void cleanupTestCase() { QDir::setCurrent(oldDir_); }

  void layout_data() {
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QSize>("dialog");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<int>("buttonY");
    QTest::newRow("sectra") << false << QSize(1050, 488) << QSize(1050, 463) << 468;
    QTest::newRow("sectra-dark") << true << QSize(1050, 650) << QSize(1050, 626) << 631;
  }
  void layout() {
    QFETCH(bool, dark);
    QFETCH(QSize, dialog);
    QFETCH(QSize, area);
    QFETCH(int, buttonY);
    auto w = Open(dark);
    QCOMPARE(w->windowTitle(), QString("Section File Plot"));
    QCOMPARE(w->size(), dialog);
    QCOMPARE(w->Area()->size(), area);
    QCOMPARE(w->Area()->ControlId(), 121);
    QCOMPARE(w->StartButton()->text(), QString("&Start"));
    QCOMPARE(w->ExitButton()->text(), QString("E&xit"));
    QCOMPARE(w->StartButton()->geometry(), QRect(795, buttonY, 75, 23));
    QCOMPARE(w->ExitButton()->geometry(), QRect(870, buttonY, 75, 23));
    QVERIFY(w->StartButton()->isEnabled());
    QVERIFY(!w->ExitButton()->isEnabled());
    QCOMPARE(w->Area()->Image().pixel(10, 10) & 0xffffff, 0u);  // black at creation
  }

  // One page when the two names are the same section in any letter case; the page's
  // ticks and ground line checked in its pixels; the buttons come back after the run.
  void onePage_data() {
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("main, a to A") << false << "a"
                                  << "A";
    QTest::newRow("dark, B to b") << true << "B"
                                  << "b";
  }
  void onePage() {
    QFETCH(bool, dark);
    QFETCH(QString, first);
    QFETCH(QString, last);
    auto w = Open(dark);
    toolkit::PromptWindow& area = *w->Area();
    bool checked = false;
    QList<Step> steps = Files({{"ROAD", "Y"}});
    steps << ScalesAndNames("200", "100", first, last) << Corner(" 0", " 0", "-20", "10");
    const QString name = first.toUpper() + "       ";
    steps << Step{
        name + "Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "x", [&] {
          const QImage& img = area.Image();
          const QRgb page = dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
          // the page background in a corner free of ticks and lines
          QCOMPARE(img.pixel(1040, area.height() - 2) & 0xffffff, page & 0xffffff);
          // the first distance tick at -10 hangs from the top edge
          const double top = dark ? 25.25 : 21.3;
          const QPoint tick = PagePixel(area, -20, 10, dark, -10, top);
          QCOMPARE(tick.y(), 0);
          QCOMPARE(img.pixel(tick + QPoint(0, 4)) & 0xffffff, 0x0000ffu);
          // and it is only a tick: the middle of the page is clear there
          QVERIFY(!HasColourNear(img, PagePixel(area, -20, 10, dark, -10, 14), qRgb(0, 0, 255)));
          // file 1's ground line is red between offsets -4 and 0
          const double h = first.toUpper() == "A" ? 18.23 : 18.83;
          QVERIFY(HasColourNear(img, PagePixel(area, -20, 10, dark, -2, h), qRgb(255, 0, 0)));
          checked = true;
        }};
    ConversationDriver d(*w, steps);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    QVERIFY(checked);
    QVERIFY(w->StartButton()->isEnabled());
    QVERIFY(w->ExitButton()->isEnabled());
  }

  // A to C over three files: three pages, the third ends at the last prompt. "S" saves
  // the page as its section name with the blanks kept and goes on to the corner at once.
  void threePagesAndSaving() {
    auto w = Open(false);
    QFile::remove("A       .BMP");
    QFile::remove("C       .BMP");
    QList<Step> steps = Files({{"ROAD", "Y"}, {"roaddes", "N"}, {"ROADOLD", "y"}});
    steps << ScalesAndNames("200", "100", "A", "C") << Corner(" 0", " 0", "-20", "10")
          << Step{"A       Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "S"}
          << Corner("-20", " 10", "", "12")
          << Step{"B       Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, " "}
          << Corner("-20", " 12", "", "")
          << Step{"C       Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "s"};
    ConversationDriver d(*w, steps);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    for (const char* saved : {"A       .BMP", "C       .BMP"}) {
      QFile f(saved);
      QVERIFY2(f.open(QIODevice::ReadOnly), saved);
      const QByteArray head = f.read(54);
      QCOMPARE(head.left(2), QByteArray("BM"));
      QCOMPARE(f.size(), qint64(54 + 3152 * 463));
    }
    QVERIFY(!QFile::exists("B       .BMP"));
  }

  // With SECTRA_SHOT set to a folder: a page of the sample road from three files, as
  // sectra.png and sectra-dark.png there.
  void screenshot_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("sectra") << false;
    QTest::newRow("sectra-dark") << true;
  }
  void screenshot() {
    QFETCH(bool, dark);
    if (!qEnvironmentVariableIsSet("SECTRA_SHOT")) QSKIP("SECTRA_SHOT not set");
    auto w = Open(dark);
    QList<Step> steps = Files({{"ROAD", "Y"}, {"ROADDES", "Y"}, {"ROADOLD", "N"}});
    steps << ScalesAndNames("200", "100", "B", "B") << Corner(" 0", " 0", "-20", "14")
          << Step{"B       Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "x", [&] {
                    const QString file = qEnvironmentVariable("SECTRA_SHOT") +
                                         (dark ? "/sectra-dark.png" : "/sectra.png");
                    QVERIFY(w->grab().save(file));
                  }};
    ConversationDriver d(*w, steps);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
  }

  // "E" at a page end shows the title and prompt once more and waits for one more key.
  void endAtPageEnd() {
    auto w = Open(true);
    QList<Step> steps = Files({{"ROAD", "N"}});
    steps << ScalesAndNames("200", "100", "A", "F") << Corner(" 0", " 0", "-20", "10")
          << Step{"A       Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "E"}
          << Step{"A       Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "q"};
    ConversationDriver d(*w, steps);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    const std::string t = w->Area()->Transcript();
    QVERIFY(t.find(kPageEnd.toStdString()) != t.rfind(kPageEnd.toStdString()));
    QVERIFY(w->StartButton()->isEnabled());
  }

  // A short name is found in a field padded with blanks; sections that end through empty
  // records page on to the next name.
  void shortNamesAndEmptyRecords() {
    auto w = Open(false);
    QFile::remove("ch1     .BMP");
    QList<Step> steps = Files({{"SHORT", "Y"}});
    steps << ScalesAndNames("200", "100", "CH1", "ch2") << Corner(" 0", " 0", "-20", "0")
          << Step{"ch1     Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "S"}
          << Corner("-20", " 0", "", "")
          << Step{"ch2     Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "x"};
    ConversationDriver d(*w, steps);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    QVERIFY(QFile::exists("ch1     .BMP"));
  }

  // Missing files are asked for again; the fifth file ends the file questions.
  void fileQuestions() {
    auto w = Open(false);
    QList<Step> steps{{"Input No. 1 Section File=", "NOSUCH\r"},
                      {" Height Plot (Y/N)", "Y\r"},
                      {"File not found ..........\nInput No. 1 Section File=", "ROAD\r"},
                      {" Height Plot (Y/N)", "Y\r"}};
    for (int k = 2; k <= 5; ++k)
      steps << Step{QString("Input No. %1 Section File=").arg(k), "road\r"}
            << Step{" Height Plot (Y/N)", "n\r"};
    steps << ScalesAndNames("500", "200", "A", "A") << Corner(" 0", " 0", "-30", "0")
          << Step{"A       Hor 1/ 500  Vert 1/ 200\n" + kPageEnd, "x"};
    ConversationDriver d(*w, steps);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    QVERIFY(d.LastTranscript().indexOf("Input No. 6") < 0);
  }

  // A zero or non-numeric scale is refused with a clear line and asked again; "N" at the
  // names asks the scales again.
  void badScalesAndNamesAgain() {
    auto w = Open(false);
    const QString refused = "Scale must be a number greater than 0\n";
    QList<Step> steps = Files({{"ROAD", "Y"}});
    steps << Step{"     Horiz.Scale=1/", "0\r"} << Step{refused + "     Horiz.Scale=1/", "abc\r"}
          << Step{refused + "     Horiz.Scale=1/", "200\r"} << Step{"      Vert.Scale=1/", "-5\r"}
          << Step{refused + "      Vert.Scale=1/", "100\r"} << Step{"1st section name = ", "A\r"}
          << Step{"Last section name = ", "B\r"} << Step{"Input OK ( Y/N )=", "n\r"};
    steps << ScalesAndNames("250", "50", "B", "B") << Corner(" 0", " 0", "-20", "15")
          << Step{"B       Hor 1/ 250  Vert 1/ 50\n" + kPageEnd, "x"};
    ConversationDriver d(*w, steps);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
  }

  // Failures: a message, the pause, then the last prompt; never a crash or a hang.
  void failures_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong section name") << "ROAD"
                                        << "Q"
                                        << "Wrong Section name in File....Check then Rerun";
    QTest::newRow("data after empty records") << "BROKEN"
                                              << "A"
                                              << "File  error ";
  }
  void failures() {
    QFETCH(QString, file);
    QFETCH(QString, first);
    QFETCH(QString, message);
    auto w = Open(false);
    QList<Step> steps = Files({{file, "Y"}});
    steps << ScalesAndNames("200", "100", first, "Z") << Corner(" 0", " 0", "", "")
          << Step{message + "\n", "", [] {}} << Step{"Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "x"};
    ConversationDriver d(*w, steps);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    QVERIFY(d.LastTranscript().contains(message));
    QVERIFY(w->StartButton()->isEnabled());
  }

  // Odd files still give a page: numbers that are not finite, and a section whose header
  // is followed by its terminator (no ground line, no label for that file).
  void oddFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("redDrawn");
    QTest::newRow("not finite numbers") << "NOTFIN" << true;
    QTest::newRow("header then terminator") << "NOLINE" << false;
  }
  void oddFiles() {
    QFETCH(QString, file);
    QFETCH(bool, redDrawn);
    auto w = Open(false);
    int red = -1;
    QList<Step> steps = Files({{file, "Y"}});
    steps << ScalesAndNames("200", "100", "A", "A") << Corner(" 0", " 0", "-5", "0")
          << Step{"Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "x",
                  [&] { red = CountColour(w->Area()->Image(), qRgb(255, 0, 0)); }};
    ConversationDriver d(*w, steps);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    QCOMPARE(red > 0, redDrawn);
  }

  // Closing the window during any wait ends the conversation (and with it the program).
  void closeWhileWaiting_data() {
    QTest::addColumn<int>("stepsBeforeClose");
    QTest::newRow("file question") << 0;
    QTest::newRow("scale question") << 3;
    QTest::newRow("corner question") << 8;
    QTest::newRow("page end key") << 11;
    QTest::newRow("error pause") << -11;
  }
  void closeWhileWaiting() {
    QFETCH(int, stepsBeforeClose);
    auto w = Open(false);
    QSignalSpy finished(w.get(), &QDialog::finished);
    const bool pause = stepsBeforeClose < 0;  // closed during the pause after an error
    stepsBeforeClose = std::abs(stepsBeforeClose);
    QList<Step> steps = Files({{"ROAD", "Y"}});
    steps << ScalesAndNames("200", "100", pause ? "Q" : "A", "C") << Corner(" 0", " 0", "", "")
          << Step{kPageEnd, "x"};
    if (pause) steps[11] = Step{"Wrong Section name in File....Check then Rerun\n", ""};
    QList<Step> script = steps.mid(0, stepsBeforeClose);
    const QString at = steps[stepsBeforeClose].prompt;
    script << Step{at, "", [&] { QTimer::singleShot(0, w.get(), [&] { w->close(); }); }};
    ConversationDriver d(*w, script, 20000);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    QVERIFY(!w->isVisible());
    QCOMPARE(finished.count(), 1);
  }

  // A section that ends at a height of 999.9 with offset records left before its
  // terminator: the next page is the section after the terminator. Page two was titled
  // "  12.000" (the offset after the 999.9 read as a name), drew nothing and saved
  // "  12.000.BMP".
  void heightEndLeadsToTheNextSection() {
    QVERIFY(SecBuilder()
                .Header("P")
                .Point(2, 1)
                .Point(5, 5)
                .Point(8, 999.9)
                .Point(12, 3)
                .Terminator()
                .Section("Q", {2, 6})
                .Write("PQ.SEC"));
    QFile::remove("Q       .BMP");
    auto w = Open(false);
    int red = 0;
    QList<Step> steps = Files({{"PQ", "Y"}});
    steps << ScalesAndNames("100", "100", "P", "Q") << Corner(" 0", " 0", "", "")
          << Step{"P       Hor 1/ 100  Vert 1/ 100\n" + kPageEnd, "x"} << Corner(" 0", " 0", "", "")
          << Step{"Q       Hor 1/ 100  Vert 1/ 100\n" + kPageEnd, "s",
                  [&] { red = CountColour(w->Area()->Image(), qRgb(255, 0, 0)); }};
    ConversationDriver d(*w, steps, 15000);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    QVERIFY(red > 0);  // Q's ground line
    QVERIFY(QFile::exists("Q       .BMP"));
  }

  // No file at all (N to the first file question): one page with the frame alone, then
  // the last prompt; no wrong-section message.
  void noFileGivesTheFramePage_data() {
    QTest::addColumn<QString>("last");
    QTest::newRow("same names") << "A";
    QTest::newRow("a range of names") << "C";
  }
  void noFileGivesTheFramePage() {
    QFETCH(QString, last);
    auto w = Open(false);
    int blue = 0;
    QList<Step> steps{{"Input No. 1 Section File=", "N\r"}};
    steps << ScalesAndNames("200", "100", "A", last) << Corner(" 0", " 0", "", "")
          << Step{"A       Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "x",
                  [&] { blue = CountColour(w->Area()->Image(), qRgb(0, 0, 255)); }};
    ConversationDriver d(*w, steps, 15000);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    QVERIFY(!d.LastTranscript().contains("Wrong Section"));
    QVERIFY(blue > 0);  // the ticks of the frame
    QVERIFY(w->StartButton()->isEnabled());
  }

  // Keys typed while the window is idle are not answers to the next run.
  void keysTypedWhileIdleAreDropped() {
    auto w = Open(false);
    QTest::keyClicks(w->Area(), "N");
    QTest::keyClick(w->Area(), Qt::Key_Return);
    QVERIFY(w->Area()->HasPendingKey());
    QList<Step> steps{{"Input No. 1 Section File=", "N\r"}};
    steps << ScalesAndNames("200", "100", "A", "A") << Corner(" 0", " 0", "", "")
          << Step{kPageEnd, "x"};
    ConversationDriver d(*w, steps, 15000);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
  }

  // "E&xit" is off before the first run and ends the dialog once enabled.
  void exitButton() {
    auto w = Open(false);
    QSignalSpy finished(w.get(), &QDialog::finished);
    QTest::mouseClick(w->ExitButton(), Qt::LeftButton);
    QCOMPARE(finished.count(), 0);
    QList<Step> steps{{"Input No. 1 Section File=", "N\r"}};
    steps << ScalesAndNames("200", "100", "A", "A") << Corner(" 0", " 0", "", "")
          << Step{kPageEnd, "x"};
    ConversationDriver d(*w, steps);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    QVERIFY(w->ExitButton()->isEnabled());
    QTest::mouseClick(w->ExitButton(), Qt::LeftButton);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!w->isVisible());
  }
};

QTEST_MAIN(TestSectraWindow)
#include "tst_sectra_window.moc"
