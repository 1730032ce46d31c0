// The preview's page label in the dialog font: the page texts of long documents show
// whole in the label's 44 dialog units, or in a label widened to the document's last
// page text, measured on the label of the real preview.
#include <QtTest>

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "modal_driver.h"
#include "platform/dialog_units.h"
#include "viewer/main_window.h"
#include "viewer/preview.h"

using viewertest::WhenModalOf;

namespace {

// Lines on a page of the preview as the main window's settings make it.
int LinesPerPage(viewer::MainWindow& w) {
  WhenModalOf<viewer::PreviewWindow>(
      [](viewer::PreviewWindow* p) { QTest::mouseClick(p->closeButton(), Qt::LeftButton); });
  QTest::mouseClick(w.previewButton(), Qt::LeftButton);
  return w.state().settings.linesPerPage;
}

// A listing that fills the given number of pages, the last one half.
QString ListingOf(int pages, int perPage) {
  QStringList lines;
  for (int i = 1; i <= pages * perPage - perPage / 2; ++i)
    lines << QStringLiteral("  %1  836025.700  820143.500").arg(i);
  return lines.join('\n');
}

}  // namespace

class TestViewerLabels : public QObject {
  Q_OBJECT
 private slots:
  // In the system's default sans "Page 1/4762" showed as "age 1/476".
  void pageTextsFit_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("first of 4762") << "Page 1/4762";
    QTest::newRow("tens of 999") << "Page 99/999";
    QTest::newRow("ninth of 9999") << "Page 9/9999";
  }
  void pageTextsFit() {
    QFETCH(QString, text);
    viewer::MainWindow w;
    w.show();
    w.editBox()->setPlainText(QStringLiteral("one line"));
    int needed = -1, room = 0;
    QString family;
    bool shown = false;
    WhenModalOf<viewer::PreviewWindow>([&](viewer::PreviewWindow* p) {
      auto* label = p->findChild<QLabel*>(QStringLiteral("label1136"));
      if (label != nullptr) {
        shown = label->text() == QStringLiteral("Page 1/1");
        p->setPageLabel(text);
        needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
        room = label->contentsRect().width();
        family = QFontInfo(label->font()).family();
      }
      QTest::mouseClick(p->closeButton(), Qt::LeftButton);
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    QVERIFY(!viewertest::WatchdogFired());
    QVERIFY(shown);
    QVERIFY2(
        needed > 0 && needed <= room,
        qPrintable(
            QString("%1 needs %2 px of %3 in %4").arg(text).arg(needed).arg(room).arg(family)));
  }

  // The last page of a document, its label text measured in the label and the toolbar's
  // controls side by side. A 4762-page listing showed "Page 4762/4762" cut to "age 4762/476".
  void lastPageTextFits_data() {
    QTest::addColumn<int>("pages");
    QTest::addColumn<bool>("laidOut");  // the toolbar keeps its own widths and places
    QTest::newRow("one page") << 1 << true;
    QTest::newRow("99 pages") << 99 << true;
    QTest::newRow("100 pages") << 100 << false;
    QTest::newRow("4762 pages") << 4762 << false;
  }
  void lastPageTextFits() {
    QFETCH(int, pages);
    QFETCH(bool, laidOut);
    viewer::MainWindow w;
    w.show();
    const int perPage = LinesPerPage(w);
    QVERIFY(perPage > 0);
    w.editBox()->setPlainText(ListingOf(pages, perPage));
    QString text;
    int needed = -1, room = 0;
    QRect label, lastButton, zoom, close;
    WhenModalOf<viewer::PreviewWindow>(
        [&](viewer::PreviewWindow* p) {
          if (p->lastButton()->isEnabled()) QTest::mouseClick(p->lastButton(), Qt::LeftButton);
          if (auto* l = p->findChild<QLabel*>(QStringLiteral("label1136"))) {
            text = l->text();
            needed = QFontMetrics(l->font()).horizontalAdvance(text);
            room = l->contentsRect().width();
            label = l->geometry();
          }
          lastButton = p->lastButton()->geometry();
          zoom = p->zoomButton()->geometry();
          close = p->closeButton()->geometry();
          QTest::mouseClick(p->closeButton(), Qt::LeftButton);
        },
        60000);
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    QVERIFY(!viewertest::WatchdogFired());
    QCOMPARE(text, QStringLiteral("Page %1/%1").arg(pages));
    QVERIFY2(needed > 0 && needed <= room,
             qPrintable(QString("%1 needs %2 px of %3").arg(text).arg(needed).arg(room)));
    // Side by side in their order, the gaps between them as laid out.
    const int g = platform::DuToPxY(2);
    QCOMPARE(label.left(), lastButton.right() + 1 + g);
    QCOMPARE(zoom.left(), label.right() + 1 + g);
    QCOMPARE(close.left(), zoom.right() + 1 + 4 * g);
    const int bw = platform::DuToPxX(44);
    QCOMPARE(zoom.width(), bw);
    QCOMPARE(close.width(), bw);
    if (laidOut) {
      QCOMPARE(label.width(), bw);
      QCOMPARE(close.left(),
               platform::DuToPxX(2) + bw + 4 * g + 4 * ((bw + 1) / 2) + g + bw + g + bw + 4 * g);
    } else {
      QVERIFY(label.width() > bw);
    }
  }

  // With BRISEL_LABEL_SCREENSHOT naming a file: the last page of a document of 4762 pages
  // in the preview, its toolbar saved as a picture.
  void longDocumentPicture() {
    const QString keep = qEnvironmentVariable("BRISEL_LABEL_SCREENSHOT");
    if (keep.isEmpty()) QSKIP("no picture asked for");
    viewer::MainWindow w;
    w.show();
    const int perPage = LinesPerPage(w);
    QVERIFY(perPage > 0);
    w.editBox()->setPlainText(ListingOf(4762, perPage));
    QString seen;
    WhenModalOf<viewer::PreviewWindow>(
        [&](viewer::PreviewWindow* p) {
          QTest::mouseClick(p->lastButton(), Qt::LeftButton);
          seen = p->pageLabelText();
          auto* label = p->findChild<QLabel*>(QStringLiteral("label1136"));
          const int strip = label ? label->geometry().bottom() + 12 : 40;
          QVERIFY(p->grab(QRect(0, 0, std::min(p->width(), 560), strip)).save(keep));
          QTest::mouseClick(p->closeButton(), Qt::LeftButton);
        },
        120000);
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    QCOMPARE(seen, QStringLiteral("Page 4762/4762"));
  }
};

QTEST_MAIN(TestViewerLabels)
#include "tst_viewer_labels.moc"
