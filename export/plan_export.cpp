// The plan exporter: the plotter's drawing pass into DXF, GeoPackage, GeoJSON, KML or CSV.
#include "export/plan_export.h"

#include "export/crs_rule.h"

#include <cpl_string.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

#include "converter/transforms.h"
#include "export/checked_file.h"
#include "export/dxf_file.h"
#include "export/dxf_style.h"
#include "export/input_check.h"
#include "export/gdal_output.h"
#include "export/output_styles.h"
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
  PenStyle pen = PenStyle::Solid;
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

  std::int64_t unplaced = 0;       // points without a position in the output's system, left out
  std::int64_t unplacedLines = 0;  // lines left with fewer than two positions, left out
  std::int64_t unlocated = 0;      // CSV rows kept without their latitude and longitude
};

// ---------------------------------------------------------------------------------------
// DXF (AutoCAD R12 layout, which every CAD program reads), written as the pass goes.
int Aci(Rgb c) { return AciColour(c); }

const char* LinetypeName(int style) { return DxfLineTypeName(planplot::StylePen(style)); }

// The height of the label texts: plandra's 7 point font on a 96 dpi screen, whose capitals
// are about 0.7 of it, in metres of one pixel of the fitted view.
double LabelTextHeight(double metresPerPixel) {
  const double px = metresPerPixel > 0 && std::isfinite(metresPerPixel) ? metresPerPixel : 0.01;
  return 7.0 * 96.0 / 72.0 * 0.7 * px;
}
// The angle of the labels: the escapement of the plotter's label font.
constexpr double kLabelAngle = 10;

// The extent of everything a plan drawing holds: the positions of both files' records and
// the label texts (their corner, height and angle, and a width of a text height a letter,
// more than any letter of the drawing's font takes). A pass of its own, before the drawing
// is written, as the extent heads the file.
class ExtentCanvas : public planplot::PlanCanvas {
 public:
  ExtentCanvas(bool labels, double textHeight, const Progress& progress)
      : labels_(labels),
        height_(textHeight),
        places_(textHeight, kLabelAngle),
        progress_(progress) {}
  void BeginPass(const planplot::LabelFont&, const planplot::PlanMapping&) override {}
  void EndPass() override {}
  void Record(const PlanRecord& r) override {
    empty_ = r.E == 0 && r.N == 0;  // an unused slot: not written
    if (empty_) return;
    places_.NewRecord(r.E, r.N);
    Add(r.E, r.N);
  }
  void Pixel(double, double, Rgb) override {}
  void Line(double, double, double, double, Rgb, PenStyle) override {}
  void Label(const PlanLabel& l) override {
    if (!labels_ || empty_) return;
    const TextCorner at = places_.Place(l.E, l.N);
    const double a = kLabelAngle * 3.14159265358979323846 / 180;
    const double w = height_ * static_cast<double>(l.text.size());
    const double ax = std::cos(a), ay = std::sin(a), dx = std::sin(a) * height_,
                 dy = -std::cos(a) * height_;
    Add(at.x, at.y);
    Add(at.x + w * ax, at.y + w * ay);
    Add(at.x + dx, at.y + dy);
    Add(at.x + w * ax + dx, at.y + w * ay + dy);
  }
  // The caller may stop it (the window's Cancel) as it may stop the writing.
  bool KeepAlive() override {
    if (progress_ && (++calls_ & 0x3FFF) == 0 && !progress_(0.0)) stopped = true;
    return !stopped;
  }

  bool any = false, stopped = false;
  double extent[4] = {0, 0, 0, 0};  // lowest easting, northing; highest easting, northing

 private:
  void Add(double E, double N) {
    if (!(std::isfinite(E) && std::isfinite(N))) return;
    if (!any) {
      extent[0] = extent[2] = E;
      extent[1] = extent[3] = N;
      any = true;
      return;
    }
    extent[0] = std::min(extent[0], E);
    extent[1] = std::min(extent[1], N);
    extent[2] = std::max(extent[2], E);
    extent[3] = std::max(extent[3], N);
  }
  bool labels_;
  double height_;
  LabelPlaces places_;
  Progress progress_;
  std::int64_t calls_ = 0;
  bool empty_ = false;
};

class DxfSink : public Sink {
 public:
  // metresPerPixel: the size of one screen pixel of the fitted view, which sets the dash
  // patterns and the text height so that the drawing reads as the screen does.
  std::string Open(const PendingOutput& out, double metresPerPixel, bool flat,
                   const double extent[4]) {
    target_ = out.Target();
    if (!dxf_.Open(out.TempPath())) return CannotWrite(target_, dxf_.Error());
    flat_ = flat;
    const double px = metresPerPixel > 0 && std::isfinite(metresPerPixel) ? metresPerPixel : 0.01;
    textHeight_ = LabelTextHeight(px);
    places_ = LabelPlaces(textHeight_, kLabelAngle);
    // An R12 drawing has no header variable for its units ($INSUNITS came with R2000 and
    // makes readers scale an R12 file by a thousand): the units are said in a comment, and
    // a drawing unit is a metre of the grid (or of --crs).
    G(999, kDxfUnitsComment);
    dxf_.BeginSection("HEADER");
    G(9, "$ACADVER");
    G(1, "AC1009");
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
    // Dash patterns as the screen pen draws them, in pixels of the fitted view.
    WriteDxfLineTypes(dxf_, px);
    struct Layer {
      std::string name;
      int colour;
      const char* ltype;
    };
    std::vector<Layer> layers{{"POINTS", 2, "CONTINUOUS"}};
    // Styles 6 to 9 keep the colour in force; their layers take the pass's first colour.
    for (int d = 0; d <= 9; ++d)
      layers.push_back({"LINES_" + std::to_string(d),
                        Aci(planplot::StyleColour(d, planplot::kRed, planplot::kDarkScheme)),
                        LinetypeName(d)});
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
    places_.NewRecord(r.E, r.N);  // its labels follow
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
    G(6, DxfLineTypeName(run.pen));
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
    const TextCorner at = places_.Place(t.E, t.N);
    G(0, "TEXT");
    G(8, t.kind == PlanLabel::Number ? "NUMBERS" : "LEVELS");
    G(62, std::to_string(Aci(t.colour)));
    G(10, ExactText(at.x));
    G(20, ExactText(at.y));
    G(30, "0");
    G(40, ExactText(textHeight_));
    G(1, *t.text);
    G(50, ExactText(kLabelAngle));
    G(72, "0");
    G(11, ExactText(at.x));
    G(21, ExactText(at.y));
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
  LabelPlaces places_{1, kLabelAngle};
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
    f_.Write(",colour\n");
    return {};
  }
  std::string Point(const PlanRecord& r, Rgb colour) override {
    std::string row = r.reference ? "reference," : "main,";
    row += std::to_string(r.number) + ',' + ExactText(r.E) + ',' + ExactText(r.N) + ',' +
           ExactText(r.height) + ',' + ExactText(r.code) + (r.marker ? ",1" : ",0");
    if (wgs_) {
      double lat = 0, lon = 0;
      if (wgs_->Place(r.E, r.N, lon, lat)) {
        row += ',' + ExactText(lat) + ',' + ExactText(lon);
      } else {
        row += ",,";
        ++unlocated;
      }
    }
    row += ',' + HexColour(colour) + '\n';
    f_.Write(row);
    return f_.Good() ? "" : CannotWrite(target_, f_.Error());
  }
  std::string Polyline(const Run&) override { return {}; }
  std::string Finish() override { return f_.Close() == 0 ? "" : CannotWrite(target_, f_.Error()); }

 private:
  CheckedFile f_;
  std::string target_;
  CoordinateRule* wgs_ = nullptr;
};

// ---------------------------------------------------------------------------------------
// GeoPackage and GeoJSON through GDAL.
class OgrSink : public Sink {
 public:
  // Positions go out in the rule's system, transformed from the grid.
  std::string Open(const PendingOutput& pending, Format format, CoordinateRule* rule, bool flat,
                   bool reference) {
    if (std::string fault = out_.Create(format, pending); !fault.empty()) return fault;
    ds_ = out_.Dataset();
    rule_ = rule;
    flat_ = flat;
    format_ = format;
    // GeoJSON holds one layer a file: the records go into one layer "plan" with a field
    // naming the layer they belong to.
    single_ = format == Format::GeoJson;
    OGRSpatialReferenceH crs = rule->Srs();
    const OGRwkbGeometryType pointType = flat ? wkbPoint : wkbPoint25D;
    const OGRwkbGeometryType lineType = flat ? wkbLineString : wkbLineString25D;
    // The file says how its positions came into its system (which datum shift, above all).
    CPLStringList layerOptions;
    if (!rule->Origin().empty()) layerOptions.SetNameValue("DESCRIPTION", rule->Origin().c_str());
    char** options = layerOptions.List();
    if (single_) {
      OGRLayerH l = GDALDatasetCreateLayer(ds_, "plan", crs, wkbUnknown, options);
      if (!l) return out_.Failure();
      std::string fault = AddFields(l, true, true);
      if (!fault.empty()) return fault;
      layers_[0] = layers_[1] = layers_[2] = layers_[3] = l;
    } else {
      const char* names[4] = {"points", "lines", "ref_points", "ref_lines"};
      for (int i = 0; i < (reference ? 4 : 2); ++i) {
        OGRLayerH l =
            GDALDatasetCreateLayer(ds_, names[i], crs, i % 2 ? lineType : pointType, options);
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
    if (std::string fault = out_.Begin(); !fault.empty()) return fault;
    // QGIS opens each layer of a GeoPackage in the style its layer_styles table marks as
    // the layer's default: plandra's colours and dashes, from the colour and dash fields.
    if (format == Format::Gpkg) return WriteLayerStyles(reference ? 4 : 2);
    return {};
  }

  std::string Point(const PlanRecord& r, Rgb colour) override {
    const int li = r.reference ? 2 : 0;
    OGRLayerH l = layers_[li];
    const int* fi = field_[li];
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(l));
    SetWhole(f, fi[kNumber], static_cast<double>(r.number));
    SetWhole(f, fi[kCode], r.code);
    OGR_F_SetFieldDouble(f, fi[kHeight], r.height);
    OGR_F_SetFieldInteger(f, fi[kMarker], r.marker ? 1 : 0);
    if (single_) OGR_F_SetFieldString(f, fi[kLayer], r.reference ? "ref_points" : "points");
    SetText(f, fi[kColour], HexColour(colour));
    SetText(f, fi[kMarkerColour], HexColour(colour));
    OGRGeometryH g = OGR_G_CreateGeometry(flat_ ? wkbPoint : wkbPoint25D);
    double x = r.E, y = r.N;
    if (!Place(x, y)) {
      // No WGS 84 position for it: left out and counted.
      OGR_G_DestroyGeometry(g);
      OGR_F_Destroy(f);
      ++unplaced;
      return {};
    }
    if (flat_)
      OGR_G_SetPoint_2D(g, 0, x, y);
    else
      OGR_G_SetPoint(g, 0, x, y, r.height);
    OGR_F_SetGeometryDirectly(f, g);
    return Write(l, f);
  }
  std::string Polyline(const Run& run) override {
    const int li = run.reference ? 3 : 1;
    OGRLayerH l = layers_[li];
    const int* fi = field_[li];
    OGRGeometryH g = OGR_G_CreateGeometry(flat_ ? wkbLineString : wkbLineString25D);
    int placed = 0;
    for (size_t i = 0; i < run.E.size(); ++i) {
      double x = run.E[i], y = run.N[i];
      if (!Place(x, y)) continue;
      ++placed;
      if (flat_)
        OGR_G_AddPoint_2D(g, x, y);
      else
        OGR_G_AddPoint(g, x, y, run.Z[i]);
    }
    if (placed < 2) {  // not a line where it can be shown: left out and counted
      OGR_G_DestroyGeometry(g);
      ++unplacedLines;
      return {};
    }
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(l));
    OGR_F_SetFieldInteger(f, fi[kStyle], run.style);
    SetWhole(f, fi[kCode], run.code);
    SetWhole(f, fi[kFirst], static_cast<double>(run.first));
    SetWhole(f, fi[kLast], static_cast<double>(run.last));
    if (single_) OGR_F_SetFieldString(f, fi[kLayer], run.reference ? "ref_lines" : "lines");
    SetText(f, fi[kColour], HexColour(run.colour));
    SetText(f, fi[kDash], DashName(run.pen));
    SetText(f, fi[kStroke], HexColour(run.colour));
    SetWhole(f, fi[kStrokeWidth], kLineWidthPixels);
    OGR_F_SetGeometryDirectly(f, g);
    return Write(l, f);
  }
  std::string Finish() override {
    if (std::string fault = out_.Commit(); !fault.empty()) return fault;
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
    const OGRFieldType whole = OFTInteger64;
    const bool json = format_ == Format::GeoJson;
    const F fields[] = {{"number", whole, true, false},
                        {"code", whole, true, true},
                        {"height", OFTReal, true, false},
                        {"line_marker", OFTInteger, true, false},
                        {"style", OFTInteger, false, true},
                        {"first", whole, false, true},
                        {"last", whole, false, true},
                        {"colour", OFTString, true, true},
                        {"dash", OFTString, false, true},
                        // GeoJSON's simplestyle properties, which web maps draw with.
                        {"stroke", OFTString, false, json},
                        {"stroke-width", OFTInteger, false, json},
                        {"marker-color", OFTString, json, false}};
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
      if (e != OGRERR_NONE)
        return out_.Failure(std::string("the field ") + fd.name + " cannot be made");
    }
    return {};
  }
  bool Place(double& x, double& y) { return rule_->Place(x, y, x, y); }
  // A whole number into an integer field; one beyond the field's range (a damaged packed
  // height's code) is left empty rather than cut.
  static void SetWhole(OGRFeatureH f, int field, double v) {
    if (field >= 0 && std::fabs(v) <= 9.2e18)
      OGR_F_SetFieldInteger64(f, field, static_cast<GIntBig>(v));
  }
  // Text into a field the layer has (GeoJSON's own fields are its only).
  static void SetText(OGRFeatureH f, int field, const std::string& text) {
    if (field >= 0) OGR_F_SetFieldString(f, field, text.c_str());
  }
  // One row a layer in layer_styles, as QGIS keeps its styles in a GeoPackage.
  std::string WriteLayerStyles(int layers) {
    CPLStringList options;
    options.SetNameValue("FID", "id");
    OGRLayerH l = out_.CreateLayer("layer_styles", nullptr, wkbNone, options.List());
    if (!l) return out_.Failure("the table layer_styles cannot be made");
    struct F {
      const char* name;
      OGRFieldType type;
      int width;
    };
    const F fields[] = {{"f_table_catalog", OFTString, 256},
                        {"f_table_schema", OFTString, 256},
                        {"f_table_name", OFTString, 256},
                        {"f_geometry_column", OFTString, 256},
                        {"styleName", OFTString, 30},
                        {"styleQML", OFTString, 0},
                        {"styleSLD", OFTString, 0},
                        {"useAsDefault", OFTInteger, 0},
                        {"description", OFTString, 0},
                        {"owner", OFTString, 30},
                        {"ui", OFTString, 30},
                        {"update_time", OFTDateTime, 0}};
    for (const F& fd : fields) {
      OGRFieldDefnH d = OGR_Fld_Create(fd.name, fd.type);
      OGR_Fld_SetWidth(d, fd.width);
      if (fd.type == OFTInteger) OGR_Fld_SetSubType(d, OFSTBoolean);
      const OGRErr e = OGR_L_CreateField(l, d, TRUE);
      OGR_Fld_Destroy(d);
      if (e != OGRERR_NONE) return out_.Failure("the table layer_styles cannot be made");
    }
    const char* names[4] = {"points", "lines", "ref_points", "ref_lines"};
    for (int i = 0; i < layers; ++i) {
      OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(l));
      OGR_F_SetFieldString(f, 0, "");
      OGR_F_SetFieldString(f, 1, "");
      OGR_F_SetFieldString(f, 2, names[i]);
      OGR_F_SetFieldString(f, 3, OGR_L_GetGeometryColumn(layers_[i]));
      OGR_F_SetFieldString(f, 4, names[i]);
      OGR_F_SetFieldString(f, 5, LayerQml(i % 2 == 1).c_str());
      OGR_F_SetFieldString(f, 6, "");
      OGR_F_SetFieldInteger(f, 7, 1);
      OGR_F_SetFieldString(f, 8,
                           i % 2 ? "plandra's colours and dashes, from the colour and dash fields"
                                 : "plandra's point colours, from the colour field");
      OGR_F_SetFieldString(f, 9, "");
      time_t now = time(nullptr);
      struct tm utc {};
      gmtime_r(&now, &utc);
      OGR_F_SetFieldDateTime(f, 11, utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                             utc.tm_min, utc.tm_sec, 100);
      if (std::string fault = Write(l, f); !fault.empty()) return fault;
    }
    return {};
  }
  std::string Write(OGRLayerH l, OGRFeatureH f) {
    std::string fault = out_.Write(l, f);
    OGR_F_Destroy(f);
    return fault;
  }

 private:
  enum {
    kNumber,
    kCode,
    kHeight,
    kMarker,
    kStyle,
    kFirst,
    kLast,
    kLayer,
    kColour,
    kDash,
    kStroke,
    kStrokeWidth,
    kMarkerColour,
    kFields
  };
  static constexpr const char* kFieldNames[kFields] = {
      "number", "code",   "height", "line_marker", "style",        "first",       "last",
      "layer",  "colour", "dash",   "stroke",      "stroke-width", "marker-color"};
  int field_[4][kFields] = {};
  GdalOutput out_;
  GDALDatasetH ds_ = nullptr;
  OGRLayerH layers_[4] = {nullptr, nullptr, nullptr, nullptr};
  CoordinateRule* rule_ = nullptr;
  Format format_ = Format::Unknown;
  bool flat_ = false, single_ = false;
};

// ---------------------------------------------------------------------------------------
// KML as Google Earth reads it, written here as the pass goes: GDAL's KML writer gives
// every placemark a style of its own and points none. One <Style> a colour and dash heads
// the Document (gathered by a pass of its own, since styles come before the placemarks),
// and each placemark names its style by <styleUrl>. Fields go into the Schema and
// ExtendedData that GDAL's KML readers and Google Earth read back; WGS 84 longitude,
// latitude and height, each number in the shortest text that reads back as the same double.

// The styles a plan's placemarks name, by id.
class KmlStyles : public Sink {
 public:
  std::string Point(const PlanRecord&, Rgb colour) override {
    return Add(false, colour, PenStyle::Solid);
  }
  std::string Polyline(const Run& run) override { return Add(true, run.colour, run.pen); }
  std::string Finish() override { return {}; }

  std::map<std::string, std::string> styles;

 private:
  std::string Add(bool line, Rgb colour, PenStyle pen) {
    std::string id = KmlStyleId(line, colour, pen);
    if (!styles.count(id)) styles.emplace(std::move(id), KmlStyle(line, colour, pen));
    return {};
  }
};

class KmlSink : public Sink {
 public:
  // rule: into EPSG:4326, longitude first.
  std::string Open(const PendingOutput& out, CoordinateRule* rule, bool flat,
                   const std::map<std::string, std::string>& styles) {
    target_ = out.Target();
    if (!f_.Open(out.TempPath())) return CannotWrite(target_, f_.Error());
    rule_ = rule;
    flat_ = flat;
    std::string head =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document id=\"root_doc\">\n";
    // Which datum shift brought the positions into WGS 84 (the text holds no markup).
    head += "<description>" + rule->Origin() + "</description>\n";
    for (const auto& [id, style] : styles) head += style + '\n';
    // Integers are 32-bit in KML (xsd:int).
    head +=
        "<Schema name=\"plan\" id=\"plan\">\n"
        "\t<SimpleField name=\"layer\" type=\"string\"></SimpleField>\n"
        "\t<SimpleField name=\"number\" type=\"int\"></SimpleField>\n"
        "\t<SimpleField name=\"code\" type=\"int\"></SimpleField>\n"
        "\t<SimpleField name=\"height\" type=\"float\"></SimpleField>\n"
        "\t<SimpleField name=\"line_marker\" type=\"int\"></SimpleField>\n"
        "\t<SimpleField name=\"style\" type=\"int\"></SimpleField>\n"
        "\t<SimpleField name=\"first\" type=\"int\"></SimpleField>\n"
        "\t<SimpleField name=\"last\" type=\"int\"></SimpleField>\n"
        "\t<SimpleField name=\"colour\" type=\"string\"></SimpleField>\n"
        "\t<SimpleField name=\"dash\" type=\"string\"></SimpleField>\n"
        "</Schema>\n<Folder><name>plan</name>\n";
    f_.Write(head);
    return Check();
  }

  std::string Point(const PlanRecord& r, Rgb colour) override {
    double x = r.E, y = r.N;
    if (!rule_->Place(x, y, x, y)) {
      ++unplaced;  // no WGS 84 position for it: left out and counted
      return {};
    }
    std::string p = "<Placemark><name>" + std::to_string(r.number) + "</name><styleUrl>#" +
                    KmlStyleId(false, colour, PenStyle::Solid) + "</styleUrl>";
    Data(p, r.reference ? "ref_points" : "points");
    Whole(p, "number", static_cast<double>(r.number));
    Whole(p, "code", r.code);
    Field(p, "height", ExactText(r.height));
    Field(p, "line_marker", r.marker ? "1" : "0");
    Field(p, "colour", HexColour(colour));
    p += "</SchemaData></ExtendedData>\n<Point><coordinates>";
    Position(p, x, y, r.height);
    p += "</coordinates></Point></Placemark>\n";
    f_.Write(p);
    return Check();
  }

  std::string Polyline(const Run& run) override {
    std::string line;
    int placed = 0;
    for (size_t i = 0; i < run.E.size(); ++i) {
      double x = run.E[i], y = run.N[i];
      if (!rule_->Place(x, y, x, y)) continue;
      if (placed++) line += ' ';
      Position(line, x, y, run.Z[i]);
    }
    if (placed < 2) {  // not a line where it can be shown: left out and counted
      ++unplacedLines;
      return {};
    }
    // Named by the records it runs between, as Google Earth lists it.
    std::string p = "<Placemark><name>" + std::string(run.reference ? "Reference line " : "Line ") +
                    std::to_string(run.first) + "-" + std::to_string(run.last) +
                    "</name><styleUrl>#" + KmlStyleId(true, run.colour, run.pen) + "</styleUrl>";
    Data(p, run.reference ? "ref_lines" : "lines");
    Whole(p, "code", run.code);
    Field(p, "style", std::to_string(run.style));
    Whole(p, "first", static_cast<double>(run.first));
    Whole(p, "last", static_cast<double>(run.last));
    Field(p, "colour", HexColour(run.colour));
    Field(p, "dash", DashName(run.pen));
    p += "</SchemaData></ExtendedData>\n<LineString><coordinates>" + line +
         "</coordinates></LineString></Placemark>\n";
    f_.Write(p);
    return Check();
  }

  std::string Finish() override {
    f_.Write("</Folder>\n</Document>\n</kml>\n");
    return f_.Close() == 0 ? "" : CannotWrite(target_, f_.Error());
  }

 private:
  static void Data(std::string& p, const char* layer) {
    p += "<ExtendedData><SchemaData schemaUrl=\"#plan\">";
    Field(p, "layer", layer);
  }
  static void Field(std::string& p, const char* name, const std::string& value) {
    p += std::string("<SimpleData name=\"") + name + "\">" + value + "</SimpleData>";
  }
  // A whole number; one beyond KML's integers (a damaged packed height's code) is left
  // out rather than cut.
  static void Whole(std::string& p, const char* name, double v) {
    if (std::fabs(v) <= 2147483647.0) Field(p, name, std::to_string(static_cast<long long>(v)));
  }
  void Position(std::string& p, double x, double y, double z) const {
    p += ExactText(x) + ',' + ExactText(y);
    if (!flat_) p += ',' + ExactText(z);
  }
  std::string Check() { return f_.Good() ? "" : CannotWrite(target_, f_.Error()); }

  CheckedFile f_;
  std::string target_;
  CoordinateRule* rule_ = nullptr;
  bool flat_ = false;
};

// ---------------------------------------------------------------------------------------
// The surface the pass draws on: it turns records, lines and labels into points, runs and
// texts for the sink.
class ExportCanvas : public planplot::PlanCanvas {
 public:
  ExportCanvas(Sink& sink, PlanExportSummary& summary, bool labels, const Progress& progress,
               double totalRecords)
      : sink_(sink),
        summary_(summary),
        labels_(labels),
        progress_(progress),
        total_(totalRecords) {}

  void BeginPass(const planplot::LabelFont&, const planplot::PlanMapping&) override {}
  void EndPass() override { FlushRun(); }
  void Record(const PlanRecord& drawn) override {
    if (!fault.empty()) return;
    // Heights to the decimals the file holds, as every command writes them.
    PlanRecord r = drawn;
    r.height = HeightAsStored({drawn.height, drawn.code});
    if (r.reference != current_.reference || r.role == RecordRole::Point ||
        r.role == RecordRole::LineStart)
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
  void Line(double, double, double, double, Rgb colour, PenStyle pen) override {
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
    run_.pen = pen;
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
  const double dn = (lat2 - lat1) * rad * meridian,
               de = (lon2 - lon1) * rad * prime * std::cos(phi);
  return std::hypot(dn, de);
}

bool PlanPassExtent(const planplot::PlanState& state, const planplot::NehOpener& opener,
                    bool labels, double textHeight, const Progress& progress, double extent[4],
                    bool* stopped) {
  ExtentCanvas bounds(labels, textHeight, progress);
  planplot::PlanState pass = state;
  planplot::DrawPlanPass(pass, planplot::kDarkScheme, opener, bounds);
  *stopped = bounds.stopped;
  if (bounds.stopped || !bounds.any) return false;
  std::copy(bounds.extent, bounds.extent + 4, extent);
  return true;
}

std::string ExportPlan(const PlanExportOptions& o, const Progress& progress,
                       PlanExportSummary& summary) {
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

  // The colours of the scheme of the map the output is seen on: GIS maps are white (QGIS's
  // canvas, web maps), as plandra's light build draws; Google Earth's imagery and a CAD
  // model space are dark, as plandra's dark build draws.
  const planplot::PlanScheme& scheme = o.format == Format::Gpkg || o.format == Format::GeoJson
                                           ? planplot::kLightScheme
                                           : planplot::kDarkScheme;
  Progress passProgress = progress;
  std::unique_ptr<Sink> sink;
  if (o.format == Format::Dxf) {
    auto d = std::make_unique<DxfSink>();
    const double px = (state.mapping.right - state.mapping.left) / planplot::kPlotWidth;
    // The extent of everything written, the reference file and the labels included.
    double extent[4] = {state.Elo, state.Nlo, state.Ehi, state.Nhi};
    bool stopped = false;
    PlanPassExtent(state, inputs.Opener(), o.numbers || o.levels, LabelTextHeight(px), progress,
                   extent, &stopped);
    if (stopped) return o.output + ": stopped; nothing written";
    fault = d->Open(pending, px, o.flat, extent);
    sink = std::move(d);
  } else if (o.format == Format::Kml) {
    // The styles first, as they head the file; the reading is the lesser part of the time.
    constexpr double kStylePart = 0.2;
    KmlStyles styles;
    PlanExportSummary ignored;
    const Progress styleProgress =
        progress ? Progress([&](double done) { return progress(done * kStylePart); }) : nullptr;
    ExportCanvas gather(styles, ignored, false, styleProgress, inputs.Records());
    planplot::PlanState gatherState = state;
    planplot::DrawPlanPass(gatherState, scheme, inputs.Opener(), gather);
    if (gather.stopped) return Shown(o.output) + ": stopped; nothing written";
    if (progress)
      passProgress = [&](double done) { return progress(kStylePart + done * (1 - kStylePart)); };
    auto k = std::make_unique<KmlSink>();
    fault = k->Open(pending, rule.get(), o.flat, styles.styles);
    sink = std::move(k);
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

  ExportCanvas canvas(*sink, summary, o.format == Format::Dxf, passProgress, inputs.Records());
  const planplot::PassResult r = planplot::DrawPlanPass(state, scheme, inputs.Opener(), canvas);
  summary.skipped = r.recordsSkipped;
  summary.points -= sink->unplaced;
  summary.unplaced = sink->unplaced;
  summary.unlocated = sink->unlocated;
  summary.lines -= sink->unplacedLines;
  if (canvas.stopped) return Shown(o.output) + ": stopped; nothing written";
  if (summary.points == 0 && summary.unplaced > 0)
    return Shown(o.output) + ": no point has a position in " + rule->Name() + "; nothing written";
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
