// Sections to DXF, written as a plain AutoCAD R12 drawing: a layer table with colours and
// line types per layer, then POLYLINE, TEXT and LINE entities. Nothing of a section is
// held beyond its own points; each is written as it is drawn.
#include "export/section_dxf.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <set>
#include <utility>

#include "export/dxf_file.h"
#include "export/dxf_style.h"
#include "export/section_layout.h"
#include "export/section_run.h"
#include "export/section_sheets.h"
#include "secplot/section_page.h"
#include "toolkit/number_text.h"

namespace surveyexport {

namespace {

// AutoCAD colour number and line type of the k-th file: the plotters' one map of each.
int AciOf(int k) { return AciColour(static_cast<planplot::Rgb>(secplot::FileColour(k))); }

const char* LineTypeName(int style) {
  return DxfLineTypeName(static_cast<planplot::PenStyle>(style));
}

// Text as a DXF value: printable characters only, on one line.
std::string DxfText(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    out += (u < 32 || u > 126) ? '?' : c;
  }
  return out;
}

// The entities of a section drawing, numbers to six decimals.
class DxfWriter : public DxfFile {
 public:
  explicit DxfWriter(const std::string& path) : DxfFile(Numbers::SixDecimals) { Open(path); }

  void Text(const std::string& layer, double x, double y, double height, double angle,
            const std::string& text, bool centred) {
    Pair(0, std::string("TEXT"));
    Pair(8, layer);
    Pair(6, "CONTINUOUS");  // letters are drawn whole, whatever the layer's dashes
    Pair(10, x);
    Pair(20, y);
    Pair(30, 0.0);
    Pair(40, height);
    Pair(1, DxfText(text));
    if (angle != 0) Pair(50, angle);
    if (centred) {
      Pair(72, 1);
      Pair(11, x);
      Pair(21, y);
      Pair(31, 0.0);
    }
  }
  void Line(const std::string& layer, double x1, double y1, double x2, double y2) {
    Pair(0, std::string("LINE"));
    Pair(8, layer);
    Pair(10, x1);
    Pair(20, y1);
    Pair(30, 0.0);
    Pair(11, x2);
    Pair(21, y2);
    Pair(31, 0.0);
  }
  void Polyline(const std::string& layer, const std::vector<std::pair<double, double>>& pts) {
    if (pts.size() == 1) {
      Pair(0, std::string("POINT"));
      Pair(8, layer);
      Pair(10, pts[0].first);
      Pair(20, pts[0].second);
      Pair(30, 0.0);
      return;
    }
    Pair(0, std::string("POLYLINE"));
    Pair(8, layer);
    Pair(66, 1);
    Pair(10, 0.0);
    Pair(20, 0.0);
    Pair(30, 0.0);
    Pair(70, 0);
    for (const auto& [x, y] : pts) {
      Pair(0, std::string("VERTEX"));
      Pair(8, layer);
      Pair(10, x);
      Pair(20, y);
      Pair(30, 0.0);
    }
    Pair(0, std::string("SEQEND"));
    Pair(8, layer);
  }
};

// The header and the tables: line types sized for the asked horizontal scale (their dashes
// measure on paper what the sheets' dashes measure), one layer a file, and the layers of
// the titles and datum lines.
// Returns the places kept for the drawing's extents ($EXTMIN, $EXTMAX), filled at the end.
std::pair<std::size_t, std::size_t> WriteTables(DxfWriter& w,
                                                const std::vector<std::string>& layers,
                                                double metresPerMm) {
  w.Pair(999, kDxfUnitsComment);
  w.BeginSection("HEADER");
  w.Pair(9, "$ACADVER");
  w.Pair(1, "AC1009");
  const std::size_t extMin = w.HeaderPoint("$EXTMIN");
  const std::size_t extMax = w.HeaderPoint("$EXTMAX");
  w.Pair(9, "$LTSCALE");
  w.Pair(40, 1.0);
  w.EndSection();
  w.BeginSection("TABLES");

  // The screen pen's pattern with its dash 3 mm long at the asked scale, as on the sheets.
  WriteDxfLineTypes(w, 0.75 * metresPerMm);

  w.BeginTable("LAYER", static_cast<int>(layers.size()) + 3);
  w.Layer("0", 7, "CONTINUOUS");
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const int k = static_cast<int>(i) + 1;
    w.Layer(layers[i], AciOf(k), LineTypeName(secplot::FilePenStyle(k)));
  }
  w.Layer("TITLES", 7, "CONTINUOUS");
  w.Layer("DATUM", 7, "CONTINUOUS");
  w.EndTable();
  w.EndSection();
  w.BeginSection("ENTITIES");
  return {extMin, extMax};
}

// The section plotter's pass into the DXF: offsets in metres, heights above the band's
// datum at the vertical scale (times H/V), so that the drawing plotted at 1:H shows the
// heights at 1:V, as its title says.
class DxfCanvas : public secplot::SectionCanvas {
 public:
  DxfCanvas(DxfWriter& w, const std::vector<std::string>& layers, double datum, double datumLevel,
            double exaggeration, double labelHeight)
      : w_(w),
        layers_(layers),
        datum_(datum),
        datumLevel_(datumLevel),
        k_(exaggeration),
        labelHeight_(labelHeight) {}
  double Up(double height) const { return datum_ + (height - datumLevel_) * k_; }
  ~DxfCanvas() override { Flush(); }
  void ClearPage(secplot::Colour) override {}
  void SetWorld(double, double, double, double) override {}
  void Pixel(double, double, secplot::Colour) override {}
  void Line(double x1, double y1, double x2, double y2, secplot::Colour colour, int) override {
    if (!(std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2))) {
      Flush();
      return;
    }
    const std::pair<double, double> a{x1, Up(y1)}, b{x2, Up(y2)};
    if (points_.empty() || colour != colour_ || points_.back() != a) {
      Flush();
      points_.push_back(a);
      colour_ = colour;
    }
    if (b != points_.back()) points_.push_back(b);
  }
  void Label(double x, double y, const std::string& text, const secplot::LabelFont&,
             secplot::Colour colour, secplot::Colour) override {
    if (text.empty() || !std::isfinite(x) || !std::isfinite(y)) return;
    // Beside the point, reading upward: the letters left of the insertion point, which
    // moves a column aside where another file's label stands (a shared height).
    const double at = x + labelHeight_ * 1.1, up = Up(y) + labelHeight_ * 0.5;
    const double across = labelHeight_ * 1.12, length = labelHeight_ * 0.6 * text.size();
    const double left = UprightLabelLeft(labels_, at - labelHeight_, up, up + length, across,
                                         across + labelHeight_ * 0.1);
    w_.Text(LayerOf(colour), left + labelHeight_, up, labelHeight_, 90, text, false);
  }
  void Flush() {
    if (!points_.empty()) w_.Polyline(LayerOf(colour_), points_);
    points_.clear();
  }

 private:
  const std::string& LayerOf(secplot::Colour colour) const {
    for (std::size_t i = 0; i < layers_.size(); ++i)
      if (secplot::FileColour(static_cast<int>(i) + 1) == colour) return layers_[i];
    return layers_.front();
  }
  DxfWriter& w_;
  const std::vector<std::string>& layers_;
  double datum_, datumLevel_, k_, labelHeight_;
  std::vector<std::pair<double, double>> points_;
  secplot::Colour colour_ = 0;
  std::vector<LabelBox> labels_;  // the height labels written
};

}  // namespace

std::vector<std::string> LayerNames(const std::vector<std::string>& files) {
  std::vector<std::string> names;
  std::set<std::string> taken{"0", "TITLES", "DATUM"};
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string base = BaseName(files[i]);
    if (const auto dot = base.find_last_of('.'); dot != std::string::npos && dot > 0)
      base = base.substr(0, dot);
    std::string name;
    for (char c : base) {
      const auto u = static_cast<unsigned char>(c);
      name += (std::isalnum(u) && u < 128) ? static_cast<char>(std::toupper(u))
                                           : (c == '-' ? '-' : '_');
    }
    if (name.size() > 31) name.resize(31);
    if (name.empty()) name = "FILE" + std::to_string(i + 1);
    std::string unique = name;
    for (int n = 2; taken.count(unique); ++n) unique = name + "_" + std::to_string(n);
    taken.insert(unique);
    names.push_back(unique);
  }
  return names;
}

std::string DrawSectionsDxf(const SectionsOptions& o, SectionRun& run, const std::string& last,
                            const Progress& progress, SectionsResult* result) {
  PendingOutput pending;
  if (std::string e = pending.Reserve(o.output, o.overwrite); !e.empty()) return e;
  DxfWriter w(pending.TempPath());
  if (!w.Good()) return CannotWrite(o.output, w.Error());
  const std::vector<std::string> layers = LayerNames(run.FileNames());
  const double metresPerMm = o.horizontal / 1000.0;
  const auto [extMin, extMax] = WriteTables(w, layers, metresPerMm);

  const double title = 5 * metresPerMm;                   // 5 mm at the asked scale
  const double label = 2 * metresPerMm;                   // 2 mm
  const double exaggeration = o.horizontal / o.vertical;  // heights drawn at 1:V
  double bottom = 0;                                      // lower edge of the next band
  double left = 0, right = 0;                             // of the bands drawn
  int pages = 0;
  std::unique_ptr<DxfCanvas> canvas;
  std::optional<SectionFrame> frame;
  const std::string failed = run.Walk(
      o.from, last,
      [&](const SectionPage& page, std::string* error) -> secplot::SectionCanvas* {
        frame = FrameFor(page.extent, o.horizontal, o.vertical, o.heights);
        if (!frame) {
          *error = "section " + ShownName(page.name) + " reaches too far to be drawn";
          return nullptr;
        }
        const double datum = bottom + 3 * title;
        canvas = std::make_unique<DxfCanvas>(w, layers, datum, frame->y0, exaggeration, label);
        return canvas.get();
      },
      [&](const SectionPage& page) -> std::string {
        canvas.reset();
        const double datum = bottom + 3 * title;
        w.Line("DATUM", frame->x0, datum, frame->xr, datum);
        w.Text("DATUM", frame->x0, datum - 1.5 * label, label, 0, DatumText(frame->y0), false);
        w.Text("TITLES", (frame->x0 + frame->xr) / 2, bottom + title, title, 0,
               SectionTitle(ShownName(page.name), o.horizontal, o.vertical, page.chainage), true);
        bottom = datum + (frame->yt - frame->y0) * exaggeration + 2 * title;
        left = pages == 0 ? frame->x0 : std::min(left, frame->x0);
        right = pages == 0 ? frame->xr : std::max(right, frame->xr);
        ++pages;
        return w.Good() ? std::string() : CannotWrite(o.output, w.Error());
      },
      progress);
  if (!failed.empty()) return failed;
  w.EndSection();
  w.Pair(0, "EOF");
  w.FillHeaderPoint(extMin, left, 0);
  w.FillHeaderPoint(extMax, right, bottom);
  if (!w.Close()) return CannotWrite(o.output, w.Error());
  if (std::string e = pending.Commit(); !e.empty()) return e;
  if (result) {
    result->pages = pages;
    result->written = {o.output};
  }
  return {};
}

}  // namespace surveyexport
