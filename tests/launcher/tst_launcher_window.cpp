// The launcher window driven with real key events: layout, shaded page, starting the
// programs of the table from a test install folder of stand-ins, the cancel command.
#include "launcher/launcher_core.h"
#include "launcher/launcher_window.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontInfo>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QScopeGuard>
#include <QStyleHints>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <thread>

#ifndef STAND_IN_PATH
#error "STAND_IN_PATH must name the stand-in program"
#endif

namespace {

// One launcher window over a test install folder.
struct Launcher {
  launcher::LauncherState state;
  std::unique_ptr<QWidget> window;

  explicit Launcher(const QString& folder) {
    state.installFolder = folder;
    window = launcher::CreateLauncher(state);
    launcher::ShowLauncher(*window);
    (void)QTest::qWaitForWindowExposed(window.get());
    state.list->setFocus();
  }
  QComboBox* list() const { return state.list.data(); }
};

// Puts a copy of the stand-in program into `folder` under `name`.
bool AddStandIn(const QString& folder, const QString& name) {
  const QString target = folder + name;
  QFile::remove(target);
  if (!QFile::copy(QStringLiteral(STAND_IN_PATH), target)) return false;
  return QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                           QFileDevice::ExeGroup);
}

// A folder path of exactly `length` characters, trailing separator included, below `base`.
QString FolderOfLength(const QString& base, int length) {
  QString folder = base + "/";
  while (folder.size() < length) {
    const int room = length - static_cast<int>(folder.size()) - 1;  // keep one for the separator
    if (room <= 0) return QString();
    const int part = qMin(room > 200 && room < 202 ? 100 : room, 200);
    folder += QString(part, QLatin1Char('d')) + "/";
  }
  if (folder.size() != length || !QDir().mkpath(folder)) return QString();
  return folder;
}

QStringList LogLines(const QString& log) {
  QFile file(log);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

bool AnyMessageBox() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<QMessageBox*>(w) && w->isVisible()) return true;
  return QApplication::activeModalWidget() != nullptr;
}

QString EntryFile(int entry) {
  const std::string_view text = launcher::kProgramTable[static_cast<std::size_t>(entry - 1)];
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The stand-in file for an entry: odd entries carry ".exe" as the table has it, even ones
// are installed without it, as programs are on this system.
QString StandInName(int entry) {
  QString name = EntryFile(entry);
  if (entry % 2 == 0) name.chop(4);
  return name;
}

}  // namespace

class TestLauncherWindow : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void windowLayout();
  void listShowsTheTable();
  void paintGradientRows_data();
  void paintGradientRows();
  void pageIsShadedBlue();
  void entry17RunsConverterAndWaits();
  void handlesNoEventsWhileWaiting();
  void keysWhileWaitingAreDropped_data();
  void keysWhileWaitingAreDropped();
  void arrowKeysStartEachEntry();
  void eachWayOfChoosingStarts_data();
  void eachWayOfChoosingStarts();
  void choosingTheShownEntryAgainStartsIt();
  void unstartableProgramShowsNothing_data();
  void unstartableProgramShowsNothing();
  void commandCutAt256Characters();
  void blanksInInstallFolder();
  void escapeDestroysPageOnly();
  void tabReachesTheTabHeader_data();
  void tabReachesTheTabHeader();

 private:
  QTemporaryDir work_;
  QString folder_;  // the test install folder, with a trailing separator
  QString log_;
  QString startFolder_;
};

void TestLauncherWindow::init() {
  QVERIFY(work_.isValid());
  folder_ = work_.path() + "/install-" + QString::fromLatin1(QTest::currentTestFunction()) + "/";
  QDir(folder_).removeRecursively();
  QVERIFY(QDir().mkpath(folder_));
  log_ = work_.path() + "/" + QString::fromLatin1(QTest::currentTestFunction()) + ".log";
  QFile::remove(log_);
  qputenv("SELVAN_STAND_IN_LOG", log_.toLocal8Bit());
  qunsetenv("SELVAN_STAND_IN_MS");
  startFolder_ = QDir::currentPath();
}

void TestLauncherWindow::cleanup() { QDir::setCurrent(startFolder_); }

void TestLauncherWindow::windowLayout() {
  Launcher l(folder_);
  QWidget* w = l.window.get();
  QCOMPARE(w->windowTitle(), QStringLiteral("Halden Survey Program"));
  // 130 x 200 dialog units, no resizing.
  QCOMPARE(w->size(), QSize(195, 325));
  QCOMPARE(w->minimumSize(), w->maximumSize());
  QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
  QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
  // The tab control is 188 units wide, wider than the window.
  QTabWidget* tabs = l.state.tabs;
  QVERIFY(tabs);
  QCOMPARE(tabs->objectName(), QStringLiteral("1000"));
  QCOMPARE(tabs->geometry(), QRect(2, 2, 282, 306));
  QVERIFY(tabs->geometry().right() > w->width());
  QCOMPARE(tabs->count(), 1);
  QCOMPARE(tabs->tabText(0), QStringLiteral("SELECTION"));
  QCOMPARE(tabs->widget(0), static_cast<QWidget*>(l.state.page.data()));
  // The list at (2, 6), 100 units wide, on the page.
  QComboBox* list = l.list();
  QCOMPARE(list->objectName(), QStringLiteral("1006"));
  QCOMPARE(list->parentWidget(), static_cast<QWidget*>(l.state.page.data()));
  QCOMPARE(list->pos(), QPoint(3, 10));
  QCOMPARE(list->width(), 150);
  QVERIFY(!list->isEditable());
  QVERIFY(list->focusPolicy() & Qt::TabFocus);
  QVERIFY(list->hasFocus());
  // Centred on the screen.
  const QRect screen = w->screen()->availableGeometry();
  QVERIFY(qAbs(w->frameGeometry().center().x() - screen.center().x()) <= 1);
  QVERIFY(qAbs(w->frameGeometry().center().y() - screen.center().y()) <= 1);
}

void TestLauncherWindow::listShowsTheTable() {
  Launcher l(folder_);
  QComboBox* list = l.list();
  QCOMPARE(list->count(), 17);
  QCOMPARE(list->currentIndex(), 0);
  QCOMPARE(list->currentText(), QStringLiteral("brisel.exe"));
  QCOMPARE(list->itemText(3), QStringLiteral("lisket.exe"));
  QCOMPARE(list->itemText(16), QStringLiteral("norvane.exe"));
  // "Arial" 10 pt bold (Liberation Sans, metric-compatible, on this system).
  const QFont font = list->font();
  QCOMPARE(font.family(), QStringLiteral("Arial"));
  QCOMPARE(font.pointSize(), 10);
  QVERIFY(font.bold());
  const QString resolved = QFontInfo(font).family();
  QVERIFY2(resolved == "Arial" || resolved == "Liberation Sans", qPrintable(resolved));
  // Black text on white.
  QCOMPARE(list->palette().color(QPalette::ButtonText), QColor(Qt::black));
  QCOMPARE(list->palette().color(QPalette::Button), QColor(Qt::white));
  QCOMPARE(list->palette().color(QPalette::Base), QColor(Qt::white));
  QCOMPARE(list->palette().color(QPalette::Text), QColor(Qt::black));
  const QImage shot = list->grab().toImage();
  QCOMPARE(QColor(shot.pixel(shot.width() * 2 / 3, shot.height() / 2)), QColor(Qt::white));
  bool blackText = false;
  for (int x = 0; x < shot.width() / 2 && !blackText; ++x)
    for (int y = 0; y < shot.height() && !blackText; ++y)
      blackText = QColor(shot.pixel(x, y)) == QColor(Qt::black);
  QVERIFY(blackText);
}

// The colour each row ends with: where bands round to the same rows (under 200 rows) the
// later band paints over the earlier one.
void TestLauncherWindow::paintGradientRows_data() {
  QTest::addColumn<int>("height");
  QTest::addColumn<int>("row");
  QTest::addColumn<int>("blue");
  QTest::newRow("280 row 0: band 0") << 280 << 0 << 255;
  QTest::newRow("280 row 1: band 1") << 280 << 1 << 254;
  QTest::newRow("280 row 2: band 1") << 280 << 2 << 254;
  QTest::newRow("280 row 3: band 2") << 280 << 3 << 253;
  QTest::newRow("280 row 279: band 199") << 280 << 279 << 56;
  QTest::newRow("200 row 100") << 200 << 100 << 155;
  QTest::newRow("100 row 0: band 1") << 100 << 0 << 254;
  QTest::newRow("100 row 1: band 2") << 100 << 1 << 253;
  QTest::newRow("100 row 2: band 5 over 3 and 4") << 100 << 2 << 250;
  QTest::newRow("100 row 3: band 6") << 100 << 3 << 249;
  QTest::newRow("100 row 4: band 9") << 100 << 4 << 246;
  QTest::newRow("100 row 99: band 198") << 100 << 99 << 57;
  QTest::newRow("50 row 0: band 2") << 50 << 0 << 253;
  QTest::newRow("50 row 1: band 5") << 50 << 1 << 250;
  QTest::newRow("1 row: band 100, the last to reach it") << 1 << 0 << 155;
}

void TestLauncherWindow::paintGradientRows() {
  QFETCH(int, height);
  QFETCH(int, row);
  QFETCH(int, blue);
  QImage surface(31, height, QImage::Format_RGB32);
  surface.fill(Qt::magenta);
  {
    QPainter painter(&surface);
    launcher::PaintGradient(painter, 1);
  }
  for (int x : {0, 15, 30}) QCOMPARE(QColor(surface.pixel(x, row)), QColor(0, 0, blue));
}

void TestLauncherWindow::pageIsShadedBlue() {
  Launcher l(folder_);
  QWidget* page = l.state.page;
  const QImage shot = page->grab().toImage();
  const int h = shot.height();
  QVERIFY(h >= 200);
  const int x = shot.width() - 2;  // clear of the list
  QCOMPARE(QColor(shot.pixel(x, 0)), QColor(0, 0, 255));
  QCOMPARE(QColor(shot.pixel(x, h - 1)), QColor(0, 0, 56));
  // Darker step by step, top to bottom, with no other colour.
  int previous = 256;
  for (int y = 0; y < h; ++y) {
    const QColor c = shot.pixel(x, y);
    QCOMPARE(c.red(), 0);
    QCOMPARE(c.green(), 0);
    QVERIFY(c.blue() <= previous && c.blue() >= previous - 1);
    previous = c.blue();
  }
}

void TestLauncherWindow::entry17RunsConverterAndWaits() {
  QVERIFY(AddStandIn(folder_, "norvane"));  // installed without ".exe"
  qputenv("SELVAN_STAND_IN_MS", "300");
  QDir(work_.path()).mkdir("samples");
  QVERIFY(QDir::setCurrent(work_.path() + "/samples"));
  Launcher l(folder_);
  QTest::keyClick(l.list(), Qt::Key_End);
  // The key press returned only after the converter had ended.
  const QStringList lines = LogLines(log_);
  const QString program = folder_ + "norvane";
  QCOMPARE(lines, QStringList({"started\t" + program + "\t0\t" + QDir::currentPath(),
                               "ended\t" + program}));
  QCOMPARE(l.list()->currentIndex(), 16);
  QVERIFY(!AnyMessageBox());  // exit code 7 is not reported
}

// While the program runs the launcher handles nothing: a timer that falls due while the
// program runs (it takes 1 s) fires only after the program has ended.
void TestLauncherWindow::handlesNoEventsWhileWaiting() {
  QVERIFY(AddStandIn(folder_, "norvane.exe"));
  qputenv("SELVAN_STAND_IN_MS", "1000");
  Launcher l(folder_);
  QStringList seenByTimer{"not fired"};
  QTimer::singleShot(100, [&] { seenByTimer = LogLines(log_); });
  QTest::keyClick(l.list(), Qt::Key_End);
  QTRY_COMPARE_WITH_TIMEOUT(seenByTimer.size(), 2, 5000);
  QVERIFY(seenByTimer.at(1).startsWith("ended\t"));
}

// Three Up keys pressed at the waiting menu started three more programs when it ended;
// a close request given meanwhile closed the menu when it ended; a key held down kept
// repeating after the end and started programs. They reach the queue while the launcher
// waits, from another thread as from the display. A key pressed after the end counts.
void TestLauncherWindow::keysWhileWaitingAreDropped_data() {
  QTest::addColumn<QString>("during");  // given while entry 10 runs
  QTest::addColumn<QString>("after");   // given a moment after it has ended
  QTest::addColumn<int>("logLines");
  QTest::addColumn<int>("index");
  QTest::newRow("Up three times") << "up up up"
                                  << "" << 2 << 9;
  QTest::newRow("close request") << "close"
                                 << "" << 2 << 9;
  QTest::newRow("Up held down past the end") << "up repeat repeat"
                                             << "repeat repeat" << 2 << 9;
  QTest::newRow("Up pressed after the end") << ""
                                            << "up" << 4 << 8;
  QTest::newRow("Up held, released, pressed again") << "up repeat"
                                                    << "repeat release up" << 4 << 8;
}

void TestLauncherWindow::keysWhileWaitingAreDropped() {
  QFETCH(QString, during);
  QFETCH(QString, after);
  QFETCH(int, logLines);
  QFETCH(int, index);
  for (int entry = 1; entry <= 17; ++entry) QVERIFY(AddStandIn(folder_, StandInName(entry)));
  const QString hold = work_.path() + "/hold";
  QVERIFY(QFile(hold).open(QIODevice::WriteOnly));
  qputenv("SELVAN_STAND_IN_HOLD", hold.toLocal8Bit());
  Launcher l(folder_);
  QComboBox* list = l.list();
  list->setCurrentIndex(8);
  QWindow* window = l.window->windowHandle();
  const auto give = [&](const QString& steps) {
    for (const QString& step : steps.split(' ', Qt::SkipEmptyParts)) {
      const auto key = [&](QEvent::Type type, bool repeat) {
        QCoreApplication::postEvent(
            list, new QKeyEvent(type, Qt::Key_Up, Qt::NoModifier, QString(), repeat));
      };
      if (step == "up") key(QEvent::KeyPress, false);
      if (step == "repeat") key(QEvent::KeyRelease, true), key(QEvent::KeyPress, true);
      if (step == "release") key(QEvent::KeyRelease, false);
      if (step == "close") QCoreApplication::postEvent(window, new QCloseEvent);
    }
  };
  std::thread user([&] {
    for (int i = 0; i < 1000 && LogLines(log_).isEmpty(); ++i) QThread::msleep(10);
    give(during);
    QFile::remove(hold);
    for (int i = 0; i < 1000 && LogLines(log_).size() < 2; ++i) QThread::msleep(10);
    QThread::msleep(250);  // past the moment the launcher takes input again
    give(after);
  });
  QTest::keyClick(list, Qt::Key_Down);  // starts entry 10 and waits
  user.join();
  qunsetenv("SELVAN_STAND_IN_HOLD");
  QTest::qWait(300);
  QCOMPARE(LogLines(log_).size(), logLines);
  QCOMPARE(list->currentIndex(), index);
  QVERIFY(l.window->isVisible());
}

void TestLauncherWindow::arrowKeysStartEachEntry() {
  for (int entry = 1; entry <= 17; ++entry) QVERIFY(AddStandIn(folder_, StandInName(entry)));
  Launcher l(folder_);
  QStringList expected;
  auto expectRun = [&](int entry) {
    const QString program = folder_ + StandInName(entry);
    expected << "started\t" + program + "\t0\t" + QDir::currentPath() << "ended\t" + program;
  };
  for (int entry = 2; entry <= 17; ++entry) {
    QTest::keyClick(l.list(), Qt::Key_Down);
    QCOMPARE(l.list()->currentIndex(), entry - 1);
    expectRun(entry);
    QCOMPARE(LogLines(log_), expected);
  }
  // Down on the last entry changes nothing and starts nothing.
  QTest::keyClick(l.list(), Qt::Key_Down);
  QCOMPARE(LogLines(log_), expected);
  // Back up one, then to the top.
  QTest::keyClick(l.list(), Qt::Key_Up);
  expectRun(16);
  QTest::keyClick(l.list(), Qt::Key_Home);
  expectRun(1);
  QCOMPARE(LogLines(log_), expected);
  QCOMPARE(l.list()->currentText(), QStringLiteral("brisel.exe"));
}

// Every way the list's selection can be changed by the user starts the entry reached.
void TestLauncherWindow::eachWayOfChoosingStarts_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<int>("from");  // entry selected first, counted from 1
  QTest::addColumn<int>("entry");
  QTest::newRow("down") << "Down" << 1 << 2;
  QTest::newRow("up") << "Up" << 5 << 4;
  QTest::newRow("end") << "End" << 1 << 17;
  QTest::newRow("home") << "Home" << 9 << 1;
  QTest::newRow("letter l") << "l" << 1 << 4;
  QTest::newRow("letter N, any case") << "N" << 1 << 17;
  QTest::newRow("wheel down") << "wheel-" << 3 << 4;
  QTest::newRow("wheel up") << "wheel+" << 3 << 2;
}

void TestLauncherWindow::eachWayOfChoosingStarts() {
  QFETCH(QString, how);
  QFETCH(int, from);
  QFETCH(int, entry);
  QVERIFY(AddStandIn(folder_, StandInName(entry)));
  Launcher l(folder_);
  l.list()->setCurrentIndex(from - 1);  // set by the test itself: starts nothing
  QVERIFY(LogLines(log_).isEmpty());
  if (how.startsWith("wheel")) {
    const QPoint at = l.list()->rect().center();
    const int delta = how.endsWith('-') ? -120 : 120;
    QWheelEvent wheel(at, l.list()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(l.list(), &wheel);
  } else if (how.size() == 1) {
    QTest::keyClicks(l.list(), how);
  } else {
    const Qt::Key key = how == "Down"  ? Qt::Key_Down
                        : how == "Up"  ? Qt::Key_Up
                        : how == "End" ? Qt::Key_End
                                       : Qt::Key_Home;
    QTest::keyClick(l.list(), key);
  }
  QCOMPARE(l.list()->currentIndex(), entry - 1);
  const QStringList lines = LogLines(log_);
  QCOMPARE(lines.size(), 2);
  QCOMPARE(lines.at(0).section('\t', 1, 1), folder_ + StandInName(entry));
}

// Clicking the entry already shown, in the dropped list, starts it again.
void TestLauncherWindow::choosingTheShownEntryAgainStartsIt() {
  QVERIFY(AddStandIn(folder_, StandInName(1)));
  Launcher l(folder_);
  QComboBox* list = l.list();
  list->showPopup();
  QAbstractItemView* view = list->view();
  QTRY_VERIFY_WITH_TIMEOUT(view->isVisible(), 5000);
  // The dropped list ignores a release that comes within a double-click time of dropping.
  QTest::qWait(QApplication::doubleClickInterval() + 100);
  const QRect item = view->visualRect(list->model()->index(0, 0));
  QVERIFY(item.isValid());
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
  QTRY_COMPARE_WITH_TIMEOUT(LogLines(log_).size(), 2, 5000);
  QVERIFY(LogLines(log_).at(0).startsWith("started\t" + folder_ + StandInName(1) + "\t"));
  QCOMPARE(list->currentIndex(), 0);
}

void TestLauncherWindow::unstartableProgramShowsNothing_data() {
  QTest::addColumn<QString>("kind");
  QTest::newRow("no file") << "missing";
  QTest::newRow("not executable") << "plain file";
  QTest::newRow("a folder") << "folder";
}

void TestLauncherWindow::unstartableProgramShowsNothing() {
  QFETCH(QString, kind);
  // Entry 2 is Corvik.exe, outside this system.
  if (kind == "plain file") {
    QFile file(folder_ + "Corvik.exe");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a program\n");
  } else if (kind == "folder") {
    QVERIFY(QDir(folder_).mkdir("Corvik.exe"));
  }
  Launcher l(folder_);
  QTest::keyClick(l.list(), Qt::Key_Down);
  QCOMPARE(l.list()->currentIndex(), 1);
  QVERIFY(!AnyMessageBox());
  QVERIFY(l.window->isVisible());
  QVERIFY(LogLines(log_).isEmpty());
  // Back to idle: the next entry starts as usual.
  QVERIFY(AddStandIn(folder_, "Dastro"));
  QTest::keyClick(l.list(), Qt::Key_Down);
  QCOMPARE(LogLines(log_).size(), 2);
  QVERIFY(LogLines(log_).at(0).startsWith("started\t" + folder_ + "Dastro\t"));
}

void TestLauncherWindow::commandCutAt256Characters() {
  // 251 characters of folder leave 5 for the name: "norvane.exe" is cut to "norva".
  const QString folder = FolderOfLength(work_.path() + "/cut", 251);
  QVERIFY(!folder.isEmpty());
  QVERIFY(AddStandIn(folder, "norva"));
  QVERIFY(AddStandIn(folder, "norvane"));
  Launcher l(folder);
  QTest::keyClick(l.list(), Qt::Key_End);
  const QStringList lines = LogLines(log_);
  QCOMPARE(lines.size(), 2);
  QCOMPARE(lines.at(0).section('\t', 1, 1), folder + "norva");
}

void TestLauncherWindow::blanksInInstallFolder() {
  const QString folder = work_.path() + "/Survey Suite/bin/";
  QVERIFY(QDir().mkpath(folder));
  QVERIFY(AddStandIn(folder, "lisket"));
  Launcher l(folder);
  for (int i = 0; i < 3; ++i) QTest::keyClick(l.list(), Qt::Key_Down);
  QCOMPARE(l.list()->currentText(), QStringLiteral("lisket.exe"));
  const QStringList lines = LogLines(log_);
  QCOMPARE(lines.size(), 2);
  QCOMPARE(lines.at(0).section('\t', 1, 2), folder + "lisket\t0");
}

void TestLauncherWindow::escapeDestroysPageOnly() {
  QVERIFY(AddStandIn(folder_, "Corvik"));
  Launcher l(folder_);
  QPointer<QWidget> page = l.state.page.data();
  QTest::keyClick(l.list(), Qt::Key_Escape);
  QTRY_VERIFY_WITH_TIMEOUT(page.isNull(), 5000);
  QCOMPARE(l.state.tabs->count(), 0);
  QVERIFY(l.window->isVisible());
  // Esc again, now on the window, does not close it either; nothing was started.
  QTest::keyClick(l.window.get(), Qt::Key_Escape);
  QTest::qWait(20);
  QVERIFY(l.window->isVisible());
  QVERIFY(LogLines(log_).isEmpty());
}

// Tab moves the keyboard from the list onto the tab control's header (it stayed on the
// list); there the arrow keys start nothing and Esc leaves the page where it is, and Tab
// goes back to the list.
// A desktop whose Tab visits only text and list controls kept the keyboard on the list.
void TestLauncherWindow::tabReachesTheTabHeader_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("back");
  QTest::addColumn<int>("rule");  // the desktop's rule for the controls Tab visits
  const int all = Qt::TabFocusAllControls,
            some = Qt::TabFocusTextControls | Qt::TabFocusListControls;
  for (int rule : {all, some}) {
    const char* r = rule == all ? "all controls" : "text and list controls";
    QTest::addRow("%s: Down, back with Tab", r) << int(Qt::Key_Down) << int(Qt::Key_Tab) << rule;
    QTest::addRow("%s: Up, back with Shift+Tab", r)
        << int(Qt::Key_Up) << int(Qt::Key_Backtab) << rule;
    QTest::addRow("%s: Right", r) << int(Qt::Key_Right) << int(Qt::Key_Tab) << rule;
    QTest::addRow("%s: End", r) << int(Qt::Key_End) << int(Qt::Key_Tab) << rule;
    QTest::addRow("%s: Esc", r) << int(Qt::Key_Escape) << int(Qt::Key_Tab) << rule;
  }
}

void TestLauncherWindow::tabReachesTheTabHeader() {
  QFETCH(int, key);
  QFETCH(int, back);
  QFETCH(int, rule);
  const Qt::TabFocusBehavior before = QGuiApplication::styleHints()->tabFocusBehavior();
  QGuiApplication::styleHints()->setTabFocusBehavior(Qt::TabFocusBehavior(rule));
  const auto restore =
      qScopeGuard([before] { QGuiApplication::styleHints()->setTabFocusBehavior(before); });
  for (int entry = 1; entry <= 17; ++entry) QVERIFY(AddStandIn(folder_, StandInName(entry)));
  Launcher l(folder_);
  QTabBar* header = l.state.tabs->tabBar();
  QTRY_VERIFY_WITH_TIMEOUT(l.list()->hasFocus(), 3000);
  QTest::keyClick(l.list(), Qt::Key_Tab);
  QTRY_VERIFY_WITH_TIMEOUT(header->hasFocus(), 3000);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
  QTest::qWait(20);
  QVERIFY(LogLines(log_).isEmpty());
  QVERIFY(l.state.page);
  QCOMPARE(l.state.tabs->count(), 1);
  QCOMPARE(l.list()->currentIndex(), 0);
  QVERIFY(header->hasFocus());
  QTest::keyClick(header, Qt::Key(back),
                  back == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
  QTRY_VERIFY_WITH_TIMEOUT(l.list()->hasFocus(), 3000);
  // On the list the arrow keys choose again.
  QTest::keyClick(l.list(), Qt::Key_Down);
  QCOMPARE(l.list()->currentIndex(), 1);
  QCOMPARE(LogLines(log_).size(), 2);
}

QTEST_MAIN(TestLauncherWindow)
#include "tst_launcher_window.moc"
