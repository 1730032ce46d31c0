#pragma once
// The coordinate system of an output's coordinates, and the one rule that puts the
// suite's grid values into it: --crs names the system the coordinates are written in,
// and every position is transformed into it from the Hong Kong 1980 Grid (EPSG:2326),
// never relabelled. "none" writes the grid values as they are, in an undefined
// Cartesian system.
//
// A CRS is taken from the command line inline only: EPSG:n (digits to the end), a PROJ
// string, WKT or PROJJSON. A text that names a file or a network resource at any depth
// (a path, a URL, /vsi... of any nesting, +init=, a grid outside PROJ's installed data)
// is refused, and PROJ and GDAL are kept off the network in this process whatever a
// text says (RegisterGdal switches it off), so no CRS text can make a request or wait on
// a FIFO.
#include <string>

#include "export/export_common.h"
#include "export/plan_export.h"

namespace surveyexport {

// Empty when `text` is a CRS the export takes (or "none"); otherwise one line saying why
// not ("unknown CRS 'EPSG:3265O'", "CRS '/tmp/x.wkt' names a file ...").
std::string CheckCrsText(const std::string& text);

// True when the system of `text` (already checked) has WGS 84 as its datum: EPSG:4326,
// UTM on WGS 84 ... The datum shift (official or suite) applies to those.
bool CrsIsWgs84Based(const std::string& text);

// True when the system of `text` (already checked) is an EPSG system, named so or
// recognised as one (a PROJ string of UTM 50N on WGS 84 is EPSG:32650): the only systems
// a GeoJSON file can record.
bool CrsHasEpsgCode(const std::string& text);

class CoordinateRule {
 public:
  CoordinateRule() = default;
  CoordinateRule(const CoordinateRule&) = delete;
  CoordinateRule& operator=(const CoordinateRule&) = delete;
  ~CoordinateRule();

  // The target system (`text` as --crs takes it) and the way into WGS 84 for a WGS 84
  // based target. Empty on success, else one line.
  std::string Open(const std::string& text, DatumShift shift);

  // "none": no system; positions are the grid values.
  bool None() const { return none_; }
  // The grid's own values are written (the grid itself, or none).
  bool Identity() const { return identity_; }
  // The target, in GIS axis order (x easting or longitude); for none, an undefined
  // Cartesian system.
  OGRSpatialReferenceH Srs() const { return target_.get(); }
  bool Geographic() const { return geographic_; }
  // The system's name as a title block gives it ("Hong Kong 1980 Grid", "WGS 84 / UTM
  // zone 50N", "No coordinate system").
  std::string Name() const;
  // How the positions came into the system, for a file's description: empty where they
  // are the grid's own values, else "Transformed from the Hong Kong 1980 Grid (EPSG:2326)
  // by PROJ" and, into a system on WGS 84, the datum shift taken.
  std::string Origin() const;

  // A grid position (easting, northing; metres) as the output's x, y. False where no
  // position can be computed (out of the transformation's reach).
  bool Place(double easting, double northing, double& x, double& y);

  // Official against suite over every position placed through WGS 84: compared tells
  // that at least one was, largest is the largest horizontal difference in metres.
  bool compared = false;
  double largest = 0;

 private:
  SpatialRef target_;
  bool none_ = false, identity_ = false, geographic_ = false, wgsBased_ = false;
  bool targetIsWgs84_ = false;  // EPSG:4326 itself: latitude and longitude as computed
  DatumShift shift_ = DatumShift::Official;
  OGRCoordinateTransformationH gridToTarget_ = nullptr;  // PROJ's operation
  OGRCoordinateTransformationH gridToWgs_ = nullptr;     // for the datum shifts' comparison
  OGRCoordinateTransformationH wgsToTarget_ = nullptr;   // after the suite's own chain
};

}  // namespace surveyexport
