#pragma once
// Plain text forms of numbers (no Qt), computed in 80-bit extended precision.
//
// NumberText: a leading blank for x >= 0, "-" for x < 0; rounded to 15 significant
// digits; no point for whole values; trailing zeros of a fraction dropped; no 0 before
// the point when |x| < 1 (0.5 -> " .5", -0.25 -> "-.25"); exponent form when the plain
// form would need more than 15 digits before or after the point (1.5E20 -> " 1.5E+20");
// zero -> " 0"; a negative zero is zero. NaN -> " NaN", infinities -> " Inf" and "-Inf".
// The text never depends on the user's locale (the point is always ".").
// PlainNumberText: the same without the leading blank.
// LevelText: heights and tick values: the number text of the whole metres, ".", and the
// truncated centimetres as two digits (12.5 -> " 12.50", -3.456 -> "-3.45",
// a stored 12.34 -> " 12.33", -0.5 -> "-0.50"). The centimetres are cut from the value
// as stored, in 80-bit arithmetic, never rounded. NaN and infinities give their
// NumberText (" NaN", " Inf", "-Inf") without decimals.
#include <string>

namespace toolkit {

std::string NumberText(long double x);
std::string PlainNumberText(long double x);
std::string LevelText(long double x);

}  // namespace toolkit
