// Val, ParseDms and DmsText over arbitrary text, and the packed-angle and mask writers
// over arbitrary doubles taken from the same bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "converter/geodesy.h"

using namespace norvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const double v = Val(text);
  if (std::isnan(v)) std::abort();  // a typed number never reads as NaN
  ParseDms(text);
  const std::string shown = DmsText(text);
  if (shown.size() < 14) std::abort();
  if (size >= 8) {
    double x;
    std::memcpy(&x, data, sizeof x);
    const std::string grid = GridText(x);
    if (std::isfinite(x)) {
      if (grid.empty() || grid.find('.') == std::string::npos) std::abort();
      // What the mask writes reads back within its last place.
      const double back = Val(grid);
      if (std::fabs(x) < 1e15 && std::fabs(back - x) > 0.00005 + std::fabs(x) * 1e-14) std::abort();
    }
    AngleText(x);
    MaskText(PackDms(x), 9);
  }
  return 0;
}
