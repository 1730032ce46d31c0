// Files that change under the viewer while it loads them: removed, replaced by a folder,
// replaced by a file whose reads fail, locked, cut or grown, at the moment after the
// existence test and at the moment after the length was taken; loading must report what
// happened or show the file as it is, never garbage and never an empty file as if fine.
// Then the same through the main window's Open command.
#include <QtTest>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "message_boxes.h"
#include "modal_driver.h"
#include "survey_writer.h"
#include "viewer/document.h"
#include "viewer/main_window.h"

using namespace std::string_literals;
using viewer::LoadError;
using viewer::LoadStage;

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(viewer::LoadStage)

namespace {

// What happens to the file at the chosen moment of the load.
enum class Change {
  Remove,        // unlinked
  Folder,        // unlinked and a folder made under its name
  FailingReads,  // replaced by a link to a file with no length whose reads fail
  Lock,          // locked by another open description, as another program would
  CutTo48,       // cut to 48 bytes (two NEH records)
  CutToNothing,  // cut to 0 bytes
  Append,        // one more NEH record appended
};

struct Plan {
  bool armed = false;
  LoadStage stage = LoadStage::Checked;
  Change change = Change::Remove;
  int heldFd = -1;
  bool done = false;
};
Plan g_plan;

void ApplyChange(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  switch (g_plan.change) {
    case Change::Remove:
      fs::remove(path, ec);
      break;
    case Change::Folder:
      fs::remove(path, ec);
      fs::create_directory(path, ec);
      break;
    case Change::FailingReads:
      fs::remove(path, ec);
      fs::create_symlink("/proc/self/mem", path, ec);
      break;
    case Change::Lock:
      g_plan.heldFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (g_plan.heldFd < 0 || ::flock(g_plan.heldFd, LOCK_EX) != 0) return;
      break;
    case Change::CutTo48:
      fs::resize_file(path, 48, ec);
      break;
    case Change::CutToNothing:
      fs::resize_file(path, 0, ec);
      break;
    case Change::Append: {
      const std::string more(24, '\x40');
      std::FILE* f = std::fopen(path.c_str(), "ab");
      if (f == nullptr) return;
      const bool written = std::fwrite(more.data(), 1, more.size(), f) == more.size();
      if (std::fclose(f) != 0 || !written) return;
      break;
    }
  }
  g_plan.done = !ec;
}

void OnStage(LoadStage stage, const std::string& path) {
  if (!g_plan.armed || stage != g_plan.stage) return;
  g_plan.armed = false;
  ApplyChange(path);
}

void Arm(LoadStage stage, Change change) {
  g_plan = Plan{};
  g_plan.armed = true;
  g_plan.stage = stage;
  g_plan.change = change;
}

void Disarm() {
  g_plan.armed = false;
  if (g_plan.heldFd >= 0) ::close(g_plan.heldFd);
  g_plan.heldFd = -1;
}

const std::string kNehHead = "PT.   NORTHINGS     EASTINGS     HEIGHT   CODE\r\n";
const std::string kNeh1 = " 1   815000.2500   832000.5000   12.5000   3\r\n";
const std::string kNeh2 = " 2   5.0000   1.0000  -12.5000   3\r\n";
const std::string kNeh3 = " 3   7.0000   8.0000   9.0000   0\r\n";

}  // namespace

class TestViewerFaults : public QObject {
  Q_OBJECT

  std::string dir_;
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  bool WriteThreeNeh(const std::string& path) const {
    return testsupport::WriteSurveyFile(
        path, {{815000.25, 832000.5, 30012.5}, {-5.0, 1.0, -30012.5}, {7.0, 8.0, 9.0}}, 24);
  }

 private slots:
  void initTestCase() {
    dir_ = testsupport::MakeTempDir("viewer_faults");
    viewer::SetLoadStageHook(&OnStage);
  }
  void cleanupTestCase() {
    viewer::SetLoadStageHook(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  void cleanup() {
    Disarm();
    QVERIFY2(!viewertest::WatchdogFired(), "a dialog did not appear or did not close in time");
    viewertest::CloseAllModals();
  }

  // The file holds three NEH records (or the text "survey notes\r\n") when the load begins.
  void changedWhileLoading_data() {
    QTest::addColumn<std::string>("name");
    QTest::addColumn<LoadStage>("stage");
    QTest::addColumn<int>("change");
    QTest::addColumn<int>("error");  // LoadError
    QTest::addColumn<std::string>("text");
    const auto C = LoadStage::Checked;
    const auto M = LoadStage::Measured;
    const int none = int(LoadError::None);
    const std::string all = kNehHead + kNeh1 + kNeh2 + kNeh3;
    const std::string notes = "survey notes\r\n";

    // Gone between the existence test and the opening: not found, for records as for text
    // (the header alone would pass for an empty file).
    QTest::newRow("records removed before opening")
        << "gone.NEH"s << C << int(Change::Remove) << int(LoadError::FileNotFound) << ""s;
    QTest::newRow("text removed before opening")
        << "gone.TXT"s << C << int(Change::Remove) << int(LoadError::FileNotFound) << ""s;
    // Other open failures of a record file give the header alone; of a text, the message.
    QTest::newRow("records replaced by a folder")
        << "dir.NEH"s << C << int(Change::Folder) << none << kNehHead;
    QTest::newRow("text replaced by a folder")
        << "dir.TXT"s << C << int(Change::Folder) << int(LoadError::PermissionDenied) << ""s;
    QTest::newRow("records locked by another program")
        << "held.NEH"s << C << int(Change::Lock) << none << kNehHead;
    QTest::newRow("text locked by another program")
        << "held.TXT"s << C << int(Change::Lock) << int(LoadError::PermissionDenied) << ""s;
    // A file with no length whose reads fail is a read failure, not an empty file.
    QTest::newRow("records whose reads fail")
        << "mem.NEH"s << C << int(Change::FailingReads) << int(LoadError::DiskMediaError) << ""s;
    QTest::newRow("text whose reads fail")
        << "mem.TXT"s << C << int(Change::FailingReads) << int(LoadError::DiskMediaError) << ""s;
    // Once open, the file is read to the end whatever happens to its name.
    QTest::newRow("records removed once open")
        << "open.NEH"s << M << int(Change::Remove) << none << all;
    QTest::newRow("text removed once open")
        << "open.TXT"s << M << int(Change::Remove) << none << notes;
    // Cut after its length was taken: what is left, no bytes that were never read.
    QTest::newRow("records cut to two")
        << "cut.NEH"s << M << int(Change::CutTo48) << none << kNehHead + kNeh1 + kNeh2;
    QTest::newRow("records cut to nothing")
        << "cut0.NEH"s << M << int(Change::CutToNothing) << none << kNehHead;
    QTest::newRow("text cut") << "cut.TXT"s << M << int(Change::CutToNothing) << none << ""s;
    // Grown after its length was taken: as long as it was measured.
    QTest::newRow("records grown") << "grow.NEH"s << M << int(Change::Append) << none << all;
    QTest::newRow("text grown") << "grow.TXT"s << M << int(Change::Append) << none << notes;
  }
  void changedWhileLoading() {
    QFETCH(std::string, name);
    QFETCH(LoadStage, stage);
    QFETCH(int, change);
    QFETCH(int, error);
    QFETCH(std::string, text);
    const std::string path = Path(name);
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    if (viewer::KindOfPath(path) == viewer::FileKind::Text)
      QVERIFY(testsupport::WriteBytes(path, "survey notes\r\n"));
    else
      QVERIFY(WriteThreeNeh(path));
    Arm(stage, Change(change));
    const viewer::LoadResult r = viewer::LoadSurveyFile(path);
    QVERIFY2(g_plan.done, "the file could not be changed during the load");
    QCOMPARE(int(r.error), error);
    QCOMPARE(QByteArray::fromStdString(r.text), QByteArray::fromStdString(text));
    if (error != int(LoadError::None)) QVERIFY(std::string(viewer::MessageOf(r.error)).size() > 0);
  }

  // The same faults after the file was chosen in the open-file dialog: a message box
  // "Error" and the edit box keeps its text, or the file shown as it now is.
  void openCommand_data() {
    QTest::addColumn<std::string>("name");
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("afterExistenceTest");  // else right after the choice
    QTest::addColumn<QString>("message");          // empty: none
    QTest::addColumn<QString>("shown");            // the edit box afterwards
    const QString kept = "kept";
    QTest::newRow("removed before opening")
        << "a.NEH"s << int(Change::Remove) << true << "File not found" << kept;
    QTest::newRow("reads fail") << "b.NEH"s << int(Change::FailingReads) << false
                                << "Disk media error" << kept;
    QTest::newRow("text replaced by a folder")
        << "c.TXT"s << int(Change::Folder) << false << "Permission denied" << kept;
    QTest::newRow("records replaced by a folder")
        << "d.NEH"s << int(Change::Folder) << false << ""
        << "PT.   NORTHINGS     EASTINGS     HEIGHT   CODE\n";
  }
  void openCommand() {
    QFETCH(std::string, name);
    QFETCH(int, change);
    QFETCH(bool, afterExistenceTest);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    const std::string path = Path(name);
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    if (viewer::KindOfPath(path) == viewer::FileKind::Text)
      QVERIFY(testsupport::WriteBytes(path, "survey notes\r\n"));
    else
      QVERIFY(WriteThreeNeh(path));
    viewer::MainWindow w;
    w.show();
    w.editBox()->setPlainText("kept");
    const QString qpath = QString::fromStdString(path);
    viewertest::WhenModalOf<QFileDialog>([&](QFileDialog* d) {
      d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(qpath);
      static_cast<QDialog*>(d)->accept();
      if (afterExistenceTest) {
        Arm(LoadStage::Checked, Change(change));
      } else {
        g_plan = Plan{};
        g_plan.change = Change(change);
        ApplyChange(path);
      }
    });
    testsupport::MessageBoxCatcher messages;
    QTest::mouseClick(w.openButton(), Qt::LeftButton);
    QVERIFY2(g_plan.done, "the file could not be changed during the load");
    QCOMPARE(messages.texts, message.isEmpty() ? QStringList{} : QStringList{message});
    if (!message.isEmpty()) QCOMPARE(messages.titles, QStringList{"Error"});
    QCOMPARE(w.editBox()->toPlainText(), shown);
    QCOMPARE(w.windowTitle(), "QOVA File View - " + qpath);
  }
};

QTEST_MAIN(TestViewerFaults)
#include "tst_viewer_faults.moc"
