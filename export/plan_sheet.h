#pragma once
// The plan on paper at true scale (PDF or SVG, one sheet): the plan plotter's own drawing
// pass on white paper, in a frame with coordinate ticks and labels, with a scale bar, a
// north arrow and a title block.
#include <optional>
#include <ostream>
#include <cstdint>
#include <string>
#include <vector>

#include "export/export_common.h"

class QPainter;

namespace surveyexport {

struct PlanSheetOptions {
  std::string neh;        // the main NEH file
  std::string reference;  // the reference NEH file, or empty
  bool numbers = false, levels = false;
  double scale = 0;  // N of 1:N; 0: the largest standard scale that fits
  std::string paper = "A3";
  bool portrait = false;
  bool haveView = false;  // --view: the window of the survey to draw
  double viewE1 = 0, viewN1 = 0, viewE2 = 0, viewN2 = 0;
  std::string crsName = "Hong Kong 1980 Grid";  // said in the title block
  bool overwrite = false;
  std::string output;  // .pdf or .svg
};

struct PlanSheetResult {
  double scale = 0;
  std::string paper;
  std::string note;          // said on the sheet when part of the view lies outside it
  std::int64_t skipped = 0;  // records passed over: values not finite
  // The map frame on the sheet (mm from the top-left corner, y down) and the window of the
  // survey it shows (m).
  double frameLeftMm = 0, frameTopMm = 0, frameRightMm = 0, frameBottomMm = 0;
  double left = 0, bottom = 0, right = 0, top = 0;
};

// The series of standard plan scales, from the largest: 1:100, 1:200, ... 1:50000.
const std::vector<double>& PlanScaleSeries();
// The largest scale of the series at which a view of width x height metres fits an area
// of areaWidth x areaHeight mm; nothing when even 1:50000 is too large.
std::optional<double> PlanScaleFor(double width, double height, double areaWidthMm,
                                   double areaHeightMm);
// The spacing of the frame's coordinate ticks at a scale: the smallest of 1, 2, 5 x 10^k
// metres that is at least 25 mm on the sheet.
double PlanTickSpacing(double scale);
// Parses E1,N1,E2,N2 (four finite numbers, two distinct corners); nothing otherwise.
std::optional<std::vector<double>> ParseView(const std::string& text);

// The strip under the map frame, in millimetres on the sheet (x right, y down): the scale
// bar with its figures, the north arrow, the title block and the note, side by side so
// that none covers another on any paper. The scale bar's step is the largest of 1, 2, 5 x
// 10^k metres that lets its four steps and figures end before the north arrow.
struct SheetBox {
  double left = 0, top = 0, right = 0, bottom = 0;
};
struct PlanSheetStrip {
  double barStep = 0;  // metres on the ground a step of the scale bar
  SheetBox bar, arrow, title, note;
};
PlanSheetStrip PlanStripFor(double sheetWidthMm, double frameLeftMm, double stripTopMm,
                            double scale);

// Paints the same sheet as DrawPlanSheet onto a painter the caller gives (a preview's
// image), at dotsPerMm device dots to a millimetre of paper, with the sheet's top-left
// corner at the painter's origin; options.output is not used. The files are read as
// DrawPlanSheet reads them; progress returning false stops the painting ("stopped").
// Empty on success, else one line naming the file.
std::string PaintPlanSheet(const PlanSheetOptions& options, QPainter& painter, double dotsPerMm,
                           const Progress& progress, PlanSheetResult* result = nullptr);

// Draws the plan sheet. Empty on success; otherwise one line naming the file, and nothing
// is left under the output's name.
std::string DrawPlanSheet(const PlanSheetOptions& options, const Progress& progress,
                          PlanSheetResult* result = nullptr);

}  // namespace surveyexport
