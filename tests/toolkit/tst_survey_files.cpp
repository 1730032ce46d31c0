// The survey file reader: opening by typed name, record counts, reading records past the
// end, field decoding, text numbers, packed heights, empty records and SEC terminators.
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

#include "survey_writer.h"
#include "toolkit/survey_files.h"

using testsupport::Record;
using toolkit::SurveyKind;

Q_DECLARE_METATYPE(toolkit::SurveyKind)
Q_DECLARE_METATYPE(toolkit::OpenResult)
Q_DECLARE_METATYPE(testsupport::Record)

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

class TestSurveyFiles : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase();
  void kinds_data();
  void kinds();
  void openByTypedName_data();
  void openByTypedName();
  void recordCount_data();
  void recordCount();
  void readRecordsInAnyOrder();
  void readBeyondEnd_data();
  void readBeyondEnd();
  void fileChangesWhileOpen();
  void fieldText();
  void readTextNumber_data();
  void readTextNumber();
  void readTextNumberStopsAtLength();
  void packedHeight_data();
  void packedHeight();
  void packedHeightStaysInRange();
  void emptyRecord_data();
  void emptyRecord();
  void secTerminator_data();
  void secTerminator();
  void reopenClosesPrevious();
  void readErrorIsNotAnEnd();
  void unreadableAfterExistence_data();
  void unreadableAfterExistence();
  void writerTextNumbers_data();
  void writerTextNumbers();

 private:
  std::string dir_;
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
};

void TestSurveyFiles::initTestCase() {
  dir_ = testsupport::MakeTempDir("tst_survey_files");
  QVERIFY(!dir_.empty());
}

void TestSurveyFiles::cleanupTestCase() {
  std::error_code ec;
  std::filesystem::permissions(Path("Locked.NEH"), std::filesystem::perms::owner_all, ec);
  std::filesystem::remove_all(dir_, ec);
}

void TestSurveyFiles::kinds_data() {
  QTest::addColumn<SurveyKind>("kind");
  QTest::addColumn<int>("length");
  QTest::addColumn<QString>("extension");
  QTest::newRow("DAT") << SurveyKind::Dat << 40 << ".DAT";
  QTest::newRow("NEH") << SurveyKind::Neh << 24 << ".NEH";
  QTest::newRow("SEC") << SurveyKind::Sec << 16 << ".SEC";
  QTest::newRow("STN") << SurveyKind::Stn << 32 << ".STN";
  QTest::newRow("CHG") << SurveyKind::Chg << 40 << ".CHG";
  QTest::newRow("PTS") << SurveyKind::Pts << 16 << ".PTS";
  QTest::newRow("SOL") << SurveyKind::Sol << 32 << ".SOL";
}

void TestSurveyFiles::kinds() {
  QFETCH(SurveyKind, kind);
  QFETCH(int, length);
  QFETCH(QString, extension);
  QCOMPARE(toolkit::RecordLength(kind), length);
  QCOMPARE(QString::fromLatin1(toolkit::KindExtension(kind)), extension);
}

void TestSurveyFiles::openByTypedName_data() {
  QTest::addColumn<QString>("onDisk");  // file created ("" none, ending in / a folder)
  QTest::addColumn<QString>("typed");
  QTest::addColumn<SurveyKind>("kind");
  QTest::addColumn<toolkit::OpenResult>("result");
  using R = toolkit::OpenResult;
  QTest::newRow("extension appended") << "Site.NEH"
                                      << "Site" << SurveyKind::Neh << R::Ok;
  QTest::newRow("name case kept") << "Site2.NEH"
                                  << "site2" << SurveyKind::Neh << R::Missing;
  QTest::newRow("extension upper case only") << "low.sec"
                                             << "low" << SurveyKind::Sec << R::Missing;
  QTest::newRow("other kind missing") << "Road.SEC"
                                      << "Road" << SurveyKind::Dat << R::Missing;
  QTest::newRow("typed with extension gets a second")
      << "Twice.DAT"
      << "Twice.DAT" << SurveyKind::Dat << R::Missing;
  QTest::newRow("blank in name") << "My Site.STN"
                                 << "My Site" << SurveyKind::Stn << R::Ok;
  QTest::newRow("empty name") << ""
                              << "" << SurveyKind::Pts << R::Missing;
  QTest::newRow("folder of that name") << "Folder.CHG/"
                                       << "Folder" << SurveyKind::Chg << R::Unreadable;
  QTest::newRow("300-character name") << "" << QString(300, 'n') << SurveyKind::Neh << R::Missing;
}

void TestSurveyFiles::openByTypedName() {
  QFETCH(QString, onDisk);
  QFETCH(QString, typed);
  QFETCH(SurveyKind, kind);
  QFETCH(toolkit::OpenResult, result);
  if (onDisk.endsWith('/')) {
    std::filesystem::create_directories(Path(onDisk.chopped(1).toStdString()));
  } else if (!onDisk.isEmpty()) {
    QVERIFY(testsupport::WriteBytes(Path(onDisk.toStdString()), std::string(48, '\0')));
  }
  toolkit::SurveyFile file;
  QCOMPARE(toolkit::OpenSurveyFile(file, Path(typed.toStdString()), kind), result);
  QCOMPARE(file.handle != nullptr, result == toolkit::OpenResult::Ok);
  QCOMPARE(QString::fromStdString(file.fileName),
           QString::fromStdString(Path(typed.toStdString())) +
               QString::fromLatin1(toolkit::KindExtension(kind)));
  toolkit::CloseSurveyFile(file);
  QVERIFY(file.handle == nullptr);
}

void TestSurveyFiles::recordCount_data() {
  QTest::addColumn<SurveyKind>("kind");
  QTest::addColumn<int>("bytes");
  QTest::addColumn<double>("count");
  QTest::newRow("50-byte DAT") << SurveyKind::Dat << 50 << 1.25;
  QTest::newRow("empty NEH") << SurveyKind::Neh << 0 << 0.0;
  QTest::newRow("two NEH records") << SurveyKind::Neh << 48 << 2.0;
  QTest::newRow("SEC one byte over") << SurveyKind::Sec << 17 << 1.0625;
  QTest::newRow("STN short of one") << SurveyKind::Stn << 31 << 31.0 / 32.0;
  QTest::newRow("large PTS") << SurveyKind::Pts << 16 * 100000 << 100000.0;
}

void TestSurveyFiles::recordCount() {
  QFETCH(SurveyKind, kind);
  QFETCH(int, bytes);
  QFETCH(double, count);
  const std::string name = Path("count" + std::string(QTest::currentDataTag()).substr(0, 3));
  QVERIFY(testsupport::WriteBytes(name + toolkit::KindExtension(kind), std::string(bytes, 'x')));
  toolkit::SurveyFile file;
  QCOMPARE(toolkit::OpenSurveyFile(file, name, kind), toolkit::OpenResult::Ok);
  QCOMPARE(file.recordCount, count);
  toolkit::CloseSurveyFile(file);
}

void TestSurveyFiles::readRecordsInAnyOrder() {
  // Sequential reads, jumps back and forward, and a re-read all see the right record.
  std::vector<Record> records;
  for (int r = 1; r <= 5000; ++r) records.push_back({r * 1.0, r * 2.0, r * 0.5});
  QVERIFY(testsupport::WriteSurveyFile(Path("Order.NEH"), records, 24));
  toolkit::SurveyFile file;
  QCOMPARE(toolkit::OpenSurveyFile(file, Path("Order"), SurveyKind::Neh), toolkit::OpenResult::Ok);
  const std::int64_t order[] = {1, 2,    3,    4000, 4001, 7,    7,    5000,
                                1, 2500, 2501, 2502, 9,    5000, 5001, 4999};
  for (std::int64_t r : order) {
    QVERIFY(toolkit::ReadRecord(file, r));
    const double expect = r <= 5000 ? static_cast<double>(r) : 0.0;
    QCOMPARE(toolkit::FieldBinary(file, 1), expect);
    QCOMPARE(toolkit::FieldBinary(file, 2), expect * 2);
    QCOMPARE(toolkit::FieldBinary(file, 3), expect * 0.5);
  }
  for (std::int64_t r = 1; r <= 5000; ++r) {
    toolkit::ReadRecord(file, r);
    if (toolkit::FieldBinary(file, 1) != static_cast<double>(r))
      QFAIL(qPrintable(QString::number(r)));
  }
  toolkit::CloseSurveyFile(file);
}

void TestSurveyFiles::readBeyondEnd_data() {
  QTest::addColumn<qint64>("record");
  QTest::addColumn<int>("dataBytes");  // bytes of the record that lie in the 50-byte file
  QTest::newRow("first whole record") << qint64(1) << 40;
  QTest::newRow("trailing partial record") << qint64(2) << 10;
  QTest::newRow("wholly missing record") << qint64(3) << 0;
  QTest::newRow("far past the end") << qint64(1000000000) << 0;
  QTest::newRow("largest record number") << std::numeric_limits<qint64>::max() << 0;
  QTest::newRow("record 0") << qint64(0) << 0;
  QTest::newRow("negative record") << qint64(-5) << 0;
  QTest::newRow("most negative record") << std::numeric_limits<qint64>::min() << 0;
}

void TestSurveyFiles::readBeyondEnd() {
  QFETCH(qint64, record);
  QFETCH(int, dataBytes);
  std::string bytes(50, '\0');
  for (int i = 0; i < 50; ++i) bytes[i] = static_cast<char>(i + 1);
  QVERIFY(testsupport::WriteBytes(Path("Short.DAT"), bytes));
  toolkit::SurveyFile file;
  QCOMPARE(toolkit::OpenSurveyFile(file, Path("Short"), SurveyKind::Dat), toolkit::OpenResult::Ok);
  // A record with stale bytes before it must still come back zero-filled.
  QVERIFY(toolkit::ReadRecord(file, 1));
  QVERIFY(toolkit::ReadRecord(file, record));
  const std::int64_t start = (record >= 1 && record <= 2) ? (record - 1) * 40 : 0;
  for (int i = 0; i < 40; ++i) {
    const int expect = i < dataBytes ? static_cast<int>(start) + i + 1 : 0;
    QCOMPARE(static_cast<int>(file.record[i]), expect);
  }
  QCOMPARE(file.beyondEnd, dataBytes < 40);
  // Nothing beyond the record length of the kind is left over either.
  toolkit::CloseSurveyFile(file);
}

void TestSurveyFiles::fileChangesWhileOpen() {
  // Another program may cut or extend the file while it is listed. Bytes already read
  // ahead may still be seen after a cut; what was never in the file reads as zeros, and
  // records added later are read.
  std::vector<Record> records;
  for (int r = 1; r <= 10; ++r) records.push_back({1.0 * r, 2.0 * r, 3.0 * r});
  QVERIFY(testsupport::WriteSurveyFile(Path("Change.NEH"), records, 24));
  toolkit::SurveyFile file;
  QCOMPARE(toolkit::OpenSurveyFile(file, Path("Change"), SurveyKind::Neh), toolkit::OpenResult::Ok);
  QVERIFY(toolkit::ReadRecord(file, 1));
  std::filesystem::resize_file(Path("Change.NEH"), 24 * 3 + 5);
  QVERIFY(toolkit::ReadRecord(file, 2));
  QCOMPARE(toolkit::FieldBinary(file, 1), 2.0);
  for (std::int64_t r : {8, 4, 10, 11, 12, 5}) {
    QVERIFY(toolkit::ReadRecord(file, r));
    const double n = toolkit::FieldBinary(file, 1);
    QVERIFY2(n == 0 || n == static_cast<double>(r), qPrintable(QString::number(r)));
    if (r > 10) QCOMPARE(n, 0.0);
    // A record no longer in the file says so; one still there (or read ahead) does not.
    if (r >= 5) QCOMPARE(file.beyondEnd, n == 0);
  }
  records.push_back({11.0, 22.0, 33.0});
  QVERIFY(testsupport::WriteSurveyFile(Path("Change.NEH"), records, 24));
  QVERIFY(toolkit::ReadRecord(file, 11));
  QCOMPARE(toolkit::FieldBinary(file, 3), 33.0);
  QVERIFY(toolkit::ReadRecord(file, 12));
  QCOMPARE(toolkit::FieldBinary(file, 3), 0.0);
  toolkit::CloseSurveyFile(file);
}

void TestSurveyFiles::readErrorIsNotAnEnd() {
  // A read that fails (here a handle that can no longer read) must not pass for the end
  // of the file: callers stop and say so instead of listing zeros.
  std::vector<Record> records{Record{1.0, 2.0, 3.0}, Record{4.0, 5.0, 6.0}};
  QVERIFY(testsupport::WriteSurveyFile(Path("Fail.NEH"), records, 24));
  toolkit::SurveyFile file;
  QCOMPARE(toolkit::OpenSurveyFile(file, Path("Fail"), SurveyKind::Neh), toolkit::OpenResult::Ok);
  QVERIFY(toolkit::ReadRecord(file, 1));
  file.handle = std::freopen(Path("Fail.NEH").c_str(), "ab", file.handle);
  QVERIFY(file.handle != nullptr);
  file.position = -1;
  QVERIFY(!toolkit::ReadRecord(file, 2));
  QCOMPARE(toolkit::FieldBinary(file, 1), 0.0);
  QVERIFY(!toolkit::ReadRecord(file, 2));  // and again: the fault stays reported
  toolkit::CloseSurveyFile(file);
  QVERIFY(!toolkit::ReadRecord(file, 1));  // no file open
}

void TestSurveyFiles::unreadableAfterExistence_data() {
  // A name that exists but cannot be read as a survey file; every case is one that
  // holds for root as for anyone.
  QTest::addColumn<QString>("what");
  QTest::newRow("folder") << "folder";
  QTest::newRow("no length to take") << "mem";
  QTest::newRow("pipe") << "fifo";
}

void TestSurveyFiles::unreadableAfterExistence() {
  QFETCH(QString, what);
  const std::string name = Path("Odd" + what.toStdString() + ".NEH");
  std::error_code ec;
  std::filesystem::remove_all(name, ec);
  if (what == "folder") std::filesystem::create_directory(name);
  if (what == "mem") std::filesystem::create_symlink("/proc/self/mem", name);
  if (what == "fifo") QCOMPARE(::mkfifo(name.c_str(), 0600), 0);
  QVERIFY(toolkit::SurveyFileExists(name));
  toolkit::SurveyFile file;
  const toolkit::OpenResult result = toolkit::OpenSurveyFileNamed(file, name, SurveyKind::Neh);
  // Either it is refused at once, or (a length the C library takes as 0) every read of
  // it fails: never does it read as records.
  if (what == "mem" && result == toolkit::OpenResult::Ok) {
    QCOMPARE(file.recordCount, 0.0);
  } else {
    QCOMPARE(result, toolkit::OpenResult::Unreadable);
    QVERIFY(file.handle == nullptr);
  }
  QVERIFY(!toolkit::ReadRecord(file, 1));
  toolkit::CloseSurveyFile(file);
  std::filesystem::remove_all(name, ec);
}

void TestSurveyFiles::fieldText() {
  std::string stn = std::string("STN A\0\0\0", 8);
  QVERIFY(testsupport::WriteSurveyFile(
      Path("Names.STN"),
      {{stn, 812000.5, 832000.25, 12.5}, {std::string("ABCDEFGH"), 1.0, 2.0, 3.0}}, 32));
  toolkit::SurveyFile file;
  QCOMPARE(toolkit::OpenSurveyFile(file, Path("Names"), SurveyKind::Stn), toolkit::OpenResult::Ok);
  QVERIFY(toolkit::ReadRecord(file, 1));
  QCOMPARE(toolkit::FieldText(file, 1), stn);
  QCOMPARE(toolkit::FieldTextTrimmed(file, 1), std::string("STN A"));
  QCOMPARE(toolkit::FieldBinary(file, 2), 812000.5);
  QCOMPARE(toolkit::FieldBinary(file, 4), 12.5);
  QCOMPARE(toolkit::FieldText(file, 5), std::string(8, '\0'));  // beyond the STN record
  QCOMPARE(toolkit::FieldText(file, 0), std::string());
  QCOMPARE(toolkit::FieldText(file, 6), std::string());
  QCOMPARE(toolkit::FieldBinary(file, 9), 0.0);
  QVERIFY(toolkit::ReadRecord(file, 2));
  QCOMPARE(toolkit::FieldTextTrimmed(file, 1), std::string("ABCDEFGH"));
  toolkit::CloseSurveyFile(file);
}

void TestSurveyFiles::readTextNumber_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<double>("value");
  QTest::newRow("leading blanks") << QByteArray("  12.345") << 12.345;
  QTest::newRow("trailing blanks") << QByteArray("12.345  ") << 12.345;
  QTest::newRow("eight zero bytes") << QByteArray(8, '\0') << 0.0;
  QTest::newRow("all blanks") << QByteArray("        ") << 0.0;
  QTest::newRow("negative") << QByteArray("   -1.5 ") << -1.5;
  QTest::newRow("plus sign") << QByteArray("+2") << 2.0;
  QTest::newRow("tabs and line feeds") << QByteArray("\t\n 3.25") << 3.25;
  QTest::newRow("carriage return") << QByteArray("\r\n4") << 4.0;
  QTest::newRow("stops at letters") << QByteArray("12abc") << 12.0;
  QTest::newRow("stops at comma") << QByteArray("1,5") << 1.0;
  QTest::newRow("stops at inner blank") << QByteArray("1 2") << 1.0;
  QTest::newRow("text only") << QByteArray("CH100") << 0.0;
  QTest::newRow("point only") << QByteArray(".") << 0.0;
  QTest::newRow("sign only") << QByteArray("-") << 0.0;
  QTest::newRow("sign then blank") << QByteArray("- 5") << 0.0;
  QTest::newRow("point last") << QByteArray("5.") << 5.0;
  QTest::newRow("point first") << QByteArray("-.5") << -0.5;
  QTest::newRow("exponent") << QByteArray("1E3") << 1000.0;
  QTest::newRow("negative exponent") << QByteArray("1.5e-2") << 0.015;
  QTest::newRow("D exponent") << QByteArray("1.5D+3") << 1500.0;
  QTest::newRow("E without digits") << QByteArray("2E") << 2.0;
  QTest::newRow("E sign without digits") << QByteArray("2E+ 7") << 2.0;
  QTest::newRow("too large is infinite") << QByteArray("9E999") << kInf;
  QTest::newRow("too large negative") << QByteArray("-9E99999") << -kInf;
  QTest::newRow("too small is zero") << QByteArray("1E-999") << 0.0;
  QTest::newRow("denormal kept") << QByteArray("1E-310") << 1e-310;
  QTest::newRow("terminator") << QByteArray("     999") << 999.0;
  QTest::newRow("eight digits") << QByteArray("12345678") << 12345678.0;
  QTest::newRow("not rounded through float") << QByteArray("0.1") << 0.1;
  QTest::newRow("leading zeros") << QByteArray("0000.125") << 0.125;
  QTest::newRow("zero bytes after") << QByteArray("7.5\0\0\0\0\0", 8) << 7.5;
  QTest::newRow("zero byte before") << QByteArray(
                                           "\0"
                                           "7.5",
                                           4)
                                    << 0.0;
  QTest::newRow("long digits") << QByteArray(60, '9') << 1e60;
  QTest::newRow("long fraction") << QByteArray("0." + QByteArray(70, '0') + "5") << 5e-71;
}

void TestSurveyFiles::readTextNumber() {
  QFETCH(QByteArray, text);
  QFETCH(double, value);
  const double got =
      toolkit::ReadTextNumber(text.constData(), static_cast<std::size_t>(text.size()));
  QCOMPARE(got, value);
}

void TestSurveyFiles::readTextNumberStopsAtLength() {
  // The bytes after the field are never looked at, even when they would extend the number.
  const char text[] = "1234567899E5";
  QCOMPARE(toolkit::ReadTextNumber(text, 8), 12345678.0);
  QCOMPARE(toolkit::ReadTextNumber(text, 0), 0.0);
  QCOMPARE(toolkit::ReadTextNumber("1.5E7", 4), 1.5);
  QCOMPARE(toolkit::ReadTextNumber("1.57", 3), 1.5);
  QCOMPARE(toolkit::ReadTextNumber(nullptr, 8), 0.0);
  QCOMPARE(toolkit::ReadTextNumber(std::string_view("  -42")), -42.0);
}

void TestSurveyFiles::packedHeight_data() {
  QTest::addColumn<double>("stored");
  QTest::addColumn<double>("height");
  QTest::addColumn<double>("code");
  QTest::newRow("negative with code 3") << -30002.5 << -2.5 << 3.0;
  QTest::newRow("code 12") << 120035.123 << 120035.123 - 120000.0 << 12.0;
  QTest::newRow("zero") << 0.0 << 0.0 << 0.0;
  QTest::newRow("no code") << 45.75 << 45.75 << 0.0;
  QTest::newRow("negative no code") << -0.5 << -0.5 << 0.0;
  QTest::newRow("just below the packing limit") << 9999.5 << 9999.5 << 0.0;
  QTest::newRow("height 10000 reads as next code") << 10000.0 << 0.0 << 1.0;
  QTest::newRow("large code") << 9990012.5 << 12.5 << 999.0;
}

void TestSurveyFiles::packedHeight() {
  QFETCH(double, stored);
  QFETCH(double, height);
  QFETCH(double, code);
  const toolkit::PackedHeight p = toolkit::DecodePackedHeight(stored);
  QCOMPARE(p.height, height);
  QCOMPARE(p.code, code);
}

void TestSurveyFiles::packedHeightStaysInRange() {
  // Values at a code boundary where |s| / 10000 rounds up must not give a negative
  // height; NaN and infinities give no height and no code instead of undefined behaviour.
  const double boundary = std::nextafter(20000.0, 0.0);
  toolkit::PackedHeight p = toolkit::DecodePackedHeight(boundary);
  QCOMPARE(p.code, 1.0);
  QVERIFY(p.height > 9999.99 && p.height < 10000.0);
  p = toolkit::DecodePackedHeight(-boundary);
  QCOMPARE(p.code, 1.0);
  QVERIFY(p.height < -9999.99 && p.height > -10000.0);
  // 1.782e64 once decoded to a height of 10000 or more (rounding of code * 10000).
  for (double s : {1e300, -1e300, 1.7976931348623157e308, 4.9e-324, 1e16 + 2, 123456789.987654,
                   1.7820026453978833e+64}) {
    p = toolkit::DecodePackedHeight(s);
    QVERIFY(std::fabs(p.height) < 10000.0);
    QVERIFY(p.code >= 0 && p.code == std::trunc(p.code));
  }
  for (double s : {kNaN, kInf, -kInf}) {
    p = toolkit::DecodePackedHeight(s);
    QVERIFY(std::isnan(p.height));
    QCOMPARE(p.code, 0.0);
  }
}

void TestSurveyFiles::emptyRecord_data() {
  QTest::addColumn<SurveyKind>("kind");
  QTest::addColumn<testsupport::Record>("record");
  QTest::addColumn<bool>("empty");
  using testsupport::Record;
  QTest::newRow("DAT zero VA and distance")
      << SurveyKind::Dat << Record{12.5, 0.0, 0.0, 1.5, 3.0} << true;
  QTest::newRow("DAT distance set") << SurveyKind::Dat << Record{0.0, 0.0, 5.0} << false;
  QTest::newRow("DAT negative zero") << SurveyKind::Dat << Record{0.0, -0.0, -0.0} << true;
  QTest::newRow("DAT NaN is not empty") << SurveyKind::Dat << Record{0.0, kNaN, 0.0} << false;
  QTest::newRow("NEH marker northing only")
      << SurveyKind::Neh << Record{-812000.0, 0.0, 0.0} << true;
  QTest::newRow("NEH code only") << SurveyKind::Neh << Record{0.0, 0.0, 30000.0} << false;
  QTest::newRow("SEC zero texts") << SurveyKind::Sec
                                  << Record{std::string("   0.000"), std::string("       0")}
                                  << true;
  QTest::newRow("SEC blank texts")
      << SurveyKind::Sec << Record{std::string(""), std::string("")} << true;
  QTest::newRow("SEC header name")
      << SurveyKind::Sec << Record{std::string("CH100"), std::string("")} << true;
  QTest::newRow("SEC offset") << SurveyKind::Sec
                              << Record{std::string("  -5.000"), std::string("  12.300")} << false;
  QTest::newRow("STN name only") << SurveyKind::Stn << Record{std::string("STN1"), 0.0, 0.0, 10.0}
                                 << true;
  QTest::newRow("STN easting") << SurveyKind::Stn << Record{std::string("STN1"), 0.0, 1.0} << false;
  QTest::newRow("CHG chainage only") << SurveyKind::Chg << Record{100.0, 0.0, 0.0, 5.0} << true;
  QTest::newRow("CHG bearing") << SurveyKind::Chg << Record{100.0, 90.0, 0.0} << false;
  QTest::newRow("SOL chainage only") << SurveyKind::Sol << Record{100.0, 0.0, 0.0, 45.0} << true;
  QTest::newRow("PTS all zero never empty") << SurveyKind::Pts << Record{} << false;
}

void TestSurveyFiles::emptyRecord() {
  QFETCH(SurveyKind, kind);
  QFETCH(testsupport::Record, record);
  QFETCH(bool, empty);
  const std::string name = Path("Empty");
  QVERIFY(testsupport::WriteSurveyFile(name + toolkit::KindExtension(kind), {record},
                                       toolkit::RecordLength(kind)));
  toolkit::SurveyFile file;
  QCOMPARE(toolkit::OpenSurveyFile(file, name, kind), toolkit::OpenResult::Ok);
  QVERIFY(toolkit::ReadRecord(file, 1));
  QCOMPARE(toolkit::IsEmptyRecord(file), empty);
  // A record read past the end is empty for every kind that has empty records.
  QVERIFY(toolkit::ReadRecord(file, 2));
  QCOMPARE(toolkit::IsEmptyRecord(file), kind != SurveyKind::Pts);
  toolkit::CloseSurveyFile(file);
}

void TestSurveyFiles::secTerminator_data() {
  QTest::addColumn<QByteArray>("field1");
  QTest::addColumn<bool>("terminator");
  QTest::newRow("999") << QByteArray("     999") << true;
  QTest::newRow("999 left") << QByteArray("999") << true;
  QTest::newRow("999.000") << QByteArray(" 999.000") << true;
  QTest::newRow("999 then text") << QByteArray("999END") << true;
  QTest::newRow("999.1") << QByteArray("   999.1") << false;
  QTest::newRow("9990") << QByteArray("    9990") << false;
  QTest::newRow("-999") << QByteArray("    -999") << false;
  QTest::newRow("name") << QByteArray("CH 999") << false;
  QTest::newRow("zeros") << QByteArray(8, '\0') << false;
}

void TestSurveyFiles::secTerminator() {
  QFETCH(QByteArray, field1);
  QFETCH(bool, terminator);
  const std::string name = Path("Term");
  // The second field holds numbers; it plays no part in the test.
  QVERIFY(testsupport::WriteSurveyFile(name + ".SEC",
                                       {{field1.toStdString(), std::string(" 123.456")}}, 16));
  toolkit::SurveyFile file;
  QCOMPARE(toolkit::OpenSurveyFile(file, name, SurveyKind::Sec), toolkit::OpenResult::Ok);
  QVERIFY(toolkit::ReadRecord(file, 1));
  QCOMPARE(toolkit::IsSecTerminator(file), terminator);
  toolkit::CloseSurveyFile(file);
}

void TestSurveyFiles::reopenClosesPrevious() {
  // Opening again on the same record (another file, or a missing one) leaves no stale
  // handle or count behind.
  QVERIFY(testsupport::WriteSurveyFile(Path("One.NEH"), {{1.0, 2.0, 3.0}}, 24));
  toolkit::SurveyFile file;
  QCOMPARE(toolkit::OpenSurveyFile(file, Path("One"), SurveyKind::Neh), toolkit::OpenResult::Ok);
  QCOMPARE(file.recordCount, 1.0);
  QCOMPARE(toolkit::OpenSurveyFile(file, Path("None"), SurveyKind::Neh),
           toolkit::OpenResult::Missing);
  QVERIFY(file.handle == nullptr);
  QCOMPARE(file.recordCount, 0.0);
  QVERIFY(!toolkit::ReadRecord(file, 1));
  QCOMPARE(toolkit::FieldBinary(file, 1), 0.0);
  if (geteuid() != 0) {
    QVERIFY(testsupport::WriteBytes(Path("Locked.NEH"), std::string(24, '\1')));
    ::chmod(Path("Locked.NEH").c_str(), 0);
    QCOMPARE(toolkit::OpenSurveyFile(file, Path("Locked"), SurveyKind::Neh),
             toolkit::OpenResult::Unreadable);
    QVERIFY(file.handle == nullptr);
  }
}

void TestSurveyFiles::writerTextNumbers_data() {
  // The test file writer stores text numbers as a writer of the suite would.
  QTest::addColumn<double>("value");
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<double>("readsAs");
  QTest::newRow("three decimals") << 12.345 << QByteArray("  12.345") << 12.345;
  QTest::newRow("negative") << -105.25 << QByteArray("-105.250") << -105.25;
  QTest::newRow("terminator") << 999.0 << QByteArray(" 999.000") << 999.0;
  QTest::newRow("fewer decimals to fit") << 123456.789 << QByteArray("123456.8") << 123456.8;
  QTest::newRow("whole when nothing else fits")
      << -1234567.5 << QByteArray("-1234568") << -1234568.0;
}

void TestSurveyFiles::writerTextNumbers() {
  QFETCH(double, value);
  QFETCH(QByteArray, text);
  QFETCH(double, readsAs);
  const std::string stored = testsupport::TextNumber(value);
  QCOMPARE(QByteArray::fromStdString(stored), text);
  QCOMPARE(toolkit::ReadTextNumber(stored), readsAs);
  QCOMPARE(testsupport::PackHeight(-2.5, 3), -30002.5);
  QCOMPARE(toolkit::DecodePackedHeight(testsupport::PackHeight(35.125, 12)).height, 35.125);
}

QTEST_APPLESS_MAIN(TestSurveyFiles)
#include "tst_survey_files.moc"
