// The plan plotter's window and its commands.
#include "planplot/plan_window.h"

#include "planplot/prompt_canvas.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <chrono>

#include "platform/dialog_units.h"
#include "platform/platform.h"
#include "toolkit/first_field.h"
#include "toolkit/survey_files.h"

namespace planplot {
namespace {

using platform::DuToPxX;
using platform::DuToPxY;

// The snapshot of the window with the rubber band on it, shown over every control while
// a drag is in progress. It takes no mouse input.
class BandOverlay : public QWidget {
 public:
  explicit BandOverlay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
  }
  QPixmap frame;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawPixmap(0, 0, frame);
  }
};

}  // namespace

PlanWindow::PlanWindow(const PlanScheme& scheme, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      scheme_(scheme) {
  setWindowTitle("NEH File Plot");
  setFixedSize(DuToPxX(700), DuToPxY(445));
  setSizeGripEnabled(false);

  plot_ = new toolkit::PromptWindow(this, kIdPlotArea, QSize(kPlotWidth, kPlotHeight));
  plot_->setObjectName("plotArea");
  plot_->move(0, 0);
  plot_->installEventFilter(this);

  zoomLabel_ = new QLabel("Zoom Area:", this);
  zoomLabel_->setObjectName("zoomLabel");
  zoomLabel_->setGeometry(DuToPxX(100), DuToPxY(432), DuToPxX(200), DuToPxY(14));

  struct ButtonDef {
    int id;
    const char* text;
    int x;
    QPushButton** slot;
  };
  const ButtonDef defs[] = {
      {kIdStart, "&Start", 380, &start_},    {kIdZoom, "&Zoom", 431, &zoom_},
      {kIdRedraw, "&Redraw", 482, &redraw_}, {kIdNumbers, "&Pt.No", 533, &numbers_},
      {kIdLevels, "&Level", 584, &levels_},  {kIdBmp, "&Bmp", 635, &bmp_},
  };
  for (const ButtonDef& d : defs) {
    auto* b = new QPushButton(QString::fromLatin1(d.text), this);
    b->setObjectName(QString("button%1").arg(d.id));
    b->setProperty("controlId", d.id);
    b->setGeometry(DuToPxX(d.x), DuToPxY(432), DuToPxX(50), DuToPxY(14));
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setCursor(Qt::ArrowCursor);
    // The buttons are worked by the mouse and their access keys; the keyboard stays with
    // the question in the plot area, whatever a button press comes to.
    b->setFocusPolicy(Qt::NoFocus);
    const int id = d.id;
    connect(b, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
    *d.slot = b;
  }

  band_ = new BandOverlay(this);
  band_->setGeometry(rect());

  // The cross cursor over the window, its plot area and its label.
  setCursor(Qt::CrossCursor);
  plot_->setCursor(Qt::CrossCursor);
  zoomLabel_->setCursor(Qt::CrossCursor);

  zoom_->setEnabled(false);
  redraw_->setEnabled(false);

  plot_->SetColours(toolkit::kSystemColour, ToPromptColour(scheme_.background));
  plot_->Clear();
  state_.imageCounter = 1;

  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().topLeft());
  else
    move(0, 0);
}

PlanWindow::~PlanWindow() = default;

QPushButton* PlanWindow::Button(int id) const {
  switch (id) {
    case kIdStart:
      return start_;
    case kIdZoom:
      return zoom_;
    case kIdRedraw:
      return redraw_;
    case kIdNumbers:
      return numbers_;
    case kIdLevels:
      return levels_;
    case kIdBmp:
      return bmp_;
    default:
      return nullptr;
  }
}

bool PlanWindow::Closed() const { return closed_ || (plot_ && plot_->Closed()); }

void PlanWindow::OnCommand(int id) {
  if (Closed()) return;
  // A command clicked while a pass draws waits until the pass is done, as it would in a
  // window that handled its messages only between commands; a pass is never re-entered.
  if (passRunning_) {
    pending_.push_back(id);
    return;
  }
  Dispatch(id);
  while (!pending_.empty() && !passRunning_ && !Closed()) {
    const int next = pending_.front();
    pending_.pop_front();
    QPushButton* b = Button(next);
    if (b && b->isEnabled()) Dispatch(next);
  }
  // A command run while a question waits (a message it showed took the keyboard) hands
  // the typing back to the question once it has drawn.
  if (prompting_ && !passRunning_ && !Closed()) plot_->setFocus(Qt::OtherFocusReason);
}

void PlanWindow::Dispatch(int id) {
  switch (id) {
    case kIdStart:
      CommandStart();
      break;
    case kIdZoom:
      CommandZoom();
      break;
    case kIdRedraw:
      CommandRedraw();
      break;
    case kIdNumbers:
      CommandNumbers();
      break;
    case kIdLevels:
      CommandLevels();
      break;
    case kIdBmp:
      CommandBmp();
      break;
    default:
      break;
  }
}

void PlanWindow::RunPass() {
  const QPoint textPosition = plot_->TextPosition();
  PromptCanvas canvas(plot_);
  QElapsedTimer timer;
  timer.start();
  passRunning_ = true;
  const PassResult r = DrawPlanPass(state_, scheme_, OpenNehFile, canvas);
  passRunning_ = false;
  lastPass_.records = r.recordsRead;
  lastPass_.seconds = timer.nsecsElapsed() / 1e9;
  lastPass_.longestGapMs = canvas.LongestGapMs();
  if (Closed()) return;
  // A file removed, replaced or unreadable since it was named draws nothing (or stops
  // short); the plot alone would not tell the two apart from an empty file.
  if (!r.fault.empty()) Say(r.fault);
  if (Closed()) return;
  plot_->SetColours(toolkit::kSystemColour, ToPromptColour(scheme_.background));
  if (prompting_) {
    // A pass run from a prompt (Pt.No, Level) leaves the conversation where it was.
    plot_->SetFont(promptFont_);
    plot_->SetColours(ToPromptColour(scheme_.promptText), ToPromptColour(scheme_.background));
    plot_->SetTextPositionPixels(textPosition);
  }
  plot_->Flush();
}

bool PlanWindow::AskPlotFiles() {
  QPointer<PlanWindow> self(this);
  prompting_ = true;
  promptFont_ = plot_->NewFont("Arial", 14);
  auto select = [this] {
    plot_->SetFont(promptFont_);
    plot_->SetColours(ToPromptColour(scheme_.promptText), ToPromptColour(scheme_.background));
  };
  for (;;) {
    plot_->SetFocusArea();
    plot_->Clear();
    select();
    plot_->Print("Select Area before Zoom !!!");
    plot_->NewLine();
    plot_->Print("NEH File Name = ");
    const std::string line = plot_->ReadLine();
    if (!self || Closed()) return false;
    // ".NEH" goes on as typed, even after an extension the user gave.
    state_.mainFileName = toolkit::FirstField(line) + ".NEH";
    if (toolkit::SurveyFileExists(state_.mainFileName)) break;
  }
  for (;;) {
    plot_->Print("Ref. NEH File Name = ");
    const std::string line = plot_->ReadLine();
    if (!self || Closed()) return false;
    const std::string answer = toolkit::FirstField(line);
    if (answer.empty() || answer == "N" || answer == "n" || answer == "\x1b") {
      state_.referencePresent = false;
      break;
    }
    state_.referenceFileName = answer + ".NEH";
    if (toolkit::SurveyFileExists(state_.referenceFileName)) {
      state_.referencePresent = true;
      break;
    }
    plot_->Clear();
    state_.referencePresent = false;
    select();
  }
  plot_->Clear();
  plot_->ReleaseFont(promptFont_);
  prompting_ = false;
  return true;
}

void PlanWindow::CommandStart() {
  start_->setEnabled(false);
  zoom_->setEnabled(false);
  redraw_->setEnabled(false);
  plot_->BeginConversation();
  plot_->Clear();
  const bool asked = AskPlotFiles();
  prompting_ = false;
  if (!asked || Closed()) return;
  std::string fault;
  {
    // A long file is scanned with the window still painting and taking input.
    // Commands clicked meanwhile wait for the pass that follows, as during a pass.
    PromptCanvas keeper(plot_);
    passRunning_ = true;
    fault = ScanFullExtent(state_, OpenNehFile, [&keeper] { return keeper.KeepAlive(); });
    passRunning_ = false;
  }
  if (Closed()) return;
  if (!fault.empty()) {
    // The file went away (or cannot be read) after its name was accepted: nothing is
    // drawn, and Start can be clicked again.
    Say(fault);
    if (Closed()) return;
    start_->setEnabled(true);
    return;
  }
  FitViewWindow(state_);
  ApplyViewWindow(state_);
  RunPass();
  if (Closed()) return;
  start_->setEnabled(true);
  zoom_->setEnabled(true);
}

void PlanWindow::CommandZoom() {
  start_->setEnabled(false);
  zoom_->setEnabled(false);
  redraw_->setEnabled(false);
  ApplyWorldWindow(state_.mapping, state_.Ep, state_.Np, state_.Ec, state_.Nc);
  state_.Eleft = state_.Ep;
  state_.Ntop = state_.Np;
  state_.Eright = state_.Ec;
  state_.Nbottom = state_.Nc;
  plot_->Clear();
  RunPass();
  if (Closed()) return;
  start_->setEnabled(true);
  zoom_->setEnabled(true);
  redraw_->setEnabled(true);
}

void PlanWindow::CommandRedraw() {
  start_->setEnabled(false);
  redraw_->setEnabled(false);
  state_.Eleft = state_.Elo;
  state_.Eright = state_.Ehi;
  state_.Nbottom = state_.Nlo;
  state_.Ntop = state_.Nhi;
  state_.showNumbers = false;
  state_.showLevels = false;
  FitViewWindow(state_);
  ApplyViewWindow(state_);
  plot_->Clear();
  RunPass();
  if (Closed()) return;
  start_->setEnabled(true);
  zoom_->setEnabled(true);
}

void PlanWindow::CommandNumbers() {
  state_.showNumbers = true;
  RunPass();
}

void PlanWindow::CommandLevels() {
  state_.showLevels = true;
  RunPass();
}

void PlanWindow::CommandBmp() {
  // A picture that could not be written is said, so that no one counts on it later; the
  // counter moves on anyway, and the next click tries the next name.
  const std::string name = BitmapFileName(state_.imageCounter);
  state_.imageCounter += 1;
  if (!plot_->SaveImage(name)) Say(kImageNotSaved + name);
}

void PlanWindow::Say(const std::string& text) {
  platform::ShowMessage(this, windowTitle(), QString::fromStdString(text));
}

QPoint PlanWindow::ClampToClient(QPoint p) const {
  return QPoint(std::clamp(p.x(), 0, width() - 1), std::clamp(p.y(), 0, height() - 1));
}

void PlanWindow::BeginDrag(QPoint p) {
  // The offscreen platform has no pointer to capture; every other one does.
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) grabMouse(Qt::CrossCursor);
  dragStart_ = ClampToClient(p);
  band_->hide();
  snapshot_ = grab(rect());
  dragging_ = true;
}

void PlanWindow::UpdateZoomBoxAt(QPoint p) {
  dragRect_ = UpdateZoomBox(state_, dragStart_.x(), dragStart_.y(), p.x(), p.y());
  zoomLabel_->setText(QString::fromStdString(ZoomAreaText(state_)));

  auto* overlay = static_cast<BandOverlay*>(band_);
  QPixmap frame = snapshot_;
  {
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(platform::SystemButtonShadow(), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // Outline from (left, top) to (right + 1, bottom + 1), right and bottom exclusive.
    painter.drawRect(
        QRect(QPoint(dragRect_.left, dragRect_.top), QPoint(dragRect_.right, dragRect_.bottom)));
  }
  overlay->frame = frame;
  overlay->setGeometry(rect());
  overlay->show();
  overlay->raise();
  overlay->update();
}

void PlanWindow::EndDrag() {
  band_->hide();
  zoomLabel_->setText(QString::fromStdString(ZoomAreaText(state_)));
  static_cast<BandOverlay*>(band_)->frame = QPixmap();
  snapshot_ = QPixmap();
  dragging_ = false;
  if (QWidget::mouseGrabber() == this) releaseMouse();
}

void PlanWindow::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || passRunning_ || dragging_) {
    QDialog::mousePressEvent(e);
    return;
  }
  BeginDrag(e->position().toPoint());
  e->accept();
}

void PlanWindow::mouseMoveEvent(QMouseEvent* e) {
  if (cursor().shape() != Qt::CrossCursor) setCursor(Qt::CrossCursor);
  if (dragging_ && (e->buttons() & Qt::LeftButton)) {
    QPoint p = e->position().toPoint();
    const QPoint inside = ClampToClient(p);
    // The cursor is held within the client area while the drag lasts.
    if (inside != p) QCursor::setPos(mapToGlobal(inside));
    UpdateZoomBoxAt(inside);
  }
  e->accept();
}

void PlanWindow::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && dragging_) EndDrag();
  e->accept();
}

bool PlanWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == plot_ && event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (k->key() == Qt::Key_Escape) {
      // Esc ends the program, also while a prompt waits for a line.
      close();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void PlanWindow::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QDialog::keyPressEvent(e);
}

void PlanWindow::reject() { close(); }

void PlanWindow::closeEvent(QCloseEvent* e) {
  closed_ = true;
  if (dragging_) EndDrag();
  e->accept();
}

}  // namespace planplot
