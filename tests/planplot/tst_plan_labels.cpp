// The zoom-area label of the plan plotter in the dialog font: the whole text of a box over
// a site on the Hong Kong grid (seven-digit coordinates) fits the label, so the last
// northing is never cut off. Measured on the real window after a real drag.
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>

#include "planplot/plan_window.h"

using namespace planplot;

namespace {

// Starts a plot of plan and reference files, answering each "... = " prompt in turn.
bool StartPlot(PlanWindow& w, QStringList answers) {
  QTimer typer;
  typer.setInterval(2);
  QObject::connect(&typer, &QTimer::timeout, [&] {
    toolkit::PromptWindow* area = w.PlotArea();
    const QString t = QString::fromStdString(area->Transcript());
    if (answers.isEmpty() || area->HasPendingKey() || !t.endsWith("= ")) return;
    QTest::keyClicks(area, answers.takeFirst());
    QTest::keyClick(area, Qt::Key_Return);
  });
  typer.start();
  bool timedOut = false;
  QTimer::singleShot(60000, &w, [&] {
    timedOut = true;
    w.close();
  });
  QTest::mouseClick(w.Button(kIdStart), Qt::LeftButton);
  return !timedOut && answers.isEmpty();
}

// The width the label gives its text, and the width the text needs in the label's font.
bool Fits(const QLabel& label, const QString& text, QByteArray& why) {
  const int needed = QFontMetrics(label.font()).horizontalAdvance(text);
  const int room = label.contentsRect().width() - 2 * label.margin();
  why = QString("%1 needs %2 px of %3 in %4")
            .arg(text)
            .arg(needed)
            .arg(room)
            .arg(QFontInfo(label.font()).family())
            .toLatin1();
  return needed <= room;
}

}  // namespace

class TestPlanLabels : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  // The widest texts the label shows for boxes on the grid; in the default sans of the
  // system the label cut them after the second easting.
  void zoomTextsFit_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("site box") << "Zoom Area: 836025.7E  820143.5N -  836083.5E  820201.3N";
    QTest::newRow("widest digits") << "Zoom Area: 888888.8E  888888.8N -  888888.8E  888888.8N";
  }
  void zoomTextsFit() {
    QFETCH(QString, text);
    PlanWindow w(kDarkScheme);
    w.show();
    w.ZoomLabel()->setText(text);
    QByteArray why;
    QVERIFY2(Fits(*w.ZoomLabel(), text, why), why);
  }

  // A box dragged over the sample site and its reference points.
  void dragOverTheSite() {
    const QString samples = qEnvironmentVariable("SUITE_SOURCE_DIR") + "/samples/";
    if (!QFile::exists(samples + "SITE.NEH")) QSKIP("the sample files are not there");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path().toStdString());
    QVERIFY(QFile::copy(samples + "SITE.NEH", "SITE.NEH"));
    QVERIFY(QFile::copy(samples + "SITEREF.NEH", "SITEREF.NEH"));
    PlanWindow w(kDarkScheme);
    w.show();
    QVERIFY(StartPlot(w, {"SITE", "SITEREF"}));
    QTest::mousePress(w.PlotArea(), Qt::LeftButton, {}, QPoint(260, 140));
    QTest::mouseMove(w.PlotArea(), QPoint(760, 520));
    QTest::mouseRelease(w.PlotArea(), Qt::LeftButton, {}, QPoint(760, 520));
    const QString text = w.ZoomLabel()->text();
    QVERIFY2(text.count(QRegularExpression("\\d{6}(\\.\\d)?E")) == 2, qPrintable(text));
    QVERIFY2(text.count(QRegularExpression("\\d{6}(\\.\\d)?N")) == 2, qPrintable(text));
    QByteArray why;
    QVERIFY2(Fits(*w.ZoomLabel(), text, why), why);
    const QString keep = qEnvironmentVariable("PLANDRA_LABEL_SCREENSHOT");
    if (!keep.isEmpty()) QVERIFY(w.grab().save(keep));
    std::filesystem::current_path(old);
  }
};

QTEST_MAIN(TestPlanLabels)
#include "tst_plan_labels.moc"
