// The DXF drawings' line types, colours and label places.
#include "export/dxf_style.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

namespace {

std::uint64_t Mixed(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

std::uint64_t SpotKey(double E, double N) {
  std::uint64_t e = 0, n = 0;
  std::memcpy(&e, &E, sizeof e);
  std::memcpy(&n, &N, sizeof n);
  const std::uint64_t key = Mixed(e ^ Mixed(n));
  return key == 0 ? 1 : key;
}

}  // namespace

std::size_t LabelPlaces::Probe(const std::vector<std::uint64_t>& keys, std::uint64_t key) {
  std::size_t i = key & (keys.size() - 1);
  while (keys[i] != 0 && keys[i] != key) i = (i + 1) & (keys.size() - 1);
  return i;
}

std::size_t LabelPlaces::SlotOf(std::uint64_t key) {
  if (keys_.empty() || (used_ + 1) * 10 > keys_.size() * 7) {
    // Twice the slots (1024 to begin with), the spots kept put again.
    std::vector<std::uint64_t> keys(std::max<std::size_t>(1024, keys_.size() * 2), 0);
    std::vector<std::uint32_t> lines(keys.size(), 0);
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      if (keys_[i] == 0) continue;
      const std::size_t j = Probe(keys, keys_[i]);
      keys[j] = keys_[i];
      lines[j] = lines_[i];
    }
    keys_.swap(keys);
    lines_.swap(lines);
  }
  const std::size_t i = Probe(keys_, key);
  if (keys_[i] == 0) {
    keys_[i] = key;
    ++used_;
  }
  return i;
}

void LabelPlaces::NewRecord(double E, double N) {
  spot_ = SpotKey(E, N);
  below_ = 0;
  placed_ = 0;
  // Only spots that got labels take room; one looked up here may get none.
  if (!keys_.empty()) {
    const std::size_t i = Probe(keys_, spot_);
    if (keys_[i] == spot_) below_ = lines_[i];
  }
}

TextCorner LabelPlaces::Place(double E, double N) {
  TextCorner at{E, N};
  if (placed_ > 0) {
    at = LevelUnderNumber(last_, height_, angle_);
  } else {
    // Under the label lines already at the spot, each a step down across the text line
    // (as LevelUnderNumber steps).
    const double a = angle_ * 3.14159265358979323846 / 180, down = 1.5 * height_ * below_;
    at = {E + down * std::sin(a), N - down * std::cos(a)};
  }
  // The record's spot takes its slot with its first label (the table may grow then, not
  // between its labels).
  if (placed_++ == 0) slot_ = SlotOf(spot_);
  ++lines_[slot_];
  last_ = at;
  return at;
}

}  // namespace surveyexport
