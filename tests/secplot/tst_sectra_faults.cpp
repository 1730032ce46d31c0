// SEC files that change under the section plotter, reads that fail, and bitmaps that
// cannot be saved: first the section reader on its own, then the whole conversation in
// the real window. Every fault must end in a clear message or in the plot as the file
// was, and the conversation must come back to the idle window; nothing may hang.
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QtTest>

#include <cstdio>
#include <filesystem>

#include <unistd.h>

#include "conversation_driver.h"
#include "sec_builder.h"
#include "secplot/recording_canvas.h"
#include "secplot/section_plot.h"
#include "secplot/sectra_window.h"

using namespace secplot;
using sectest::ConversationDriver;
using sectest::SecBuilder;
using sectest::Step;

namespace fs = std::filesystem;

namespace {

const QString kPageEnd = " Press(E) to End, (S) to Save Image,Any KEY continue \n";
const QString kCornerX = " L.H.Corner of Sect.: Dist.(";
const QString kCornerY = " L.H.Corner of Sect.:   Ht.(";

// Makes every read of the file fail from now on: the stream is reopened write-only.
void BreakReads(toolkit::SurveyFile& file) {
  file.handle = std::freopen(file.fileName.c_str(), "ab", file.handle);
}

// A recording canvas that breaks the reads of a file once it has drawn so many lines.
class BreakingCanvas : public RecordingCanvas {
 public:
  BreakingCanvas(toolkit::SurveyFile& file, int afterLines) : file_(file), left_(afterLines) {}
  void Line(double x1, double y1, double x2, double y2, Colour colour, int style) override {
    RecordingCanvas::Line(x1, y1, x2, y2, colour, style);
    if (--left_ == 0) BreakReads(file_);
  }

 private:
  toolkit::SurveyFile& file_;
  int left_;
};

// Opening a file reads ahead; records this far into a file are read only when asked for.
constexpr int kFarRecord = 24000;  // 384 KB of empty slots

// Sections X, A (ending through two empty records) and B, after `pad` empty slots:
//  1 X  2 pt  3 999  4 A  5 pt  6 pt  7 pt  8 empty  9 empty  10 999  11 B  12 pt  13 999
SecBuilder ThreeSections(int pad = 0) {
  return SecBuilder()
      .Empty(pad)
      .Section("X", {1})
      .Header("A")
      .Point(0, 1)
      .Point(5, 2)
      .Point(9, 3)
      .Empty(2)
      .Terminator()
      .Section("B", {4});
}
// A ends at a height of 999.9:  1 A  2 pt  3 pt(999.9)  4 999  5 B  6 pt  7 999
SecBuilder EndHeight(int pad = 0) {
  return SecBuilder().Empty(pad).Header("A").Point(0, 1).Point(5, 999.9).Terminator().Section("B",
                                                                                              {4});
}

QList<Step> FileSteps(const QList<QString>& names) {
  QList<Step> s;
  int k = 1;
  for (const QString& n : names) {
    s << Step{QString("Input No. %1 Section File=").arg(k++), n + "\r"}
      << Step{" Height Plot (Y/N)", "Y\r"};
  }
  s << Step{QString("Input No. %1 Section File=").arg(k), "N\r"};
  return s;
}

QList<Step> ScalesAndNames(const QString& first, const QString& last) {
  return {{"     Horiz.Scale=1/", "200\r"},
          {"      Vert.Scale=1/", "100\r"},
          {"1st section name = ", first + "\r"},
          {"Last section name = ", last + "\r"},
          {"Input OK ( Y/N )=", "Y\r"}};
}

QList<Step> Corner(const QString& oldX, const QString& oldY) {
  return {{kCornerX + oldX + ")=", "-20\r"},
          {kCornerY + oldY + ")=", "0\r"},
          {"   Input O.K. (Y/N)= ", "Y\r"}};
}

QString Title(const QString& name) { return name.leftJustified(8) + "Hor 1/ 200  Vert 1/ 100\n"; }

int CountColour(const QImage& img, QRgb colour) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if ((img.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) ++n;
  return n;
}

// Puts the process back into its folder whatever happens to the test.
struct CurrentFolderGuard {
  QString folder = QDir::currentPath();
  ~CurrentFolderGuard() { QDir::setCurrent(folder); }
};

enum class Change { Remove, Folder, FailingReads, CutToNothing, Append, BreakReads };

void ChangeFile(const QString& name, Change change) {
  const fs::path p(name.toStdString());
  std::error_code ec;
  switch (change) {
    case Change::Remove:
      fs::remove(p, ec);
      break;
    case Change::Folder:
      fs::remove(p, ec);
      fs::create_directory(p, ec);
      break;
    case Change::FailingReads:
      fs::remove(p, ec);
      fs::create_symlink("/proc/self/mem", p, ec);
      break;
    case Change::CutToNothing:
      fs::resize_file(p, 0, ec);
      break;
    case Change::Append: {
      // A section C and many empty records after the last record the file had.
      const QString extra = name + ".more";
      QVERIFY(SecBuilder().Section("C", {7, 8}).Empty(500).Write(extra.toStdString()));
      QFile more(extra), f(name);
      QVERIFY(more.open(QIODevice::ReadOnly) && f.open(QIODevice::Append));
      f.write(more.readAll());
      more.remove();
      break;
    }
    case Change::BreakReads:
      break;
  }
  QVERIFY2(!ec, ec.message().c_str());
}

}  // namespace

class TestSectraFaults : public QObject {
  Q_OBJECT
  QString dir_;
  QString oldDir_;
  int fileNo_ = 0;

  std::string Load(SectionPlotState& state, int k, const SecBuilder& b) {
    const std::string path = (dir_ + QString("/core%1.SEC").arg(++fileNo_)).toStdString();
    b.Write(path);
    SectionFileEntry& e = state.files[k - 1];
    e.fileName = path;
    e.record = 1;
    state.fileCount = std::max(state.fileCount, k);
    if (toolkit::OpenSurveyFileNamed(e.file, path, toolkit::SurveyKind::Sec) !=
        toolkit::OpenResult::Ok)
      return {};
    return path;
  }

  std::unique_ptr<SectraWindow> Open() {
    auto w = std::make_unique<SectraWindow>(kMainBuild);
    w->show();
    return w;
  }

 private slots:
  void initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
    dir_ = QString::fromStdString(testsupport::MakeTempDir("sectra_faults"));
    oldDir_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_));  // typed names and saved bitmaps are relative to it
  }
  void cleanupTestCase() {
    QDir::setCurrent(oldDir_);
    std::error_code ec;
    fs::remove_all(dir_.toStdString(), ec);
  }

  // The file is cut after it was opened, keeping its first records (counted after the
  // far padding); whatever the reader then misses of what the file held is a read
  // failure, never an end of section or a wrong name. What it does not need to read does
  // not matter.
  void fileCutAfterOpening_data() {
    QTest::addColumn<int>("layout");  // 0 ThreeSections, 1 EndHeight
    QTest::addColumn<int>("keptBytes");
    QTest::addColumn<int>("result");    // SectionResult
    QTest::addColumn<QString>("next");  // next section name, "-" for none
    const int drawn = int(SectionResult::Drawn), unread = int(SectionResult::ReadError);
    QTest::newRow("while searching for the name") << 0 << 2 * 16 << unread << "-";
    QTest::newRow("right after the header") << 0 << 4 * 16 << unread << "-";
    QTest::newRow("among the points") << 0 << 6 * 16 << unread << "-";
    QTest::newRow("in the middle of a point") << 0 << 5 * 16 + 8 << unread << "-";
    QTest::newRow("among the empty records") << 0 << 8 * 16 << unread << "-";
    QTest::newRow("after the terminator") << 0 << 10 * 16 << unread << "-";
    QTest::newRow("after the height that ends it") << 1 << 3 * 16 << unread << "-";
    QTest::newRow("before the next header") << 1 << 4 * 16 << unread << "-";
    QTest::newRow("after the next header: not read") << 0 << 11 * 16 << drawn << "B       ";
    QTest::newRow("nothing cut") << 0 << 13 * 16 << drawn << "B       ";
  }
  void fileCutAfterOpening() {
    QFETCH(int, layout);
    QFETCH(int, keptBytes);
    QFETCH(int, result);
    QFETCH(QString, next);
    SectionPlotState state;
    const std::string path =
        Load(state, 1, layout == 0 ? ThreeSections(kFarRecord) : EndHeight(kFarRecord));
    QVERIFY(!path.empty());
    fs::resize_file(path, std::uintmax_t(kFarRecord) * 16 + std::uintmax_t(keptBytes));
    state.lastName = PadName("ZZZ");
    RecordingCanvas c;
    const SectionOutcome o = DrawFileSection(state, 1, PadName("A"), c, kMainPage);
    QCOMPARE(int(o.result), result);
    QCOMPARE(o.nextNameRead ? QString::fromStdString(o.nextName) : QString("-"), next);
    toolkit::CloseSurveyFile(state.files[0].file);
  }

  // Reads that fail outright, before the search or in the middle of the ground line.
  void readsFail_data() {
    QTest::addColumn<int>("afterLines");  // 0: before anything is read
    QTest::addColumn<int>("lines");       // lines drawn before the failure
    QTest::newRow("before the search") << 0 << 0;
    QTest::newRow("after the first point") << 1 << 1;
    QTest::newRow("after the second point") << 2 << 2;
  }
  void readsFail() {
    QFETCH(int, afterLines);
    QFETCH(int, lines);
    SectionPlotState state;
    QVERIFY(!Load(state, 1, ThreeSections()).empty());
    toolkit::SurveyFile& file = state.files[0].file;
    if (afterLines == 0) BreakReads(file);
    BreakingCanvas c(file, afterLines);
    const SectionOutcome o = DrawFileSection(state, 1, PadName("A"), c, kMainPage);
    QCOMPARE(o.result, SectionResult::ReadError);
    QCOMPARE(int(c.OfKind(DrawOp::Line).size()), lines);
    QVERIFY(!o.nextNameRead);
    toolkit::CloseSurveyFile(file);
  }

  // A page stops at the file that cannot be read and names its position.
  void pageNamesTheFailedFile() {
    SectionPlotState state;
    QVERIFY(!Load(state, 1, ThreeSections()).empty());
    QVERIFY(!Load(state, 2, ThreeSections()).empty());
    QVERIFY(!Load(state, 3, ThreeSections()).empty());
    BreakReads(state.files[1].file);
    state.horizScale = 200;
    state.vertScale = 100;
    SetSectionRange(state, "A", "B");
    RecordingCanvas c;
    QCOMPARE(DrawSectionPage(state, c, kMainPage), PageResult::ReadError);
    QCOMPARE(state.failedFile, 2);
    QVERIFY(c.OfKind(DrawOp::Line, FileColour(3)).empty());  // file 3 not drawn
    for (auto& e : state.files) toolkit::CloseSurveyFile(e.file);
  }

  // Records appended after opening are not looked at: the look past empty records stops
  // at the end the file had, however many empty records were added.
  void fileGrownAfterOpening() {
    SectionPlotState state;
    const std::string path =
        Load(state, 1, SecBuilder().Header("A").Point(0, 1).Point(5, 2).Empty(3));
    QVERIFY(!path.empty());
    QVERIFY(SecBuilder()
                .Header("A")
                .Point(0, 1)
                .Point(5, 2)
                .Empty(3)
                .Empty(20000)
                .Terminator()
                .Section("B", {1})
                .Write(path));
    state.lastName = PadName("B");
    RecordingCanvas c;
    QElapsedTimer clock;
    clock.start();
    const SectionOutcome o = DrawFileSection(state, 1, PadName("A"), c, kMainPage);
    QCOMPARE(o.result, SectionResult::Drawn);
    QVERIFY(!o.nextNameRead);
    QCOMPARE(int(c.OfKind(DrawOp::Line).size()), 2);
    QVERIFY(clock.elapsed() < 1000);
    toolkit::CloseSurveyFile(state.files[0].file);
  }

  // The file changes between its name being typed and the answer to "Height Plot": the
  // plotter says so and asks for the same file again, then plots the next one given.
  void changedAtTheFileQuestion_data() {
    QTest::addColumn<int>("change");
    QTest::addColumn<QString>("message");
    QTest::newRow("removed") << int(Change::Remove) << "File not found ..........";
    QTest::newRow("replaced by a folder")
        << int(Change::Folder) << "File cannot be read ..........";
    QTest::newRow("reads fail") << int(Change::FailingReads) << "File cannot be read ..........";
  }
  void changedAtTheFileQuestion() {
    QFETCH(int, change);
    QFETCH(QString, message);
    std::error_code ec;
    fs::remove_all("GONE.SEC", ec);
    QVERIFY(ThreeSections().Write("GONE.SEC"));
    QVERIFY(ThreeSections().Write("GOOD.SEC"));
    auto w = Open();
    QList<Step> steps{
        {"Input No. 1 Section File=", "GONE\r"},
        {" Height Plot (Y/N)", "Y\r", [&] { ChangeFile("GONE.SEC", Change(change)); }},
        {message + "\nInput No. 1 Section File=", "GOOD\r"},
        {" Height Plot (Y/N)", "Y\r"},
        {"Input No. 2 Section File=", "N\r"}};
    steps << ScalesAndNames("A", "A") << Corner(" 0", " 0") << Step{Title("A") + kPageEnd, "x"};
    ConversationDriver d(*w, steps, 20000);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    QCOMPARE(w->State().files[0].fileName, std::string("GOOD.SEC"));
    QVERIFY(w->StartButton()->isEnabled());
    fs::remove_all("GONE.SEC", ec);
  }

  // The file changes once it is open, before the page is drawn: the plot is made from the
  // open file when it still holds its records, and a file that lost them or whose reads
  // fail is named in a message; then the last prompt, and the idle window. The section
  // lies 384 KB into the file, beyond what was read ahead when the file was opened.
  void changedBeforeThePage_data() {
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("removed") << int(Change::Remove) << true;
    QTest::newRow("replaced by a folder") << int(Change::Folder) << true;
    QTest::newRow("records appended") << int(Change::Append) << true;
    QTest::newRow("cut to nothing") << int(Change::CutToNothing) << false;
    QTest::newRow("reads fail") << int(Change::BreakReads) << false;
  }
  void changedBeforeThePage() {
    QFETCH(int, change);
    QFETCH(bool, drawn);
    std::error_code ec;
    fs::remove_all("LIVE.SEC", ec);
    QVERIFY(SecBuilder().Empty(kFarRecord).Section("A", {1, 2}).Write("LIVE.SEC"));
    auto w = Open();
    int red = -1;
    QList<Step> steps = FileSteps({"LIVE"});
    steps[2].check = [&] {  // at the scale question
      if (Change(change) == Change::BreakReads)
        BreakReads(w->State().files[0].file);
      else
        ChangeFile("LIVE.SEC", Change(change));
    };
    steps << ScalesAndNames("A", "A") << Corner(" 0", " 0");
    if (drawn)
      steps << Step{Title("A") + kPageEnd, "x",
                    [&] { red = CountColour(w->Area()->Image(), qRgb(255, 0, 0)); }};
    else
      steps << Step{"The file cannot be read: LIVE.SEC\n", ""}
            << Step{"Hor 1/ 200  Vert 1/ 100\n" + kPageEnd, "x"};
    ConversationDriver d(*w, steps, 20000);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    if (drawn) QVERIFY(red > 0);
    QVERIFY(w->StartButton()->isEnabled());
    QVERIFY(w->ExitButton()->isEnabled());
    fs::remove_all("LIVE.SEC", ec);
  }

  // Between two pages: a file cut to almost nothing (larger than any read-ahead, so the
  // next page must read it again) is named in a message; sections appended after the run
  // began are not seen, so the run ends as a file without them would.
  void changedBetweenPages_data() {
    QTest::addColumn<int>("change");
    QTest::addColumn<QString>("message");
    QTest::newRow("cut") << int(Change::CutToNothing) << "The file cannot be read: PAGES.SEC";
    QTest::newRow("appended") << int(Change::Append)
                              << "Wrong Section name in File....Check then Rerun";
  }
  void changedBetweenPages() {
    QFETCH(int, change);
    QFETCH(QString, message);
    std::error_code ec;
    fs::remove_all("PAGES.SEC", ec);
    // A, then the far padding before B: the next name is read past it.
    QVERIFY(SecBuilder()
                .Section("A", {1, 2})
                .Empty(kFarRecord)
                .Section("B", {3, 4})
                .Write("PAGES.SEC"));
    auto w = Open();
    QList<Step> steps = FileSteps({"PAGES"});
    steps << ScalesAndNames("A", "C") << Corner(" 0", " 0")
          << Step{Title("A") + kPageEnd, "x", [&] { ChangeFile("PAGES.SEC", Change(change)); }}
          << Corner("-20", " 0");
    if (Change(change) == Change::Append)  // B is the last section the file had
      steps << Step{Title("B") + kPageEnd, "x"} << Corner("-20", " 0");
    steps << Step{message + "\n", ""} << Step{kPageEnd, "x"};
    ConversationDriver d(*w, steps, 20000);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    QVERIFY(w->StartButton()->isEnabled());
    fs::remove_all("PAGES.SEC", ec);
  }

  // "S" where the bitmap cannot be written: the message names the image, nothing is left
  // under its name, and the conversation goes on (to the next corner question at a page
  // end, to the idle window at the last prompt).
  void imageNotSaved_data() {
    QTest::addColumn<bool>("folderRemoved");  // else a folder stands under the image's name
    QTest::addColumn<bool>("atLastPrompt");
    QTest::newRow("current folder removed, page end") << true << false;
    QTest::newRow("current folder removed, last prompt") << true << true;
    QTest::newRow("folder under the name, page end") << false << false;
    QTest::newRow("folder under the name, last prompt") << false << true;
  }
  void imageNotSaved() {
    QFETCH(bool, folderRemoved);
    QFETCH(bool, atLastPrompt);
    CurrentFolderGuard guard;
    QVERIFY(ThreeSections().Write("SAVE.SEC"));
    const QString image = "A       .BMP";
    std::error_code ec;
    fs::remove_all(image.toStdString(), ec);
    const QString doomed = dir_ + "/doomed";
    auto w = Open();
    QList<Step> steps = FileSteps({"SAVE"});
    steps << ScalesAndNames("A", atLastPrompt ? "A" : "B") << Corner(" 0", " 0");
    auto spoil = [&] {
      if (folderRemoved) {
        QVERIFY(QDir().mkpath(doomed));
        QVERIFY(QDir::setCurrent(doomed));
        QVERIFY(::rmdir(doomed.toLocal8Bit().constData()) == 0);
      } else {
        QVERIFY(QDir().mkdir(image));
      }
    };
    const QString failed = "Image not saved: " + image + "\n";
    steps << Step{Title("A") + kPageEnd, "S", spoil};
    if (!atLastPrompt)
      steps << Step{failed + kCornerX + "-20)=", "\r"} << Step{kCornerY + " 0)=", "\r"}
            << Step{"   Input O.K. (Y/N)= ", "Y\r"} << Step{Title("B") + kPageEnd, "x"};
    ConversationDriver d(*w, steps, 20000);
    d.Run();
    QVERIFY2(d.AllDone() && !d.TimedOut(), d.Report());
    if (atLastPrompt) QVERIFY(QString::fromLatin1(w->Area()->Transcript()).endsWith(failed));
    QVERIFY(w->StartButton()->isEnabled());
    QDir::setCurrent(guard.folder);
    QVERIFY(!QFileInfo(image).isFile());
    if (!folderRemoved) QVERIFY(QFileInfo(image).isDir());
    fs::remove_all(image.toStdString(), ec);
  }
};

QTEST_MAIN(TestSectraFaults)
#include "tst_sectra_faults.moc"
