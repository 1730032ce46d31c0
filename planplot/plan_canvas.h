#pragma once
// The drawing surface of a plan drawing pass (no Qt). The pass speaks world coordinates:
// eastings to the right and northings upward, in metres. Each surface turns them into
// what it draws: the window's plot area maps them to its pixels and clips them there
// (PromptCanvas), the export writes them as they are with the records' attributes, and
// tests and the fuzz target record both (RecordingCanvas).
#include <cstdint>
#include <string>

namespace planplot {

constexpr int kPlotWidth = 1050;  // plot area width (pixels)
constexpr int kPlotHeight = 700;  // plot area height (pixels)

using Rgb = std::uint32_t;  // 0x00RRGGBB

enum class PenStyle { Solid = 0, Dash = 1, Dot = 2, DashDot = 3, DashDotDot = 4 };

// The label font of a pass: face, size in points, escapement in tenths of a degree
// counter-clockwise.
struct LabelFont {
  std::string face = "Arial";
  double points = 7;
  int escapement = 100;
};

// The world window shown in the plot area: (left, top) at pixel (0, 0) and
// (right, bottom) at pixel (1050, 700). At program start one unit is one pixel, y down.
struct PlanMapping {
  double left = 0, top = 0, right = kPlotWidth, bottom = kPlotHeight;
};

// What the pass makes of a record.
enum class RecordRole {
  Point,      // a single point, drawn as a pixel
  LineStart,  // the line marker in point mode: starts a line, draws nothing yet
  LinePoint,  // a line goes on to this record
  LineEnd,    // the line marker in line mode: the line ends at this record
};

// One record of a file as the pass reads it, announced before its drawing calls.
struct PlanRecord {
  std::int64_t number = 0;  // record number, which is the point number
  bool reference = false;   // from the reference file
  double E = 0, N = 0;      // plotted easting and northing (the stored values' sizes)
  double height = 0;        // decoded height
  double code = 0;          // point code
  int styleDigit = 0;       // code mod 10: colour and dash style of lines
  bool marker = false;      // line marker (stored northing negative)
  RecordRole role = RecordRole::Point;
};

// A point-number or level label; the font is the pass's label font.
struct PlanLabel {
  enum Kind { Number, Level } kind = Number;
  double E = 0, N = 0;  // top-left corner of the text before rotation
  std::string text;     // NumberText of the record number, or LevelText of the height
  Rgb colour = 0;
  Rgb background = 0;  // the opaque box behind the text
};

class PlanCanvas {
 public:
  virtual ~PlanCanvas() = default;
  // A pass begins in the world window shown: create and select the label font. EndPass
  // deletes it.
  virtual void BeginPass(const LabelFont& font, const PlanMapping& world) = 0;
  virtual void EndPass() = 0;
  // The record whose drawing follows (if any). Records that are not finite are not
  // announced: the pass passes over them.
  virtual void Record(const PlanRecord&) {}
  // One point in the colour.
  virtual void Pixel(double E, double N, Rgb colour) = 0;
  // A line, 1 pixel wide on the screen, from (E0, N0) to (E1, N1).
  virtual void Line(double E0, double N0, double E1, double N1, Rgb colour, PenStyle style) = 0;
  // Text in the label font with its top-left corner at the label's point, on an opaque
  // box of the background colour.
  virtual void Label(const PlanLabel& label) = 0;
  // Called after every record: lets the window repaint and take input now and then.
  // Returns false once the window has closed; the pass then ends.
  virtual bool KeepAlive() = 0;
};

}  // namespace planplot
