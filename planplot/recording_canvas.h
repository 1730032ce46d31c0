#pragma once
// A drawing surface that only records what a pass draws (no Qt): for tests and fuzzing.
// It keeps every call as the pass made it, in world coordinates (world, records), and
// what the plot area would draw of it in pixels (items), mapped and clipped as the
// window's surface does.
#include <string>
#include <vector>

#include "planplot/plan_canvas.h"
#include "planplot/plan_core.h"

namespace planplot {

struct DrawnItem {
  enum Kind { Pixel, Line, Label } kind = Pixel;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  Rgb colour = 0;
  PenStyle style = PenStyle::Solid;
  std::string text;
  Rgb background = 0;
};

// One drawing call in world units; a label keeps its kind, a pixel or line the record
// announced last.
struct WorldItem {
  DrawnItem::Kind kind = DrawnItem::Pixel;
  double E0 = 0, N0 = 0, E1 = 0, N1 = 0;
  Rgb colour = 0;
  PenStyle style = PenStyle::Solid;
  PlanLabel::Kind labelKind = PlanLabel::Number;
  std::string text;
  std::int64_t record = 0;  // number of the record announced before the call
};

class RecordingCanvas : public PlanCanvas {
 public:
  void BeginPass(const LabelFont& f, const PlanMapping& m) override {
    font = f;
    mapping = m;
    ++passesBegun;
    fontSelected = true;
  }
  void EndPass() override {
    ++passesEnded;
    fontSelected = false;
  }
  void Record(const PlanRecord& r) override {
    if (keepWorld) records.push_back(r);
    lastRecord = r.number;
  }
  void Pixel(double E, double N, Rgb colour) override {
    if (keepWorld)
      world.push_back({DrawnItem::Pixel,
                       E,
                       N,
                       E,
                       N,
                       colour,
                       PenStyle::Solid,
                       PlanLabel::Number,
                       {},
                       lastRecord});
    int x = 0, y = 0;
    if (PointPixel(mapping, E, N, x, y))
      items.push_back({DrawnItem::Pixel, x, y, x, y, colour, PenStyle::Solid, {}, 0});
  }
  void Line(double E0, double N0, double E1, double N1, Rgb colour, PenStyle style) override {
    if (keepWorld)
      world.push_back(
          {DrawnItem::Line, E0, N0, E1, N1, colour, style, PlanLabel::Number, {}, lastRecord});
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (LinePixels(mapping, E0, N0, E1, N1, x0, y0, x1, y1))
      items.push_back({DrawnItem::Line, x0, y0, x1, y1, colour, style, {}, 0});
  }
  void Label(const PlanLabel& l) override {
    if (keepWorld)
      world.push_back({DrawnItem::Label, l.E, l.N, l.E, l.N, l.colour, PenStyle::Solid, l.kind,
                       l.text, lastRecord});
    int x = 0, y = 0;
    if (LabelPixel(mapping, l.E, l.N, x, y))
      items.push_back(
          {DrawnItem::Label, x, y, x, y, l.colour, PenStyle::Solid, l.text, l.background});
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

  std::vector<DrawnItem> items;  // in pixels, as the plot area shows them
  std::vector<WorldItem> world;  // every drawing call, in world units
  std::vector<PlanRecord> records;
  bool keepWorld = true;  // false: pixels only (long fuzz inputs)
  std::int64_t lastRecord = 0;
  LabelFont font;
  PlanMapping mapping;
  bool fontSelected = false;
  int passesBegun = 0, passesEnded = 0;
  long keepAliveCalls = 0;
  long closeAfter = -1;  // the window "closes" at this KeepAlive call (-1 never)
};

}  // namespace planplot
