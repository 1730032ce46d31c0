#pragma once
// Drives the plot conversation through the real window: each step waits until the text
// in the graphic area ends with its prompt (and every key typed before has been taken),
// runs its check, then types its keys into the area. A watchdog closes the window when
// the conversation stops following the script, so no test can hang.
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>

#include "secplot/sectra_window.h"
#include "toolkit/prompt_window.h"

namespace sectest {

struct Step {
  QString prompt;                 // the area's text must end with this
  QString keys;                   // typed; '\r' is Enter
  std::function<void()> check{};  // run just before typing
};

class ConversationDriver : public QObject {
 public:
  ConversationDriver(secplot::SectraWindow& window, QList<Step> steps, int watchdogMs = 30000)
      : window_(&window), steps_(std::move(steps)) {
    tick_.setInterval(5);
    connect(&tick_, &QTimer::timeout, this, [this] { Tick(); });
    watchdog_.setSingleShot(true);
    watchdog_.setInterval(watchdogMs);
    connect(&watchdog_, &QTimer::timeout, this, [this] {
      timedOut_ = true;
      if (window_) window_->close();
    });
  }

  // Clicks "&Start" and returns when the conversation is over.
  void Run() {
    tick_.start();
    watchdog_.start();
    QTest::mouseClick(window_->StartButton(), Qt::LeftButton);
    tick_.stop();
    watchdog_.stop();
  }

  bool TimedOut() const { return timedOut_; }
  int Done() const { return next_; }
  bool AllDone() const { return next_ == steps_.size(); }
  QString LastTranscript() const { return lastTranscript_; }
  // What went wrong, for QVERIFY2.
  QByteArray Report() const {
    QString s = QString("steps done %1 of %2").arg(next_).arg(steps_.size());
    if (next_ < steps_.size()) s += ", waiting for \"" + steps_[next_].prompt + "\"";
    s += "\ntext in the area:\n" + lastTranscript_.right(600);
    return s.toLatin1();
  }

 private:
  void Tick() {
    toolkit::PromptWindow* area = window_ ? window_->Area() : nullptr;
    if (!area) return;
    const QString text = QString::fromLatin1(area->Transcript());
    lastTranscript_ = text;
    if (next_ >= steps_.size() || area->HasPendingKey()) return;
    if (typedOnce_ && text == snapshot_) return;
    const Step& step = steps_[next_];
    if (!text.endsWith(step.prompt)) return;
    if (step.check) step.check();
    snapshot_ = text;
    typedOnce_ = true;
    ++next_;
    for (QChar c : step.keys) {
      if (c == '\r')
        QTest::keyClick(area, Qt::Key_Return);
      else
        QTest::keyClicks(area, QString(c));
    }
  }

  QPointer<secplot::SectraWindow> window_;
  QList<Step> steps_;
  int next_ = 0;
  QTimer tick_, watchdog_;
  bool timedOut_ = false;
  bool typedOnce_ = false;
  QString snapshot_;
  QString lastTranscript_;
};

}  // namespace sectest
