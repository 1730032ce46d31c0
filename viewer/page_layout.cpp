// Page layout arithmetic of the viewer. Reals are computed in 80-bit extended precision
// and stored in the settings' 32-bit fields; whole numbers are rounded halves to even.
#include "viewer/page_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "viewer/document.h"

namespace viewer {

namespace {

constexpr long double kRoundLimit = 4611686018427387904.0L;  // 2^62

// Elements this long and shorter are measured whole before any break is looked for;
// longer ones are measured by growing pieces only, so a huge line costs what its pieces
// cost and not its whole length again for every piece.
constexpr std::size_t kMeasureWholeLimit = 4096;

int ClampInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, -2147483647, 2147483647));
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Largest n (0 <= n <= length) with width(first n characters) <= limit. knownWhole is
// the whole element's width when already measured, -1 otherwise.
std::size_t FitLength(const TextWidthFn& width, long double limit, std::u16string_view e,
                      long long knownWhole) {
  const std::size_t len = e.size();
  if (len == 0) return 0;
  if (knownWhole >= 0 && knownWhole <= limit) return len;
  if (!(width(e.substr(0, 1)) <= limit)) return 0;
  std::size_t lo = 1;  // fits
  std::size_t hi = 0;  // does not fit (0: unknown yet)
  std::size_t n = 2;
  while (hi == 0) {
    if (n >= len) {
      const long long w = knownWhole >= 0 ? knownWhole : width(e);
      if (w <= limit) return len;
      hi = len;
      break;
    }
    if (width(e.substr(0, n)) <= limit) {
      lo = n;
      n *= 2;
    } else {
      hi = n;
    }
  }
  while (hi - lo > 1) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (width(e.substr(0, mid)) <= limit)
      lo = mid;
    else
      hi = mid;
  }
  return lo;
}

void WrapElement(const TextWidthFn& width, long double limit, std::u16string_view e,
                 std::vector<std::u16string>& out) {
  for (;;) {
    long long whole = -1;
    if (e.size() <= kMeasureWholeLimit) {
      whole = width(e);
      if (whole <= limit) {
        out.emplace_back(e);
        return;
      }
    }
    const std::size_t fit = FitLength(width, limit, e, whole);
    if (fit == e.size()) {  // a long element that fits after all
      out.emplace_back(e);
      return;
    }
    // Word break: the last blank whose piece, blank included, fits.
    if (fit > 0) {
      const std::size_t blank = e.rfind(u' ', fit - 1);
      if (blank != std::u16string_view::npos) {
        out.emplace_back(e.substr(0, blank + 1));
        e = e.substr(blank + 1);
        continue;  // the rest is examined next
      }
    }
    // Character break: the longest fitting start; the rest is dropped.
    std::size_t q = std::min(fit, e.size() - 1);
    if (q > 1 && IsHighSurrogate(e[q - 1])) --q;  // never half a character
    if (q >= 1)
      out.emplace_back(e.substr(0, q));
    else
      out.emplace_back(e);  // not even one character fits: left as it is
    return;
  }
}

std::u16string Utf16OfAscii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

std::int64_t RoundEven(long double x) {
  if (std::isnan(x)) return 0;
  if (x >= kRoundLimit) return static_cast<std::int64_t>(kRoundLimit);
  if (x <= -kRoundLimit) return -static_cast<std::int64_t>(kRoundLimit);
  // nearbyintl rounds halves to even in the default rounding mode.
  return static_cast<std::int64_t>(std::nearbyintl(x));
}

void SetDefaultMarginsAndFont(PageSettings& s, int measurementSystem) {
  s.measurementSystem = measurementSystem;
  const float m = measurementSystem == 1 ? 20.32f : 20.0f;
  s.leftMargin = s.topMargin = s.rightMargin = s.bottomMargin = m;
  SetFontName(s, "Courier New");
  s.fontSize = 10;
  s.fontStyle = 0;
}

void SetFontName(PageSettings& s, std::string_view name, std::size_t maxLength) {
  const std::size_t n = std::min({name.size(), maxLength, sizeof s.fontName - 1});
  std::memset(s.fontName, 0, sizeof s.fontName);
  std::memcpy(s.fontName, name.data(), n);
}

std::string FontFaceForCreation(const PageSettings& s) {
  const std::size_t n = strnlen(s.fontName, sizeof s.fontName);
  return std::string(s.fontName, std::min<std::size_t>(n, 31));
}

PixelSize ComputePageImage(PageSettings& s) {
  if (s.printerResolutionX == 0) {  // no printer: the paper at the screen's resolution
    s.printerResolutionX = s.screenResolutionX;
    s.printerResolutionY = s.screenResolutionY;
    s.orientation = 1;
    if (s.measurementSystem == 1) {
      s.pageWidth = static_cast<float>(8.5L * s.printerResolutionX);
      s.pageHeight = static_cast<float>(11.0L * s.printerResolutionY);
    } else {
      s.pageWidth = static_cast<float>(21.0L / 2.54L * s.printerResolutionX);
      s.pageHeight = static_cast<float>(29.7L / 2.54L * s.printerResolutionY);
    }
  }
  const long double rx = s.printerResolutionX != 0 ? s.printerResolutionX : 1;
  const long double ry = s.printerResolutionY != 0 ? s.printerResolutionY : 1;
  s.imageWidth = static_cast<float>(s.screenResolutionX / rx * s.pageWidth);
  s.imageHeight = static_cast<float>(s.screenResolutionY / ry * s.pageHeight);
  s.leftMarginPixels = static_cast<float>(s.screenResolutionX / 25.4L * s.leftMargin);
  s.topMarginPixels = static_cast<float>(s.screenResolutionY / 25.4L * s.topMargin);
  s.rightMarginPixels = static_cast<float>(s.screenResolutionX / 25.4L * s.rightMargin);
  s.bottomMarginPixels = static_cast<float>(s.screenResolutionY / 25.4L * s.bottomMargin);
  s.textWidth = static_cast<float>(static_cast<long double>(s.imageWidth) - s.leftMarginPixels -
                                   s.rightMarginPixels + 2);
  s.textHeight = static_cast<float>(static_cast<long double>(s.imageHeight) - s.topMarginPixels -
                                    s.bottomMarginPixels + 2);
  // A page image of a printer that reported no paper is still one pixel, and one that
  // reported an absurd size is held to something a screen can show.
  const auto side = [](float v) {
    return static_cast<int>(std::clamp<std::int64_t>(RoundEven(v), 1, 20000));
  };
  return PixelSize{side(s.imageWidth), side(s.imageHeight)};
}

LinesPerPageResult LinesPerPageOf(float textHeight, int cellHeight) {
  const std::int64_t th = RoundEven(textHeight);
  const std::int64_t h = cellHeight;
  if (h <= 0) return LinesPerPageResult{1, false};
  const std::int64_t n = th / h;
  if (n < 1) return LinesPerPageResult{1, false};
  return LinesPerPageResult{ClampInt(n), true};
}

PaperTextArea PaperTextAreaOf(const PageSettings& s) {
  const long double across = static_cast<long double>(s.leftMargin) + s.rightMargin;
  const long double down = static_cast<long double>(s.topMargin) + s.bottomMargin;
  const long double w = s.pageWidth - s.printerResolutionX / 25.4L * across;
  const long double h = s.pageHeight - s.printerResolutionY / 25.4L * down;
  return PaperTextArea{static_cast<double>(w), static_cast<double>(h)};
}

LinesPerPageResult LinesOnPaper(double textHeight, double pitch) {
  if (!(pitch > 0) || !(textHeight >= pitch)) return LinesPerPageResult{1, false};
  // A hair of rounding must not cost the last line that fits exactly.
  const long double n = std::floor(static_cast<long double>(textHeight) / pitch + 1e-9L);
  const long double held = std::min<long double>(n, 2147483647.0L);
  return LinesPerPageResult{ClampInt(static_cast<std::int64_t>(held)), true};
}

int PageCountOf(std::size_t elements, int linesPerPage) {
  const std::int64_t lpp = std::max(linesPerPage, 1);
  return ClampInt(static_cast<std::int64_t>(elements) / lpp + 1);
}

int WrapLines(const TextWidthFn& width, double textWidth, std::u16string_view text,
              std::vector<std::u16string>& lines, int linesPerPage) {
  const long double limit = textWidth;
  std::vector<std::u16string> out;
  if (text.empty()) {
    if (lines.empty()) return PageCountOf(0, linesPerPage);
    out.reserve(lines.size());
    for (const std::u16string& e : lines) WrapElement(width, limit, e, out);
  } else {
    // Elements: the pieces between CR LF pairs, and the piece after the last one.
    std::size_t count = 1;
    for (std::size_t p = text.find(u"\r\n"); p != std::u16string_view::npos;
         p = text.find(u"\r\n", p + 2))
      ++count;
    const bool endsWithCrLf = text.size() >= 2 && text.substr(text.size() - 2) == u"\r\n";
    out.reserve(count + (endsWithCrLf ? 0 : 1) + count / 8);
    std::size_t start = 0;
    for (;;) {
      const std::size_t p = text.find(u"\r\n", start);
      if (p == std::u16string_view::npos) {
        WrapElement(width, limit, text.substr(start), out);
        // A text without its final CR LF gets one, and with it the empty last element.
        if (!endsWithCrLf) out.emplace_back();
        break;
      }
      WrapElement(width, limit, text.substr(start, p - start), out);
      start = p + 2;
    }
  }
  lines = std::move(out);
  return PageCountOf(lines.size(), linesPerPage);
}

LineRange PageLineRange(int page, int linesPerPage, std::size_t elements) {
  const std::int64_t lpp = std::max(linesPerPage, 1);
  const std::int64_t n = static_cast<std::int64_t>(elements);
  const std::int64_t first = std::min((std::max(page, 1) - 1) * lpp + 1, n);
  const std::int64_t last = std::min(first + lpp - 1, n);
  return LineRange{first, last};
}

std::string PageLabel(int page, int pageCount) {
  return "Page" + ViewerNumberText(page) + "/" + ViewerPlainNumberText(pageCount);
}

std::u16string NameFromCaption(std::u16string_view caption) {
  const std::size_t p = caption.find_last_of(u"\\/");
  if (p == std::u16string_view::npos) return u"Untitled";
  std::u16string_view name = caption.substr(p + 1);
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (!name.empty() && blank(name.front())) name.remove_prefix(1);
  while (!name.empty() && blank(name.back())) name.remove_suffix(1);
  return std::u16string(name);
}

std::u16string PageHeading(std::u16string_view name, std::string_view label, std::string_view date,
                           std::string_view time) {
  std::u16string h(name);
  h += u"  |  ";
  h += Utf16OfAscii(label);
  h += u"  |  ";
  h += Utf16OfAscii(date);
  h += u", ";
  h += Utf16OfAscii(time);
  return h;
}

int NextZoom(int zoom) {
  if (zoom == 0) return 75;
  if (zoom == 75) return 100;
  return 0;
}

ViewPlacement PlacePageView(const PageSettings& s, int cw, int ch) {
  long double aw;
  long double ah;
  if (s.zoom == 0) {
    aw = cw - 14;
    ah = ch - 14;
  } else {
    aw = RoundEven(static_cast<long double>(s.imageWidth) * s.zoom / 100);
    ah = RoundEven(static_cast<long double>(s.imageHeight) * s.zoom / 100);
  }
  // A printer that reported no paper size would divide by zero: use the image's shape.
  long double pw = s.pageWidth;
  long double ph = s.pageHeight;
  if (!(pw > 0 && ph > 0)) {
    pw = s.imageWidth > 0 ? s.imageWidth : 1;
    ph = s.imageHeight > 0 ? s.imageHeight : 1;
  }
  long double vw;
  long double vh;
  if (s.orientation == 2) {
    vw = aw;
    vh = ph * aw / pw;
    if (ah < vh) {
      vh = ah;
      vw = pw * ah / ph;
    }
  } else {
    vh = ah;
    vw = pw * ah / ph;
    if (aw < vw) {
      vw = aw;
      vh = ph * aw / pw;
    }
  }
  // A canvas smaller than the gaps still gets a page view of one pixel.
  vw = std::max<long double>(vw, 1);
  vh = std::max<long double>(vh, 1);
  ViewPlacement v{};
  v.viewWidth = static_cast<float>(vw);
  v.viewHeight = static_cast<float>(vh);
  v.x0 = ClampInt(std::max<std::int64_t>(RoundEven((cw - vw) / 2), 7));
  v.y0 = ClampInt(std::max<std::int64_t>(RoundEven((ch - vh) / 2), 7));
  v.totalWidth = RoundEven(v.x0 + vw + 7);
  v.totalHeight = RoundEven(v.y0 + vh + 7);
  return v;
}

void SetViewGuides(PageSettings& s) {
  const long double iw = s.imageWidth > 0 ? s.imageWidth : 1;
  const long double ih = s.imageHeight > 0 ? s.imageHeight : 1;
  s.viewScaleX = static_cast<float>(s.viewWidth / iw);
  s.viewScaleY = static_cast<float>(s.viewHeight / ih);
  s.viewLeftGuide = static_cast<float>(static_cast<long double>(s.leftMarginPixels) * s.viewScaleX);
  s.viewTopGuide = static_cast<float>(static_cast<long double>(s.topMarginPixels) * s.viewScaleY);
  s.viewRightGuide =
      static_cast<float>(static_cast<long double>(s.viewWidth) -
                         static_cast<long double>(s.rightMarginPixels) * s.viewScaleX - 2);
  s.viewBottomGuide =
      static_cast<float>(static_cast<long double>(s.viewHeight) -
                         static_cast<long double>(s.bottomMarginPixels) * s.viewScaleY - 2);
}

ScrollRanges ComputeScrollRanges(int cw, int ch, std::int64_t totalWidth, std::int64_t totalHeight,
                                 bool hShown, bool vShown, int hBarHeight, int vBarWidth) {
  if (!hShown && cw < totalWidth)
    ch -= hBarHeight;
  else if (hShown && cw - vBarWidth > totalWidth)
    ch += hBarHeight;
  if (!vShown && ch < totalHeight)
    cw -= vBarWidth;
  else if (vShown && ch - hBarHeight > totalHeight)
    cw += vBarWidth;
  cw = std::max(cw, 0);
  ch = std::max(ch, 0);
  ScrollRanges r{};
  r.clientWidth = cw;
  r.clientHeight = ch;
  r.hMax = std::max<std::int64_t>(cw, totalWidth) - 1;
  r.hPage = cw;
  r.vMax = std::max<std::int64_t>(ch, totalHeight) - 1;
  r.vPage = ch;
  r.hShown = r.hMax + 1 > r.hPage;
  r.vShown = r.vMax + 1 > r.vPage;
  return r;
}

std::int64_t MaxScrollPosition(std::int64_t max, int page) {
  return std::max<std::int64_t>(max - page + 1, 0);
}

std::int64_t PlaceScrollPosition(std::int64_t position, std::int64_t max, int page, int click,
                                 int clientSize, float viewSize, int& previousView, bool fitMode,
                                 bool vertical) {
  if (previousView == 0)
    previousView = ClampInt(RoundEven(static_cast<long double>(viewSize) + 13));
  const long double prev = previousView;
  const long double off = std::max<long double>(clientSize - prev, 0);
  const long double at = static_cast<long double>(position) + click - off;
  const std::int64_t furthest = MaxScrollPosition(max, page);
  std::int64_t next;
  const bool nearStart = vertical ? (position == 0 && at < prev / 3) : (at < prev / 3);
  if (fitMode || nearStart) {
    next = 0;
  } else if (at > prev * 2 / 3) {
    next = furthest;
  } else {
    next = std::min(RoundEven(max * (static_cast<long double>(position) + click) / prev - click),
                    furthest);
  }
  previousView = ClampInt(RoundEven(static_cast<long double>(viewSize) + 13));
  return std::clamp<std::int64_t>(next, 0, furthest);
}

std::int64_t ScrollTo(ScrollRequest request, std::int64_t position, std::int64_t max, int page,
                      std::int64_t tracked) {
  std::int64_t next = position;
  switch (request) {
    case ScrollRequest::LineBack:
      next = position - 10;
      break;
    case ScrollRequest::LineForward:
      next = position + 10;
      break;
    case ScrollRequest::PageBack:
      next = position - page;
      break;
    case ScrollRequest::PageForward:
      next = position + page;
      break;
    case ScrollRequest::Thumb:
      next = tracked;
      break;
  }
  return std::clamp<std::int64_t>(next, 0, MaxScrollPosition(max, page));
}

bool SamePaper(const PageSettings& a, const PageSettings& b) {
  if (a.printerResolutionX <= 0 || a.printerResolutionY <= 0 || b.printerResolutionX <= 0 ||
      b.printerResolutionY <= 0)
    return false;
  if (a.orientation != b.orientation) return false;
  constexpr long double kHalfPoint = 1.0L / 144.0L;  // inch
  const auto same = [](float pa, int ra, float pb, int rb) {
    return std::fabs(static_cast<long double>(pa) / ra - static_cast<long double>(pb) / rb) <=
           kHalfPoint;
  };
  return same(a.pageWidth, a.printerResolutionX, b.pageWidth, b.printerResolutionX) &&
         same(a.pageHeight, a.printerResolutionY, b.pageHeight, b.printerResolutionY) &&
         same(a.unprintableLeft, a.printerResolutionX, b.unprintableLeft, b.printerResolutionX) &&
         same(a.unprintableRight, a.printerResolutionX, b.unprintableRight, b.printerResolutionX) &&
         same(a.unprintableTop, a.printerResolutionY, b.unprintableTop, b.printerResolutionY) &&
         same(a.unprintableBottom, a.printerResolutionY, b.unprintableBottom, b.printerResolutionY);
}

PrintOrigin PrintOriginOf(const PageSettings& s) {
  PrintOrigin o{};
  o.left = RoundEven(s.printerResolutionX / 25.4L * s.leftMargin - s.unprintableLeft);
  o.top = RoundEven(s.printerResolutionY / 25.4L * s.topMargin - s.unprintableTop);
  return o;
}

std::int64_t MarginToDialog(float millimetres, int measurementSystem) {
  if (measurementSystem == 1) return RoundEven(1000.0L * millimetres / 25.4L);
  return RoundEven(100.0L * millimetres);
}

float MarginFromDialog(std::int64_t value, int measurementSystem) {
  if (measurementSystem == 1) return static_cast<float>(value / 1000.0L * 25.4L);
  return static_cast<float>(value / 100.0L);
}

}  // namespace viewer
