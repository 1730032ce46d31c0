#pragma once
// Printing the previewed document.
#include <QPageLayout>
#include <QString>

#include "viewer/preview_canvas.h"

class QPrinter;

namespace viewer {

class PreviewWindow;

// Prints the lines with a heading on every page through the print dialog; called by the
// preview's "&Print". Says so when the machine has no printer at all.
void PrintDocument(PreviewWindow& preview, const PageLines& lines);
// Makes a printer print every page of what it is given: all pages, no page ranges and no
// page set (odd or even pages), whatever a print dialog put on it.
void PrintWholeDocument(QPrinter& printer);
// Another printer chosen in the print dialog prints in its own default orientation (the
// dialog keeps the orientation of the printer it opened with), unless the orientation
// was changed in the dialog; the margins become that printer's unprintable edges again.
void TakeChosenPrintersOrientation(QPrinter& printer, const QString& presetPrinter,
                                   QPageLayout::Orientation presetOrientation);

}  // namespace viewer
