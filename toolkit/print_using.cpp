// Listing masks.
//
// A mask is compiled once into literal, number and text items; formatting a line then
// walks the items and appends to the caller's string. Number fields are rounded in two
// steps, as the header says: to 15 significant digits, then to the field's decimals with
// halves away from zero. The common case (a survey value with a few decimals) is done in
// 80-bit and 64-bit integer arithmetic; values where that could differ from the exact
// decimal rounding (near a half at the 15th digit, very large or very small numbers, many
// decimals) take the exact path through std::to_chars.
#include "toolkit/print_using.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "toolkit/number_text.h"
#include "toolkit/survey_files.h"

namespace toolkit {

namespace {

// The rounded magnitude in units of the field's last decimal: digits followed by zeros.
struct Rounded {
  char digits[24];
  int count = 0;  // 0 for zero
  int zeros = 0;  // trailing zeros after the digits
};

constexpr std::uint64_t kPow10[20] = {1ULL,
                                      10ULL,
                                      100ULL,
                                      1000ULL,
                                      10000ULL,
                                      100000ULL,
                                      1000000ULL,
                                      10000000ULL,
                                      100000000ULL,
                                      1000000000ULL,
                                      10000000000ULL,
                                      100000000000ULL,
                                      1000000000000ULL,
                                      10000000000000ULL,
                                      100000000000000ULL,
                                      1000000000000000ULL,
                                      10000000000000000ULL,
                                      100000000000000000ULL,
                                      1000000000000000000ULL,
                                      10000000000000000000ULL};

// Powers 10^-5 .. 10^15 as bounds for finding the decimal exponent.
constexpr long double kBounds[21] = {1e-5L, 1e-4L, 1e-3L, 1e-2L, 1e-1L, 1e0L,  1e1L,
                                     1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,
                                     1e9L,  1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L};

void SetDigits(Rounded& r, std::uint64_t value) {
  if (value == 0) {
    r.count = 0;
    r.zeros = 0;
    return;
  }
  const auto res = std::to_chars(r.digits, r.digits + sizeof r.digits, value);
  r.count = static_cast<int>(res.ptr - r.digits);
  r.zeros = 0;
}

// Exact path: 15 significant digits by to_chars, then rounding at the field's decimals.
void RoundExact(long double a, int decimals, Rounded& r) {
  char buffer[64];
  const auto res =
      std::to_chars(buffer, buffer + sizeof buffer, a, std::chars_format::scientific, 14);
  char d[16];
  int n = 0;
  const char* p = buffer;
  while (p < res.ptr && *p != 'e') {
    if (*p >= '0' && *p <= '9' && n < 15) d[n++] = *p;
    ++p;
  }
  int e = 0;
  if (p < res.ptr && *p == 'e') {
    ++p;
    bool neg = false;
    if (p < res.ptr && (*p == '+' || *p == '-')) neg = *p++ == '-';
    while (p < res.ptr && *p >= '0' && *p <= '9') e = e * 10 + (*p++ - '0');
    if (neg) e = -e;
  }
  // Digits whose place is at or above the last decimal of the field.
  const long long keep = static_cast<long long>(e) + decimals + 1;
  if (keep >= n) {
    std::copy(d, d + n, r.digits);
    r.count = n;
    r.zeros = static_cast<int>(keep - n);
    return;
  }
  if (keep <= 0) {
    SetDigits(r, keep == 0 && d[0] >= '5' ? 1 : 0);
    return;
  }
  const int k = static_cast<int>(keep);
  std::copy(d, d + k, r.digits + 1);
  r.digits[0] = '0';
  if (d[k] >= '5') {
    int i = k;
    while (r.digits[i] == '9') r.digits[i--] = '0';
    ++r.digits[i];
  }
  if (r.digits[0] == '0') {
    std::copy(r.digits + 1, r.digits + k + 1, r.digits);
    r.count = k;
  } else {
    r.count = k + 1;
  }
  r.zeros = 0;
}

void RoundMagnitude(long double a, int decimals, Rounded& r) {
  if (a == 0) {
    SetDigits(r, 0);
    return;
  }
  if (decimals <= 18) {
    // Far below half of the last decimal: zero, whatever the 15-digit rounding does.
    if (a * static_cast<long double>(kPow10[decimals]) < 0.4L) {
      SetDigits(r, 0);
      return;
    }
    if (a >= kBounds[0] && a < kBounds[20]) {
      const int e = static_cast<int>(std::upper_bound(kBounds, kBounds + 21, a) - kBounds) - 1 - 5;
      const int drop = 14 - e - decimals;  // digits of the 15 below the field's last decimal
      if (drop >= 1 && drop <= 19) {
        const long double t = a * static_cast<long double>(kPow10[14 - e]);
        if (t >= 1e14L && t < 1e15L - 1) {
          const auto m = static_cast<std::uint64_t>(t + 0.5L);
          const long double off = t - static_cast<long double>(m);
          if (off > -0.499L && off < 0.499L) {
            SetDigits(r, (m + 5 * kPow10[drop - 1]) / kPow10[drop]);
            return;
          }
        }
      }
    }
  }
  RoundExact(a, decimals, r);
}

void AppendSpecial(const char* text, int width, std::string& out) {
  const int len = static_cast<int>(std::char_traits<char>::length(text));
  if (len > width)
    out += '%';
  else
    out.append(static_cast<std::size_t>(width - len), ' ');
  out += text;
}

void AppendText(std::string_view text, int width, std::string& out) {
  const std::size_t w = static_cast<std::size_t>(std::max(width, 0));
  const std::size_t n = std::min(text.size(), w);
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    out += (c < 32 || c == 127) ? ' ' : static_cast<char>(c);
  }
  out.append(w - n, ' ');
}

}  // namespace

void FormatNumberField(long double value, int width, int decimals, bool point, std::string& out) {
  if (decimals < 0) decimals = 0;
  if (decimals > 0) point = true;
  if (std::isnan(value)) {
    AppendSpecial("NaN", width, out);
    return;
  }
  if (std::isinf(value)) {
    AppendSpecial(value < 0 ? "-Inf" : "Inf", width, out);
    return;
  }
  Rounded r;
  RoundMagnitude(std::fabs(value), decimals, r);
  const bool negative = value < 0 && r.count > 0;
  const long long total = static_cast<long long>(r.count) + r.zeros;
  const long long intDigits = total > decimals ? total - decimals : 0;
  const long long before = static_cast<long long>(width) - (point ? 1 : 0) - decimals;
  const long long intLen = intDigits > 0 ? intDigits : (before - (negative ? 1 : 0) > 0 ? 1 : 0);
  const long long needed = (negative ? 1 : 0) + intLen + (point ? 1 : 0) + decimals;
  if (needed > width)
    out += '%';
  else
    out.append(static_cast<std::size_t>(width - needed), ' ');
  if (negative) out += '-';
  // Digit j of the rounded value (0 = most significant of its total digits).
  auto digitAt = [&r](long long j) { return j < r.count ? r.digits[j] : '0'; };
  if (intDigits > 0) {
    if (intDigits <= r.count) {
      out.append(r.digits, static_cast<std::size_t>(intDigits));
    } else {
      out.append(r.digits, static_cast<std::size_t>(r.count));
      out.append(static_cast<std::size_t>(intDigits - r.count), '0');
    }
  } else if (intLen > 0) {
    out += '0';
  }
  if (point) out += '.';
  // The fraction is the last `decimals` digits, with zeros in front when the value has
  // fewer digits than that.
  const long long lead = decimals - (total - intDigits);
  out.append(static_cast<std::size_t>(lead), '0');
  for (long long j = intDigits; j < total; ++j) {
    if (j >= r.count) {
      out.append(static_cast<std::size_t>(total - j), '0');
      break;
    }
    out += digitAt(j);
  }
}

Mask CompileMask(std::string_view mask) {
  Mask m;
  auto literal = [&m](char c) {
    if (m.items.empty() || m.items.back().type != MaskItem::Type::Literal) m.items.emplace_back();
    m.items.back().literal += c;
  };
  std::size_t i = 0;
  while (i < mask.size()) {
    const char c = mask[i];
    if (c == '#' || (c == '.' && i + 1 < mask.size() && mask[i + 1] == '#')) {
      MaskItem item;
      item.type = MaskItem::Type::Number;
      int before = 0;
      while (i < mask.size() && mask[i] == '#') ++before, ++i;
      if (i < mask.size() && mask[i] == '.') {
        item.point = true;
        ++i;
        while (i < mask.size() && mask[i] == '#') ++item.decimals, ++i;
      }
      item.width = before + (item.point ? 1 : 0) + item.decimals;
      m.items.push_back(std::move(item));
      continue;
    }
    if (c == '\\') {
      const std::size_t close = mask.find('\\', i + 1);
      if (close != std::string_view::npos) {
        MaskItem item;
        item.type = MaskItem::Type::Text;
        item.width = static_cast<int>(close - i + 1);
        m.items.push_back(std::move(item));
        i = close + 1;
        continue;
      }
    }
    literal(c);
    ++i;
  }
  return m;
}

void FormatMask(const Mask& mask, std::span<const MaskValue> values, std::string& out) {
  std::size_t next = 0;
  for (const MaskItem& item : mask.items) {
    if (item.type == MaskItem::Type::Literal) {
      out += item.literal;
      continue;
    }
    if (next >= values.size()) return;
    const MaskValue& v = values[next++];
    if (item.type == MaskItem::Type::Number) {
      const long double number = v.isText ? ReadTextNumber(v.text) : v.number;
      FormatNumberField(number, item.width, item.decimals, item.point, out);
    } else if (v.isText) {
      AppendText(v.text, item.width, out);
    } else {
      AppendText(NumberText(v.number), item.width, out);
    }
  }
}

std::string FormatMask(std::string_view mask, std::span<const MaskValue> values) {
  std::string out;
  FormatMask(CompileMask(mask), values, out);
  return out;
}

}  // namespace toolkit
