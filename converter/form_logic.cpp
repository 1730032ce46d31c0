#include "converter/form_logic.h"

#include <cmath>

namespace norvane {

namespace {

const InputSystemInfo kInputs[6] = {
    {System::Grid80, false, "1980 HK Grid", "N :", "E :"},
    {System::Grid84, false, "1984 HK Grid", "N :", "E :"},
    {System::Utm80, false, "UTM 80", "N :", "E :"},
    {System::Utm84, false, "UTM 84", "N :", "E :"},
    {System::Geo80, true, "1980 Geodetic Datumn", "Lat :", "Lon :"},
    {System::Geo84, true, "norvane", "Lat :", "Lon :"},
};

const ResultSystemInfo kResults[6] = {
    {System::Grid80, EnsureGrid80, false, 0, "1980 HK Grid", "1980 HK Grid", "N :", "E :"},
    {System::Grid84, EnsureGrid84, false, 0, "1984 HK Grid", "1984 HK Grid", "N :", "E :"},
    {System::Utm80, EnsureUtm80, false, 5, "UTM80    Zone ", "UTM80    Zone ", "N :", "E :"},
    {System::Utm84, EnsureUtm84, false, 6, "UTM84    Zone ", "UTM84    Zone ", "N :", "E :"},
    {System::Geo80, EnsureGeo80, true, 0, "1980 HK Geodetic Datumn", "1980 HK Geodetic Datumn",
     "Lat :", "Lon :"},
    {System::Geo84, EnsureGeo84, true, 0, "norvane", "WGS 84", "Lat :", "Lon :"},
};

int Clamp(int i) { return i < 1 ? 1 : (i > 6 ? 6 : i); }

}  // namespace

const InputSystemInfo& InputSystemFor(int option) { return kInputs[Clamp(option) - 1]; }
const ResultSystemInfo& ResultSystemFor(int index) { return kResults[Clamp(index) - 1]; }

bool InputPresent(std::string_view t1, std::string_view t2, std::string_view t3,
                  std::string_view t4) {
  return (!t1.empty() && !t2.empty()) || (!t3.empty() && !t4.empty());
}

Fault ReadInput(Conversion& c, int option, std::string_view first, std::string_view second) {
  const InputSystemInfo& in = InputSystemFor(option);
  c.store.Clear();
  const double a = in.geodetic ? ParseDms(first) : Val(first);
  const double b = in.geodetic ? ParseDms(second) : Val(second);
  if (std::isnan(a) || std::isnan(b)) return Fault::InvalidOperation;
  if (std::isinf(a) || std::isinf(b)) return Fault::Overflow;
  if (in.geodetic && (!(std::fabs(a) <= 90.0) || !(std::fabs(b) <= 180.0)))
    return Fault::OutOfRange;
  c.store[in.system] = {a, b};
  return Fault::None;
}

Fault DeriveResult(Conversion& c, int index, ResultText& out) {
  const ResultSystemInfo& r = ResultSystemFor(index);
  if (Fault f = r.ensure(c); f != Fault::None) return f;
  ResultText t;
  t.shownName = r.shownName;
  t.printedName = r.printedName;
  t.caption1 = r.caption1;
  t.caption2 = r.caption2;
  const Pair& p = c.store[r.system];
  if (r.geodetic) {
    t.value1 = AngleText(p.first);
    t.value2 = AngleText(p.second);
  } else {
    t.value1 = GridText(p.first);
    t.value2 = GridText(p.second);
  }
  if (r.utmEllipsoidGeo) {
    const System geo = ResultSystemFor(r.utmEllipsoidGeo).system;
    double lon = c.store[geo].second;
    if (!Complete(c.store[geo])) {
      Conversion scratch = c;
      if (Fault f = ResultSystemFor(r.utmEllipsoidGeo).ensure(scratch); f != Fault::None) return f;
      lon = scratch.store[geo].second;
    }
    const std::string zone = UtmZoneNumber(lon) == 50 ? "50" : "49";
    t.shownName += zone;
    t.printedName += zone;
  }
  out = t;
  return Fault::None;
}

int ResultColumnFor(std::string_view inputText) {
  const int end = kInputColumn + static_cast<int>(inputText.size());
  return end < kResultColumn ? kResultColumn : end + 1;
}

std::vector<std::string> InputColumn(int option, std::string_view first, std::string_view second) {
  const InputSystemInfo& in = InputSystemFor(option);
  // The angles as the calculation read them, packed and carried as a result's are: the
  // typed text may hold 60 seconds, blanks, a comma or an exponent that the reading
  // took otherwise than it looks.
  if (in.geodetic)
    return {in.name, in.caption1 + AngleText(ParseDms(first)),
            in.caption2 + AngleText(ParseDms(second))};
  return {in.name, in.caption1 + std::string(first), in.caption2 + std::string(second)};
}

std::vector<std::string> ResultColumn(const ResultText& r) {
  return {r.printedName, r.caption1 + r.value1, r.caption2 + r.value2};
}

std::vector<std::string> AboutLines() {
  return {
      "This program is used to converse coordinates from ",
      "one system to another system. It can handle :-",
      "(1) 1980 HK Grid System                      (Grid80)",
      "(2) 1984 HK Grid System                      (Grid84)",
      "(3) 1980 HK Geodetic Datumn                  (Geo80)",
      "(4) World Geodetic System 84                 (norvane)",
      "(5) Universal Transverse Mercator Grid 80    (UTM80)",
      "(6) Universal Transverse Mercator Grid 84    (UTM84)",
      "",
      "The 'Hong Kong Trig List' June 1993 edition published",
      "by SURVEY AND MAPPING OFFICE of BUILDINGS AND LANDS",
      "DEPARTMENT are refered for the calculation.",
      "",
      "Please report any fault in this program to survey-software@example.org",
      "",
      "The survey software group, December 2026",
  };
}

std::string AboutText() {
  std::string text;
  const std::vector<std::string> lines = AboutLines();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += '\r';
    text += lines[i];
  }
  return text;
}

std::string PrinterNotFoundText(std::string_view setting) {
  return ", so the results cannot be printed.\nName an installed printer in " +
         std::string(setting) + " (or install this one) and press Print Result again.";
}

std::string FaultMessage(Fault f) {
  const char* tail = "\nNothing has been calculated and the form is unchanged.";
  switch (f) {
    case Fault::Overflow:
      return std::string(
                 "A number is too large to calculate with (arithmetic overflow).\n"
                 "Check the coordinates typed.") +
             tail;
    case Fault::DivisionByZero:
      return std::string("The calculation would divide by zero for these coordinates.") + tail;
    case Fault::InvalidOperation:
      return std::string(
                 "The calculation has no real result for these coordinates "
                 "(invalid arithmetic operation).") +
             tail;
    case Fault::OutOfRange:
      return std::string(
                 "The coordinates lie far outside the range of the projections\n"
                 "(latitudes within 90 degrees, points within 15 degrees of\n"
                 "longitude of the Hong Kong grids and UTM zones 49 and 50).") +
             tail;
    case Fault::NoConvergence:
      return std::string(
                 "The latitude for this northing could not be found\n"
                 "(the footpoint iteration did not converge).") +
             tail;
    case Fault::NoInput:
      return std::string("There are no input coordinates: both values are zero or not numbers.") +
             tail;
    case Fault::None:
      break;
  }
  return std::string();
}

Fault DeriveAllSystems(Conversion& c, double (&values)[12]) {
  static constexpr Fault (*kOrder[6])(Conversion&) = {EnsureGrid80, EnsureGrid84, EnsureUtm80,
                                                      EnsureUtm84,  EnsureGeo80,  EnsureGeo84};
  for (auto ensure : kOrder)
    if (Fault f = ensure(c); f != Fault::None) return f;
  static constexpr System kSystems[6] = {System::Grid80, System::Grid84, System::Utm80,
                                         System::Utm84,  System::Geo80,  System::Geo84};
  for (int i = 0; i < 6; ++i) {
    values[2 * i] = c.store[kSystems[i]].first;
    values[2 * i + 1] = c.store[kSystems[i]].second;
  }
  return Fault::None;
}

}  // namespace norvane
