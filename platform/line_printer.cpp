// The default printer as a line printer: a QPrinter on the default CUPS queue (or the
// PDF stand-in), painted line by line in one font.
#include "platform/line_printer.h"

#include "platform/default_printer.h"

#include <QDir>
#include <QFile>
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

namespace {
// The printer of the last "Default NAME" (or "Default NAME/INSTANCE") line of an
// lpoptions file; empty when it has none.
QString LpoptionsDefault(const QString& text) {
  QString named;
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    const QStringList fields = line.simplified().split(QLatin1Char(' '));
    if (fields.size() >= 2 && fields[0].compare(QLatin1String("Default"), Qt::CaseInsensitive) == 0)
      named = fields[1];
  }
  return named;
}

QString ReadText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromLocal8Bit(file.read(1 << 20));
}
}  // namespace

NamedPrinter NamedDefaultPrinter(const QString& lpdest, const QString& printer,
                                 const QString& userLpoptions, const QString& systemLpoptions) {
  if (!lpdest.trimmed().isEmpty()) return {lpdest.trimmed(), QStringLiteral("the LPDEST setting")};
  const QString p = printer.trimmed();
  if (!p.isEmpty() && p != QLatin1String("lp")) return {p, QStringLiteral("the PRINTER setting")};
  QString named = LpoptionsDefault(userLpoptions);
  if (!named.isEmpty()) return {named, QStringLiteral("the Default line of ~/.cups/lpoptions")};
  named = LpoptionsDefault(systemLpoptions);
  if (!named.isEmpty())
    return {named, QStringLiteral("the Default line of the system's lpoptions")};
  return {};
}

NamedPrinter MissingNamedPrinter() {
  if (NoPrinterForced() || !PdfStandIn().isEmpty()) return {};
  QString serverRoot = qEnvironmentVariable("CUPS_SERVERROOT");
  if (serverRoot.isEmpty()) serverRoot = QStringLiteral("/etc/cups");
  const NamedPrinter named =
      NamedDefaultPrinter(qEnvironmentVariable("LPDEST"), qEnvironmentVariable("PRINTER"),
                          ReadText(QDir::homePath() + QStringLiteral("/.cups/lpoptions")),
                          ReadText(serverRoot + QStringLiteral("/lpoptions")));
  if (named.name.isEmpty()) return {};
  const QStringList installed = QPrinterInfo::availablePrinterNames();
  if (installed.isEmpty()) return {};
  // An instance counts only as itself: "QUEUE/INSTANCE" with no such instance is missing
  // although QUEUE is installed.
  if (installed.contains(named.name)) return {};
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
