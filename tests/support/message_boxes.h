#pragma once
// Answers every message box that comes up while it lives, as a user pressing OK would,
// and keeps each box's caption and text in the order they came.
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace testsupport {

class MessageBoxCatcher {
 public:
  MessageBoxCatcher() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;  // not up yet, or already answered
      titles << box->windowTitle();
      texts << box->text();
      box->done(QMessageBox::Ok);
    });
    timer_.start();
  }
  int count() const { return static_cast<int>(titles.size()); }
  QStringList titles, texts;

 private:
  QTimer timer_;
};

}  // namespace testsupport
