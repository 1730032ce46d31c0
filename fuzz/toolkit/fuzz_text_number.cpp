// The lenient text-number reader over arbitrary bytes. The input is copied into a buffer
// of exactly its length, so reading past n is caught by the address sanitizer. Where the
// text uses only number characters the result must agree with the C library's reading.
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "toolkit/survey_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> exact(new char[size == 0 ? 1 : size]);
  if (size > 0) std::memcpy(exact.get(), data, size);
  const double v = toolkit::ReadTextNumber(exact.get(), size);
  FUZZ_CHECK(!std::isnan(v));
  // Every prefix reads without touching the bytes after it.
  for (std::size_t n = 0; n <= size && n <= 16; ++n) {
    std::unique_ptr<char[]> prefix(new char[n == 0 ? 1 : n]);
    if (n > 0) std::memcpy(prefix.get(), data, n);
    FUZZ_CHECK(!std::isnan(toolkit::ReadTextNumber(prefix.get(), n)));
  }
  // No number in front: zero.
  std::size_t p = 0;
  while (p < size && (data[p] == ' ' || data[p] == '\t' || data[p] == '\n' || data[p] == '\r')) ++p;
  if (p < size && data[p] == '+')
    ++p;
  else if (p < size && data[p] == '-')
    ++p;
  const bool digitNext =
      p < size &&
      (std::isdigit(data[p]) || (data[p] == '.' && p + 1 < size && std::isdigit(data[p + 1])));
  if (!digitNext) FUZZ_CHECK(v == 0);
  // Only number characters: the same value as strtod in the C locale (D read as E).
  if (size > 0 && size <= 64) {
    std::string text(reinterpret_cast<const char*>(data), size);
    bool plain = true;
    for (char& c : text) {
      if (c == 'd' || c == 'D') c = 'e';
      if (!std::strchr(" \t\n\r0123456789+-.eE", c) || c == '\0') plain = false;
    }
    if (plain) {
      std::setlocale(LC_NUMERIC, "C");
      const double expect = std::strtod(text.c_str(), nullptr);
      FUZZ_CHECK(v == expect);
    }
  }
  return 0;
}
