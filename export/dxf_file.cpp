#include "export/dxf_file.h"

#include <cmath>
#include <cstdio>

#include "export/export_common.h"

namespace surveyexport {

DxfFile::~DxfFile() = default;

bool DxfFile::Open(const std::string& path) { return file_.Open(path); }

bool DxfFile::Good() const { return file_.Good(); }

bool DxfFile::Close() { return file_.Close() == 0; }

void DxfFile::Pair(int code, const std::string& value) { Pair(code, value.c_str()); }
void DxfFile::Pair(int code, const char* value) {
  std::string group = std::to_string(code);
  group += '\n';
  group += value;
  group += '\n';
  file_.Write(group);
}
void DxfFile::Pair(int code, int value) { Pair(code, std::to_string(value)); }
void DxfFile::Pair(int code, double value) { Pair(code, Number(value)); }

std::string DxfFile::Number(double value) const {
  if (numbers_ == Numbers::Exact) return ExactText(value);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.6f", value);
  return buffer;
}

namespace {
constexpr std::size_t kPointWidth = 24;  // a kept place: a number right-aligned in blanks
}

std::size_t DxfFile::HeaderPoint(const char* name) {
  Pair(9, name);
  file_.Write("10\n");
  const std::size_t place = file_.Offset();
  const std::string blank(kPointWidth, ' ');
  file_.Write(blank + "\n20\n" + blank + "\n30\n0\n");
  return place;
}

void DxfFile::FillHeaderPoint(std::size_t place, double x, double y) {
  const auto field = [this](double v) {
    std::string text = std::isfinite(v) ? Number(v) : "0";
    if (text.size() > kPointWidth) text = "0";
    return std::string(kPointWidth - text.size(), ' ') + text;
  };
  file_.Overwrite(place, field(x));
  // "\n20\n" lies between the two values.
  file_.Overwrite(place + kPointWidth + 4, field(y));
}

void DxfFile::BeginSection(const char* name) {
  Pair(0, "SECTION");
  Pair(2, name);
}
void DxfFile::EndSection() { Pair(0, "ENDSEC"); }

void DxfFile::BeginTable(const char* name, int entries) {
  Pair(0, "TABLE");
  Pair(2, name);
  Pair(70, entries);
}
void DxfFile::EndTable() { Pair(0, "ENDTAB"); }

void DxfFile::LineType(const std::string& name, const std::string& look,
                       const std::vector<double>& elements, double length) {
  Pair(0, "LTYPE");
  Pair(2, name);
  Pair(70, 0);
  Pair(3, look);
  Pair(72, 65);  // 'A': the pattern is aligned
  Pair(73, static_cast<int>(elements.size()));
  Pair(40, length);
  for (double e : elements) Pair(49, e);
}

void DxfFile::Layer(const std::string& name, int colour, const std::string& lineType) {
  Pair(0, "LAYER");
  Pair(2, name);
  Pair(70, 0);
  Pair(62, colour);
  Pair(6, lineType);
}

}  // namespace surveyexport
