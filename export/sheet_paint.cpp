// Painting in millimetres of paper.
#include "export/sheet_paint.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QRawFont>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "export/sheet_file.h"

namespace surveyexport {

namespace {

QColor ColourOf(long rgb) { return QColor((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255); }

}  // namespace

SheetPainter::SheetPainter(QPainter& painter, double dotsPerMm)
    : painter_(painter), perMm_(dotsPerMm) {
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
}

void SheetPainter::Fill(const QRectF& mm, long rgb) {
  painter_.fillRect(QRectF(D(mm.topLeft()), D(mm.bottomRight())), ColourOf(rgb));
}

void SheetPainter::Rectangle(const QRectF& mm, double penMm, long rgb) {
  QPen pen(ColourOf(rgb), penMm * perMm_);
  pen.setJoinStyle(Qt::MiterJoin);
  painter_.setPen(pen);
  painter_.setBrush(Qt::NoBrush);
  painter_.drawRect(QRectF(D(mm.topLeft()), D(mm.bottomRight())));
}

void SheetPainter::Polyline(const QPolygonF& mm, double penMm, long rgb, int style) {
  if (mm.size() < 2) return;
  QPen pen(ColourOf(rgb), penMm * perMm_);
  const std::vector<double> dashes = DashPatternMm(style);
  if (!dashes.empty()) {
    // Qt measures dashes in pen widths.
    QList<qreal> pattern;
    for (double d : dashes) pattern << d / penMm;
    pen.setDashPattern(pattern);
    pen.setCapStyle(Qt::FlatCap);
  } else {
    pen.setCapStyle(Qt::RoundCap);
  }
  pen.setJoinStyle(Qt::RoundJoin);
  painter_.setPen(pen);
  painter_.setBrush(Qt::NoBrush);
  QPolygonF dots;
  dots.reserve(mm.size());
  for (const QPointF& p : mm) dots << D(p);
  painter_.drawPolyline(dots);
}

void SheetPainter::Dot(const QPointF& mm, double diameterMm, long rgb) {
  painter_.setPen(Qt::NoPen);
  painter_.setBrush(ColourOf(rgb));
  const double r = diameterMm * perMm_ / 2;
  painter_.drawEllipse(D(mm), r, r);
  painter_.setBrush(Qt::NoBrush);
}

QFont SheetPainter::FontOf(double heightMm, bool bold, bool italic) const {
  QFont font("Arial");
  font.setStyleHint(QFont::SansSerif);
  // Points of the device: the writers' resolution is the painter's dots per inch.
  font.setPointSizeF(heightMm / 25.4 * 72.0 * perMm_ * 25.4 / painter_.device()->logicalDpiY());
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

const SheetPainter::CachedFont& SheetPainter::Cached(double heightMm, bool bold, bool italic) {
  if (!cache_.metrics || cache_.heightMm != heightMm || cache_.bold != bold ||
      cache_.italic != italic) {
    cache_.heightMm = heightMm;
    cache_.bold = bold;
    cache_.italic = italic;
    cache_.font = FontOf(heightMm, bold, italic);
    cache_.metrics = std::make_unique<QFontMetricsF>(cache_.font, painter_.device());
    cache_.raw.reset();
    cache_.glyphs = {};
  }
  return cache_;
}

double SheetPainter::TextWidthMm(const std::string& text, double heightMm, bool bold) {
  return Cached(heightMm, bold, false).metrics->horizontalAdvance(QString::fromStdString(text)) /
         perMm_;
}

void SheetPainter::Text(const QPointF& mm, const std::string& text, double heightMm, long rgb,
                        double angle, Anchor anchor, bool bold, bool italic) {
  if (text.empty()) return;
  const CachedFont& cached = Cached(heightMm, bold, italic);
  const QFont& font = cached.font;
  const QFontMetricsF& metrics = *cached.metrics;
  const QString s = SheetText(QString::fromStdString(text));
  const double w = metrics.horizontalAdvance(s);
  const double ascent = metrics.ascent(), descent = metrics.descent();
  double dx = 0, dy = ascent;  // from the anchor to the start of the baseline
  switch (anchor) {
    case kTopLeft:
      break;
    case kTopCentre:
      dx = -w / 2;
      break;
    case kTopRight:
      dx = -w;
      break;
    case kBottomLeft:
      dy = -descent;
      break;
    case kBottomCentre:
      dx = -w / 2;
      dy = -descent;
      break;
    case kBottomRight:
      dx = -w;
      dy = -descent;
      break;
    case kCentreLeft:
      dy = (ascent - descent) / 2;
      break;
    case kCentre:
      dx = -w / 2;
      dy = (ascent - descent) / 2;
      break;
  }
  painter_.save();
  painter_.translate(D(mm));
  if (angle != 0) painter_.rotate(-angle);
  painter_.setFont(font);
  painter_.setPen(ColourOf(rgb));
  painter_.drawText(QPointF(dx, dy), s);
  painter_.restore();
}

void SheetPainter::Texts(const std::vector<PlacedText>& texts, double heightMm, long rgb,
                         double angle) {
  if (texts.empty()) return;
  const CachedFont& cached = Cached(heightMm, false, false);
  const double ascent = cached.metrics->ascent();
  QTransform turn;
  turn.rotate(-angle);
  const QTransform back = turn.inverted();
  painter_.save();
  painter_.setTransform(turn, true);
  painter_.setFont(cached.font);
  painter_.setPen(ColourOf(rgb));
  const QPaintEngine* engine = painter_.paintEngine();
  if (engine && engine->type() == QPaintEngine::Pdf) {
    // The font as the device resolves it (its dots per inch), for the glyphs and advances.
    if (!cache_.raw)
      cache_.raw =
          std::make_unique<QRawFont>(QRawFont::fromFont(QFont(cached.font, painter_.device())));
    const QRawFont& raw = *cache_.raw;
    // Qt writes each glyph's offset from the one before: counted in a unit of an eighth of
    // a digit's width, the offsets within a number are the whole number 8 (a point 4), a
    // byte shorter than in dots, and no glyph of a label moves from its place.
    const QList<quint32> zero = raw.glyphIndexesForString(QStringLiteral("0"));
    const QList<QPointF> zeroAdvance = raw.advancesForGlyphIndexes(zero);
    const double unit =
        zeroAdvance.isEmpty() || !(zeroAdvance[0].x() > 0) ? 1.0 : zeroAdvance[0].x() / 8;
    painter_.setTransform(QTransform::fromScale(unit, unit), true);
    QRawFont scaled = raw;
    scaled.setPixelSize(raw.pixelSize() / unit);
    QList<quint32> glyphs;
    QList<QPointF> positions;
    std::size_t characters = 0;
    for (const PlacedText& t : texts) characters += t.text.size();
    glyphs.reserve(qsizetype(characters));
    positions.reserve(qsizetype(characters));
    for (const PlacedText& t : texts) {
      const QPointF start = (back.map(D(t.mm)) + QPointF(0, ascent)) / unit;
      const double x0 = std::round(start.x()), y = std::round(start.y());
      double advance = 0;
      if (AsciiGlyphs(t.text)) {
        for (const char c : t.text) {
          const CachedFont::Glyph& g = cache_.glyphs[std::size_t(c)];
          if (!g.blank) {  // a blank draws nothing
            glyphs << g.index;
            positions << QPointF(x0 + std::round(advance / unit), y);
          }
          advance += g.advance;
        }
        continue;
      }
      const QString s = QString::fromStdString(t.text);
      const QList<quint32> indexes = raw.glyphIndexesForString(s);
      const QList<QPointF> advances = raw.advancesForGlyphIndexes(indexes);
      for (qsizetype i = 0; i < indexes.size() && i < advances.size(); ++i) {
        if (i >= s.size() || !s.at(i).isSpace()) {
          glyphs << indexes[i];
          positions << QPointF(x0 + std::round(advance / unit), y);
        }
        advance += advances[i].x();
      }
    }
    QGlyphRun run;
    run.setRawFont(scaled);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter_.drawGlyphRun(QPointF(0, 0), run);
  } else {
    for (const PlacedText& t : texts)
      painter_.drawText(back.map(D(t.mm)) + QPointF(0, ascent), QString::fromStdString(t.text));
  }
  painter_.restore();
}

// Whether every character of the text is ASCII with a glyph of its own in the raw font
// (each looked up once): its glyphs and advances are then those of the table, as the raw
// font gives them for the whole text (one glyph a character, advances without kerning).
bool SheetPainter::AsciiGlyphs(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 128) return false;
    CachedFont::Glyph& g = cache_.glyphs[std::size_t(c)];
    if (!g.known) {
      g.known = true;
      const QString s{QLatin1Char(c)};
      const QList<quint32> index = cache_.raw->glyphIndexesForString(s);
      const QList<QPointF> advance = cache_.raw->advancesForGlyphIndexes(index);
      g.usable = index.size() == 1 && advance.size() == 1;
      if (g.usable) {
        g.index = index[0];
        g.advance = advance[0].x();
        g.blank = s.at(0).isSpace();
      }
    }
    if (!g.usable) return false;
  }
  return true;
}

void SheetPainter::ClipTo(const QRectF& mm) {
  if (mm.isEmpty()) {
    painter_.setClipping(false);
    return;
  }
  painter_.setClipRect(QRectF(D(mm.topLeft()), D(mm.bottomRight())));
}

std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
  if (QCoreApplication::instance()) return nullptr;
  // A server has no display: draw on the offscreen platform unless one is asked for.
  if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Qt's notes about the environment (no runtime folder on a server, font fallbacks) are
  // not the program's messages: only its own one line goes to standard error.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
      std::fprintf(stderr, "surveyexport: %s\n", qPrintable(text));
  });
  static int argc = 1;
  static char name[] = "surveyexport";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace surveyexport
