// Cutting segments to a rectangle: ends kept exactly when inside, cut ends on the edges,
// nothing for segments outside, and nothing (not a stray line) for ends that are not
// finite or so far apart that rounding spoils the cut.
#include <QtTest>

#include <cmath>
#include <limits>

#include "toolkit/clip_segment.h"

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

class TestClipSegment : public QObject {
  Q_OBJECT
 private slots:
  void clip_data() {
    // The rectangle is x 0..100, y 0..50.
    QTest::addColumn<QLineF>("segment");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QLineF>("cut");
    QTest::newRow("inside, kept") << QLineF(10, 10, 90, 40) << true << QLineF(10, 10, 90, 40);
    QTest::newRow("on the edges") << QLineF(0, 0, 100, 50) << true << QLineF(0, 0, 100, 50);
    QTest::newRow("crossing left to right")
        << QLineF(-100, 25, 200, 25) << true << QLineF(0, 25, 100, 25);
    QTest::newRow("one end out below") << QLineF(50, 25, 50, 125) << true << QLineF(50, 25, 50, 50);
    QTest::newRow("diagonal through a corner region")
        << QLineF(-10, -10, 60, 60) << true << QLineF(0, 0, 50, 50);
    QTest::newRow("wholly left") << QLineF(-30, 10, -1, 40) << false << QLineF();
    QTest::newRow("past the corner") << QLineF(90, 70, 130, 30) << false << QLineF();
    QTest::newRow("a point inside") << QLineF(5, 5, 5, 5) << true << QLineF(5, 5, 5, 5);
    QTest::newRow("a point outside") << QLineF(-5, 5, -5, 5) << false << QLineF();
    QTest::newRow("NaN end") << QLineF(10, 10, kNaN, 20) << false << QLineF();
    QTest::newRow("infinite end") << QLineF(10, 10, kInf, 20) << false << QLineF();
    QTest::newRow("ends of opposite infinities")
        << QLineF(-kInf, 10, kInf, 10) << false << QLineF();
    QTest::newRow("far ends above the area")
        << QLineF(-1e300, 51.5, 1e300, 51.5) << false << QLineF();
  }
  void clip() {
    QFETCH(QLineF, segment);
    QFETCH(bool, shown);
    QFETCH(QLineF, cut);
    long double ax = segment.x1(), ay = segment.y1(), bx = segment.x2(), by = segment.y2();
    QCOMPARE(toolkit::ClipSegment(ax, ay, bx, by, 0, 100, 0, 50), shown);
    if (!shown) return;
    const QLineF got{static_cast<double>(ax), static_cast<double>(ay), static_cast<double>(bx),
                     static_cast<double>(by)};
    QVERIFY2(
        std::fabs(got.x1() - cut.x1()) < 1e-9 && std::fabs(got.y1() - cut.y1()) < 1e-9 &&
            std::fabs(got.x2() - cut.x2()) < 1e-9 && std::fabs(got.y2() - cut.y2()) < 1e-9,
        qPrintable(QString("%1,%2 %3,%4").arg(got.x1()).arg(got.y1()).arg(got.x2()).arg(got.y2())));
  }

  // Whatever the ends, a segment that shows lies within one unit of the rectangle: ends
  // far apart lose the cut to rounding, and then show nothing or a dot, never a line
  // from far off along an edge.
  void farEndsStayInside() {
    const double far[] = {-1e300, -3e200, -1e20, -7e15, -1e9, 1e9, 3e15, 1e20, 5e200, 1e300};
    const double near[] = {-1, 0, 0.5, 25, 49.9, 50, 51, 99.99, 100, 101};
    int shown = 0;
    for (double a : far)
      for (double b : near)
        for (double c : far)
          for (double d : near) {
            const long double cases[][4] = {{a, b, c, d}, {b, a, d, c}, {a, c, b, d}};
            for (const auto& k : cases) {
              long double ax = k[0], ay = k[1], bx = k[2], by = k[3];
              if (!toolkit::ClipSegment(ax, ay, bx, by, 0, 100, 0, 50)) continue;
              ++shown;
              for (long double x : {ax, bx}) QVERIFY(x >= -1 && x <= 101);
              for (long double y : {ay, by}) QVERIFY(y >= -1 && y <= 51);
            }
          }
    QVERIFY(shown > 0);
  }
};

QTEST_APPLESS_MAIN(TestClipSegment)
#include "tst_clip_segment.moc"
