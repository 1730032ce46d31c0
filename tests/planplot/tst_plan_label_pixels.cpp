// Labels drawn from stamps are the painter's labels pixel for pixel: every label character,
// several rotations, labels cut at the edges, both colour schemes, the sample site, and
// the real window's plot and saved bitmap after Pt.No and Level.
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <filesystem>

#include "planplot/plan_window.h"
#include "planplot/prompt_canvas.h"

using namespace planplot;

Q_DECLARE_METATYPE(planplot::PlanScheme)

namespace {

struct Area {
  QWidget dialog;
  toolkit::PromptWindow* area = new toolkit::PromptWindow(&dialog, 121, QSize(1050, 700));
  explicit Area(Rgb background) { area->Clear(ToPromptColour(background)); }
};

// Texts made of every pair of label characters, one to twelve characters long.
std::vector<std::string> Texts() {
  const std::string chars = " 0123456789.-+E";
  std::string all;
  for (char a : chars)
    for (char b : chars) all += {a, b};
  std::vector<std::string> texts;
  for (std::size_t at = 0, n = 1; at < all.size(); at += n, n = n % 12 + 1)
    texts.push_back(all.substr(at, n));
  return texts;
}
// Labels on a grid shifted a little in each round, over points and a line.
void DrawGrid(PlanCanvas& canvas, int escapement, const PlanScheme& scheme, int rounds) {
  LabelFont font;
  font.escapement = escapement;
  const std::vector<std::string> texts = Texts();
  std::size_t t = 0;
  for (int round = 0; round < rounds; ++round) {
    canvas.BeginPass(font, PlanMapping{});  // one world unit is one pixel
    canvas.Line(0, 350, 1050, 360, kRed, PenStyle::Dash);
    for (int y = -60 + round * 5 % 23; y < 800; y += 23) {
      for (int x = -90 + round * 11 % 53; x < 1070; x += 53) {
        canvas.Pixel(x, y, kYellow);
        const Rgb colour = t % 3 ? kGreen : scheme.levelLabel;
        canvas.Label({PlanLabel::Number, double(x), double(y), texts[t++ % texts.size()], colour,
                      scheme.background});
      }
    }
    canvas.EndPass();
  }
}

// The first pixel where two images differ.
QByteArray FirstDifference(const QImage& a, const QImage& b) {
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) return QString("at %1, %2").arg(x).arg(y).toLatin1();
  return "none";
}
const QString kSamples = qEnvironmentVariable("SUITE_SOURCE_DIR") + "/samples/";
std::unique_ptr<NehSource> OpenSample(const std::string& name) {
  return OpenNehFile(kSamples.toStdString() + name);
}

}  // namespace

class TestPlanLabelPixels : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  // Passes drawn one after the other on one canvas, each in its rotation; the last row
  // changes the rotation between passes (stamps kept from the first would draw askew).
  void gridMatchesPainter_data() {
    QTest::addColumn<PlanScheme>("scheme");
    QTest::addColumn<QList<int>>("escapements");
    QTest::newRow("dark, plan rotation") << kDarkScheme << QList<int>{100};
    QTest::newRow("light, plan rotation") << kLightScheme << QList<int>{100};
    QTest::newRow("upright") << kDarkScheme << QList<int>{0};
    QTest::newRow("45 degrees") << kLightScheme << QList<int>{450};
    QTest::newRow("reading upward") << kDarkScheme << QList<int>{900};  // exact rotations
    QTest::newRow("clockwise") << kLightScheme << QList<int>{-300};
    QTest::newRow("steep") << kDarkScheme << QList<int>{2950};
    QTest::newRow("rotation changes") << kDarkScheme << QList<int>{100, 2700, 100};
  }
  void gridMatchesPainter() {
    QFETCH(PlanScheme, scheme);
    QFETCH(QList<int>, escapements);
    Area stamped(scheme.background), painted(scheme.background);
    PromptCanvas fast(stamped.area), slow(painted.area, LabelDrawing::Painted);
    for (int escapement : escapements) {
      DrawGrid(fast, escapement, scheme, 24 / int(escapements.size()));
      DrawGrid(slow, escapement, scheme, 24 / int(escapements.size()));
    }
    QVERIFY2(stamped.area->Image() == painted.area->Image(),
             FirstDifference(stamped.area->Image(), painted.area->Image()));
  }

  // A large font's tall glyphs reach over the top edge while the characters' origins lie
  // inside, the label's corner a pixel lower each time.
  void tallGlyphsAtTheTop() {
    for (int k = 0; k <= 40; ++k) {
      Area stamped(kDarkScheme.background), painted(kDarkScheme.background);
      PromptCanvas fast(stamped.area), slow(painted.area, LabelDrawing::Painted);
      for (PlanCanvas* c : {static_cast<PlanCanvas*>(&fast), static_cast<PlanCanvas*>(&slow)}) {
        c->BeginPass(LabelFont{"Arial", 60, 0}, PlanMapping{});
        c->Label({PlanLabel::Number, 300.3, -45.0 + k, " 0123456789", kGreen, 0});
        c->EndPass();
      }
      QVERIFY2(stamped.area->Image() == painted.area->Image(),
               FirstDifference(stamped.area->Image(), painted.area->Image()));
    }
  }

  // The sample site and its reference points, whole and zoomed in (labels cut at edges).
  void sampleSite_data() {
    QTest::addColumn<PlanScheme>("scheme");
    QTest::addColumn<double>("zoom");  // the part of the site's width shown
    QTest::newRow("dark, whole site") << kDarkScheme << 1.0;
    QTest::newRow("light, whole site") << kLightScheme << 1.0;
    QTest::newRow("dark, zoomed in") << kDarkScheme << 0.15;
    QTest::newRow("light, zoomed in") << kLightScheme << 0.15;
  }
  void sampleSite() {
    QFETCH(PlanScheme, scheme);
    QFETCH(double, zoom);
    if (!QFile::exists(kSamples + "SITE.NEH")) QSKIP("the sample files are not there");
    PlanState s;
    s.mainFileName = "SITE.NEH", s.referenceFileName = "SITEREF.NEH", s.referencePresent = true;
    ScanFullExtent(s, OpenSample);
    FitViewWindow(s);
    const double cE = (s.Eleft + s.Eright) / 2, cN = (s.Nbottom + s.Ntop) / 2;
    const double half = (s.Eright - s.Eleft) * zoom / 2;
    ApplyWorldWindow(s.mapping, cE - half, cN + half * 2 / 3, cE + half, cN - half * 2 / 3);
    s.showNumbers = s.showLevels = true;
    Area stamped(scheme.background), painted(scheme.background);
    PromptCanvas fast(stamped.area), slow(painted.area, LabelDrawing::Painted);
    PlanState a = s;
    QVERIFY(DrawPlanPass(a, scheme, OpenSample, fast).fault.empty());
    QVERIFY(DrawPlanPass(s, scheme, OpenSample, slow).fault.empty());
    QVERIFY2(stamped.area->Image() == painted.area->Image(),
             FirstDifference(stamped.area->Image(), painted.area->Image()));
  }

  // After Start, Pt.No and Level the window shows and saves the painter's picture.
  void windowAndBitmap_data() {
    QTest::addColumn<PlanScheme>("scheme");
    QTest::newRow("plandra") << kDarkScheme;
    QTest::newRow("plandra-light") << kLightScheme;
  }
  void windowAndBitmap() {
    QFETCH(PlanScheme, scheme);
    if (!QFile::exists(kSamples + "SITE.NEH")) QSKIP("the sample files are not there");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path().toStdString());
    QVERIFY(QFile::copy(kSamples + "SITE.NEH", "SITE.NEH"));
    QVERIFY(QFile::copy(kSamples + "SITEREF.NEH", "SITEREF.NEH"));
    PlanWindow w(scheme);
    w.show();
    QStringList answers{"SITE", "SITEREF"};
    QTimer typer;
    connect(&typer, &QTimer::timeout, [&] {
      const QString t = QString::fromStdString(w.PlotArea()->Transcript());
      if (answers.isEmpty() || w.PlotArea()->HasPendingKey() || !t.endsWith("= ")) return;
      QTest::keyClicks(w.PlotArea(), answers.takeFirst());
      QTest::keyClick(w.PlotArea(), Qt::Key_Return);
    });
    typer.start(2);
    QTest::mouseClick(w.Button(kIdStart), Qt::LeftButton);
    QVERIFY(answers.isEmpty());
    QTest::mouseClick(w.Button(kIdNumbers), Qt::LeftButton);
    QTest::mouseClick(w.Button(kIdLevels), Qt::LeftButton);
    QTest::mouseClick(w.Button(kIdBmp), Qt::LeftButton);
    Area painted(scheme.background);
    PlanState s = w.State();
    for (int pass = 0; pass < 3; ++pass) {
      s.showNumbers = pass >= 1;
      s.showLevels = pass >= 2;
      PromptCanvas slow(painted.area, LabelDrawing::Painted);
      DrawPlanPass(s, scheme, OpenNehFile, slow);
    }
    QVERIFY2(w.PlotArea()->Image() == painted.area->Image(),
             FirstDifference(w.PlotArea()->Image(), painted.area->Image()));
    QVERIFY(painted.area->SaveImage("painted.bmp"));
    QFile saved("Plan 1.bmp"), expected("painted.bmp");
    QVERIFY(saved.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll() == expected.readAll());  // the saved bitmap too
    std::filesystem::current_path(old);
  }
};

QTEST_MAIN(TestPlanLabelPixels)
#include "tst_plan_label_pixels.moc"
