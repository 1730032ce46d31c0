#pragma once
// A drawing surface that only records what a pass draws (no Qt): for tests and fuzzing.
#include <string>
#include <vector>

#include "planplot/plan_canvas.h"

namespace planplot {

struct DrawnItem {
  enum Kind { Pixel, Line, Label } kind = Pixel;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  Rgb colour = 0;
  PenStyle style = PenStyle::Solid;
  std::string text;
  Rgb background = 0;
};

class RecordingCanvas : public PlanCanvas {
 public:
  void BeginPass(const LabelFont& f) override {
    font = f;
    ++passesBegun;
    fontSelected = true;
  }
  void EndPass() override {
    ++passesEnded;
    fontSelected = false;
  }
  void Pixel(int x, int y, Rgb colour) override {
    items.push_back({DrawnItem::Pixel, x, y, x, y, colour, PenStyle::Solid, {}, 0});
  }
  void Line(int x0, int y0, int x1, int y1, Rgb colour, PenStyle style) override {
    items.push_back({DrawnItem::Line, x0, y0, x1, y1, colour, style, {}, 0});
  }
  void Label(int x, int y, const std::string& text, Rgb colour, Rgb background) override {
    items.push_back({DrawnItem::Label, x, y, x, y, colour, PenStyle::Solid, text, background});
  }
  bool KeepAlive() override {
    ++keepAliveCalls;
    return closeAfter < 0 || keepAliveCalls < closeAfter;
  }

  std::vector<DrawnItem> Of(DrawnItem::Kind k) const {
    std::vector<DrawnItem> out;
    for (const auto& i : items)
      if (i.kind == k) out.push_back(i);
    return out;
  }

  std::vector<DrawnItem> items;
  LabelFont font;
  bool fontSelected = false;
  int passesBegun = 0, passesEnded = 0;
  long keepAliveCalls = 0;
  long closeAfter = -1;  // the window "closes" at this KeepAlive call (-1 never)
};

}  // namespace planplot
