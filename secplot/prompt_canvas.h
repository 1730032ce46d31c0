#pragma once
// The section page drawn on the graphic prompt window. World coordinates that lie far
// outside the window are cut at a margin around it before they reach the window, and
// values that are not finite are not drawn, so that no file value can overflow a pixel
// coordinate.
#include <QPointer>
#include <vector>

#include "secplot/section_canvas.h"
#include "toolkit/prompt_window.h"

namespace secplot {

class PromptCanvas : public SectionCanvas {
 public:
  explicit PromptCanvas(toolkit::PromptWindow& area);
  // Releases the label fonts made for the pass.
  ~PromptCanvas() override;
  PromptCanvas(const PromptCanvas&) = delete;
  PromptCanvas& operator=(const PromptCanvas&) = delete;

  void ClearPage(Colour background) override;
  void SetWorld(double left, double top, double right, double bottom) override;
  void Pixel(double x, double y, Colour colour) override;
  void Line(double x1, double y1, double x2, double y2, Colour colour, int style) override;
  void Label(double x, double y, const std::string& text, const LabelFont& font, Colour foreground,
             Colour background) override;

  // The font made for a face, size and escapement (made once per pass).
  const toolkit::PromptFont& FontFor(const LabelFont& font);

 private:
  bool NearWindow(double x, double y) const;
  QPointer<toolkit::PromptWindow> area_;
  double left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;  // the window with its margin
  bool haveWorld_ = false;
  struct Made {
    LabelFont key;
    toolkit::PromptFont font;
  };
  std::vector<Made> fonts_;
};

}  // namespace secplot
