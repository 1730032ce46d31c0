#pragma once
// The drawing surface of a plan drawing pass (no Qt). The window's plot area implements
// it over the graphic prompt window; tests and the fuzz target use a recording stand-in.
// All coordinates are pixels of the plot area, already mapped and kept within a few
// thousand pixels of it.
#include <cstdint>
#include <string>

namespace planplot {

using Rgb = std::uint32_t;  // 0x00RRGGBB

enum class PenStyle { Solid = 0, Dash = 1, Dot = 2, DashDot = 3, DashDotDot = 4 };

// The label font of a pass: face, size in points, escapement in tenths of a degree
// counter-clockwise.
struct LabelFont {
  std::string face = "Arial";
  double points = 7;
  int escapement = 100;
};

class PlanCanvas {
 public:
  virtual ~PlanCanvas() = default;
  // A pass begins: create and select the label font. EndPass deletes it.
  virtual void BeginPass(const LabelFont& font) = 0;
  virtual void EndPass() = 0;
  // One pixel in the colour.
  virtual void Pixel(int x, int y, Rgb colour) = 0;
  // A line, 1 pixel wide, from (x0, y0) to (x1, y1).
  virtual void Line(int x0, int y0, int x1, int y1, Rgb colour, PenStyle style) = 0;
  // Text in the label font with its top-left corner at (x, y), on an opaque box of the
  // background colour.
  virtual void Label(int x, int y, const std::string& text, Rgb colour, Rgb background) = 0;
  // Called after every record: lets the window repaint and take input now and then.
  // Returns false once the window has closed; the pass then ends.
  virtual bool KeepAlive() = 0;
};

}  // namespace planplot
