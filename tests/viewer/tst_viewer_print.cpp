// Printing from the preview, checked from what the printer received: pages, the lines
// on each page, the headings with the preview's page count, the job's name, and a
// cancelled print dialog printing nothing.
#include <QtTest>

#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>

#include <filesystem>

#include "modal_driver.h"
#include "print_capture.h"
#include "survey_writer.h"
#include "viewer/main_window.h"
#include "viewer/preview.h"

using viewertest::WhenModalOf;

namespace {

QString PrintedFile() {
  const QString pdf = qEnvironmentVariable("SUITE_PRINT_TO_PDF");
  if (!pdf.isEmpty()) return pdf;
  return QStringLiteral(VIEWER_PRINT_DIR "/job.pdf");
}

QString PdfTitle(const QString& file) {
  QProcess info;
  info.start("pdfinfo", {file});
  if (!info.waitForFinished(20000)) return QString();
  for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split('\n'))
    if (line.startsWith("Title:")) return line.mid(6).trimmed();
  return QString();
}

int CountLines(const QString& page) {
  return int(page.count(QRegularExpression(QStringLiteral("\\bline \\d+\\b"))));
}

}  // namespace

class TestViewerPrint : public QObject {
  Q_OBJECT

  std::string dir_;
  int linesPerPage_ = 0;

  // Opens a text file through the open-file dialog.
  void Open(viewer::MainWindow& w, const QString& path) {
    WhenModalOf<QFileDialog>([path](QFileDialog* d) {
      d->findChild<QLineEdit*>("fileNameEdit")->setText(path);
      static_cast<QDialog*>(d)->accept();
    });
    QTest::mouseClick(w.openButton(), Qt::LeftButton);
  }

  // Opens the preview, presses Print and answers the print dialog.
  int PrintFromPreview(viewer::MainWindow& w, bool accept) {
    int previewPages = 0;
    WhenModalOf<viewer::PreviewWindow>([&](viewer::PreviewWindow* p) {
      previewPages = w.state().settings.pageCount;
      WhenModalOf<QPrintDialog>([accept](QPrintDialog* d) {
        if (accept)
          d->accept();
        else
          d->reject();
      });
      QTest::mouseClick(p->printButton(), Qt::LeftButton);
      QTest::mouseClick(p->closeButton(), Qt::LeftButton);
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    return previewPages;
  }

  QString WriteLines(const char* name, int count, bool finalBreak) {
    QString text;
    for (int k = 1; k <= count; ++k) {
      text += QString("line %1").arg(k);
      if (k < count || finalBreak) text += "\r\n";
    }
    const QString path = QString::fromStdString(dir_) + "/" + name;
    testsupport::WriteBytes(path.toStdString(), text.toStdString());
    return path;
  }

 private slots:
  void initTestCase() {
    QVERIFY(testsupport::PreparePrinter());
    dir_ = testsupport::MakeTempDir("viewer_print");
    viewer::MainWindow w;
    WhenModalOf<viewer::PreviewWindow>([&](viewer::PreviewWindow* p) {
      linesPerPage_ = w.state().settings.linesPerPage;
      p->reject();
    });
    w.show();
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    QVERIFY(linesPerPage_ > 2);
  }
  void cleanupTestCase() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  void cleanup() {
    QVERIFY2(!viewertest::WatchdogFired(), "a dialog did not appear or did not close in time");
    viewertest::CloseAllModals();
  }

  // 2 x lines per page + 1 lines: three pages, the third with one line.
  void threePages() {
    QVERIFY(testsupport::PreparePrinter());
    const int n = 2 * linesPerPage_ + 1;
    const QString path = WriteLines("PRINT.TXT", n, false);
    viewer::MainWindow w;
    w.show();
    Open(w, path);
    QCOMPARE(PrintFromPreview(w, true), 3);
    const QStringList pages = testsupport::WaitForPrintedPages();
    QCOMPARE(pages.size(), 3);
    for (int k = 0; k < 3; ++k) {
      QVERIFY2(pages[k].contains(QString("PRINT.TXT  |  Page %1/3  |  ").arg(k + 1)) ||
                   pages[k].contains(QRegularExpression(
                       QString("PRINT\\.TXT\\s+\\|\\s+Page %1/3\\s+\\|\\s+\\d\\d-\\d\\d-\\d{4}, "
                               "\\d\\d:\\d\\d:\\d\\d")
                           .arg(k + 1))),
               qPrintable(pages[k].left(200)));
    }
    QCOMPARE(CountLines(pages[0]), linesPerPage_);
    QVERIFY(pages[0].contains("line 1\n") || pages[0].contains("line 1 "));
    QCOMPARE(CountLines(pages[1]), linesPerPage_);
    QCOMPARE(CountLines(pages[2]), 1);
    QVERIFY(pages[2].contains(QString("line %1").arg(n)));
    QCOMPARE(PdfTitle(PrintedFile()), QString("PRINT.TXT"));
  }

  // An exact multiple: the preview has an extra page with its heading only; the printout
  // one page fewer, still saying "/" and the preview's count.
  void exactMultiple() {
    QVERIFY(testsupport::PreparePrinter());
    const QString path = WriteLines("EVEN.TXT", 2 * linesPerPage_ - 1, true);
    viewer::MainWindow w;
    w.show();
    Open(w, path);
    QCOMPARE(PrintFromPreview(w, true), 3);
    const QStringList pages = testsupport::WaitForPrintedPages();
    QCOMPARE(pages.size(), 2);
    QVERIFY(pages[0].contains("Page 1/3"));
    QVERIFY(pages[1].contains("Page 2/3"));
    QCOMPARE(CountLines(pages[1]), linesPerPage_ - 1);
  }

  // An empty edit box prints one page named Untitled.
  void untitled() {
    QVERIFY(testsupport::PreparePrinter());
    viewer::MainWindow w;
    w.show();
    PrintFromPreview(w, true);
    const QStringList pages = testsupport::WaitForPrintedPages();
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages[0].contains(QRegularExpression("Untitled\\s+\\|\\s+Page 1/1")));
  }

  void cancelledPrintsNothing() {
    QVERIFY(testsupport::PreparePrinter());
    viewer::MainWindow w;
    w.show();
    w.editBox()->setPlainText("not to be printed");
    PrintFromPreview(w, false);
    QVERIFY(testsupport::WaitForPrintedText(2500).isEmpty());
  }
};

QTEST_MAIN(TestViewerPrint)
#include "tst_viewer_print.moc"
