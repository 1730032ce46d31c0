// The line printer through the test print queue: what the job holds once it is sent,
// page breaks, columns, the PDF stand-in and the machine without a printer.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/line_printer.h"
#include "print_capture.h"

namespace {

QStringList NonEmptyLines(const QString& page) {
  QStringList out;
  for (const QString& l : page.split(QLatin1Char('\n')))
    if (!l.trimmed().isEmpty()) out << l;
  return out;
}

QString Numbered(int i) { return QStringLiteral("Line %1 NEH").arg(i, 3, 10, QLatin1Char('0')); }

// The lines of a job of n numbered lines, page by page.
QList<QStringList> PrintNumbered(int n, int* pageCount) {
  platform::LinePrinter printer;
  if (!printer.Acquire(QStringLiteral("numbered"))) return {};
  for (int i = 1; i <= n; ++i) printer.PrintLine(Numbered(i));
  *pageCount = printer.PageCount();
  printer.Release();
  QList<QStringList> pages;
  for (const QString& p : testsupport::WaitForPrintedPages()) pages << NonEmptyLines(p);
  return pages;
}

struct Word {
  QString text;
  double xMin = 0, xMax = 0, yMin = 0;
};

// The words of a PDF with their boxes in points, as pdftotext -bbox reads them.
QList<Word> Words(const QString& file) {
  QProcess pdf;
  pdf.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
  if (!pdf.waitForFinished(30000)) return {};
  const QRegularExpression re(
      QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
                     "yMax=\"[0-9.]+\">([^<]*)</word>"));
  QList<Word> out;
  auto it = re.globalMatch(QString::fromUtf8(pdf.readAllStandardOutput()));
  while (it.hasNext()) {
    const auto m = it.next();
    out.append(Word{m.captured(4), m.captured(1).toDouble(), m.captured(3).toDouble(),
                    m.captured(2).toDouble()});
  }
  return out;
}

QString PdfTitle(const QString& file) {
  QProcess info;
  info.start(QStringLiteral("pdfinfo"), {file});
  if (!info.waitForFinished(20000)) return QString();
  const QRegularExpression re(QStringLiteral("^Title:\\s*(.*)$"),
                              QRegularExpression::MultilineOption);
  const auto m = re.match(QString::fromUtf8(info.readAllStandardOutput()));
  return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

}  // namespace

class TestLinePrinter : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void linesLandInTheJob();
  void nothingIsSentBeforeRelease();
  void destructorSendsTheJob();
  void newPageWhenTheNextLineDoesNotFit();
  void columnsLineUp();
  void emptyLinesKeepTheirPlace();
  void jobNameIsTheDocumentTitle();
  void pdfStandIn();
  void secondJobFromTheSamePrinter();
  void unwritableStandInLosesNothingElse();
  // last: the printer stays removed for the rest of this process
  void withoutPrinterNothingOpens();
};

void TestLinePrinter::initTestCase() {
  QVERIFY(testsupport::PreparePrinter());
  if (!testsupport::UsingCupsQueue())
    qInfo("line printer tests run against the PDF stand-in, not a CUPS queue");
  QVERIFY(platform::HasDefaultPrinter());
  QVERIFY(!platform::DefaultPrinterName().isEmpty());
}

void TestLinePrinter::init() { QVERIFY(testsupport::PreparePrinter()); }

void TestLinePrinter::linesLandInTheJob() {
  platform::LinePrinter printer;
  QVERIFY(!printer.IsOpen());
  QVERIFY(printer.Acquire(QStringLiteral("lisket")));
  QVERIFY(printer.IsOpen());
  printer.PrintLine(QStringLiteral("File Name=SITE.NEH"));
  printer.PrintLine(QStringLiteral("PT.No.   NORTHINGS   EASTINGS     HEIGHT       CODE"));
  printer.PrintLine(QStringLiteral("   1    830000.000   840000.000    35.123      12"));
  QCOMPARE(printer.PageCount(), 1);
  printer.Release();
  QVERIFY(!printer.IsOpen());
  const QStringList lines = NonEmptyLines(testsupport::WaitForPrintedText());
  QCOMPARE(lines.size(), 3);
  QCOMPARE(lines[0].trimmed(), QStringLiteral("File Name=SITE.NEH"));
  QVERIFY(lines[1].contains(QStringLiteral("NORTHINGS")));
  QVERIFY(lines[2].contains(QStringLiteral("830000.000   840000.000")));
  printer.Release();  // a second release sends nothing and does no harm
}

void TestLinePrinter::nothingIsSentBeforeRelease() {
  platform::LinePrinter printer;
  QVERIFY(printer.Acquire(QStringLiteral("held")));
  printer.PrintLine(QStringLiteral("not yet"));
  QCOMPARE(testsupport::WaitForPrintedText(1500), QString());
  printer.Release();
  QVERIFY(testsupport::WaitForPrintedText().contains(QStringLiteral("not yet")));
}

void TestLinePrinter::destructorSendsTheJob() {
  {
    platform::LinePrinter printer;
    QVERIFY(printer.Acquire(QStringLiteral("norvane")));
    printer.PrintAtColumn(5, QStringLiteral("1980 HK Grid"));
    printer.NewLine();
  }
  QVERIFY(testsupport::WaitForPrintedText().contains(QStringLiteral("1980 HK Grid")));
}

void TestLinePrinter::newPageWhenTheNextLineDoesNotFit() {
  int count = 0;
  // first find how many lines one page holds
  const QList<QStringList> probe = PrintNumbered(150, &count);
  QVERIFY(probe.size() >= 2);
  QCOMPARE(count, probe.size());
  const int perPage = int(probe[0].size());
  QVERIFY(perPage > 20);
  QCOMPARE(probe[0].last().trimmed(), Numbered(perPage));
  QCOMPARE(probe[1].first().trimmed(), Numbered(perPage + 1));

  // exactly two full pages: no third, empty page
  QVERIFY(testsupport::PreparePrinter());
  const QList<QStringList> two = PrintNumbered(2 * perPage, &count);
  QCOMPARE(count, 2);
  QCOMPARE(two.size(), 2);
  QCOMPARE(two[0].size(), perPage);
  QCOMPARE(two[1].size(), perPage);
  QCOMPARE(two[1].last().trimmed(), Numbered(2 * perPage));

  // one line more starts the third page with that line alone
  QVERIFY(testsupport::PreparePrinter());
  const QList<QStringList> three = PrintNumbered(2 * perPage + 1, &count);
  QCOMPARE(count, 3);
  QCOMPARE(three.size(), 3);
  QCOMPARE(three[2], QStringList{three[2].first()});
  QCOMPARE(three[2].first().trimmed(), Numbered(2 * perPage + 1));
}

void TestLinePrinter::columnsLineUp() {
  const QString ruler = QStringLiteral("1234567890123456789012345678901234567890");
  platform::LinePrinter printer;
  QVERIFY(printer.Acquire(QStringLiteral("norvane")));
  printer.PrintLine(ruler);
  printer.PrintAtColumn(5, QStringLiteral("1980-HK-Grid"));
  printer.PrintAtColumn(35, QStringLiteral("WGS-84"));
  printer.NewLine();
  printer.PrintAtColumn(5, QStringLiteral("N:830000"));
  printer.PrintAtColumn(35, QStringLiteral("Lat:22-24-33.49387"));
  printer.NewLine();
  printer.PrintLine(QString());
  printer.Release();
  QVERIFY(!testsupport::WaitForPrintedText().isEmpty());
  const QList<Word> words = Words(testsupport::PrintedFile());
  const auto find = [&words](const QString& t) {
    for (const Word& w : words)
      if (w.text == t) return w;
    return Word{};
  };
  const Word r = find(ruler);
  QVERIFY(!r.text.isEmpty());
  const double cw = (r.xMax - r.xMin) / ruler.size();  // one column
  const auto column = [&](const QString& t) {
    const Word w = find(t);
    return w.text.isEmpty() ? -1.0 : 1 + (w.xMin - r.xMin) / cw;
  };
  QCOMPARE(qRound(column(QStringLiteral("1980-HK-Grid"))), 5);
  QCOMPARE(qRound(column(QStringLiteral("WGS-84"))), 35);
  QCOMPARE(qRound(column(QStringLiteral("N:830000"))), 5);
  QCOMPARE(qRound(column(QStringLiteral("Lat:22-24-33.49387"))), 35);
  // the two columns of a line share its line; the next line lies below
  QCOMPARE(find(QStringLiteral("WGS-84")).yMin, find(QStringLiteral("1980-HK-Grid")).yMin);
  QVERIFY(find(QStringLiteral("N:830000")).yMin > find(QStringLiteral("WGS-84")).yMin);
}

void TestLinePrinter::emptyLinesKeepTheirPlace() {
  platform::LinePrinter printer;
  QVERIFY(printer.Acquire(QStringLiteral("gaps")));
  printer.PrintLine(QStringLiteral("first"));
  printer.PrintLine(QString());
  printer.PrintLine(QString());
  printer.PrintLine(QStringLiteral("fourth"));
  printer.Release();
  const QStringList lines = testsupport::WaitForPrintedText().split(QLatin1Char('\n'));
  qsizetype first = -1, fourth = -1;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (lines[i].contains(QStringLiteral("first"))) first = i;
    if (lines[i].contains(QStringLiteral("fourth"))) fourth = i;
  }
  QVERIFY(first >= 0);
  QCOMPARE(fourth - first, qsizetype(3));
}

void TestLinePrinter::jobNameIsTheDocumentTitle() {
  if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
    QSKIP("pdfinfo is not installed");
  platform::LinePrinter printer;
  QVERIFY(printer.Acquire(QStringLiteral("lisket SITE.NEH")));
  printer.PrintLine(QStringLiteral("x"));
  printer.Release();
  QVERIFY(!testsupport::WaitForPrintedText().isEmpty());
  QCOMPARE(PdfTitle(testsupport::PrintedFile()), QStringLiteral("lisket SITE.NEH"));
}

void TestLinePrinter::pdfStandIn() {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("stand-in.pdf"));
  const QByteArray saved = qgetenv("SUITE_PRINT_TO_PDF");
  qputenv("SUITE_PRINT_TO_PDF", QFile::encodeName(file));
  QVERIFY(platform::HasDefaultPrinter());
  QCOMPARE(platform::DefaultPrinterName(), file);
  {
    platform::LinePrinter printer;
    QVERIFY(printer.Acquire(QStringLiteral("stand-in")));
    printer.PrintLine(QStringLiteral("TRY AGAIN"));
  }
  if (saved.isEmpty())
    qunsetenv("SUITE_PRINT_TO_PDF");
  else
    qputenv("SUITE_PRINT_TO_PDF", saved);
  QProcess pdf;
  pdf.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
  QVERIFY(pdf.waitForFinished(30000));
  QCOMPARE(NonEmptyLines(QString::fromUtf8(pdf.readAllStandardOutput())).value(0).trimmed(),
           QStringLiteral("TRY AGAIN"));
}

void TestLinePrinter::secondJobFromTheSamePrinter() {
  platform::LinePrinter printer;
  QVERIFY(printer.Acquire(QStringLiteral("first")));
  printer.PrintLine(QStringLiteral("first listing"));
  printer.Release();
  QVERIFY(testsupport::WaitForPrintedText().contains(QStringLiteral("first listing")));
  QVERIFY(testsupport::PreparePrinter());
  QVERIFY(printer.Acquire(QStringLiteral("second")));
  printer.PrintLine(QStringLiteral("second listing"));
  printer.Release();
  const QString text = testsupport::WaitForPrintedText();
  QVERIFY(text.contains(QStringLiteral("second listing")));
  QVERIFY(!text.contains(QStringLiteral("first listing")));
  QCOMPARE(printer.PageCount(), 1);
}

void TestLinePrinter::unwritableStandInLosesNothingElse() {
  const QByteArray saved = qgetenv("SUITE_PRINT_TO_PDF");
  qputenv("SUITE_PRINT_TO_PDF", "/no/such/folder/out.pdf");
  {
    platform::LinePrinter printer;
    QVERIFY(printer.Acquire(QStringLiteral("nowhere")));
    printer.PrintLine(QStringLiteral("lost"));  // the document cannot begin: no crash
    QVERIFY(!printer.IsOpen());
    printer.PrintAtColumn(3, QStringLiteral("lost"));
    printer.NewLine();
  }
  if (saved.isEmpty())
    qunsetenv("SUITE_PRINT_TO_PDF");
  else
    qputenv("SUITE_PRINT_TO_PDF", saved);
  QVERIFY(!QFile::exists(QStringLiteral("/no/such/folder/out.pdf")));
}

void TestLinePrinter::withoutPrinterNothingOpens() {
  testsupport::RemovePrinter();
  QVERIFY(!platform::HasDefaultPrinter());
  QCOMPARE(platform::DefaultPrinterName(), QString());
  platform::LinePrinter printer;
  QVERIFY(!printer.Acquire(QStringLiteral("none")));
  QVERIFY(!printer.IsOpen());
  printer.PrintLine(QStringLiteral("lost"));  // ignored, no crash
  printer.PrintAtColumn(5, QStringLiteral("lost"));
  printer.NewLine();
  printer.Release();
  QCOMPARE(printer.PageCount(), 0);
}

QTEST_MAIN(TestLinePrinter)
#include "tst_line_printer.moc"
