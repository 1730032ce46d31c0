#pragma once
// The plot area (a graphic prompt window) as the drawing surface of a plan pass.
// The pass hands over world coordinates; this surface maps them to the area's pixels
// (WorldToPixel, halves to even) and clips them there, then draws straight into the
// area's bitmap as the area's own set_pixel, line_to and print draw (1-pixel pens in the
// five styles, text with its top-left corner at the point, rotated by the escapement, on
// an opaque box). Labels are put together from pixels the painter rendered once for the
// pass's font and rotation (LabelStamps), the very pixels it would draw for each label;
// the stamps are dropped when a pass begins with another font. One painter serves a
// stretch of work; every ~15 ms the area is repainted and the window handles its pending
// events, so the plot builds up on the screen while the pass runs and the window takes
// input (and can be closed). Labels leave the area's text position and transcript alone,
// so a pass run from a prompt does not disturb the conversation.
#include <QElapsedTimer>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <memory>

#include "planplot/label_stamps.h"
#include "planplot/plan_canvas.h"
#include "toolkit/prompt_window.h"

namespace planplot {

inline long ToPromptColour(Rgb c) { return static_cast<long>(c & 0xFFFFFFu); }

// How labels are drawn: from the stamps, or each by the painter (the stamps' reference).
enum class LabelDrawing { Stamped, Painted };

class PromptCanvas : public PlanCanvas {
 public:
  explicit PromptCanvas(toolkit::PromptWindow* area, LabelDrawing labels = LabelDrawing::Stamped);
  ~PromptCanvas() override;
  void BeginPass(const LabelFont& f, const PlanMapping& world) override;
  void EndPass() override;
  void Pixel(double E, double N, Rgb colour) override;
  void Line(double E0, double N0, double E1, double N1, Rgb colour, PenStyle style) override;
  void Label(const PlanLabel& label) override;
  bool KeepAlive() override;
  // The longest stretch so far without handling events (milliseconds).
  double LongestGapMs() const { return longestGapMs_; }

 private:
  void NoteGap();
  QPainter* Painter();
  void EndSlice();
  void PaintLabel(int x, int y, const std::string& text, Rgb colour, Rgb background, bool withText);
  QPointer<toolkit::PromptWindow> area_;
  PlanMapping world_;
  toolkit::PromptFont font_;
  QFontMetrics fontMetrics_{QFont()};
  int fontAscent_ = 0;
  LabelDrawing labelDrawing_;
  std::unique_ptr<LabelStamps> stamps_;
  std::string stampedFont_;  // the font the stamps were made for
  std::unique_ptr<QPainter> painter_;
  bool dirty_ = false;
  QElapsedTimer clock_;
  qint64 lastEvents_ = 0;
  long calls_ = 0;
  double longestGapMs_ = 0;
};

}  // namespace planplot
