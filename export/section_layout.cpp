// Sheet arithmetic of the drawings at scale: paper, scales and section frames.
#include "export/section_layout.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "secplot/section_page.h"
#include "toolkit/number_text.h"

namespace surveyexport {

const std::vector<PaperSize>& PaperSeries() {
  static const std::vector<PaperSize> series = {
      {"A4", 297, 210}, {"A3", 420, 297}, {"A2", 594, 420}, {"A1", 841, 594}, {"A0", 1189, 841}};
  return series;
}

std::optional<PaperSize> PaperNamed(const std::string& name) {
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const PaperSize& p : PaperSeries())
    if (p.name == upper) return p;
  return std::nullopt;
}

std::optional<double> ParseScale(const std::string& text) {
  if (text.empty() || text.size() > 40) return std::nullopt;
  // Digits, one point and nothing else: no sign, no exponent, no hexadecimal, no "inf".
  int points = 0, digits = 0;
  for (char c : text) {
    if (c == '.') {
      ++points;
    } else if (c >= '0' && c <= '9') {
      ++digits;
    } else {
      return std::nullopt;
    }
  }
  if (points > 1 || digits == 0) return std::nullopt;
  const double value = std::strtod(text.c_str(), nullptr);
  if (!(std::isfinite(value) && value >= 1 && value < 1e9)) return std::nullopt;
  return value;
}

const std::vector<double>& SectionScaleSeries() {
  static const std::vector<double> series = {1,    2,    5,     10,    20,    25,    50,
                                             100,  200,  250,   500,   1000,  1250,  2000,
                                             2500, 5000, 10000, 20000, 50000, 100000};
  return series;
}

void Extent::Add(double x, double y) {
  if (!(std::isfinite(x) && std::isfinite(y))) return;
  if (empty) {
    minX = maxX = x;
    minY = maxY = y;
    empty = false;
    return;
  }
  minX = std::min(minX, x);
  maxX = std::max(maxX, x);
  minY = std::min(minY, y);
  maxY = std::max(maxY, y);
}

void Extent::Add(const Extent& other) {
  if (other.empty) return;
  Add(other.minX, other.minY);
  Add(other.maxX, other.maxY);
}

std::optional<SectionFrame> FrameFor(const Extent& extent, double horizontal, double vertical,
                                     bool heightLabels) {
  if (extent.empty) return std::nullopt;
  if (!(std::isfinite(horizontal) && horizontal > 0 && std::isfinite(vertical) && vertical > 0))
    return std::nullopt;
  SectionFrame f;
  f.horizontal = horizontal;
  f.vertical = vertical;
  const double h = horizontal / 1000.0, v = vertical / 1000.0;  // metres per mm of sheet
  f.gx = 50 * h;
  f.gy = 20 * v;
  const double above = kRoomAboveMm + (heightLabels ? kRoomAboveLabelsMm : 0);
  f.x0 = std::floor((extent.minX - kRoomLeftMm * h) / f.gx) * f.gx;
  f.y0 = std::floor((extent.minY - kRoomBelowMm * v) / f.gy) * f.gy;
  f.xr = std::ceil((extent.maxX + kRoomRightMm * h) / f.gx) * f.gx;
  f.yt = std::ceil((extent.maxY + above * v) / f.gy) * f.gy;
  // At least one tick spacing each way (a section of one point, or a wall).
  if (!(f.xr > f.x0)) f.xr = f.x0 + f.gx;
  if (!(f.yt > f.y0)) f.yt = f.y0 + f.gy;
  f.widthMm = (f.xr - f.x0) / h;
  f.heightMm = (f.yt - f.y0) / v;
  for (double value : {f.x0, f.y0, f.xr, f.yt, f.widthMm, f.heightMm})
    if (!std::isfinite(value)) return std::nullopt;
  // A corner so far out that a tick spacing is lost in its rounding cannot be drawn.
  if (!(f.x0 + f.gx > f.x0 && f.y0 + f.gy > f.y0)) return std::nullopt;
  return f;
}

double FrameAreaWidthMm(const PaperSize& paper) { return paper.longMm - 2 * kSheetMarginMm; }
double FrameAreaHeightMm(const PaperSize& paper) {
  return paper.shortMm - 2 * kSheetMarginMm - kTitleStripMm;
}

bool FrameFits(const SectionFrame& frame, const PaperSize& paper) {
  // A thousandth of a millimetre of slack for the rounding of the scale arithmetic.
  return frame.widthMm <= FrameAreaWidthMm(paper) + 1e-3 &&
         frame.heightMm <= FrameAreaHeightMm(paper) + 1e-3;
}

namespace {

// The scales to try from the asked one on: the asked scale, then every standard scale
// smaller than it (a larger denominator).
std::vector<double> ScalesFrom(double asked) {
  std::vector<double> scales{asked};
  for (double s : SectionScaleSeries())
    if (s > asked) scales.push_back(s);
  return scales;
}

std::optional<SheetChoice> FitOn(const Extent& extent, double horizontal, double vertical,
                                 bool labels, const PaperSize& paper) {
  SheetChoice choice;
  choice.paper = paper;
  double hs = 0, vs = 0;
  for (double s : ScalesFrom(horizontal)) {
    const auto f = FrameFor(extent, s, vertical, labels);
    if (f && f->widthMm <= FrameAreaWidthMm(paper) + 1e-3) {
      hs = s;
      break;
    }
  }
  for (double s : ScalesFrom(vertical)) {
    const auto f = FrameFor(extent, horizontal, s, labels);
    if (f && f->heightMm <= FrameAreaHeightMm(paper) + 1e-3) {
      vs = s;
      break;
    }
  }
  if (hs == 0 || vs == 0) return std::nullopt;
  const auto f = FrameFor(extent, hs, vs, labels);
  if (!f) return std::nullopt;
  choice.frame = *f;
  choice.scalesChanged = hs != horizontal || vs != vertical;
  return choice;
}

}  // namespace

std::optional<SheetChoice> ChooseSheet(const Extent& extent, double horizontal, double vertical,
                                       bool heightLabels, const PaperSize& paper, bool fit) {
  const auto frame = FrameFor(extent, horizontal, vertical, heightLabels);
  if (!frame) return std::nullopt;
  if (FrameFits(*frame, paper)) return SheetChoice{paper, *frame, false, false, true};
  if (!fit) {
    bool past = false;
    for (const PaperSize& p : PaperSeries()) {
      if (p.name == paper.name) {
        past = true;
        continue;
      }
      if (past && FrameFits(*frame, p)) return SheetChoice{p, *frame, true, false, true};
    }
  }
  // Fit the asked sheet, or the largest one when even that was too small.
  const PaperSize target = fit ? paper : PaperSeries().back();
  if (auto choice = FitOn(extent, horizontal, vertical, heightLabels, target)) {
    choice->largerSheet = target.name != paper.name;
    return choice;
  }
  SheetChoice none{target, *frame, target.name != paper.name, false, false};
  return none;
}

double UprightLabelLeft(std::vector<LabelBox>& placed, double left, double low, double high,
                        double across, double step) {
  double chosen = left, least = -1;
  for (int column : {0, 1, -1, 2, -2}) {
    const double x = left + column * step;
    double shared = 0;
    for (const LabelBox& b : placed) {
      const double w = std::min(x + across, b.right) - std::max(x, b.left);
      const double h = std::min(high, b.high) - std::max(low, b.low);
      if (w > 0 && h > 0) shared += w * h;
    }
    if (least < 0 || shared < least) {
      chosen = x;
      least = shared;
    }
    if (shared == 0) break;
  }
  placed.push_back({chosen, low, chosen + across, high});
  return chosen;
}

std::vector<double> DashPatternMm(int style) {
  switch (style) {
    case 1:
      return {3.0, 1.5};  // dashed
    case 2:
      return {0.5, 0.8};  // dotted
    case 3:
      return {3.0, 1.0, 0.5, 1.0};  // dash-dot
    case 4:
      return {3.0, 1.0, 0.5, 1.0, 0.5, 1.0};  // dash-dot-dot
    default:
      return {};
  }
}

std::string DatumText(double level) {
  std::string text = secplot::LevelLabel(level);  // " 16.00", "-2.00"
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  return "Datum " + text;
}

std::string SectionTitle(const std::string& name, double horizontal, double vertical,
                         const std::string& chainage) {
  std::string trimmed = name;
  while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\0')) trimmed.pop_back();
  if (!chainage.empty()) trimmed += "  Ch " + chainage;
  return trimmed + "  Hor 1/" + toolkit::PlainNumberText(horizontal) + "  Vert 1/" +
         toolkit::PlainNumberText(vertical);
}

}  // namespace surveyexport
