#pragma once
// The drawing surface a section page is drawn on (no Qt). The graphic prompt window
// implements it for the screen (PromptCanvas); RecordingCanvas keeps every operation for
// checks and fuzzing. Coordinates are world values in metres under the window set last:
// offsets across the section to the right, heights upward.
#include <string>

namespace secplot {

using Colour = long;  // 0x00RRGGBB
constexpr Colour RgbColour(int r, int g, int b) {
  return (long(r) << 16) | (long(g) << 8) | long(b);
}
constexpr Colour kBlack = RgbColour(0, 0, 0);
constexpr Colour kWhite = RgbColour(255, 255, 255);
constexpr Colour kTickBlue = RgbColour(0, 0, 255);

// Pen styles of the graphic window: 0 solid, 1 dashed, 2 dotted, 3 dash-dot, 4 dash-dot-dot.
enum PenStyle { kSolid = 0, kDashed = 1, kDotted = 2, kDashDot = 3, kDashDotDot = 4 };

// A font by face and size; escapement in tenths of a degree counter-clockwise
// (900 = text reading upward). Normal weight.
struct LabelFont {
  std::string face;
  double points = 8;
  int escapement = 0;
  bool operator==(const LabelFont&) const = default;
};

class SectionCanvas {
 public:
  virtual ~SectionCanvas() = default;
  // Fills the whole area with the colour.
  virtual void ClearPage(Colour background) = 0;
  // World window: left and right edges across, top and bottom edges up.
  virtual void SetWorld(double left, double top, double right, double bottom) = 0;
  virtual void Pixel(double x, double y, Colour colour) = 0;
  // A line of the pen style from (x1, y1) to (x2, y2).
  virtual void Line(double x1, double y1, double x2, double y2, Colour colour, int style) = 0;
  // Text with its top-left corner (before rotation) at the world point, opaque background.
  virtual void Label(double x, double y, const std::string& text, const LabelFont& font,
                     Colour foreground, Colour background) = 0;
};

}  // namespace secplot
