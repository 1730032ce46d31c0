#include "launcher/launcher_window.h"

#include "launcher/launcher_core.h"
#include "platform/dialog_units.h"
#include "platform/platform.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>

// The list's arrow image lives in the library's resources, which a static library must
// register itself.
static void InitLauncherResources() { Q_INIT_RESOURCE(launcher); }

namespace launcher {

namespace {

// Window layout in dialog units.
constexpr int kWindowWidthDu = 130;
constexpr int kWindowHeightDu = 200;
constexpr int kTabXDu = 1, kTabYDu = 1, kTabWidthDu = 188, kTabHeightDu = 188;
constexpr int kListXDu = 2, kListYDu = 6, kListWidthDu = 100;

void CentreOnScreen(QWidget& window) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  // The whole window, frame included, once the frame is known.
  QRect frame(QPoint(0, 0), window.frameGeometry().size());
  frame.moveCenter(area.center());
  window.move(frame.topLeft());
}

void SetBlackOnWhite(QComboBox& list) {
  QPalette palette = list.palette();
  for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button, QPalette::Window})
    palette.setColor(role, Qt::white);
  for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
    palette.setColor(role, Qt::black);
  list.setPalette(palette);
  list.view()->setPalette(palette);
  // A flat white field (the style would shade the button face otherwise).
  list.setStyleSheet(
      QStringLiteral("QComboBox { color: black; background-color: white; border: 1px solid #7a7a7a;"
                     " padding: 1px 18px 1px 4px; }"
                     "QComboBox::drop-down { subcontrol-origin: padding; subcontrol-position: top "
                     "right; width: 16px;"
                     " border-left: 1px solid #c0c0c0; background-color: #f0f0f0; }"
                     "QComboBox::down-arrow { image: url(:/launcher/list_arrow.png); }"
                     "QComboBox QAbstractItemView { color: black; background-color: white;"
                     " selection-color: white; selection-background-color: #0078d7; }"));
}

// The dropped list shows every entry at once, without a scroll bar, as the system's
// drop-down lists do (their dropped height follows the number of entries, not the
// 40-unit height of the control's template).
void SizeDroppedList(QComboBox& list) {
  list.setMaxVisibleItems(qMax(1, list.count()));
  list.view()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

}  // namespace

std::unique_ptr<QWidget> CreateLauncher(LauncherState& state) {
  InitLauncherResources();
  // 1. The list font.
  state.listFont = QFont(QStringLiteral("Arial"), 10, QFont::Bold);

  // 2. The window, centred, fixed in size, with the tab control. The tab control is wider
  // than the window, which clips it on the right.
  auto window = std::make_unique<QWidget>(
      nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  window->setWindowTitle(QStringLiteral("Halden Survey Program"));
  window->setFixedSize(platform::DuToPxX(kWindowWidthDu), platform::DuToPxY(kWindowHeightDu));
  CentreOnScreen(*window);
  state.window = window.get();

  auto* tabs = new QTabWidget(window.get());
  tabs->setObjectName(QString::number(kTabControlId));
  tabs->setGeometry(platform::DuToPxX(kTabXDu), platform::DuToPxY(kTabYDu),
                    platform::DuToPxX(kTabWidthDu), platform::DuToPxY(kTabHeightDu));
  state.tabs = tabs;

  // 3. The selection page and the program list on it.
  auto* page = new SelectionPage(state, tabs);
  tabs->addTab(page, QStringLiteral("SELECTION"));
  state.page = page;

  auto* list = new QComboBox(page);
  list->setObjectName(QString::number(kProgramListId));
  list->setEditable(false);
  list->setFocusPolicy(Qt::StrongFocus);
  state.list = list;

  // 4. Colours, font, the entries in table order, the first selected.
  SetBlackOnWhite(*list);
  list->setFont(state.listFont);
  for (std::string_view entry : kProgramTable)
    list->addItem(QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size())));
  list->setCurrentIndex(0);
  list->setGeometry(platform::DuToPxX(kListXDu), platform::DuToPxY(kListYDu),
                    platform::DuToPxX(kListWidthDu), list->sizeHint().height());
  SizeDroppedList(*list);
  list->installEventFilter(page);
  tabs->tabBar()->installEventFilter(page);
  page->setFocusProxy(list);
  list->setFocus();

  // Only a choice by the user starts a program, never the selection made above.
  QObject::connect(list, &QComboBox::activated, page,
                   [&state](int index) { ProgramListChanged(state, index + 1); });
  return window;
}

void ShowLauncher(QWidget& window) {
  window.show();
  CentreOnScreen(window);
  window.raise();
  window.activateWindow();
}

void PaintGradient(QPainter& surface, int k) {
  QPaintDevice* device = surface.device();
  if (!device) return;
  for (const GradientBand& band : GradientBands(device->width(), device->height(), k)) {
    if (band.bottom <= band.top || band.right <= band.left) continue;
    surface.fillRect(QRect(band.left, band.top, band.right - band.left, band.bottom - band.top),
                     QColor(band.red, band.green, band.blue));
  }
}

void RunProgram(const QString& command) {
  const std::string cut = CutCommand(command.toStdString());
  // The exit code is read by the platform and not used here.
  (void)platform::RunProcessAndWait(QString::fromStdString(ProgramCommandLine(cut)));
}

// The display server takes the dropped list off the screen in its own time, and only
// then asks the launcher to paint what the list covered: on a loaded machine that can
// come after the program has started, when the launcher no longer paints. So wait (a
// short while at most) until the list is gone, and take the paint requests that follow.
static void SettleScreen(LauncherState& state) {
  QElapsedTimer clock;
  clock.start();
  const QWidget* popup = state.list ? state.list->view()->window() : nullptr;
  qint64 goneAt = popup && popup->isVisible() ? -1 : 0;
  while (clock.elapsed() < 1000) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    if (goneAt < 0 && !(popup && popup->isVisible())) goneAt = clock.elapsed();
    if (goneAt >= 0 && clock.elapsed() - goneAt >= 60) break;
    QThread::msleep(2);
  }
  if (state.window) state.window->repaint();
}

namespace {

// Takes every key, click and wheel turn aimed at the launcher, and the window system's
// requests to close its window, and counts them. Keys pressed (or repeating) meanwhile are
// noted: they may still be held down when the wait ends.
class InputSwallower : public QObject {
 public:
  int taken = 0;
  QSet<int> pressed;
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
        pressed.insert(static_cast<QKeyEvent*>(event)->key());
        [[fallthrough]];
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::NonClientAreaMouseButtonPress:
      case QEvent::NonClientAreaMouseButtonRelease:
      case QEvent::NonClientAreaMouseButtonDblClick:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
      case QEvent::TabletPress:
      case QEvent::TabletRelease:
      case QEvent::Close:  // the close box, or the window manager's close request
        if (event->type() == QEvent::KeyRelease && !static_cast<QKeyEvent*>(event)->isAutoRepeat())
          pressed.remove(static_cast<QKeyEvent*>(event)->key());
        ++taken;
        return true;
      default:
        return false;
    }
  }
};

// A key pressed during the wait and still held down when it ends goes on repeating: its
// repeats are dropped until it is released; a key pressed afresh counts at once.
class HeldKeyFilter : public QObject {
 public:
  explicit HeldKeyFilter(QSet<int> keys) : keys_(std::move(keys)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease &&
        event->type() != QEvent::ShortcutOverride)
      return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!keys_.contains(key->key())) return false;
    if (key->isAutoRepeat()) return true;
    if (event->type() == QEvent::KeyRelease) {
      keys_.remove(key->key());
      if (keys_.isEmpty()) deleteLater();
      return true;  // the release of the key held since the wait
    }
    // Pressed afresh: its release was not seen (the window lost the keyboard meanwhile).
    keys_.remove(key->key());
    if (keys_.isEmpty()) deleteLater();
    return false;
  }

 private:
  QSet<int> keys_;
};

// Input given during the wait is in the queues when the wait ends (the window system's
// connection is read on a thread of its own meanwhile): it is taken until the queues have
// been quiet for kQuietMs, and for kDropQueuedInputMs at most, so that a key pressed
// after the program has ended is the launcher's again at once.
constexpr int kQuietMs = 20;
constexpr int kDropQueuedInputMs = 100;

// The launcher takes no keys or clicks while it waits: whatever was pressed at its window
// meanwhile is dropped here, so that three Up keys pressed at the waiting menu do not
// start three more programs the moment the first one ends.
void DropInputQueuedDuringWait() {
  InputSwallower swallower;
  QCoreApplication::instance()->installEventFilter(&swallower);
  QElapsedTimer clock;
  clock.start();
  qint64 lastTaken = 0;
  int seen = 0;
  while (clock.elapsed() < kDropQueuedInputMs && clock.elapsed() - lastTaken < kQuietMs) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (swallower.taken != seen) {
      seen = swallower.taken;
      lastTaken = clock.elapsed();
    }
    QThread::msleep(1);
  }
  QCoreApplication::instance()->removeEventFilter(&swallower);
  // The last filter of keys held from the wait (if any) gives way to this one.
  static QPointer<HeldKeyFilter> held;
  if (held) delete held.data();
  if (!swallower.pressed.isEmpty()) {
    held = new HeldKeyFilter(swallower.pressed);
    held->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(held);
  }
}

}  // namespace

void ProgramListChanged(LauncherState& state, int entry) {
  if (entry < 1 || entry > static_cast<int>(kProgramTable.size()) || !state.list) return;
  const QString text = state.list->itemText(entry - 1);
  const std::string command = BuildCommand(state.installFolder.toStdString(), text.toStdString());
  // Before the wait, let the screen catch up with the choice: the dropped list closes
  // (it would otherwise stay drawn over the started program until that program ends) and
  // the list shows the entry chosen. Keys and clicks wait in their queues meanwhile.
  SettleScreen(state);
  RunProgram(QString::fromStdString(command));
  // Back to idle: the launcher takes input again once the program has ended, but none
  // of the input given while it waited.
  DropInputQueuedDuringWait();
  if (state.window && state.window->isVisible()) state.window->activateWindow();
}

void CancelCommand(LauncherState& state) {
  if (!state.page) return;
  // The tab control loses its one tab when the page goes.
  state.page->hide();
  state.page->deleteLater();
  state.page = nullptr;
  state.list = nullptr;
}

SelectionPage::SelectionPage(LauncherState& state, QWidget* parent)
    : QWidget(parent), state_(state) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void SelectionPage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int k = state_.tabs ? state_.tabs->currentIndex() + 1 : 1;
  PaintGradient(painter, k);
}

void SelectionPage::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    CancelCommand(state_);
    return;
  }
  QWidget::keyPressEvent(event);
}

namespace {
// Tab or Shift+Tab without Ctrl or Alt: the key that moves the keyboard between controls.
bool IsTabKey(const QKeyEvent& key) {
  return (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab) &&
         !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}
}  // namespace

// The Esc key over the closed list is the dialog's cancel command; it reaches the page
// before the list can take it as a letter to search for.
// Tab moves the keyboard between the list and the tab control's header, whatever the
// desktop's rule for which controls Tab visits (some visit only text and list controls
// and would leave the keyboard on the list). On the header the arrow keys and Esc do
// nothing: the one tab stays selected and no program is started.
bool SelectionPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const auto& key = *static_cast<QKeyEvent*>(event);
  if (watched == state_.list && key.key() == Qt::Key_Escape && key.modifiers() == Qt::NoModifier) {
    CancelCommand(state_);
    return true;
  }
  if (watched == state_.list && IsTabKey(key) && state_.tabs) {
    state_.tabs->tabBar()->setFocus(key.key() == Qt::Key_Tab ? Qt::TabFocusReason
                                                             : Qt::BacktabFocusReason);
    return true;
  }
  if (state_.tabs && watched == state_.tabs->tabBar() && IsTabKey(key) && state_.list) {
    state_.list->setFocus(key.key() == Qt::Key_Tab ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace launcher
