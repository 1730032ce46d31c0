// FormatFixed4 over arbitrary doubles: never a crash, the caller's value unchanged, the
// same text as the rule written with the library's truncation, and for ordinary
// values exactly four digits after the point.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "toolkit/number_text.h"
#include "viewer/document.h"

namespace {
std::string Reference(double value) {
  const long double x = value;
  if (std::isnan(x)) return " NaN";
  if (std::isinf(x)) return x < 0 ? "-Inf" : " Inf";
  const long double a = std::fabs(x);
  const long double i = std::truncl(a);
  std::string s = toolkit::NumberText(i) + ".";
  const long double f = (a - i) * 100.0L;
  const long double d1 = std::truncl(f);
  const long double d2 = std::truncl((f - d1) * 100.0L);
  for (long double d : {d1, d2}) {
    const int v = static_cast<int>(d);
    s += static_cast<char>('0' + v / 10);
    s += static_cast<char>('0' + v % 10);
  }
  if (x < 0) s[0] = '-';
  return s;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (size_t off = 0; off + 8 <= size; off += 8) {
    double x;
    std::memcpy(&x, data + off, 8);
    const double copy = x;
    const std::string s = viewer::FormatFixed4(x);
    if (std::memcmp(&copy, &x, 8) != 0) std::abort();
    if (s != Reference(x)) std::abort();
    if (std::isfinite(x) && std::fabs(x) < 1e15) {
      const std::size_t point = s.find('.');
      if (point == std::string::npos || s.size() - point != 5) std::abort();
    }
  }
  return 0;
}
