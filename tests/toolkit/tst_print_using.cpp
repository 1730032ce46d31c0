// Listing masks: how masks are read, how numbers are rounded and aligned, text fields,
// numbers too wide for their field, and NaN and infinities.
#include <QtTest>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>

#include "toolkit/print_using.h"

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The masks of the survey file lister.
const char* const kDatMask = "####    ###.####  ###.####  ####.###    #.###     ###";
const char* const kNehMask = "####   #######.###  #######.###  ####.###     ###";
const char* const kSecOffsetMask = "####    ####.###    ####.###";
const char* const kSecHeaderMask = "####    \\      \\  ######.###  \\                       \\";
const char* const kStnMask = "####     \\       \\ #######.###  #######.###  #####.###";
const char* const kChgMask = "####  #####.###  #####.###  #######.###  #######.###  #####.###";
const char* const kPtsMask = "####      \\        \\   \\        \\";

std::string Describe(const toolkit::Mask& mask) {
  std::string out;
  for (const toolkit::MaskItem& item : mask.items) {
    if (!out.empty()) out += ' ';
    switch (item.type) {
      case toolkit::MaskItem::Type::Literal:
        out += "L'" + item.literal + "'";
        break;
      case toolkit::MaskItem::Type::Number:
        out += "N" + std::to_string(item.width) +
               (item.point ? "." + std::to_string(item.decimals) : "");
        break;
      case toolkit::MaskItem::Type::Text:
        out += "T" + std::to_string(item.width);
        break;
    }
  }
  return out;
}

// Numbers from doubles, texts from byte arrays (which may hold zero bytes).
std::string Format(const char* mask, const QVariantList& values) {
  std::vector<QByteArray> texts;
  texts.reserve(values.size());
  std::vector<toolkit::MaskValue> list;
  for (const QVariant& v : values) {
    if (v.typeId() == QMetaType::QByteArray) {
      texts.push_back(v.toByteArray());
      list.emplace_back(std::string_view(texts.back().constData(), texts.back().size()));
    } else {
      list.emplace_back(v.toDouble());
    }
  }
  std::string out;
  toolkit::FormatMask(toolkit::CompileMask(mask), list, out);
  return out;
}

std::string Field(double value, int width, int decimals) {
  std::string out;
  toolkit::FormatNumberField(value, width, decimals, decimals > 0, out);
  return out;
}
}  // namespace

class TestPrintUsing : public QObject {
  Q_OBJECT
 private slots:
  void compile_data();
  void compile();
  void listerLines_data();
  void listerLines();
  void numberField_data();
  void numberField();
  void textField_data();
  void textField();
  void valuesAndFields();
  void hugeNumbersKeepEveryDigit();
  void roundingAgreesWithDecimalText();
  void formatAppendsAndReuses();
};

void TestPrintUsing::compile_data() {
  QTest::addColumn<QString>("mask");
  QTest::addColumn<QString>("items");
  QTest::newRow("NEH") << kNehMask << "N4 L'   ' N11.3 L'  ' N11.3 L'  ' N8.3 L'     ' N3";
  QTest::newRow("SEC header") << kSecHeaderMask << "N4 L'    ' T8 L'  ' N10.3 L'  ' T25";
  QTest::newRow("STN") << kStnMask << "N4 L'     ' T9 L' ' N11.3 L'  ' N11.3 L'  ' N9.3";
  QTest::newRow("PTS") << kPtsMask << "N4 L'      ' T10 L'   ' T10";
  QTest::newRow("point without digits after") << "##."
                                              << "N3.0";
  QTest::newRow("point first") << ".##"
                               << "N3.2";
  QTest::newRow("lone point is literal") << "# . #"
                                         << "N1 L' . ' N1";
  QTest::newRow("second point starts a field") << "#.#.#"
                                               << "N3.1 N2.1";
  QTest::newRow("lone backslash is literal") << "## \\ end"
                                             << "N2 L' \\ end'";
  QTest::newRow("adjacent backslashes") << "\\\\"
                                        << "T2";
  QTest::newRow("literal only") << "PT.No."
                                << "L'PT.No.'";
  QTest::newRow("empty") << ""
                         << "";
}

void TestPrintUsing::compile() {
  QFETCH(QString, mask);
  QFETCH(QString, items);
  QCOMPARE(QString::fromStdString(Describe(toolkit::CompileMask(mask.toStdString()))), items);
}

void TestPrintUsing::listerLines_data() {
  QTest::addColumn<QString>("mask");
  QTest::addColumn<QVariantList>("values");
  QTest::addColumn<QString>("line");
  QTest::newRow("NEH point") << kNehMask << QVariantList{1.0, 812345.678, 832000.1, 35.123, 12.0}
                             << "   1    812345.678   832000.100    35.123      12";
  QTest::newRow("NEH decoded negative height")
      << kNehMask << QVariantList{25.0, 1.0, 2.0, -2.5, 3.0}
      << "  25         1.000        2.000    -2.500       3";
  QTest::newRow("DAT observation")
      << kDatMask << QVariantList{7.0, 123.4567, 89.59, 102.3456, 1.5, 2.0}
      << "   7    123.4567   89.5900   102.346    1.500       2";
  QTest::newRow("SEC offset") << kSecOffsetMask << QVariantList{4.0, -12.5, 3.25}
                              << "   4     -12.500       3.250";
  QTest::newRow("SEC header with zero bytes")
      << kSecHeaderMask
      << QVariantList{1.0, QByteArray("CH100\0\0\0", 8), 1250.0,
                      QByteArray("    Block Name & Chainage")}
      << "   1    CH100       1250.000      Block Name & Chainage";
  QTest::newRow("STN") << kStnMask
                       << QVariantList{2.0, QByteArray("STN A   "), 812000.0, 832000.0, 12.0}
                       << "   2     STN A      812000.000   832000.000     12.000";
  QTest::newRow("CHG") << kChgMask << QVariantList{3.0, 100.0, 45.5, 812000.0, 832000.0, 0.0}
                       << "   3    100.000     45.500   812000.000   832000.000      0.000";
  QTest::newRow("PTS blank items")
      << kPtsMask << QVariantList{9.0, QByteArray(8, '\0'), QByteArray(8, '\0')}
      << "   9" + QString(29, ' ');
  QTest::newRow("record number too wide")
      << kSecOffsetMask << QVariantList{12345.0, 1.0, 2.0} << "%12345       1.000       2.000";
}

void TestPrintUsing::listerLines() {
  QFETCH(QString, mask);
  QFETCH(QVariantList, values);
  QFETCH(QString, line);
  QCOMPARE(QString::fromStdString(Format(mask.toLatin1().constData(), values)), line);
}

void TestPrintUsing::numberField_data() {
  QTest::addColumn<double>("value");
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("decimals");
  QTest::addColumn<QString>("text");
  // Rounding: 15 significant digits first, then halves away from zero.
  QTest::newRow("half up at 3 decimals") << 2.0005 << 5 << 3 << "2.001";
  QTest::newRow("half away negative") << -2.0005 << 6 << 3 << "-2.001";
  QTest::newRow("binary below half still half") << 1.2345 << 5 << 3 << "1.235";
  QTest::newRow("height half") << 35.1235 << 8 << 3 << "  35.124";
  QTest::newRow("below half") << 35.12349 << 8 << 3 << "  35.123";
  QTest::newRow("2.5 whole") << 2.5 << 3 << 0 << "  3";
  QTest::newRow("-2.5 whole") << -2.5 << 3 << 0 << " -3";
  QTest::newRow("half whole") << 0.5 << 3 << 0 << "  1";
  QTest::newRow("0.4 whole") << 0.4 << 3 << 0 << "  0";
  QTest::newRow("carry into whole") << 0.9996 << 5 << 3 << "1.000";
  QTest::newRow("carry past field") << 9.9996 << 5 << 3 << "%10.000";
  QTest::newRow("tiny half") << 0.0005 << 5 << 3 << "0.001";
  QTest::newRow("tiny below half") << 0.00049999 << 5 << 3 << "0.000";
  QTest::newRow("very small") << 1e-10 << 8 << 3 << "   0.000";
  QTest::newRow("denormal") << 4.9e-324 << 8 << 3 << "   0.000";
  QTest::newRow("zero") << 0.0 << 8 << 3 << "   0.000";
  QTest::newRow("negative zero") << -0.0 << 8 << 3 << "   0.000";
  QTest::newRow("negative rounds to zero") << -0.0001 << 8 << 3 << "   0.000";
  // Layout of signs and leading zeros.
  QTest::newRow("zero before point") << 0.5 << 5 << 2 << " 0.50";
  QTest::newRow("minus takes the zero's place") << -0.5 << 4 << 2 << "-.50";
  QTest::newRow("no room for a zero") << 0.5 << 3 << 2 << ".50";
  QTest::newRow("no room for the minus") << -0.25 << 3 << 2 << "%-.25";
  QTest::newRow("minus in a digit position") << -12.5 << 5 << 1 << "-12.5";
  QTest::newRow("negative too wide") << -123.4 << 5 << 1 << "%-123.4";
  QTest::newRow("too wide") << 12345.0 << 3 << 0 << "%12345";
  QTest::newRow("rounding makes it too wide") << 99999.9996 << 9 << 3 << "%100000.000";
  QTest::newRow("exactly fits") << 9999999.999 << 11 << 3 << "9999999.999";
  QTest::newRow("four decimals angle") << 359.99995 << 8 << 4 << "360.0000";
  // Beyond 15 significant digits the digits are zeros.
  QTest::newRow("15 digits shown") << 123456789012.345 << 19 << 3 << "   123456789012.345";
  QTest::newRow("16th digit is zero") << 1234567890123.4567 << 18 << 4 << "1234567890123.4600";
  QTest::newRow("1E20 whole") << 1e20 << 4 << 0 << "%100000000000000000000";
  QTest::newRow("many decimals") << 0.1 << 22 << 20 << "0.10000000000000000000";
  QTest::newRow("1/3 many decimals") << 1.0 / 3.0 << 20 << 18 << "0.333333333333333000";
  // NaN and infinities.
  QTest::newRow("NaN") << kNaN << 8 << 3 << "     NaN";
  QTest::newRow("infinity") << kInf << 8 << 3 << "     Inf";
  QTest::newRow("negative infinity") << -kInf << 8 << 3 << "    -Inf";
  QTest::newRow("NaN too wide") << kNaN << 2 << 0 << "%NaN";
  QTest::newRow("-Inf just fits") << -kInf << 4 << 0 << "-Inf";
}

void TestPrintUsing::numberField() {
  QFETCH(double, value);
  QFETCH(int, width);
  QFETCH(int, decimals);
  QFETCH(QString, text);
  QCOMPARE(QString::fromStdString(Field(value, width, decimals)), text);
}

void TestPrintUsing::textField_data() {
  QTest::addColumn<QString>("mask");
  QTest::addColumn<QVariantList>("values");
  QTest::addColumn<QString>("line");
  QTest::newRow("padded") << "[\\    \\]" << QVariantList{QByteArray("AB")} << "[AB    ]";
  QTest::newRow("cut") << "[\\    \\]" << QVariantList{QByteArray("ABCDEFGHIJ")} << "[ABCDEF]";
  QTest::newRow("zero bytes blank")
      << "[\\      \\]" << QVariantList{QByteArray("A\0B\0\0\0\0\0", 8)} << "[A B     ]";
  QTest::newRow("control bytes blank")
      << "[\\  \\]" << QVariantList{QByteArray("\x01\t\n\x7f")} << "[    ]";
  QTest::newRow("empty text") << "[\\  \\]" << QVariantList{QByteArray("")} << "[    ]";
  QTest::newRow("number into text field") << "[\\    \\]" << QVariantList{12.0} << "[ 12   ]";
  QTest::newRow("text into number field")
      << "[###.##]" << QVariantList{QByteArray("  12.5")} << "[ 12.50]";
  QTest::newRow("name into number field")
      << "[###.##]" << QVariantList{QByteArray("CH100")} << "[  0.00]";
}

void TestPrintUsing::textField() {
  QFETCH(QString, mask);
  QFETCH(QVariantList, values);
  QFETCH(QString, line);
  QCOMPARE(QString::fromLatin1(Format(mask.toLatin1().constData(), values)), line);
}

void TestPrintUsing::valuesAndFields() {
  // Output stops at the first field without a value; extra values are left over.
  QCOMPARE(Format("## A ## B", {1.0}), std::string(" 1 A "));
  QCOMPARE(Format("## A ## B", {}), std::string());
  QCOMPARE(Format("Head ##", {}), std::string("Head "));
  QCOMPARE(Format("## A", {1.0, 2.0, 3.0}), std::string(" 1 A"));
  QCOMPARE(Format("no fields", {1.0}), std::string("no fields"));
  QCOMPARE(toolkit::FormatMask("##.#|\\ \\", {3, "x"}), std::string(" 3.0|x  "));
  const std::string name = "STN9";
  QCOMPARE(toolkit::FormatMask("\\   \\#", {name, 7L}), std::string("STN9 7"));
}

void TestPrintUsing::hugeNumbersKeepEveryDigit() {
  // A number far too wide is printed in full after "%", never cut.
  const std::string text = Field(1e300, 8, 3);
  QCOMPARE(text.substr(0, 3), std::string("%10"));
  QCOMPARE(text.size(), std::size_t(1 + 301 + 4));
  QCOMPARE(text.substr(text.size() - 4), std::string(".000"));
  const std::string neg = Field(-1.7976931348623157e308, 4, 0);
  QCOMPARE(neg.substr(0, 17), std::string("%-179769313486232"));
  QCOMPARE(neg.size(), std::size_t(2 + 309));
  std::string extended;
  toolkit::FormatNumberField(1e400L, 4, 0, false, extended);
  QCOMPARE(extended.size(), std::size_t(1 + 401));
}

void TestPrintUsing::roundingAgreesWithDecimalText() {
  // Whatever path the formatter takes, the result is the 15-digit decimal value rounded
  // half away from zero: checked against a plain decimal-string rounding.
  std::mt19937_64 random(8122026);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> scale(-7, 12);
  std::uniform_int_distribution<int> decimalsOf(0, 5);
  for (int i = 0; i < 50000; ++i) {
    const int decimals = decimalsOf(random);
    double v = unit(random) * std::pow(10.0, scale(random));
    if (i % 3 == 0)
      v = std::round(v * std::pow(10.0, decimals + 1)) / std::pow(10.0, decimals + 1);  // halves
    if (i % 2) v = -v;
    // Reference: 15 significant digits as text, then decimal rounding on that text.
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(v),
                                 std::chars_format::scientific, 14);
    const std::string sci(buffer, r.ptr);
    std::string digits = sci.substr(0, 1) + sci.substr(2, 14);
    const int e = std::stoi(sci.substr(sci.find('e') + 1));
    // Place the digits on a fixed grid: value = digits * 10^(e - 14).
    const int keep = e + decimals + 1;
    std::string kept;
    if (keep >= 15)
      kept = digits + std::string(keep - 15, '0');
    else if (keep <= 0)
      kept = (keep == 0 && digits[0] >= '5') ? "1" : "0";
    else {
      kept = digits.substr(0, keep);
      if (digits[keep] >= '5') {
        int k = keep - 1;
        while (k >= 0 && kept[k] == '9') kept[k--] = '0';
        if (k < 0)
          kept.insert(0, "1");
        else
          ++kept[k];
      }
    }
    while (kept.size() > 1 && kept[0] == '0') kept.erase(0, 1);
    const bool zero = kept == "0";
    if (static_cast<int>(kept.size()) <= decimals)
      kept.insert(0, std::string(decimals + 1 - kept.size(), '0'));
    std::string expect = (v < 0 && !zero ? "-" : "") + kept.substr(0, kept.size() - decimals);
    if (decimals > 0) expect += "." + kept.substr(kept.size() - decimals);
    std::string got;
    toolkit::FormatNumberField(v, 40, decimals, decimals > 0, got);
    got.erase(0, got.find_first_not_of(' '));
    if (got != expect)
      QFAIL(qPrintable(QStringLiteral("%1 at %2 decimals: %3, expected %4")
                           .arg(v, 0, 'g', 17)
                           .arg(decimals)
                           .arg(got.c_str())
                           .arg(expect.c_str())));
  }
}

void TestPrintUsing::formatAppendsAndReuses() {
  const toolkit::Mask mask = toolkit::CompileMask(kNehMask);
  std::string out = "> ";
  toolkit::FormatMask(mask, {1, 2.0, 3.0, 4.0, 5}, out);
  QCOMPARE(out.substr(0, 6), std::string(">    1"));
  const std::size_t first = out.size();
  toolkit::FormatMask(mask, {1, 2.0, 3.0, 4.0, 5}, out);
  QCOMPARE(out.size(), first + (first - 2));
}

QTEST_APPLESS_MAIN(TestPrintUsing)
#include "tst_print_using.moc"
