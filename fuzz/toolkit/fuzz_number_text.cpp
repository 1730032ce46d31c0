// NumberText, PlainNumberText and LevelText over arbitrary doubles (and 80-bit values):
// NaN, infinities, denormals, the largest values. The text must read back to the value
// within its 15 digits and keep the documented shape.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "toolkit/number_text.h"

namespace {

long double ParseBack(std::string s) {
  bool negative = false;
  if (!s.empty() && (s[0] == ' ' || s[0] == '-')) {
    negative = s[0] == '-';
    s.erase(0, 1);
  }
  if (!s.empty() && s[0] == '.') s.insert(0, "0");
  for (char& c : s)
    if (c == 'E') c = 'e';
  long double v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  FUZZ_CHECK(r.ec == std::errc() && r.ptr == s.data() + s.size());
  return negative ? -v : v;
}

void CheckNumber(long double x) {
  const std::string text = toolkit::NumberText(x);
  const std::string plain = toolkit::PlainNumberText(x);
  FUZZ_CHECK(text.size() >= 2 && text.size() <= 24);
  FUZZ_CHECK(text[0] == (x < 0 ? '-' : ' '));
  FUZZ_CHECK(plain == (text[0] == ' ' ? text.substr(1) : text));
  if (std::isnan(x)) {
    FUZZ_CHECK(text == " NaN");
    return;
  }
  if (std::isinf(x)) {
    FUZZ_CHECK(text == (x > 0 ? " Inf" : "-Inf"));
    return;
  }
  for (char c : text.substr(1)) FUZZ_CHECK(std::strchr("0123456789.E+-", c) != nullptr);
  FUZZ_CHECK(text.find(',') == std::string::npos);
  if (text.find('.') != std::string::npos && text.find('E') == std::string::npos)
    FUZZ_CHECK(text.back() != '0');
  const long double back = ParseBack(text);
  if (x == 0) {
    FUZZ_CHECK(text == " 0");
  } else {
    const long double tolerance = std::fabs(x) * 5.000001e-15L;
    FUZZ_CHECK(std::fabs(back - x) <= tolerance);
  }
  // Level text: whole metres' number text, ".", two digits cut from the value.
  const std::string level = toolkit::LevelText(x);
  FUZZ_CHECK(level.size() >= 5);
  FUZZ_CHECK(level[level.size() - 3] == '.');
  FUZZ_CHECK(std::isdigit(static_cast<unsigned char>(level[level.size() - 2])) &&
             std::isdigit(static_cast<unsigned char>(level.back())));
  FUZZ_CHECK(level[0] == (x < 0 ? '-' : ' '));
  const long double a = std::fabs(x);
  if (a < 1e15L) {
    const long double whole = std::trunc(a);
    const std::string head = toolkit::NumberText(whole);
    FUZZ_CHECK(level.compare(1, head.size() - 1, head, 1) == 0);
    const int cents = (level[level.size() - 2] - '0') * 10 + (level.back() - '0');
    FUZZ_CHECK(cents == static_cast<int>(std::trunc((a - whole) * 100.0L)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (std::size_t at = 0; at + 8 <= size && at < 64; at += 8) {
    double d;
    std::memcpy(&d, data + at, 8);
    CheckNumber(d);
  }
  if (size >= 10) {
    long double x = 0;
    std::memcpy(&x, data, 10);  // any 80-bit pattern, unnormals included
    if (std::isfinite(x) && std::fabs(x) < 1e4000L && (x == 0 || std::fabs(x) > 1e-4000L))
      CheckNumber(x);
    else
      (void)toolkit::NumberText(x), (void)toolkit::LevelText(x);
  }
  return 0;
}
