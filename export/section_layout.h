#pragma once
// Sheet arithmetic of the drawings at scale (no Qt): standard paper sizes, the series of
// standard scales, and where a section's frame goes on a sheet. Paper measures are
// millimetres on the sheet; world values are metres on the ground.
#include <optional>
#include <string>
#include <vector>

namespace surveyexport {

struct PaperSize {
  std::string name;    // "A4" ... "A0"
  double longMm = 0;   // the long side
  double shortMm = 0;  // the short side
};
// A4, A3, A2, A1, A0: the ISO 216 series from the smallest sheet to the largest.
const std::vector<PaperSize>& PaperSeries();
// The paper of that name (any letter case), or nothing.
std::optional<PaperSize> PaperNamed(const std::string& name);

// A scale denominator as typed on the command line: a finite number from 1 and below
// 10^9, nothing else on the text. Nothing for zero, a negative value or text.
std::optional<double> ParseScale(const std::string& text);

// The series of standard scales 1:1 ... 1:100000 that --fit chooses from.
const std::vector<double>& SectionScaleSeries();

// The extent of what a section draws, in metres; empty until a finite point is added.
struct Extent {
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  bool empty = true;
  void Add(double x, double y);
  void Add(const Extent& other);
};

// Millimetres on the sheet kept free round a section's ground line inside its frame: to
// the left for the height ticks and their labels, above for the distance ticks hanging
// from the top edge and for the height labels written upward from the points.
constexpr double kRoomLeftMm = 20;
constexpr double kRoomRightMm = 4;
constexpr double kRoomBelowMm = 3;
constexpr double kRoomAboveMm = 12;
constexpr double kRoomAboveLabelsMm = 14;  // besides, with height labels
// Sheet margins and the strip under the frame for title, legend and note (mm).
constexpr double kSheetMarginMm = 10;
constexpr double kTitleStripMm = 24;

// Where a section's frame lies in the world and how big it is on the sheet.
struct SectionFrame {
  double horizontal = 0, vertical = 0;  // scale denominators: 1 m across = 1000/H mm
  double x0 = 0, y0 = 0;                // lower-left corner (m), multiples of the tick spacing
  double xr = 0, yt = 0;                // right and top edges (m)
  double gx = 0, gy = 0;                // tick spacing across (50 mm) and up (20 mm), m
  double widthMm = 0, heightMm = 0;     // size of the frame on the sheet
};
// The frame round an extent at the scales: the lower-left corner is the extent less the
// room for the tick labels, rounded down to the tick spacing; the upper right corner is
// rounded up the same way. Nothing when the extent is empty or a value is not finite.
std::optional<SectionFrame> FrameFor(const Extent& extent, double horizontal, double vertical,
                                     bool heightLabels);

// The drawing area of a sheet in landscape: its width and height for the frame (mm).
double FrameAreaWidthMm(const PaperSize& paper);
double FrameAreaHeightMm(const PaperSize& paper);
bool FrameFits(const SectionFrame& frame, const PaperSize& paper);

// How one section is put on paper.
struct SheetChoice {
  PaperSize paper;
  SectionFrame frame;
  bool largerSheet = false;    // the asked paper was too small at the asked scales
  bool scalesChanged = false;  // drawn at other scales than asked
  bool fits = true;            // false: not even the largest scales of the series fit
};
// The asked paper at the asked scales when the frame fits; otherwise, without fit, the next
// larger sheet of the series on which it fits; with fit (or when even A0 is too small), the
// largest standard scales, not larger than asked, at which it fits the asked paper (A0
// when it was too small for A0).
std::optional<SheetChoice> ChooseSheet(const Extent& extent, double horizontal, double vertical,
                                       bool heightLabels, const PaperSize& paper, bool fit);

// Where an upright height label goes so that it does not cross the labels written before
// it: its box (`across` wide, spanning low..high numerically, whichever way y runs) stands
// at `left`, or a column right or left of it (`step` apart, at most two columns away),
// whichever it shares no area with, else the one it shares least with. Adds the box to
// `placed` and returns its left edge.
struct LabelBox {
  double left = 0, low = 0, right = 0, high = 0;
};
double UprightLabelLeft(std::vector<LabelBox>& placed, double left, double low, double high,
                        double across, double step);

// The dash pattern of a plotter pen style in millimetres of paper (dash, gap, ...); empty
// for solid lines.
std::vector<double> DashPatternMm(int style);

// The text of a title: "A  Ch 120.000  Hor 1/200  Vert 1/100" (names trimmed of trailing
// blanks; no chainage part when the header holds none).
std::string SectionTitle(const std::string& name, double horizontal, double vertical,
                         const std::string& chainage = {});

// The label of a section's datum line: "Datum 16.00", "Datum -2.00".
std::string DatumText(double level);

}  // namespace surveyexport
