#pragma once
// The system's default printer used as a line printer, without a dialog: lines of text
// go down the page in one fixed font, a new page starts when the next line does not fit,
// and Release() ends the document and hands the job to the printer.
//
// Where the environment variable SUITE_PRINT_TO_PDF names a file, that file stands in for
// the default printer (Qt's PDF output); tests use this where no print queue can run.
// Where SUITE_NO_PRINTER is set (not empty) the machine counts as having no printer at
// all, whatever else is set up; tests use this for the "no printer" paths.
#include <QFont>
#include <QString>
#include <memory>

class QPainter;
class QPrinter;

namespace platform {

// True when the machine has a default printer (or the PDF stand-in is set).
bool HasDefaultPrinter();
// Name of the default printer, empty when there is none.
QString DefaultPrinterName();
// A printer named by one of this user's printer settings, and the setting that named it
// ("the LPDEST setting", "the PRINTER setting", "the Default line of ~/.cups/lpoptions").
struct NamedPrinter {
  QString name;     // as named: a queue, or "QUEUE/INSTANCE" for an instance of it
  QString setting;  // empty when nothing names a printer
};
// The printer the CUPS clients take as the default before the scheduler's own: LPDEST,
// else PRINTER unless it is "lp", else the last "Default" line of the user's lpoptions
// file, else that of the system's. The lpoptions arguments are the files' text.
NamedPrinter NamedDefaultPrinter(const QString& lpdest, const QString& printer,
                                 const QString& userLpoptions, const QString& systemLpoptions);
// The printer that this user's settings name (as above) when no installed printer or
// printer instance has that name while other printers are installed; an empty name
// otherwise. There is then no default printer although printers exist: say that the
// named printer was not found and which setting named it, not that none is installed.
NamedPrinter MissingNamedPrinter();
// "Printer NAME was not found".
QString PrinterNotFoundText(const QString& name);

class LinePrinter {
 public:
  LinePrinter();
  ~LinePrinter();  // releases (sends) an open job
  LinePrinter(const LinePrinter&) = delete;
  LinePrinter& operator=(const LinePrinter&) = delete;

  // Acquires the default printer. The job starts with the first printed line.
  // Returns false (and IsOpen() stays false) when there is no printer.
  bool Acquire(const QString& jobName, const QFont& font = QFont("Courier New", 10));
  bool IsOpen() const;
  // Prints one line at the left margin and moves down one line. The job's first page
  // begins with the first line printed; a new page begins when the next line does not
  // fit on the current page.
  void PrintLine(const QString& text);
  // Prints text starting at a character column (1-based) of the current line, without
  // moving down; NewLine() moves down. Columns are in widths of the fixed-pitch font.
  void PrintAtColumn(int column, const QString& text);
  void NewLine();
  // Ends the document and sends it; nothing happens when nothing is open.
  void Release();
  // Number of pages begun in the current or last job.
  int PageCount() const;

 private:
  struct State;
  std::unique_ptr<State> d;
};

}  // namespace platform
