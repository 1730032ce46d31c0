// The viewer as a surveyor meets it: the main window, opening files through the
// open-file dialog, margins, font, and the preview with its navigation, zoom and
// scrolling, all driven through the real windows. Runs without a printer, once with a
// metric and once with a U.S. locale.
#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "modal_driver.h"
#include "platform/platform.h"
#include "survey_writer.h"
#include "viewer/main_window.h"
#include "viewer/page_image.h"
#include "viewer/preview.h"
#include "viewer/viewer_art.h"

using viewertest::WhenModal;
using viewertest::WhenModalOf;

namespace {

// Types a path into the open-file dialog and accepts it; after() runs once accepted,
// still inside the dialog's loop.
void AnswerOpenDialog(const QString& path, std::function<void(QFileDialog*)> check = {},
                      std::function<void()> after = {}) {
  WhenModalOf<QFileDialog>([=](QFileDialog* d) {
    if (check) check(d);
    auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit != nullptr);
    edit->setText(path);
    static_cast<QDialog*>(d)->accept();
    if (after) after();
  });
}

QString MessageSeen;
QString MessageTitleSeen;
void AnswerMessage() {
  WhenModalOf<QMessageBox>([](QMessageBox* m) {
    MessageSeen = m->text();
    MessageTitleSeen = m->windowTitle();
    m->accept();
  });
}

// Runs check on the preview while it is open, then closes it with its Close button.
void InPreview(std::function<void(viewer::PreviewWindow*)> check) {
  WhenModalOf<viewer::PreviewWindow>([check](viewer::PreviewWindow* p) {
    check(p);
    QTest::mouseClick(p->closeButton(), Qt::LeftButton);
  });
}

QStringList EditLines(const viewer::MainWindow& w) {
  return w.editBox()->toPlainText().split(QLatin1Char('\n'));
}

}  // namespace

class TestViewerWindow : public QObject {
  Q_OBJECT

  std::string dir_;
  QString Path(const char* name) const { return QString::fromStdString(dir_) + "/" + name; }
  bool us_ = false;

 private slots:
  void initTestCase() {
    dir_ = testsupport::MakeTempDir("viewer_window");
    us_ = platform::MeasurementSystem() == 1;
    qInfo("locale measurement system: %s", us_ ? "U.S." : "metric");
  }
  void cleanupTestCase() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  void cleanup() {
    QVERIFY2(!viewertest::WatchdogFired(), "a dialog did not appear or did not close in time");
    viewertest::CloseAllModals();
  }

  void mainWindowLayout() {
    viewer::MainWindow w;
    w.show();
    QCOMPARE(w.windowTitle(), QString("QOVA File View"));
    QCOMPARE(w.size(), QSize(570, 390));  // 380 x 240 dialog units
    const QRect area = w.screen()->availableGeometry();
    QCOMPARE(w.geometry().center(), area.center());
    QVERIFY(!w.windowIcon().isNull());
    const QList<QPair<QPushButton*, QString>> buttons = {{w.openButton(), "&Open"},
                                                         {w.previewButton(), "&Preview"},
                                                         {w.marginsButton(), "&Margins"},
                                                         {w.fontButton(), "&Font"},
                                                         {w.exitButton(), "E&xit"}};
    const int xs[] = {3, 78, 159, 234, 315};
    for (int k = 0; k < buttons.size(); ++k) {
      QCOMPARE(buttons[k].first->text(), buttons[k].second);
      QCOMPARE(buttons[k].first->geometry(), QRect(xs[k], 5, 75, 23));
    }
    // The edit box: editable, Courier New 10 pt (its metric twin), below the buttons.
    QVERIFY(!w.editBox()->isReadOnly());
    QCOMPARE(w.editBox()->font().pointSize(), 10);
    QCOMPARE(QFontInfo(w.editBox()->font()).family(), QFontInfo(QFont("Courier New")).family());
    QCOMPARE(w.editBox()->geometry(), QRect(0, 33, 570, 390 - 33));
    w.resize(800, 600);
    QCOMPARE(w.editBox()->geometry(), QRect(0, 33, 800, 600 - 33));
    // Exit closes the window.
    QTest::mouseClick(w.exitButton(), Qt::LeftButton);
    QVERIFY(!w.isVisible());
  }

  // The quick width of a fixed-pitch font is the width of the laid-out text.
  void textWidthMatchesLayout_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("size");
    QTest::newRow("Courier New 10") << "Courier New" << 10;
    QTest::newRow("Courier New 11") << "Courier New" << 11;
    QTest::newRow("Liberation Mono 7") << "Liberation Mono" << 7;
    QTest::newRow("Arial 10 (proportional)") << "Arial" << 10;
  }
  void textWidthMatchesLayout() {
    QFETCH(QString, family);
    QFETCH(int, size);
    QImage image(1, 1, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(96 / 0.0254));
    image.setDotsPerMeterY(qRound(96 / 0.0254));
    const QFont font(family, size);
    const viewer::TextWidthFn width = viewer::TextWidthOn(font, &image);
    const QFontMetrics fm(font, &image);
    const QStringList samples = {"",
                                 " ",
                                 "PT.   NORTHINGS     EASTINGS     HEIGHT   CODE",
                                 " 1   815000.2500   832000.5000   12.5000   3",
                                 QString(300, 'W'),
                                 QString::fromLatin1("h\xf6he \xa0\xff"),
                                 "tab\there",
                                 QString::fromUtf8("\xe4\xb8\xad\xe6\x96\x87 mixed")};
    for (const QString& t : samples) QCOMPARE(width(t.toStdU16String()), fm.horizontalAdvance(t));
  }

  void iconAndCursorArt() {
    const QImage icon = viewer::AppIconImage();
    QCOMPARE(icon.size(), QSize(16, 16));
    QCOMPARE(icon.pixelColor(5, 5), QColor(Qt::white));  // the page
    QSet<QRgb> colours;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) colours.insert(icon.pixel(x, y));
    QVERIFY(colours.size() <= 16);
    const QImage cursor = viewer::ZoomCursorImage();
    QCOMPARE(cursor.size(), QSize(32, 32));
    QCOMPARE(qAlpha(cursor.pixel(viewer::kZoomHotX, viewer::kZoomHotY)), 0);  // inside the lens
    QCOMPARE(qAlpha(cursor.pixel(0, 0)), 0);
    const QCursor c = viewer::ZoomCursor();
    QCOMPARE(c.hotSpot(), QPoint(10, 8));
  }

  void openNehFile() {
    const QString path = Path("SITE.NEH");
    QVERIFY(testsupport::WriteSurveyFile(
        path.toStdString(), {{815000.25, 832000.5, 30012.5}, {-5.0, 1.0, -30012.5}}, 24));
    viewer::MainWindow w;
    w.show();
    w.state().lastFolder = QString(Path("")).toStdString();
    AnswerOpenDialog(path, [&](QFileDialog* d) {
      QCOMPARE(d->nameFilters(), viewer::OpenFileFilters());
      QCOMPARE(d->nameFilters().first(), QString("Vald files (*.NEH;*.SEC;*.DAT;*.STN;*.SOL)"));
      QCOMPARE(d->defaultSuffix(), QString("BAS"));
      QCOMPARE(d->fileMode(), QFileDialog::ExistingFile);
      QCOMPARE(QDir(d->directory()).absolutePath(), QDir(Path("")).absolutePath());
    });
    QTest::mouseClick(w.openButton(), Qt::LeftButton);
    QCOMPARE(w.windowTitle(), "QOVA File View - " + path);
    QCOMPARE(EditLines(w), (QStringList{"PT.   NORTHINGS     EASTINGS     HEIGHT   CODE",
                                        " 1   815000.2500   832000.5000   12.5000   3",
                                        " 2   5.0000   1.0000  -12.5000   3", ""}));
    QCOMPARE(QString::fromStdString(w.state().lastFolder), Path(""));
    // The preview takes the edit box's lines with CR LF.
    QVERIFY(w.documentText().startsWith("PT.   NORTHINGS     EASTINGS     HEIGHT   CODE\r\n 1 "));
  }

  void cancelledOpenChangesNothing() {
    viewer::MainWindow w;
    w.show();
    w.editBox()->setPlainText("kept");
    WhenModalOf<QFileDialog>([](QFileDialog* d) { d->reject(); });
    QTest::mouseClick(w.openButton(), Qt::LeftButton);
    QCOMPARE(w.editBox()->toPlainText(), QString("kept"));
    QCOMPARE(w.windowTitle(), QString("QOVA File View"));
  }

  // A file that cannot be read: the message, the edit box keeps its text, the caption
  // already names the file.
  void failedOpens_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("vanished") << "gone.TXT"
                              << "The file does not exist.";
    QTest::newRow("held by another program") << "held.TXT"
                                             << "Permission denied";
  }
  void failedOpens() {
    QFETCH(QString, name);
    QFETCH(QString, message);
    const QString path = Path(qPrintable(name));
    QVERIFY(testsupport::WriteBytes(path.toStdString(), "contents"));
    int held = -1;
    if (name.startsWith("held")) {
      held = ::open(path.toLocal8Bit().constData(), O_RDONLY);
      QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
    }
    viewer::MainWindow w;
    w.show();
    w.editBox()->setPlainText("kept");
    MessageSeen.clear();
    AnswerOpenDialog(path, {}, [&] {
      if (held < 0) QFile::remove(path);  // gone between the choice and the reading
    });
    AnswerMessage();
    QTest::mouseClick(w.openButton(), Qt::LeftButton);
    if (held >= 0) ::close(held);
    QCOMPARE(MessageSeen, message);
    QCOMPARE(MessageTitleSeen, QString("Error"));
    QCOMPARE(w.editBox()->toPlainText(), QString("kept"));
    QCOMPARE(w.windowTitle(), "QOVA File View - " + path);
  }

  // The edit box takes the text up to its first zero byte; a text file byte for byte.
  void editBoxText_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("SEC name padded with zero bytes")
        << "Z.SEC" << QByteArray("CH1\0\0\0\0\0  100.00", 16)
        << "PT.  DIST     HEIGHT      REMARKS\n 1  CH1";
    QTest::newRow("text with a zero byte")
        << "z.TXT" << QByteArray("before\0after", 12) << "before";
    QTest::newRow("text with tabs") << "t.XYZ" << QByteArray("a\tb\r\nc") << "a\tb\nc";
    QTest::newRow("UTF-8 text") << "u.TXT" << QByteArray("h\xc3\xb6he")
                                << QString::fromUtf8("h\xc3\xb6he");
    QTest::newRow("Latin-1 text") << "l.TXT" << QByteArray("h\xf6he")
                                  << QString::fromLatin1("h\xf6he");
  }
  void editBoxText() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const QString path = Path(qPrintable(name));
    QVERIFY(testsupport::WriteBytes(path.toStdString(), bytes.toStdString()));
    viewer::MainWindow w;
    w.show();
    AnswerOpenDialog(path);
    QTest::mouseClick(w.openButton(), Qt::LeftButton);
    QCOMPARE(w.editBox()->toPlainText(), shown);
  }

  // Preview of an empty edit box: one page, all navigation disabled, focus on Close.
  void previewOfEmptyText() {
    viewer::MainWindow w;
    w.show();
    bool seen = false;
    InPreview([&](viewer::PreviewWindow* p) {
      seen = true;
      QCOMPARE(p->windowTitle(), QString("QOVA File View"));
      QCOMPARE(p->pageLabelText(), QString("Page 1/1"));
      QCOMPARE(p->lines(), (viewer::PageLines{u" ", u""}));
      for (QPushButton* b :
           {p->firstButton(), p->previousButton(), p->nextButton(), p->lastButton()})
        QVERIFY(!b->isEnabled());
      QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), p->closeButton(),
                                3000);  // once active
      // Geometry: 90 % of the work area, centred, not smaller than 200 x 200.
      const QRect area = p->screen()->availableGeometry();
      QCOMPARE(p->size(), QSize(qRound(area.width() * 0.9), qRound(area.height() * 0.9)));
      QVERIFY(qAbs(p->geometry().center().x() - area.center().x()) <= 1);
      QCOMPARE(p->minimumSize(), QSize(200, 200));
      // The toolbar.
      QCOMPARE(p->printButton()->text(), QString("&Print"));
      QCOMPARE(p->printButton()->geometry(), QRect(3, 3, 66, 20));
      QCOMPARE(p->firstButton()->geometry(), QRect(81, 3, 33, 20));
      QCOMPARE(p->lastButton()->geometry(), QRect(180, 3, 33, 20));
      QCOMPARE(p->zoomButton()->geometry(), QRect(285, 3, 66, 20));
      QCOMPARE(p->closeButton()->geometry(), QRect(363, 3, 66, 20));
      QCOMPARE(p->closeButton()->text(), QString("&Close"));
      // Without a printer the page is the screen's A4 or letter.
      const viewer::PageSettings& s = w.state().settings;
      QCOMPARE(s.printerResolutionX, s.screenResolutionX);
      QCOMPARE(qRound(s.pageWidth),
               us_ ? qRound(8.5 * s.screenResolutionX) : qRound(21 / 2.54 * s.screenResolutionX));
      QCOMPARE(p->canvas()->pageImage.size(),
               us_ ? QSize(qRound(8.5 * s.screenResolutionX), 11 * s.screenResolutionY)
                   : QSize(qRound(21 / 2.54 * s.screenResolutionX),
                           qRound(29.7 / 2.54 * s.screenResolutionY)));
      // The heading is drawn in the top margin.
      const QImage& img = p->canvas()->pageImage;
      bool inked = false;
      for (int x = 0; x < img.width() && !inked; ++x)
        for (int y = 0; y < qRound(s.topMarginPixels); ++y)
          if (img.pixelColor(x, y) != QColor(Qt::white)) {
            inked = true;
            break;
          }
      QVERIFY(inked);
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    QVERIFY(seen);
  }

  // Three pages: buttons and focus follow the navigation table.
  void navigation() {
    viewer::MainWindow w;
    w.show();
    // Lines per page of the settings font on the screen's page: 60 or so; make 2 pages
    // and one line.
    QString text;
    for (int k = 1; k <= 130; ++k) text += QString("line %1\n").arg(k);
    w.editBox()->setPlainText(text);
    InPreview([&](viewer::PreviewWindow* p) {
      const int lpp = w.state().settings.linesPerPage;
      QVERIFY(lpp > 40 && lpp < 131);
      const int pages = w.state().settings.pageCount;
      QCOMPARE(pages, int(p->lines().size()) / lpp + 1);
      QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), p->closeButton(),
                                3000);  // once active
      QVERIFY(!p->firstButton()->isEnabled() && !p->previousButton()->isEnabled());
      QVERIFY(p->nextButton()->isEnabled() && p->lastButton()->isEnabled());

      QTest::mouseClick(p->nextButton(), Qt::LeftButton);
      QCOMPARE(p->currentPage(), 2);
      QVERIFY(p->firstButton()->isEnabled() && p->previousButton()->isEnabled());
      QCOMPARE(p->pageLabelText(), QString("Page 2/%1").arg(pages));

      QTest::mouseClick(p->lastButton(), Qt::LeftButton);
      QCOMPARE(p->currentPage(), pages);
      QVERIFY(!p->nextButton()->isEnabled() && !p->lastButton()->isEnabled());
      QCOMPARE(QApplication::focusWidget(), p->previousButton());

      QTest::mouseClick(p->previousButton(), Qt::LeftButton);
      QCOMPARE(p->currentPage(), pages - 1);
      QVERIFY(p->nextButton()->isEnabled() && p->lastButton()->isEnabled());

      QTest::mouseClick(p->firstButton(), Qt::LeftButton);
      QCOMPARE(p->currentPage(), 1);
      QVERIFY(!p->firstButton()->isEnabled() && !p->previousButton()->isEnabled());
      QCOMPARE(QApplication::focusWidget(), p->nextButton());
      QCOMPARE(p->pageLabelText(), QString("Page 1/%1").arg(pages));

      // Forward one page at a time: at the last the focus moves to "<".
      for (int k = 1; k < pages; ++k) QTest::mouseClick(p->nextButton(), Qt::LeftButton);
      QCOMPARE(p->currentPage(), pages);
      QCOMPARE(QApplication::focusWidget(), p->previousButton());
      // Back to the first: the focus moves to ">".
      for (int k = 1; k < pages; ++k) QTest::mouseClick(p->previousButton(), Qt::LeftButton);
      QCOMPARE(QApplication::focusWidget(), p->nextButton());
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
  }

  // Fit, 75 % and 100 %: the page view's place, frame, guides and scroll bars.
  void zoomAndScroll() {
    viewer::MainWindow w;
    w.show();
    w.editBox()->setPlainText("ABC");
    InPreview([&](viewer::PreviewWindow* p) {
      viewer::ViewerCanvas* c = p->canvas();
      const viewer::PageSettings& s = w.state().settings;
      QCOMPARE(s.zoom, 0);
      // Fit: a 7-pixel gap, no bars.
      QVERIFY(!c->hShown() && !c->vShown());
      QCOMPARE(qRound(s.viewHeight), c->clientSize().height() - 14);
      QCOMPARE(c->view()->y(), 7);
      const QImage& pic = c->view()->picture;
      QCOMPARE(pic.size(), c->view()->size());
      QCOMPARE(pic.pixelColor(2, pic.height() / 2), QColor(49, 105, 198));  // the frame
      // A dotted guide at the left margin.
      const int lg = qRound(s.viewLeftGuide);
      int dots = 0;
      for (int y = 20; y < 60; ++y) dots += pic.pixelColor(lg, y) != QColor(Qt::white);
      QVERIFY(dots >= 8 && dots <= 32);
      QCOMPARE(c->view()->cursor().hotSpot(), QPoint(10, 8));

      // Zoom button: 75 %, then 100 %: the page at its true size, with bars.
      QTest::mouseClick(p->zoomButton(), Qt::LeftButton);
      QCOMPARE(s.zoom, 75);
      QTest::mouseClick(p->zoomButton(), Qt::LeftButton);
      QCOMPARE(s.zoom, 100);
      QCOMPARE(c->view()->size(), c->pageImage.size());
      QVERIFY(c->vShown());
      // A line and a page down on the vertical bar.
      QScrollBar* vb = c->verticalBar();
      vb->setValue(0);
      vb->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      QCOMPARE(vb->value(), 10);
      QCOMPARE(c->view()->y(), 7 - 10);
      vb->triggerAction(QAbstractSlider::SliderPageStepAdd);
      QCOMPARE(vb->value(), qMin(10 + c->vPageSize(), vb->maximum()));
      // The wheel turned towards the user scrolls down by the lines setting.
      vb->setValue(0);
      QWheelEvent down(QPointF(50, 50), c->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(c, &down);
      QCOMPARE(vb->value(), 10 * qMax(QApplication::wheelScrollLines(), 1));
      // With the middle button held it scrolls across, one line a notch.
      if (c->hShown()) {
        QScrollBar* hb = c->horizontalBar();
        hb->setValue(0);
        QWheelEvent across(QPointF(50, 50), c->mapToGlobal(QPointF(50, 50)), QPoint(),
                           QPoint(0, -120), Qt::MiddleButton, Qt::NoModifier, Qt::NoScrollPhase,
                           false);
        QApplication::sendEvent(c, &across);
        QCOMPARE(hb->value(), 10);
      }

      // Zoom back to fit: the bars go again.
      QTest::mouseClick(p->zoomButton(), Qt::LeftButton);
      QCOMPARE(s.zoom, 0);
      QVERIFY(!c->hShown() && !c->vShown());

      // A click in the lower part of the fitted page: 75 % with the bar far down.
      const QPoint at(c->view()->width() / 2, c->view()->height() * 9 / 10);
      QTest::mouseClick(c->view(), Qt::LeftButton, Qt::NoModifier, at);
      QCOMPARE(s.zoom, 75);
      QVERIFY(c->vShown());
      QCOMPARE(vb->value(), vb->maximum());
      // A click near the top of the 75 % view: 100 %, bar at the top.
      QTest::mouseClick(c->view(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 5 - c->view()->y()));
      QCOMPARE(s.zoom, 100);
      // Resizing lays the page out again; the window keeps at least 200 x 200.
      QTest::mouseClick(p->zoomButton(), Qt::LeftButton);  // fit
      p->resize(100, 100);
      QVERIFY(p->width() >= 200 && p->height() >= 200);
      p->resize(400, 500);
      QCOMPARE(c->width(), p->width());
      QCOMPARE(qRound(s.viewHeight), c->clientSize().height() - 14);
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
  }

  void escapeClosesThePreview() {
    viewer::MainWindow w;
    w.show();
    bool open = false;
    WhenModalOf<viewer::PreviewWindow>([&](viewer::PreviewWindow* p) {
      open = true;
      QTest::keyClick(p, Qt::Key_Escape);
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    QVERIFY(open);
  }

  // Margins that leave no room for a line: a message, and one line a page.
  void noRoomForText() {
    viewer::MainWindow w;
    w.show();
    viewer::PageSettings& s = w.state().settings;
    s.topMargin = s.bottomMargin = 160;
    MessageSeen.clear();
    AnswerMessage();
    InPreview([&](viewer::PreviewWindow* p) {
      QCOMPARE(s.linesPerPage, 1);
      QCOMPARE(s.pageCount, 3);  // " " and the empty element
      QCOMPARE(p->pageLabelText(), QString("Page 1/3"));
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    QVERIFY(MessageSeen.contains("no room"));
  }

  // The page setup dialog shows the margins in the locale's units; OK stores them.
  void margins() {
    viewer::MainWindow w;
    w.show();
    const float start = us_ ? 20.32f : 20.0f;
    QCOMPARE(w.state().settings.leftMargin, start);
    double shown = -1;
    WhenModalOf<QPageSetupDialog>([&](QPageSetupDialog* d) {
      auto* left = d->findChild<QDoubleSpinBox*>("leftMargin");
      QVERIFY(left != nullptr);
      shown = left->value();
      QVERIFY(!d->findChild<QComboBox*>("pageSizeCombo")->isEnabled());
      left->setValue(us_ ? 1.0 : 25.0);
      d->accept();
    });
    QTest::mouseClick(w.marginsButton(), Qt::LeftButton);
    // 2000 hundredths of a millimetre, or 800 thousandths of an inch.
    QCOMPARE(shown, us_ ? 0.8 : 20.0);
    QCOMPARE(w.state().settings.leftMargin, us_ ? 25.4f : 25.0f);
    QCOMPARE(w.state().settings.topMargin, start);
    // Cancel changes nothing.
    WhenModalOf<QPageSetupDialog>([](QPageSetupDialog* d) {
      d->findChild<QDoubleSpinBox*>("topMargin")->setValue(5);
      d->reject();
    });
    QTest::mouseClick(w.marginsButton(), Qt::LeftButton);
    QCOMPARE(w.state().settings.topMargin, start);
  }

  void font() {
    viewer::MainWindow w;
    w.show();
    QFont offered;
    bool effectsShown = true;
    WhenModalOf<QFontDialog>([&](QFontDialog* d) {
      offered = d->currentFont();
      effectsShown = false;
      for (QCheckBox* c : d->findChildren<QCheckBox*>()) effectsShown |= c->isVisible();
      QFont f("Liberation Serif");
      f.setPointSize(14);
      f.setBold(true);
      d->setCurrentFont(f);
      d->accept();
    });
    QTest::mouseClick(w.fontButton(), Qt::LeftButton);
    QCOMPARE(QFontInfo(offered).family(), QFontInfo(QFont("Courier New")).family());
    QCOMPARE(offered.pointSize(), 10);
    QVERIFY(!effectsShown);
    const viewer::PageSettings& s = w.state().settings;
    QCOMPARE(QString(s.fontName), QString("Liberation Serif"));
    QCOMPARE(s.fontSize, 14);
    QCOMPARE(s.fontStyle, 1);
    QCOMPARE(QFontInfo(w.editBox()->font()).family(), QString("Liberation Serif"));
    QCOMPARE(w.editBox()->font().pointSize(), 14);
    // The preview takes the new font: fewer, taller lines a page.
    InPreview([&](viewer::PreviewWindow* p) {
      QCOMPARE(p->canvas()->font.family(), QString("Liberation Serif"));
      QVERIFY(p->canvas()->font.bold());
      QVERIFY(s.linesPerPage < 50);
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    // Cancel keeps the font.
    WhenModalOf<QFontDialog>([](QFontDialog* d) { d->reject(); });
    QTest::mouseClick(w.fontButton(), Qt::LeftButton);
    QCOMPARE(s.fontSize, 14);
  }

  // Without any printer, Print says so and prints nothing; the preview stays.
  void printWithoutPrinter() {
    viewer::MainWindow w;
    w.show();
    MessageSeen.clear();
    InPreview([&](viewer::PreviewWindow* p) {
      AnswerMessage();
      QTest::mouseClick(p->printButton(), Qt::LeftButton);
      QVERIFY(p->isVisible());
      QVERIFY(p->printButton()->isEnabled());
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
    QVERIFY(MessageSeen.contains("no printer"));
  }

  // Pictures for the documentation, when asked for (VIEWER_SCREENSHOT_DIR).
  void screenshots() {
    const QString out = qEnvironmentVariable("VIEWER_SCREENSHOT_DIR");
    if (out.isEmpty()) QSKIP("VIEWER_SCREENSHOT_DIR not set");
    QString path = qEnvironmentVariable("SUITE_SOURCE_DIR") + "/samples/SITE.NEH";
    if (!QFile::exists(path)) {
      path = Path("SITE.NEH");
      std::vector<testsupport::Record> recs;
      for (int k = 0; k < 150; ++k)
        recs.push_back({818250.0 + k * 3.217, 836410.0 + k * 2.481,
                        testsupport::PackHeight(12.5 + (k % 17) * 0.137, k % 5)});
      QVERIFY(testsupport::WriteSurveyFile(path.toStdString(), recs, 24));
      qInfo("samples/SITE.NEH is missing: a file of 150 points stands in");
    }
    viewer::MainWindow w;
    w.show();
    AnswerOpenDialog(path);
    QTest::mouseClick(w.openButton(), Qt::LeftButton);
    QVERIFY(w.grab().save(out + "/brisel.png"));
    InPreview([&](viewer::PreviewWindow* p) {
      QVERIFY(p->grab().save(out + "/brisel-preview-fit.png"));
      QTest::mouseClick(p->zoomButton(), Qt::LeftButton);
      QTest::mouseClick(p->zoomButton(), Qt::LeftButton);
      QVERIFY(p->grab().save(out + "/brisel-preview-100.png"));
    });
    QTest::mouseClick(w.previewButton(), Qt::LeftButton);
  }
};

QTEST_MAIN(TestViewerWindow)
#include "tst_viewer_window.moc"
