// Number texts and level texts: exact strings, and the round trip back to the value.
#include <QtTest>

#include <bit>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <limits>
#include <random>

#include "toolkit/number_text.h"

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double ParseBack(const std::string& text) {
  // The text's own grammar: optional blank or "-", digits, point, exponent with "E".
  std::string s = text;
  if (!s.empty() && s[0] == ' ') s.erase(0, 1);
  bool negative = false;
  if (!s.empty() && s[0] == '-') {
    negative = true;
    s.erase(0, 1);
  }
  if (!s.empty() && s[0] == '.') s.insert(0, "0");
  for (char& c : s)
    if (c == 'E') c = 'e';
  double v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return kNaN;
  return negative ? -v : v;
}
}  // namespace

class TestNumberText : public QObject {
  Q_OBJECT
 private slots:
  void numberText_data();
  void numberText();
  void plainNumberText_data();
  void plainNumberText();
  void levelText_data();
  void levelText();
  void matchesPrintf_data();
  void matchesPrintf();
  void roundTrip();
  void extendedPrecisionInput();
};

void TestNumberText::numberText_data() {
  QTest::addColumn<double>("value");
  QTest::addColumn<QString>("text");
  QTest::newRow("half") << 0.5 << " .5";
  QTest::newRow("negative quarter") << -0.25 << "-.25";
  QTest::newRow("1.5E20") << 1.5e20 << " 1.5E+20";
  QTest::newRow("zero") << 0.0 << " 0";
  QTest::newRow("negative zero") << -0.0 << " 0";
  QTest::newRow("whole") << 12.0 << " 12";
  QTest::newRow("negative whole") << -7.0 << "-7";
  QTest::newRow("fraction trailing zeros dropped") << 12.5 << " 12.5";
  QTest::newRow("15 digits before point plain") << 123456789012345.0 << " 123456789012345";
  QTest::newRow("16 digits before point exponent") << 1234567890123456.0 << " 1.23456789012346E+15";
  QTest::newRow("1E15 exponent") << 1e15 << " 1E+15";
  QTest::newRow("1E14 plain") << 1e14 << " 100000000000000";
  QTest::newRow("rounds up into 16 digits") << 999999999999999.5 << " 1E+15";
  QTest::newRow("rounds up to whole") << 99.99999999999999 << " 100";
  QTest::newRow("0.0001 plain") << 0.0001 << " .0001";
  QTest::newRow("15 digits after point plain") << 1e-15 << " .000000000000001";
  QTest::newRow("16 digits after point exponent") << 1.5e-15 << " 1.5E-15";
  QTest::newRow("1E-16") << 1e-16 << " 1E-16";
  QTest::newRow("negative tiny") << -1e-20 << "-1E-20";
  QTest::newRow("binary 0.1 shows .1") << 0.1 << " .1";
  QTest::newRow("third") << 1.0 / 3.0 << " .333333333333333";
  QTest::newRow("two thirds rounded") << 2.0 / 3.0 << " .666666666666667";
  QTest::newRow("survey coordinate") << 812345.678 << " 812345.678";
  QTest::newRow("largest double") << 1.7976931348623157e308 << " 1.79769313486232E+308";
  QTest::newRow("-1E308") << -1e308 << "-1E+308";
  QTest::newRow("smallest denormal") << 4.9406564584124654e-324 << " 4.94065645841247E-324";
  QTest::newRow("NaN") << kNaN << " NaN";
  QTest::newRow("infinity") << kInf << " Inf";
  QTest::newRow("negative infinity") << -kInf << "-Inf";
  QTest::newRow("largest 15-digit whole") << 999999999999999.0 << " 999999999999999";
}

void TestNumberText::numberText() {
  QFETCH(double, value);
  QFETCH(QString, text);
  QCOMPARE(QString::fromStdString(toolkit::NumberText(value)), text);
}

void TestNumberText::plainNumberText_data() {
  QTest::addColumn<double>("value");
  QTest::addColumn<QString>("text");
  QTest::newRow("counter") << 3.0 << "3";
  QTest::newRow("half") << 0.5 << ".5";
  QTest::newRow("negative keeps sign") << -0.25 << "-.25";
  QTest::newRow("zero") << 0.0 << "0";
  QTest::newRow("negative zero") << -0.0 << "0";
  QTest::newRow("exponent") << 1.5e20 << "1.5E+20";
  QTest::newRow("NaN") << kNaN << "NaN";
  QTest::newRow("negative infinity") << -kInf << "-Inf";
}

void TestNumberText::plainNumberText() {
  QFETCH(double, value);
  QFETCH(QString, text);
  QCOMPARE(QString::fromStdString(toolkit::PlainNumberText(value)), text);
}

void TestNumberText::levelText_data() {
  QTest::addColumn<double>("value");
  QTest::addColumn<QString>("text");
  QTest::newRow("12.5") << 12.5 << " 12.50";
  QTest::newRow("-3.456 cut not rounded") << -3.456 << "-3.45";
  QTest::newRow("stored 12.34 is 12.3399..") << 12.34 << " 12.33";
  QTest::newRow("2.999") << 2.999 << " 2.99";
  QTest::newRow("1.1 is 1.1000..1") << 1.1 << " 1.10";
  QTest::newRow("below one keeps 0") << 0.75 << " 0.75";
  QTest::newRow("negative below one") << -0.5 << "-0.50";
  QTest::newRow("zero") << 0.0 << " 0.00";
  QTest::newRow("negative zero") << -0.0 << " 0.00";
  QTest::newRow("stored 100.07 is 100.0699..") << 100.07 << " 100.06";
  QTest::newRow("single centimetre") << 100.25 << " 100.25";
  QTest::newRow("whole metres") << 250.0 << " 250.00";
  QTest::newRow("just below next metre") << 4.9999999 << " 4.99";
  QTest::newRow("NaN") << kNaN << " NaN";
  QTest::newRow("infinity") << kInf << " Inf";
  QTest::newRow("negative infinity") << -kInf << "-Inf";
  QTest::newRow("22.3699999 cut") << 22.3699999 << " 22.36";
  QTest::newRow("largest below 1E15") << 999999999999999.5 << " 999999999999999.50";
  QTest::newRow("1E15 in exponent form") << -1e15 << "-1E+15.00";
}

void TestNumberText::levelText() {
  QFETCH(double, value);
  QFETCH(QString, text);
  QCOMPARE(QString::fromStdString(toolkit::LevelText(value)), text);
}

// Point numbers and levels against the C library's exact decimals: a whole number below
// 10^15 is its own digits; a level is the exact expansion cut after the centimetres.
void TestNumberText::matchesPrintf_data() {
  QTest::addColumn<int>("kind");
  QTest::newRow("whole numbers") << 0;
  QTest::newRow("stored centimetres") << 1;
  QTest::newRow("a step below centimetres") << 2;
  QTest::newRow("any bits") << 3;
}

void TestNumberText::matchesPrintf() {
  QFETCH(int, kind);
  std::mt19937_64 random(20261209 + kind);
  char exact[128];
  for (int i = 0; i < 200000; ++i) {
    const double size = std::floor(std::pow(10.0, (random() % 1500) / 100.0));
    double v = kind == 0 ? size : std::floor(size / 10) / 100;
    v = kind == 3 ? std::bit_cast<double>(random()) : kind == 2 ? std::nextafter(v, 0.0) : v;
    v = i % 2 ? -v : v;
    if (!(std::fabs(v) < 1e15)) continue;
    const QString sign = v < 0 ? "-" : " ";
    std::snprintf(exact, sizeof exact, "%.60f", std::fabs(v));
    const qsizetype point = QString(exact).indexOf('.');
    QCOMPARE(QString::fromStdString(toolkit::LevelText(v)), sign + QString(exact).left(point + 3));
    if (v == std::trunc(v) && v != 0)
      QCOMPARE(QString::fromStdString(toolkit::NumberText(v)), sign + QString(exact).left(point));
  }
}

void TestNumberText::roundTrip() {
  // Every finite double comes back from its text within the 15 digits shown.
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-320, 307);
  for (int i = 0; i < 20000; ++i) {
    double v = mantissa(random) * std::pow(10.0, exponent(random));
    if (i % 2) v = -v;
    if (!std::isfinite(v) || v == 0) continue;
    const std::string text = toolkit::NumberText(v);
    const double back = ParseBack(text);
    const double tolerance = std::fabs(v) * 5.1e-15 + 5e-324;
    if (!(std::fabs(back - v) <= tolerance))
      QFAIL(qPrintable(QStringLiteral("%1 -> %2 -> %3")
                           .arg(v, 0, 'g', 17)
                           .arg(text.c_str())
                           .arg(back, 0, 'g', 17)));
    QVERIFY(text.size() <= 22);
    QCOMPARE(text[0], v < 0 ? '-' : ' ');
  }
}

void TestNumberText::extendedPrecisionInput() {
  // Values computed in 80-bit arithmetic keep their extra range and round to 15 digits.
  QCOMPARE(QString::fromStdString(toolkit::NumberText(1e400L)), QStringLiteral(" 1E+400"));
  QCOMPARE(QString::fromStdString(toolkit::NumberText(-2.5e-4000L)), QStringLiteral("-2.5E-4000"));
  QCOMPARE(QString::fromStdString(toolkit::NumberText(1.0L / 3.0L)),
           QStringLiteral(" .333333333333333"));
  QCOMPARE(QString::fromStdString(toolkit::LevelText(-12.345L)), QStringLiteral("-12.34"));
}

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_number_text.moc"
