#pragma once
// A SectionCanvas that keeps what was drawn since the page was last cleared (no Qt), for
// checks and fuzzing. It draws nothing.
#include <string>
#include <vector>

#include "secplot/section_canvas.h"

namespace secplot {

struct DrawOp {
  enum Kind { Clear, World, Pixel, Line, Label } kind = Line;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // World: left, top, right, bottom
  Colour colour = 0;                      // Label: foreground
  Colour background = 0;
  int style = 0;
  std::string text;
  LabelFont font;
};

class RecordingCanvas : public SectionCanvas {
 public:
  void ClearPage(Colour background) override;
  void SetWorld(double left, double top, double right, double bottom) override;
  void Pixel(double x, double y, Colour colour) override;
  void Line(double x1, double y1, double x2, double y2, Colour colour, int style) override;
  void Label(double x, double y, const std::string& text, const LabelFont& font, Colour foreground,
             Colour background) override;

  const std::vector<DrawOp>& Ops() const { return ops_; }
  // The operations of one kind, in order; with a colour given, only those of that colour.
  std::vector<DrawOp> OfKind(DrawOp::Kind kind) const;
  std::vector<DrawOp> OfKind(DrawOp::Kind kind, Colour colour) const;
  long Cleared() const { return clears_; }

 private:
  std::vector<DrawOp> ops_;
  long clears_ = 0;
};

}  // namespace secplot
