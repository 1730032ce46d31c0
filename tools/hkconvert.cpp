// hkconvert: converts coordinates read from standard input, one per line:
//
//   SYSTEM FIRST SECOND
//
// SYSTEM is Grid80, Grid84, UTM80, UTM84, Geo80 or Geo84 (any case); FIRST and SECOND are
// the values as typed into the converter form (northing and easting in metres, or
// latitude and longitude packed as D.MMSSsss). Each line is read as the form reads its
// input and all six systems are derived as Print Result does with every box ticked. One
// line is written per input line: twelve tab-separated numbers (Grid80, Grid84, UTM80,
// UTM84, Geo80, Geo84 pairs; geodetic values in decimal degrees) in the shortest form that
// reads back to the same double, or "error", a tab and the reason.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "converter/form_logic.h"

namespace {

int OptionFor(std::string name) {
  for (char& ch : name)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  const char* names[6] = {"grid80", "grid84", "utm80", "utm84", "geo80", "geo84"};
  for (int i = 0; i < 6; ++i)
    if (name == names[i]) return i + 1;
  return 0;
}

std::string ShortestText(double v) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  if (ec != std::errc()) return "nan";
  return std::string(buf, end);
}

// The reason of a fault on one line, without the form's closing sentence.
std::string Reason(norvane::Fault f) {
  std::string text = norvane::FaultMessage(f);
  const size_t cut = text.find("\nNothing has been calculated");
  if (cut != std::string::npos) text.resize(cut);
  for (char& ch : text)
    if (ch == '\n' || ch == '\t' || ch == '\r') ch = ' ';
  return text;
}

std::string ConvertLine(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> fields;
  for (std::string f; in >> f;) fields.push_back(f);
  if (fields.size() != 3) return "error\texpected SYSTEM FIRST SECOND";
  const int option = OptionFor(fields[0]);
  if (option == 0) return "error\tunknown system " + fields[0] + " (Grid80 Grid84 UTM80 UTM84 Geo80 Geo84)";
  norvane::Conversion c;
  norvane::Fault f = norvane::ReadInput(c, option, fields[1], fields[2]);
  double values[12];
  if (f == norvane::Fault::None) f = norvane::DeriveAllSystems(c, values);
  if (f != norvane::Fault::None) return "error\t" + Reason(f);
  std::string out;
  for (int i = 0; i < 12; ++i) {
    if (i) out += '\t';
    out += ShortestText(values[i]);
  }
  return out;
}

}  // namespace

int main() {
  std::ios::sync_with_stdio(false);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::cout << ConvertLine(line) << '\n';
  }
  return 0;
}
