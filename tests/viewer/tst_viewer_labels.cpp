// The preview's page label in the dialog font: the page texts of long documents show
// whole in the label's 44 dialog units, measured on the label of the real preview.
#include <QtTest>

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "modal_driver.h"
#include "viewer/main_window.h"
#include "viewer/preview.h"

using viewertest::WhenModalOf;

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
    QVERIFY2(needed > 0 && needed <= room,
             qPrintable(QString("%1 needs %2 px of %3 in %4").arg(text).arg(needed).arg(room).arg(family)));
  }

  // With BRISEL_LABEL_SCREENSHOT naming a file: the preview of a document of 4762 pages,
  // its toolbar saved as a picture.
  void longDocumentPicture() {
    const QString keep = qEnvironmentVariable("BRISEL_LABEL_SCREENSHOT");
    if (keep.isEmpty()) QSKIP("no picture asked for");
    viewer::MainWindow w;
    w.show();
    WhenModalOf<viewer::PreviewWindow>([](viewer::PreviewWindow* p) {
      QTest::mouseClick(p->closeButton(), Qt::LeftButton);
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    const int perPage = w.state().settings.linesPerPage;
    QVERIFY(perPage > 0);
    QStringList lines;
    for (int i = 1; i <= 4762 * perPage - perPage / 2; ++i) lines << QStringLiteral("  %1  836025.700  820143.500").arg(i);
    w.editBox()->setPlainText(lines.join('\n'));
    QString seen;
    WhenModalOf<viewer::PreviewWindow>([&](viewer::PreviewWindow* p) {
      seen = p->pageLabelText();
      auto* label = p->findChild<QLabel*>(QStringLiteral("label1136"));
      const int strip = label ? label->geometry().bottom() + 12 : 40;
      QVERIFY(p->grab(QRect(0, 0, std::min(p->width(), 560), strip)).save(keep));
      QTest::mouseClick(p->closeButton(), Qt::LeftButton);
    }, 120000);
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    QCOMPARE(seen, QStringLiteral("Page 1/4762"));
  }
};

QTEST_MAIN(TestViewerLabels)
#include "tst_viewer_labels.moc"
