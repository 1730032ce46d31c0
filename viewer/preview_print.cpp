// Printing the previewed document: the print dialog that prints it whole, and the pages
// with a heading on every page.
#include "viewer/preview_print.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QPageRanges>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>

#include "platform/default_printer.h"
#include "platform/line_printer.h"
#include "platform/platform.h"
#include "viewer/document.h"
#include "viewer/page_image.h"
#include "viewer/page_layout.h"
#include "viewer/preview.h"

namespace viewer {

namespace {

// The print engine's CUPS job options, as Qt's CUPS support keeps them.
constexpr QPrintEngine::PrintEnginePropertyKey kCupsOptions =
    QPrintEngine::PrintEnginePropertyKey(0xfe00);

bool NoPrinterAtAll() {
  if (platform::HasDefaultPrinter()) return false;
  if (!qEnvironmentVariableIsEmpty("SUITE_NO_PRINTER")) return true;
  return QPrinterInfo::availablePrinters().isEmpty();
}

// The print dialog offers no page range: the document prints whole, page for page as
// the preview shows it. Qt's dialog keeps "Pages from" and "Pages" choosable whatever
// its options say, so they are taken away each time the dialog shows and whenever
// another printer is picked.
class WholeDocumentPrintDialog : public QPrintDialog {
 public:
  WholeDocumentPrintDialog(QPrinter* printer, QWidget* parent) : QPrintDialog(printer, parent) {
    setOption(QAbstractPrintDialog::PrintSelection, false);
    setOption(QAbstractPrintDialog::PrintPageRange, false);
    setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    for (QComboBox* printers : findChildren<QComboBox*>(QStringLiteral("printers")))
      connect(printers, &QComboBox::currentIndexChanged, this,
              [this] { QTimer::singleShot(0, this, [this] { takeRangeAway(); }); });
  }

  void setVisible(bool visible) override {
    QPrintDialog::setVisible(visible);
    if (visible) takeRangeAway();
  }

 private:
  // The range box goes whole: with no range, no page set ("Odd Pages" would print half
  // a listing) and no "to" between two hidden numbers, nothing in it is left to choose.
  void takeRangeAway() {
    for (QRadioButton* all : findChildren<QRadioButton*>(QStringLiteral("printAll")))
      all->setChecked(true);
    for (QComboBox* set : findChildren<QComboBox*>(QStringLiteral("pageSetCombo")))
      set->setCurrentIndex(0);
    for (const char* name :
         {"gbPrintRange", "printRange", "pagesRadioButton", "printCurrentPage", "printSelection",
          "from", "to", "pagesLineEdit", "pageSetCombo", "pageSetLabel"}) {
      for (QWidget* w : findChildren<QWidget*>(QLatin1String(name))) {
        w->setEnabled(false);
        w->hide();
      }
    }
  }
};

}  // namespace

void TakeChosenPrintersOrientation(QPrinter& printer, const QString& presetPrinter,
                                   QPageLayout::Orientation presetOrientation) {
  const QString chosen = printer.printerName();
  if (chosen.isEmpty() || chosen == presetPrinter ||
      printer.outputFormat() != QPrinter::NativeFormat)
    return;
  // The dialog gives another printer its own paper but keeps the orientation of the one
  // it opened with; an orientation the user picked under its properties stays.
  if (printer.pageLayout().orientation() != presetOrientation) return;
  const QPageLayout::Orientation own = platform::DefaultOrientationOf(chosen);
  if (own == presetOrientation) return;
  printer.setPageOrientation(own);
  const QPageLayout layout = printer.pageLayout();
  printer.setPageMargins(layout.minimumMargins(), layout.units());
}

void PrintWholeDocument(QPrinter& printer) {
  printer.setPrintRange(QPrinter::AllPages);
  printer.setFromTo(0, 0);
  printer.setPageRanges(QPageRanges());
  // The dialog's page set ("Odd Pages", "Even Pages") travels to CUPS as the job option
  // "page-set" among the printer's CUPS options (name, value, name, value ...).
  if (QPrintEngine* engine = printer.printEngine()) {
    const QVariant held = engine->property(kCupsOptions);
    if (held.isValid()) {
      QStringList options = held.toStringList();
      for (qsizetype i = 0; i + 1 < options.size();) {
        if (options[i] == QLatin1String("page-set"))
          options.remove(i, 2);
        else
          i += 2;
      }
      engine->setProperty(kCupsOptions, options);
    }
  }
}

void PrintDocument(PreviewWindow& preview, const PageLines& lines) {
  PageSettings& s = preview.canvas()->settings();
  if (NoPrinterAtAll()) {
    platform::ShowWarning(
        &preview, QStringLiteral("Print"),
        QStringLiteral("There is no printer. Install a printer to print the document."));
    return;
  }
  const QString name =
      QString::fromStdU16String(NameFromCaption(preview.windowTitle().toStdU16String()));
  preview.printButton()->setEnabled(false);
  std::unique_ptr<QPrinter> printer = DefaultPrinter();
  if (!printer) printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setDocName(name.isEmpty() ? QStringLiteral("Print job") : name);
  const QString presetPrinter = printer->printerName();
  const QPageLayout::Orientation presetOrientation = printer->pageLayout().orientation();
  bool chosen = false;
  {
    WholeDocumentPrintDialog dialog(printer.get(), &preview);
    // The PDF file that stands in for a printer is the dialog's file entry.
    dialog.setOption(QAbstractPrintDialog::PrintToFile,
                     printer->outputFormat() == QPrinter::PdfFormat);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    chosen = dialog.exec() == QDialog::Accepted;
  }
  preview.printButton()->setEnabled(true);
  if (!chosen) return;
  PrintWholeDocument(*printer);
  TakeChosenPrintersOrientation(*printer, presetPrinter, presetOrientation);
  // A printer chosen in the dialog comes with its own paper and printable area: the
  // pages are laid out again for it (and the preview shows them so) before anything is
  // printed, so that no line runs into a margin of paper it was not laid out for.
  PageSettings chosenPaper = s;
  TakePrinterMetrics(chosenPaper, *printer);
  if (!SamePaper(s, chosenPaper)) {
    TakePrinterMetrics(s, *printer);
    preview.layOutAgain(*printer);
  }

  // Positions are the settings' printer pixels; a printer of another resolution chosen
  // in the dialog gets them in its own pixels.
  const double sx =
      s.printerResolutionX > 0 ? double(printer->resolution()) / s.printerResolutionX : 1.0;
  const double sy =
      s.printerResolutionY > 0 ? double(printer->resolution()) / s.printerResolutionY : 1.0;
  const PrintOrigin origin = PrintOriginOf(s);
  const double left = origin.left * sx;
  const double top = origin.top * sy;
  const double pageWidth = s.pageWidth * sx;

  QPainter p;
  if (!p.begin(printer.get())) {
    platform::ShowWarning(&preview, QStringLiteral("Print"),
                          QStringLiteral("The printer could not start the print job."));
    return;
  }
  const QFont font = SettingsFont(s);
  p.setFont(font);
  const QFontMetrics fm(font, printer.get());
  p.setPen(Qt::black);
  const QString pageCount = QString::fromStdString(ViewerPlainNumberText(s.pageCount));
  const auto heading = [&](int k) {
    const QString text = name + QStringLiteral("  |  Page") +
                         QString::fromStdString(ViewerNumberText(k)) + QStringLiteral("/") +
                         pageCount + QStringLiteral("  |  ") + HeadingDate() +
                         QStringLiteral(", ") + HeadingTime();
    const double x = (pageWidth - fm.horizontalAdvance(text)) / 2;
    const double y = (top - fm.height()) / 2;
    p.drawText(QPointF(x, y + fm.ascent()), text);
  };
  const std::size_t perPage = static_cast<std::size_t>(std::max(s.linesPerPage, 1));
  int k = 1;
  heading(k);
  double y = top;
  for (std::size_t i = 1; i <= lines.size(); ++i) {
    if (i > 1 && (i - 1) % perPage == 0) {
      printer->newPage();
      heading(++k);
      y = top;
    }
    const std::u16string& line = lines[i - 1];
    p.drawText(QPointF(left, y + fm.ascent()),
               QString::fromRawData(reinterpret_cast<const QChar*>(line.data()),
                                    static_cast<qsizetype>(line.size())));
    y += fm.height();
  }
  p.end();
}

}  // namespace viewer
