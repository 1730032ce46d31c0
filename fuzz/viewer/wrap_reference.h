#pragma once
// The wrapping rule written out step by step, inserting into the array as it goes
// (slow, quadratic), to check the fast WrapLines against in tests and fuzzing.
#include <string>
#include <string_view>
#include <vector>

#include "viewer/page_layout.h"

namespace viewer_reference {

inline int WrapLinesStepByStep(const viewer::TextWidthFn& width, double textWidth,
                               std::u16string text, std::vector<std::u16string>& lines,
                               int linesPerPage) {
  const long double limit = textWidth;
  if (!text.empty()) {
    lines.clear();
    if (text.size() < 2 || text.substr(text.size() - 2) != u"\r\n") text += u"\r\n";
    std::size_t start = 0;
    for (;;) {
      const std::size_t p = text.find(u"\r\n", start);
      if (p == std::u16string::npos) {
        lines.push_back(text.substr(start));
        break;
      }
      lines.push_back(text.substr(start, p - start));
      start = p + 2;
    }
  } else if (lines.empty()) {
    return 1;
  }
  std::size_t i = 0;
  while (i < lines.size()) {
    const std::u16string e = lines[i];
    if (width(e) <= limit) {
      ++i;
      continue;
    }
    bool split = false;
    std::size_t from = e.size();
    while (from > 0) {
      const std::size_t blank = e.rfind(u' ', from - 1);
      if (blank == std::u16string::npos) break;
      const std::size_t p = blank + 1;  // 1-based position of the blank
      if (width(std::u16string_view(e).substr(0, p)) <= limit) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), e.substr(0, p));
        lines[i + 1] = e.substr(p);
        split = true;
        break;
      }
      from = blank;
    }
    if (split) continue;
    for (std::size_t q = e.size() - 1; q >= 1 && q < e.size(); --q) {
      if (width(std::u16string_view(e).substr(0, q)) <= limit) {
        std::size_t cut = q;
        if (cut > 1 && e[cut - 1] >= 0xD800 && e[cut - 1] <= 0xDBFF) --cut;
        lines[i] = e.substr(0, cut);
        break;
      }
    }
    ++i;
  }
  const int lpp = linesPerPage < 1 ? 1 : linesPerPage;
  return static_cast<int>(lines.size() / static_cast<std::size_t>(lpp)) + 1;
}

}  // namespace viewer_reference
