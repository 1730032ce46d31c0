#pragma once
// Drives the lister's window like a surveyor at the keyboard: waits until the window
// shows the expected prompt, then types the answer (or closes the window). Every run
// has a watchdog, so a conversation that goes wrong fails instead of hanging.
#include <QApplication>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>

#include "lister/lister_dialog.h"
#include "toolkit/prompt_window.h"

namespace listertest {

struct Step {
  enum class Do { Type, Close, ClickExit };
  QString prompt;  // the window's text ends with this (blanks and line ends aside)
  QString keys;    // typed with real key events; "\r" is Enter, "\x1b" Escape
  Do action = Do::Type;
  std::function<void()> before;  // run just before the keys are typed
};

inline Step Type(const QString& prompt, const QString& keys) {
  return {prompt, keys, Step::Do::Type, {}};
}
inline Step Answer(const QString& prompt, const QString& text) { return Type(prompt, text + "\r"); }
inline Step CloseAt(const QString& prompt) { return {prompt, {}, Step::Do::Close, {}}; }
inline Step ExitAt(const QString& prompt) { return {prompt, {}, Step::Do::ClickExit, {}}; }
inline Step Then(Step step, std::function<void()> before) {
  step.before = std::move(before);
  return step;
}

// The first answers of every run: any key at the introduction, the printer question,
// and Y at the kind's question (No to the kinds before it).
inline QList<Step> ChooseKind(const QString& kind, bool printer = false) {
  QList<Step> steps{Type("( Q ) to exit", " "),
                    Answer("Printer in Use (Y/N)", printer ? "Y" : "N")};
  for (const char* k : {"DAT", "NEH", "SEC", "STN", "CHG", "PTS"}) {
    const QString q = QString::fromLatin1(k) + " File (Y/N)";
    if (kind == QLatin1String(k)) {
      steps << Answer(q, "y");
      break;
    }
    steps << Answer(q, "N");
  }
  return steps;
}

inline QString Trimmed(const std::string& transcript) {
  QString t = QString::fromLatin1(transcript.data(), qsizetype(transcript.size()));
  while (!t.isEmpty() && (t.back() == ' ' || t.back() == '\n' || t.back() == '|')) t.chop(1);
  return t;
}

class Driver {
 public:
  explicit Driver(lister::ListerDialog& dialog) : dialog_(dialog) {
    dialog_.show();
    QTest::qWait(1);
  }

  // Clicks "&Start" and answers the steps in order; returns when the run has ended.
  // seen[i] is the window's text at the moment step i was answered.
  void Run(const QList<Step>& steps, int watchdogMs = 30000) {
    steps_ = steps;
    next_ = 0;
    seen_.clear();
    timedOut_ = false;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [this] { Tick(); });
    tick.start();
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
      timedOut_ = true;
      lastText_ = Trimmed(dialog_.Area()->Transcript());
      dialog_.close();
    });
    watchdog.start(watchdogMs);
    QTest::mouseClick(dialog_.StartButton(), Qt::LeftButton);
    tick.stop();
    watchdog.stop();
  }

  bool TimedOut() const { return timedOut_; }
  int Answered() const { return next_; }
  const QStringList& Seen() const { return seen_; }
  QString LastText() const { return lastText_; }
  // The lines of the window's text when step i was answered.
  QStringList LinesAt(int i) const {
    return i < seen_.size() ? seen_[i].split('\n') : QStringList();
  }

 private:
  void Tick() {
    if (next_ >= steps_.size()) return;
    toolkit::PromptWindow* area = dialog_.Area();
    if (area->HasPendingKey()) return;
    const QString text = Trimmed(area->Transcript());
    const Step& step = steps_[next_];
    if (!text.endsWith(step.prompt.trimmed())) return;
    seen_ << text;
    ++next_;
    if (step.before) step.before();
    switch (step.action) {
      case Step::Do::Type:
        for (QChar c : step.keys) {
          if (c == '\r')
            QTest::keyClick(area, Qt::Key_Return);
          else if (c == '\x1b')
            QTest::keyClick(area, Qt::Key_Escape);
          else
            QTest::keyClicks(area, QString(c));
        }
        break;
      case Step::Do::Close:
        dialog_.close();
        break;
      case Step::Do::ClickExit:
        QTest::mouseClick(dialog_.ExitButton(), Qt::LeftButton);
        break;
    }
  }

  lister::ListerDialog& dialog_;
  QList<Step> steps_;
  int next_ = 0;
  QStringList seen_;
  bool timedOut_ = false;
  QString lastText_;
};

// The listed lines of a screen page: those between the column heading and the prompt.
inline QStringList PageLines(const QStringList& lines, const QString& heading) {
  QStringList out;
  const qsizetype h = lines.indexOf(heading);
  if (h < 0) return out;
  for (qsizetype i = h + 2; i < lines.size(); ++i) {
    if (lines[i].startsWith(QLatin1String("Press any key to Continue"))) break;
    out << lines[i];
  }
  return out;
}

}  // namespace listertest
