// Input: the first byte chooses the input system (Option1..Option6), the rest is the two
// typed texts separated by the first line feed. Every result system is derived and
// formatted as the form does; each must end with finite values or a reported fault.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "converter/form_logic.h"

using namespace norvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int option = 1 + data[0] % 6;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t cut = rest.find('\n');
  const std::string_view first = rest.substr(0, cut);
  const std::string_view second =
      cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);

  // The six derivations in the batch order.
  Conversion all;
  Fault f = ReadInput(all, option, first, second);
  double values[12];
  if (f == Fault::None && DeriveAllSystems(all, values) == Fault::None)
    for (double v : values)
      if (!std::isfinite(v)) std::abort();

  // One result at a time, as Calculate and Next Result ask for them.
  Conversion c;
  f = ReadInput(c, option, first, second);
  for (int index = 1; index <= 6 && f == Fault::None; ++index) {
    ResultText r;
    const Fault g = DeriveResult(c, index, r);
    if (g == Fault::None) {
      if (r.value1.empty() || r.value2.empty() || r.shownName.empty()) std::abort();
      for (const Pair& p : c.store.pairs)
        if (!std::isfinite(p.first) || !std::isfinite(p.second)) std::abort();
    } else if (FaultMessage(g).empty()) {
      std::abort();
    }
  }
  InputColumn(option, first, second);
  return 0;
}
