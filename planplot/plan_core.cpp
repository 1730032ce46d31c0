// Plan plot arithmetic and the drawing pass. Reals are computed in extended precision
// (long double) and stored as doubles; integers come from rounding halves to even.
//
// Records whose northing, easting or packed height is not finite (NaN, infinity) carry no
// point: they are passed over by the extent scan and the drawing pass alike, so that one
// damaged record can neither blow the view window up nor poison the lines around it.
#include "planplot/plan_core.h"

#include <algorithm>
#include <cmath>

#include "toolkit/clip_segment.h"
#include "toolkit/number_text.h"
#include "toolkit/survey_files.h"

namespace planplot {
namespace {

bool Finite(const NehRecord& r) {
  return std::isfinite(r.northing) && std::isfinite(r.easting) && std::isfinite(r.packedHeight);
}

// Lines are clipped to the plot area widened by this margin before they are drawn, so
// that a far-off point in a zoomed view costs no more than a short line and pixel
// coordinates always fit an int.
constexpr long double kLineMargin = 1024;
// A label whose top-left corner lies outside this window cannot show in the plot area.
constexpr long double kLabelLeft = -400, kLabelTop = -100;
constexpr long double kLabelRight = kPlotWidth + 10, kLabelBottom = kPlotHeight + 100;

// The segment a-b cut to the widened plot area; cut ends are rounded to whole pixels.
bool ClipLine(PixelPoint& a, PixelPoint& b) {
  long double ax = a.x, ay = a.y, bx = b.x, by = b.y;
  if (!toolkit::ClipSegment(ax, ay, bx, by, -kLineMargin, kPlotWidth + kLineMargin, -kLineMargin,
                            kPlotHeight + kLineMargin))
    return false;
  a.x = std::nearbyint(ax);
  a.y = std::nearbyint(ay);
  b.x = std::nearbyint(bx);
  b.y = std::nearbyint(by);
  return true;
}

// A whole number in int range, already rounded, to int. Through double, which holds it
// exactly: the direct conversion from extended precision switches the FPU's rounding
// mode twice per value, which costs more than the rest of a pixel.
inline int WholeToInt(long double v) { return static_cast<int>(static_cast<double>(v)); }

int StyleDigitOfCode(double code) {
  if (!std::isfinite(code)) return 0;
  const int d = static_cast<int>(std::fmod(std::fabs(code), 10.0));
  return (d >= 0 && d <= 9) ? d : 0;
}

struct FilePass {
  bool reference = false;
  Rgb foreground = kRed;
  double Ep = 0, Np = 0;  // previous point
  bool drewAny = false;
};

// One file of a pass. Returns false when the window closed.
bool DrawFile(PlanState& s, const PlanScheme& scheme, const NehOpener& open,
              const std::string& name, FilePass& f, PlanCanvas& canvas, PassResult& result) {
  std::unique_ptr<NehSource> src = open ? open(name) : nullptr;
  if (!src) {
    // No file named yet (a command before Start) is nothing to report.
    if (!name.empty() && result.fault.empty()) result.fault = kCannotOpenFile + name;
    return true;
  }
  const double n = src->Count();
  bool lineMode = false;
  NehRecord rec;
  for (std::int64_t r = 1; static_cast<double>(r) <= n; ++r) {
    if (!src->Read(r, rec)) {
      if (src->Failed() && result.fault.empty()) result.fault = kCannotReadFile + name;
      break;
    }
    ++result.recordsRead;
    if (!Finite(rec)) {
      ++result.recordsSkipped;
      if (!canvas.KeepAlive()) return false;
      continue;
    }
    const bool marker = rec.northing < 0;
    const double N = std::fabs(rec.northing), E = std::fabs(rec.easting);
    const toolkit::PackedHeight ph = toolkit::DecodePackedHeight(rec.packedHeight);
    const int d = StyleDigitOfCode(ph.code);

    PlanRecord pr;
    pr.number = r;
    pr.reference = f.reference;
    pr.E = E;
    pr.N = N;
    pr.height = ph.height;
    pr.code = ph.code;
    pr.styleDigit = d;
    pr.marker = marker;
    if (!lineMode) {
      pr.role = marker ? RecordRole::LineStart : RecordRole::Point;
      lineMode = marker;  // a marker starts a line and draws nothing yet
    } else {
      pr.role = marker ? RecordRole::LineEnd : RecordRole::LinePoint;
      lineMode = !marker;  // a marker ends the line
    }
    canvas.Record(pr);

    Rgb numberColour = kGreen, levelColour = scheme.levelLabel;
    if (pr.role == RecordRole::Point) {
      canvas.Pixel(E, N, f.reference ? kBlue : kYellow);
      if (f.reference) numberColour = levelColour = kBlue;
    } else if (pr.role != RecordRole::LineStart) {
      f.foreground = f.reference ? kBlue : StyleColour(d, f.foreground, scheme);
      canvas.Line(f.Ep, f.Np, E, N, f.foreground, StylePen(d));
      if (f.reference) numberColour = levelColour = kBlue;
    }

    if (s.showNumbers) {
      PlanLabel label;
      label.kind = PlanLabel::Number;
      label.E = E;
      label.N = static_cast<double>(static_cast<long double>(N) + s.u);
      label.text = toolkit::NumberText(static_cast<long double>(r));
      label.colour = numberColour;
      label.background = scheme.background;
      canvas.Label(label);
      f.foreground = numberColour;
    }
    if (s.showLevels) {
      PlanLabel label;
      label.kind = PlanLabel::Level;
      label.E = static_cast<double>(static_cast<long double>(E) + s.u);
      label.N = static_cast<double>(static_cast<long double>(N) - s.u);
      label.text = toolkit::LevelText(ph.height);
      label.colour = levelColour;
      label.background = scheme.background;
      canvas.Label(label);
      f.foreground = levelColour;
    }

    f.Ep = E;
    f.Np = N;
    f.drewAny = true;
    if (!canvas.KeepAlive()) return false;
  }
  return true;
}

}  // namespace

std::string ScanFullExtent(PlanState& s, const NehOpener& open,
                           const std::function<bool()>& keepAlive) {
  s.Nlo = s.Nhi = s.Elo = s.Ehi = 0;
  std::unique_ptr<NehSource> src = open ? open(s.mainFileName) : nullptr;
  if (!src) return kCannotOpenFile + s.mainFileName;
  const double n = src->Count();
  bool first = true;
  NehRecord rec;
  // Only whole records count; an empty file keeps the extent at zeros (its record 1
  // reads as zeros).
  for (std::int64_t r = 1; static_cast<double>(r) <= n; ++r) {
    if (keepAlive && !keepAlive()) break;
    if (!src->Read(r, rec)) {
      if (src->Failed()) return kCannotReadFile + s.mainFileName;
      break;
    }
    if (r >= 2 && rec.northing == 0 && rec.easting == 0) break;
    if (!Finite(rec)) continue;
    const double N = std::fabs(rec.northing), E = std::fabs(rec.easting);
    if (first) {
      s.Nlo = s.Nhi = N;
      s.Elo = s.Ehi = E;
      first = false;
    } else {
      s.Nlo = std::min(s.Nlo, N);
      s.Nhi = std::max(s.Nhi, N);
      s.Elo = std::min(s.Elo, E);
      s.Ehi = std::max(s.Ehi, E);
    }
  }
  return {};
}

void FitViewWindow(PlanState& s) {
  const long double dE = static_cast<long double>(s.Ehi) - s.Elo;
  const long double dN = static_cast<long double>(s.Nhi) - s.Nlo;
  if (dE <= dN) {
    s.u = static_cast<double>(dE / 700);
    const long double left = s.Elo - (dN - dE) / 2;
    s.Eleft = static_cast<double>(left);
    s.Eright = static_cast<double>(left + dN);
    s.Nbottom = s.Nlo;
    s.Ntop = s.Nhi;
  } else {
    s.u = static_cast<double>(dN / 700);
    const long double bottom = s.Nlo - (dE - dN) / 2;
    s.Nbottom = static_cast<double>(bottom);
    s.Ntop = static_cast<double>(bottom + dE);
    s.Eleft = s.Elo;
    s.Eright = s.Ehi;
  }
}

bool ApplyWorldWindow(PlanMapping& m, double left, double top, double right, double bottom) {
  if (!(std::isfinite(left) && std::isfinite(top) && std::isfinite(right) && std::isfinite(bottom)))
    return false;
  if (left == right || top == bottom) return false;
  m.left = left;
  m.top = top;
  m.right = right;
  m.bottom = bottom;
  return true;
}

bool ApplyViewWindow(PlanState& s) {
  return ApplyWorldWindow(s.mapping, s.Eleft, s.Ntop, s.Eright, s.Nbottom);
}

namespace {

// round((v - low) * size / (high - low)), halves to even, as extended precision gives it.
// The same sum in double is within 2^-51 of the exact quotient relative to its size, and
// the extended one within 2^-62: where the double quotient lies farther than 2^-49 of its
// size from a half, both round to the same whole number, and the double one is taken
// (without a call to the library's extended rounding, which dominates a pixel's cost).
// Near a half, and for quotients that are huge or formed of values near the smallest
// doubles, the extended sum decides.
long double ScaledRound(double v, double low, double high, int size) {
  const double span = high - low, offset = v - low;
  constexpr double kTiny = 0x1p-900, kHuge = 0x1p900, kLarge = 0x1p50, kRound = 0x1.8p52;
  if (std::fabs(span) > kTiny && std::fabs(span) < kHuge && std::fabs(offset) < kHuge &&
      (std::fabs(offset) > kTiny || offset == 0)) {
    const double q = offset * size / span;
    if (std::fabs(q) < kLarge) {
      const double r = (q + kRound) - kRound;  // halves to even in the default rounding
      // The sign of a zero as the extended rounding gives it.
      if (std::fabs(std::fabs(q - r) - 0.5) > std::fabs(q) * 0x1p-49) return std::copysign(r, q);
    }
  }
  return std::nearbyint((static_cast<long double>(v) - low) * size /
                        (static_cast<long double>(high) - low));
}

}  // namespace

PixelPoint WorldToPixel(const PlanMapping& m, double E, double N) {
  PixelPoint p;
  const long double x = ScaledRound(E, m.left, m.right, kPlotWidth);
  const long double y = kPlotHeight - ScaledRound(N, m.bottom, m.top, kPlotHeight);
  p.x = x;
  p.y = y;
  p.valid = std::isfinite(x) && std::isfinite(y);
  return p;
}

bool PointPixel(const PlanMapping& m, double E, double N, int& x, int& y) {
  const PixelPoint p = WorldToPixel(m, E, N);
  if (!(p.valid && p.x >= 0 && p.x < kPlotWidth && p.y >= 0 && p.y < kPlotHeight)) return false;
  x = WholeToInt(p.x);
  y = WholeToInt(p.y);
  return true;
}

bool LinePixels(const PlanMapping& m, double E0, double N0, double E1, double N1, int& x0, int& y0,
                int& x1, int& y1) {
  PixelPoint a = WorldToPixel(m, E0, N0), b = WorldToPixel(m, E1, N1);
  if (!a.valid || !b.valid || !ClipLine(a, b)) return false;
  x0 = WholeToInt(a.x);
  y0 = WholeToInt(a.y);
  x1 = WholeToInt(b.x);
  y1 = WholeToInt(b.y);
  return true;
}

bool LabelPixel(const PlanMapping& m, double E, double N, int& x, int& y) {
  const PixelPoint p = WorldToPixel(m, E, N);
  if (!p.valid || p.x < kLabelLeft || p.x > kLabelRight || p.y < kLabelTop || p.y > kLabelBottom)
    return false;
  x = WholeToInt(p.x);
  y = WholeToInt(p.y);
  return true;
}

Rgb StyleColour(int d, Rgb current, const PlanScheme& scheme) {
  switch (d) {
    case 0:
      return scheme.styleZero;
    case 1:
      return kRed;
    case 2:
      return kYellow;
    case 3:
      return kGreen;
    case 4:
      return kCyan;
    case 5:
      return kBlue;
    default:
      return current;
  }
}

PenStyle StylePen(int d) {
  switch (d) {
    case 1:
      return PenStyle::Dash;
    case 2:
      return PenStyle::Dot;
    case 3:
      return PenStyle::DashDot;
    case 4:
      return PenStyle::DashDotDot;
    default:
      return PenStyle::Solid;
  }
}

int StyleDigit(double packedHeight) {
  if (!std::isfinite(packedHeight)) return 0;
  return StyleDigitOfCode(toolkit::DecodePackedHeight(packedHeight).code);
}

PassResult DrawPlanPass(PlanState& s, const PlanScheme& scheme, const NehOpener& open,
                        PlanCanvas& canvas) {
  PassResult result;
  LabelFont font;
  canvas.BeginPass(font, s.mapping);
  FilePass f;
  f.foreground = kRed;
  bool alive = true;
  alive = DrawFile(s, scheme, open, s.mainFileName, f, canvas, result);
  if (alive && s.referencePresent) {
    f.reference = true;
    alive = DrawFile(s, scheme, open, s.referenceFileName, f, canvas, result);
  }
  if (f.drewAny) {
    s.Ep = s.Ec = f.Ep;
    s.Np = s.Nc = f.Np;
  }
  canvas.EndPass();
  result.aborted = !alive;
  return result;
}

DragRect UpdateZoomBox(PlanState& s, int x0, int y0, int x, int y) {
  DragRect d;
  d.left = std::min(x0, x);
  d.right = std::max(x0, x);
  d.top = std::min(y0, y);
  d.bottom = std::max(y0, y);
  const long double width = static_cast<long double>(s.Eright) - s.Eleft;
  const long double height = static_cast<long double>(s.Ntop) - s.Nbottom;
  const long double zLeft = s.Eleft + d.left * width / kPlotWidth;
  long double zRight = s.Eleft + d.right * width / kPlotWidth;
  long double zTop = s.Ntop - d.top * height / kPlotHeight;
  const long double zBottom = s.Ntop - d.bottom * height / kPlotHeight;
  const long double w = zRight - zLeft, h = zTop - zBottom;
  if (w <= h) {
    s.u = static_cast<double>(6 * w / 700);
    zRight = zLeft + h;
  } else {
    s.u = static_cast<double>(6 * h / 700);
    zTop = zBottom + w;
  }
  s.Ep = static_cast<double>(zLeft);
  s.Np = static_cast<double>(zTop);
  s.Ec = static_cast<double>(zRight);
  s.Nc = static_cast<double>(zBottom);
  if (d.right == d.left) ++d.right;
  if (d.bottom == d.top) ++d.bottom;
  return d;
}

std::string ZoomAreaText(const PlanState& s) {
  auto nine = [](double v) { return toolkit::NumberText(v).substr(0, 9); };
  return "Zoom Area:" + nine(s.Ep) + "E " + nine(s.Nc) + "N - " + nine(s.Ec) + "E " + nine(s.Np) +
         "N";
}

std::string BitmapFileName(double counter) {
  return "Plan" + toolkit::NumberText(counter) + ".bmp";
}

}  // namespace planplot
