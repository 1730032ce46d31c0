// WrapLines over arbitrary text with a fixed metric: the first two bytes give the text
// width and the lines per page, the rest is UTF-16 text. The result must equal the
// rule applied step by step, keep every line of the text (only cut lines lose their
// ends), and give a page count of elements / lines per page + 1.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/viewer/wrap_reference.h"
#include "viewer/page_layout.h"

namespace {
int Width(std::u16string_view s) {
  int w = 0;
  for (char16_t c : s) w += c == u' ' ? 3 : 4 + (c % 7);
  return w;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const double width = data[0] * 0.75;
  const int lpp = 1 + data[1] % 9;
  std::u16string text;
  for (size_t i = 2; i + 1 < size && text.size() < 4000; i += 2) {
    char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    // Mostly letters, blanks and line ends, so that breaks happen often.
    switch (c % 8) {
      case 0:
        c = u' ';
        break;
      case 1:
        c = u'\r';
        break;
      case 2:
        c = u'\n';
        break;
      case 3:
        c = static_cast<char16_t>(u'a' + c % 26);
        break;
      default:
        break;
    }
    text += c;
  }
  std::vector<std::u16string> fast, slow;
  const int pf = viewer::WrapLines(Width, width, text, fast, lpp);
  const int ps = viewer_reference::WrapLinesStepByStep(Width, width, text, slow, lpp);
  if (fast != slow || pf != ps) std::abort();
  if (pf != viewer::PageCountOf(fast.size(), lpp)) std::abort();
  // Wrapping what was wrapped changes nothing but the already cut pieces: a second pass
  // of the lines held is stable.
  std::vector<std::u16string> again = fast;
  viewer::WrapLines(Width, width, u"", again, lpp);
  if (again != fast) std::abort();
  return 0;
}
