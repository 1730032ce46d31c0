#pragma once
// The page settings from the default printer and the locale, the hidden page image of
// a preview and the drawing of one page into it.
#include <QColor>
#include <QFont>
#include <QString>

#include "viewer/page_layout.h"
#include "viewer/page_settings.h"
#include "viewer/preview.h"

class QPaintDevice;
class QPrinter;

namespace viewer {

// Fills the settings at start-up: paper size, unprintable edges, orientation and
// resolutions of the default printer (all 0 without one), margins from the locale's
// measurement system and the font "Courier New" 10 points.
void InitPageSettings(PageSettings& s);
// Takes a printer's paper size, unprintable edges, orientation and resolution into the
// settings' printer fields, as its page layout stands.
void TakePrinterMetrics(PageSettings& s, const QPrinter& p);
// The printer the suite prints on without asking: the default printer, or the PDF file
// that stands in for it; nullptr when the machine has none.
std::unique_ptr<QPrinter> DefaultPrinter();

// The settings font (face cut to 31 characters, size in points, style bits).
QFont SettingsFont(const PageSettings& s);
// Stores a chosen font in the settings (face cut to 63 bytes, size rounded, bold and
// italic only).
void StoreSettingsFont(PageSettings& s, const QFont& font);

QColor ColourOf(std::uint32_t rgb);
std::uint32_t RgbOf(const QColor& c);
// The system's three-dimensional dark shadow colour.
QColor SystemDarkShadow();

// Width of text in whole pixels of a font on a device.
TextWidthFn TextWidthOn(const QFont& font, const QPaintDevice* device);

// Creates the canvas's page image once the screen resolution and font are set.
void SetupPageImage(ViewerCanvas& canvas, PageSettings& s);
// Draws page n (heading and lines) into the page image and sets the page label.
void RenderPage(ViewerCanvas& canvas, int page, const PageLines& lines);

// "MM-DD-YYYY" and "HH:MM:SS" of the local time now.
QString HeadingDate();
QString HeadingTime();

}  // namespace viewer
