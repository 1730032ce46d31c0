#pragma once
// The plot area (a graphic prompt window) as the drawing surface of a plan pass.
// Pixels, lines and labels go straight into the area's bitmap, drawn as the area's own
// set_pixel, line_to and print draw them (1-pixel pens in the five styles, text with its
// top-left corner at the point, rotated by the escapement, on an opaque box). One painter
// serves a stretch of work; every ~15 ms the area is repainted and the window handles its
// pending events, so the plot builds up on the screen while the pass runs and the window
// takes input (and can be closed). Labels leave the area's text position and transcript
// alone, so a pass run from a prompt does not disturb the conversation.
#include <QElapsedTimer>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <memory>

#include "planplot/plan_canvas.h"
#include "toolkit/prompt_window.h"

namespace planplot {

inline long ToPromptColour(Rgb c) { return static_cast<long>(c & 0xFFFFFFu); }

class PromptCanvas : public PlanCanvas {
 public:
  explicit PromptCanvas(toolkit::PromptWindow* area);
  ~PromptCanvas() override;
  void BeginPass(const LabelFont& f) override;
  void EndPass() override;
  void Pixel(int x, int y, Rgb colour) override;
  void Line(int x0, int y0, int x1, int y1, Rgb colour, PenStyle style) override;
  void Label(int x, int y, const std::string& text, Rgb colour, Rgb background) override;
  bool KeepAlive() override;
  // The longest stretch so far without handling events (milliseconds).
  double LongestGapMs() const { return longestGapMs_; }

 private:
  void NoteGap();
  QPainter* Painter();
  void EndSlice();
  QPointer<toolkit::PromptWindow> area_;
  toolkit::PromptFont font_;
  QFontMetrics fontMetrics_{QFont()};
  int fontAscent_ = 0;
  std::unique_ptr<QPainter> painter_;
  bool dirty_ = false;
  QElapsedTimer clock_;
  qint64 lastEvents_ = 0;
  long calls_ = 0;
  double longestGapMs_ = 0;
};

}  // namespace planplot
