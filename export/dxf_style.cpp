// The DXF drawings' line types, colours and label places.
#include "export/dxf_style.h"

#include <cmath>

#include "export/dxf_file.h"

namespace surveyexport {

using planplot::PenStyle;

const std::vector<DxfLineType>& DxfLineTypes() {
  // In the order of the pen styles: solid, dashed, dotted, dash-dot, dash-dot-dot.
  static const std::vector<DxfLineType> types{
      {"CONTINUOUS", "Solid line", {}},
      {"DASHED", "__ __ __ __", {4, -2}},
      {"DOT", ". . . . . .", {0, -2}},
      {"DASHDOT", "__ . __ . __", {4, -2, 0, -2}},
      {"DIVIDE", "__ . . __ . .", {4, -2, 0, -2, 0, -2}},
  };
  return types;
}

const char* DxfLineTypeName(PenStyle style) {
  const int i = static_cast<int>(style);
  const auto& types = DxfLineTypes();
  return (i >= 0 && i < static_cast<int>(types.size())) ? types[i].name : types[0].name;
}

void WriteDxfLineTypes(DxfFile& dxf, double unit) {
  if (!(std::isfinite(unit) && unit > 0)) unit = 1;
  const auto& types = DxfLineTypes();
  dxf.BeginTable("LTYPE", static_cast<int>(types.size()));
  for (const DxfLineType& t : types) {
    std::vector<double> elements;
    double length = 0;
    for (double e : t.elements) {
      elements.push_back(e * unit);
      length += std::fabs(e * unit);
    }
    dxf.LineType(t.name, t.look, elements, length);
  }
  dxf.EndTable();
}

int AciColour(planplot::Rgb colour) {
  switch (colour & 0xFFFFFF) {
    case 0xFF0000:
      return 1;
    case 0xFFFF00:
      return 2;
    case 0x00FF00:
      return 3;
    case 0x00FFFF:
      return 4;
    case 0x0000FF:
      return 5;
    default:
      return 7;
  }
}

TextCorner LevelUnderNumber(TextCorner number, double textHeight, double angleDegrees) {
  const double a = angleDegrees * 3.14159265358979323846 / 180;
  const double down = 1.5 * textHeight;
  return {number.x + down * std::sin(a), number.y - down * std::cos(a)};
}

void LabelPlaces::NewRecord(double E, double N, bool startsLine) {
  // The record before: the spot to look at next, and the line's first spot when it
  // started the line or added its labels there.
  if (startsLine_ || (onLineStart_ && current_.labelled)) lineStart_ = current_;
  previous_ = current_;
  current_ = Spot{E, N, false, {}};
  startsLine_ = startsLine;
  onLineStart_ = lineStart_.At(E, N);
  under_ = previous_.At(E, N) ? &previous_ : onLineStart_ ? &lineStart_ : nullptr;
}

TextCorner LabelPlaces::Place(double E, double N) {
  TextCorner at{E, N};
  if (current_.labelled)
    at = LevelUnderNumber(current_.lowest, height_, angle_);
  else if (under_)
    at = LevelUnderNumber(under_->lowest, height_, angle_);
  current_.labelled = true;
  current_.lowest = at;
  return at;
}

}  // namespace surveyexport
