// The lister driven through its window: typed answers, pages, the kind questions, file
// names, SEC grammar on screen, and the window closed in the middle of every wait.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <filesystem>

#include "lister/lister_dialog.h"
#include "lister_driver.h"
#include "survey_writer.h"
#include "toolkit/prompt_window.h"

using listertest::Answer;
using listertest::ChooseKind;
using listertest::CloseAt;
using listertest::Driver;
using listertest::ExitAt;
using listertest::PageLines;
using listertest::Step;
using listertest::Type;
using testsupport::Record;
using testsupport::TextNumber;

Q_DECLARE_METATYPE(std::vector<Record>)
Q_DECLARE_METATYPE(QList<Step>)

namespace {

const QString kNehHeading = "PT.No.   NORTHINGS   EASTINGS     HEIGHT       CODE";
const QString kSecHeading = "PT.No.  DISTANCE      HEIGHT      REMARKS";
const QString kContinue = "Press any key to Continue.....(E) to exit";
const QString kAnother = "To read another file ( Y )  , else any other key";

// Record r of the 25-point file: northing, easting, height and code.
struct Point {
  double n, e, h;
  int code;
};
Point PointOf(int r) {
  return {820000.0 + 10.5 * r, 836000.0 + 7.25 * r, (r % 4 == 0 ? -1 : 1) * (10.0 + 0.111 * r),
          r % 13};
}

// The NEH line written independently of the program's masks (values fit their fields).
QString NehLine(int r, const Point& p) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%4d   %11.3f  %11.3f  %8.3f     %3d", r, p.n, p.e, p.h, p.code);
  return QString::fromLatin1(buf);
}

QString SecOffsetLine(int r, double d, double h) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%4d    %8.3f    %8.3f", r, d, h);
  return QString::fromLatin1(buf);
}

QString SecHeaderLine(int r, const char* name, double chainage) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%4d    %-8.8s  %10.3f      Block Name & Chainage", r, name,
                chainage);
  return QString::fromLatin1(buf);
}

Record SecRecord(const std::string& a, const std::string& b) { return {a, b}; }
Record SecNumbers(double d, double h) { return {TextNumber(d), TextNumber(h)}; }

}  // namespace

class TestListerWindow : public QObject {
  Q_OBJECT
 private:
  QString dir_;

  void WriteNeh25() {
    std::vector<Record> records;
    for (int r = 1; r <= 25; ++r) {
      const Point p = PointOf(r);
      // Record 3 carries the line marker: a negative northing, listed as its value.
      records.push_back({r == 3 ? -p.n : p.n, p.e, testsupport::PackHeight(p.h, p.code)});
    }
    QVERIFY(testsupport::WriteSurveyFile("T25.NEH", records, 24));
  }

 private slots:
  void initTestCase() {
    dir_ = QString::fromStdString(testsupport::MakeTempDir("lister-window"));
    QVERIFY(QDir::setCurrent(dir_));
    WriteNeh25();
  }

  void windowLayout() {
    lister::ListerDialog dialog;
    QCOMPARE(dialog.windowTitle(), QString("PRINT or READ FILES"));
    QCOMPARE(dialog.size(), QSize(578, 666));  // 385 x 410 dialog units
    QCOMPARE(dialog.Area()->geometry(), QRect(0, 0, 578, 634));
    QCOMPARE(dialog.Area()->ControlId(), 3084);
    QCOMPARE(dialog.StartButton()->text(), QString("&Start"));
    QCOMPARE(dialog.StartButton()->geometry(), QRect(9, 634, 83, 23));
    QCOMPARE(dialog.ExitButton()->text(), QString("E&xit"));
    QCOMPARE(dialog.ExitButton()->geometry(), QRect(98, 634, 83, 23));
    QVERIFY(!dialog.ExitButton()->isEnabled());
    // Q at the introduction ends the run; Exit stays enabled, Start comes back.
    Driver d(dialog);
    bool startDuringRun = true, exitDuringRun = false;
    d.Run({listertest::Then(Type("( Q ) to exit", "q"), [&] {
      startDuringRun = dialog.StartButton()->isEnabled();
      exitDuringRun = dialog.ExitButton()->isEnabled();
    })});
    QVERIFY(!d.TimedOut());
    // No second run can start from inside the first.
    QVERIFY(!startDuringRun);
    QVERIFY(exitDuringRun);
    QVERIFY(dialog.ExitButton()->isEnabled());
    QVERIFY(dialog.StartButton()->isEnabled());
    QVERIFY(dialog.isVisible());
    QCOMPARE(QString::fromStdString(dialog.Area()->Transcript()).trimmed(), QString());
  }

  void introductionEndsOnQOrEscape_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("goesOn");
    QTest::newRow("Q") << "Q" << false;
    QTest::newRow("q") << "q" << false;
    QTest::newRow("Escape") << "\x1b" << false;
    QTest::newRow("Enter") << "\r" << true;
    QTest::newRow("e") << "e" << true;
  }
  void introductionEndsOnQOrEscape() {
    QFETCH(QString, key);
    QFETCH(bool, goesOn);
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps{Type("( Q ) to exit", key)};
    if (goesOn) steps << CloseAt("Printer in Use (Y/N)");
    d.Run(steps, 10000);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    QCOMPARE(d.LinesAt(0).value(1), QString("PROGRAM   Read and Print   TARNE Files"));
    QCOMPARE(dialog.isVisible(), !goesOn);
  }

  void nehScreenListingPagesOfTwenty() {
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("NEH");
    const int first = steps.size();
    steps << Answer("Input File Name=", "T25") << Answer("Start at Point No", "1")
          << Type(kContinue, " ") << Type(kContinue, " ") << Type(kAnother, "n");
    d.Run(steps);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());

    const QStringList page1 = d.LinesAt(first + 2);
    QVERIFY(page1.contains("File Name=T25.NEH"));
    QStringList expected1, expected2;
    for (int r = 1; r <= 20; ++r) expected1 << NehLine(r, PointOf(r));
    for (int r = 21; r <= 25; ++r) expected2 << NehLine(r, PointOf(r));
    QCOMPARE(PageLines(page1, kNehHeading), expected1);
    // A blank line above the heading and one below it.
    const qsizetype h = page1.indexOf(kNehHeading);
    QCOMPARE(page1.value(h - 1), QString());
    QCOMPARE(page1.value(h + 1), QString());

    const QStringList page2 = d.LinesAt(first + 3);
    QCOMPARE(PageLines(page2, kNehHeading), expected2);
    QVERIFY(!page2.contains("File Name=T25.NEH"));  // the area was cleared for page 2
    QVERIFY(d.Seen().value(first + 4).endsWith(kAnother));
    QVERIFY(!d.Seen().value(first + 4).contains(kNehHeading));
    QVERIFY(dialog.isVisible());
  }

  void startBeyondTheLastRecordShowsOneEmptyPage() {
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("NEH");
    const int first = steps.size();
    steps << Answer("Input File Name=", "T25") << Answer("Start at Point No", "40")
          << Type(kContinue, " ") << Type(kAnother, "n");
    d.Run(steps);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    QVERIFY(d.LinesAt(first + 2).contains(kNehHeading));
    QCOMPARE(PageLines(d.LinesAt(first + 2), kNehHeading), QStringList());
  }

  void eOnAPageEndsTheListing() {
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("NEH");
    steps << Answer("Input File Name=", "T25") << Answer("Start at Point No", "3")
          << Type(kContinue, "E") << Type(kAnother, "Y") << CloseAt("Printer in Use (Y/N)");
    d.Run(steps);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    // Records 3 to 22 on the page; after "Y" the questions start again without the
    // introduction.
    const QStringList page = PageLines(d.LinesAt(steps.size() - 3), kNehHeading);
    QCOMPARE(page.size(), 20);
    QCOMPARE(page.first(), NehLine(3, PointOf(3)));
    QCOMPARE(page.last(), NehLine(22, PointOf(22)));
    QVERIFY(!d.Seen().last().contains("TARNE"));
  }

  void kindAnswers_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("chosen");
    QTest::newRow("Y") << "Y" << true;
    QTest::newRow("y") << "y" << true;
    QTest::newRow("blanks and a comma") << "  y , later" << true;
    QTest::newRow("quoted") << "\"Y\"" << true;
    QTest::newRow("yes") << "yes" << false;
    QTest::newRow("N") << "N" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("Y after a blank word") << " x,Y" << false;
  }
  void kindAnswers() {
    QFETCH(QString, answer);
    QFETCH(bool, chosen);
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps{Type("( Q ) to exit", " "), Answer("Printer in Use (Y/N)", "N")};
    if (chosen) {
      steps << Answer("DAT File (Y/N)", answer) << CloseAt("Input File Name=");
    } else {
      for (const char* k : {"DAT", "NEH", "SEC", "STN", "CHG", "PTS"})
        steps << Answer(QString::fromLatin1(k) + " File (Y/N)", answer);
      steps << CloseAt("Printer in Use (Y/N)");
    }
    d.Run(steps, 10000);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    if (!chosen) {
      // "TRY AGAIN" stays visible above the repeated questions.
      const QStringList lines = d.LinesAt(steps.size() - 1);
      const qsizetype t = lines.indexOf("TRY AGAIN");
      QVERIFY2(t > 0, qPrintable(d.Seen().last()));
      QVERIFY(lines.value(t - 1).startsWith("PTS File (Y/N) "));
      QVERIFY(lines.first().isEmpty() || lines.first().startsWith("Printer in Use"));
      QVERIFY(lines.filter("Printer in Use (Y/N)").size() == 2);
    }
  }

  void missingFileIsAskedAgain() {
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("NEH");
    const int first = steps.size();
    steps << Answer("Input File Name=", "NOSUCH") << Answer("Input File Name=", "t25")
          << Answer("Input File Name=", "T25.NEH") << Answer("Input File Name=", "T25")
          << CloseAt("Start at Point No");
    d.Run(steps);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    // Asked again on a cleared area, without a message: the names are case-sensitive
    // and the extension is always added (T25.NEH.NEH does not exist).
    for (int i = first + 1; i <= first + 3; ++i)
      QCOMPARE(d.Seen().value(i).trimmed(), QString("Input File Name="));
  }

  void fileThatCannotBeOpenedIsSaidAndAskedAgain() {
    QVERIFY(QDir().mkpath("FOLDER.NEH"));
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("NEH");
    steps << Answer("Input File Name=", "FOLDER") << CloseAt("Input File Name=");
    d.Run(steps);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    QVERIFY(d.LinesAt(steps.size() - 1).contains("The file cannot be opened: FOLDER.NEH"));
  }

  void fileChangedBetweenPages_data() {
    // What another program does to the file while page 1 is on screen, and the record
    // numbers page 2 then lists. The open file is read on: a removed or replaced name
    // does not take the records away; a cut ends the listing at the new end; records
    // added later come on the page that reaches them.
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("lastListed");
    QTest::newRow("removed") << "remove" << 25;
    QTest::newRow("replaced by a folder") << "folder" << 25;
    QTest::newRow("cut inside record 23") << "cut" << 22;
    QTest::newRow("cut to nothing") << "empty" << 0;
    QTest::newRow("grown by five") << "grow" << 30;
  }
  void fileChangedBetweenPages() {
    QFETCH(QString, change);
    QFETCH(int, lastListed);
    const std::string name = "CHANGING.NEH";
    std::vector<Record> records;
    for (int r = 1; r <= 25; ++r) {
      const Point p = PointOf(r);
      records.push_back({p.n, p.e, testsupport::PackHeight(p.h, p.code)});
    }
    QVERIFY(testsupport::WriteSurveyFile(name, records, 24));
    auto act = [&] {
      std::error_code ec;
      if (change == "remove") std::filesystem::remove(name, ec);
      if (change == "folder") {
        std::filesystem::remove(name, ec);
        std::filesystem::create_directory(name, ec);
      }
      if (change == "cut") std::filesystem::resize_file(name, 22 * 24 + 7, ec);
      if (change == "empty") std::filesystem::resize_file(name, 0, ec);
      if (change == "grow") {
        std::vector<Record> more = records;
        for (int r = 26; r <= 30; ++r) {
          const Point p = PointOf(r);
          more.push_back({p.n, p.e, testsupport::PackHeight(p.h, p.code)});
        }
        testsupport::WriteSurveyFile(name, more, 24);
      }
      QVERIFY2(!ec, ec.message().c_str());
    };
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("NEH");
    const int first = steps.size();
    steps << Answer("Input File Name=", "CHANGING") << Answer("Start at Point No", "1")
          << listertest::Then(Type(kContinue, " "), act) << Type(kContinue, " ")
          << Type(kAnother, "n");
    d.Run(steps, 20000);
    std::error_code ec;
    std::filesystem::remove_all(name, ec);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    QCOMPARE(PageLines(d.LinesAt(first + 2), kNehHeading).size(), 20);
    // Records read ahead before a cut may still show: the page lists 21 up to at least
    // the new end and never past the old one, each line the record's own.
    const QStringList page2 = PageLines(d.LinesAt(first + 3), kNehHeading);
    QStringList expected;
    for (int r = 21; r <= lastListed; ++r) expected << NehLine(r, PointOf(r));
    if (change == "cut" || change == "empty") {
      QVERIFY2(page2.size() >= expected.size() && page2.size() <= 5, qPrintable(page2.join('\n')));
      for (int i = 0; i < page2.size(); ++i) QCOMPARE(page2[i], NehLine(21 + i, PointOf(21 + i)));
    } else {
      QCOMPARE(page2, expected);
    }
    QVERIFY(dialog.isVisible());
  }

  void fileThatCannotBeReadIsSaid() {
    // The name exists and opens, but every read of it fails (a disk that stopped
    // answering): the listing ends with a message instead of looking empty.
    std::error_code ec;
    std::filesystem::remove("MEMORY.NEH", ec);
    std::filesystem::create_symlink("/proc/self/mem", "MEMORY.NEH", ec);
    QVERIFY(!ec);
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("NEH");
    steps << Answer("Input File Name=", "MEMORY") << Answer("Start at Point No", "1")
          << Type(kAnother, "n");
    d.Run(steps, 10000);
    std::filesystem::remove("MEMORY.NEH", ec);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    const QStringList lines = d.LinesAt(steps.size() - 1);
    QVERIFY2(lines.contains("The file cannot be read - listing ended: MEMORY.NEH"),
             qPrintable(lines.join('\n')));
    QVERIFY(!lines.contains(kContinue));
  }

  void secListing_data() {
    QTest::addColumn<std::vector<Record>>("records");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("expected");
    const std::vector<Record> road = {SecRecord("A", TextNumber(1000)),
                                      SecNumbers(-5, 20.5),
                                      SecNumbers(0, 21),
                                      SecNumbers(5, 20.4),
                                      SecNumbers(0, 0),
                                      SecRecord("999", "   0.000"),
                                      SecNumbers(0, 0),
                                      SecRecord("B", TextNumber(1020)),
                                      SecNumbers(-5, 21.5),
                                      SecRecord("999", "")};
    QTest::newRow("from record 1")
        << road << "1" << QStringList{SecHeaderLine(1, "A", 1000), SecOffsetLine(2, -5, 20.5),
                                      SecOffsetLine(3, 0, 21),     SecOffsetLine(4, 5, 20.4),
                                      SecOffsetLine(6, 999, 0),    SecHeaderLine(8, "B", 1020),
                                      SecOffsetLine(9, -5, 21.5),  SecOffsetLine(10, 999, 0)};
    // Started inside a section, the first record is read as an offset record.
    QTest::newRow("from record 4")
        << road << "4"
        << QStringList{SecOffsetLine(4, 5, 20.4), SecOffsetLine(6, 999, 0),
                       SecHeaderLine(8, "B", 1020), SecOffsetLine(9, -5, 21.5),
                       SecOffsetLine(10, 999, 0)};
    QTest::newRow("from record 8, a header read as an offset")
        << road << "8"
        << QStringList{SecOffsetLine(8, 0, 1020), SecOffsetLine(9, -5, 21.5),
                       SecOffsetLine(10, 999, 0)};
    // A header named 999 keeps the next record a header, even one holding numbers.
    QTest::newRow("header named 999")
        << std::vector<Record>{SecRecord("999", TextNumber(5)), SecNumbers(12, 30),
                               SecNumbers(1, 2)}
        << "1"
        << QStringList{SecHeaderLine(1, "999", 5), SecHeaderLine(2, "  12.000", 30),
                       SecOffsetLine(3, 1, 2)};
    // Record 1 is listed as the header even when it is empty.
    QTest::newRow("empty first record")
        << std::vector<Record>{SecNumbers(0, 0), SecNumbers(3, 4)} << "1"
        << QStringList{SecHeaderLine(1, "   0.000", 0), SecOffsetLine(2, 3, 4)};
  }
  void secListing() {
    QFETCH(std::vector<Record>, records);
    QFETCH(QString, start);
    QFETCH(QStringList, expected);
    QVERIFY(testsupport::WriteSurveyFile("CUT.SEC", records, 16));
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("SEC");
    steps << Answer("Input File Name=", "CUT") << Answer("Start at Point No", start)
          << Type(kContinue, "e") << Type(kAnother, "n");
    d.Run(steps);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    QCOMPARE(PageLines(d.LinesAt(steps.size() - 2), kSecHeading), expected);
  }

  // The sample site survey, as a surveyor sees it: the picture of the first page is kept
  // when LISKET_SCREENSHOT names a file.
  void sampleSiteSurveyOnScreen() {
    const QString sample = qEnvironmentVariable("SUITE_SOURCE_DIR") + "/samples/SITE.NEH";
    if (!QFile::exists(sample)) QSKIP("the sample files are not there");
    QFile::remove("SITE.NEH");
    QVERIFY(QFile::copy(sample, "SITE.NEH"));
    lister::ListerDialog dialog;
    Driver d(dialog);
    QImage shot;
    QList<Step> steps = ChooseKind("NEH");
    steps << Answer("Input File Name=", "SITE") << Answer("Start at Point No", "100")
          << listertest::Then(Type(kContinue, "e"), [&] { shot = dialog.grab().toImage(); })
          << Type(kAnother, "n");
    d.Run(steps);
    QVERIFY(!d.TimedOut());
    const QStringList page = PageLines(d.LinesAt(steps.size() - 2), kNehHeading);
    QCOMPARE(page.size(), 20);
    QVERIFY(page.first().startsWith(" 100    820"));
    // White text on the black area.
    QCOMPARE(shot.size(), dialog.size());
    QCOMPARE(QColor(shot.pixel(5, 600)), QColor(Qt::black));
    int white = 0;
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 578; ++x) white += QColor(shot.pixel(x, y)) == QColor(Qt::white);
    QVERIFY(white > 2000);
    const QString keep = qEnvironmentVariable("LISKET_SCREENSHOT");
    if (!keep.isEmpty()) QVERIFY(shot.save(keep));
  }

  // A file that ends in part of a record: the screen page lists the whole records only,
  // and a PTS page shows the records past them as blank items, never the cut bytes.
  void partialRecordIsNeverListed_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("listed");
    const auto d = [](double v) { return QByteArray(reinterpret_cast<const char*>(&v), 8); };
    const QByteArray cut = d(77.7777) + QByteArray("\x01\x40", 2);
    QTest::newRow("DAT, 50 bytes")
        << "DAT" << d(12.3456) + d(90.1) + d(100.5) + d(1.5) + d(3) + cut << 1;
    QTest::newRow("NEH, 34 bytes") << "NEH" << d(820000.5) + d(836000.25) + d(10.5) + cut << 1;
    QTest::newRow("PTS, 26 bytes") << "PTS" << QByteArray("A1      B1      77.7777 XY") << 20;
  }
  void partialRecordIsNeverListed() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(int, listed);
    QFile f("CUT." + kind);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind(kind);
    const int page = steps.size() + 2;
    steps << Answer("Input File Name=", "CUT") << Answer("Start at Point No", "1")
          << Type(kContinue, "e") << Type(kAnother, "n");
    d.Run(steps);
    QVERIFY(!d.TimedOut());
    const QStringList lines = d.LinesAt(page);
    const QString heading = lines.value(lines.indexOf("File Name=CUT." + kind) + 2);
    QVERIFY(heading.startsWith("PT.No."));
    const QStringList shown = PageLines(lines, heading);
    QCOMPARE(shown.size(), listed);
    QVERIFY(shown.first().startsWith("   1 "));
    // Before, record 2 showed the cut bytes as a point "77.7777 ...".
    QVERIFY2(!shown.join('\n').contains("77.77"), qPrintable(shown.join('\n')));
  }

  // Keys pressed while no run waits are not answers to the next run: Start begins with
  // nothing typed.
  void keysTypedWhileIdleAreDropped_data() {
    QTest::addColumn<QString>("keys");
    QTest::newRow("Escape") << "\x1b";  // ended the next run at once
    QTest::newRow("x then Y") << "xY";  // answered the introduction and the printer
    QTest::newRow("after a run") << "q";
  }
  void keysTypedWhileIdleAreDropped() {
    QFETCH(QString, keys);
    lister::ListerDialog dialog;
    Driver d(dialog);
    if (keys == "q") {
      d.Run({Type("( Q ) to exit", "q")}, 10000);
      QCOMPARE(d.Answered(), 1);
    }
    toolkit::PromptWindow* area = dialog.Area();
    for (QChar c : keys) {
      if (c == '\x1b')
        QTest::keyClick(area, Qt::Key_Escape);
      else
        QTest::keyClicks(area, QString(c));
    }
    QVERIFY(area->HasPendingKey());
    d.Run({Type("( Q ) to exit", "q")}, 5000);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), 1);
    QVERIFY(!area->HasPendingKey());
  }

  // Closing the window, or "E&xit", in the middle of each wait ends the run at once:
  // nothing more is asked or printed, and the window is gone.
  void closingDuringAWaitEndsTheProgram_data() {
    QTest::addColumn<QList<Step>>("before");
    QTest::addColumn<QString>("waitingAt");
    QTest::addColumn<bool>("byExit");
    const QList<Step> neh = ChooseKind("NEH");
    QList<Step> toStart = neh;
    toStart << Answer("Input File Name=", "T25");
    QList<Step> toPage = toStart;
    toPage << Answer("Start at Point No", "1");
    QList<Step> toAnother = toPage;
    toAnother << Type(kContinue, "e");
    const QList<Step> intro;
    const QList<Step> toKind{Type("( Q ) to exit", " "), Answer("Printer in Use (Y/N)", "n")};
    for (bool byExit : {false, true}) {
      const char* how = byExit ? "exit" : "close";
      QTest::addRow("%s at the introduction", how) << intro << "( Q ) to exit" << byExit;
      QTest::addRow("%s at the printer question", how)
          << QList<Step>{Type("( Q ) to exit", " ")} << "Printer in Use (Y/N)" << byExit;
      QTest::addRow("%s at a kind question", how) << toKind << "DAT File (Y/N)" << byExit;
      QTest::addRow("%s at the file name", how) << neh << "Input File Name=" << byExit;
      QTest::addRow("%s at the start number", how) << toStart << "Start at Point No" << byExit;
      QTest::addRow("%s at a page", how) << toPage << kContinue << byExit;
      QTest::addRow("%s at another file", how) << toAnother << kAnother << byExit;
    }
  }
  void closingDuringAWaitEndsTheProgram() {
    QFETCH(QList<Step>, before);
    QFETCH(QString, waitingAt);
    QFETCH(bool, byExit);
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = before;
    steps << (byExit ? ExitAt(waitingAt) : CloseAt(waitingAt));
    d.Run(steps, 10000);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.Running());
    // Nothing was printed after the window closed.
    QCOMPARE(listertest::Trimmed(dialog.Area()->Transcript()), d.Seen().last());
  }
};

QTEST_MAIN(TestListerWindow)
#include "tst_lister_window.moc"
