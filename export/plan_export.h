#pragma once
// `surveyexport plan`: the plan of an NEH file (and a reference file) as plandra draws it,
// written to DXF, GeoPackage, GeoJSON, KML or CSV. The plotter's own drawing pass runs
// over the files and hands this exporter world coordinates and each record's attributes;
// records are written as they come, never held in memory.
//
// What is written:
// - points: every record of a file that has a position (an unused slot, northing and
//   easting both 0, is left out and no line runs to it), as a 3D point (Z = the decoded height;
//   flat with
//   --2d) with number (record number), code, height and line marker;
// - lines: each run of records joined by the line work, as a 3D polyline through them,
//   split where the style digit or the colour changes, with style digit, code (of the
//   record that ends the run), first and last record number;
// - the reference file into layers of its own (ref_points, ref_lines);
// - in a DXF also the point numbers and levels as TEXT at the pass's label places.
#include <cstdint>
#include <string>

#include "export/export_common.h"
#include "planplot/plan_core.h"

namespace surveyexport {

// The extent of a plan as its pass draws it: every record of both files with a position
// (an unused slot aside, wherever it lies in the file), and with labels the boxes of their
// texts at textHeight metres. extent: lowest easting, northing; highest easting,
// northing. False when nothing is drawn, or when progress stopped the pass (*stopped).
bool PlanPassExtent(const planplot::PlanState& state, const planplot::NehOpener& opener,
                    bool labels, double textHeight, const Progress& progress, double extent[4],
                    bool* stopped);

enum class DatumShift { Official, Suite };

struct PlanExportOptions {
  std::string input;      // the NEH file
  std::string reference;  // empty: none
  std::string output;
  Format format = Format::Unknown;
  bool numbers = false, levels = false;
  bool flat = false;   // --2d
  bool wgs84 = false;  // CSV: latitude and longitude columns as well
  bool overwrite = false;
  std::string crs = kDefaultCrs;  // GeoPackage (and the DXF's metres are in it too)
  DatumShift datumShift = DatumShift::Official;
};

struct PlanExportSummary {
  std::int64_t points = 0, lines = 0, labels = 0;
  std::int64_t skipped = 0;    // records with a value that is not finite
  std::int64_t empty = 0;      // unused slots (northing and easting 0): no position
  std::int64_t unplaced = 0;   // no WGS 84 position could be computed
  std::int64_t unlocated = 0;  // CSV: rows without latitude and longitude (none computed)
  bool shiftCompared = false;
  double largestShiftDifference = 0;  // metres, official against suite, over the file
};

// Writes the output; "" when done, else one line naming the file (and the record where it
// matters). Nothing is left under the output's name when it fails or is stopped.
std::string ExportPlan(const PlanExportOptions& options, const Progress& progress,
                       PlanExportSummary& summary);

// Grid80 (northing, easting) to WGS 84 latitude and longitude in degrees as the suite's
// converter computes it (1980 grid -> 1984 grid -> WGS 84). False where it cannot.
bool SuiteGrid80ToWgs84(double northing, double easting, double& latitude, double& longitude);

// The horizontal distance in metres between two nearby WGS 84 positions (degrees).
double WgsDistanceMetres(double lat1, double lon1, double lat2, double lon2);

}  // namespace surveyexport
