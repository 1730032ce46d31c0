// Page settings from the printer and the locale; the page image of the preview.
#include "viewer/page_image.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>

#include <array>
#include <memory>
#include <QLabel>
#include <QPainter>
#include <QPageLayout>
#include <QPalette>
#include <QPrinter>
#include <QPrinterInfo>

#include "platform/default_printer.h"
#include "platform/line_printer.h"
#include "platform/platform.h"

namespace viewer {

std::unique_ptr<QPrinter> DefaultPrinter() {
  // The printer's own paper, orientation and printable area (or the PDF stand-in).
  return platform::MakeDefaultPrinter(QPrinter::HighResolution);
}

void InitPageSettings(PageSettings& s) {
  s = PageSettings{};
  // Read the metrics only: no job is started, nothing is printed.
  if (std::unique_ptr<QPrinter> p = DefaultPrinter()) TakePrinterMetrics(s, *p);
  SetDefaultMarginsAndFont(s, platform::MeasurementSystem());
}

void TakePrinterMetrics(PageSettings& s, const QPrinter& p) {
  const QRectF paper = p.paperRect(QPrinter::DevicePixel);
  const QRectF page = p.pageRect(QPrinter::DevicePixel);
  s.pageWidth = static_cast<float>(paper.width());
  s.pageHeight = static_cast<float>(paper.height());
  s.unprintableLeft = static_cast<float>(page.left() - paper.left());
  s.unprintableTop = static_cast<float>(page.top() - paper.top());
  s.unprintableRight = static_cast<float>(paper.width() - s.unprintableLeft - page.width());
  s.unprintableBottom = static_cast<float>(paper.height() - s.unprintableTop - page.height());
  s.orientation = p.pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
  s.printerResolutionX = p.resolution();
  s.printerResolutionY = p.resolution();
}

QFont SettingsFont(const PageSettings& s) {
  QFont f(QString::fromStdString(FontFaceForCreation(s)));
  f.setPointSize(s.fontSize > 0 ? s.fontSize : 10);
  f.setBold((s.fontStyle & kFontBold) != 0);
  f.setItalic((s.fontStyle & kFontItalic) != 0);
  f.setUnderline((s.fontStyle & kFontUnderline) != 0);
  f.setStrikeOut((s.fontStyle & kFontStrikeOut) != 0);
  return f;
}

void StoreSettingsFont(PageSettings& s, const QFont& font) {
  // Cut to 63 bytes of UTF-8 without splitting a character.
  QString name = font.family();
  QByteArray bytes = name.toUtf8();
  while (bytes.size() > 63) {
    name.chop(1);
    bytes = name.toUtf8();
  }
  SetFontName(s, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  const double pt = font.pointSizeF() > 0 ? font.pointSizeF() : font.pointSize();
  s.fontSize = static_cast<std::int32_t>(std::clamp<std::int64_t>(RoundEven(pt), 1, 1000));
  s.fontStyle = (font.bold() ? kFontBold : 0) | (font.italic() ? kFontItalic : 0);
}

QColor ColourOf(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb | 0xFF000000u)); }
std::uint32_t RgbOf(const QColor& c) { return static_cast<std::uint32_t>(c.rgb() & 0xFFFFFFu); }

QColor SystemDarkShadow() {
  return qApp ? QApplication::palette().color(QPalette::Active, QPalette::Shadow)
              : QColor(Qt::black);
}

TextWidthFn TextWidthOn(const QFont& font, const QPaintDevice* device) {
  const QFontMetrics fm(font, device);
  const auto full = [fm](std::u16string_view s) {
    const QString view = QString::fromRawData(reinterpret_cast<const QChar*>(s.data()),
                                              static_cast<qsizetype>(s.size()));
    return fm.horizontalAdvance(view);
  };
  if (!QFontInfo(font).fixedPitch()) return full;
  // A fixed-pitch font has no kerning: a text of printable Latin-1 characters is as wide
  // as its characters' advances together. Anything else is laid out in full.
  const QFontMetricsF fmf(font, device);
  auto advance = std::make_shared<std::array<double, 256>>();
  for (int c = 0; c < 256; ++c)
    (*advance)[c] = (c >= 0x20 && c < 0x7F) || c >= 0xA0 ? fmf.horizontalAdvance(QChar(c)) : -1.0;
  return [full, advance](std::u16string_view s) {
    double w = 0;
    for (const char16_t c : s) {
      const double a = c < 256 ? (*advance)[c] : -1.0;
      if (a < 0) return full(s);
      w += a;
    }
    return static_cast<int>(RoundEven(w));
  };
}

void SetupPageImage(ViewerCanvas& canvas, PageSettings& s) {
  s.zoom = 0;
  s.windowColour = RgbOf(platform::SystemWindow());
  s.windowTextColour = RgbOf(platform::SystemWindowText());
  s.shadowColour = RgbOf(platform::SystemButtonShadow());
  s.darkShadowColour = RgbOf(SystemDarkShadow());
  s.frameColour = 0x3169C6;  // RGB (49, 105, 198)
  const PixelSize px = ComputePageImage(s);
  QImage img(px.width, px.height, QImage::Format_RGB32);
  // The image measures text like the screen it stands for.
  img.setDotsPerMeterX(qRound(s.screenResolutionX / 0.0254));
  img.setDotsPerMeterY(qRound(s.screenResolutionY / 0.0254));
  img.fill(ColourOf(s.windowColour));
  canvas.pageImage = img;
}

QString HeadingDate() { return platform::LocalNow().toString(QStringLiteral("MM-dd-yyyy")); }
QString HeadingTime() { return platform::LocalNow().toString(QStringLiteral("HH:mm:ss")); }

void RenderPage(ViewerCanvas& canvas, int page, const PageLines& lines) {
  PageSettings& s = canvas.settings();
  const std::string label = PageLabel(page, s.pageCount);
  if (canvas.preview()) canvas.preview()->setPageLabel(QString::fromStdString(label));
  QImage& img = canvas.pageImage;
  if (img.isNull()) return;
  img.fill(ColourOf(s.windowColour));
  QPainter p(&img);
  p.setFont(canvas.font);
  const QFontMetrics fm(canvas.font, &img);
  const QString caption = canvas.preview() ? canvas.preview()->windowTitle() : QString();
  const std::u16string name = NameFromCaption(caption.toStdU16String());
  const QString heading = QString::fromStdU16String(
      PageHeading(name, label, HeadingDate().toStdString(), HeadingTime().toStdString()));
  // The heading centred across the page and in the top margin, on the window colour.
  p.setPen(ColourOf(s.darkShadowColour));
  p.setBackground(ColourOf(s.windowColour));
  p.setBackgroundMode(Qt::OpaqueMode);
  const double hx = (s.imageWidth - fm.horizontalAdvance(heading)) / 2.0;
  const double hy = (s.topMarginPixels - fm.height()) / 2.0;
  p.drawText(QPointF(hx, hy + fm.ascent()), heading);
  if (lines.empty()) return;
  p.setBackgroundMode(Qt::TransparentMode);
  p.setPen(ColourOf(s.windowTextColour));
  const LineRange r = PageLineRange(page, s.linesPerPage, lines.size());
  const double pitch = canvas.linePitch > 0 ? canvas.linePitch : fm.height();
  for (std::int64_t i = r.first; i <= r.last; ++i) {
    const std::u16string& line = lines[static_cast<std::size_t>(i - 1)];
    const double y = s.topMarginPixels + static_cast<double>(i - r.first) * pitch;
    p.drawText(QPointF(s.leftMarginPixels, y + fm.ascent()),
               QString::fromRawData(reinterpret_cast<const QChar*>(line.data()),
                                    static_cast<qsizetype>(line.size())));
  }
}

}  // namespace viewer
