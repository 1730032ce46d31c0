// The default printer on its own paper: Qt's QPrinter, given a printer, keeps its own
// default page size; the printer's paper, orientation and printable area are put on it
// here.
#include "platform/default_printer.h"

#include <QMarginsF>
#include <QPageSize>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtGlobal>

#include "platform/line_printer.h"

namespace platform {

std::unique_ptr<QPrinter> MakeDefaultPrinter(QPrinter::PrinterMode mode) {
  if (!HasDefaultPrinter()) return nullptr;
  const QString pdf = qEnvironmentVariable("SUITE_PRINT_TO_PDF");
  if (!pdf.isEmpty()) {
    auto p = std::make_unique<QPrinter>(mode);
    p->setOutputFormat(QPrinter::PdfFormat);
    p->setOutputFileName(pdf);
    return p;
  }
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return nullptr;
  auto p = std::make_unique<QPrinter>(info, mode);
  if (!p->isValid()) return nullptr;
  ApplyPrinterDefaults(*p, info);
  return p;
}

void ApplyPrinterDefaults(QPrinter& printer, const QPrinterInfo& info) {
  const QPageSize paper = info.defaultPageSize();
  if (paper.isValid()) printer.setPageSize(paper);
  printer.setPageOrientation(DefaultOrientationOf(info.printerName()));
  // Margins of exactly the unprintable edges: the page rectangle is the printable area
  // and painting starts at its corner.
  printer.setFullPage(false);
  const QPageLayout layout = printer.pageLayout();
  printer.setPageMargins(layout.minimumMargins(), layout.units());
}

namespace {

// The options of an lpoptions line: blank-separated, a value with blanks in quotes.
QStringList OptionTokens(const QString& line) {
  QStringList tokens;
  QString current;
  QChar quote;
  bool any = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const QChar c = line[i];
    if (!quote.isNull()) {
      if (c == quote)
        quote = QChar();
      else if (c == QLatin1Char('\\') && i + 1 < line.size())
        current += line[++i];
      else
        current += c;
    } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
      quote = c;
      any = true;
    } else if (c == QLatin1Char('\\') && i + 1 < line.size()) {
      current += line[++i];
      any = true;
    } else if (c.isSpace()) {
      if (any || !current.isEmpty()) tokens << current;
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any || !current.isEmpty()) tokens << current;
  return tokens;
}

}  // namespace

QPageLayout::Orientation OrientationFromOptions(const QString& options) {
  for (const QString& option : OptionTokens(options)) {
    if (option == QLatin1String("landscape")) return QPageLayout::Landscape;
    if (option.startsWith(QLatin1String("orientation-requested="))) {
      const QString value = option.mid(22);
      if (value == QLatin1String("4") || value == QLatin1String("5")) return QPageLayout::Landscape;
    }
  }
  return QPageLayout::Portrait;
}

QPageLayout::Orientation DefaultOrientationOf(const QString& printerName) {
  // The queue's own default options, as the CUPS client reads them.
  if (printerName.isEmpty()) return QPageLayout::Portrait;
  const QString lpoptions = QStandardPaths::findExecutable(QStringLiteral("lpoptions"));
  if (lpoptions.isEmpty()) return QPageLayout::Portrait;
  QProcess query;
  query.start(lpoptions, {QStringLiteral("-p"), printerName});
  if (!query.waitForFinished(5000)) {
    query.kill();
    query.waitForFinished(1000);
    return QPageLayout::Portrait;
  }
  if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
    return QPageLayout::Portrait;
  return OrientationFromOptions(QString::fromLocal8Bit(query.readAllStandardOutput()));
}

}  // namespace platform
