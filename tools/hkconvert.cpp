// hkconvert: converts coordinates read from standard input, one per line:
//
//   SYSTEM FIRST SECOND
//
// SYSTEM is Grid80, Grid84, UTM80, UTM84, Geo80 or Geo84 (any case); FIRST and SECOND are
// the values as typed into the converter form (northing and easting in metres, or
// latitude and longitude packed as D.MMSSsss). A line that holds a tab has its fields
// separated by tabs, and blanks inside a field are ignored as the form ignores them
// ("Geo80<TAB>22.18 4368<TAB>114.10 428"); a line without a tab has its fields separated
// by blanks, so a value then holds none. Each value is read as the form reads its input
// and all six systems are derived as Print Result does with every box ticked. One
// line is written per input line: twelve tab-separated numbers (Grid80, Grid84, UTM80,
// UTM84, Geo80, Geo84 pairs; geodetic values in decimal degrees) in the shortest form that
// reads back to the same double, or "error", a tab and the reason.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
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

// The fields of a line, as the header above says: tab-separated where the line holds a
// tab (empty fields skipped), else blank-separated.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  if (line.find('\t') == std::string::npos) {
    std::istringstream in(line);
    for (std::string f; in >> f;) fields.push_back(f);
    return fields;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    std::string field =
        line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
    const std::size_t first = field.find_first_not_of(" \r\v\f");
    if (first != std::string::npos) {
      field.erase(0, first);
      field.erase(field.find_last_not_of(" \r\v\f") + 1);
      fields.push_back(field);
    }
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

std::string ConvertLine(const std::string& line) {
  const std::vector<std::string> fields = Fields(line);
  if (fields.size() != 3) {
    return line.find('\t') == std::string::npos && fields.size() > 3
               ? "error\texpected SYSTEM FIRST SECOND (separate them by tabs where a value holds "
                 "blanks)"
               : "error\texpected SYSTEM FIRST SECOND";
  }
  const int option = OptionFor(fields[0]);
  if (option == 0)
    return "error\tunknown system " + fields[0] + " (Grid80 Grid84 UTM80 UTM84 Geo80 Geo84)";
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

// A line longer than this is not a coordinate line: it is answered with one error line and
// read no further than its end, so that memory stays the same whatever the input holds.
constexpr std::size_t kMaxLine = 4096;

// Reads the next line of standard input into `line` (without its line feed and carriage
// return). False at the end of the input. `tooLong` tells that the line was longer than
// kMaxLine; its first kMaxLine characters are kept.
bool ReadLine(std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  int c = 0;
  bool any = false;
  while ((c = getchar_unlocked()) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() <= kMaxLine)
      line.push_back(static_cast<char>(c));  // one more for a CR
    else
      tooLong = true;
  }
  if (!tooLong && !line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > kMaxLine) tooLong = true;
  return any;
}

}  // namespace

int main() {
  std::string line;
  bool tooLong = false;
  while (ReadLine(line, tooLong)) {
    const std::string out =
        tooLong ? "error\tline longer than " + std::to_string(kMaxLine) + " characters"
                : ConvertLine(line);
    if (std::fputs(out.c_str(), stdout) == EOF || std::putchar('\n') == EOF) break;
  }
  // Results that could not all be written (a full disk, a closed pipe) are a failure.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "hkconvert: cannot write the results: %s\n", std::strerror(errno));
    return 1;
  }
  if (std::ferror(stdin)) {
    std::fprintf(stderr, "hkconvert: cannot read the input: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}
