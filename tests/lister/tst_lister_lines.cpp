// The lines the lister prints for each kind of record, which records it passes over, the
// SEC header/offset grammar and where a one-pass (printer) listing ends. No window.
#include <QTest>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "lister/lister_core.h"
#include "survey_writer.h"

using toolkit::SurveyKind;

Q_DECLARE_METATYPE(toolkit::SurveyKind)
Q_DECLARE_METATYPE(std::vector<testsupport::Record>)

namespace {

// A record as raw bytes: doubles little-endian, texts as they stand (8 bytes each).
struct Bytes {
  std::string data;
  Bytes& D(double v) {
    char b[8];
    std::memcpy(b, &v, 8);
    data.append(b, 8);
    return *this;
  }
  Bytes& T(const std::string& t) {
    std::string s = t.substr(0, 8);
    s.resize(8, ' ');
    data += s;
    return *this;
  }
  Bytes& Raw(const std::string& t) {
    data += t;
    return *this;
  }
};

toolkit::SurveyFile FileWith(SurveyKind kind, const std::string& bytes) {
  toolkit::SurveyFile f;
  f.kind = kind;
  f.record.fill(0);
  std::memcpy(f.record.data(), bytes.data(), std::min(bytes.size(), f.record.size()));
  return f;
}

bool PrintLines(void* context, const std::string& line) {
  static_cast<std::vector<std::string>*>(context)->push_back(line);
  return true;
}

}  // namespace

class TestListerLines : public QObject {
  Q_OBJECT
 private slots:
  void listingLine_data() {
    QTest::addColumn<SurveyKind>("kind");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<double>("number");
    QTest::addColumn<bool>("secHeader");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, SurveyKind k, const Bytes& b, double n, bool header,
                  const char* expected) {
      QTest::newRow(name) << k << QByteArray::fromStdString(b.data) << n << header
                          << QString::fromLatin1(expected);
    };
    // Packed heights: the code is the ten-thousands, the sign belongs to the height.
    row("NEH code 12", SurveyKind::Neh, Bytes().D(820153.25).D(836020.5).D(120035.123), 1, false,
        "   1    820153.250   836020.500    35.123      12");
    row("NEH negative height", SurveyKind::Neh, Bytes().D(820153.25).D(836020.5).D(-30002.5), 2,
        false, "   2    820153.250   836020.500    -2.500       3");
    row("NEH line marker and negative easting shown as values", SurveyKind::Neh,
        Bytes().D(-815000.125).D(-830000.0).D(1.0), 17, false,
        "  17    815000.125   830000.000     1.000       0");
    row("NEH height 0 with a code", SurveyKind::Neh, Bytes().D(1).D(2).D(70000), 3, false,
        "   3         1.000        2.000     0.000       7");
    row("NEH rounds to the millimetre", SurveyKind::Neh, Bytes().D(0.0004).D(2.0006).D(9999.9994),
        9999, false, "9999         0.000        2.001  9999.999       0");
    row("DAT", SurveyKind::Dat, Bytes().D(123.4530).D(89.5958).D(212.455).D(1.5).D(12), 5, false,
        "   5    123.4530   89.5958   212.455    1.500      12");
    row("DAT rounding of angles", SurveyKind::Dat,
        Bytes().D(0.00005).D(359.99995).D(0.0005).D(0).D(0), 6, false,
        "   6      0.0001  360.0000     0.001    0.000       0");
    row("SEC offset", SurveyKind::Sec, Bytes().T(" -12.500").T("  20.125"), 12, false,
        "  12     -12.500      20.125");
    row("SEC header", SurveyKind::Sec, Bytes().T("CH1000").T("1000.000"), 1, true,
        "   1    CH1000      1000.000      Block Name & Chainage");
    row("SEC header of eight characters", SurveyKind::Sec, Bytes().T("ABCDEFGH").T(" 20.5xyz"), 2,
        true, "   2    ABCDEFGH      20.500      Block Name & Chainage");
    row("SEC text numbers with no number", SurveyKind::Sec, Bytes().Raw(std::string(16, '\0')), 3,
        false, "   3       0.000       0.000");
    row("STN", SurveyKind::Stn, Bytes().T("TP01").D(820235.0).D(836290.0).D(27.902), 4, false,
        "   4     TP01       820235.000   836290.000     27.902");
    // Station names fill the nine positions of their field: eight characters and a blank.
    row("STN name of eight characters", SurveyKind::Stn,
        Bytes().T("CP102-A1").D(1.0).D(2.0).D(-3.0), 5, false,
        "   5     CP102-A1        1.000        2.000     -3.000");
    row("STN name ended by zero bytes", SurveyKind::Stn,
        Bytes().Raw(std::string("HK12\0\0\0\0", 8)).D(1.0).D(2.0).D(3.0), 6, false,
        "   6     HK12            1.000        2.000      3.000");
    row("STN name with control characters", SurveyKind::Stn,
        Bytes().Raw(std::string("A\tB\nC\x7f\xe9Z", 8)).D(1.0).D(2.0).D(3.0), 7, false,
        "   7     A B C ?Z        1.000        2.000      3.000");
    row("CHG", SurveyKind::Chg, Bytes().D(1020.0).D(60.0).D(820050.0).D(836037.321).D(250), 8,
        false, "   8   1020.000     60.000   820050.000   836037.321    250.000");
    row("PTS", SurveyKind::Pts, Bytes().T("100").T("113"), 9, false,
        "   9      100          113       ");
    row("PTS blank items", SurveyKind::Pts, Bytes().Raw(std::string(16, '\0')), 10, false,
        "  10                             ");
  }
  void listingLine() {
    QFETCH(SurveyKind, kind);
    QFETCH(QByteArray, record);
    QFETCH(double, number);
    QFETCH(bool, secHeader);
    QFETCH(QString, expected);
    const toolkit::SurveyFile f = FileWith(kind, record.toStdString());
    std::string line;
    lister::FormatListingLine(kind, f, number, secHeader, line);
    QCOMPARE(QString::fromLatin1(line.data(), qsizetype(line.size())), expected);
  }

  // Which records list on screen: empty records by each kind's two values.
  void emptyRecordsAreSkipped_data() {
    QTest::addColumn<SurveyKind>("kind");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("listed");
    auto row = [](const char* name, SurveyKind k, const Bytes& b, bool listed) {
      QTest::newRow(name) << k << QByteArray::fromStdString(b.data) << listed;
    };
    row("DAT no vertical angle, no distance", SurveyKind::Dat, Bytes().D(45).D(0).D(0).D(1.5).D(3),
        false);
    row("DAT distance only", SurveyKind::Dat, Bytes().D(0).D(0).D(10).D(0).D(0), true);
    row("NEH no easting, no height", SurveyKind::Neh, Bytes().D(820000).D(0).D(0), false);
    row("NEH no easting, a code", SurveyKind::Neh, Bytes().D(820000).D(0).D(30000), true);
    row("STN no northing, no easting", SurveyKind::Stn, Bytes().T("X").D(0).D(0).D(5), false);
    row("STN easting only", SurveyKind::Stn, Bytes().T("X").D(0).D(1).D(0), true);
    row("CHG no bearing, no northing", SurveyKind::Chg, Bytes().D(100).D(0).D(0).D(5).D(0), false);
    row("CHG bearing only", SurveyKind::Chg, Bytes().D(0).D(1).D(0).D(0).D(0), true);
    row("PTS all zero", SurveyKind::Pts, Bytes().Raw(std::string(16, '\0')), true);
  }
  void emptyRecordsAreSkipped() {
    QFETCH(SurveyKind, kind);
    QFETCH(QByteArray, record);
    QFETCH(bool, listed);
    lister::ListerState s;
    s.currentRecord = 2;
    const toolkit::SurveyFile f = FileWith(kind, record.toStdString());
    std::string line;
    QCOMPARE(lister::ListRecord(s, kind, f, line), listed);
  }

  // The printer listing in one pass: where it stops, and what it prints before.
  void onePassListing_data() {
    QTest::addColumn<SurveyKind>("kind");
    QTest::addColumn<std::vector<testsupport::Record>>("records");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("last");     // 0: the file's record count
    QTest::addColumn<QString>("listed");  // record numbers printed, in order
    using testsupport::Record;
    using testsupport::TextNumber;
    const Record dat{10.0, 90.0, 25.0, 1.5, 1.0};
    const Record datEmpty{10.0, 0.0, 0.0, 1.5, 1.0};
    QTest::newRow("DAT stops at the first empty record")
        << SurveyKind::Dat << std::vector<Record>{dat, dat, datEmpty, dat, dat} << 1.0 << 0.0
        << "1 2";
    QTest::newRow("DAT end number")
        << SurveyKind::Dat << std::vector<Record>{dat, dat, dat, dat} << 2.0 << 3.0 << "2 3";
    QTest::newRow("DAT end past the file")
        << SurveyKind::Dat << std::vector<Record>{dat, dat} << 1.0 << 1000.0 << "1 2";
    QTest::newRow("DAT start past the end")
        << SurveyKind::Dat << std::vector<Record>{dat, dat} << 5.0 << 0.0 << "";
    const Record nehPoint{820000.0, 836000.0, 10.0};
    QTest::newRow("NEH point of height 0 with a code goes on")
        << SurveyKind::Neh
        << std::vector<Record>{nehPoint, Record{820001.0, 0.0, 30000.0}, nehPoint,
                               Record{0.0, 0.0, 0.0}, nehPoint}
        << 1.0 << 0.0 << "1 2 3";
    // SEC goes on past empty records until twenty since the last section terminator.
    std::vector<Record> sec{Record{"A", TextNumber(100)}, Record{TextNumber(1), TextNumber(2)}};
    for (int i = 0; i < 19; ++i) sec.push_back(Record{TextNumber(0), TextNumber(0)});
    sec.push_back(Record{"999", TextNumber(0)});  // record 22: terminator resets
    for (int i = 0; i < 19; ++i) sec.push_back(Record{TextNumber(0), TextNumber(0)});
    sec.push_back(Record{"B", TextNumber(120)});  // record 42, after 19 empties
    for (int i = 0; i < 20; ++i) sec.push_back(Record{TextNumber(0), TextNumber(0)});
    sec.push_back(Record{TextNumber(3), TextNumber(4)});  // record 63: never reached
    QTest::newRow("SEC twenty empties since the terminator")
        << SurveyKind::Sec << sec << 1.0 << 0.0 << "1 2 22 42";
    QTest::newRow("SEC end past the file stops at the file's end")
        << SurveyKind::Sec
        << std::vector<Record>{Record{"A", TextNumber(100)}, Record{TextNumber(1), TextNumber(2)}}
        << 1.0 << 1e9 << "1 2";
    const Record pts{"1", "2"};
    QTest::newRow("PTS lists every record")
        << SurveyKind::Pts << std::vector<Record>{pts, Record{"", ""}, pts} << 1.0 << 0.0
        << "1 2 3";
    // A typed PTS end past the file printed only the records the file holds.
    QTest::newRow("PTS end past the file")
        << SurveyKind::Pts << std::vector<Record>{pts, pts} << 1.0 << 5.0 << "1 2 3 4 5";
    QTest::newRow("PTS start below 1")
        << SurveyKind::Pts << std::vector<Record>{pts, pts} << -1e15 << 0.0 << "1 2";
    QTest::newRow("NEH start far below 1")
        << SurveyKind::Neh << std::vector<Record>{nehPoint} << -1e300 << 0.0 << "";
  }
  void onePassListing() {
    QFETCH(SurveyKind, kind);
    QFETCH(std::vector<testsupport::Record>, records);
    QFETCH(double, start);
    QFETCH(double, last);
    QFETCH(QString, listed);
    const std::string dir = testsupport::MakeTempDir("lister-lines");
    const std::string name = dir + "/F" + toolkit::KindExtension(kind);
    QVERIFY(testsupport::WriteSurveyFile(name, records, toolkit::RecordLength(kind)));
    toolkit::SurveyFile f;
    QCOMPARE(toolkit::OpenSurveyFileNamed(f, name, kind), toolkit::OpenResult::Ok);
    lister::ListerState s;
    s.currentRecord = start;
    s.startNumber = start;
    if (kind == SurveyKind::Sec && start != 1) s.expectHeader = 0;
    s.lastRecord = last == 0 ? f.recordCount : last;
    std::vector<std::string> lines;
    QVERIFY(lister::ListInOnePass(s, kind, f, PrintLines, &lines));
    toolkit::CloseSurveyFile(f);
    QStringList numbers;
    for (const std::string& l : lines) numbers << QString::fromStdString(l.substr(0, 4)).trimmed();
    QCOMPARE(numbers.join(' '), listed);
  }

  void readFaultStopsTheListing_data() {
    QTest::addColumn<bool>("onePass");
    QTest::newRow("screen page") << false;
    QTest::newRow("printer pass") << true;
  }
  void readFaultStopsTheListing() {
    // The disk stops answering after record 2: the listing ends there and says so
    // rather than taking the zeros of a failed read for the end of the file.
    QFETCH(bool, onePass);
    const std::string dir = testsupport::MakeTempDir("lister-fault");
    const std::string name = dir + "/F.NEH";
    std::vector<testsupport::Record> records;
    for (int r = 1; r <= 30; ++r)
      records.push_back(testsupport::Record{1000.0 + r, 2000.0 + r, 5.0});
    QVERIFY(testsupport::WriteSurveyFile(name, records, 24));
    toolkit::SurveyFile f;
    QCOMPARE(toolkit::OpenSurveyFileNamed(f, name, SurveyKind::Neh), toolkit::OpenResult::Ok);
    std::setvbuf(f.handle, nullptr, _IONBF, 0);  // no read-ahead hides the fault
    lister::ListerState s;
    s.currentRecord = s.startNumber = 1;
    s.lastRecord = f.recordCount;
    struct Faulty {
      std::vector<std::string> lines;
      toolkit::SurveyFile* file;
      std::string name;
    } sink{{}, &f, name};
    auto failAfterTwo = [](void* c, const std::string& line) {
      auto* k = static_cast<Faulty*>(c);
      k->lines.push_back(line);
      if (k->lines.size() == 2) {
        k->file->handle = std::freopen(k->name.c_str(), "ab", k->file->handle);
        k->file->position = -1;
      }
      return true;
    };
    const bool ran = onePass ? lister::ListInOnePass(s, SurveyKind::Neh, f, failAfterTwo, &sink)
                             : lister::ListPage(s, SurveyKind::Neh, f, failAfterTwo, &sink);
    QVERIFY(ran);
    QVERIFY(s.readFault);
    QCOMPARE(sink.lines.size(), std::size_t(2));
    QCOMPARE(s.currentRecord, 3.0);
    toolkit::CloseSurveyFile(f);
  }

  void screenPageListsTwentyRecordNumbers() {
    // A page far out in the numbers still lists twenty record numbers and ends.
    toolkit::SurveyFile f;
    f.kind = SurveyKind::Pts;
    lister::ListerState s;
    s.currentRecord = 1e17;
    std::vector<std::string> lines;
    QVERIFY(lister::ListPage(s, SurveyKind::Pts, f, PrintLines, &lines));
    QCOMPARE(lines.size(), std::size_t(20));
  }

  void typedRecordNumbers_data() {
    QTest::addColumn<double>("typed");
    QTest::addColumn<double>("whole");
    QTest::newRow("whole") << 12.0 << 12.0;
    QTest::newRow("half to even down") << 12.5 << 12.0;
    QTest::newRow("half to even up") << 13.5 << 14.0;
    QTest::newRow("fraction") << 7.3 << 7.0;
    QTest::newRow("negative") << -2.6 << -3.0;
  }
  void typedRecordNumbers() {
    QFETCH(double, typed);
    QFETCH(double, whole);
    QCOMPARE(lister::WholeRecordNumber(typed), whole);
  }

  void kindQuestionsAndHeadings() {
    QCOMPARE(lister::KindQuestion(SurveyKind::Dat), std::string("DAT File (Y/N) "));
    QCOMPARE(lister::KindQuestion(SurveyKind::Pts), std::string("PTS File (Y/N) "));
    lister::ListerState s;
    SurveyKind k;
    QVERIFY(!lister::ChosenKind(s, k));
    lister::SetKindFlag(s, SurveyKind::Chg);
    QVERIFY(lister::ChosenKind(s, k));
    QCOMPARE(k, SurveyKind::Chg);
    QCOMPARE(s.chgFlag, 1.0);
    QCOMPARE(s.datFlag + s.nehFlag + s.secFlag + s.stnFlag + s.ptsFlag, 0.0);
  }
};

QTEST_MAIN(TestListerLines)
#include "tst_lister_lines.moc"
