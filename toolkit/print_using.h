#pragma once
// Listing masks in print-using style (no Qt): "#" a digit position, "." the decimal point,
// a field from one "\" to the next "\" a text field whose width counts both backslashes;
// everything else is printed as it stands. Numbers are right-aligned and rounded to the
// decimals the mask shows; text is left-aligned and cut or padded to the field width.
//
// Number fields in detail:
// - A number field is a run of "#" with at most one "." among or before them
//   ("####.###", "###", ".##"); a "." not touching a "#" is printed as it stands.
// - Rounding: the value is first taken to 15 significant digits (as NumberText shows it,
//   so binary noise such as 2.0005 stored as 2.000499999... does not decide), then
//   rounded to the field's decimals, halves away from zero.
// - A "0" stands before the point when the field has a position for it (0.5 in "##.##"
//   gives " 0.50"). A negative number's "-" takes a digit position. A number that rounds
//   to zero prints without "-".
// - A number too wide for its field is printed in full, preceded by "%" (the line then
//   grows by what the field lacks), so that no digit is lost.
// - NaN and infinities print right-aligned as "NaN", "Inf" and "-Inf" (with "%" in front
//   when even that does not fit).
// - A text given to a number field is read as a text number; a number given to a text
//   field is written as its NumberText.
// Text fields: zero bytes and other control characters print as blanks.
// Values are taken in order, one per field. Output stops at the first field for which
// no value is left (what precedes it is printed); values beyond the last field are ignored.
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

struct MaskItem {
  enum class Type { Literal, Number, Text } type = Type::Literal;
  std::string literal;  // Literal
  int width = 0;        // Number: all positions incl. point; Text: backslashes included
  int decimals = 0;     // Number
  bool point = false;   // Number: the field shows a decimal point
};

struct Mask {
  std::vector<MaskItem> items;
};

// One value given to a mask field: a number or a text.
struct MaskValue {
  bool isText = false;
  long double number = 0;
  std::string_view text;
  MaskValue(long double n) : number(n) {}                          // NOLINT: implicit on purpose
  MaskValue(double n) : number(n) {}                               // NOLINT
  MaskValue(int n) : number(n) {}                                  // NOLINT
  MaskValue(long n) : number(n) {}                                 // NOLINT
  MaskValue(long long n) : number(static_cast<long double>(n)) {}  // NOLINT
  MaskValue(unsigned n) : number(n) {}                             // NOLINT
  MaskValue(unsigned long n) : number(static_cast<long double>(n)) {}       // NOLINT
  MaskValue(unsigned long long n) : number(static_cast<long double>(n)) {}  // NOLINT
  MaskValue(std::string_view t) : isText(true), text(t) {}                  // NOLINT
  MaskValue(const std::string& t) : isText(true), text(t) {}                // NOLINT
  MaskValue(const char* t) : isText(true), text(t) {}                       // NOLINT
};

Mask CompileMask(std::string_view mask);
// Appends the formatted line to out (out is not cleared). No allocation beyond out's own
// growth, so a reused out formats a line without allocating.
void FormatMask(const Mask& mask, std::span<const MaskValue> values, std::string& out);
std::string FormatMask(std::string_view mask, std::span<const MaskValue> values);
inline std::string FormatMask(std::string_view mask, std::initializer_list<MaskValue> values) {
  return FormatMask(mask, std::span<const MaskValue>(values.begin(), values.size()));
}
inline void FormatMask(const Mask& mask, std::initializer_list<MaskValue> values,
                       std::string& out) {
  FormatMask(mask, std::span<const MaskValue>(values.begin(), values.size()), out);
}

// One number field on its own: width positions including the point, decimals after it
// (point: whether the field shows the point even with no decimals). Appends to out.
void FormatNumberField(long double value, int width, int decimals, bool point, std::string& out);

}  // namespace toolkit
