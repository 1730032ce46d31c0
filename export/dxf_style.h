#pragma once
// What the plan and the section DXF drawings share beyond the file's framing (no Qt): one
// line type table and one colour map, both from the plotters' own pens, and where a level
// goes beside its point number.
//
// The line types carry the names CAD programs ship with (acad.lin's CONTINUOUS, DASHED,
// DOT, DASHDOT, DIVIDE), so that a program that draws its own patterns by name (LibreCAD)
// draws them dashed; their elements are the screen pen's pattern (dash 4, gap 2, dot) in
// drawing units.
#include <string>
#include <vector>

#include "planplot/plan_canvas.h"

namespace surveyexport {

class DxfFile;

// The comment that opens every drawing: an R12 drawing has no header variable for its
// units, and one drawing unit is a metre.
inline constexpr const char* kDxfUnitsComment = "Drawing units: metres";

// One line type: its name, its look as text, and its elements in pen widths (a dash > 0, a
// gap < 0, a dot 0).
struct DxfLineType {
  const char* name;
  const char* look;
  std::vector<double> elements;
};
// Every line type of the drawings, CONTINUOUS first.
const std::vector<DxfLineType>& DxfLineTypes();
// The line type of a pen style.
const char* DxfLineTypeName(planplot::PenStyle style);
// Writes the LTYPE table: each element times `unit` (drawing units, > 0), and as the
// pattern's length the sum of the elements' lengths.
void WriteDxfLineTypes(DxfFile& dxf, double unit);

// The AutoCAD colour number of a colour 0x00RRGGBB: the six plotter colours exactly; white,
// black and any other colour as 7 (white on a dark screen, black on paper).
int AciColour(planplot::Rgb colour);

// Where the level's text goes when the point number is written too: its top-left corner
// one and a half text heights below the number's top-left corner, across the line of the
// text (turned by angleDegrees counter-clockwise), so that the two never overprint.
struct TextCorner {
  double x = 0, y = 0;
};
TextCorner LevelUnderNumber(TextCorner number, double textHeight, double angleDegrees);

// Where a record's labels go in a drawing (y upward; a sheet passes its y negated): the
// first at the pass's place, a later one of the same record (the level after the number)
// under it, as LevelUnderNumber says. A record on the very spot of the record before it,
// or of the first point of its line (a line that closes on itself), has its labels stacked
// under the labels already written there, not across them.
class LabelPlaces {
 public:
  LabelPlaces(double textHeight, double angleDegrees) : height_(textHeight), angle_(angleDegrees) {}
  // The record whose labels follow, at (E, N); `startsLine` when a line starts at it.
  void NewRecord(double E, double N, bool startsLine);
  // The top-left corner of the record's next label, whose place in the pass is (E, N).
  TextCorner Place(double E, double N);

 private:
  // A spot with labels: the corner of the lowest label written there.
  struct Spot {
    double E = 0, N = 0;
    bool labelled = false;
    TextCorner lowest;
    bool At(double e, double n) const { return labelled && E == e && N == n; }
  };
  double height_, angle_;
  Spot current_, previous_, lineStart_;
  bool startsLine_ = false, onLineStart_ = false;
  const Spot* under_ = nullptr;  // the spot the current record's labels stack under
};

}  // namespace surveyexport
