// The graphic prompt window: a persistent bitmap shown in a child widget of a dialog, a
// text cursor, colours, fonts, an optional world window, simple drawing, key input and
// bitmap export.
//
// Text is Latin-1 throughout: what the programs print and what the keys deliver are
// bytes 0..255, one per character.
//
// Keys. A character key puts its one character into the key slot (Escape 27, Enter and
// Return 13, Backspace 8, Tab 9). A key without a character puts a zero byte followed by
// its Windows virtual-key code: Page Up 33, Page Down 34, End 35, Home 36, Left 37, Up
// 38, Right 39, Down 40, Insert 45, Delete 46, F1..F24 112..135 (and a few others below).
// A modifier pressed alone (Shift, Ctrl, Alt, Meta, Caps Lock, Num Lock, Scroll Lock) and
// a dead key are no key at all. Keys typed before a wait starts are kept, in order.
//
// Closing. Once the dialog that holds the area closes (its close box, done(), hide(); a
// close refused by the dialog does not count, a minimised dialog stays open) or is
// destroyed, the area counts as closed: a wait in progress returns empty text, keys not
// yet taken are dropped, and every later WaitKey and ReadLine returns empty text at once,
// without waiting, so a conversation that forgets to check Closed() still cannot hang.
// Showing the dialog again opens the area again.
//
// World window. With (x1, y1) at the top-left and (x2, y2) at the bottom-right, a world
// point maps onto the pixel grid 0..w across and 0..h down (w, h the bitmap's size, so
// x2 lands on w, one past the last column), each axis rounded half to even, and measured
// from the edge whose world value is smaller: for heights growing upward (y1 > y2)
// y = h - round((y - y2) * h / (y1 - y2)). Without a world window coordinates are pixels.
#include "toolkit/prompt_window.h"

#include "toolkit/clip_segment.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>

#include "platform/bitmap_file.h"
#include "platform/platform.h"

namespace toolkit {

namespace {

constexpr std::size_t kMaxLine = 255;          // longest typed line
constexpr std::size_t kMaxPendingKeys = 4096;  // keys typed ahead beyond this are dropped
constexpr long double kFar = 1.0e7L;           // pixel positions are kept within +-kFar

// Windows virtual-key code of a key that gives no character, 0 when it is no key.
int VirtualKey(int key) {
  switch (key) {
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Select:
      return 41;
    case Qt::Key_Print:
      return 44;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_Help:
      return 47;
    case Qt::Key_Pause:
      return 19;
    case Qt::Key_Clear:
      return 12;
    case Qt::Key_Menu:
      return 93;
    case Qt::Key_Sleep:
      return 95;
    default:
      break;
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 112 + (key - Qt::Key_F1);
  return 0;
}

bool IsModifierOrDeadKey(int key) {
  switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
    case Qt::Key_unknown:
    case 0:
      return true;
    default:
      break;
  }
  return key >= Qt::Key_Dead_Grave && key <= 0x0100127f;  // the dead keys
}

// What one key press puts into the key slot; empty when it is no key.
std::vector<std::string> KeyTexts(const QKeyEvent* e) {
  const int key = e->key();
  switch (key) {
    case Qt::Key_Escape:
      return {std::string(1, '\x1b')};
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return {std::string(1, '\r')};
    case Qt::Key_Backspace:
      return {std::string(1, '\b')};
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return {std::string(1, '\t')};
    default:
      break;
  }
  if (const int vk = VirtualKey(key)) return {std::string{'\0', static_cast<char>(vk)}};
  if (IsModifierOrDeadKey(key)) return {};
  std::vector<std::string> out;
  const QString text = e->text();
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == 0x7f) continue;  // Delete handled above; a stray DEL character is no key
    out.emplace_back(1, static_cast<char>(u <= 0xff ? u : '?'));
  }
  return out;
}

QColor FromRgb(long colour) {
  const auto v = static_cast<unsigned long>(colour) & 0xffffffUL;
  return QColor(int((v >> 16) & 0xff), int((v >> 8) & 0xff), int(v & 0xff));
}

long double RoundHalfEven(long double v) {
  const int old = std::fegetround();
  if (old != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const long double r = std::nearbyintl(v);
  if (old != FE_TONEAREST) std::fesetround(old);
  return r;
}

// Maps v on [a, b] onto [0, n], measured from the end with the smaller world value.
long double MapAxis(long double v, long double a, long double b, int n) {
  if (a <= b) return RoundHalfEven((v - a) * n / (b - a));
  return n - RoundHalfEven((v - b) * n / (a - b));
}

int ClampToInt(long double v) {
  if (!(v == v)) return 0;
  if (v > kFar) return static_cast<int>(kFar);
  if (v < -kFar) return -static_cast<int>(kFar);
  return static_cast<int>(v);
}

}  // namespace

Qt::PenStyle PenStyleOf(int style) {
  switch (style) {
    case 1:
      return Qt::DashLine;
    case 2:
      return Qt::DotLine;
    case 3:
      return Qt::DashDotLine;
    case 4:
      return Qt::DashDotDotLine;
    default:
      return Qt::SolidLine;
  }
}

PromptWindow::PromptWindow(QWidget* dialog, int controlId, QSize size)
    : QWidget(dialog), controlId_(controlId) {
  const QSize s(qMax(1, size.width()), qMax(1, size.height()));
  setFixedSize(s);
  setAttribute(Qt::WA_StaticContents);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  fg_ = platform::SystemWindowText();
  bg_ = platform::SystemButtonFace();
  image_ = QImage(s, QImage::Format_RGB32);
  image_.fill(bg_);
  font_ = NewFont("MS Sans Serif", 8);
  caretTimer_ = new QTimer(this);
  caretTimer_->setInterval(500);
  connect(caretTimer_, &QTimer::timeout, this, [this] { BlinkCaret(); });
  installEventFilter(this);  // Tab must reach the key slot, not move the focus
  if (dialog) {
    watched_ = dialog->window();
    watched_->installEventFilter(this);
  }
}

PromptWindow::~PromptWindow() { closed_ = true; }

// ---- drawing -------------------------------------------------------------------------

QColor PromptWindow::ForegroundOf(long colour) const {
  if (colour == kCurrentForeground) return fg_;
  if (colour == kSystemColour) return platform::SystemWindowText();
  return FromRgb(colour);
}

QColor PromptWindow::BackgroundOf(long colour) const {
  if (colour == kCurrentBackground || colour == kTransparent) return bg_;
  if (colour == kSystemColour) return platform::SystemButtonFace();
  return FromRgb(colour);
}

void PromptWindow::Changed(const QRect& r) { update(r.intersected(rect())); }

void PromptWindow::Clear(long colour, int style) {
  const bool caret = reading_ && caretOn_;
  if (caret) HideCaret();
  const QColor c = BackgroundOf(colour);
  if (style >= 1 && style <= 6) {
    // hatched fills over the current background
    static const Qt::BrushStyle hatch[6] = {Qt::HorPattern,   Qt::VerPattern,
                                            Qt::FDiagPattern, Qt::BDiagPattern,
                                            Qt::CrossPattern, Qt::DiagCrossPattern};
    image_.fill(bg_);
    QPainter p(&image_);
    p.fillRect(image_.rect(), QBrush(c, hatch[style - 1]));
  } else {
    image_.fill(c);
  }
  MovePen(0, 0);
  transcript_.clear();
  Changed(rect());
  if (caret) {
    caretAt_ = pos_;
    ShowCaret();
  }
}

void PromptWindow::SetColours(long foreground, long background) {
  fg_ = ForegroundOf(foreground);
  if (background == kTransparent) {
    bgTransparent_ = true;
  } else if (background != kCurrentBackground) {
    bgTransparent_ = false;
    bg_ = BackgroundOf(background);
  }
}

PromptFont PromptWindow::NewFont(const std::string& face, double points, int style, int /*charset*/,
                                 int pitch, int escapement) const {
  PromptFont f;
  f.font = QFont(QString::fromLatin1(face.data(), qsizetype(face.size())));
  double pt = std::isfinite(points) ? std::fabs(points) : 0.0;
  if (pt == 0) pt = 8;
  pt = qBound(1.0, pt, 720.0);
  f.font.setPointSizeF(pt);
  f.font.setBold((style & 1) != 0);
  f.font.setItalic((style & 2) != 0);
  f.font.setUnderline((style & 4) != 0);
  f.font.setStrikeOut((style & 8) != 0);
  if ((pitch & 3) == 1) f.font.setFixedPitch(true);  // fixed pitch asked for
  f.escapement = escapement % 3600;
  return f;
}

void PromptWindow::SetFont(const PromptFont& font) { font_ = font; }

void PromptWindow::ReleaseFont(PromptFont& font) { font = PromptFont(); }

int PromptWindow::DrawText(const QString& text, bool opaque, const QColor& background,
                           bool record) {
  const QFontMetrics fm(font_.font, &image_);
  const int advance = fm.horizontalAdvance(text);
  if (!text.isEmpty()) {
    const bool inside =
        font_.escapement != 0 || (pos_.x() < image_.width() && pos_.y() < image_.height() &&
                                  pos_.x() + advance >= 0 && pos_.y() + fm.height() >= 0);
    if (inside) {
      QPainter p(&image_);
      p.setFont(font_.font);
      p.setPen(fg_);
      if (opaque) {
        p.setBackgroundMode(Qt::OpaqueMode);
        p.setBackground(background);
      }
      p.translate(pos_);
      if (font_.escapement != 0) p.rotate(-font_.escapement / 10.0);
      p.drawText(QPoint(0, fm.ascent()), text);
      p.end();
    }
    if (font_.escapement != 0) {
      Changed(rect());
    } else {
      Changed(QRect(pos_.x(), pos_.y(), advance + fm.maxWidth(), fm.height() + 1));
    }
  }
  if (record) {
    if (transcript_.empty()) transcript_.emplace_back();
    transcript_.back() += text.toLatin1().toStdString();
  }
  MovePen(penX_ + advance, penY_);
  return advance;
}

void PromptWindow::Print(const std::string& text) {
  const bool caret = reading_ && caretOn_;
  if (caret) HideCaret();
  DrawText(QString::fromLatin1(text.data(), qsizetype(text.size())), !bgTransparent_, bg_, true);
  if (caret) {
    caretAt_ = pos_;
    ShowCaret();
  }
}

void PromptWindow::NewLine() {
  const QFontMetrics fm(font_.font, &image_);
  MovePen(0, penY_ + fm.height() + fm.leading());
  if (transcript_.empty()) transcript_.emplace_back();
  transcript_.emplace_back();
}

void PromptWindow::SetPen(int style, int width) {
  penStyle_ = (style >= 0 && style <= 4) ? style : 0;
  penWidth_ = qBound(1, width, 255);
}

void PromptWindow::SetWorld(double x1, double y1, double x2, double y2) {
  if (!(std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2))) return;
  if (x1 == x2 || y1 == y2) return;
  // a range so narrow that it overflows is no usable window either
  if (!std::isfinite(x2 - x1) || !std::isfinite(y2 - y1)) return;
  hasWorld_ = true;
  wx1_ = x1;
  wy1_ = y1;
  wx2_ = x2;
  wy2_ = y2;
}

void PromptWindow::ClearWorld() { hasWorld_ = false; }

bool PromptWindow::WorldToPixel(double x, double y, long double& px, long double& py) const {
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  if (!hasWorld_) {
    px = RoundHalfEven(x);
    py = RoundHalfEven(y);
  } else {
    px = MapAxis(x, wx1_, wx2_, image_.width());
    py = MapAxis(y, wy1_, wy2_, image_.height());
  }
  return std::isfinite(px) && std::isfinite(py);
}

QPoint PromptWindow::ToPixel(double x, double y) const {
  long double px = 0, py = 0;
  if (!WorldToPixel(x, y, px, py)) return QPoint(0, 0);
  return QPoint(ClampToInt(px), ClampToInt(py));
}

void PromptWindow::MovePen(long double px, long double py) {
  penX_ = px;
  penY_ = py;
  pos_ = QPoint(ClampToInt(px), ClampToInt(py));
}

void PromptWindow::SetTextPositionPixels(QPoint p) { MovePen(p.x(), p.y()); }

void PromptWindow::SetPosition(double x, double y) {
  long double px = 0, py = 0;
  if (!WorldToPixel(x, y, px, py)) return;  // a point that is no number is skipped
  MovePen(px, py);
}

void PromptWindow::SetPixel(double x, double y, long colour) {
  long double px = 0, py = 0;
  if (!WorldToPixel(x, y, px, py)) return;
  MovePen(px, py);
  if (px >= 0 && py >= 0 && px < image_.width() && py < image_.height()) {
    image_.setPixelColor(int(px), int(py), ForegroundOf(colour));
    Changed(QRect(int(px), int(py), 1, 1));
  }
}

void PromptWindow::LineTo(double x, double y, long colour) {
  long double bx = 0, by = 0;
  if (!WorldToPixel(x, y, bx, by)) return;
  long double ax = penX_, ay = penY_;
  MovePen(bx, by);
  const long double m = penWidth_ + 2;
  const long double xhi = image_.width() + m, yhi = image_.height() + m;
  if (!toolkit::ClipSegment(ax, ay, bx, by, -m, xhi, -m, yhi)) return;
  // From points far away the cut ends carry rounding errors of their size: keep them in.
  ax = std::clamp(ax, -m, xhi);
  bx = std::clamp(bx, -m, xhi);
  ay = std::clamp(ay, -m, yhi);
  by = std::clamp(by, -m, yhi);
  QPainter p(&image_);
  QPen pen(ForegroundOf(colour), penWidth_, PenStyleOf(penStyle_));
  p.setPen(pen);
  const QLineF line(static_cast<double>(ax), static_cast<double>(ay), static_cast<double>(bx),
                    static_cast<double>(by));
  p.drawLine(line);
  p.end();
  const QRect r = QRectF(line.p1(), line.p2()).normalized().toAlignedRect();
  Changed(r.adjusted(-penWidth_ - 1, -penWidth_ - 1, penWidth_ + 1, penWidth_ + 1));
}

void PromptWindow::SetFocusArea() {
  if (QWidget* w = window()) {
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) w->raise();
    w->activateWindow();
  }
  setFocus(Qt::OtherFocusReason);
}

bool PromptWindow::SaveImage(const std::string& fileName) const {
  if (image_.isNull()) return false;
  const QImage img = image_.format() == QImage::Format_RGB32
                         ? image_
                         : image_.convertToFormat(QImage::Format_RGB32);
  return platform::SaveBitmap24(fileName, img.width(), img.height(),
                                reinterpret_cast<const std::uint32_t*>(img.constBits()),
                                int(img.bytesPerLine() / 4));
}

void PromptWindow::Flush() { repaint(); }

std::string PromptWindow::Transcript() const {
  std::string out;
  for (std::size_t i = 0; i < transcript_.size(); ++i) {
    if (i) out += '\n';
    out += transcript_[i];
  }
  return out;
}

// ---- events --------------------------------------------------------------------------

void PromptWindow::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  p.drawImage(e->rect(), image_, e->rect());
}

void PromptWindow::keyPressEvent(QKeyEvent* e) {
  const std::vector<std::string> keys = KeyTexts(e);
  if (keys.empty()) {
    QWidget::keyPressEvent(e);
    return;
  }
  for (const std::string& k : keys)
    if (keys_.size() < kMaxPendingKeys) keys_.push_back(k);
  e->accept();
}

void PromptWindow::focusInEvent(QFocusEvent* e) { QWidget::focusInEvent(e); }

void PromptWindow::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  if (reading_ && !caretOn_) ShowCaret();  // without the focus the caret stands still
}

bool PromptWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == this) {
    if (event->type() == QEvent::KeyPress) {
      auto* k = static_cast<QKeyEvent*>(event);
      if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
          !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        keyPressEvent(k);
        return true;
      }
    }
    return false;
  }
  if (watched == watched_) {
    switch (event->type()) {
      case QEvent::Close:
        // A close that is accepted hides the window (below); one that is refused leaves
        // the conversation running.
        break;
      case QEvent::Hide:
        if (!event->spontaneous()) {  // a minimised window is still open
          closed_ = true;
          keys_.clear();  // nothing typed into a closed window carries over
        }
        break;
      case QEvent::Show:
        if (!event->spontaneous()) closed_ = false;
        break;
      default:
        break;
    }
  }
  return false;
}

// ---- waiting -------------------------------------------------------------------------

void PromptWindow::ProcessOnce() {
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
}

bool PromptWindow::WaitForKeyOrClose(const QPointer<PromptWindow>& self) {
  for (;;) {
    if (!self || closed_) return false;
    if (!keys_.empty()) return true;
    ProcessOnce();
  }
}

std::string PromptWindow::TakeKey() {
  std::string k = keys_.front();
  keys_.erase(keys_.begin());
  return k;
}

void PromptWindow::BeginConversation() { keys_.clear(); }

std::string PromptWindow::WaitKey() {
  QPointer<PromptWindow> self(this);
  if (!WaitForKeyOrClose(self)) return {};
  return TakeKey();
}

void PromptWindow::ShowCaret() {
  if (caretOn_) return;
  const QFontMetrics fm(font_.font, &image_);
  const QString bar = QStringLiteral("|");
  caretAt_ = pos_;
  const QRect r(caretAt_.x() - 1, caretAt_.y() - 1, fm.horizontalAdvance(bar) + fm.maxWidth(),
                fm.height() + 2);
  underCaret_ = image_.copy(r);
  const QPoint keep = pos_;
  const long double kx = penX_, ky = penY_;
  DrawText(bar, !bgTransparent_, bg_, false);
  penX_ = kx;
  penY_ = ky;
  pos_ = keep;
  caretOn_ = true;
}

void PromptWindow::HideCaret() {
  if (!caretOn_) return;
  const QPoint at(caretAt_.x() - 1, caretAt_.y() - 1);
  QPainter p(&image_);
  p.drawImage(at, underCaret_);
  p.end();
  Changed(QRect(at, underCaret_.size()));
  caretOn_ = false;
}

void PromptWindow::BlinkCaret() {
  if (!reading_) return;
  if (!hasFocus()) {
    ShowCaret();
  } else if (caretOn_) {
    HideCaret();
  } else {
    ShowCaret();
  }
}

std::string PromptWindow::ReadLine() {
  QPointer<PromptWindow> self(this);
  if (closed_) return {};
  std::string text;
  std::vector<int> widths;
  reading_ = true;
  ShowCaret();
  caretTimer_->start();
  auto finish = [&] {
    caretTimer_->stop();
    HideCaret();
    reading_ = false;
  };
  // Backspace: back by the last character's width, four blanks there, back again.
  auto eraseLast = [&] {
    MovePen(penX_ - widths.back(), penY_);
    const long double startX = penX_;
    DrawText(QStringLiteral("    "), true, bg_, false);
    MovePen(startX, penY_);
    text.pop_back();
    widths.pop_back();
    if (!transcript_.empty() && !transcript_.back().empty()) transcript_.back().pop_back();
  };
  for (;;) {
    if (!WaitForKeyOrClose(self)) {
      if (self) finish();
      return {};
    }
    const std::string key = TakeKey();
    if (key.size() != 1) continue;  // keys without a character
    const auto c = static_cast<unsigned char>(key[0]);
    if (c == 13) {
      finish();
      NewLine();
      return text;
    }
    if (c == 8) {
      HideCaret();
      if (!text.empty()) eraseLast();
      ShowCaret();
      continue;
    }
    if (c < 32) continue;  // other control characters
    if (text.size() >= kMaxLine) continue;
    HideCaret();
    const int w = DrawText(QString(QChar(char16_t(c))), !bgTransparent_, bg_, true);
    text.push_back(static_cast<char>(c));
    widths.push_back(w);
    if (pos_.x() > image_.width()) {
      eraseLast();  // past the right edge: taken back as Backspace does
      platform::Beep();
    }
    ShowCaret();
  }
}

}  // namespace toolkit
