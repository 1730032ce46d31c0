// Plain text forms of numbers.
//
// The digits come from std::to_chars on the 80-bit value, which is correctly rounded and
// independent of the user's locale (a decimal comma never appears). NaN prints as "NaN"
// and infinities as "Inf" and "-Inf", with the leading blank of NumberText for the
// non-negative ones; a negative zero prints as zero.
#include "toolkit/number_text.h"

#include <charconv>
#include <cmath>
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

// The text without the sign position.
void AppendMagnitude(std::string& out, long double a) {
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

std::string LevelText(long double x) {
  if (!std::isfinite(x)) return NumberText(x);
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
