// The viewer's document: record files to text lines, text files byte for byte, the
// four-decimal format and the failures of loading.
#include <QtTest>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "survey_writer.h"
#include "viewer/document.h"

using namespace std::string_literals;
using testsupport::Record;

Q_DECLARE_METATYPE(std::string)

class TestViewerDocument : public QObject {
  Q_OBJECT

  std::string dir_;
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

 private slots:
  void initTestCase() { dir_ = testsupport::MakeTempDir("viewer_document"); }
  void cleanupTestCase() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  void formatFixed4_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<std::string>("text");
    QTest::newRow("half") << 12.5 << " 12.5000"s;
    QTest::newRow("negative half") << -12.5 << "-12.5000"s;
    // Decimals are cut from the binary value, never rounded.
    QTest::newRow("stored 0.29") << 0.29 << " 0.2899"s;
    QTest::newRow("stored 2.675") << 2.675 << " 2.6749"s;
    QTest::newRow("stored -2.675") << -2.675 << "-2.6749"s;
    QTest::newRow("zero") << 0.0 << " 0.0000"s;
    QTest::newRow("negative zero") << -0.0 << " 0.0000"s;
    QTest::newRow("one decimal digit") << 3.05 << " 3.0499"s;
    QTest::newRow("just below a whole") << 0.99999 << " 0.9999"s;
    QTest::newRow("small negative") << -0.0001 << "-0.0001"s;
    QTest::newRow("coordinate") << 832451.1234 << " 832451.1234"s;
    QTest::newRow("fifteen digits") << 999999999999999.0 << " 999999999999999.0000"s;
    QTest::newRow("huge uses exponent") << 1.5e20 << " 1.5E+20.0000"s;
    // Just below a whole number: the integer part must not round up.
    QTest::newRow("largest below one") << std::nextafter(1.0, 0.0) << " 0.9999"s;
    QTest::newRow("largest below minus one") << std::nextafter(-1.0, 0.0) << "-0.9999"s;
    QTest::newRow("just below 1e15") << std::nextafter(1e15, 0.0) << " 999999999999999.8750"s;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << " NaN"s;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << " Inf"s;
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "-Inf"s;
  }
  void formatFixed4() {
    QFETCH(double, value);
    QFETCH(std::string, text);
    const double before = value;
    QCOMPARE(viewer::FormatFixed4(value), text);
    QVERIFY(std::memcmp(&before, &value, sizeof value) == 0);  // the caller's value is kept
  }

  void numberText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("plain");
    QTest::newRow("whole") << 3.0 << " 3"s
                           << "3"s;
    QTest::newRow("zero") << 0.0 << " 0"s
                          << "0"s;
    QTest::newRow("negative whole") << -42.0 << "-42"s
                                    << "-42"s;
    QTest::newRow("fraction") << 2.5 << " 2.5"s
                              << "2.5"s;
    QTest::newRow("below one") << 0.25 << " .25"s
                               << ".25"s;
    QTest::newRow("big whole") << 123456789012345.0 << " 123456789012345"s
                               << "123456789012345"s;
    QTest::newRow("exponent") << 1.5e20 << " 1.5E+20"s
                              << "1.5E+20"s;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << " NaN"s
                         << "NaN"s;
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "-Inf"s
                                    << "-Inf"s;
  }
  void numberText() {
    QFETCH(double, value);
    QFETCH(std::string, text);
    QFETCH(std::string, plain);
    QCOMPARE(viewer::ViewerNumberText(value), text);
    QCOMPARE(viewer::ViewerPlainNumberText(value), plain);
  }

  void kindOfPath_data() {
    QTest::addColumn<std::string>("path");
    QTest::addColumn<int>("kind");
    QTest::newRow("NEH") << "/data/x.NEH"s << int(viewer::FileKind::Neh);
    QTest::newRow("SEC") << "x.SEC"s << int(viewer::FileKind::Sec);
    QTest::newRow("DAT") << "x.DAT"s << int(viewer::FileKind::Dat);
    QTest::newRow("STN") << "x.STN"s << int(viewer::FileKind::Stn);
    QTest::newRow("SOL") << "x.SOL"s << int(viewer::FileKind::Sol);
    QTest::newRow("lower case") << "x.neh"s << int(viewer::FileKind::Text);
    QTest::newRow("point in a folder") << "C:\\a.b\\x.NEH"s << int(viewer::FileKind::Text);
    QTest::newRow("point in a unix folder") << "/home/j.lee/x.NEH"s << int(viewer::FileKind::Text);
    QTest::newRow("two extensions") << "x.NEH.bak"s << int(viewer::FileKind::Text);
    QTest::newRow("no point") << "README"s << int(viewer::FileKind::Text);
    QTest::newRow("text") << "x.TXT"s << int(viewer::FileKind::Text);
  }
  void kindOfPath() {
    QFETCH(std::string, path);
    QFETCH(int, kind);
    QCOMPARE(int(viewer::KindOfPath(path)), kind);
  }

  void recordCount_data() {
    QTest::addColumn<qint64>("length");
    QTest::addColumn<int>("recordLength");
    QTest::addColumn<qint64>("count");
    QTest::newRow("empty") << qint64(0) << 24 << qint64(0);
    QTest::newRow("exact") << qint64(48) << 24 << qint64(2);
    QTest::newRow("1.5 to even 2") << qint64(36) << 24 << qint64(2);
    QTest::newRow("2.5 to even 2") << qint64(60) << 24 << qint64(2);
    QTest::newRow("3.5 to even 4") << qint64(84) << 24 << qint64(4);
    QTest::newRow("0.5 to even 0") << qint64(12) << 24 << qint64(0);
    QTest::newRow("below half") << qint64(50) << 40 << qint64(1);
    QTest::newRow("above half") << qint64(61) << 40 << qint64(2);
  }
  void recordCount() {
    QFETCH(qint64, length);
    QFETCH(int, recordLength);
    QFETCH(qint64, count);
    QCOMPARE(qint64(viewer::ViewerRecordCount(length, recordLength)), count);
  }

  void packedHeight_data() {
    QTest::addColumn<double>("stored");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("code");
    QTest::newRow("code 3") << 30012.5 << 12.5 << 3.0;
    QTest::newRow("negative code 3") << -30012.5 << -12.5 << 3.0;
    QTest::newRow("zero") << 0.0 << 0.0 << 0.0;
    QTest::newRow("no code") << 35.25 << 35.25 << 0.0;
    QTest::newRow("negative, no code") << -2.5 << -2.5 << 0.0;
    QTest::newRow("code 12") << 120035.125 << 35.125 << 12.0;
  }
  void packedHeight() {
    QFETCH(double, stored);
    QFETCH(double, height);
    QFETCH(double, code);
    const viewer::PackedHeight ph = viewer::DecodeViewerHeight(stored);
    QCOMPARE(double(ph.height), height);
    QCOMPARE(double(ph.code), code);
  }

  // Whole files through LoadSurveyFile: one row per kind and case.
  void recordFiles_data() {
    QTest::addColumn<std::string>("name");
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<std::string>("text");
    const std::string nehHead = "PT.   NORTHINGS     EASTINGS     HEIGHT   CODE\r\n";
    auto neh = [](std::vector<Record> recs) {
      std::string out;
      std::string path = testsupport::MakeTempDir("viewer_rec") + "/r.bin";
      testsupport::WriteSurveyFile(path, recs, 24);
      std::FILE* f = std::fopen(path.c_str(), "rb");
      char buf[4096];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
      std::fclose(f);
      std::filesystem::remove_all(std::filesystem::path(path).parent_path());
      return out;
    };
    QTest::newRow("NEH empty file") << "e.NEH"s
                                    << ""s << nehHead;
    QTest::newRow("NEH packed height")
        << "a.NEH"s << neh({{815000.125, -832000.5, 30012.5}})
        << nehHead + " 1   815000.1250   832000.5000   12.5000   3\r\n";
    QTest::newRow("NEH negative height, line marker northing")
        << "b.NEH"s << neh({{-5.0, 7.0, -30012.5}, {0.0, 0.0, 0.0}})
        << nehHead + " 1   5.0000   7.0000  -12.5000   3\r\n 2   0.0000   0.0000   0.0000   0\r\n";
    // 36 bytes: 1.5 records round to 2; the missing half reads as zeros.
    QTest::newRow("NEH partial record")
        << "c.NEH"s << neh({{1.0, 2.0, 3.0}}) + std::string(12, '\0')
        << nehHead + " 1   1.0000   2.0000   3.0000   0\r\n 2   0.0000   0.0000   0.0000   0\r\n";
    QTest::newRow("NEH NaN and infinity")
        << "d.NEH"s
        << neh({{std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                 std::numeric_limits<double>::quiet_NaN()},
                {1e300, -1e300, -std::numeric_limits<double>::infinity()}})
        << nehHead + " 1   NaN   Inf   NaN   NaN\r\n 2   1E+300.0000   1E+300.0000   NaN   Inf\r\n";

    std::string sec;
    {
      std::string f1 = "   12.30", f2 = "  101.25";
      sec = f1 + f2;
    }
    QTest::newRow("SEC keeps the blanks")
        << "s.SEC"s << sec << "PT.  DIST     HEIGHT      REMARKS\r\n 1     12.30    101.25\r\n"s;
    QTest::newRow("SEC zero bytes kept in the document")
        << "z.SEC"s
        << "CH1\0\0\0\0\0  100.00"s
        << "PT.  DIST     HEIGHT      REMARKS\r\n 1  CH1\0\0\0\0\0    100.00\r\n"s;

    std::string dat;
    {
      auto d = [](double v) {
        std::string s(8, '\0');
        std::memcpy(s.data(), &v, 8);
        return s;
      };
      dat = d(123.4512) + d(90.0) + d(45.678) + d(1.5) + d(2.5);
      QTest::newRow("DAT code with a fraction")
          << "o.DAT"s << dat
          << "PT.    H.A.       V.A.      DIST.   SIG.HT.  CODE\r\n 1   123.4512   90.0000   45.6779   1.5000   2.5\r\n"s;
      std::string stn = "STN1    "s + d(-100.25) + d(200.5) + d(0.25);
      QTest::newRow("STN height as number text")
          << "t.STN"s << stn
          << "PT. STN. NAME   NORTHINGS     EASTINGS    HEIGHTS\r\n 1  STN1      -100.2500   200.5000   .25\r\n"s;
      std::string sol = d(1000.0) + d(815000.0) + d(832000.0) + d(45.5);
      QTest::newRow("SOL four fields")
          << "l.SOL"s << sol
          << "PT. CHAINAGE    NORTHINGS      EASTING      TAN BRG\r\n 1   1000.0000   815000.0000   832000.0000   45.5000\r\n"s;
    }
    // Text kinds: byte for byte, whatever the bytes.
    QTest::newRow("text with tabs and lone LF") << "n.TXT"s
                                                << "a\tb\nc\r\nd\xff\x80"s
                                                << "a\tb\nc\r\nd\xff\x80"s;
    QTest::newRow("lower-case extension is text") << "x.neh"s
                                                  << "\x01\x02\x03"s
                                                  << "\x01\x02\x03"s;
    QTest::newRow("text with a zero byte") << "zero.XYZ"s
                                           << "ab\0cd"s
                                           << "ab\0cd"s;
  }
  void recordFiles() {
    QFETCH(std::string, name);
    QFETCH(std::string, bytes);
    QFETCH(std::string, text);
    const std::string path = Path(name);
    QVERIFY(testsupport::WriteBytes(path, bytes));
    const viewer::LoadResult r = viewer::LoadSurveyFile(path);
    QCOMPARE(int(r.error), int(viewer::LoadError::None));
    QCOMPARE(QByteArray::fromStdString(r.text), QByteArray::fromStdString(text));
  }

  void folderWithPointMakesText() {
    const std::string folder = Path("site.v2");
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/x.NEH";
    const std::string bytes = "\x00\x00\x00\x00\x00\x00\xf0\x3f"s + std::string(16, '\0');
    QVERIFY(testsupport::WriteBytes(path, bytes));
    QCOMPARE(viewer::LoadSurveyFile(path).text, bytes);
  }

  void missingFile() {
    const viewer::LoadResult r = viewer::LoadSurveyFile(Path("nothing.NEH"));
    QCOMPARE(int(r.error), int(viewer::LoadError::NotFound));
    QVERIFY(r.text.empty());
    QCOMPARE(std::string(viewer::MessageOf(r.error)), "The file does not exist."s);
    QCOMPARE(int(viewer::LoadSurveyFile("").error), int(viewer::LoadError::NotFound));
  }

  void unreadableFiles() {
    if (::geteuid() == 0) QSKIP("permissions do not apply to root");
    const std::string txt = Path("locked.TXT");
    const std::string neh = Path("locked.NEH");
    QVERIFY(testsupport::WriteBytes(txt, "secret"));
    QVERIFY(testsupport::WriteBytes(neh, std::string(24, '\x11')));
    std::filesystem::permissions(txt, std::filesystem::perms::none);
    std::filesystem::permissions(neh, std::filesystem::perms::none);
    const viewer::LoadResult t = viewer::LoadSurveyFile(txt);
    QCOMPARE(std::string(viewer::MessageOf(t.error)), "Permission denied"s);
    QVERIFY(t.text.empty());
    // A record file that cannot be opened is not reported: its header alone.
    const viewer::LoadResult n = viewer::LoadSurveyFile(neh);
    QCOMPARE(int(n.error), int(viewer::LoadError::None));
    QCOMPARE(n.text, "PT.   NORTHINGS     EASTINGS     HEIGHT   CODE\r\n"s);
  }

  void fileHeldByAnotherProgram() {
    const std::string txt = Path("held.TXT");
    QVERIFY(testsupport::WriteBytes(txt, "held"));
    const int fd = ::open(txt.c_str(), O_RDONLY);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX), 0);
    const viewer::LoadResult r = viewer::LoadSurveyFile(txt);
    ::close(fd);
    QCOMPARE(std::string(viewer::MessageOf(r.error)), "Permission denied"s);
    QCOMPARE(viewer::LoadSurveyFile(txt).text, "held"s);  // free again once released
  }

  void folderIsNotAText() {
    const std::string folder = Path("folder.TXT");
    std::filesystem::create_directories(folder);
    const viewer::LoadResult r = viewer::LoadSurveyFile(folder);
    QCOMPARE(std::string(viewer::MessageOf(r.error)), "Permission denied"s);
  }

  // A file far larger than memory: refused with a message before anything is allocated.
  void hugeFilesAreRefused_data() {
    QTest::addColumn<std::string>("name");
    QTest::newRow("text") << "huge.TXT"s;
    QTest::newRow("records") << "huge.NEH"s;
  }
  void hugeFilesAreRefused() {
    QFETCH(std::string, name);
    const std::string path = Path(name);
    {
      const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
      QVERIFY(fd >= 0);
      const bool sized = ::ftruncate(fd, off_t{1} << 40) == 0;  // 1 TiB, sparse
      ::close(fd);
      if (!sized) QSKIP("this file system has no sparse files");
    }
    const viewer::LoadResult r = viewer::LoadSurveyFile(path);
    QCOMPARE(int(r.error), int(viewer::LoadError::TooLarge));
    QVERIFY(r.text.empty());
    std::filesystem::remove(path);
  }

  // Text that would outgrow the limit while records are formatted stops with TooLarge.
  void recordTextLimit() {
    const std::string bytes(24 * 1000, '\0');
    QCOMPARE(int(viewer::FormatRecords(viewer::FileKind::Neh, bytes, 20000).error),
             int(viewer::LoadError::TooLarge));
    const viewer::LoadResult ok = viewer::FormatRecords(viewer::FileKind::Neh, bytes, 1 << 20);
    QCOMPARE(int(ok.error), int(viewer::LoadError::None));
    QVERIFY(ok.text.size() > 20000);
  }

  void folderOfPath_data() {
    QTest::addColumn<std::string>("path");
    QTest::addColumn<std::string>("folder");
    QTest::newRow("windows") << "C:\\survey\\x.NEH"s
                             << "C:\\survey\\"s;
    QTest::newRow("unix") << "/home/s/x.NEH"s
                          << "/home/s/"s;
    QTest::newRow("none") << "x.NEH"s
                          << ""s;
  }
  void folderOfPath() {
    QFETCH(std::string, path);
    QFETCH(std::string, folder);
    QCOMPARE(viewer::FolderOfPath(path), folder);
  }
};

QTEST_GUILESS_MAIN(TestViewerDocument)
#include "tst_viewer_document.moc"
