#pragma once
// What the printer received, for tests that print. The CTest fixture "print_queue"
// starts a CUPS daemon with a queue that writes each job's PDF to a file; where CUPS
// cannot start, PreparePrinter() points the suite's default printer at Qt's PDF output
// instead (SUITE_PRINT_TO_PDF) and says so in the test log. Tests that print hold the
// CTest resource lock "printer".
#include <QString>
#include <QStringList>

namespace testsupport {

// Call once before the program under test acquires a printer. Clears earlier output.
// Returns false when neither CUPS nor the PDF stand-in is usable.
bool PreparePrinter();
// Waits (with a limit) until the job has been written, then returns its text as
// pdftotext -layout reads it, pages separated by form feeds. Empty when nothing printed.
QString WaitForPrintedText(int timeoutMs = 20000);
// The pages of the text above.
QStringList WaitForPrintedPages(int timeoutMs = 20000);
// The PDF file the printed job is (or will be) written to.
QString PrintedFile();
// True when the output went through a real CUPS queue.
bool UsingCupsQueue();
// Makes the machine look as if it had no printer at all (for the "no printer" paths).
void RemovePrinter();

}  // namespace testsupport
