// The plan exporter: the plotter's drawing pass into DXF, GeoPackage, GeoJSON, KML or CSV.
#include "export/plan_export.h"

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "converter/transforms.h"
#include "export/dxf_file.h"
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
// WGS 84 positions of grid points, through PROJ or through the suite's own chain, with
// the largest difference between the two.
class Wgs84 {
 public:
  std::string Open(DatumShift shift) {
    shift_ = shift;
    SpatialRef grid, wgs;
    std::string fault = ParseCrs(kDefaultCrs, &grid);
    if (fault.empty()) fault = ParseCrs("EPSG:4326", &wgs);
    if (!fault.empty()) return fault;
    official_ = OCTNewCoordinateTransformation(grid.get(), wgs.get());
    if (!official_) return "PROJ has no transformation from EPSG:2326 to EPSG:4326";
    return {};
  }
  ~Wgs84() {
    if (official_) OCTDestroyCoordinateTransformation(official_);
  }
  // Latitude and longitude (degrees) of a Grid80 point in the chosen way.
  bool Convert(double E, double N, double& lat, double& lon) {
    double x = E, y = N, z = 0;
    int ok = 0;
    const bool haveOfficial = OCTTransformEx(official_, 1, &x, &y, &z, &ok) && ok;
    double slat = 0, slon = 0;
    const bool haveSuite = SuiteGrid80ToWgs84(N, E, slat, slon);
    if (haveOfficial && haveSuite) {
      compared = true;
      largest = std::max(largest, WgsDistanceMetres(y, x, slat, slon));
    }
    if (shift_ == DatumShift::Official) {
      lat = y;  // traditional GIS order: x longitude, y latitude
      lon = x;
      return haveOfficial;
    }
    lat = slat;
    lon = slon;
    return haveSuite;
  }
  bool compared = false;
  double largest = 0;

 private:
  DatumShift shift_ = DatumShift::Official;
  OGRCoordinateTransformationH official_ = nullptr;
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
  std::string Open(const std::string& path, double metresPerPixel, bool flat, const double extent[4]) {
    if (!dxf_.Open(path)) return "cannot write " + path;
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
    return dxf_.Close() ? "" : "cannot write the DXF file (disk full?)";
  }

 private:
  void G(int code, const std::string& value) { dxf_.Pair(code, value); }
  void G(int code, const char* value) { dxf_.Pair(code, value); }
  std::string Check() { return dxf_.Good() ? "" : "cannot write the DXF file (disk full?)"; }
  DxfFile dxf_{DxfFile::Numbers::Exact};
  bool flat_ = false;
  double textHeight_ = 1;
};

// ---------------------------------------------------------------------------------------
// CSV: one row a record.
class CsvSink : public Sink {
 public:
  std::string Open(const std::string& path, Wgs84* wgs) {
    f_ = std::fopen(path.c_str(), "wb");
    if (!f_) return "cannot write " + path;
    wgs_ = wgs;
    std::fputs("file,number,easting,northing,height,code,line_marker", f_);
    if (wgs_) std::fputs(",latitude,longitude", f_);
    std::fputs("\n", f_);
    return {};
  }
  ~CsvSink() override {
    if (f_) std::fclose(f_);
  }
  std::string Point(const PlanRecord& r, Rgb) override {
    std::fprintf(f_, "%s,%lld,%s,%s,%s,%s,%d", r.reference ? "reference" : "main",
                 static_cast<long long>(r.number), ExactText(r.E).c_str(), ExactText(r.N).c_str(),
                 ExactText(r.height).c_str(), ExactText(r.code).c_str(), r.marker ? 1 : 0);
    if (wgs_) {
      double lat = 0, lon = 0;
      if (wgs_->Convert(r.E, r.N, lat, lon))
        std::fprintf(f_, ",%s,%s", ExactText(lat).c_str(), ExactText(lon).c_str());
      else
        std::fputs(",,", f_);
    }
    std::fputs("\n", f_);
    return std::ferror(f_) ? "cannot write the CSV file (disk full?)" : "";
  }
  std::string Polyline(const Run&) override { return {}; }
  std::string Finish() override {
    const bool bad = std::ferror(f_) != 0;
    const int closed = std::fclose(f_);
    f_ = nullptr;
    return bad || closed != 0 ? "cannot write the CSV file (disk full?)" : "";
  }

 private:
  std::FILE* f_ = nullptr;
  Wgs84* wgs_ = nullptr;
};

// ---------------------------------------------------------------------------------------
// GeoPackage, GeoJSON and KML through GDAL.
class OgrSink : public Sink {
 public:
  ~OgrSink() override {
    if (ds_) GDALClose(ds_);
  }
  // wgs: positions go out in WGS 84 through it; otherwise in the grid with crs.
  std::string Open(const std::string& path, Format format, OGRSpatialReferenceH crs, Wgs84* wgs,
                   bool flat, bool reference) {
    GDALDriverH driver = GDALGetDriverByName(GdalDriverName(format));
    if (!driver && format == Format::Kml) driver = GDALGetDriverByName("LIBKML");
    if (!driver) return std::string("GDAL has no ") + GdalDriverName(format) + " driver";
    ds_ = GDALCreate(driver, path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (!ds_) return "cannot write " + path;
    wgs_ = wgs;
    flat_ = flat;
    // GeoJSON holds one layer a file, and KML is written one layer after the other: the
    // records, which come as the pass reads them, go into one layer "plan" with a field
    // naming the layer they belong to.
    single_ = format == Format::GeoJson || format == Format::Kml;
    transactions_ = format == Format::Gpkg;
    SpatialRef wgsRef;
    if (wgs) {
      ParseCrs("EPSG:4326", &wgsRef);
      crs = wgsRef.get();
    }
    const OGRwkbGeometryType pointType = flat ? wkbPoint : wkbPoint25D;
    const OGRwkbGeometryType lineType = flat ? wkbLineString : wkbLineString25D;
    if (single_) {
      OGRLayerH l = GDALDatasetCreateLayer(ds_, "plan", crs, wkbUnknown, nullptr);
      if (!l) return "cannot write " + path;
      std::string fault = AddFields(l, true, true);
      if (!fault.empty()) return fault;
      layers_[0] = layers_[1] = layers_[2] = layers_[3] = l;
    } else {
      const char* names[4] = {"points", "lines", "ref_points", "ref_lines"};
      for (int i = 0; i < (reference ? 4 : 2); ++i) {
        OGRLayerH l = GDALDatasetCreateLayer(ds_, names[i], crs, i % 2 ? lineType : pointType, nullptr);
        if (!l) return "cannot write " + path;
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
    if (transactions_) GDALDatasetStartTransaction(ds_, FALSE);
    return {};
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
    if (transactions_ && GDALDatasetCommitTransaction(ds_) != OGRERR_NONE)
      return "cannot write the GeoPackage (disk full?)";
    GDALClose(ds_);
    ds_ = nullptr;
    return {};
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
      if (e != OGRERR_NONE) return std::string("cannot create the field ") + fd.name;
    }
    return {};
  }
  bool Place(double& x, double& y) {
    if (!wgs_) return true;
    double lat = 0, lon = 0;
    if (!wgs_->Convert(x, y, lat, lon)) return false;
    x = lon;
    y = lat;
    return true;
  }
  std::string Write(OGRLayerH l, OGRFeatureH f) {
    const OGRErr e = OGR_L_CreateFeature(l, f);
    OGR_F_Destroy(f);
    if (e != OGRERR_NONE) return "cannot write a feature";
    if (transactions_ && ++inTransaction_ >= 100000) {
      inTransaction_ = 0;
      if (GDALDatasetCommitTransaction(ds_) != OGRERR_NONE) return "cannot write the GeoPackage (disk full?)";
      GDALDatasetStartTransaction(ds_, FALSE);
    }
    return {};
  }

 public:
  std::int64_t unplaced = 0;

 private:
  enum { kNumber, kCode, kHeight, kMarker, kStyle, kFirst, kLast, kLayer, kFields };
  static constexpr const char* kFieldNames[kFields] = {"number", "code",  "height", "line_marker",
                                                       "style",  "first", "last",   "layer"};
  int field_[4][kFields] = {};
  GDALDatasetH ds_ = nullptr;
  OGRLayerH layers_[4] = {nullptr, nullptr, nullptr, nullptr};
  Wgs84* wgs_ = nullptr;
  bool flat_ = false, single_ = false, transactions_ = false;
  long inTransaction_ = 0;
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

double RecordsIn(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<double>(size / 24);
}

std::string CheckInput(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return "cannot open " + path + ": no such file";
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "cannot open " + path;
  std::fclose(f);
  if (RecordsIn(path) < 1) return path + " holds no whole record (24 bytes each)";
  return {};
}

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
  std::string fault = CheckInput(o.input);
  if (fault.empty() && !o.reference.empty()) fault = CheckInput(o.reference);
  if (!fault.empty()) return fault;
  if (o.format != Format::Dxf && o.format != Format::Gpkg && o.format != Format::GeoJson &&
      o.format != Format::Kml && o.format != Format::Csv)
    return o.output + ": a plan is written as .dxf, .gpkg, .geojson, .kml, .csv, .pdf or .svg";

  RegisterGdal();
  GdalErrorCapture gdalErrors;
  SpatialRef crs;
  if (o.format == Format::Gpkg) {
    fault = ParseCrs(o.crs, &crs);
    if (!fault.empty()) return fault;
  }
  const bool needWgs = o.format == Format::GeoJson || o.format == Format::Kml ||
                       (o.format == Format::Csv && o.wgs84);
  std::unique_ptr<Wgs84> wgs;
  if (needWgs) {
    wgs = std::make_unique<Wgs84>();
    fault = wgs->Open(o.datumShift);
    if (!fault.empty()) return fault;
  }

  // The view plandra fits after Start: it sets the label places and the text size.
  planplot::PlanState state;
  state.mainFileName = o.input;
  state.referenceFileName = o.reference;
  state.referencePresent = !o.reference.empty();
  fault = planplot::ScanFullExtent(state, planplot::OpenNehFile);
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
    fault = d->Open(pending.TempPath(), (state.mapping.right - state.mapping.left) / planplot::kPlotWidth,
                    o.flat, extent);
    sink = std::move(d);
  } else if (o.format == Format::Csv) {
    auto c = std::make_unique<CsvSink>();
    fault = c->Open(pending.TempPath(), wgs.get());
    sink = std::move(c);
  } else {
    auto g = std::make_unique<OgrSink>();
    fault = g->Open(pending.TempPath(), o.format, crs.get(), wgs.get(), o.flat, !o.reference.empty());
    sink = std::move(g);
  }
  if (!fault.empty()) {
    if (!gdalErrors.Last().empty()) fault += ": " + gdalErrors.Last();
    return o.output + ": " + fault;
  }

  const double total = RecordsIn(o.input) + (o.reference.empty() ? 0 : RecordsIn(o.reference));
  ExportCanvas canvas(*sink, summary, o.format == Format::Dxf, progress, total);
  const planplot::PassResult r = planplot::DrawPlanPass(state, planplot::kDarkScheme, planplot::OpenNehFile, canvas);
  summary.skipped = r.recordsSkipped;
  if (auto* g = dynamic_cast<OgrSink*>(sink.get())) {
    summary.points -= g->unplaced;
    summary.unplaced = g->unplaced;
  }
  if (canvas.stopped) return o.output + ": stopped; nothing written";
  if (!canvas.fault.empty())
    return o.output + ": " + canvas.fault + (gdalErrors.Last().empty() ? "" : ": " + gdalErrors.Last());
  if (!r.fault.empty()) return r.fault;
  fault = sink->Finish();
  sink.reset();
  if (!fault.empty()) return o.output + ": " + fault;
  if (progress) progress(1.0);
  if (wgs) {
    summary.shiftCompared = wgs->compared;
    summary.largestShiftDifference = wgs->largest;
  }
  return pending.Commit();
}

}  // namespace surveyexport
