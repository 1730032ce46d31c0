// Printing on the paper the default printer really uses. Each row makes one of the test
// print queues (default paper A4, U.S. Letter, A3 or U.S. Legal) the default printer of
// this process and reads back what the queue wrote: the page size, and where every word
// sits (pdftotext -bbox), against the margins the viewer holds. The program runs once in
// a metric and once in a U.S. locale, whose own default paper is A4 and Letter.
#include <QtTest>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QElapsedTimer>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>

#include <algorithm>
#include <map>

#include "modal_driver.h"
#include "platform/default_printer.h"
#include "platform/line_printer.h"
#include "viewer/main_window.h"
#include "viewer/preview.h"

using viewertest::WhenModalOf;

namespace {

const QString kDir = QStringLiteral(VIEWER_PRINT_DIR);
constexpr double kPt = 72.0 / 25.4;  // points per millimetre
// The test queues' printable area: 0.25 inch in at the sides, 0.5 inch top and bottom.
constexpr double kUnprintableSide = 18.0;
constexpr double kUnprintableEnd = 36.0;

struct Word {
  QString text;
  double xMin, yMin, xMax, yMax;
};
struct Page {
  double width = 0, height = 0;  // points
  QList<Word> words;
};

// The pages of a PDF with their sizes and words, in points from the top left.
QList<Page> ReadPages(const QString& file) {
  QProcess pdf;
  pdf.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
  if (!pdf.waitForFinished(30000)) return {};
  const QString html = QString::fromUtf8(pdf.readAllStandardOutput());
  static const QRegularExpression tag(
      QStringLiteral("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\">|"
                     "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
                     "yMax=\"([0-9.]+)\">([^<]*)</word>"));
  QList<Page> pages;
  for (auto it = tag.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    if (!m.captured(1).isEmpty()) {
      pages.append(Page{m.captured(1).toDouble(), m.captured(2).toDouble(), {}});
    } else if (!pages.isEmpty()) {
      pages.last().words.append(Word{m.captured(7), m.captured(3).toDouble(),
                                     m.captured(4).toDouble(), m.captured(5).toDouble(),
                                     m.captured(6).toDouble()});
    }
  }
  return pages;
}

// A landscape job comes out of CUPS on paper fed upright, its page turned a quarter
// (the queues' PPD turns landscape by +90 degrees): the page as it is read, turned back.
Page Upright(const Page& page, const QSizeF& paper) {
  if (paper.width() <= paper.height() || page.width >= page.height) return page;
  Page turned{page.height, page.width, {}};
  for (const Word& w : page.words)
    turned.words.append(Word{w.text, page.height - w.yMax, w.xMin, page.height - w.yMin, w.xMax});
  return turned;
}

// The printed lines of a page that end below a given height: words of one baseline
// joined by single blanks, top to bottom.
QStringList LinesBelow(const Page& page, double top) {
  std::map<long, QList<Word>> rows;
  for (const Word& w : page.words)
    if (w.yMax > top) rows[std::lround(w.yMax * 10)].append(w);
  QStringList out;
  for (auto& [y, words] : rows) {
    std::sort(words.begin(), words.end(),
              [](const Word& a, const Word& b) { return a.xMin < b.xMin; });
    QStringList texts;
    for (const Word& w : words) texts << w.text;
    out << texts.join(QLatin1Char(' '));
  }
  return out;
}

QString QueueOf(const QString& paper) { return QStringLiteral("suite_pdf_") + paper; }
QString JobOf(const QString& paper) {
  return kDir + QLatin1Char('/') + paper + QStringLiteral("/job.pdf");
}

// Makes the paper's queue this process's default printer (CUPS reads PRINTER) and
// clears its earlier output.
void UseQueue(const QString& paper) {
  qunsetenv("SUITE_PRINT_TO_PDF");
  qunsetenv("SUITE_NO_PRINTER");
  qputenv("PRINTER", QueueOf(paper).toLocal8Bit());
  QFile::remove(JobOf(paper));
}

bool QueueBusy(const QString& queue) {
  QProcess lpstat;
  lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-o"), queue});
  if (!lpstat.waitForFinished(10000)) return true;
  return !lpstat.readAllStandardOutput().trimmed().isEmpty();
}

// Waits until the queue has written the job in full; empty when nothing came.
QString WaitForJob(const QString& paper) {
  QElapsedTimer clock;
  clock.start();
  qint64 last = -1;
  while (clock.elapsed() < 30000) {
    const QFileInfo info(JobOf(paper));
    const qint64 size = info.exists() ? info.size() : -1;
    if (size > 0 && size == last && !QueueBusy(QueueOf(paper))) return JobOf(paper);
    last = size;
    QTest::qWait(200);
  }
  return QString();
}

// A paper's size in points, as the page lies (a landscape queue's page is wider than high).
QSizeF PaperPoints(const QString& paper) {
  static const std::map<QString, QPageSize::PageSizeId> ids = {
      {QStringLiteral("A4"), QPageSize::A4},
      {QStringLiteral("Letter"), QPageSize::Letter},
      {QStringLiteral("A3"), QPageSize::A3},
      {QStringLiteral("Legal"), QPageSize::Legal}};
  QString size = paper;
  const bool landscape = size.endsWith(QStringLiteral("-landscape"));
  if (landscape) size.chop(10);
  const QSizeF pt = QPageSize::size(ids.at(size), QPageSize::Point);
  return landscape ? pt.transposed() : pt;
}

// A listing of survey remarks: lines of 75 to 90 characters, and some of 118 to 126
// that only an A3 page holds whole, each made of words of a few letters and digits.
QString Remarks(int count) {
  QString text;
  for (int k = 1; k <= count; ++k) {
    const int target = (k % 7 == 0) ? 118 + k % 9 : 75 + k % 16;
    QString line = QStringLiteral("L%1").arg(k, 3, 10, QLatin1Char('0'));
    for (int w = 0; line.size() < target; ++w) {
      const QString word =
          QStringLiteral("STN%1").arg((k * 7 + w * 13) % 997).left(3 + (k + w) % 5);
      line += QLatin1Char(' ') + word;
    }
    text += line.left(target).trimmed() + QLatin1Char('\n');
  }
  return text;
}

QStringList Papers() {
  return {QStringLiteral("A4"), QStringLiteral("Letter"), QStringLiteral("A3")};
}

}  // namespace

class TestViewerPaper : public QObject {
  Q_OBJECT

  void paperRows() {
    QTest::addColumn<QString>("paper");
    for (const QString& paper : Papers() + QStringList{QStringLiteral("Legal")})
      QTest::newRow(qPrintable(paper)) << paper;
  }
  static QStringList AllQueues() {
    return Papers() + QStringList{QStringLiteral("Legal"), QStringLiteral("A4-landscape"),
                                  QStringLiteral("Letter-landscape")};
  }

 private slots:
  void initTestCase() {
    QFile why(kDir + QStringLiteral("/papers-unavailable"));
    if (why.open(QIODevice::ReadOnly))
      QSKIP(qPrintable(QString::fromLocal8Bit(why.readAll()).trimmed()));
    for (const QString& paper : AllQueues())
      if (QPrinterInfo::printerInfo(QueueOf(paper)).isNull())
        QSKIP(qPrintable(QStringLiteral("the print queue %1 is not set up").arg(QueueOf(paper))));
  }
  void cleanup() {
    QVERIFY2(!viewertest::WatchdogFired(), "a dialog did not appear or did not close in time");
    viewertest::CloseAllModals();
  }

  // The settings, the preview's page and the Margins dialog all take the printer's own
  // paper and printable area, whatever paper the locale would choose.
  void settingsTakeThePrintersPaper_data() {
    paperRows();
    QTest::newRow("A4 landscape") << QStringLiteral("A4-landscape");
  }
  void settingsTakeThePrintersPaper() {
    QFETCH(QString, paper);
    UseQueue(paper);
    const QSizeF pt = PaperPoints(paper);
    viewer::MainWindow w;
    w.show();
    const viewer::PageSettings& s = w.state().settings;
    QVERIFY(s.printerResolutionX > 0);
    const auto points = [&](float px, int dpi) { return px * 72.0 / dpi; };
    QVERIFY2(qAbs(points(s.pageWidth, s.printerResolutionX) - pt.width()) < 1.0, qPrintable(paper));
    QVERIFY2(qAbs(points(s.pageHeight, s.printerResolutionY) - pt.height()) < 1.0,
             qPrintable(paper));
    const bool landscape = paper.endsWith(QStringLiteral("landscape"));
    QCOMPARE(s.orientation, landscape ? 2 : 1);
    if (!landscape) {
      QVERIFY(qAbs(points(s.unprintableLeft, s.printerResolutionX) - kUnprintableSide) < 1.0);
      QVERIFY(qAbs(points(s.unprintableRight, s.printerResolutionX) - kUnprintableSide) < 1.0);
      QVERIFY(qAbs(points(s.unprintableTop, s.printerResolutionY) - kUnprintableEnd) < 1.0);
      QVERIFY(qAbs(points(s.unprintableBottom, s.printerResolutionY) - kUnprintableEnd) < 1.0);
    }

    QSizeF shown;
    WhenModalOf<QPageSetupDialog>([&](QPageSetupDialog* d) {
      shown = d->printer()->pageLayout().fullRect(QPageLayout::Point).size();
      d->reject();
    });
    QTest::mouseClick(w.marginsButton(), Qt::LeftButton);
    QVERIFY2(qAbs(shown.width() - pt.width()) < 1.0 && qAbs(shown.height() - pt.height()) < 1.0,
             qPrintable(QStringLiteral("%1 x %2 pt").arg(shown.width()).arg(shown.height())));

    double imageRatio = 0;
    WhenModalOf<viewer::PreviewWindow>([&](viewer::PreviewWindow* p) {
      imageRatio = double(p->canvas()->pageImage.height()) / p->canvas()->pageImage.width();
      p->reject();
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    QVERIFY(qAbs(imageRatio - pt.height() / pt.width()) < 0.01);
  }

  // The printout is on the queue's paper, holds the preview's lines page for page, and
  // no word crosses a margin: lines of up to 90 characters, wrapped where the printer's
  // font no longer fits them, never run past the right margin, and the last line of a
  // full page ends above the bottom margin. A queue chosen in the dialog got pages laid
  // out for the default's paper (Letter after A4: lines in the bottom margin).
  void printoutKeepsToTheMargins_data() {
    QTest::addColumn<QString>("preset");  // the default printer's paper
    QTest::addColumn<QString>("paper");   // the paper of the queue chosen in the dialog
    for (const QString& paper : Papers()) QTest::newRow(qPrintable(paper)) << paper << paper;
    QTest::newRow("A4, Letter chosen") << "A4"
                                       << "Letter";
    QTest::newRow("Letter, A4 chosen") << "Letter"
                                       << "A4";
    QTest::newRow("A3, A4 chosen") << "A3"
                                   << "A4";
    // A queue chosen in the dialog kept the default's orientation (Letter laid out
    // portrait and turned on landscape paper; A4 printed landscape).
    QTest::newRow("A4, Letter landscape chosen") << "A4"
                                                 << "Letter-landscape";
    QTest::newRow("A4 landscape, A4 chosen") << "A4-landscape"
                                             << "A4";
  }
  void printoutKeepsToTheMargins() {
    QFETCH(QString, preset);
    QFETCH(QString, paper);
    UseQueue(preset);
    QFile::remove(JobOf(paper));
    viewer::MainWindow w;
    w.show();
    w.editBox()->setPlainText(Remarks(140));
    viewer::PageLines lines;
    int perPage = 0;
    WhenModalOf<viewer::PreviewWindow>([&](viewer::PreviewWindow* p) {
      WhenModalOf<QPrintDialog>([&](QPrintDialog* d) {
        auto* printers = d->findChild<QComboBox*>(QStringLiteral("printers"));
        printers->setCurrentIndex(printers->findText(QueueOf(paper)));
        d->accept();
      });
      QTest::mouseClick(p->printButton(), Qt::LeftButton);
      lines = p->lines();  // as the preview shows them after printing
      perPage = w.state().settings.linesPerPage;
      QTest::mouseClick(p->closeButton(), Qt::LeftButton);
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    const viewer::PageSettings& s = w.state().settings;
    QVERIFY(perPage > 10);

    const QString job = WaitForJob(paper);
    QVERIFY2(!job.isEmpty(), "the queue wrote no job");
    const QSizeF pt = PaperPoints(paper);
    QList<Page> pages = ReadPages(job);
    QVERIFY(!pages.isEmpty());
    for (Page& page : pages) page = Upright(page, pt);
    const double left = s.leftMargin * kPt, right = pt.width() - s.rightMargin * kPt;
    const double top = s.topMargin * kPt, bottom = pt.height() - s.bottomMargin * kPt;
    // Every element but the last, empty one is printed.
    QCOMPARE(pages.size(), int((lines.size() - 1) / perPage) + 1);
    double rightmost = 0, lowest = 0;
    for (const Page& page : pages)
      for (const Word& word : page.words)
        if (word.yMax > top) {
          rightmost = std::max(rightmost, word.xMax);
          lowest = std::max(lowest, word.yMax);
        }
    qInfo(
        "%s: page %.1f x %.1f pt (paper %.1f x %.1f); %d lines a page; rightmost word ends "
        "%.2f mm inside the right margin, lowest line %.2f mm above the bottom margin",
        qPrintable(paper), pages[0].width, pages[0].height, pt.width(), pt.height(), perPage,
        (right - rightmost) / kPt, (bottom - lowest) / kPt);
    for (int k = 0; k < pages.size(); ++k) {
      const Page& page = pages[k];
      QVERIFY2(
          qAbs(page.width - pt.width()) < 1.0 && qAbs(page.height - pt.height()) < 1.0,
          qPrintable(
              QStringLiteral("page %1 is %2 x %3 pt").arg(k + 1).arg(page.width).arg(page.height)));
      for (const Word& word : page.words) {
        if (word.yMax < top) continue;  // the heading, in the top margin
        QVERIFY2(
            word.xMin >= left - 0.5 && word.xMax <= right + 0.05,
            qPrintable(QStringLiteral("page %1: \"%2\" spans %3 to %4 pt, margins at %5 and %6")
                           .arg(k + 1)
                           .arg(word.text)
                           .arg(word.xMin)
                           .arg(word.xMax)
                           .arg(left)
                           .arg(right)));
        QVERIFY2(word.yMax <= bottom + 0.5,
                 qPrintable(QStringLiteral("page %1: \"%2\" ends at %3 pt, bottom margin at %4")
                                .arg(k + 1)
                                .arg(word.text)
                                .arg(word.yMax)
                                .arg(bottom)));
      }
      // The page holds the preview's page, line for line.
      const QStringList printed = LinesBelow(page, top);
      const int first = k * perPage;
      const int count = std::min<int>(perPage, int(lines.size()) - 1 - first);
      QCOMPARE(printed.size(), count);
      for (int i = 0; i < count; ++i)
        QCOMPARE(printed[i], QString::fromStdU16String(lines[first + i]).trimmed());
    }
  }

  // The print dialog offers no page range and no page set: "Pages from", "Pages" and
  // "Odd Pages" cannot be chosen, not even under its options.
  void printDialogOffersNoPageRange() {
    UseQueue(QStringLiteral("A4"));
    viewer::MainWindow w;
    w.show();
    w.editBox()->setPlainText(Remarks(200));
    QStringList choosable;
    bool seen = false;
    WhenModalOf<viewer::PreviewWindow>([&](viewer::PreviewWindow* p) {
      WhenModalOf<QPrintDialog>([&](QPrintDialog* d) {
        for (QAbstractButton* b : d->findChildren<QAbstractButton*>())
          if (b->text().contains(QStringLiteral("Options"))) QTest::mouseClick(b, Qt::LeftButton);
        QApplication::processEvents();
        for (const char* name :
             {"printRange", "pagesRadioButton", "from", "to", "pagesLineEdit", "pageSetCombo"})
          for (QWidget* c : d->findChildren<QWidget*>(QLatin1String(name)))
            if (c->isEnabled() && c->isVisibleTo(d)) choosable << QLatin1String(name);
        for (QLabel* to : d->findChildren<QLabel*>())  // no "to" left between hidden numbers
          if (to->text() == QLatin1String("to") && to->isVisibleTo(d)) choosable << to->text();
        seen = true;
        d->reject();
      });
      QTest::mouseClick(p->printButton(), Qt::LeftButton);
      QTest::mouseClick(p->closeButton(), Qt::LeftButton);
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    QVERIFY(seen);
    QVERIFY2(choosable.isEmpty(), qPrintable(choosable.join(QStringLiteral(", "))));
  }

  // lisket's listing through the line printer lands on the queue's paper, every line in
  // the printable area.
  void lineListingOnThePrintersPaper_data() { paperRows(); }
  void lineListingOnThePrintersPaper() {
    QFETCH(QString, paper);
    UseQueue(paper);
    {
      platform::LinePrinter printer;
      QVERIFY(printer.Acquire(QStringLiteral("listing")));
      for (int i = 1; i <= 120; ++i)
        printer.PrintLine(QStringLiteral("%1  830000.000  840000.000  35.123").arg(i, 4));
    }
    const QString job = WaitForJob(paper);
    QVERIFY2(!job.isEmpty(), "the queue wrote no job");
    const QList<Page> pages = ReadPages(job);
    QVERIFY(pages.size() >= 2);
    const QSizeF pt = PaperPoints(paper);
    for (const Page& page : pages) {
      QVERIFY2(qAbs(page.width - pt.width()) < 1.0 && qAbs(page.height - pt.height()) < 1.0,
               qPrintable(QStringLiteral("%1 x %2 pt").arg(page.width).arg(page.height)));
      for (const Word& word : page.words) {
        QVERIFY(word.yMin >= kUnprintableEnd - 0.5);
        QVERIFY2(word.yMax <= pt.height() - kUnprintableEnd + 0.5,
                 qPrintable(QStringLiteral("\"%1\" ends at %2 pt").arg(word.text).arg(word.yMax)));
      }
    }
  }

  // The queue's own default orientation is the one the job takes.
  void orientationFromTheQueuesOptions_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("orientation");
    QTest::newRow("none") << "copies=1 device-uri=file:///tmp/job.pdf"
                          << int(QPageLayout::Portrait);
    QTest::newRow("landscape") << "copies=1 orientation-requested=4 number-up=1"
                               << int(QPageLayout::Landscape);
    QTest::newRow("reverse landscape") << "orientation-requested=5" << int(QPageLayout::Landscape);
    QTest::newRow("landscape flag")
        << "copies=1 landscape sides=one-sided" << int(QPageLayout::Landscape);
    QTest::newRow("other option") << "printer-info='landscape orientation-requested=4'"
                                  << int(QPageLayout::Portrait);
  }
  void orientationFromTheQueuesOptions() {
    QFETCH(QString, options);
    QFETCH(int, orientation);
    QCOMPARE(int(platform::OrientationFromOptions(options)), orientation);
  }
};

QTEST_MAIN(TestViewerPaper)
#include "tst_viewer_paper.moc"
