#pragma once
// Listing masks in print-using style (no Qt): "#" a digit position, "." the decimal point,
// a field from one "\" to the next "\" a text field whose width counts both backslashes;
// everything else is printed as it stands. Numbers are right-aligned and rounded to the
// decimals the mask shows; text is left-aligned and cut or padded to the field width.
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
};

struct Mask {
  std::vector<MaskItem> items;
};

// One value given to a mask field: a number or a text.
struct MaskValue {
  bool isText = false;
  long double number = 0;
  std::string_view text;
  MaskValue(long double n) : number(n) {}           // NOLINT: implicit on purpose
  MaskValue(double n) : number(n) {}                // NOLINT
  MaskValue(std::string_view t) : isText(true), text(t) {}  // NOLINT
  MaskValue(const char* t) : isText(true), text(t) {}       // NOLINT
};

Mask CompileMask(std::string_view mask);
// Appends the formatted line to out (out is not cleared).
void FormatMask(const Mask& mask, std::span<const MaskValue> values, std::string& out);
std::string FormatMask(std::string_view mask, std::span<const MaskValue> values);

}  // namespace toolkit
