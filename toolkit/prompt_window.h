#pragma once
// The graphic prompt window: the area of a dialog in which the prompt-driven tools print
// their questions, read typed answers with echo, wait for single keys and draw. The area
// owns a persistent bitmap (a QImage the size of the widget) that paintEvent copies to the
// screen, so drawings persist. Waiting for a key or a line keeps the window alive by
// processing its events; when the window is closed while waiting the wait returns empty
// text and Closed() becomes true, so that the conversation can end at once.
//
// Text is Latin-1: Print takes one byte per character, and the keys deliver Latin-1.
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QWidget>

class QTimer;
#include <string>
#include <vector>

namespace toolkit {

// Colours are 0x00RRGGBB. -1: system colour (foreground: window text; background: the
// three-dimensional face colour). -2 as background: transparent.
constexpr long kSystemColour = -1;
constexpr long kTransparent = -2;
// Defaults of Clear / SetPixel / LineTo: the colours currently set.
constexpr long kCurrentBackground = -100;
constexpr long kCurrentForeground = -101;
constexpr long Rgb(int r, int g, int b) { return (long(r) << 16) | (long(g) << 8) | long(b); }

// A font made by NewFont. Style bits: 1 bold, 2 italic, 4 underline, 8 strikeout.
// Escapement in tenths of a degree, counter-clockwise (900 = text reading upward).
struct PromptFont {
  QFont font;
  int escapement = 0;
};

// The Qt pen of a pen style: 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot (anything
// else solid).
Qt::PenStyle PenStyleOf(int style);

class PromptWindow : public QWidget {
  Q_OBJECT
 public:
  // The graphic control of a dialog; size fixes the bitmap's size in pixels.
  PromptWindow(QWidget* dialog, int controlId, QSize size);
  ~PromptWindow() override;

  int ControlId() const { return controlId_; }

  // clear(colour = background, style = 0): fills the bitmap, text position to (0, 0).
  void Clear(long colour = kCurrentBackground, int style = 0);
  void SetColours(long foreground, long background);
  PromptFont NewFont(const std::string& face, double points, int style = 0, int charset = 0,
                     int pitch = 0, int escapement = 0) const;
  void SetFont(const PromptFont& font);
  void ReleaseFont(PromptFont& font);
  // Prints at the text position (top-left corner) and moves right by the text's width.
  void Print(const std::string& text);
  // To the left edge, one line (height + external leading of the font) down.
  void NewLine();
  // Pen: style 0 solid, 1 dashed, 2 dotted, 3 dash-dot, 4 dash-dot-dot (others 0).
  void SetPen(int style, int width = 1);
  // World window: (x1, y1) at the top-left, (x2, y2) at the bottom-right; ignored when
  // x1 == x2 or y1 == y2.
  void SetWorld(double x1, double y1, double x2, double y2);
  void ClearWorld();
  bool HasWorld() const { return hasWorld_; }
  void SetPosition(double x, double y);
  void SetPixel(double x, double y, long colour = kCurrentForeground);
  void LineTo(double x, double y, long colour = kCurrentForeground);
  // Brings the dialog to the foreground and gives the area the keyboard focus.
  void SetFocusArea();

  // One character for a character key (27 Escape, 13 Enter, 8 Backspace, 9 Tab; other
  // characters as Latin-1); a zero byte and the Windows virtual-key code for a key without
  // one (Page Up 33, Page Down 34, End 35, Home 36, arrows 37-40 left, up, right, down,
  // Insert 45, Delete 46, F1-F24 112-135); empty text when the window closes. A modifier
  // pressed alone (Shift, Ctrl, Alt, Meta, Caps Lock, Num Lock) is no key. Keys typed
  // before the wait are taken in order.
  std::string WaitKey();
  // A new conversation begins with nothing typed: keys pressed while no conversation ran
  // (an idle window between two Starts) are dropped. Keys typed ahead during the
  // conversation are kept for its next wait as before. The Start handlers call this first.
  void BeginConversation();
  // Line input with echo and a "|" caret that blinks every 500 ms while the area has the
  // focus; at most 255 characters, none past the right edge (that one beeps); Backspace
  // erases the last; Enter ends it with a new line. Returns the typed line, or empty text
  // when the window closes.
  std::string ReadLine();
  // Writes the whole bitmap as a 24-bit bitmap file; false when it cannot be written.
  bool SaveImage(const std::string& fileName) const;

  // The world point's pixel (rounded half to even) under the current world window.
  QPoint ToPixel(double x, double y) const;
  QPoint TextPosition() const { return pos_; }
  void SetTextPositionPixels(QPoint p);
  const QImage& Image() const { return image_; }
  QImage& Image() { return image_; }
  // Repaints the screen from the bitmap now (the bitmap is repainted on demand anyway).
  void Flush();
  // True once the window that holds the area was closed (hidden by its close box, done()
  // or hide(); a refused close does not count) or is being destroyed. From then on every
  // WaitKey and ReadLine returns empty text at once, without waiting, until the window is
  // shown again.
  bool Closed() const { return closed_; }
  // Text printed since the last Clear, lines joined with '\n' (for tests and checks).
  std::string Transcript() const;
  // Pending keys typed but not yet taken (tests may read it).
  bool HasPendingKey() const { return !keys_.empty(); }

 protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void focusInEvent(QFocusEvent*) override;
  void focusOutEvent(QFocusEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // implementation details are free to change
  bool WaitForKeyOrClose(const QPointer<PromptWindow>& self);
  std::string TakeKey();
  void ProcessOnce();
  QColor ForegroundOf(long colour) const;
  QColor BackgroundOf(long colour) const;
  int DrawText(const QString& text, bool opaque, const QColor& background, bool record);
  void MovePen(long double px, long double py);
  bool WorldToPixel(double x, double y, long double& px, long double& py) const;
  void ShowCaret();
  void HideCaret();
  void BlinkCaret();
  void Changed(const QRect& r);
  int controlId_;
  QImage image_;
  QPoint pos_{0, 0};
  long double penX_ = 0, penY_ = 0;  // exact pixel position (may lie far outside)
  QColor fg_, bg_;
  bool bgTransparent_ = false;
  PromptFont font_;
  int penStyle_ = 0, penWidth_ = 1;
  bool hasWorld_ = false;
  double wx1_ = 0, wy1_ = 0, wx2_ = 1, wy2_ = 1;
  std::vector<std::string> keys_;
  bool closed_ = false;
  QPointer<QWidget> watched_;
  // read_line's caret
  QTimer* caretTimer_ = nullptr;
  bool reading_ = false;
  bool caretOn_ = false;
  QPoint caretAt_;
  QImage underCaret_;
  std::vector<std::string> transcript_;
};

}  // namespace toolkit
