#pragma once
// The plan plotter's logic (no Qt): the plotter state, the full-extent scan, fitting the
// view window, the world-to-pixel mapping of the 1050 x 700 plot area, the drawing pass
// with its point / line state machine, and the zoom box of a mouse drag.
//
// Units: eastings, northings, heights and the label offset are in metres (world units);
// pixel coordinates count from the top-left corner of the plot area, y downward.
#include <cstdint>
#include <functional>
#include <string>

#include "planplot/neh_source.h"
#include "planplot/plan_canvas.h"

namespace planplot {

// Fixed colours.
constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kGreen = 0x00FF00;
constexpr Rgb kYellow = 0xFFFF00;
constexpr Rgb kCyan = 0x00FFFF;
constexpr Rgb kBlue = 0x0000FF;

// The colours in which the dark and the light build differ.
struct PlanScheme {
  Rgb background;  // clear colour and the box behind text
  Rgb promptText;  // the file prompts
  Rgb levelLabel;  // level labels of the main file and of a reference line start
  Rgb styleZero;   // lines of style digit 0
};
constexpr PlanScheme kDarkScheme{0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
constexpr PlanScheme kLightScheme{0xFFFFFF, 0x000000, 0x000000, 0x000000};

// A pixel position; valid is false for a world point that has no pixel (not finite).
struct PixelPoint {
  long double x = 0, y = 0;
  bool valid = false;
};

// The plotter's state for the whole run.
struct PlanState {
  std::string mainFileName;       // typed text + ".NEH"
  std::string referenceFileName;  // likewise
  bool referencePresent = false;
  double Nlo = 0, Nhi = 0, Elo = 0, Ehi = 0;            // full extent
  double Eleft = 0, Eright = 0, Nbottom = 0, Ntop = 0;  // view window
  double u = 0;                                         // label offset
  bool showNumbers = false, showLevels = false;
  // Previous point (Ep, Np) and current point (Ec, Nc) of a pass. They are also the zoom
  // box: Ep its left easting, Np its top northing, Ec its right easting, Nc its bottom.
  double Ep = 0, Np = 0, Ec = 0, Nc = 0;
  PlanMapping mapping;
  double imageCounter = 1;
};

// Sets the full extent from the main file: record 1 always counts; the scan stops at the
// first later record whose stored northing and easting are both 0 (or at the end of the
// file). Records with a coordinate or height that is not finite are passed over. A main
// file that cannot be opened, or holds nothing usable, gives an extent of all zeros.
// keepAlive, when given, is called after every record (false: the window closed, stop).
// Returns the text that tells the user why the file could not be scanned (it could not
// be opened, or a read failed); empty when it was.
std::string ScanFullExtent(PlanState& state, const NehOpener& open,
                           const std::function<bool()>& keepAlive = {});

// Sets the view window and the label offset u from the full extent: the smaller range is
// widened about its centre to the larger one; u is the smaller range / 700.
void FitViewWindow(PlanState& state);

// Applies a world window to the mapping; a window of zero (or not finite) width or
// height leaves the mapping as it was. Returns true when the mapping changed.
bool ApplyWorldWindow(PlanMapping& mapping, double left, double top, double right, double bottom);
// The view window of the state applied to its mapping.
bool ApplyViewWindow(PlanState& state);

// x = round((E - left) * 1050 / (right - left)), y = 700 - round((N - bottom) * 700 /
// (top - bottom)), halves to even, in extended precision.
PixelPoint WorldToPixel(const PlanMapping& mapping, double E, double N);

// Where the plot area draws what a pass hands over in world coordinates. Each returns
// false when nothing of it shows:
// a point's pixel, within the 1050 x 700 area;
bool PointPixel(const PlanMapping& mapping, double E, double N, int& x, int& y);
// a line's ends, cut to the area widened by 1024 pixels all round (so that a far-off
// point costs no more than a short line and every end fits an int), cut ends rounded;
bool LinePixels(const PlanMapping& mapping, double E0, double N0, double E1, double N1, int& x0,
                int& y0, int& x1, int& y1);
// a label's top-left corner, where some of the text can show.
bool LabelPixel(const PlanMapping& mapping, double E, double N, int& x, int& y);

// Line colour of a style digit 0..9 for the main file; styles 6 to 9 keep the colour in
// force (current).
Rgb StyleColour(int styleDigit, Rgb current, const PlanScheme& scheme);
// Pen style of a style digit: 0 solid, 1 dashed, 2 dotted, 3 dash-dot, 4 dash-dot-dot,
// 5 to 9 solid.
PenStyle StylePen(int styleDigit);
// The style digit (point code mod 10) of a packed height field; 0 when not finite.
int StyleDigit(double packedHeight);

// What a pass did, for the caller and the benchmark.
struct PassResult {
  std::int64_t recordsRead = 0;
  std::int64_t recordsSkipped = 0;  // read but not finite: passed over
  bool aborted = false;             // the window closed during the pass
  // Why a file was not drawn in full: it could not be opened (removed or replaced since
  // it was named) or a read failed. Empty when every file was drawn to its end.
  std::string fault;
};

// The texts of those faults, with the file's full name after them.
inline constexpr const char* kCannotOpenFile = "The file cannot be opened: ";
inline constexpr const char* kCannotReadFile = "The file cannot be read: ";
// A bitmap that could not be written, with its file name after it.
inline constexpr const char* kImageNotSaved = "Image not saved: ";

// Draws the main file and then, if present, the reference file over what the canvas
// holds, reading each file one record at a time. Leaves the previous and current points
// on the last record drawn. Ends early (aborted) when the canvas says the window closed.
PassResult DrawPlanPass(PlanState& state, const PlanScheme& scheme, const NehOpener& open,
                        PlanCanvas& canvas);

// The zoom box of a drag from (x0, y0) to (x, y), client pixels, through the current
// view window, made square in world units; sets u. Returns the drag rectangle.
struct DragRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
DragRect UpdateZoomBox(PlanState& state, int x0, int y0, int x, int y);

// "Zoom Area:" with the lower-left and the upper-right corner of the zoom box, each number
// cut to its first 9 characters.
std::string ZoomAreaText(const PlanState& state);

// "Plan" + the number text of the counter + ".bmp", e.g. "Plan 1.bmp".
std::string BitmapFileName(double counter);

}  // namespace planplot
