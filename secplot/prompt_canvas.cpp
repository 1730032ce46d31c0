#include "secplot/prompt_canvas.h"

#include <algorithm>
#include <cmath>

#include "secplot/section_page.h"

namespace secplot {

PromptCanvas::PromptCanvas(toolkit::PromptWindow& area) : area_(&area) {}

PromptCanvas::~PromptCanvas() {
  if (!area_) return;
  for (Made& m : fonts_) area_->ReleaseFont(m.font);
}

const toolkit::PromptFont& PromptCanvas::FontFor(const LabelFont& font) {
  for (const Made& m : fonts_)
    if (m.key == font) return m.font;
  fonts_.push_back({font, area_->NewFont(font.face, font.points, 0, 0, 0, font.escapement)});
  return fonts_.back().font;
}

void PromptCanvas::ClearPage(Colour background) {
  if (area_) area_->Clear(background);
}

void PromptCanvas::SetWorld(double left, double top, double right, double bottom) {
  if (!area_) return;
  area_->SetWorld(left, top, right, bottom);
  // One window's width and height of margin on every side.
  const double w = std::fabs(right - left), h = std::fabs(top - bottom);
  left_ = std::min(left, right) - w;
  right_ = std::max(left, right) + w;
  bottom_ = std::min(top, bottom) - h;
  top_ = std::max(top, bottom) + h;
  haveWorld_ = std::isfinite(left_) && std::isfinite(right_) && std::isfinite(bottom_) &&
               std::isfinite(top_) && w > 0 && h > 0;
}

bool PromptCanvas::NearWindow(double x, double y) const {
  return haveWorld_ && x >= left_ && x <= right_ && y >= bottom_ && y <= top_;
}

void PromptCanvas::Pixel(double x, double y, Colour colour) {
  if (area_ && NearWindow(x, y)) area_->SetPixel(x, y, colour);
}

void PromptCanvas::Line(double x1, double y1, double x2, double y2, Colour colour, int style) {
  if (!area_ || !haveWorld_) return;
  if (!ClipSegment(left_, bottom_, right_, top_, x1, y1, x2, y2)) return;
  area_->SetPen(style);
  area_->SetPosition(x1, y1);
  area_->LineTo(x2, y2, colour);
}

void PromptCanvas::Label(double x, double y, const std::string& text, const LabelFont& font,
                         Colour foreground, Colour background) {
  if (!area_ || text.empty() || !NearWindow(x, y)) return;
  area_->SetFont(FontFor(font));
  area_->SetColours(foreground, background);
  area_->SetPosition(x, y);
  area_->Print(text);
}

}  // namespace secplot
