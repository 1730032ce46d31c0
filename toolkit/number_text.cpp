// Plain text forms of numbers.
//
// The digits come from std::to_chars on the 80-bit value, which is correctly rounded and
// independent of the user's locale (a decimal comma never appears). NaN prints as "NaN"
// and infinities as "Inf" and "-Inf", with the leading blank of NumberText for the
// non-negative ones; a negative zero prints as zero.
//
// Point numbers and levels come by the million in a plan: whole numbers below 10^15 and
// levels of values that are doubles take a short way in integer arithmetic, which gives
// the very same text (a whole number of at most 15 digits is its own rounding; the
// centimetres of a double are cut exactly, as in 80-bit arithmetic, where the product of
// the fraction and 100 needs at most 60 bits).
#include "toolkit/number_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace toolkit {

namespace {

constexpr int kDigits = 15;

// Digits and decimal exponent of |x| rounded to 15 significant digits, trailing zeros
// dropped: |x| = d1.d2d3... * 10^exponent. x must be finite and not zero.
struct Decimal {
  char digits[kDigits + 1];
  int count = 0;
  int exponent = 0;
};

Decimal ToDecimal(long double a) {
  Decimal d;
  char buffer[64];
  const auto r =
      std::to_chars(buffer, buffer + sizeof buffer, a, std::chars_format::scientific, kDigits - 1);
  const char* p = buffer;
  const char* end = r.ptr;
  while (p < end && *p != 'e') {
    if (*p >= '0' && *p <= '9' && d.count < kDigits) d.digits[d.count++] = *p;
    ++p;
  }
  if (p < end && *p == 'e') {
    ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    int e = 0;
    while (p < end && *p >= '0' && *p <= '9') e = e * 10 + (*p++ - '0');
    d.exponent = negative ? -e : e;
  }
  while (d.count > 1 && d.digits[d.count - 1] == '0') --d.count;
  d.digits[d.count] = '\0';
  return d;
}

void AppendInt(std::string& out, int value) {
  char buffer[16];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, r.ptr);
}

// Whole numbers from 1 to 10^15 - 1, as doubles hold them exactly.
constexpr double kWholeLimit = 1e15;

// The digits of a whole a in [1, 10^15); false for any other value.
bool AppendWhole(std::string& out, long double a) {
  if (!(a >= 1 && a < kWholeLimit)) return false;
  const double d = static_cast<double>(a);
  if (static_cast<long double>(d) != a) return false;
  const auto n = static_cast<std::int64_t>(d);
  if (static_cast<double>(n) != d) return false;
  char buffer[24];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, n);
  out.append(buffer, r.ptr);
  return true;
}

// The text without the sign position.
void AppendMagnitude(std::string& out, long double a) {
  if (AppendWhole(out, a)) return;
  if (std::isnan(a)) {
    out += "NaN";
    return;
  }
  if (std::isinf(a)) {
    out += "Inf";
    return;
  }
  if (a == 0) {
    out += '0';
    return;
  }
  const Decimal d = ToDecimal(a);
  const int e = d.exponent;
  const int after = e >= 0 ? (d.count > e + 1 ? d.count - (e + 1) : 0) : -e - 1 + d.count;
  if (e >= kDigits || after > kDigits) {
    out += d.digits[0];
    if (d.count > 1) {
      out += '.';
      out.append(d.digits + 1, d.count - 1);
    }
    out += 'E';
    out += e < 0 ? '-' : '+';
    AppendInt(out, std::abs(e));
    return;
  }
  if (e >= 0) {
    for (int i = 0; i <= e; ++i) out += i < d.count ? d.digits[i] : '0';
    if (d.count > e + 1) {
      out += '.';
      out.append(d.digits + e + 1, d.count - (e + 1));
    }
  } else {
    out += '.';
    out.append(static_cast<std::size_t>(-e - 1), '0');
    out.append(d.digits, d.count);
  }
}

}  // namespace

std::string NumberText(long double x) {
  std::string out;
  out += (x < 0) ? '-' : ' ';
  AppendMagnitude(out, std::fabs(x));
  return out;
}

std::string PlainNumberText(long double x) {
  std::string out;
  if (x < 0) out += '-';
  AppendMagnitude(out, std::fabs(x));
  return out;
}

namespace {

// LevelText of a value that is a double below 10^15 in size: the whole metres and the
// truncated centimetres from the double's own bits. False for any other value.
bool LevelOfDouble(long double x, std::string& out) {
  if (!(std::fabs(x) < kWholeLimit)) return false;
  const double d = static_cast<double>(x);
  if (static_cast<long double>(d) != x) return false;
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(d);
  const int field = int((bits >> 52) & 0x7FF);
  std::uint64_t m = bits & ((std::uint64_t(1) << 52) - 1);
  if (field != 0) m |= std::uint64_t(1) << 52;
  // |d| = m * 2^-shift, m below 2^53; below 10^15 (2^50) the shift is at least 3, and from
  // 64 on the value is below 2^-11: no whole metre and no centimetre.
  const int shift = 1075 - (field != 0 ? field : 1);
  std::uint64_t whole = 0;
  unsigned cents = 0;
  if (shift < 64) {
    whole = m >> shift;
    const unsigned __int128 fraction = m & ((std::uint64_t(1) << shift) - 1);
    cents = unsigned((fraction * 100) >> shift);
  }
  char buffer[32];
  char* p = buffer;
  *p++ = x < 0 ? '-' : ' ';
  p = std::to_chars(p, buffer + 24, whole).ptr;
  *p++ = '.';
  *p++ = static_cast<char>('0' + cents / 10);
  *p++ = static_cast<char>('0' + cents % 10);
  out.assign(buffer, p);
  return true;
}

}  // namespace

std::string LevelText(long double x) {
  if (!std::isfinite(x)) return NumberText(x);
  std::string fast;
  if (LevelOfDouble(x, fast)) return fast;
  const long double a = std::fabs(x);
  const long double i = std::trunc(a);
  long double k = std::trunc((a - i) * 100.0L);
  // (a - i) lies in [0, 1), so k is 0 to 99; the clamp only guards the conversion.
  if (!(k >= 0)) k = 0;
  if (k > 99) k = 99;
  const int cents = static_cast<int>(k);
  std::string out = NumberText(i);
  out += '.';
  out += static_cast<char>('0' + cents / 10);
  out += static_cast<char>('0' + cents % 10);
  if (x < 0) out[0] = '-';
  return out;
}

}  // namespace toolkit
