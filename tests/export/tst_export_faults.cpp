// Every output of surveyexport under the faults that stop an export half way: a write that
// fails part way (the file size limit gives the same short write as a full disk), a
// terminating signal at a random point, and an input cut while it is read. The real
// program runs as a child process; whatever the fault, it must end with 1 or by the
// signal, leave nothing under the output's name (or the older file of that name as it
// was, with --overwrite) and no temporary file in the folder.
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "survey_writer.h"

namespace fs = std::filesystem;

namespace {

enum class Fault { ShortWrite, Signal, CutInput };

// Sizes that keep every export busy for a good second, so that a signal or a cut lands
// while it writes.
constexpr int kPlanRecords = 100000;
constexpr int kSections = 1000;
// The file size limit of a short write: the first bytes go out, then the writes fail (a
// page of the sections in SVG is about 10 KB).
constexpr rlim_t kSizeLimit = 8 * 1024;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::set<std::string> Entries(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// Stops a child process: true once it is stopped, false when it had already ended (a
// child that ended is a zombie until it is waited for, and a signal to it does nothing).
bool StopChild(pid_t pid) {
  if (::kill(pid, SIGSTOP) != 0) return false;
  const std::string statPath = "/proc/" + std::to_string(pid) + "/stat";
  for (int i = 0; i < 10000; ++i) {
    const std::string stat = ReadAll(statPath);
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return false;
    const char state = stat[close + 2];
    if (state == 'T' || state == 't') return true;
    if (state == 'Z' || state == 'X') return false;
    QThread::usleep(100);
  }
  return false;
}

}  // namespace

Q_DECLARE_METATYPE(Fault)

class TestExportFaults : public QObject {
  Q_OBJECT
  QTemporaryDir inputs_;
  std::string neh_, sec_;

 private slots:
  void initTestCase() {
    QVERIFY(inputs_.isValid());
    neh_ = inputs_.filePath("SITE.NEH").toStdString();
    sec_ = inputs_.filePath("ROAD.SEC").toStdString();
    // Points on a grid of 1.5 m, a coded line every 50 records.
    std::vector<testsupport::Record> points;
    for (int i = 0; i < kPlanRecords; ++i) {
      const double n = 836000.0 + (i / 400) * 1.5, e = 820000.0 + (i % 400) * 1.25;
      const int code = (i / 50) % 30;
      points.push_back({i % 50 == 0 ? -n : n, e, testsupport::PackHeight(10 + i % 7, code)});
    }
    QVERIFY(testsupport::WriteSurveyFile(neh_, points, 24));
    std::vector<testsupport::Record> road;
    for (int s = 1; s <= kSections; ++s) {
      road.push_back({QString("S%1").arg(s, 4, 10, QChar('0')).toStdString(),
                      testsupport::TextNumber(s * 20.0)});
      for (int k = 0; k <= 20; ++k)
        road.push_back({testsupport::TextNumber(-50 + k * 5),
                        testsupport::TextNumber(20 + ((k * 7 + s) % 11) * 0.3)});
      road.push_back({std::string("     999"), testsupport::TextNumber(0)});
    }
    QVERIFY(testsupport::WriteSurveyFile(sec_, road, 16));
  }

  void faults_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("output");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("older");  // an older file of the output's name, --overwrite
    const QList<QPair<QString, QString>> outputs{
        {"plan", "out.dxf"},    {"plan", "out.gpkg"},    {"plan", "out.geojson"},
        {"plan", "out.kml"},    {"plan", "out.csv"},     {"plan", "out.pdf"},
        {"plan", "out.svg"},    {"table", "out.csv"},    {"table", "out.gpkg"},
        {"table", "out.xlsx"},  {"sections", "out.pdf"}, {"sections", "out.svg"},
        {"sections", "out.dxf"}};
    const QList<QPair<const char*, int>> signals_{
        {"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}, {"SIGPIPE", SIGPIPE}};
    for (const auto& [command, output] : outputs) {
      const QString row = command + " " + output;
      QTest::newRow(qPrintable(row + ": short write"))
          << command << output << Fault::ShortWrite << 0 << true;
      for (const auto& [name, sig] : signals_)
        QTest::newRow(qPrintable(row + ": " + name))
            << command << output << Fault::Signal << sig << (sig == SIGTERM);
      QTest::newRow(qPrintable(row + ": input cut"))
          << command << output << Fault::CutInput << 0 << false;
    }
  }

  void faults() {
    QFETCH(QString, command);
    QFETCH(QString, output);
    QFETCH(Fault, fault);
    QFETCH(int, signal);
    QFETCH(bool, older);
    QTemporaryDir work;
    const fs::path dir = work.path().toStdString();
    const bool sections = command == "sections";
    const fs::path input = dir / (sections ? "ROAD.SEC" : "SITE.NEH");
    fs::copy_file(sections ? sec_ : neh_, input);

    // The files under the output's name that must stay as they were: the output itself,
    // or for the pages of sections in SVG the first pages of an earlier run.
    std::map<std::string, std::string> kept;
    const bool pages = sections && output.endsWith(".svg");
    if (older) {
      const QStringList names = pages ? QStringList{"out-1.svg", "out-2.svg"} : QStringList{output};
      for (const QString& name : names) {
        const std::string text = "older " + name.toStdString() + " of an earlier export\n";
        std::ofstream(dir / name.toStdString(), std::ios::binary) << text;
        kept[name.toStdString()] = text;
      }
    }

    // The progress on standard error tells how far the export has come.
    QStringList args{command, QString::fromStdString(input.string())};
    if (fault == Fault::ShortWrite) args << "--quiet";
    if (sections)
      args << "--from"
           << "S0001"
           << "--to" << QString("S%1").arg(kSections, 4, 10, QChar('0')) << "--horizontal"
           << "1000"
           << "--vertical"
           << "200";
    if (older) args << "--overwrite";
    args << QString::fromStdString((dir / output.toStdString()).string());

    QProcess p;
    p.setProgram(SURVEYEXPORT_BIN);
    p.setArguments(args);
    const bool limit = fault == Fault::ShortWrite;
    p.setChildProcessModifier([limit] {
      // A child of a terminal: the signals at their default, whatever the test runner set.
      for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) ::signal(sig, SIG_DFL);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      if (limit) {
        const rlimit size{kSizeLimit, kSizeLimit};
        setrlimit(RLIMIT_FSIZE, &size);
      }
    });
    p.start();
    QVERIFY(p.waitForStarted());

    QByteArray said;
    if (fault != Fault::ShortWrite) {
      // At a random point of the first fifth of the progress (1 to 6 of its dots), while
      // the input is still being read, the export is stopped where it is; the fault is
      // given to the stopped export, which then goes on. An export found already ended, or
      // past its last move into place, had finished before the fault could land.
      const int dots = QRandomGenerator::global()->bounded(1, 7);
      while (said.count('.') < dots && p.state() == QProcess::Running) {
        p.waitForReadyRead(20);
        said += p.readAllStandardError();
      }
      const pid_t pid = static_cast<pid_t>(p.processId());
      if (p.state() != QProcess::Running || !StopChild(pid))
        QSKIP("the export ended before the fault");
      bool placed = false;
      for (const auto& [name, text] : kept) placed = placed || ReadAll(dir / name) != text;
      if (!older) placed = fs::exists(dir / (pages ? "out-1.svg" : output.toStdString()));
      if (placed) {
        ::kill(pid, SIGCONT);
        p.waitForFinished(120000);
        QSKIP("the export had put its output in place before the fault");
      }
      if (fault == Fault::Signal) {
        ::kill(pid, signal);
      } else {
        fs::resize_file(input, fs::file_size(input) / 8);
      }
      ::kill(pid, SIGCONT);
    }
    QVERIFY(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(said + p.readAllStandardError());

    // The exit: 1 with one line, or ended by the very signal sent.
    if (fault == Fault::Signal && p.exitStatus() == QProcess::CrashExit) {
      QCOMPARE(p.exitCode(), signal);
    } else {
      QCOMPARE(p.exitStatus(), QProcess::NormalExit);
      QCOMPARE(p.exitCode(), 1);
    }
    // A short write says that the write failed, not some later consequence of it.
    if (fault == Fault::ShortWrite) QVERIFY2(err.contains("File too large"), qPrintable(err));

    // Nothing else in the folder: no output, no page, no temporary file or folder; an
    // older file byte for byte as it was.
    std::set<std::string> expected{input.filename().string()};
    for (const auto& [name, text] : kept) {
      expected.insert(name);
      QCOMPARE(ReadAll(dir / name), text);
    }
    const std::set<std::string> found = Entries(dir);
    std::string extra;
    for (const std::string& name : found)
      if (!expected.count(name)) extra += name + " ";
    QVERIFY2(extra.empty(), extra.c_str());
  }

  // Started under nohup (the hang-up ignored): a hang-up does not stop the export, which
  // ends complete, as the one who started it asked.
  void hangUpIgnoredUnderNohup() {
    QTemporaryDir work;
    const fs::path dir = work.path().toStdString();
    const std::string out = (dir / "out.csv").string();
    QProcess p;
    p.setProgram(SURVEYEXPORT_BIN);
    p.setArguments({"plan", QString::fromStdString(neh_), QString::fromStdString(out)});
    p.setChildProcessModifier([] { ::signal(SIGHUP, SIG_IGN); });
    p.start();
    QVERIFY(p.waitForStarted());
    QByteArray said;
    while (!said.contains("0.") && p.state() == QProcess::Running) {
      p.waitForReadyRead(20);
      said += p.readAllStandardError();
    }
    if (p.state() != QProcess::Running) QSKIP("the export ended before the hang-up");
    ::kill(static_cast<pid_t>(p.processId()), SIGHUP);
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    // Every record a row, under its heading; nothing else in the folder.
    std::ifstream in(out);
    int rows = 0;
    for (std::string line; std::getline(in, line);) ++rows;
    QCOMPARE(rows, kPlanRecords + 1);
    QCOMPARE(Entries(dir), std::set<std::string>{"out.csv"});
  }
};

QTEST_GUILESS_MAIN(TestExportFaults)
#include "tst_export_faults.moc"
