#pragma once
// Painting on a sheet in millimetres (Qt): the drawings at scale lay out everything in
// millimetres from the sheet's top-left corner; this converts to the device's dots.
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <QRawFont>
#include <QRectF>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "export/section_layout.h"

class QGuiApplication;

namespace surveyexport {

class SheetPainter {
 public:
  // Where a text's given point lies on the text's box (before rotation).
  enum Anchor {
    kTopLeft,
    kTopCentre,
    kTopRight,
    kBottomLeft,
    kBottomCentre,
    kBottomRight,
    kCentreLeft,
    kCentre
  };
  SheetPainter(QPainter& painter, double dotsPerMm);

  void Fill(const QRectF& mm, long rgb);
  void Rectangle(const QRectF& mm, double penMm, long rgb);
  // A line through the points in a pen style of the plotters (0 solid, 1 dashed, 2 dotted,
  // 3 dash-dot, 4 dash-dot-dot) with dashes measured in millimetres of paper.
  void Polyline(const QPolygonF& mm, double penMm, long rgb, int style);
  void Dot(const QPointF& mm, double diameterMm, long rgb);
  // Text whose letters are heightMm high (the font's size), turned by angle degrees
  // counter-clockwise about the anchor point.
  void Text(const QPointF& mm, const std::string& text, double heightMm, long rgb, double angle,
            Anchor anchor, bool bold = false, bool italic = false);
  double TextWidthMm(const std::string& text, double heightMm, bool bold = false);
  // Many texts of one size, colour and turn, each placed by its top-left corner (before the
  // turn), as Text with kTopLeft places it: drawn in one painter state, and on a PDF page as
  // one run of glyphs at whole dots of the device. Qt keeps a PDF page in memory until it is
  // done; separate texts take four times the bytes there.
  struct PlacedText {
    QPointF mm;
    std::string text;
  };
  void Texts(const std::vector<PlacedText>& texts, double heightMm, long rgb, double angle);
  // Limits what follows to the rectangle; an empty one lifts the limit.
  void ClipTo(const QRectF& mm);

  QPainter& Painter() { return painter_; }
  double DotsPerMm() const { return perMm_; }

 private:
  QPointF D(const QPointF& mm) const { return mm * perMm_; }
  QFont FontOf(double heightMm, bool bold, bool italic) const;
  QPainter& painter_;
  double perMm_;
  // The last font asked for, kept: labels come thousands at a time in one size.
  struct CachedFont {
    double heightMm = -1;
    bool bold = false, italic = false;
    QFont font;
    std::unique_ptr<QFontMetricsF> metrics;
    // On a PDF page: the font as the device resolves it, and the glyph and advance of each
    // ASCII character (labels are numbers: a dozen characters a million times), looked up
    // once each.
    std::unique_ptr<QRawFont> raw;
    struct Glyph {
      quint32 index = 0;
      double advance = 0;
      bool blank = false;
      bool known = false, usable = false;
    };
    std::array<Glyph, 128> glyphs;
  } cache_;
  const CachedFont& Cached(double heightMm, bool bold, bool italic);
  bool AsciiGlyphs(const std::string& text);
};

// A command-line program draws with Qt's painting; it needs an application object. Makes
// one when there is none (on the offscreen platform when there is no display), which lives
// as long as the returned pointer.
std::unique_ptr<QGuiApplication> EnsureGuiApplication();

}  // namespace surveyexport
