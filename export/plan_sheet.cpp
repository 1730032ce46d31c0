// The plan sheet: the plan plotter's pass painted on paper at true scale.
//
// Layout, in millimetres from the sheet's top-left corner: a 10 mm margin, a band of 7 mm
// round the map frame for the coordinate labels, and a strip of 30 mm under it for the
// scale bar, the north arrow and the title block. The map is the view (the survey's full
// extent as the plotter scans it, or --view) centred in the frame at 1 m = 1000/N mm.
#include "export/plan_sheet.h"

#include <QDate>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPolygonF>
#include <QSvgGenerator>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "export/dxf_style.h"
#include "export/input_check.h"
#include "export/plan_export.h"
#include "export/section_layout.h"
#include "export/section_sheets.h"
#include "export/sheet_file.h"
#include "export/sheet_paint.h"
#include "planplot/plan_core.h"
#include "toolkit/clip_segment.h"
#include "toolkit/number_text.h"
#include "toolkit/survey_files.h"

namespace surveyexport {

namespace {

constexpr double kLabelBandMm = 7;
constexpr double kStripMm = 30;
constexpr double kLinePenMm = 0.25;
constexpr double kPointMm = 0.6;  // the side of a point's square
// Text sizes are em heights: capitals stand about 0.69 of it (0.716 in Arial), so 2.7 mm
// gives at least the 1.8 mm capital height below which a drawing office does not letter.
constexpr double kLabelMm = 2.7;      // point numbers and levels
constexpr double kLabelOffsetMm = 1;  // from a point to its labels
constexpr double kFrameLabelMm = 2.7;
constexpr double kSmallTextMm = 2.7;  // scale bar figures, the note, the title's small lines
constexpr double kTitleWidthMm = 95;
constexpr double kArrowHalfMm = 3;  // the north arrow: 6 mm wide, 18 mm with its N

// The map: world window and where it lies on the sheet.
struct MapFrame {
  QRectF mm;                                        // the frame on the sheet
  double left = 0, right = 0, bottom = 0, top = 0;  // world window (m)
  double scale = 0;
  QPointF Mm(double E, double N) const {
    return {mm.left() + (E - left) * 1000.0 / scale, mm.bottom() - (N - bottom) * 1000.0 / scale};
  }
};

// The plotter's pass on paper: points as small squares, lines in millimetre dashes,
// labels without the screen's opaque boxes.
class PaperPlanCanvas : public planplot::PlanCanvas {
 public:
  PaperPlanCanvas(SheetPainter& sheet, const MapFrame& map, const Progress& progress,
                  double records)
      : sheet_(sheet), map_(map), progress_(progress), records_(records) {}
  ~PaperPlanCanvas() override {
    Flush();
    FlushDots();
    FlushLabels();
  }

  void BeginPass(const planplot::LabelFont&, const planplot::PlanMapping&) override {}
  void EndPass() override {
    Flush();
    FlushDots();
    FlushLabels();
  }
  void Record(const planplot::PlanRecord& r) override {
    // The sheet's y runs downward, the label places' upward.
    const QPointF at = map_.Mm(r.E, r.N);
    places_.NewRecord(at.x(), -at.y());
  }
  void Pixel(double E, double N, planplot::Rgb colour) override {
    if (!Inside(E, N)) return;
    // Points of one colour go out together as small squares (a PDF rectangle each).
    if (dotCount_ > 0 && (colour != dotColour_ || dotCount_ >= 4096)) FlushDots();
    QPointF p = map_.Mm(E, N) * sheet_.DotsPerMm();
    double side = kPointMm * sheet_.DotsPerMm();
    // On a fine device (a PDF's 1200 dots an inch) at whole dots, which a PDF page keeps
    // in half the bytes; a fiftieth of a millimetre is lost to no eye.
    if (sheet_.DotsPerMm() > 20) {
      side = std::round(side);
      p = QPointF(std::round(p.x() - side / 2) + side / 2, std::round(p.y() - side / 2) + side / 2);
    }
    dots_.push_back(QRectF(p.x() - side / 2, p.y() - side / 2, side, side));
    dotColour_ = colour;
    ++dotCount_;
  }
  void Line(double E0, double N0, double E1, double N1, planplot::Rgb colour,
            planplot::PenStyle style) override {
    long double ax = E0, ay = N0, bx = E1, by = N1;
    if (!toolkit::ClipSegment(ax, ay, bx, by, map_.left, map_.right, map_.bottom, map_.top)) {
      Flush();
      return;
    }
    const QPointF a = map_.Mm(double(ax), double(ay)), b = map_.Mm(double(bx), double(by));
    const int pen = static_cast<int>(style);
    if (line_.isEmpty() || colour != colour_ || pen != style_ || line_.back() != a) {
      Flush();
      line_ << a;
      colour_ = colour;
      style_ = pen;
    }
    if (b != line_.back() || line_.size() == 1) line_ << b;
  }
  void Label(const planplot::PlanLabel& label) override {
    if (label.text.empty() || !Inside(label.E, label.N)) return;
    // Labels of one colour go out together, a few thousand at a time.
    std::vector<SheetPainter::PlacedText>& batch = labels_[label.colour];
    // No opaque boxes on paper: the level of a numbered point goes below its number, and
    // the labels of a point on another's spot below that point's (the drawing's rule).
    const QPointF pass = map_.Mm(label.E, label.N);
    const TextCorner placed = places_.Place(pass.x(), -pass.y());
    const QPointF at(placed.x, -placed.y);
    batch.push_back({at, label.text});
    if (batch.size() >= kLabelsAtOnce) FlushLabels(label.colour, batch);
  }
  bool KeepAlive() override {
    if (++count_ % 8192 != 0) return true;
    // A sheet whose file has failed (a full disk) is not drawn to its end.
    if (file && !file->Check().empty()) return false;
    if (progress_ && records_ > 0)
      return progress_(std::min(1.0, static_cast<double>(count_) / records_));
    return true;
  }
  const SheetFile* file = nullptr;
  void FlushDots() {
    if (dotCount_ == 0) return;
    const long rgb = PaperColour(static_cast<long>(dotColour_));
    QPainter& painter = sheet_.Painter();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255));
    painter.drawRects(dots_.data(), static_cast<int>(dots_.size()));
    painter.setBrush(Qt::NoBrush);
    dots_.clear();
    dotCount_ = 0;
  }
  void FlushLabels(planplot::Rgb colour, std::vector<SheetPainter::PlacedText>& batch) {
    sheet_.Texts(batch, kLabelMm, PaperColour(static_cast<long>(colour)), 10);
    batch.clear();
  }
  void FlushLabels() {
    for (auto& [colour, batch] : labels_) FlushLabels(colour, batch);
  }
  void Flush() {
    if (line_.size() >= 2)
      sheet_.Polyline(line_, kLinePenMm, PaperColour(static_cast<long>(colour_)), style_);
    line_.clear();
  }

 private:
  bool Inside(double E, double N) const {
    return E >= map_.left && E <= map_.right && N >= map_.bottom && N <= map_.top;
  }
  SheetPainter& sheet_;
  MapFrame map_;
  const Progress& progress_;
  double records_;
  std::int64_t count_ = 0;
  QPolygonF line_;
  planplot::Rgb colour_ = 0;
  int style_ = 0;
  std::vector<QRectF> dots_;
  planplot::Rgb dotColour_ = 0;
  int dotCount_ = 0;
  static constexpr std::size_t kLabelsAtOnce = 4096;
  std::map<planplot::Rgb, std::vector<SheetPainter::PlacedText>> labels_;
  LabelPlaces places_{kLabelMm, 10};
};

// Qt's SVG of a plan, measured: about 49 bytes a point and 187 a label, and in memory
// while it is written some 60 MB and five times the file. Files of longer numbers and
// labels measured up to a quarter more: the estimate keeps a third in hand.
constexpr double kSvgBytesPerPoint = 49 * 1.33, kSvgBytesPerLabel = 187 * 1.33;
constexpr double kSvgMemoryBase = 60e6, kSvgMemoryPerByte = 5, kSvgMemoryLimit = 1e9;

double SvgBytesEstimate(double records, bool numbers, bool levels) {
  return records * (kSvgBytesPerPoint + kSvgBytesPerLabel * ((numbers ? 1 : 0) + (levels ? 1 : 0)));
}

// "423 MB", "2.1 GB".
std::string MegabyteText(double bytes) {
  char text[32];
  if (bytes >= 1e9)
    std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
  else
    std::snprintf(text, sizeof text, "%.0f MB", std::ceil(bytes / 1e6));
  return text;
}

double NiceStep(double atLeast) {
  double p = std::pow(10.0, std::floor(std::log10(atLeast)));
  for (;;) {
    for (double m : {1.0, 2.0, 5.0})
      if (m * p >= atLeast - 1e-9 * atLeast) return m * p;
    p *= 10;
  }
}

}  // namespace

PlanSheetStrip PlanStripFor(double sheetWidthMm, double frameLeftMm, double stripTopMm,
                            double scale) {
  PlanSheetStrip s;
  s.title = {sheetWidthMm - kSheetMarginMm - kTitleWidthMm, stripTopMm,
             sheetWidthMm - kSheetMarginMm, stripTopMm + kStripMm - 4};
  const double arrowX = s.title.left - 6 - kArrowHalfMm;
  s.arrow = {arrowX - kArrowHalfMm, stripTopMm + 20 - 19, arrowX + kArrowHalfMm, stripTopMm + 20};
  // The bar's last figure ("200 m") stands centred on its end: half of about 12 mm.
  const double room = s.arrow.left - 4 - frameLeftMm - 6;
  double step = NiceStep(10.0 * scale / 1000.0);  // at least 10 mm a step where it fits
  // Else the next smaller of 1, 2, 5 x 10^k: 50 -> 20 -> 10 -> 5 ...
  while (4 * step * 1000.0 / scale > room && step > 1e-6) step = NiceStep(step / 2.5 * 0.999);
  s.barStep = step;
  const double barMm = 4 * step * 1000.0 / scale;
  s.bar = {frameLeftMm, stripTopMm + 8, frameLeftMm + barMm, stripTopMm + 8 + 2.5 + 3.2};
  s.note = {frameLeftMm, stripTopMm + 17, s.arrow.left - 4, stripTopMm + 17 + 3.2};
  return s;
}

namespace {

void DrawFrameTicks(SheetPainter& sheet, const MapFrame& map) {
  sheet.Rectangle(map.mm, 0.35, 0);
  const double step = PlanTickSpacing(map.scale);
  const double tick = 2.0;
  // Ticks counted in whole steps, so that no rounding can hold a loop in place.
  const double firstE = std::ceil(map.left / step), lastE = std::floor(map.right / step);
  for (double k = firstE; k <= lastE && k - firstE < 10000; ++k) {
    const double e = k * step;
    const double x = map.Mm(e, map.bottom).x();
    sheet.Polyline(QPolygonF{QPointF(x, map.mm.bottom()), QPointF(x, map.mm.bottom() - tick)}, 0.18,
                   0, 0);
    sheet.Polyline(QPolygonF{QPointF(x, map.mm.top()), QPointF(x, map.mm.top() + tick)}, 0.18, 0,
                   0);
    const std::string text = toolkit::PlainNumberText(e);
    sheet.Text(QPointF(x, map.mm.bottom() + 1), text, kFrameLabelMm, 0, 0,
               SheetPainter::kTopCentre);
    sheet.Text(QPointF(x, map.mm.top() - 1), text, kFrameLabelMm, 0, 0,
               SheetPainter::kBottomCentre);
  }
  const double firstN = std::ceil(map.bottom / step), lastN = std::floor(map.top / step);
  for (double k = firstN; k <= lastN && k - firstN < 10000; ++k) {
    const double n = k * step;
    const double y = map.Mm(map.left, n).y();
    sheet.Polyline(QPolygonF{QPointF(map.mm.left(), y), QPointF(map.mm.left() + tick, y)}, 0.18, 0,
                   0);
    sheet.Polyline(QPolygonF{QPointF(map.mm.right(), y), QPointF(map.mm.right() - tick, y)}, 0.18,
                   0, 0);
    const std::string text = toolkit::PlainNumberText(n);
    // Northings read upward along both sides.
    sheet.Text(QPointF(map.mm.left() - 1, y), text, kFrameLabelMm, 0, 90,
               SheetPainter::kBottomCentre);
    sheet.Text(QPointF(map.mm.right() + 1, y), text, kFrameLabelMm, 0, 90,
               SheetPainter::kTopCentre);
  }
}

void DrawScaleBar(SheetPainter& sheet, QPointF at, double scale, double step) {
  const double stepMm = step * 1000.0 / scale;
  for (int i = 0; i < 4; ++i) {
    const QRectF box(at.x() + i * stepMm, at.y(), stepMm, 1.5);
    if (i % 2 == 0) sheet.Fill(box, 0);
    sheet.Rectangle(box, 0.18, 0);
    sheet.Text(QPointF(box.left(), at.y() + 2.5), toolkit::PlainNumberText(i * step), kSmallTextMm,
               0, 0, SheetPainter::kTopCentre);
  }
  sheet.Text(QPointF(at.x() + 4 * stepMm, at.y() + 2.5), toolkit::PlainNumberText(4 * step) + " m",
             kSmallTextMm, 0, 0, SheetPainter::kTopCentre);
}

void DrawNorthArrow(SheetPainter& sheet, QPointF base) {
  QPolygonF arrow{base + QPointF(0, -14), base + QPointF(3, 0), base + QPointF(0, -3),
                  base + QPointF(-3, 0), base + QPointF(0, -14)};
  QPainter& p = sheet.Painter();
  p.setPen(QPen(Qt::black, 0.18 * sheet.DotsPerMm()));
  p.setBrush(Qt::black);
  QPolygonF dots;
  for (const QPointF& q : arrow) dots << q * sheet.DotsPerMm();
  p.drawPolygon(dots);
  p.setBrush(Qt::NoBrush);
  sheet.Text(base + QPointF(0, -15), "N", 4, 0, 0, SheetPainter::kBottomCentre, true);
}

void DrawTitleBlock(SheetPainter& sheet, const QRectF& box, const PlanSheetOptions& o, double scale,
                    const std::string& paper) {
  sheet.Rectangle(box, 0.25, 0);
  std::string files = BaseName(o.neh);
  if (!o.reference.empty()) files += " + " + BaseName(o.reference);
  double y = box.top() + 1.5;
  sheet.Text(QPointF(box.left() + 2, y), files, 3.2, 0, 0, SheetPainter::kTopLeft, true);
  y += 5;
  sheet.Text(QPointF(box.left() + 2, y), "1:" + toolkit::PlainNumberText(scale), 4, 0, 0,
             SheetPainter::kTopLeft, true);
  y += 6.5;
  sheet.Text(QPointF(box.left() + 2, y), o.crsName, kSmallTextMm, 0, 0, SheetPainter::kTopLeft);
  y += 4.5;
  sheet.Text(QPointF(box.left() + 2, y),
             paper + (o.portrait ? " portrait" : "") + "  " +
                 QDate::currentDate().toString(Qt::ISODate).toStdString(),
             kSmallTextMm, 0, 0, SheetPainter::kTopLeft);
}

}  // namespace

const std::vector<double>& PlanScaleSeries() {
  static const std::vector<double> series = {100,  200,  250,  500,   1000,  1250,
                                             2000, 2500, 5000, 10000, 20000, 50000};
  return series;
}

std::optional<double> PlanScaleFor(double width, double height, double areaWidthMm,
                                   double areaHeightMm) {
  if (!(std::isfinite(width) && std::isfinite(height))) return std::nullopt;
  for (double s : PlanScaleSeries())
    if (width * 1000.0 / s <= areaWidthMm + 1e-6 && height * 1000.0 / s <= areaHeightMm + 1e-6)
      return s;
  return std::nullopt;
}

double PlanTickSpacing(double scale) { return NiceStep(25.0 * scale / 1000.0); }

std::optional<std::vector<double>> ParseView(const std::string& text) {
  std::vector<double> values;
  std::size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t comma = text.find(',', start);
    if ((i < 3) != (comma != std::string::npos)) return std::nullopt;
    std::string part = text.substr(start, i < 3 ? comma - start : std::string::npos);
    // A decimal number with blanks about it at most: no hexadecimal, no "inf".
    const auto first = part.find_first_not_of(' '), last = part.find_last_not_of(' ');
    part = first == std::string::npos ? std::string() : part.substr(first, last - first + 1);
    if (part.empty() || part.size() > 40 ||
        part.find_first_not_of("0123456789+-.eE") != std::string::npos)
      return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(part.c_str(), &end);
    if (end != part.c_str() + part.size() || !std::isfinite(v)) return std::nullopt;
    values.push_back(v);
    start = comma + 1;
  }
  if (values[0] == values[2] || values[1] == values[3]) return std::nullopt;
  return values;
}

namespace {

// The sheet laid out from its files before anything is painted: the plotter state, the
// files as checked, the map frame with its scale, and the note.
struct SheetLayout {
  planplot::PlanState state;
  WatchedNehFiles inputs;
  std::optional<PaperSize> paper;
  double sheetW = 0, sheetH = 0;
  MapFrame map;
  std::string note;
  std::int64_t skipped = 0;  // records of values not finite, passed over by the painting
  std::string LayOut(const PlanSheetOptions& o);
  // Paints the sheet at perMm device dots a millimetre; file (may be null) is looked at
  // while painting. Empty, or why it stopped.
  std::string Paint(const PlanSheetOptions& o, QPainter& painter, double perMm,
                    const Progress& progress, const SheetFile* file);
};

std::string SheetLayout::LayOut(const PlanSheetOptions& o) {
  paper = PaperNamed(o.paper);
  if (!paper) return "unknown paper " + o.paper + " (A4, A3, A2, A1 or A0)";
  if (o.scale != 0 && !(std::isfinite(o.scale) && o.scale > 0))
    return "the scale must be a number above 0";

  state.mainFileName = o.neh;
  state.referenceFileName = o.reference;
  state.referencePresent = !o.reference.empty();
  state.showNumbers = o.numbers;
  state.showLevels = o.levels;
  // The files are checked before anything is written, and watched while they are read.
  std::vector<std::string> files{o.neh};
  if (!o.reference.empty()) files.push_back(o.reference);
  if (std::string e = inputs.Check(files); !e.empty()) return e;
  const planplot::NehOpener opener = inputs.Opener();
  if (std::string e = planplot::ScanFullExtent(state, opener); !e.empty()) return e;
  // Fitted to what the sheet draws: every record of both files with a position, also those
  // past an unused slot (plandra's full view stops at the first), and the note says so
  // when any reaches beyond the sheet.
  double extent[4] = {state.Elo, state.Nlo, state.Ehi, state.Nhi};
  bool stopped = false;
  PlanPassExtent(state, opener, false, 0, nullptr, extent, &stopped);
  double left = extent[0], right = extent[2], bottom = extent[1], top = extent[3];
  if (o.haveView) {
    // A view that misses the whole survey draws an empty frame: the note says so.
    const double vl = std::min(o.viewE1, o.viewE2), vr = std::max(o.viewE1, o.viewE2);
    const double vb = std::min(o.viewN1, o.viewN2), vt = std::max(o.viewN1, o.viewN2);
    if (vr < left || vl > right || vt < bottom || vb > top)
      note = "No point of the survey lies in the view.";
    left = vl;
    right = vr;
    bottom = vb;
    top = vt;
  }

  sheetW = o.portrait ? paper->shortMm : paper->longMm;
  sheetH = o.portrait ? paper->longMm : paper->shortMm;
  const double inset = kSheetMarginMm + kLabelBandMm;
  map.mm = QRectF(inset, inset, sheetW - 2 * inset, sheetH - 2 * inset - kStripMm);
  if (o.scale > 0) {
    map.scale = o.scale;
    if (note.empty() && ((right - left) * 1000.0 / o.scale > map.mm.width() + 1e-6 ||
                         (top - bottom) * 1000.0 / o.scale > map.mm.height() + 1e-6))
      note = "Part of the " + std::string(o.haveView ? "view" : "survey") +
             " lies outside the sheet at 1:" + toolkit::PlainNumberText(o.scale) + ".";
  } else {
    // A few millimetres kept free inside the frame for the labels of edge points.
    const auto s =
        PlanScaleFor(right - left, top - bottom, map.mm.width() - 8, map.mm.height() - 8);
    if (!s)
      return "the " + std::string(o.haveView ? "view" : "survey") + " of " + BaseName(o.neh) +
             " does not fit " + paper->name + " even at 1:50000: give --scale or --view";
    map.scale = *s;
  }
  const double cE = (left + right) / 2, cN = (bottom + top) / 2;
  const double halfW = map.mm.width() * map.scale / 2000.0;
  const double halfH = map.mm.height() * map.scale / 2000.0;
  map.left = cE - halfW;
  map.right = cE + halfW;
  map.bottom = cN - halfH;
  map.top = cN + halfH;
  // Beyond a million kilometres a sheet's frame, ticks and labels lose their metres (the
  // step between ticks below a double's spacing there): a damaged record or view.
  constexpr double kFarthest = 1e9;
  for (double v : {map.left, map.right, map.bottom, map.top})
    if (!(std::fabs(v) <= kFarthest))
      return BaseName(o.neh) + ": the " + std::string(o.haveView ? "view" : "survey") +
             " reaches too far to be drawn (beyond 1,000,000 km of the grid's origin)";
  // Labels 1 mm from their points on the sheet.
  state.u = kLabelOffsetMm * map.scale / 1000.0;
  return {};
}

std::string SheetLayout::Paint(const PlanSheetOptions& o, QPainter& painter, double perMm,
                               const Progress& progress, const SheetFile* file) {
  const planplot::NehOpener opener = inputs.Opener();
  std::string fault;
  {
    SheetPainter sheet(painter, perMm);
    sheet.Fill(QRectF(0, 0, sheetW, sheetH), 0xffffff);
    sheet.ClipTo(map.mm);
    const double records = inputs.Records();
    {
      PaperPlanCanvas canvas(sheet, map, progress, records);
      canvas.file = file;
      const planplot::PassResult pass =
          planplot::DrawPlanPass(state, planplot::kLightScheme, opener, canvas);
      fault = pass.fault;
      skipped = pass.recordsSkipped;
      if (pass.aborted && fault.empty() && file) fault = file->Check();
      if (pass.aborted && fault.empty()) fault = "stopped";
      // A file cut or changed while it was read, or one that gave nothing to draw.
      if (std::string problem = inputs.Problem(); !problem.empty() && !pass.aborted)
        fault = problem;
    }
    sheet.ClipTo(QRectF());
    DrawFrameTicks(sheet, map);
    const double stripTop = map.mm.bottom() + kLabelBandMm + 2;
    const PlanSheetStrip strip = PlanStripFor(sheetW, map.mm.left(), stripTop, map.scale);
    DrawScaleBar(sheet, QPointF(strip.bar.left, strip.bar.top), map.scale, strip.barStep);
    const QRectF titleBox(strip.title.left, strip.title.top, strip.title.right - strip.title.left,
                          strip.title.bottom - strip.title.top);
    DrawNorthArrow(sheet, QPointF((strip.arrow.left + strip.arrow.right) / 2, strip.arrow.bottom));
    DrawTitleBlock(sheet, titleBox, o, map.scale, paper->name);
    if (!note.empty())
      sheet.Text(QPointF(strip.note.left, strip.note.top), note, kSmallTextMm, 0, 0,
                 SheetPainter::kTopLeft, false, true);
  }
  return fault;
}

}  // namespace

std::string DrawPlanSheet(const PlanSheetOptions& o, const Progress& progress,
                          PlanSheetResult* result) {
  const Format format = FormatFromPath(o.output);
  if (format != Format::Pdf && format != Format::Svg)
    return o.output + ": a plan sheet is drawn to .pdf or .svg";
  SheetLayout layout;
  if (std::string e = layout.LayOut(o); !e.empty()) return e;
  const WatchedNehFiles& inputs = layout.inputs;
  const MapFrame& map = layout.map;
  const auto& paper = layout.paper;
  const double sheetW = layout.sheetW, sheetH = layout.sheetH;
  const std::string& note = layout.note;

  // Qt's SVG writer holds the whole drawing in memory, about five times the file: a plan
  // that would need more than a gigabyte is refused before anything is written.
  if (format == Format::Svg) {
    const double bytes = SvgBytesEstimate(inputs.Records(), o.numbers, o.levels);
    if (kSvgMemoryBase + kSvgMemoryPerByte * bytes > kSvgMemoryLimit)
      return Shown(o.output) + ": the plan as SVG would be about " + MegabyteText(bytes) +
             " (and take about " + MegabyteText(kSvgMemoryBase + kSvgMemoryPerByte * bytes) +
             " of memory to write): draw it as .pdf instead";
  }

  auto app = EnsureGuiApplication();
  PendingOutput pending;
  if (std::string e = pending.Reserve(o.output, o.overwrite); !e.empty()) return e;
  SheetPage page;
  page.layout = QPageLayout(
      QPageSize(QPageSize::id(QSizeF(paper->shortMm, paper->longMm), QPageSize::Millimeter)),
      o.portrait ? QPageLayout::Portrait : QPageLayout::Landscape, QMarginsF());
  page.widthMm = sheetW;
  page.heightMm = sheetH;
  page.title = QString::fromStdString(
      format == Format::Pdf ? BaseName(o.neh)
                            : BaseName(o.neh) + " 1:" + toolkit::PlainNumberText(map.scale));
  SheetFile file;
  if (std::string e = file.Begin(format, pending.TempPath(), o.output, page); !e.empty()) return e;
  const std::string fault = layout.Paint(o, file.Painter(), file.DotsPerMm(), progress, &file);
  if (!fault.empty()) return fault;  // the pending output is removed
  if (std::string e = file.End(); !e.empty()) return e;
  if (std::string e = pending.Commit(); !e.empty()) return e;
  if (progress) progress(1.0);
  if (result) {
    result->scale = map.scale;
    result->paper = paper->name;
    result->note = note;
    result->skipped = layout.skipped;
  }
  return {};
}

std::string PaintPlanSheet(const PlanSheetOptions& o, QPainter& painter, double dotsPerMm,
                           const Progress& progress, PlanSheetResult* result) {
  SheetLayout layout;
  if (std::string e = layout.LayOut(o); !e.empty()) return e;
  if (std::string fault = layout.Paint(o, painter, dotsPerMm, progress, nullptr); !fault.empty())
    return fault;
  if (result) {
    result->scale = layout.map.scale;
    result->paper = layout.paper->name;
    result->note = layout.note;
    const QRectF& mm = layout.map.mm;
    result->frameLeftMm = mm.left();
    result->frameTopMm = mm.top();
    result->frameRightMm = mm.right();
    result->frameBottomMm = mm.bottom();
    result->left = layout.map.left;
    result->bottom = layout.map.bottom;
    result->right = layout.map.right;
    result->top = layout.map.top;
  }
  return {};
}

}  // namespace surveyexport
