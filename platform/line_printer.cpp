// The default printer as a line printer: a QPrinter on the default CUPS queue (or the
// PDF stand-in), painted line by line in one font.
#include "platform/line_printer.h"

#include "platform/default_printer.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QtGlobal>

namespace platform {

namespace {
bool NoPrinterForced() { return !qEnvironmentVariableIsEmpty("SUITE_NO_PRINTER"); }
QString PdfStandIn() { return qEnvironmentVariable("SUITE_PRINT_TO_PDF"); }
}  // namespace

bool HasDefaultPrinter() {
  if (NoPrinterForced()) return false;
  if (!PdfStandIn().isEmpty()) return true;
  return !QPrinterInfo::defaultPrinter().isNull();
}

QString DefaultPrinterName() {
  if (NoPrinterForced()) return QString();
  const QString pdf = PdfStandIn();
  if (!pdf.isEmpty()) return pdf;
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  return info.isNull() ? QString() : info.printerName();
}

QString MissingNamedPrinter() {
  if (NoPrinterForced() || !PdfStandIn().isEmpty()) return QString();
  // CUPS takes LPDEST first, then PRINTER unless it is "lp"; "NAME/INSTANCE" names an
  // instance of the printer NAME.
  QString named = qEnvironmentVariable("LPDEST").trimmed();
  if (named.isEmpty()) {
    named = qEnvironmentVariable("PRINTER").trimmed();
    if (named == QLatin1String("lp")) named.clear();
  }
  if (named.isEmpty()) return QString();
  const QStringList installed = QPrinterInfo::availablePrinterNames();
  if (installed.isEmpty()) return QString();
  const QString queue = named.section(QLatin1Char('/'), 0, 0);
  if (installed.contains(named) || installed.contains(queue)) return QString();
  return named;
}

QString PrinterNotFoundText(const QString& name) {
  return QStringLiteral("Printer %1 was not found").arg(name);
}

struct LinePrinter::State {
  std::unique_ptr<QPrinter> printer;
  std::unique_ptr<QPainter> painter;
  QFont font;
  QString jobName;
  bool open = false;
  int pages = 0;
  int y = 0;           // top of the current line, device pixels
  int lineHeight = 1;  // font height plus external leading
  int ascent = 0;
  int columnWidth = 1;
  int pageHeight = 0;
  bool lineUsed = false;  // something was printed on the current line
};

LinePrinter::LinePrinter() : d(std::make_unique<State>()) {}

LinePrinter::~LinePrinter() { Release(); }

bool LinePrinter::Acquire(const QString& jobName, const QFont& font) {
  Release();
  if (!HasDefaultPrinter()) return false;
  // On the printer's own paper and printable area, or the PDF stand-in.
  d->printer = MakeDefaultPrinter(QPrinter::HighResolution);
  if (!d->printer) return false;
  d->printer->setDocName(jobName);
  d->jobName = jobName;
  d->font = font;
  d->open = true;
  d->pages = 0;
  d->y = 0;
  d->lineUsed = false;
  return true;
}

bool LinePrinter::IsOpen() const { return d->open; }


namespace {
bool Begin(QPrinter& printer, std::unique_ptr<QPainter>& painter, const QFont& font,
           int& lineHeight, int& ascent, int& columnWidth, int& pageHeight) {
  painter = std::make_unique<QPainter>();
  if (!painter->begin(&printer)) {
    painter.reset();
    return false;
  }
  painter->setFont(font);
  painter->setPen(Qt::black);
  const QFontMetrics fm = painter->fontMetrics();
  lineHeight = qMax(1, fm.height() + fm.leading());
  ascent = fm.ascent();
  columnWidth = fm.averageCharWidth();
  if (columnWidth <= 0) columnWidth = qMax(1, fm.horizontalAdvance(QLatin1Char('0')));
  pageHeight = printer.pageLayout().paintRectPixels(printer.resolution()).height();
  if (pageHeight <= 0) pageHeight = printer.height();
  return true;
}
}  // namespace


void LinePrinter::PrintAtColumn(int column, const QString& text) {
  if (!d->open) return;
  if (!d->painter) {
    if (!Begin(*d->printer, d->painter, d->font, d->lineHeight, d->ascent, d->columnWidth,
               d->pageHeight)) {
      d->open = false;
      d->printer.reset();
      return;
    }
    d->pages = 1;
    d->y = 0;
  }
  // A new page when this line does not fit below the lines already on the page.
  if (d->y > 0 && d->y + d->lineHeight > d->pageHeight) {
    d->printer->newPage();
    ++d->pages;
    d->y = 0;
  }
  if (!text.isEmpty()) {
    const int x = qMax(0, column - 1) * d->columnWidth;
    d->painter->drawText(x, d->y + d->ascent, text);
  }
  d->lineUsed = true;
}

void LinePrinter::NewLine() {
  if (!d->open) return;
  if (!d->painter || !d->lineUsed) PrintAtColumn(1, QString());
  if (!d->open) return;
  d->y += d->lineHeight;
  d->lineUsed = false;
}

void LinePrinter::PrintLine(const QString& text) {
  if (!d->open) return;
  PrintAtColumn(1, text);
  NewLine();
}

void LinePrinter::Release() {
  if (d->painter) {
    d->painter->end();
    d->painter.reset();
  }
  d->printer.reset();
  d->open = false;
  d->y = 0;
  d->lineUsed = false;
}

int LinePrinter::PageCount() const { return d->pages; }

}  // namespace platform
