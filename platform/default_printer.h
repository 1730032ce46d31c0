#pragma once
// The system's default printer as it prints without a dialog: on its own default paper,
// in its own default orientation, with the printable area it reports. A QPrinter built
// on a printer keeps Qt's own page size (A4, whatever the printer's paper), so every
// program that prints to the default printer gets its QPrinter from here.
#include <QPageLayout>
#include <QPrinter>
#include <QString>

#include <memory>

class QPrinterInfo;

namespace platform {

// The default printer set up as above, or the PDF file that stands in for it where
// SUITE_PRINT_TO_PDF names one (see line_printer.h); nullptr when the machine has no
// printer or the printer cannot be used.
std::unique_ptr<QPrinter> MakeDefaultPrinter(QPrinter::PrinterMode mode = QPrinter::HighResolution);

// Puts a printer's own defaults on a QPrinter that prints on it: the default paper,
// the default orientation, and margins equal to the edges the printer cannot reach,
// so that the page rectangle is the printable area.
void ApplyPrinterDefaults(QPrinter& printer, const QPrinterInfo& info);

// The orientation a CUPS queue prints in when the job does not say
// (its "orientation-requested" default); portrait when it has none.
QPageLayout::Orientation DefaultOrientationOf(const QString& printerName);

// Reads the orientation from the options line "lpoptions -p NAME" prints:
// orientation-requested=4 (landscape) or 5 (reverse landscape) is landscape.
QPageLayout::Orientation OrientationFromOptions(const QString& options);

}  // namespace platform
