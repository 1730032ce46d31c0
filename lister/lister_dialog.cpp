#include "lister/lister_dialog.h"

#include <QKeyEvent>
#include <QPushButton>

#include "lister/lister_run.h"
#include "platform/dialog_units.h"
#include "toolkit/prompt_window.h"

namespace lister {

using platform::DuToPxX;
using platform::DuToPxY;

ListerDialog::ListerDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("PRINT or READ FILES"));
  setFixedSize(DuToPxX(385), DuToPxY(410));

  area_ = new toolkit::PromptWindow(this, kAreaId, QSize(DuToPxX(385), DuToPxY(390)));
  area_->setGeometry(0, 0, DuToPxX(385), DuToPxY(390));

  start_ = new QPushButton(QStringLiteral("&Start"), this);
  start_->setGeometry(DuToPxX(6), DuToPxY(390), DuToPxX(55), DuToPxY(14));
  start_->setProperty("controlId", kStartId);
  start_->setObjectName(QStringLiteral("startButton"));
  exit_ = new QPushButton(QStringLiteral("E&xit"), this);
  exit_->setGeometry(DuToPxX(65), DuToPxY(390), DuToPxX(55), DuToPxY(14));
  exit_->setProperty("controlId", kExitId);
  exit_->setObjectName(QStringLiteral("exitButton"));
  exit_->setEnabled(false);
  // Enter belongs to the typed answers, never to a button.
  for (QPushButton* b : {start_, exit_}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  connect(start_, &QPushButton::clicked, this, &ListerDialog::OnStart);
  // "E&xit" is identifier 2, the same command as the close box: the program ends.
  connect(exit_, &QPushButton::clicked, this, [this] { close(); });
}

void ListerDialog::keyPressEvent(QKeyEvent* event) {
  // During a run Escape is an answer to the conversation, not the end of the window.
  if (running_ && event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void ListerDialog::OnStart() {
  if (running_) return;
  running_ = true;
  QPointer<ListerDialog> self(this);
  start_->setEnabled(false);
  exit_->setEnabled(true);
  {
    ListerRun run;
    run.area = area_;
    run.window = this;
    StartRun(run);
  }
  if (!self) return;
  running_ = false;
  start_->setEnabled(true);
  emit RunFinished();
}

}  // namespace lister
