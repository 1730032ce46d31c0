#pragma once
// What the converter form shows and prints, without the window: the input and result
// systems with their names and captions, reading the typed input into the store, the
// result texts with their zone, the printed columns, the About text and the messages for
// an abandoned calculation. Plain C++ (no Qt); the form and the batch converter share it.
#include <string>
#include <string_view>
#include <vector>

#include "converter/transforms.h"

namespace norvane {

// Input systems, by option button 1..6 (Option1 .. Option6).
struct InputSystemInfo {
  System system;
  bool geodetic;     // read with ParseDms from Text3/Text4, else Val from Text1/Text2
  const char* name;  // shown and printed
  const char* caption1;
  const char* caption2;
};
const InputSystemInfo& InputSystemFor(int option);

// Result systems, by result index 1..6 (Check1 .. Check6).
struct ResultSystemInfo {
  System system;
  Fault (*ensure)(Conversion&);
  bool geodetic;
  int utmEllipsoidGeo;  // for UTM: the index of the geodetic result of its ellipsoid, else 0
  const char* shownName;
  const char* printedName;
  const char* caption1;
  const char* caption2;
};
const ResultSystemInfo& ResultSystemFor(int index);

// The input is present when the northing and easting texts are both filled or the
// latitude and longitude texts are both filled, whichever option is selected.
bool InputPresent(std::string_view text1, std::string_view text2, std::string_view text3,
                  std::string_view text4);

// Clears the store and stores the pair read from the option's two texts (Val for grids,
// ParseDms for latitude and longitude). A number too large gives Fault::Overflow and a
// latitude beyond 90 degrees or a longitude beyond 180 degrees Fault::OutOfRange; the
// store is then left cleared. The pair may be absent (both zero): the results are then
// not available (Fault::NoInput from the derivations).
Fault ReadInput(Conversion& c, int option, std::string_view first, std::string_view second);

// A result as shown and printed.
struct ResultText {
  std::string shownName;    // "UTM80    Zone 50"
  std::string printedName;  // "WGS 84" for the WGS 84 geodetic result
  std::string caption1, caption2;
  std::string value1, value2;
};
// Runs the result's derivation and formats it. For UTM the zone is 50 when the geodetic
// longitude of the same ellipsoid is greater than 114 degrees, otherwise 49; when that
// longitude is not yet known (a UTM input shown as itself) it is found by the zone trial
// on a scratch copy, so that the label never claims a zone the input does not lie in.
Fault DeriveResult(Conversion& c, int index, ResultText& out);

// The two lines shown in place of result values that cannot be given (no input pair).
inline constexpr const char* kNotAvailable1 = "not available:";
inline constexpr const char* kNotAvailable2 = "no input values";

// Printed columns. The input column starts at column 5 and the result column at column
// 35; a longer input text pushes the result column right so the two never overlap.
inline constexpr int kInputColumn = 5;
inline constexpr int kResultColumn = 35;
int ResultColumnFor(std::string_view inputText);
// Input column for a typed pair: name, caption + text (geodetic text through DmsText).
std::vector<std::string> InputColumn(int option, std::string_view first, std::string_view second);
std::vector<std::string> ResultColumn(const ResultText& r);

// The About box, line by line, and joined by a carriage return alone.
std::vector<std::string> AboutLines();
std::string AboutText();

// The message for an abandoned calculation.
inline constexpr const char* kFaultTitle = "Calculation abandoned";
std::string FaultMessage(Fault f);
// Where no printer is installed.
inline constexpr const char* kNoPrinterTitle = "Print Result";
inline constexpr const char* kNoPrinterText =
    "No printer is installed on this computer, so the results cannot be printed.\n"
    "Install a printer (or choose a default printer) and press Print Result again.";
// Where printers are installed but not the one a printer setting names: this follows
// "Printer NAME was not found"; `setting` is the setting that named it ("the PRINTER
// setting").
std::string PrinterNotFoundText(std::string_view setting);

// The batch form: derives all six systems in the order EnsureGrid80, EnsureGrid84,
// EnsureUtm80, EnsureUtm84, EnsureGeo80, EnsureGeo84 (as Print Result does with every
// box ticked). On success `values` holds Grid80, Grid84, UTM80, UTM84, Geo80, Geo84 pairs.
Fault DeriveAllSystems(Conversion& c, double (&values)[12]);

}  // namespace norvane
