// Printed listings, read back from what the printer received: where a printed listing
// ends, what goes to the printer, a second printed listing in one run, and the machine
// without a printer.
#include <QDir>
#include <QRegularExpression>
#include <QTest>
#include <cstdio>

#include "lister/lister_dialog.h"
#include "lister_driver.h"
#include "print_capture.h"
#include "survey_writer.h"
#include "toolkit/prompt_window.h"

using listertest::Answer;
using listertest::ChooseKind;
using listertest::Driver;
using listertest::PageLines;
using listertest::Step;
using listertest::Then;
using listertest::Type;
using testsupport::Record;
using testsupport::TextNumber;

namespace {

const QString kDatHeading = "PT.No.  H.A.       V.A.       DIST.     SIG.HT.  CODE";
const QString kSecHeading = "PT.No.  DISTANCE      HEIGHT      REMARKS";
const QString kNehHeading = "PT.No.   NORTHINGS   EASTINGS     HEIGHT       CODE";
const QString kAnother = "To read another file ( Y )  , else any other key";
const QString kEnd = "End Pt.No. or Press (Enter) to File end";

// The printed lines without blank lines and page breaks, blanks at the ends dropped.
QStringList PrintedLines(const QString& text) {
  QStringList out;
  for (QString line : text.split(QRegularExpression("[\n\f]"))) {
    // pdftotext places words by their position, not by the blanks between them.
    line = line.simplified();
    if (!line.isEmpty()) out << line;
  }
  return out;
}

// Listed record numbers in printed lines (lines that start with a number).
QStringList ListedNumbers(const QStringList& lines) {
  QStringList out;
  static const QRegularExpression number("^(\\d+)\\s");
  for (const QString& l : lines) {
    const auto m = number.match(l);
    if (m.hasMatch()) out << m.captured(1);
  }
  return out;
}

Record Dat(double ha, double va, double dist) { return {ha, va, dist, 1.5, 11.0}; }

}  // namespace

class TestListerPrint : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QVERIFY(QDir::setCurrent(QString::fromStdString(testsupport::MakeTempDir("lister-print"))));
    // Observations 1, 2 and 4 hold data; 3 has no vertical angle and no distance.
    QVERIFY(testsupport::WriteSurveyFile(
        "OBS.DAT",
        {Dat(10.1, 90.02, 25.5), Dat(20.2, 89.5, 30.25), Dat(30.3, 0, 0), Dat(40.4, 91, 12)}, 40));
    std::vector<Record> points;
    for (int r = 1; r <= 30; ++r) points.push_back({820000.0 + r, 836000.0 + r, 10.0 + r});
    QVERIFY(testsupport::WriteSurveyFile("P30.NEH", points, 24));
  }

  void printedDatListingStopsAtTheFirstEmptyRecord() {
    QVERIFY(testsupport::PreparePrinter());
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("DAT", true);
    steps << Answer("Input File Name=", "OBS") << Answer("Start at Point No", "1")
          << Answer(kEnd, "") << Type(kAnother, "n");
    d.Run(steps);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    const QString printed = testsupport::WaitForPrintedText();
    const QStringList lines = PrintedLines(printed);
    QVERIFY2(lines.size() >= 2, qPrintable(printed));
    QCOMPARE(lines.value(0), QString("File Name=OBS.DAT"));
    QCOMPARE(lines.value(1), kDatHeading.simplified());
    QCOMPARE(ListedNumbers(lines), QStringList({"1", "2"}));
    QCOMPARE(lines.value(2), QString("1 10.1000 90.0200 25.500 1.500 11"));
    // The window shows the end prompt, not the records.
    QVERIFY(!d.Seen().last().contains("10.1000"));
    QVERIFY(!d.LinesAt(steps.size() - 1).contains("File Name=OBS.DAT"));
  }

  void printedSecListingGoesOnToTwentyEmptyRecords() {
    std::vector<Record> sec{Record{"A", TextNumber(100)}, Record{TextNumber(1), TextNumber(2)}};
    for (int i = 0; i < 19; ++i) sec.push_back(Record{TextNumber(0), TextNumber(0)});
    sec.push_back(Record{"999", TextNumber(0)});  // 22
    sec.push_back(Record{"B", TextNumber(120)});  // 23
    for (int i = 0; i < 19; ++i) sec.push_back(Record{TextNumber(0), TextNumber(0)});
    sec.push_back(Record{TextNumber(5), TextNumber(6)});  // 43, after 19 empties
    for (int i = 0; i < 20; ++i) sec.push_back(Record{TextNumber(0), TextNumber(0)});
    sec.push_back(Record{TextNumber(7), TextNumber(8)});  // 64: past twenty empties
    QVERIFY(testsupport::WriteSurveyFile("LONG.SEC", sec, 16));
    QVERIFY(testsupport::PreparePrinter());
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("SEC", true);
    steps << Answer("Input File Name=", "LONG") << Answer("Start at Point No", "1")
          << Answer(kEnd, "") << Type(kAnother, "n");
    d.Run(steps);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    const QStringList lines = PrintedLines(testsupport::WaitForPrintedText());
    QCOMPARE(lines.value(1), kSecHeading.simplified());
    QCOMPARE(ListedNumbers(lines), QStringList({"1", "2", "22", "23", "43"}));
    QVERIFY(lines.contains("23 B 120.000 Block Name & Chainage"));
  }

  void endNumberAndASecondPrintedListing() {
    QVERIFY(testsupport::PreparePrinter());
    lister::ListerDialog dialog;
    Driver d(dialog);
    QString first;
    QList<Step> steps = ChooseKind("NEH", true);
    steps << Answer("Input File Name=", "P30") << Answer("Start at Point No", "5")
          << Answer(kEnd, "8")
          // The first job has gone to the printer before the question.
          << Then(Type(kAnother, "y"), [&] {
               first = testsupport::WaitForPrintedText();
               testsupport::PreparePrinter();
             });
    steps << Answer("Printer in Use (Y/N)", "y");
    for (const char* k : {"DAT", "NEH"})
      steps << Answer(QString(k) + " File (Y/N)", k[0] == 'N' ? "y" : "n");
    steps << Answer("Input File Name=", "P30") << Answer("Start at Point No", "29")
          << Answer(kEnd, " ") << Type(kAnother, "n");
    d.Run(steps, 60000);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    QCOMPARE(ListedNumbers(PrintedLines(first)), QStringList({"5", "6", "7", "8"}));
    const QStringList second = PrintedLines(testsupport::WaitForPrintedText());
    QCOMPARE(second.value(0), QString("File Name=P30.NEH"));
    QCOMPARE(second.value(1), kNehHeading.simplified());
    QCOMPARE(ListedNumbers(second), QStringList({"29", "30"}));
  }

  void screenListingPrintsNothing() {
    QVERIFY(testsupport::PreparePrinter());
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("NEH", false);
    steps << Answer("Input File Name=", "P30") << Answer("Start at Point No", "1")
          << Type("(E) to exit", "e") << Type(kAnother, "n");
    d.Run(steps);
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    QCOMPARE(testsupport::WaitForPrintedText(3000), QString());
  }

  // Without a printer the listing comes on screen, and the window says why.
  void noPrinterListsOnScreen() {
    testsupport::RemovePrinter();
    lister::ListerDialog dialog;
    Driver d(dialog);
    QList<Step> steps = ChooseKind("NEH", true);
    const int fileStep = steps.size();
    steps << Answer("Input File Name=", "P30") << Answer("Start at Point No", "1")
          << Type("(E) to exit", "e") << Type(kAnother, "n");
    d.Run(steps);
    qunsetenv("SUITE_NO_PRINTER");
    QVERIFY(!d.TimedOut());
    QCOMPARE(d.Answered(), steps.size());
    const QStringList atName = d.LinesAt(fileStep);
    const qsizetype q = atName.indexOf(QRegularExpression("Printer in Use \\(Y/N\\) .*"));
    QVERIFY2(q >= 0, qPrintable(atName.join('\n')));
    QCOMPARE(atName.value(q + 1), QString("No printer is available - listing on screen"));
    // No "End Pt.No." question: the page of twenty records is on screen.
    const QStringList page = PageLines(d.LinesAt(fileStep + 2), kNehHeading);
    QCOMPARE(page.size(), 20);
    QVERIFY(d.LinesAt(fileStep + 2).contains("File Name=P30.NEH"));
  }
};

QTEST_MAIN(TestListerPrint)
#include "tst_lister_print.moc"
