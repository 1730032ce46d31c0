// The coordinate-system rule of surveyexport: which CRS texts are taken, and how grid
// positions are transformed into the output's system.
#include "export/crs_rule.h"

#include <cmath>
#include <cstring>

#include <cpl_conv.h>
#include <ogr_spatialref.h>

#include "toolkit/number_text.h"

namespace surveyexport {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool Has(const std::string& lower, const char* part) {
  return lower.find(part) != std::string::npos;
}

// The grid's origin (E, N), and Hong Kong on the earth (longitude, latitude).
constexpr double kGridOriginE = 836694.05, kGridOriginN = 819069.80;
constexpr double kHongKongLon = 114.18, kHongKongLat = 22.31;

// A long text (a WKT, an area's description) cut to its start for a message, at a whole
// UTF-8 letter.
std::string Shortened(const std::string& text) {
  if (text.size() <= 60) return text;
  std::size_t cut = 57;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut) + "...";
}

// The text as a message quotes it: escaped, and a long WKT cut to its start.
std::string Quoted(const std::string& text) { return "'" + Shown(Shortened(text)) + "'"; }

// Opens a checked text with GDAL's limits for user input: no file, no network.
std::string Open(const std::string& text, SpatialRef* out) {
  RegisterGdal();
  GdalErrorCapture quiet;
  auto* srs = new OGRSpatialReference();
  if (srs->SetFromUserInput(text.c_str(),
                            OGRSpatialReference::SET_FROM_USER_INPUT_LIMITATIONS_get()) !=
      OGRERR_NONE) {
    srs->Release();
    return "unknown CRS " + Quoted(text);
  }
  srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  out->reset(OGRSpatialReference::ToHandle(srs));
  return {};
}

// PROJ's operation between two systems, or null where it has none. A "ballpark" operation
// (PROJ's stand-in where it knows no datum shift: none at all, some 300 m off in Hong Kong)
// is taken only where `ballpark` says so.
OGRCoordinateTransformationH Between(OGRSpatialReferenceH from, OGRSpatialReferenceH to,
                                     bool ballpark = false) {
  GdalErrorCapture quiet;
  OGRCoordinateTransformationOptionsH options = OCTNewCoordinateTransformationOptions();
  OCTCoordinateTransformationOptionsSetBallparkAllowed(options, ballpark ? TRUE : FALSE);
  OGRCoordinateTransformationH t = OCTNewCoordinateTransformationEx(from, to, options);
  OCTDestroyCoordinateTransformationOptions(options);
  return t;
}

}  // namespace

// The text as PROJ will read it: JSON's escaped "/" and ":" written out, and the metadata
// that names a web address without anything ever being fetched from it (PROJJSON's
// "$schema", WKT's URI[...]) taken away, so that only what could be opened remains.
std::string ForChecking(const std::string& text) {
  std::string s = text;
  const auto replaceAll = [&s](const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
      s.replace(at, from.size(), to);
  };
  replaceAll("\\/", "/");
  for (const char* slash : {"\\u002f", "\\u002F"}) replaceAll(slash, "/");
  for (const char* colon : {"\\u003a", "\\u003A"}) replaceAll(colon, ":");
  const auto dropQuoted = [&s](const std::string& key, const std::string& open, char close) {
    for (std::size_t at = s.find(key); at != std::string::npos; at = s.find(key)) {
      const std::size_t start = s.find(open, at + key.size());
      const std::size_t end =
          start == std::string::npos ? start : s.find(close, start + open.size());
      if (end == std::string::npos) return;
      s.erase(at, end + 1 - at);
    }
  };
  dropQuoted("\"$schema\"", "\"", '"');
  dropQuoted("URI[", "\"", ']');
  return s;
}

std::string CheckCrsText(const std::string& text) {
  if (text.empty()) return "unknown CRS ''";
  const std::string lower = Lower(ForChecking(text));
  if (lower == "none") return {};
  if (text.size() > 100000)
    return "CRS text too long (" + std::to_string(text.size()) + " characters)";
  const std::string refused =
      "CRS " + Quoted(text) +
      " names a file or a network resource: give the system inline (EPSG:n, a PROJ string, WKT)";
  // A file or a network resource at any depth: /vsi... of any nesting, URLs, paths,
  // +init= files, and grids given by path.
  if (Has(lower, "/vsi") || Has(lower, "://") || Has(lower, "init=") || Has(lower, "file:"))
    return refused;
  if (Has(lower, "proj=pipeline"))
    return "CRS " + Quoted(text) + " is a coordinate operation, not a coordinate system";
  const char first = lower.front();
  if (first == '/' || first == '.' || first == '~' || first == '\\') return refused;
  // A grid named by path (+nadgrids=/x.gtx, PARAMETERFILE["...","/x"]); PROJ's own names
  // (@null, a file of its data) are no paths. Only the words after each key count: a
  // system's name holds "/" too ("WGS 84 / Pseudo-Mercator").
  for (const char* key : {"grids=", "parameterfile", "gridfile"}) {
    for (std::size_t at = lower.find(key); at != std::string::npos; at = lower.find(key, at + 1)) {
      const std::size_t end = lower.find_first_of(" ],", at + std::strlen(key) + 2);
      const std::string value = lower.substr(at, end == std::string::npos ? end : end - at);
      if (Has(value, "/") || Has(value, "\\")) return refused;
    }
  }
  // EPSG:n is digits to the end: EPSG:3265O is not EPSG:3265.
  if (lower.rfind("epsg:", 0) == 0) {
    const std::string code = text.substr(5);
    if (code.empty() || code.size() > 9 ||
        code.find_first_not_of("0123456789") != std::string::npos)
      return "unknown CRS " + Quoted(text) + " (EPSG: takes a number)";
  }
  SpatialRef srs;
  return Open(text, &srs);
}

bool CrsIsWgs84Based(const std::string& text) {
  if (Lower(text) == "none") return false;
  SpatialRef srs, wgs;
  if (!Open(text, &srs).empty() || !Open("EPSG:4326", &wgs).empty()) return false;
  const auto* s = OGRSpatialReference::FromHandle(srs.get());
  const auto* w = OGRSpatialReference::FromHandle(wgs.get());
  const char* options[] = {"CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
  return s->IsSameGeogCS(w, options) != 0;
}

std::string ParseCrs(const std::string& text, SpatialRef* out) {
  out->reset();
  if (Lower(text) == "none") return {};
  if (std::string e = CheckCrsText(text); !e.empty()) return e;
  return Open(text, out);
}

std::string ParseCrs(const std::string& text, OGRSpatialReferenceH* out) {
  SpatialRef srs;
  std::string problem = ParseCrs(text, &srs);
  *out = srs.release();
  return problem;
}

// Gives a system its EPSG code where it is one: by GDAL's own rules (UTM on WGS 84 ...),
// else by PROJ's database where an EPSG system is the same system (its name aside). True
// when it has one.
bool NameByEpsgCode(SpatialRef& srs) {
  auto* s = OGRSpatialReference::FromHandle(srs.get());
  const auto named = [s] {
    const char* authority = s->GetAuthorityName(nullptr);
    return authority && Lower(authority) == "epsg" && s->GetAuthorityCode(nullptr);
  };
  if (named()) return true;
  GdalErrorCapture quiet;
  s->AutoIdentifyEPSG();
  if (named()) return true;
  OGRSpatialReference* match = s->FindBestMatch(70, "EPSG");  // a name of its own costs 30
  const char* same[] = {"CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
  if (!match || !match->IsSame(s, same)) {
    if (match) match->Release();
    return false;
  }
  match->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  srs.reset(OGRSpatialReference::ToHandle(match));
  return true;
}

bool CrsHasEpsgCode(const std::string& text) {
  if (Lower(text) == "none") return false;
  SpatialRef srs;
  return Open(text, &srs).empty() && NameByEpsgCode(srs);
}

CoordinateRule::~CoordinateRule() {
  for (OGRCoordinateTransformationH t : {gridToTarget_, gridToWgs_, wgsToTarget_}) {
    if (t) OCTDestroyCoordinateTransformation(t);
  }
}

std::string CoordinateRule::Open(const std::string& text, DatumShift shift) {
  RegisterGdal();
  GdalErrorCapture quiet;  // PROJ's own complaints are said in the one line below
  shift_ = shift;
  if (Lower(text) == "none") {
    none_ = identity_ = true;
    // GeoPackage's undefined Cartesian system (srs_id -1), not its undefined geographic
    // one (0), which would take the grid's metres for degrees.
    auto* local = new OGRSpatialReference();
    if (local->SetFromUserInput("LOCAL_CS[\"Undefined Cartesian SRS\"]") != OGRERR_NONE) {
      local->Release();
      return "GDAL cannot describe an undefined Cartesian system";
    }
    target_.reset(OGRSpatialReference::ToHandle(local));
    return {};
  }
  if (std::string e = CheckCrsText(text); !e.empty()) return e;
  SpatialRef grid, wgs;
  if (std::string e = surveyexport::Open(text, &target_); !e.empty()) return e;
  if (std::string e = surveyexport::Open(kDefaultCrs, &grid); !e.empty()) return e;
  if (std::string e = surveyexport::Open("EPSG:4326", &wgs); !e.empty()) return e;
  // Named by its EPSG code where it is one, so that every format can record it.
  NameByEpsgCode(target_);
  // The system as a message names it ("unknown" is PROJ's name for a nameless one).
  const auto Named = [this] { return Name() == "unknown" ? std::string("that system") : Name(); };
  const auto* t = OGRSpatialReference::FromHandle(target_.get());
  // A map holds eastings and northings or longitudes and latitudes: a geocentric system
  // (X, Y, Z from the earth's centre), a vertical or an engineering one would take the
  // numbers under another meaning.
  if (!t->IsProjected() && !t->IsGeographic())
    return Name() + " is not a map's system (--crs " + Quoted(text) +
           "): give a projected or a geographic system";
  // Heights written under a system of three axes would be taken as its own heights (above
  // the ellipsoid); the survey's are above Principal Datum.
  if (t->GetAxesCount() > 2)
    return Name() + " has heights of its own (--crs " + Quoted(text) +
           "): the survey's are above Principal Datum; give a two-dimensional system";
  // A system made for another part of the world (a state plane of New York) would take the
  // survey a world away from its area, where its numbers mean nothing: refused. Its area
  // widened by six degrees, so that the zones beside Hong Kong's (UTM 49N, 51N) still serve.
  double west = 0, south = 0, east = 0, north = 0;
  const char* area = nullptr;
  const bool hasArea = t->GetAreaOfUse(&west, &south, &east, &north, &area) && west > -1000;
  if (!hasArea && t->IsProjected()) {
    // A PROJ string has no area of use. A transverse Mercator (UTM among them) serves only
    // near its central meridian, and a UTM zone only in its hemisphere; other projections
    // (Mercator of the whole world) say nothing of where they are for.
    int northern = 1;
    if (t->GetUTMZone(&northern) != 0 && !northern)
      return Name() + " is for the southern hemisphere (--crs " + Quoted(text) +
             "): give a system for Hong Kong";
    const char* projection = t->GetAttrValue("PROJECTION");
    OGRErr missing = OGRERR_NONE;
    const double lon = t->GetNormProjParm(SRS_PP_CENTRAL_MERIDIAN, kHongKongLon, &missing);
    if (projection && std::string(projection) == SRS_PT_TRANSVERSE_MERCATOR &&
        missing == OGRERR_NONE && std::fabs(std::remainder(lon - kHongKongLon, 360.0)) > 12)
      return Named() + " is centred on longitude " + toolkit::PlainNumberText(lon) + " (--crs " +
             Quoted(text) + "), far from Hong Kong: give a system for Hong Kong";
  }
  if (hasArea) {
    constexpr double kMargin = 6;
    const double lon = kHongKongLon, lat = kHongKongLat;
    const bool lonInside = west <= east ? lon >= west - kMargin && lon <= east + kMargin
                                        : lon >= west - kMargin || lon <= east + kMargin;
    if (!lonInside || lat < south - kMargin || lat > north + kMargin)
      return Name() + " is made for another area (" + Shown(Shortened(area ? area : "")) +
             "; --crs " + Quoted(text) + "): give a system for Hong Kong";
  }
  geographic_ = t->IsGeographic();
  const char* exact[] = {"CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
  identity_ = t->IsSame(OGRSpatialReference::FromHandle(grid.get()), exact);
  if (identity_) return {};
  wgsBased_ = CrsIsWgs84Based(text);
  targetIsWgs84_ = t->IsSame(OGRSpatialReference::FromHandle(wgs.get()), exact);
  gridToTarget_ = Between(grid.get(), target_.get());
  // A system on the grid's own ellipsoid (International 1924) without a datum PROJ knows,
  // a site grid written as a PROJ string, is taken as on the grid's datum: no shift.
  if (!gridToTarget_ && t->GetSemiMajor() == 6378388.0 && t->GetInvFlattening() == 297.0 &&
      !t->GetAuthorityCode("DATUM"))
    gridToTarget_ = Between(grid.get(), target_.get(), true);
  if (wgsBased_) {
    gridToWgs_ = Between(grid.get(), wgs.get());
    if (!targetIsWgs84_) wgsToTarget_ = Between(wgs.get(), target_.get());
  }
  if (!gridToTarget_ || (wgsBased_ && (!gridToWgs_ || (!targetIsWgs84_ && !wgsToTarget_)))) {
    const std::string lower = Lower(text);
    const bool noDatum = Has(lower, "+proj=") && !Has(lower, "+datum=") && !Has(lower, "towgs84");
    return "PROJ has no transformation from the Hong Kong 1980 Grid to " + Named() + " (--crs " +
           Quoted(text) + ")" + (noDatum ? ": a PROJ string needs its +datum= or +towgs84=" : "");
  }
  // A transformation that needs a grid PROJ does not have takes nothing: tried on the
  // grid's own origin before anything is written.
  double x = 0, y = 0;
  if (!Place(kGridOriginE, kGridOriginN, x, y)) {
    compared = false;
    largest = 0;
    return "PROJ cannot transform the Hong Kong 1980 Grid into " + Named() + " (--crs " +
           Quoted(text) + "): Hong Kong lies outside what it reaches, or a grid it needs is " +
           "not installed";
  }
  compared = false;
  largest = 0;
  return {};
}

std::string CoordinateRule::Name() const {
  if (none_) return "No coordinate system";
  const char* name = target_ ? OSRGetName(target_.get()) : nullptr;
  if (identity_ || !name || !*name) return "Hong Kong 1980 Grid";
  return name;
}

std::string CoordinateRule::Origin() const {
  if (identity_) return {};
  const std::string from = "Transformed from the Hong Kong 1980 Grid (EPSG:2326) ";
  if (!wgsBased_) return from + "by PROJ";
  return from + (shift_ == DatumShift::Suite
                     ? "through WGS 84 by the suite's own datum shift (the converter's chain)"
                     : "by PROJ, with its official datum shift into WGS 84");
}

bool CoordinateRule::Place(double easting, double northing, double& x, double& y) {
  if (!(std::isfinite(easting) && std::isfinite(northing))) return false;
  if (identity_) {
    x = easting;
    y = northing;
    return true;
  }
  // The grid's projection means nothing a thousand kilometres from its origin (a damaged
  // record): PROJ would wrap such a northing round to a plausible latitude.
  constexpr double kReach = 1e6;
  if (std::hypot(easting - kGridOriginE, northing - kGridOriginN) > kReach) return false;
  double ox = easting, oy = northing, oz = 0;
  int ok = 0;
  const bool official = OCTTransformEx(gridToTarget_, 1, &ox, &oy, &oz, &ok) && ok;
  if (!wgsBased_) {
    x = ox;
    y = oy;
    return official;
  }
  // Through WGS 84: the suite's own chain beside PROJ's, and their difference.
  double lon = easting, lat = northing, z = 0;
  int wgsOk = 0;
  const bool haveOfficial = OCTTransformEx(gridToWgs_, 1, &lon, &lat, &z, &wgsOk) && wgsOk;
  double slat = 0, slon = 0;
  const bool haveSuite = SuiteGrid80ToWgs84(northing, easting, slat, slon);
  if (haveOfficial && haveSuite) {
    compared = true;
    const double d = WgsDistanceMetres(lat, lon, slat, slon);
    if (d > largest) largest = d;
  }
  if (shift_ == DatumShift::Official) {
    x = ox;
    y = oy;
    return official;
  }
  if (!haveSuite) return false;
  x = slon;
  y = slat;
  if (targetIsWgs84_) return true;
  z = 0;
  ok = 0;
  return OCTTransformEx(wgsToTarget_, 1, &x, &y, &z, &ok) && ok;
}

}  // namespace surveyexport
