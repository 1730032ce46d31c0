// The plan exporter: the plotter's drawing pass into DXF, GeoPackage, GeoJSON, KML or CSV.
#include "export/plan_export.h"

#include "export/crs_rule.h"

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "converter/transforms.h"
#include "export/checked_file.h"
#include "export/dxf_file.h"
#include "export/input_check.h"
#include "export/gdal_output.h"
#include "planplot/plan_canvas.h"
#include "planplot/plan_core.h"

namespace surveyexport {
namespace {

using planplot::PenStyle;
using planplot::PlanLabel;
using planplot::PlanRecord;
using planplot::RecordRole;
using planplot::Rgb;

// One run of joined records, written as a polyline.
struct Run {
  std::vector<double> E, N, Z;
  int style = 0;
  Rgb colour = 0;
  double code = 0;
  std::int64_t first = 0, last = 0;
  bool reference = false;
};

struct TextItem {
  PlanLabel::Kind kind;
  double E, N;
  const std::string* text;
  Rgb colour;
  bool reference;
};

// Where the records go. Each returns "" or one line saying what failed.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual std::string Point(const PlanRecord& r, Rgb colour) = 0;
  virtual std::string Polyline(const Run& run) = 0;
  virtual std::string Text(const TextItem&) { return {}; }
  virtual std::string Finish() = 0;
};

// ---------------------------------------------------------------------------------------
// DXF (AutoCAD R12 layout, which every CAD program reads), written as the pass goes.
int Aci(Rgb c) {
  switch (c & 0xFFFFFF) {
    case 0xFF0000: return 1;
    case 0xFFFF00: return 2;
    case 0x00FF00: return 3;
    case 0x00FFFF: return 4;
    case 0x0000FF: return 5;
    default: return 7;  // white on a dark screen, black on paper
  }
}

const char* LinetypeName(int style) {
  switch (planplot::StylePen(style)) {
    case PenStyle::Dash: return "DASHED";
    case PenStyle::Dot: return "DOTTED";
    case PenStyle::DashDot: return "DASHDOT";
    case PenStyle::DashDotDot: return "DASHDOTDOT";
    default: return "CONTINUOUS";
  }
}

class DxfSink : public Sink {
 public:
  // metresPerPixel: the size of one screen pixel of the fitted view, which sets the dash
  // patterns and the text height so that the drawing reads as the screen does.
  std::string Open(const PendingOutput& out, double metresPerPixel, bool flat, const double extent[4]) {
    target_ = out.Target();
    if (!dxf_.Open(out.TempPath())) return CannotWrite(target_, dxf_.Error());
    flat_ = flat;
    const double px = metresPerPixel > 0 && std::isfinite(metresPerPixel) ? metresPerPixel : 0.01;
    // 7 points on a 96 dpi screen; the capital height is about 0.7 of it.
    textHeight_ = 7.0 * 96.0 / 72.0 * 0.7 * px;
    dxf_.BeginSection("HEADER");
    G(9, "$ACADVER");
    G(1, "AC1009");
    G(9, "$INSUNITS");
    G(70, "6");
    G(9, "$EXTMIN");
    G(10, ExactText(extent[0]));
    G(20, ExactText(extent[1]));
    G(30, "0");
    G(9, "$EXTMAX");
    G(10, ExactText(extent[2]));
    G(20, ExactText(extent[3]));
    G(30, "0");
    dxf_.EndSection();
    dxf_.BeginSection("TABLES");
    // Dash patterns as the screen pen draws them, in pixels: dash 4 gap 2, dot 1 gap 2.
    struct Ltype {
      const char* name;
      const char* look;
      std::vector<double> pattern;
    };
    const std::vector<Ltype> types{
        {"CONTINUOUS", "Solid line", {}},
        {"DASHED", "__ __ __", {4, -2}},
        {"DOTTED", ". . . .", {0, -2}},
        {"DASHDOT", "__ . __ .", {4, -2, 0, -2}},
        {"DASHDOTDOT", "__ . . __", {4, -2, 0, -2, 0, -2}},
    };
    dxf_.BeginTable("LTYPE", static_cast<int>(types.size()));
    for (const Ltype& t : types) {
      double total = 0;
      std::vector<double> elements;
      for (double v : t.pattern) {
        total += std::fabs(v == 0 ? 1 : v) * px;
        elements.push_back(v * px);
      }
      dxf_.LineType(t.name, t.look, elements, total);
    }
    dxf_.EndTable();
    struct Layer {
      std::string name;
      int colour;
      const char* ltype;
    };
    std::vector<Layer> layers{{"POINTS", 2, "CONTINUOUS"}};
    const int colours[10] = {7, 1, 2, 3, 4, 5, 1, 1, 1, 1};
    for (int d = 0; d <= 9; ++d)
      layers.push_back({"LINES_" + std::to_string(d), colours[d], LinetypeName(d)});
    layers.push_back({"NUMBERS", 3, "CONTINUOUS"});
    layers.push_back({"LEVELS", 7, "CONTINUOUS"});
    layers.push_back({"REF_POINTS", 5, "CONTINUOUS"});
    layers.push_back({"REF_LINES", 5, "CONTINUOUS"});
    dxf_.BeginTable("LAYER", static_cast<int>(layers.size()) + 1);
    dxf_.Layer("0", 7, "CONTINUOUS");
    for (const Layer& l : layers) dxf_.Layer(l.name, l.colour, l.ltype);
    dxf_.EndTable();
    dxf_.BeginTable("STYLE", 1);
    G(0, "STYLE");
    G(2, "STANDARD");
    G(70, "0");
    G(40, "0");
    G(41, "1");
    G(50, "0");
    G(71, "0");
    G(42, ExactText(textHeight_));
    G(3, "txt");
    G(4, "");
    dxf_.EndTable();
    dxf_.EndSection();
    dxf_.BeginSection("ENTITIES");
    return Check();
  }

  std::string Point(const PlanRecord& r, Rgb colour) override {
    G(0, "POINT");
    G(8, r.reference ? "REF_POINTS" : "POINTS");
    G(62, std::to_string(Aci(colour)));
    G(10, ExactText(r.E));
    G(20, ExactText(r.N));
    G(30, flat_ ? "0" : ExactText(r.height));
    return Check();
  }
  std::string Polyline(const Run& run) override {
    G(0, "POLYLINE");
    G(8, run.reference ? std::string("REF_LINES") : "LINES_" + std::to_string(run.style));
    G(6, LinetypeName(run.style));
    G(62, std::to_string(Aci(run.colour)));
    G(66, "1");
    G(10, "0");
    G(20, "0");
    G(30, "0");
    G(70, flat_ ? "0" : "8");  // 8: a 3D polyline
    for (size_t i = 0; i < run.E.size(); ++i) {
      G(0, "VERTEX");
      G(8, run.reference ? std::string("REF_LINES") : "LINES_" + std::to_string(run.style));
      G(10, ExactText(run.E[i]));
      G(20, ExactText(run.N[i]));
      G(30, flat_ ? "0" : ExactText(run.Z[i]));
      G(70, flat_ ? "0" : "32");
    }
    G(0, "SEQEND");
    G(8, run.reference ? std::string("REF_LINES") : "LINES_" + std::to_string(run.style));
    return Check();
  }
  std::string Text(const TextItem& t) override {
    // Top-left aligned at the label's corner, turned by the escapement of the label font.
    G(0, "TEXT");
    G(8, t.kind == PlanLabel::Number ? "NUMBERS" : "LEVELS");
    G(62, std::to_string(Aci(t.colour)));
    G(10, ExactText(t.E));
    G(20, ExactText(t.N));
    G(30, "0");
    G(40, ExactText(textHeight_));
    G(1, *t.text);
    G(50, "10");
    G(72, "0");
    G(11, ExactText(t.E));
    G(21, ExactText(t.N));
    G(31, "0");
    G(73, "3");
    return Check();
  }
  std::string Finish() override {
    dxf_.EndSection();
    G(0, "EOF");
    return dxf_.Close() ? "" : CannotWrite(target_, dxf_.Error());
  }

 private:
  void G(int code, const std::string& value) { dxf_.Pair(code, value); }
  void G(int code, const char* value) { dxf_.Pair(code, value); }
  std::string Check() { return dxf_.Good() ? "" : CannotWrite(target_, dxf_.Error()); }
  DxfFile dxf_{DxfFile::Numbers::Exact};
  std::string target_;
  bool flat_ = false;
  double textHeight_ = 1;
};

// ---------------------------------------------------------------------------------------
// CSV: one row a record.
class CsvSink : public Sink {
 public:
  // wgs: latitude and longitude columns through it (a rule into EPSG:4326), or none.
  std::string Open(const PendingOutput& out, CoordinateRule* wgs) {
    target_ = out.Target();
    if (!f_.Open(out.TempPath())) return CannotWrite(target_, f_.Error());
    wgs_ = wgs;
    f_.Write("file,number,easting,northing,height,code,line_marker");
    if (wgs_) f_.Write(",latitude,longitude");
    f_.Write("\n");
    return {};
  }
  std::string Point(const PlanRecord& r, Rgb) override {
    std::string row = r.reference ? "reference," : "main,";
    row += std::to_string(r.number) + ',' + ExactText(r.E) + ',' + ExactText(r.N) + ',' +
           ExactText(r.height) + ',' + ExactText(r.code) + (r.marker ? ",1" : ",0");
    if (wgs_) {
      double lat = 0, lon = 0;
      if (wgs_->Place(r.E, r.N, lon, lat))
        row += ',' + ExactText(lat) + ',' + ExactText(lon);
      else
        row += ",,";
    }
    row += '\n';
    f_.Write(row);
    return f_.Good() ? "" : CannotWrite(target_, f_.Error());
  }
  std::string Polyline(const Run&) override { return {}; }
  std::string Finish() override {
    return f_.Close() == 0 ? "" : CannotWrite(target_, f_.Error());
  }

 private:
  CheckedFile f_;
  std::string target_;
  CoordinateRule* wgs_ = nullptr;
};

// ---------------------------------------------------------------------------------------
// GeoPackage, GeoJSON and KML through GDAL.
class OgrSink : public Sink {
 public:
  // Positions go out in the rule's system, transformed from the grid.
  std::string Open(const PendingOutput& pending, Format format, CoordinateRule* rule, bool flat,
                   bool reference) {
    if (std::string fault = out_.Create(format, pending); !fault.empty()) return fault;
    ds_ = out_.Dataset();
    rule_ = rule;
    flat_ = flat;
    undefinedCartesian_ = format == Format::Gpkg && rule->None();
    // GeoJSON holds one layer a file, and KML is written one layer after the other: the
    // records, which come as the pass reads them, go into one layer "plan" with a field
    // naming the layer they belong to.
    single_ = format == Format::GeoJson || format == Format::Kml;
    OGRSpatialReferenceH crs = rule->Srs();
    const OGRwkbGeometryType pointType = flat ? wkbPoint : wkbPoint25D;
    const OGRwkbGeometryType lineType = flat ? wkbLineString : wkbLineString25D;
    if (single_) {
      OGRLayerH l = GDALDatasetCreateLayer(ds_, "plan", crs, wkbUnknown, nullptr);
      if (!l) return out_.Failure();
      std::string fault = AddFields(l, true, true);
      if (!fault.empty()) return fault;
      layers_[0] = layers_[1] = layers_[2] = layers_[3] = l;
    } else {
      const char* names[4] = {"points", "lines", "ref_points", "ref_lines"};
      for (int i = 0; i < (reference ? 4 : 2); ++i) {
        OGRLayerH l = GDALDatasetCreateLayer(ds_, names[i], crs, i % 2 ? lineType : pointType, nullptr);
        if (!l) return out_.Failure();
        std::string fault = AddFields(l, i % 2 == 0, i % 2 == 1);
        if (!fault.empty()) return fault;
        layers_[i] = l;
      }
    }
    for (int i = 0; i < 4; ++i) {
      if (!layers_[i]) continue;
      OGRFeatureDefnH d = OGR_L_GetLayerDefn(layers_[i]);
      for (int k = 0; k < kFields; ++k) field_[i][k] = OGR_FD_GetFieldIndex(d, kFieldNames[k]);
    }
    return out_.Begin();
  }

  std::string Point(const PlanRecord& r, Rgb) override {
    const int li = r.reference ? 2 : 0;
    OGRLayerH l = layers_[li];
    const int* fi = field_[li];
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(l));
    OGR_F_SetFieldInteger64(f, fi[kNumber], r.number);
    OGR_F_SetFieldDouble(f, fi[kCode], r.code);
    OGR_F_SetFieldDouble(f, fi[kHeight], r.height);
    OGR_F_SetFieldInteger(f, fi[kMarker], r.marker ? 1 : 0);
    if (single_) OGR_F_SetFieldString(f, fi[kLayer], r.reference ? "ref_points" : "points");
    OGRGeometryH g = OGR_G_CreateGeometry(flat_ ? wkbPoint : wkbPoint25D);
    double x = r.E, y = r.N;
    if (!Place(x, y)) {
      // No WGS 84 position for it: left out and counted.
      OGR_G_DestroyGeometry(g);
      OGR_F_Destroy(f);
      ++unplaced;
      return {};
    }
    if (flat_) OGR_G_SetPoint_2D(g, 0, x, y);
    else OGR_G_SetPoint(g, 0, x, y, r.height);
    OGR_F_SetGeometryDirectly(f, g);
    return Write(l, f);
  }
  std::string Polyline(const Run& run) override {
    const int li = run.reference ? 3 : 1;
    OGRLayerH l = layers_[li];
    const int* fi = field_[li];
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(l));
    OGR_F_SetFieldInteger(f, fi[kStyle], run.style);
    OGR_F_SetFieldDouble(f, fi[kCode], run.code);
    OGR_F_SetFieldInteger64(f, fi[kFirst], run.first);
    OGR_F_SetFieldInteger64(f, fi[kLast], run.last);
    if (single_) OGR_F_SetFieldString(f, fi[kLayer], run.reference ? "ref_lines" : "lines");
    OGRGeometryH g = OGR_G_CreateGeometry(flat_ ? wkbLineString : wkbLineString25D);
    for (size_t i = 0; i < run.E.size(); ++i) {
      double x = run.E[i], y = run.N[i];
      if (!Place(x, y)) continue;
      if (flat_) OGR_G_AddPoint_2D(g, x, y);
      else OGR_G_AddPoint(g, x, y, run.Z[i]);
    }
    OGR_F_SetGeometryDirectly(f, g);
    return Write(l, f);
  }
  std::string Finish() override {
    if (std::string fault = out_.Commit(); !fault.empty()) return fault;
    if (undefinedCartesian_) {
      // GDAL files a layer without a system under srs_id 0, "undefined geographic"; the
      // grid values of --crs none are Cartesian metres: srs_id -1.
      for (const char* sql : {"UPDATE gpkg_geometry_columns SET srs_id = -1",
                              "UPDATE gpkg_contents SET srs_id = -1"}) {
        OGRLayerH r = GDALDatasetExecuteSQL(ds_, sql, nullptr, nullptr);
        if (r) GDALDatasetReleaseResultSet(ds_, r);
      }
    }
    ds_ = nullptr;
    return out_.Finish();
  }

 private:
  std::string AddFields(OGRLayerH l, bool point, bool line) {
    struct F {
      const char* name;
      OGRFieldType type;
      bool point, line;
    };
    const F fields[] = {{"number", OFTInteger64, true, false}, {"code", OFTReal, true, true},
                        {"height", OFTReal, true, false},      {"line_marker", OFTInteger, true, false},
                        {"style", OFTInteger, false, true},     {"first", OFTInteger64, false, true},
                        {"last", OFTInteger64, false, true}};
    if (single_) {
      OGRFieldDefnH d = OGR_Fld_Create("layer", OFTString);
      OGR_L_CreateField(l, d, TRUE);
      OGR_Fld_Destroy(d);
    }
    for (const F& fd : fields) {
      if (!((point && fd.point) || (line && fd.line))) continue;
      OGRFieldDefnH d = OGR_Fld_Create(fd.name, fd.type);
      const OGRErr e = OGR_L_CreateField(l, d, TRUE);
      OGR_Fld_Destroy(d);
      if (e != OGRERR_NONE) return out_.Failure(std::string("the field ") + fd.name + " cannot be made");
    }
    return {};
  }
  bool Place(double& x, double& y) { return rule_->Place(x, y, x, y); }
  std::string Write(OGRLayerH l, OGRFeatureH f) {
    std::string fault = out_.Write(l, f);
    OGR_F_Destroy(f);
    return fault;
  }

 public:
  std::int64_t unplaced = 0;

 private:
  enum { kNumber, kCode, kHeight, kMarker, kStyle, kFirst, kLast, kLayer, kFields };
  static constexpr const char* kFieldNames[kFields] = {"number", "code",  "height", "line_marker",
                                                       "style",  "first", "last",   "layer"};
  int field_[4][kFields] = {};
  GdalOutput out_;
  GDALDatasetH ds_ = nullptr;
  OGRLayerH layers_[4] = {nullptr, nullptr, nullptr, nullptr};
  CoordinateRule* rule_ = nullptr;
  bool undefinedCartesian_ = false;  // GeoPackage without a system: srs_id -1
  bool flat_ = false, single_ = false;
};

// ---------------------------------------------------------------------------------------
// The surface the pass draws on: it turns records, lines and labels into points, runs and
// texts for the sink.
class ExportCanvas : public planplot::PlanCanvas {
 public:
  ExportCanvas(Sink& sink, PlanExportSummary& summary, bool labels, const Progress& progress,
               double totalRecords)
      : sink_(sink), summary_(summary), labels_(labels), progress_(progress), total_(totalRecords) {}

  void BeginPass(const planplot::LabelFont&, const planplot::PlanMapping&) override {}
  void EndPass() override { FlushRun(); }
  void Record(const PlanRecord& r) override {
    if (!fault.empty()) return;
    if (r.reference != current_.reference || r.role == RecordRole::Point || r.role == RecordRole::LineStart)
      FlushRun();
    previous_ = current_;
    previousEmpty_ = currentEmpty_;
    current_ = r;
    // An unused slot (northing and easting both 0) has no position: it is left out, and
    // no line is drawn to or from it.
    currentEmpty_ = r.E == 0 && r.N == 0;
    if (currentEmpty_) {
      ++summary_.empty;
      FlushRun();
      return;
    }
    // Every record is a surveyed point, in the pixel colour of its file.
    const Rgb colour = r.reference ? planplot::kBlue : planplot::kYellow;
    Keep(sink_.Point(r, colour));
    ++summary_.points;
    if (r.role == RecordRole::LineStart) StartRun(r);
  }
  void Pixel(double, double, Rgb) override {}
  void Line(double, double, double, double, Rgb colour, PenStyle) override {
    if (!fault.empty()) return;
    const int style = current_.styleDigit;
    if (currentEmpty_) return;
    if (run_.E.empty()) {
      // The line goes on from an unused slot: a new run starts here.
      if (previousEmpty_) StartRun(current_);
      if (current_.role == RecordRole::LineEnd) run_ = Run();
      return;
    } else if (run_.E.size() >= 2 && (run_.style != style || run_.colour != colour)) {
      // The style or the colour changes: the run so far ends at the previous record.
      const PlanRecord from = previous_;
      FlushRun();
      StartRun(from);
    }
    run_.style = style;
    run_.colour = colour;
    run_.code = current_.code;
    run_.E.push_back(current_.E);
    run_.N.push_back(current_.N);
    run_.Z.push_back(current_.height);
    run_.last = current_.number;
    if (current_.role == RecordRole::LineEnd) FlushRun();
  }
  void Label(const PlanLabel& l) override {
    if (!fault.empty() || !labels_ || currentEmpty_) return;
    TextItem t{l.kind, l.E, l.N, &l.text, l.colour, current_.reference};
    Keep(sink_.Text(t));
    ++summary_.labels;
  }
  bool KeepAlive() override {
    if (progress_ && (++calls_ & 0x3FFF) == 0 && total_ > 0) {
      if (!progress_(std::min(1.0, static_cast<double>(calls_) / total_))) {
        stopped = true;
        return false;
      }
    }
    return fault.empty();
  }

  std::string fault;
  bool stopped = false;

 private:
  void Keep(std::string f) {
    if (fault.empty() && !f.empty()) fault = std::move(f);
  }
  void StartRun(const PlanRecord& r) {
    run_ = Run();
    run_.reference = r.reference;
    run_.first = r.number;
    run_.last = r.number;
    run_.E.push_back(r.E);
    run_.N.push_back(r.N);
    run_.Z.push_back(r.height);
  }
  void FlushRun() {
    if (run_.E.size() >= 2) {
      Keep(sink_.Polyline(run_));
      ++summary_.lines;
    }
    run_ = Run();
  }
  Sink& sink_;
  PlanExportSummary& summary_;
  bool labels_;
  Progress progress_;
  double total_;
  std::int64_t calls_ = 0;
  PlanRecord current_, previous_;
  bool currentEmpty_ = false, previousEmpty_ = false;
  Run run_;
};

}  // namespace

bool SuiteGrid80ToWgs84(double northing, double easting, double& latitude, double& longitude) {
  if (!std::isfinite(northing) || !std::isfinite(easting)) return false;
  norvane::Conversion c;
  c.store[norvane::System::Grid80] = {northing, easting};
  if (norvane::EnsureGeo84(c) != norvane::Fault::None) return false;
  const norvane::Pair g = c.store[norvane::System::Geo84];
  latitude = g.first;
  longitude = g.second;
  return std::isfinite(latitude) && std::isfinite(longitude);
}

double WgsDistanceMetres(double lat1, double lon1, double lat2, double lon2) {
  // Radii of curvature of WGS 84 at the mean latitude: exact to far below a millimetre
  // over the few metres two datum shifts differ by.
  constexpr double a = 6378137.0, f = 1 / 298.257223563, e2 = f * (2 - f);
  constexpr double rad = 3.14159265358979323846 / 180;
  const double phi = (lat1 + lat2) / 2 * rad;
  const double w = std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
  const double meridian = a * (1 - e2) / (w * w * w), prime = a / w;
  const double dn = (lat2 - lat1) * rad * meridian, de = (lon2 - lon1) * rad * prime * std::cos(phi);
  return std::hypot(dn, de);
}

std::string ExportPlan(const PlanExportOptions& o, const Progress& progress, PlanExportSummary& summary) {
  summary = PlanExportSummary();
  // The files are checked before anything is written, and watched while they are read.
  WatchedNehFiles inputs;
  std::vector<std::string> files{o.input};
  if (!o.reference.empty()) files.push_back(o.reference);
  std::string fault = inputs.Check(files);
  if (!fault.empty()) return fault;
  if (o.format != Format::Dxf && o.format != Format::Gpkg && o.format != Format::GeoJson &&
      o.format != Format::Kml && o.format != Format::Csv)
    return o.output + ": a plan is written as .dxf, .gpkg, .geojson, .kml, .csv, .pdf or .svg";

  RegisterGdal();
  GdalErrorCapture gdalErrors;
  // The system of the coordinates written: GIS layers in --crs (KML always in WGS 84),
  // the CSV's latitude and longitude in WGS 84; both transformed from the grid.
  std::unique_ptr<CoordinateRule> rule;
  if (o.format == Format::Gpkg || o.format == Format::GeoJson || o.format == Format::Kml ||
      (o.format == Format::Csv && o.wgs84)) {
    rule = std::make_unique<CoordinateRule>();
    const bool wgsOnly = o.format == Format::Kml || o.format == Format::Csv;
    fault = rule->Open(wgsOnly ? "EPSG:4326" : o.crs, o.datumShift);
    if (!fault.empty()) return fault;
  }

  // The view plandra fits after Start: it sets the label places and the text size.
  planplot::PlanState state;
  state.mainFileName = o.input;
  state.referenceFileName = o.reference;
  state.referencePresent = !o.reference.empty();
  fault = planplot::ScanFullExtent(state, inputs.Opener());
  if (!fault.empty()) return fault;
  planplot::FitViewWindow(state);
  planplot::ApplyViewWindow(state);
  state.showNumbers = o.numbers;
  state.showLevels = o.levels;

  PendingOutput pending;
  fault = pending.Reserve(o.output, o.overwrite);
  if (!fault.empty()) return fault;

  std::unique_ptr<Sink> sink;
  if (o.format == Format::Dxf) {
    auto d = std::make_unique<DxfSink>();
    const double extent[4] = {state.Elo, state.Nlo, state.Ehi, state.Nhi};
    fault = d->Open(pending, (state.mapping.right - state.mapping.left) / planplot::kPlotWidth,
                    o.flat, extent);
    sink = std::move(d);
  } else if (o.format == Format::Csv) {
    auto c = std::make_unique<CsvSink>();
    fault = c->Open(pending, rule.get());
    sink = std::move(c);
  } else {
    auto g = std::make_unique<OgrSink>();
    fault = g->Open(pending, o.format, rule.get(), o.flat, !o.reference.empty());
    sink = std::move(g);
  }
  if (!fault.empty()) return fault;  // one line naming the output

  ExportCanvas canvas(*sink, summary, o.format == Format::Dxf, progress, inputs.Records());
  const planplot::PassResult r = planplot::DrawPlanPass(state, planplot::kDarkScheme, inputs.Opener(), canvas);
  summary.skipped = r.recordsSkipped;
  if (auto* g = dynamic_cast<OgrSink*>(sink.get())) {
    summary.points -= g->unplaced;
    summary.unplaced = g->unplaced;
  }
  if (canvas.stopped) return o.output + ": stopped; nothing written";
  if (!canvas.fault.empty()) return canvas.fault;  // one line naming the output
  // A file cut or changed while it was read, or one that gave nothing to draw.
  if (std::string problem = inputs.Problem(); !problem.empty()) return problem;
  if (!r.fault.empty()) return r.fault;
  fault = sink->Finish();
  sink.reset();
  if (!fault.empty()) return fault;
  if (progress) progress(1.0);
  if (rule) {
    summary.shiftCompared = rule->compared;
    summary.largestShiftDifference = rule->largest;
  }
  return pending.Commit();
}

}  // namespace surveyexport
