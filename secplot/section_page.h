#pragma once
// Geometry of a section page (no Qt). Scales are drawing scale denominators (1:hs across,
// 1:vs up); the plot area is 258 mm of drawing wide and 113 mm high (152.5 mm in the dark
// build). World values are metres, computed in 80-bit extended precision.
#include <string>
#include <vector>

#include "secplot/section_canvas.h"

namespace secplot {

// What differs between the two builds on the page itself.
struct PageStyle {
  long double plotHeightMm = 113.0L;  // height of the plot area, mm of drawing
  Colour background = kWhite;         // page background
  Colour text = kBlack;               // tick labels, title and prompt text
  Colour labelBackground = kWhite;    // behind the height labels
};
constexpr long double kPlotWidthMm = 258.0L;
inline const PageStyle kMainPage{113.0L, kWhite, kBlack, kWhite};
inline const PageStyle kDarkPage{152.5L, kBlack, kWhite, kBlack};

struct PageGeometry {
  long double h = 0, v = 0;    // metres per millimetre of drawing, across and up
  long double x0 = 0, y0 = 0;  // lower-left corner: offset (m) and height (m)
  long double xr = 0, yt = 0;  // right edge and top edge (m)
  long double gx = 0, gy = 0;  // tick spacing across (50 mm) and up (20 mm), m
};

PageGeometry PageFor(long double hs, long double vs, long double x0, long double y0,
                     const PageStyle& style);
// A page that can be drawn: every value finite and the window not empty
// (right edge beyond the left, top above the bottom).
bool PageUsable(const PageGeometry& page);
// A drawing scale denominator that gives a usable page: finite and above 0.
bool ScaleUsable(long double denominator);

// First tick from the corner: the next multiple of the spacing strictly above a corner
// at or above 0; the first multiple at or above a negative corner (mod keeps the sign).
long double FirstTick(long double corner, long double spacing);
// Tick values first, first + spacing, ... up to the edge (inclusive); none when the
// spacing is not a finite positive number; at most maxTicks values.
std::vector<long double> TickValues(long double corner, long double spacing, long double edge,
                                    int maxTicks = 1000);

// One tick line and where its label goes (the line's lower or right end).
struct Tick {
  long double value = 0;
  long double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
// Distance ticks hang from the top edge down to floor(Yt - floor(6 v)); height ticks run
// from the left edge to floor(floor(8 h) + X0): tick ends fall on whole metres.
std::vector<Tick> DistanceTicks(const PageGeometry& page);
std::vector<Tick> HeightTicks(const PageGeometry& page);

// Level text of a tick value or a height; empty for a value that is not finite or too
// large to be shown as whole metres.
std::string LevelLabel(long double value);

inline const LabelFont kTickFont{"Arial", 8, 0};
inline const LabelFont kHeightFont{"Arial", 7, 900};

// Clears the page, sets the world window and draws the blue frame ticks with their labels.
void SetUpPage(SectionCanvas& canvas, const PageGeometry& page, const PageStyle& style);

// Cuts the segment to the rectangle [left, right] x [bottom, top]: the toolkit's clipper
// (toolkit::ClipSegment) in the section's argument order. False when nothing of it lies
// inside or a coordinate is not finite.
bool ClipSegment(double left, double bottom, double right, double top, double& x1, double& y1,
                 double& x2, double& y2);

}  // namespace secplot
