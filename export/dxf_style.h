#pragma once
// What the plan and the section DXF drawings share beyond the file's framing (no Qt): one
// line type table and one colour map, both from the plotters' own pens, and where a level
// goes beside its point number.
//
// The line types carry the names CAD programs ship with (acad.lin's CONTINUOUS, DASHED,
// DOT, DASHDOT, DIVIDE), so that a program that draws its own patterns by name (LibreCAD)
// draws them dashed; their elements are the screen pen's pattern (dash 4, gap 2, dot) in
// drawing units.
#include <cstddef>
#include <cstdint>
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
// under it, as LevelUnderNumber says. A record on the very spot of a record labelled
// before it (a point taken twice, a line that closes on itself) has its labels stacked
// under the labels already written there, not across them. The spots are kept by a 64-bit
// hash of their coordinates: 12 bytes for each spot with labels, no more.
class LabelPlaces {
 public:
  LabelPlaces(double textHeight, double angleDegrees) : height_(textHeight), angle_(angleDegrees) {}
  // The record whose labels follow, at (E, N).
  void NewRecord(double E, double N);
  // The top-left corner of the record's next label, whose place in the pass is (E, N).
  TextCorner Place(double E, double N);

 private:
  // The slot of a key in a table of keys (a power of two long): its own, or the free one
  // where it would go.
  static std::size_t Probe(const std::vector<std::uint64_t>& keys, std::uint64_t key);
  std::size_t SlotOf(std::uint64_t key);
  double height_, angle_;
  // Open addressing: the hash of a spot (0: a free slot) and the label lines written there.
  std::vector<std::uint64_t> keys_;
  std::vector<std::uint32_t> lines_;
  std::size_t used_ = 0;
  std::uint64_t spot_ = 0;   // the current record's spot
  std::size_t slot_ = 0;     // its slot, once its first label is placed
  std::uint32_t below_ = 0;  // label lines at its spot before it
  int placed_ = 0;           // its labels so far
  TextCorner last_;          // where its last label went
};

}  // namespace surveyexport
