// The plot area as the drawing surface of a plan pass.
#include "planplot/prompt_canvas.h"

#include "planplot/plan_core.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <algorithm>

namespace planplot {

namespace {
constexpr qint64 kEventSliceNs = 15'000'000;  // handle events at least this often
constexpr long kClockEvery = 32;              // records between looks at the clock

Qt::PenStyle QtPen(PenStyle s) {
  switch (s) {
    case PenStyle::Dash:
      return Qt::DashLine;
    case PenStyle::Dot:
      return Qt::DotLine;
    case PenStyle::DashDot:
      return Qt::DashDotLine;
    case PenStyle::DashDotDot:
      return Qt::DashDotDotLine;
    default:
      return Qt::SolidLine;
  }
}

QColor ToQColor(Rgb c) { return QColor::fromRgb(0xFF000000u | (c & 0xFFFFFFu)); }
}  // namespace

PromptCanvas::PromptCanvas(toolkit::PromptWindow* area, LabelDrawing labels)
    : area_(area), labelDrawing_(labels) {
  clock_.start();
}

PromptCanvas::~PromptCanvas() { EndSlice(); }

QPainter* PromptCanvas::Painter() {
  if (!area_) return nullptr;
  if (!painter_) {
    painter_ = std::make_unique<QPainter>(&area_->Image());
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setFont(font_.font);
  }
  dirty_ = true;
  return painter_.get();
}

void PromptCanvas::EndSlice() {
  if (painter_) {
    painter_->end();
    painter_.reset();
  }
  if (dirty_ && area_) area_->update();
  dirty_ = false;
}

void PromptCanvas::BeginPass(const LabelFont& f, const PlanMapping& world) {
  world_ = world;
  if (!area_) return;
  font_ = area_->NewFont(f.face, f.points, 0, 0, 0, f.escapement);
  // Labels in the plain colours of the plot, as a bitmap plot shows them (and saves
  // them): no blended edge pixels.
  font_.font.setStyleStrategy(QFont::NoAntialias);
  fontMetrics_ = QFontMetrics(font_.font, &area_->Image());
  fontAscent_ = fontMetrics_.ascent();
  const QImage& image = area_->Image();
  const std::string key = font_.font.key().toStdString() + '/' + std::to_string(font_.escapement) +
                          '/' + std::to_string(image.dotsPerMeterX()) + '/' +
                          std::to_string(image.dotsPerMeterY());
  if (labelDrawing_ != LabelDrawing::Stamped) {
    stamps_.reset();
  } else if (!stamps_ || key != stampedFont_) {
    stamps_ = std::make_unique<LabelStamps>(font_.font, font_.escapement, fontMetrics_, image);
    stampedFont_ = key;
  }
}

void PromptCanvas::EndPass() {
  EndSlice();
  NoteGap();
}

void PromptCanvas::Pixel(double E, double N, Rgb colour) {
  if (!area_) return;
  int x = 0, y = 0;
  if (!PointPixel(world_, E, N, x, y)) return;
  QImage& img = area_->Image();
  if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return;
  if (img.format() == QImage::Format_RGB32 || img.format() == QImage::Format_ARGB32) {
    reinterpret_cast<QRgb*>(img.scanLine(y))[x] = 0xFF000000u | (colour & 0xFFFFFFu);
    dirty_ = true;
  } else if (QPainter* p = Painter()) {
    p->setPen(ToQColor(colour));
    p->drawPoint(x, y);
  }
}

void PromptCanvas::Line(double E0, double N0, double E1, double N1, Rgb colour, PenStyle style) {
  if (!area_) return;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  if (!LinePixels(world_, E0, N0, E1, N1, x0, y0, x1, y1)) return;
  QPainter* p = Painter();
  if (!p) return;
  p->setPen(QPen(ToQColor(colour), 1, QtPen(style)));
  p->drawLine(QLineF(x0, y0, x1, y1));
}

void PromptCanvas::Label(const PlanLabel& label) {
  if (!area_) return;
  int x = 0, y = 0;
  if (!LabelPixel(world_, label.E, label.N, x, y)) return;
  const std::string& text = label.text;
  QImage& image = area_->Image();
  const bool direct =
      image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
  if (stamps_ && direct) {
    const QRgb colour = 0xFF000000u | (label.colour & 0xFFFFFFu);
    const QRgb background = 0xFF000000u | (label.background & 0xFFFFFFu);
    switch (stamps_->Plan(text, x, y, image.size())) {
      case LabelStamps::Route::Hidden:
        return;
      case LabelStamps::Route::Stamps:
        stamps_->DrawBox(image, x, y, background);
        stamps_->DrawText(image, x, y, colour);
        dirty_ = true;
        return;
      case LabelStamps::Route::PainterBox:
        PaintLabel(x, y, text, label.colour, label.background, false);
        stamps_->DrawText(image, x, y, colour);
        return;
      case LabelStamps::Route::Painter:
        break;
    }
  }
  PaintLabel(x, y, text, label.colour, label.background, true);
}

void PromptCanvas::PaintLabel(int x, int y, const std::string& text, Rgb colour, Rgb background,
                              bool withText) {
  QPainter* p = Painter();
  if (!p) return;
  const QString s = QString::fromLatin1(text.data(), qsizetype(text.size()));
  p->save();
  p->translate(x, y);
  if (font_.escapement != 0) p->rotate(-font_.escapement / 10.0);
  // The box is filled as a plain polygon with hard edges, so that the points and lines it
  // covers and the box itself keep their exact colours (the painter's own opaque text
  // background smooths the edges of a rotated box).
  p->setRenderHint(QPainter::Antialiasing, false);
  p->setPen(Qt::NoPen);
  p->setBrush(ToQColor(background));
  p->drawRect(QRect(0, 0, fontMetrics_.horizontalAdvance(s), fontMetrics_.height()));
  if (withText) {
    p->setBrush(Qt::NoBrush);
    p->setBackgroundMode(Qt::TransparentMode);
    p->setPen(ToQColor(colour));
    p->drawText(QPoint(0, fontAscent_), s);
  }
  p->restore();
}

bool PromptCanvas::KeepAlive() {
  if (++calls_ % kClockEvery != 0) return true;
  if (clock_.nsecsElapsed() - lastEvents_ < kEventSliceNs) return true;
  EndSlice();
  NoteGap();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  lastEvents_ = clock_.nsecsElapsed();
  return area_ && !area_->Closed();
}

void PromptCanvas::NoteGap() {
  longestGapMs_ = std::max(longestGapMs_, (clock_.nsecsElapsed() - lastEvents_) / 1e6);
}

}  // namespace planplot
