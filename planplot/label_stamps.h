#pragma once
// Point-number and level labels of a plan pass drawn from pixels rendered once per font.
//
// The plot area draws a label with the painter: translated to the label's pixel, rotated
// by the escapement, an opaque box and the text in a font without antialiasing, so every
// pixel a label touches takes either the box colour or the text colour. Moving a label
// by whole pixels moves those pixels by the same amount, with one catch: the painter
// fills a rotated box as a thick line whose edges it walks in double and 16.16 fixed-point
// arithmetic on absolute coordinates, and a sum rounds to the binary magnitude (power-of-two
// range) of the coordinate it is added to. So the painter renders into a scratch image,
// once per font and rotation: each character at each pen position along the baseline,
// and each box width for each set of binary magnitudes its absolute coordinates fall in
// (a box with a coordinate that may fall on either side of a power of two is rendered for
// its own position). A label is then the
// box's pixels in the background colour and its characters' pixels in the text colour,
// written straight into the plot.
//
// Where the painter's result would not be a shift of a scratch rendering, the label (or
// its box) is left to the painter:
// - a box whose ends lie outside the plot (the painter then shortens the thick line
//   first) or that reaches left of or above the plot;
// - a character whose position along the rotated baseline falls left of or above the
//   plot's corner (the painter's fixed-point positions round toward zero there);
// - positions that lie within rounding noise of a 1/128 pixel step, where a shift could
//   tip the painter's rounding (never seen with the plot's fonts, checked anyway);
// - characters other than those of number and level texts, texts longer than 32
//   characters, fonts whose rendering is not in pure colours.
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QTransform>
#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class QPainter;

namespace planplot {

// Pixels relative to a label's top-left corner, as runs along rows.
struct PixelRuns {
  struct Run {
    int y, x0, x1;  // x1 exclusive
  };
  std::vector<Run> runs;
  int left = 0, top = 0, right = 0, bottom = 0;  // bounds, right and bottom exclusive
  bool usable = false;  // rendered in pure colours, not cut by the scratch image
};

class LabelStamps {
 public:
  // How one label is to be drawn.
  enum class Route {
    Hidden,      // no pixel of it can show in the image
    Stamps,      // box and text from the stamps
    PainterBox,  // the box by the painter, then the text from the stamps
    Painter,     // all of it by the painter
  };
  static constexpr int kMaxChars = 32;

  // The label font as the painter uses it, its escapement (tenths of a degree,
  // counter-clockwise), the metrics the box is measured with, and the image labels go
  // into (its resolution sizes the font).
  LabelStamps(const QFont& font, int escapement, const QFontMetrics& metrics, const QImage& device);
  ~LabelStamps();

  // The route of a label with its top-left corner at pixel (x, y) of an image of the size
  // given; for Stamps and PainterBox, the stamps to draw are kept until the next call.
  Route Plan(std::string_view text, int x, int y, QSize image);
  // Draws the kept stamps of the last planned label: the box in background (Stamps only)
  // and the characters in colour, both 0xAARRGGBB, into an RGB32 or ARGB32 image of the
  // size given to Plan.
  void DrawBox(QImage& image, int x, int y, QRgb background) const;
  void DrawText(QImage& image, int x, int y, QRgb colour);

  // The stamps made so far (for checks of the cache's size).
  std::size_t StampCount() const { return glyphs_.size() + boxes_.size(); }

 private:
  struct Glyph {
    PixelRuns pixels;
    double originX = 0, originY = 0;  // where the painter places the character
    bool safe = false;
    // Its pixels as byte offsets from the label's corner in an image of bytesPerLine
    // (a character's runs are a pixel or two long: single stores beat run loops).
    std::vector<std::int32_t> offsets;
    qsizetype bytesPerLine = 0;
  };
  struct Box {
    PixelRuns pixels;
  };
  // The rotated corners' extent and the middles of the box's short sides (the ends of the
  // painter's thick line), relative to the label's corner.
  struct BoxShape {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    QPointF start, end;
    // The coordinates the painter computes by adding to an absolute position: each as
    // the range it can take, relative to the label's corner.
    std::vector<std::pair<double, double>> xs, ys;
    double xLow = 0, xHigh = 0, yLow = 0, yHigh = 0;  // their extents
    bool safe = false;
  };
  struct BoxKey {
    std::uint64_t a = 0, b = 0;
    bool operator==(const BoxKey& o) const { return a == o.a && b == o.b; }
  };
  struct BoxKeyHash {
    std::size_t operator()(const BoxKey& k) const {
      return std::hash<std::uint64_t>()(k.a * 0x9E3779B97F4A7C15ull ^ k.b);
    }
  };
  int Slot(char c) const;
  int Kern(int a, int b);
  Glyph& GlyphAt(int slot, int pen);
  const BoxShape& ShapeOf(int width);
  const Box* BoxAt(int width, const BoxShape& shape, int x, int y);
  void Render(QImage& scratch, PixelRuns& out, QRect area, int ox, int oy,
              const std::function<void(QPainter&)>& draw);

  QFont font_;
  int escapement_ = 0;
  int height_ = 0, ascent_ = 0;
  QTransform rotation_;
  int dotsPerMeterX_ = 0, dotsPerMeterY_ = 0;
  bool exactTransform_ = false;    // rotation by a multiple of 90 degrees: no rounding at all
  std::array<int, 16> advance_{};  // in 1/64 pixel, per slot
  std::array<std::array<int, 16>, 16> kern_{};
  std::array<std::array<bool, 16>, 16> kernKnown_{};
  std::unordered_map<std::uint32_t, Glyph> glyphs_;
  std::unordered_map<int, BoxShape> shapes_;
  std::unordered_map<BoxKey, Box, BoxKeyHash> boxes_;
  QImage scratch_;     // characters, drawn in its middle
  QImage boxScratch_;  // boxes, drawn where they stand in the plot
  // The label last planned.
  const Box* box_ = nullptr;
  std::array<Glyph*, kMaxChars> text_{};
  std::array<char, kMaxChars> lastText_{};
  std::array<int, kMaxChars> pens_{};
  int count_ = 0;
  // Its pixels' extent relative to its corner (box and characters), and whether all of
  // them lie within the image where it was planned.
  int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
  bool inside_ = false;
};

}  // namespace planplot
