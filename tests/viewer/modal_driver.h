#pragma once
// Drives modal windows from a timer: the action runs on the active modal widget until it
// reports that it handled it. A watchdog closes every modal window after the time limit,
// so that no test can hang, and records that it had to.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace viewertest {

inline bool& WatchdogFired() {
  static bool fired = false;
  return fired;
}

inline void CloseAllModals() {
  for (int k = 0; k < 20; ++k) {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr) return;
    if (auto* d = qobject_cast<QDialog*>(w))
      d->reject();
    else
      w->close();
    QApplication::processEvents();
  }
}

// act(widget) returns true once it has dealt with the widget it waited for.
inline void WhenModal(std::function<bool(QWidget*)> act, int timeoutMs = 20000) {
  auto* timer = new QTimer;
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, act, timeoutMs] {
    QWidget* w = QApplication::activeModalWidget();
    if (w != nullptr && w->isVisible() && act(w)) {
      timer->stop();
      timer->deleteLater();
      return;
    }
    if (clock->elapsed() > timeoutMs) {
      timer->stop();
      timer->deleteLater();
      WatchdogFired() = true;
      CloseAllModals();
    }
  });
  timer->start();
}

template <class T>
void WhenModalOf(std::function<void(T*)> act, int timeoutMs = 20000) {
  WhenModal(
      [act](QWidget* w) {
        T* t = qobject_cast<T*>(w);
        if (t == nullptr) return false;
        act(t);
        return true;
      },
      timeoutMs);
}

}  // namespace viewertest
