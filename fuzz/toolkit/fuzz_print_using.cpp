// The mask formatter over arbitrary masks and values. Input: the mask up to the first
// newline, then values of 9 bytes each (a tag byte: even for a double, odd for 8 bytes of
// text). Every number field is also formatted on its own and read back.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "toolkit/print_using.h"
#include "toolkit/survey_files.h"

namespace {

void CheckField(long double v, int width, int decimals) {
  std::string out;
  toolkit::FormatNumberField(v, width, decimals, decimals > 0, out);
  FUZZ_CHECK(!out.empty());
  const bool over = out[0] == '%';
  if (!over)
    FUZZ_CHECK(static_cast<int>(out.size()) == width);
  else
    FUZZ_CHECK(static_cast<int>(out.size()) > width);
  std::string body = out.substr(out.find_first_not_of(over ? "%" : " "));
  if (std::isnan(v)) {
    FUZZ_CHECK(body == "NaN");
    return;
  }
  if (std::isinf(v)) {
    FUZZ_CHECK(body == (v > 0 ? "Inf" : "-Inf"));
    return;
  }
  const std::size_t point = body.find('.');
  if (decimals > 0)
    FUZZ_CHECK(point != std::string::npos &&
               body.size() - point - 1 == static_cast<std::size_t>(decimals));
  else
    FUZZ_CHECK(point == std::string::npos);
  if (body[0] == '-') FUZZ_CHECK(v < 0);
  const bool negative = body[0] == '-';
  if (negative) body.erase(0, 1);
  if (!body.empty() && body[0] == '.') body.insert(0, "0");
  long double back = 0;
  const auto r = std::from_chars(body.data(), body.data() + body.size(), back);
  FUZZ_CHECK(r.ec == std::errc() && r.ptr == body.data() + body.size());
  if (negative) back = -back;
  // Within half of the last decimal, plus what the 15-digit rounding moves.
  const long double half = 0.5L * std::pow(10.0L, -decimals);
  FUZZ_CHECK(std::fabs(back - v) <= half * (1 + 1e-12L) + std::fabs(v) * 5.01e-15L);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nl = input.find('\n');
  const std::string_view maskText = input.substr(0, std::min<std::size_t>(nl, 200));
  const std::string_view rest =
      nl == std::string_view::npos ? std::string_view() : input.substr(nl + 1);
  const toolkit::Mask mask = toolkit::CompileMask(maskText);

  // The mask's text comes back in its items.
  std::size_t described = 0;
  for (const toolkit::MaskItem& item : mask.items) {
    if (item.type == toolkit::MaskItem::Type::Literal)
      described += item.literal.size();
    else
      described += static_cast<std::size_t>(item.width);
    if (item.type == toolkit::MaskItem::Type::Number)
      FUZZ_CHECK(item.width >= 1 && item.decimals >= 0 &&
                 item.decimals + (item.point ? 1 : 0) <= item.width);
  }
  FUZZ_CHECK(described == maskText.size());

  std::vector<toolkit::MaskValue> values;
  std::vector<long double> numbers;
  for (std::size_t at = 0; at + 9 <= rest.size() && values.size() < 16; at += 9) {
    if (static_cast<unsigned char>(rest[at]) % 2 == 0) {
      double d;
      std::memcpy(&d, rest.data() + at + 1, 8);
      values.emplace_back(d);
      numbers.push_back(d);
    } else {
      values.emplace_back(rest.substr(at + 1, 8));
    }
  }
  std::string out;
  toolkit::FormatMask(mask, values, out);
  // A line with every field given is at least as wide as the mask.
  std::size_t fields = 0;
  for (const toolkit::MaskItem& item : mask.items)
    fields += item.type != toolkit::MaskItem::Type::Literal;
  if (fields <= values.size())
    FUZZ_CHECK(out.size() >= maskText.size());
  else
    FUZZ_CHECK(out.size() <= 200 * 40 + 16 * 400);

  for (std::size_t i = 0; i < numbers.size(); ++i) {
    const int decimals = static_cast<unsigned char>(rest[i * 9]) / 2 % 12;
    CheckField(numbers[i], 1 + decimals + static_cast<int>(i), decimals);
  }
  return 0;
}
