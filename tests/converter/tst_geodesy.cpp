// Geodesy of the converter: constants, arc and radii, footpoint, both projections in
// every definition, zone rules, and the typed / packed / shown angle formats.
#include <QtTest>

#include <cmath>
#include <limits>

#include "converter/geodesy.h"

using namespace norvane;

Q_DECLARE_METATYPE(norvane::Ellipsoid)
Q_DECLARE_METATYPE(norvane::Projection)
Q_DECLARE_METATYPE(norvane::Fault)

namespace {
ProjectionParams Params(const Ellipsoid& e, const Projection& p) {
  ProjectionParams r;
  SetProjection(r, e, p);
  return r;
}
// Points spread over the Hong Kong area (latitude, longitude in degrees).
QList<QPair<double, double>> HongKongPoints() {
  QList<QPair<double, double>> pts;
  for (double lat = 22.10; lat <= 22.62; lat += 0.065)
    for (double lon = 113.80; lon <= 114.52; lon += 0.09) pts.append({lat, lon});
  return pts;
}
}  // namespace

class TestGeodesy : public QObject {
  Q_OBJECT
 private slots:
  void constants();
  void radii_data();
  void radii();
  void quarterMeridian_data();
  void quarterMeridian();
  void footpoint_data();
  void footpoint();
  void footpointIsBounded();
  void originForward_data();
  void originForward();
  void inverseThenForward_data();
  void inverseThenForward();
  void fastEqualsPlain_data();
  void fastEqualsPlain();
  void outOfRange_data();
  void outOfRange();
  void zoneByLongitude_data();
  void zoneByLongitude();
  void zoneByTrial_data();
  void zoneByTrial();
  void val_data();
  void val();
  void parseDms_data();
  void parseDms();
  void packDms_data();
  void packDms();
  void dmsText_data();
  void dmsText();
  void maskText_data();
  void maskText();
  void angleTextRoundTrip();
};

void TestGeodesy::constants() {
  // pi of ten digits, not M_PI: the tables' last digits depend on it.
  QCOMPARE(kDegToRad, 0.017453292522222223);
  QCOMPARE(RadToDeg(1.0), 180.0 / 3.141592654);
  ProjectionParams p = Params(kWgs84, kGrid84Projection);
  QCOMPARE(p.f, 1.0 / 298.2572235634);
  QCOMPARE(p.a, 6378137.0);
  QCOMPARE(p.lat0, 22.3106027777778 * 0.017453292522222223);
  p = Params(kInternational1924, kUtmZone50);
  QCOMPARE(p.f, 1.0 / 297.0);
  QCOMPARE(p.e2, 2.0 / 297.0 - 1.0 / (297.0 * 297.0));
  QCOMPARE(p.lon0, 117.0 * kDegToRad);
  QCOMPARE(p.k0, 0.9996);
  QCOMPARE(p.FE, 500000.0);
}

void TestGeodesy::radii_data() {
  QTest::addColumn<Ellipsoid>("ell");
  QTest::newRow("International 1924") << kInternational1924;
  QTest::newRow("WGS 84") << kWgs84;
}

void TestGeodesy::radii() {
  QFETCH(Ellipsoid, ell);
  const ProjectionParams p = Params(ell, kUtmZone49);
  const double e2 = p.e2;
  // Equator: nu = a, rho = a (1 - e2); pole: both a / sqrt(1 - e2).
  QCOMPARE(PrimeVerticalRadius(p, 0), ell.a);
  QCOMPARE(MeridianRadius(p, 0), ell.a * (1 - e2));
  const double pole = M_PI / 2;
  QVERIFY(std::fabs(PrimeVerticalRadius(p, pole) - ell.a / std::sqrt(1 - e2)) < 1e-6);
  QVERIFY(std::fabs(MeridianRadius(p, pole) - ell.a / std::sqrt(1 - e2)) < 1e-6);
  QVERIFY(std::fabs(CurvatureRatio(p, 0) - 1 / (1 - e2)) < 1e-15);
  // The derivative of the arc is the meridian radius.
  for (double phi : {0.1, 0.39, 0.8, 1.3}) {
    const double h = 1e-5;
    const double slope = (MeridianArc(p, phi + h) - MeridianArc(p, phi - h)) / (2 * h);
    // (the arc's series stops at e^6: the two agree to a few centimetres)
    QVERIFY2(std::fabs(slope - MeridianRadius(p, phi)) < 0.1, qPrintable(QString::number(phi)));
  }
}

void TestGeodesy::quarterMeridian_data() {
  QTest::addColumn<Ellipsoid>("ell");
  QTest::addColumn<double>("quarter");
  // Published lengths of the quadrant of the meridian.
  QTest::newRow("WGS 84") << kWgs84 << 10001965.729;
  QTest::newRow("International 1924") << kInternational1924 << 10002288.299;
}

void TestGeodesy::quarterMeridian() {
  QFETCH(Ellipsoid, ell);
  QFETCH(double, quarter);
  const ProjectionParams p = Params(ell, kUtmZone49);
  QVERIFY(std::fabs(MeridianArc(p, M_PI / 2) - quarter) < 0.01);
  QCOMPARE(MeridianArc(p, 0.0), 0.0);
}

void TestGeodesy::footpoint_data() {
  QTest::addColumn<Projection>("proj");
  QTest::addColumn<int>("maxSteps");
  // HK grids start at the origin's parallel, UTM at the equator.
  QTest::newRow("Grid80") << kGrid80Projection << 5;
  QTest::newRow("Grid84") << kGrid84Projection << 5;
  QTest::newRow("UTM 50") << kUtmZone50 << 6;
}

void TestGeodesy::footpoint() {
  QFETCH(Projection, proj);
  QFETCH(int, maxSteps);
  const ProjectionParams p = Params(kInternational1924, proj);
  for (double latDeg = 22.1; latDeg <= 22.65; latDeg += 0.05) {
    const double phi = DegToRad(latDeg);
    double found = 0;
    int steps = -1;
    QCOMPARE(FootpointLatitude(p, MeridianArc(p, phi), found, &steps), Fault::None);
    QVERIFY(std::fabs(MeridianArc(p, found) - MeridianArc(p, phi)) <= 0.00001);
    QVERIFY2(steps >= 1 && steps <= maxSteps, qPrintable(QString::number(steps)));
  }
  // On the origin's parallel no step is needed.
  double found = 0;
  int steps = -1;
  QCOMPARE(FootpointLatitude(p, MeridianArc(p, p.lat0), found, &steps), Fault::None);
  QCOMPARE(steps, 0);
  QCOMPARE(found, p.lat0);
}

void TestGeodesy::footpointIsBounded() {
  // Regression: an arc of 1E12 m, whose spacing of doubles exceeds the 0.00001 m stop
  // test, never met it and looped for ever.
  const ProjectionParams p = Params(kWgs84, kGrid84Projection);
  double found = 0;
  int steps = 0;
  QCOMPARE(FootpointLatitude(p, 1e12, found, &steps), Fault::NoConvergence);
  QCOMPARE(steps, kFootpointIterationLimit);
  // Whatever the arc, the iteration ends within its limit; when it happens to meet the
  // test far beyond the pole, the inverse rejects the latitude.
  for (double m = 1e8; m < 1e306; m *= 7.3) {
    int n = -1;
    const Fault f = FootpointLatitude(p, m, found, &n);
    QVERIFY(n >= 0 && n <= kFootpointIterationLimit);
    QVERIFY(f == Fault::None || f == Fault::NoConvergence);
    ProjectionParams q = p;
    GeoPoint g;
    const Fault inv = TmInverse(q, m, 836694.05, g);
    QVERIFY2(inv == Fault::OutOfRange || inv == Fault::NoConvergence,
             qPrintable(QString::number(m)));
  }
  QCOMPARE(FootpointLatitude(p, std::numeric_limits<double>::quiet_NaN(), found),
           Fault::InvalidOperation);
  QCOMPARE(FootpointLatitude(p, HUGE_VAL, found), Fault::Overflow);
}

void TestGeodesy::originForward_data() {
  QTest::addColumn<Ellipsoid>("ell");
  QTest::addColumn<Projection>("proj");
  QTest::newRow("Grid80") << kInternational1924 << kGrid80Projection;
  QTest::newRow("Grid84") << kWgs84 << kGrid84Projection;
}

void TestGeodesy::originForward() {
  QFETCH(Ellipsoid, ell);
  QFETCH(Projection, proj);
  ProjectionParams p = Params(ell, proj);
  GridPoint g;
  QCOMPARE(TmForward(p, proj.lat0Deg, proj.lon0Deg, g), Fault::None);
  QCOMPARE(g.northing, 819069.8);
  QCOMPARE(g.easting, 836694.05);
  GeoPoint back;
  int steps = -1;
  QCOMPARE(TmInverse(p, 819069.8, 836694.05, back, &steps), Fault::None);
  QCOMPARE(steps, 0);
  QVERIFY(std::fabs(back.lat - proj.lat0Deg) < 1e-12);
  QVERIFY(std::fabs(back.lon - proj.lon0Deg) < 1e-12);
}

void TestGeodesy::inverseThenForward_data() {
  QTest::addColumn<Ellipsoid>("ell");
  QTest::addColumn<Projection>("proj");
  QTest::newRow("Grid80") << kInternational1924 << kGrid80Projection;
  QTest::newRow("Grid84") << kWgs84 << kGrid84Projection;
  QTest::newRow("UTM80 zone 49") << kInternational1924 << kUtmZone49;
  QTest::newRow("UTM80 zone 50") << kInternational1924 << kUtmZone50;
  QTest::newRow("UTM84 zone 49") << kWgs84 << kUtmZone49;
  QTest::newRow("UTM84 zone 50") << kWgs84 << kUtmZone50;
}

void TestGeodesy::inverseThenForward() {
  QFETCH(Ellipsoid, ell);
  QFETCH(Projection, proj);
  ProjectionParams p = Params(ell, proj);
  double worst = 0;
  for (const auto& pt : HongKongPoints()) {
    GridPoint g, again;
    GeoPoint geo;
    QCOMPARE(TmForward(p, pt.first, pt.second, g), Fault::None);
    QCOMPARE(TmInverse(p, g.northing, g.easting, geo), Fault::None);
    QCOMPARE(TmForward(p, geo.lat, geo.lon, again), Fault::None);
    worst = std::max(
        {worst, std::fabs(again.northing - g.northing), std::fabs(again.easting - g.easting)});
    // And the geodetic point itself comes back (1E-9 degrees is 0.1 mm).
    QVERIFY(std::fabs(geo.lat - pt.first) < 1e-9 && std::fabs(geo.lon - pt.second) < 1e-9);
  }
  QVERIFY2(worst < 0.0001, qPrintable(QString::number(worst)));
}

void TestGeodesy::fastEqualsPlain_data() { inverseThenForward_data(); }

void TestGeodesy::fastEqualsPlain() {
  QFETCH(Ellipsoid, ell);
  QFETCH(Projection, proj);
  ProjectionParams fast = Params(ell, proj), plain = fast;
  QList<QPair<double, double>> pts = HongKongPoints();
  // Also the width of both UTM zones.
  for (double lon = 108.0; lon <= 120.0; lon += 0.7) pts.append({21.3, lon});
  // And every latitude band the footpoint's rotation and series tiers meet (first steps
  // from the equator of up to 1.2 rad, south included).
  for (double lat = -65.0; lat <= 70.0; lat += 7.5)
    for (double lon : {111.5, 114.9, 118.2}) pts.append({lat, lon});
  for (const auto& pt : pts) {
    GridPoint a, b;
    QCOMPARE(TmForward(fast, pt.first, pt.second, a), Fault::None);
    QCOMPARE(TmForwardPlain(plain, pt.first, pt.second, b), Fault::None);
    QVERIFY(std::fabs(a.northing - b.northing) <= 1e-7 && std::fabs(a.easting - b.easting) <= 1e-7);
    GeoPoint ga, gb;
    int sa = 0, sb = 0;
    QCOMPARE(TmInverse(fast, b.northing, b.easting, ga, &sa), Fault::None);
    QCOMPARE(TmInversePlain(plain, b.northing, b.easting, gb, &sb), Fault::None);
    QVERIFY2(std::fabs(ga.lat - gb.lat) <= 1e-12 && std::fabs(ga.lon - gb.lon) <= 1e-12,
             qPrintable(QString("%1 %2: %3 %4")
                            .arg(pt.first)
                            .arg(pt.second)
                            .arg(ga.lat - gb.lat)
                            .arg(ga.lon - gb.lon)));
    QCOMPARE(sa, sb);
  }
}

void TestGeodesy::outOfRange_data() {
  QTest::addColumn<bool>("forward");
  QTest::addColumn<double>("first");
  QTest::addColumn<double>("second");
  QTest::addColumn<Fault>("fault");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  QTest::newRow("latitude 95") << true << 95.0 << 114.0 << Fault::OutOfRange;
  QTest::newRow("latitude -90.5") << true << -90.5 << 114.0 << Fault::OutOfRange;
  QTest::newRow("longitude 40 deg off") << true << 22.0 << 154.0 << Fault::OutOfRange;
  QTest::newRow("longitude NaN") << true << 22.0 << nan << Fault::InvalidOperation;
  QTest::newRow("latitude infinite") << true << HUGE_VAL << 114.0 << Fault::Overflow;
  QTest::newRow("northing 1E10") << false << 1e10 << 836694.05 << Fault::OutOfRange;
  QTest::newRow("northing -1E10") << false << -1e10 << 836694.05 << Fault::OutOfRange;
  // Beyond about 1E11 m the doubles are spaced wider than the stop test: the iteration
  // either reaches its limit or meets the test by chance far beyond the pole.
  QTest::newRow("northing 1E20") << false << 1e20 << 836694.05 << Fault::NoConvergence;
  QTest::newRow("northing 1E300") << false << 1e300 << 836694.05 << Fault::NoConvergence;
  QTest::newRow("easting 1E10") << false << 819069.8 << 1e10 << Fault::OutOfRange;
  QTest::newRow("easting 1E200") << false << 819069.8 << 1e200 << Fault::Overflow;
  QTest::newRow("easting 5000 km") << false << 819069.8 << 5e6 << Fault::OutOfRange;
  QTest::newRow("northing infinite") << false << -HUGE_VAL << 0.0 << Fault::Overflow;
}

void TestGeodesy::outOfRange() {
  QFETCH(bool, forward);
  QFETCH(double, first);
  QFETCH(double, second);
  QFETCH(Fault, fault);
  ProjectionParams p = Params(kInternational1924, kGrid80Projection);
  if (forward) {
    GridPoint g{1, 2};
    QCOMPARE(TmForward(p, first, second, g), fault);
    QCOMPARE(g.northing, 1.0);  // nothing written
  } else {
    GeoPoint g{1, 2};
    const Fault got = TmInverse(p, first, second, g);
    if (fault == Fault::NoConvergence)
      QVERIFY(got == Fault::NoConvergence || got == Fault::OutOfRange);
    else
      QCOMPARE(got, fault);
    QCOMPARE(g.lat, 1.0);
  }
}

void TestGeodesy::zoneByLongitude_data() {
  QTest::addColumn<double>("lon");
  QTest::addColumn<int>("zone");
  QTest::newRow("exactly 114 is zone 49") << 114.0 << 49;
  QTest::newRow("just east of 114") << 114.000000001 << 50;
  QTest::newRow("Hong Kong") << 114.17855555556 << 50;
  QTest::newRow("west") << 113.9 << 49;
}

void TestGeodesy::zoneByLongitude() {
  QFETCH(double, lon);
  QFETCH(int, zone);
  QCOMPARE(UtmZoneNumber(lon), zone);
  QCOMPARE(UtmZoneByLongitude(lon).lon0Deg, zone == 50 ? 117.0 : 111.0);
}

void TestGeodesy::zoneByTrial_data() {
  QTest::addColumn<double>("lat");
  QTest::addColumn<double>("lon");
  QTest::addColumn<int>("projectedZone");
  QTest::addColumn<int>("zone");
  QTest::addColumn<double>("lonBack");
  // A zone-50 easting near 114 E reads about 108 E in zone 49 and so is zone 50.
  QTest::newRow("zone 50 point") << 22.3 << 114.1 << 50 << 50 << 114.1;
  QTest::newRow("zone 49 point") << 22.3 << 113.9 << 49 << 49 << 113.9;
  QTest::newRow("central meridian 111 stays") << 22.3 << 111.0 << 49 << 49 << 111.0;
  QTest::newRow("just inside 117 stays") << 22.3 << 116.99999 << 49 << 49 << 116.99999;
  // West of 111 in zone 49: the first trial is below 111, so it is read again in zone 50
  // with the same easting offset, one degree west of 117.
  QTest::newRow("west of 111") << 22.3 << 110.0 << 49 << 50 << 116.0;
  // Far east in zone 49: outside the domain in the first trial, still read in zone 50.
  QTest::newRow("far outside zone 49") << 22.3 << 127.0 << 50 << 50 << 127.0;
}

void TestGeodesy::zoneByTrial() {
  QFETCH(double, lat);
  QFETCH(double, lon);
  QFETCH(int, projectedZone);
  QFETCH(int, zone);
  QFETCH(double, lonBack);
  ProjectionParams p = Params(kWgs84, projectedZone == 50 ? kUtmZone50 : kUtmZone49);
  GridPoint g;
  QCOMPARE(TmForward(p, lat, lon, g), Fault::None);
  GeoPoint back;
  int z = 0;
  QCOMPARE(UtmInverseByTrial(p, kWgs84, g.northing, g.easting, back, &z), Fault::None);
  QCOMPARE(z, zone);
  QVERIFY2(std::fabs(back.lon - lonBack) < 0.01, qPrintable(QString::number(back.lon, 'f', 9)));
  QCOMPARE(p.lon0, DegToRad(zone == 50 ? 117.0 : 111.0));
}

void TestGeodesy::val_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<double>("value");
  QTest::newRow("plain") << "830000" << 830000.0;
  QTest::newRow("decimals") << "819069.80" << 819069.8;
  QTest::newRow("leading blanks") << "   42.5" << 42.5;
  QTest::newRow("blanks inside") << "83 00 00" << 830000.0;
  QTest::newRow("tab inside") << "1\t2" << 12.0;
  QTest::newRow("empty") << "" << 0.0;
  QTest::newRow("not a number") << "abc" << 0.0;
  QTest::newRow("prefix only") << "12abc34" << 12.0;
  QTest::newRow("second point ends") << "1.2.3" << 1.2;
  QTest::newRow("negative") << "-22.5" << -22.5;
  QTest::newRow("plus") << "+7" << 7.0;
  QTest::newRow("no leading digit") << ".5" << 0.5;
  QTest::newRow("exponent") << "1.5E3" << 1500.0;
  QTest::newRow("D exponent") << "2d2" << 200.0;
  QTest::newRow("negative exponent") << "25e-1" << 2.5;
  QTest::newRow("exponent without digits") << "7E" << 7.0;
  QTest::newRow("sign alone") << "-" << 0.0;
  QTest::newRow("overflow") << "1E999" << HUGE_VAL;
  QTest::newRow("negative overflow") << "-1E999" << -HUGE_VAL;
  QTest::newRow("400 digits") << ("1" + QString(400, '0')) << HUGE_VAL;
  QTest::newRow("underflow") << "1E-999" << 0.0;
  QTest::newRow("huge exponent") << "1E99999999999999999999" << HUGE_VAL;
  QTest::newRow("long zero fraction") << ("0." + QString(500, '0') + "1") << 0.0;
}

void TestGeodesy::val() {
  QFETCH(QString, text);
  QFETCH(double, value);
  QCOMPARE(Val(text.toStdString()), value);
}

void TestGeodesy::parseDms_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<double>("degrees");
  QTest::newRow("whole") << "22" << 22.0;
  QTest::newRow("point only") << "22." << 22.0;
  QTest::newRow("tens of minutes") << "22.3" << 22.5;
  QTest::newRow("minutes") << "22.30" << 22.5;
  QTest::newRow("tens of seconds") << "22.184" << 22 + 18 / 60.0 + 4 / 360.0;
  QTest::newRow("seconds") << "22.1843" << 22 + 18 / 60.0 + 43 / 3600.0;
  QTest::newRow("decimals of seconds") << "22.184368" << 22 + 18 / 60.0 + 43.68 / 3600.0;
  QTest::newRow("south") << "-22.3" << -22.5;
  QTest::newRow("empty") << "" << 0.0;
  QTest::newRow("longitude") << "114.10428" << 114 + 10 / 60.0 + 42.8 / 3600.0;
  QTest::newRow("second point in the seconds") << "114.1042.8" << 114 + 10 / 60.0 + 42 / 3600.0;
  QTest::newRow("leading blank") << " 22.3" << 22.5;
  QTest::newRow("not a number") << "north" << 0.0;
  QTest::newRow("below one degree") << "0.3" << 0.5;
  QTest::newRow("negative below one degree") << "-0.3" << -0.5;
  // A blank took a digit's place: "22.18 4368" was read as 22 18 04.368.
  QTest::newRow("blank among the seconds") << "22.18 4368" << 22 + 18 / 60.0 + 43.68 / 3600.0;
  QTest::newRow("blank among the minutes") << "22.1 843" << 22 + 18 / 60.0 + 43 / 3600.0;
}

void TestGeodesy::parseDms() {
  QFETCH(QString, text);
  QFETCH(double, degrees);
  QCOMPARE(ParseDms(text.toStdString()), degrees);
}

void TestGeodesy::packDms_data() {
  QTest::addColumn<double>("degrees");
  QTest::addColumn<double>("packed");
  QTest::newRow("half degree") << 22.5 << 22.3;
  QTest::newRow("grid origin") << 22.312133333333 << 22.184368;
  QTest::newRow("whole") << 114.0 << 114.0;
  QTest::newRow("south keeps its sign") << -22.5 << -22.3;
  // Seconds that round to 60 at the 0.00001" shown carry (22.19 was shown as 22-18-60.).
  QTest::newRow("whole minutes") << 22 + 19 / 60.0 << 22.19;
  QTest::newRow("south whole minutes") << -(22 + 19 / 60.0) << -22.19;
  QTest::newRow("just below a whole degree") << 114 - 1e-12 << 114.0;
  QTest::newRow("west just below a whole degree") << -(114 - 1e-12) << -114.0;
  QTest::newRow("last step shown below a minute")
      << 22 + 18 / 60.0 + 59.99999 / 3600 << 22.185999999;
  QTest::newRow("half a step below a minute") << 22 + 18 / 60.0 + 59.999996 / 3600 << 22.19;
}

void TestGeodesy::packDms() {
  QFETCH(double, degrees);
  QFETCH(double, packed);
  QVERIFY2(std::fabs(PackDms(degrees) - packed) < 5e-10,
           qPrintable(QString::number(PackDms(degrees), 'f', 12)));
}

void TestGeodesy::dmsText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("shown");
  QTest::newRow("origin latitude") << "22.184368"
                                   << "22-18-43.68   ";
  QTest::newRow("blank in a typed angle") << "22.18 4368"
                                          << "22-18-43.68   ";
  QTest::newRow("whole seconds keep the point") << "114.2113"
                                                << "114-21-13.    ";
  QTest::newRow("one minute digit") << "22.3"
                                    << "22-30-00.     ";
  QTest::newRow("longer than 14 is not cut") << "114.212472333"
                                             << "114-21-24.72333";
  QTest::newRow("typed seconds") << "22.1843"
                                 << "22-18-43.     ";
  QTest::newRow("no point: whole degrees") << "22"
                                           << "22-00-00.     ";
  QTest::newRow("point only") << "22."
                              << "22-00-00.     ";
  QTest::newRow("no degree digits") << ".3"
                                    << "0-30-00.      ";
  QTest::newRow("south") << "-22.3"
                         << "-22-30-00.    ";
  QTest::newRow("empty") << ""
                         << "0-00-00.      ";
}

void TestGeodesy::dmsText() {
  QFETCH(QString, text);
  QFETCH(QString, shown);
  QCOMPARE(QString::fromStdString(DmsText(text.toStdString())), shown);
}

void TestGeodesy::maskText_data() {
  QTest::addColumn<double>("value");
  QTest::addColumn<int>("decimals");
  QTest::addColumn<QString>("text");
  QTest::newRow("whole keeps the point") << 819070.0 << 4 << "819070.";
  QTest::newRow("four decimals") << 829999.83263 << 4 << "829999.8326";
  QTest::newRow("trailing zeros dropped") << 840000.10904 << 4 << "840000.109";
  QTest::newRow("rounds half up") << 2.00005 << 4 << "2.0001";
  QTest::newRow("carry into whole") << 9.99996 << 4 << "10.";
  QTest::newRow("below one: no zero") << 0.5 << 4 << ".5";
  QTest::newRow("negative") << -12.345678 << 4 << "-12.3457";
  QTest::newRow("negative rounds to zero") << -0.00001 << 4 << ".";
  QTest::newRow("zero") << 0.0 << 4 << ".";
  QTest::newRow("more digits than the mask") << 1.5e20 << 4 << "150000000000000000000.";
  QTest::newRow("packed angle") << 22.184368 << 9 << "22.184368";
  QTest::newRow("packed nine decimals") << 114.1238385543 << 9 << "114.123838554";
  QTest::newRow("tiny") << 1e-300 << 9 << ".";
  QTest::newRow("infinite") << HUGE_VAL << 4 << "";
  QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 4 << "";
}

void TestGeodesy::maskText() {
  QFETCH(double, value);
  QFETCH(int, decimals);
  QFETCH(QString, text);
  QCOMPARE(QString::fromStdString(MaskText(value, decimals)), text);
}

void TestGeodesy::angleTextRoundTrip() {
  // What the form shows can be typed back: ParseDms of the packed text gives the angle
  // within the 0.00001 second shown.
  for (double a = 22.0; a < 23.0; a += 0.0137) {
    const std::string packed = MaskText(PackDms(a), 9);
    QVERIFY2(std::fabs(ParseDms(packed) - a) < 0.6e-5 / 3600, packed.c_str());
    QCOMPARE(AngleText(a), DmsText(packed));
  }
  QCOMPARE(QString::fromStdString(AngleText(22.312133333333)), QString("22-18-43.68   "));
}

QTEST_APPLESS_MAIN(TestGeodesy)
#include "tst_geodesy.moc"
