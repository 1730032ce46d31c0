// Labels drawn from pixels rendered once per font.
#include "planplot/label_stamps.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <bit>
#include <cmath>

namespace planplot {
namespace {

// The characters of number and level texts, in slot order.
constexpr std::string_view kLabelCharacters = "0123456789 .-+E";

// A coordinate (pixels) that lies within rounding noise of a 1/128 pixel step without
// lying on it: the painter's fixed-point rounding of it could tip when it is shifted.
bool NearStep(double v) {
  const double steps = v * 128;
  const double off = std::fabs(steps - std::nearbyint(steps));
  return off != 0 && off < 1e-6;
}

// The binary magnitude of v >= 1: floor(log2(v)).
inline int Magnitude(double v) {
  return int((std::bit_cast<std::uint64_t>(v) >> 52) & 0x7FF) - 1023;
}

void Fill(uchar* bits, qsizetype bpl, int w, int h, int x, int y, const PixelRuns& pixels,
          QRgb colour) {
  if (x + pixels.left >= 0 && y + pixels.top >= 0 && x + pixels.right <= w &&
      y + pixels.bottom <= h) {
    uchar* corner = bits + y * bpl + qsizetype(x) * 4;
    for (const PixelRuns::Run& r : pixels.runs) {
      QRgb* p = reinterpret_cast<QRgb*>(corner + r.y * bpl) + r.x0;
      for (int n = r.x1 - r.x0; n > 0; --n) *p++ = colour;
    }
    return;
  }
  for (const PixelRuns::Run& r : pixels.runs) {
    const int row = y + r.y;
    if (row < 0 || row >= h) continue;
    const int x0 = std::max(0, x + r.x0), x1 = std::min(w, x + r.x1);
    if (x0 >= x1) continue;
    QRgb* line = reinterpret_cast<QRgb*>(bits + row * bpl);
    std::fill(line + x0, line + x1, colour);
  }
}

}  // namespace

LabelStamps::LabelStamps(const QFont& font, int escapement, const QFontMetrics& metrics,
                         const QImage& device)
    : font_(font), escapement_(escapement), height_(metrics.height()), ascent_(metrics.ascent()) {
  if (escapement_ != 0) rotation_.rotate(-escapement_ / 10.0);
  exactTransform_ = escapement_ % 900 == 0;
  dotsPerMeterX_ = device.dotsPerMeterX();
  dotsPerMeterY_ = device.dotsPerMeterY();
  QImage probe(1, 1, QImage::Format_RGB32);
  probe.setDotsPerMeterX(dotsPerMeterX_);
  probe.setDotsPerMeterY(dotsPerMeterY_);
  const QFontMetricsF f(font_, &probe);
  for (std::size_t i = 0; i < kLabelCharacters.size(); ++i)
    advance_[i] =
        int(std::lround(f.horizontalAdvance(QString(QLatin1Char(kLabelCharacters[i]))) * 64));
  const int side = 4 * (metrics.maxWidth() + height_) + 16;
  scratch_ = QImage(side, side, QImage::Format_RGB32);
  scratch_.fill(0xFF000000u);
  scratch_.setDotsPerMeterX(dotsPerMeterX_);
  scratch_.setDotsPerMeterY(dotsPerMeterY_);
}

LabelStamps::~LabelStamps() = default;

int LabelStamps::Slot(char c) const {
  const std::size_t i = kLabelCharacters.find(c);
  return i == std::string_view::npos ? -1 : int(i);
}

// The change the font's pair kerning makes to the advance of a before b (1/64 pixel).
int LabelStamps::Kern(int a, int b) {
  if (!kernKnown_[a][b]) {
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(dotsPerMeterX_);
    probe.setDotsPerMeterY(dotsPerMeterY_);
    const QString pair =
        QString(QLatin1Char(kLabelCharacters[a])) + QLatin1Char(kLabelCharacters[b]);
    const int both = int(std::lround(QFontMetricsF(font_, &probe).horizontalAdvance(pair) * 64));
    kern_[a][b] = both - advance_[a] - advance_[b];
    kernKnown_[a][b] = true;
  }
  return kern_[a][b];
}

void LabelStamps::Render(QImage& scratch, PixelRuns& out, QRect area, int ox, int oy,
                         const std::function<void(QPainter&)>& draw) {
  out = PixelRuns();
  area &= scratch.rect();
  if (area.isEmpty()) return;
  {
    QPainter p(&scratch);
    p.fillRect(area, QColor::fromRgb(0xFF000000u));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setFont(font_);
    p.translate(ox, oy);
    if (escapement_ != 0) p.rotate(-escapement_ / 10.0);
    draw(p);
  }
  out.usable = true;
  bool any = false;
  const int left = area.left(), right = area.right() + 1;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
    for (int x = left; x < right;) {
      if (line[x] == 0xFF000000u) {
        ++x;
        continue;
      }
      if (line[x] != 0xFFFFFFFFu) {  // a blended pixel
        out.usable = false;
        ++x;
        continue;
      }
      const int x0 = x;
      while (x < right && line[x] == 0xFFFFFFFFu) ++x;
      // Pixels on the area's edge may reach beyond it.
      if (y == area.top() || y == area.bottom() || x0 == left || x == right) out.usable = false;
      out.runs.push_back({y - oy, x0 - ox, x - ox});
      if (!any) {
        out.left = x0 - ox;
        out.right = x - ox;
        out.top = y - oy;
        any = true;
      }
      out.left = std::min(out.left, x0 - ox);
      out.right = std::max(out.right, x - ox);
      out.bottom = y - oy + 1;
    }
  }
}

LabelStamps::Glyph& LabelStamps::GlyphAt(int slot, int pen) {
  const std::uint32_t key = (std::uint32_t(slot) << 24) | (std::uint32_t(pen) & 0xFFFFFFu);
  auto it = glyphs_.find(key);
  if (it != glyphs_.end()) return it->second;
  Glyph& g = glyphs_[key];
  const QPointF origin = rotation_.map(QPointF(pen / 64.0, ascent_));
  g.originX = origin.x();
  g.originY = origin.y();
  g.safe = exactTransform_ || (!NearStep(g.originX) && !NearStep(g.originY));
  // The label's corner is placed so that the character lands in the middle of the
  // scratch image, well away from its edges and its top-left corner.
  const int side = scratch_.width();
  const int ox = side / 2 - int(std::floor(g.originX)), oy = side / 2 - int(std::floor(g.originY));
  const QString text(QLatin1Char(kLabelCharacters[std::size_t(slot)]));
  const QPointF at(pen / 64.0, ascent_);
  Render(scratch_, g.pixels, scratch_.rect(), ox, oy, [&](QPainter& p) {
    p.setBackgroundMode(Qt::TransparentMode);
    p.setPen(QColor::fromRgb(0xFFFFFFFFu));
    p.drawText(at, text);
  });
  return g;
}

const LabelStamps::BoxShape& LabelStamps::ShapeOf(int width) {
  auto it = shapes_.find(width);
  if (it != shapes_.end()) return it->second;
  BoxShape& b = shapes_[width];
  const QPointF corners[4] = {rotation_.map(QPointF(0, 0)), rotation_.map(QPointF(width, 0)),
                              rotation_.map(QPointF(width, height_)),
                              rotation_.map(QPointF(0, height_))};
  b.minX = b.maxX = corners[0].x();
  b.minY = b.maxY = corners[0].y();
  for (const QPointF& c : corners) {
    b.minX = std::min(b.minX, c.x());
    b.maxX = std::max(b.maxX, c.x());
    b.minY = std::min(b.minY, c.y());
    b.maxY = std::max(b.maxY, c.y());
  }
  b.start = rotation_.map(QPointF(0, height_ / 2.0));
  b.end = rotation_.map(QPointF(width, height_ / 2.0));
  b.safe = width > 0;
  if (!b.safe) return b;

  // The painter fills the box as a line from the middle of one short side to the middle
  // of the other, as wide as the box is high, and names its corners top, left, right and
  // bottom from the line's direction.
  QPointF a = b.start, e = b.end;
  if (a.y() > e.y()) std::swap(a, e);
  const QPointF delta = (e - a) * (0.5 * height_ / width);
  const QPointF perp(delta.y(), -delta.x());
  QPointF top, left, right, bottom;
  if (a.x() < e.x()) {
    top = a + perp;
    left = a - perp;
    right = e + perp;
    bottom = e - perp;
  } else {
    top = a - perp;
    left = e - perp;
    right = a + perp;
    bottom = e + perp;
  }
  constexpr double kNoise = 0.05;  // covers the snap to 1/64 pixel
  auto point = [](std::vector<std::pair<double, double>>& v, double c) {
    v.emplace_back(c - kNoise, c + kNoise);
  };
  // Where an edge crosses the middle of the first row below a corner, half a pixel in.
  auto walk = [](std::vector<std::pair<double, double>>& v, double c, QPointF edge) {
    const double slope = edge.y() != 0 ? edge.x() / edge.y() : (edge.x() > 0 ? 1e20 : -1e20);
    v.emplace_back(c + std::min(0.0, slope) - kNoise, c + std::max(0.0, slope) + kNoise);
  };
  for (const QPointF& p : {a, e, top, left, right, bottom}) {
    point(b.xs, p.x());
    point(b.ys, p.y());
  }
  walk(b.xs, top.x() + 0.5, left - top);
  walk(b.xs, left.x() + 0.5, bottom - left);
  walk(b.xs, top.x() - 0.5, right - top);
  walk(b.xs, right.x() - 0.5, bottom - right);
  auto extent = [](const std::vector<std::pair<double, double>>& v, double& low, double& high) {
    low = v.front().first;
    high = v.front().second;
    for (const auto& [lo, hi] : v) {
      low = std::min(low, lo);
      high = std::max(high, hi);
    }
  };
  extent(b.xs, b.xLow, b.xHigh);
  extent(b.ys, b.yLow, b.yHigh);
  return b;
}

// The box of a width at pixel (x, y), from the box rendered for the first label whose
// absolute coordinates fall in the same binary magnitudes (or for this very position,
// where one of them may fall either side of a power of two). Null where the box cannot
// be rendered apart.
const LabelStamps::Box* LabelStamps::BoxAt(int width, const BoxShape& shape, int x, int y) {
  BoxKey key;
  key.a = std::uint64_t(width) << 48;
  if (!exactTransform_) {
    // Each coordinate's magnitude, 4 bits each (coordinates below 1 are not taken).
    auto magnitudes = [](const std::vector<std::pair<double, double>>& ranges, double lowest,
                         double highest, int at, std::uint64_t& sig, bool& exact) {
      if (at + lowest >= 1 && at + highest < 32768 &&
          Magnitude(at + lowest) == Magnitude(at + highest)) {
        for (std::size_t i = 0; i < ranges.size(); ++i)
          sig = sig * 16 + std::uint64_t(Magnitude(at + lowest));
        return true;
      }
      for (const auto& [lo, hi] : ranges) {
        if (at + lo < 1 || at + hi >= 32768) return false;
        const int m = Magnitude(at + lo);
        if (m != Magnitude(at + hi)) exact = true;
        sig = sig * 16 + std::uint64_t(m);
      }
      return true;
    };
    std::uint64_t xs = 0, ys = 0;
    bool xExact = false, yExact = false;
    if (!magnitudes(shape.xs, shape.xLow, shape.xHigh, x, xs, xExact) ||
        !magnitudes(shape.ys, shape.yLow, shape.yHigh, y, ys, yExact))
      return nullptr;
    key.a ^= xs;
    key.b = ys;
    if (xExact) key.b ^= std::uint64_t(x + 1) << 32;
    if (yExact) key.b ^= std::uint64_t(y + 1) << 48;
  }
  auto it = boxes_.find(key);
  if (it != boxes_.end()) return &it->second;
  const QRect area(x + int(std::floor(shape.minX)) - 3, y + int(std::floor(shape.minY)) - 3,
                   int(std::ceil(shape.maxX - shape.minX)) + 7,
                   int(std::ceil(shape.maxY - shape.minY)) + 7);
  if (!boxScratch_.rect().contains(area)) return nullptr;
  Box& b = boxes_[key];
  Render(boxScratch_, b.pixels, area, x, y, [&](QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgb(0xFFFFFFFFu));
    p.drawRect(QRect(0, 0, width, height_));
  });
  return &b;
}

LabelStamps::Route LabelStamps::Plan(std::string_view text, int x, int y, QSize image) {
  box_ = nullptr;
  inside_ = false;
  if (text.empty() || text.size() > std::size_t(kMaxChars)) {
    count_ = 0;
    return Route::Painter;
  }
  // The characters the label shares with the one before keep their stamps and pens.
  std::size_t same = 0;
  while (same < std::size_t(count_) && same < text.size() && text[same] == lastText_[same]) ++same;
  count_ = int(same);
  int pen = same ? pens_[same - 1] : 0, previous = same ? Slot(text[same - 1]) : -1;
  for (std::size_t i = same; i < text.size(); ++i) {
    const char c = text[i];
    const int slot = Slot(c);
    if (previous >= 0) pen += advance_[std::size_t(previous)] + Kern(previous, slot);
    Glyph* g = slot < 0 ? nullptr : &GlyphAt(slot, pen);
    if (!g || !g->safe || !g->pixels.usable) {
      count_ = int(i);
      return Route::Painter;
    }
    lastText_[i] = c;
    pens_[i] = pen;
    text_[i] = g;
    count_ = int(i) + 1;
    previous = slot;
  }
  const int total = pen + advance_[std::size_t(previous)];
  const BoxShape& shape = ShapeOf((total + 32) >> 6);  // rounded as the font metrics round
  if (!shape.safe) return Route::Painter;

  // Nothing of it can show: every pixel lies two or more pixels outside the image.
  double left = shape.minX - 1, top = shape.minY - 1, right = shape.maxX + 1,
         bottom = shape.maxY + 1;
  for (int i = 0; i < count_; ++i) {
    const PixelRuns& p = text_[std::size_t(i)]->pixels;
    if (p.runs.empty()) continue;
    left = std::min(left, double(p.left));
    top = std::min(top, double(p.top));
    right = std::max(right, double(p.right));
    bottom = std::max(bottom, double(p.bottom));
  }
  if (x + right + 2 <= 0 || y + bottom + 2 <= 0 || x + left - 2 >= image.width() ||
      y + top - 2 >= image.height())
    return Route::Hidden;
  // The box's stamp lies within the shape's extent widened by the margin of its
  // rendering, the characters' within their own bounds.
  left_ = int(std::floor(left)) - 4;
  top_ = int(std::floor(top)) - 4;
  right_ = int(std::ceil(right)) + 4;
  bottom_ = int(std::ceil(bottom)) + 4;
  inside_ = x + left_ >= 0 && y + top_ >= 0 && x + right_ <= image.width() &&
            y + bottom_ <= image.height();

  // A character placed beyond the top or left edge, or whose pixels reach it (a large
  // font's tall glyph): the painter's clipping there may keep a pixel the stamp lacks.
  for (int i = 0; i < count_; ++i) {
    const Glyph& g = *text_[std::size_t(i)];
    if (x + g.originX < 0.5 || y + g.originY < 0.5) return Route::Painter;
    if (!g.pixels.runs.empty() && (x + g.pixels.left < 1 || y + g.pixels.top < 1))
      return Route::Painter;
  }
  // The painter cuts the box's thick line to the image first where an end lies outside.
  auto inside = [&](QPointF p) {
    return x + p.x() >= 1 && y + p.y() >= 1 && x + p.x() <= image.width() - 2 &&
           y + p.y() <= image.height() - 2;
  };
  if (!inside(shape.start) || !inside(shape.end)) return Route::PainterBox;
  if (boxScratch_.width() < image.width() + 256 || boxScratch_.height() < image.height() + 256) {
    boxScratch_ = QImage(image.width() + 256, image.height() + 256, QImage::Format_RGB32);
    boxScratch_.setDotsPerMeterX(dotsPerMeterX_);
    boxScratch_.setDotsPerMeterY(dotsPerMeterY_);
    boxes_.clear();
  }
  const Box* b = BoxAt((total + 32) >> 6, shape, x, y);
  if (!b || !b->pixels.usable) return Route::PainterBox;
  box_ = b;
  return Route::Stamps;
}

void LabelStamps::DrawBox(QImage& image, int x, int y, QRgb background) const {
  if (box_)
    Fill(image.bits(), image.bytesPerLine(), image.width(), image.height(), x, y, box_->pixels,
         background);
}

void LabelStamps::DrawText(QImage& image, int x, int y, QRgb colour) {
  uchar* bits = image.bits();
  const qsizetype bpl = image.bytesPerLine();
  if (!inside_) {
    for (int i = 0; i < count_; ++i)
      Fill(bits, bpl, image.width(), image.height(), x, y, text_[std::size_t(i)]->pixels, colour);
    return;
  }
  uchar* corner = bits + y * bpl + qsizetype(x) * 4;
  for (int i = 0; i < count_; ++i) {
    Glyph& g = *text_[std::size_t(i)];
    if (g.bytesPerLine != bpl) {
      g.offsets.clear();
      for (const PixelRuns::Run& r : g.pixels.runs)
        for (int px = r.x0; px < r.x1; ++px)
          g.offsets.push_back(std::int32_t(r.y * bpl + qsizetype(px) * 4));
      g.bytesPerLine = bpl;
    }
    for (const std::int32_t offset : g.offsets) *reinterpret_cast<QRgb*>(corner + offset) = colour;
  }
}

}  // namespace planplot
