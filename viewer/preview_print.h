#pragma once
// Printing the previewed document.
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

}  // namespace viewer
