// Section page geometry, frame ticks and their labels.
#include "secplot/section_page.h"

#include <cmath>

#include "toolkit/clip_segment.h"
#include "toolkit/number_text.h"

namespace secplot {

PageGeometry PageFor(long double hs, long double vs, long double x0, long double y0,
                     const PageStyle& style) {
  PageGeometry p;
  p.h = hs / 1000.0L;
  p.v = vs / 1000.0L;
  p.x0 = x0;
  p.y0 = y0;
  p.xr = x0 + kPlotWidthMm * p.h;
  p.yt = y0 + style.plotHeightMm * p.v;
  p.gx = 50.0L * p.h;
  p.gy = 20.0L * p.v;
  return p;
}

bool PageUsable(const PageGeometry& p) {
  for (long double value : {p.h, p.v, p.x0, p.y0, p.xr, p.yt, p.gx, p.gy})
    if (!std::isfinite(value)) return false;
  // Also refuses a window that would not fit the graphic window's double coordinates.
  if (!std::isfinite(static_cast<double>(p.xr)) || !std::isfinite(static_cast<double>(p.yt)))
    return false;
  return static_cast<double>(p.xr) > static_cast<double>(p.x0) &&
         static_cast<double>(p.yt) > static_cast<double>(p.y0) && p.gx > 0 && p.gy > 0;
}

bool ScaleUsable(long double denominator) {
  return std::isfinite(denominator) && denominator > 0 && denominator < 1e15L;
}

long double FirstTick(long double corner, long double spacing) {
  const long double rest = std::fmod(corner, spacing);  // keeps the sign of the corner
  if (corner >= 0) return corner - rest + spacing;
  return corner - rest;
}

std::vector<long double> TickValues(long double corner, long double spacing, long double edge,
                                    int maxTicks) {
  std::vector<long double> values;
  if (!(std::isfinite(spacing) && spacing > 0 && std::isfinite(corner) && std::isfinite(edge)))
    return values;
  const long double first = FirstTick(corner, spacing);
  // Each value from its index, so that no rounding error piles up along the edge.
  for (int i = 0; i < maxTicks; ++i) {
    const long double x = first + i * spacing;
    if (!(x <= edge)) break;
    if (i > 0 && x == values.back()) break;  // spacing lost against a huge corner
    values.push_back(x);
  }
  return values;
}

std::vector<Tick> DistanceTicks(const PageGeometry& page) {
  std::vector<Tick> ticks;
  const long double lower = std::floor(page.yt - std::floor(6.0L * page.v));
  for (long double x : TickValues(page.x0, page.gx, page.xr))
    ticks.push_back({x, x, page.yt, x, lower});
  return ticks;
}

std::vector<Tick> HeightTicks(const PageGeometry& page) {
  std::vector<Tick> ticks;
  const long double right = std::floor(std::floor(8.0L * page.h) + page.x0);
  for (long double y : TickValues(page.y0, page.gy, page.yt))
    ticks.push_back({y, page.x0, y, right, y});
  return ticks;
}

std::string LevelLabel(long double value) {
  if (!std::isfinite(value) || std::fabs(value) >= 1e15L) return {};
  return toolkit::LevelText(value);
}

void SetUpPage(SectionCanvas& canvas, const PageGeometry& page, const PageStyle& style) {
  canvas.ClearPage(style.background);
  canvas.SetWorld(double(page.x0), double(page.yt), double(page.xr), double(page.y0));
  for (const Tick& t : DistanceTicks(page)) {
    canvas.Line(double(t.x1), double(t.y1), double(t.x2), double(t.y2), kTickBlue, kSolid);
    canvas.Label(double(t.x2), double(t.y2), LevelLabel(t.value), kTickFont, style.text,
                 style.background);
  }
  for (const Tick& t : HeightTicks(page)) {
    canvas.Line(double(t.x1), double(t.y1), double(t.x2), double(t.y2), kTickBlue, kSolid);
    canvas.Label(double(t.x2), double(t.y2), LevelLabel(t.value), kTickFont, style.text,
                 style.background);
  }
}

bool ClipSegment(double left, double bottom, double right, double top, double& x1, double& y1,
                 double& x2, double& y2) {
  for (double value : {left, bottom, right, top}) {
    if (!std::isfinite(value)) return false;
  }
  // A section's lines are worked in doubles: a span beyond a double's range shows nothing.
  if (!std::isfinite(x2 - x1) || !std::isfinite(y2 - y1)) return false;
  long double ax = x1, ay = y1, bx = x2, by = y2;
  if (!toolkit::ClipSegment(ax, ay, bx, by, left, right, bottom, top)) return false;
  x1 = static_cast<double>(ax);
  y1 = static_cast<double>(ay);
  x2 = static_cast<double>(bx);
  y2 = static_cast<double>(by);
  return true;
}

}  // namespace secplot
