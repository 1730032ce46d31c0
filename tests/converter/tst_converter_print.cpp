// Print Result through the system's default printer: the blocks of one run collect in one
// document, handed to the printer when the program ends; without a printer, a message.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScopeGuard>
#include <QtTest>
#include <memory>

#include "converter/converter_form.h"
#include "form_driver.h"
#include "print_capture.h"

using namespace formdriver;

class TestConverterPrint : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void twoPrintsInOneDocument();
  void geodeticInputPrinted();
  void noPrinter_data();
  void noPrinter();

 private:
  static void TickOnly(ConverterForm& f, std::initializer_list<int> boxes) {
    for (int i = 1; i <= 6; ++i) {
      const bool want = std::find(boxes.begin(), boxes.end(), i) != boxes.end();
      if (f.Check[i]->isChecked() != want) ClickBox(f.Check[i]);
    }
  }
};

namespace {
// The printed page as a grid of fixed-pitch character cells, rebuilt from the word boxes
// of the PDF (pdftotext -bbox): row = line number from the first line, column = cell
// from the left edge of the printable area, so "column 35" can be checked as such.
QStringList PrintedGrid(const QString& pdf, double leftMargin) {
  QProcess p;
  p.start("pdftotext", {"-bbox", pdf, "-"});
  if (!p.waitForFinished(30000)) return {};
  const QString html = QString::fromUtf8(p.readAllStandardOutput());
  struct Word {
    double x, y;
    QString text;
    double width;
  };
  QList<Word> words;
  static const QRegularExpression re(
      "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
      "yMax=\"[0-9.]+\">([^<]*)</word>");
  for (auto it = re.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    words.append({m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(4),
                  m.captured(3).toDouble() - m.captured(1).toDouble()});
  }
  if (words.isEmpty()) return {};
  double cell = 0, top = 1e9, pitch = 1e9;
  for (const Word& w : words) {
    cell = std::max(cell, w.width / w.text.size());
    top = std::min(top, w.y);
  }
  for (const Word& w : words)
    if (w.y - top > 1) pitch = std::min(pitch, w.y - top);
  QStringList grid;
  for (const Word& w : words) {
    const int row = qRound((w.y - top) / pitch);
    const int col = qRound((w.x - leftMargin) / cell);
    while (grid.size() <= row) grid << QString();
    QString& line = grid[row];
    if (line.size() < col) line += QString(col - line.size(), ' ');
    line = line.left(col) + w.text + line.mid(col + w.text.size());
  }
  return grid;
}

double PrintableLeft() {
  std::unique_ptr<QPrinter> printer;
  if (testsupport::UsingCupsQueue()) {
    printer = std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
  } else {
    printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
  }
  return printer->pageLayout().paintRect(QPageLayout::Point).left();
}
}  // namespace

void TestConverterPrint::initTestCase() { QVERIFY(testsupport::PreparePrinter()); }

void TestConverterPrint::twoPrintsInOneDocument() {
  auto form = std::make_unique<ConverterForm>();
  QVERIFY(ShowAndActivate(*form));
  TypeInto(form->Text[1], "830000");
  TypeInto(form->Text[2], "840000");
  TickOnly(*form, {1, 4, 6});
  Press(form->Command[3]);
  QCOMPARE(form->Label[13]->text(), QString("Result outputed to"));
  QCOMPARE(form->Label[14]->text(), QString("printer already !!!"));
  QCOMPARE(form->Label[5]->text(), QString("1980 HK Grid"));
  QCOMPARE(form->Label[9]->text(), QString("830000"));
  QCOMPARE(form->Label[6]->text(), QString());  // no result name after printing
  QCOMPARE(form->Label[11]->text(), QString());
  TypeInto(form->Text[1], "819069.8");
  TypeInto(form->Text[2], "836694.05");
  TickOnly(*form, {5});
  Press(form->Command[3]);
  // Nothing reaches the printer before the program ends.
  QVERIFY(!QFileInfo(testsupport::PrintedFile()).exists() || testsupport::UsingCupsQueue());
  Press(form->Command[4]);  // Quit releases the document
  form.reset();

  const QStringList pages = testsupport::WaitForPrintedPages();
  QCOMPARE(pages.size(), 1);
  const QStringList grid = PrintedGrid(testsupport::PrintedFile(), PrintableLeft());
  // Columns 5 and 35, counted from 1; the empty line after each Print Result.
  const QStringList expected{
      "    1980 HK Grid                  1980 HK Grid",
      "    N :830000                     N :830000.",
      "    E :840000                     E :840000.",
      "    1980 HK Grid                  UTM84    Zone 50",
      "    N :830000                     N :2480793.782",
      "    E :840000                     E :213088.1976",
      "    1980 HK Grid                  WGS 84",
      "    N :830000                     Lat :22-24-33.49387",
      "    E :840000                     Lon :114-12-47.24287",
      "",
      "    1980 HK Grid                  1980 HK Geodetic Datumn",
      "    N :819069.8                   Lat :22-18-43.68",
      "    E :836694.05                  Lon :114-10-42.8",
  };
  QCOMPARE(grid, expected);
}

void TestConverterPrint::geodeticInputPrinted() {
  QVERIFY(testsupport::PreparePrinter());
  auto form = std::make_unique<ConverterForm>();
  QVERIFY(ShowAndActivate(*form));
  ClickBox(form->Option[6]);
  TypeInto(form->Text[3], "22.1843");
  TypeInto(form->Text[4], "114.10428");
  // Option6 ticked "80 Grid" alone.
  Press(form->Command[3]);
  form->close();
  form.reset();
  const QString text = testsupport::WaitForPrintedText();
  QVERIFY2(text.contains("norvane"), qPrintable(text));
  QVERIFY(text.contains("1980 HK Grid"));
  QVERIFY2(text.contains("Lat :22-18-43."), qPrintable(text));
  QVERIFY(text.contains("Lon :114-10-42.8"));
}

void TestConverterPrint::noPrinter_data() {
  QTest::addColumn<QString>("printer");  // SETTING=NAME; empty: no printer at all
  QTest::addColumn<QString>("said");
  QTest::newRow("none installed") << ""
                                  << "No printer";
  QTest::newRow("others but not the named one") << "PRINTER=suite_no_such_queue"
                                                << "Printer suite_no_such_queue was not found";
  QTest::newRow("a missing instance of an installed queue")
      << "PRINTER=suite_pdf/inst"
      << "Printer suite_pdf/inst was not found";
  QTest::newRow("LPDEST names it") << "LPDEST=nosuch"
                                   << "Printer nosuch was not found";
}

void TestConverterPrint::noPrinter() {
  QFETCH(QString, printer);
  QFETCH(QString, said);
  qunsetenv("SUITE_NO_PRINTER");
  if (printer.isEmpty())
    testsupport::RemovePrinter();
  else if (!testsupport::UsingCupsQueue())
    QSKIP("needs the CUPS test queue");
  const QByteArray setting = printer.section(QLatin1Char('='), 0, 0).toLatin1();
  const QByteArray oldValue = qgetenv(setting.constData());
  const bool hadValue = qEnvironmentVariableIsSet(setting.constData());
  if (!printer.isEmpty())
    qputenv(setting.constData(), printer.section(QLatin1Char('='), 1).toLocal8Bit());
  const auto restore = qScopeGuard([&] {
    if (setting.isEmpty()) return;
    if (hadValue)
      qputenv(setting.constData(), oldValue);
    else
      qunsetenv(setting.constData());
  });
  auto form = std::make_unique<ConverterForm>();
  QVERIFY(ShowAndActivate(*form));
  TypeInto(form->Text[1], "830000");
  TypeInto(form->Text[2], "840000");
  Press(form->Command[1]);
  const QStringList before = ResultLabels(*form);
  {
    BoxWatchdog watchdog;
    Press(form->Command[3]);
    QCOMPARE(watchdog.count(), 1);
    QVERIFY2(watchdog.texts[0].contains(said), qPrintable(watchdog.texts[0]));
    // The message names the setting to put right.
    if (!setting.isEmpty())
      QVERIFY2(watchdog.texts[0].contains("in the " + QString::fromLatin1(setting) + " setting"),
               qPrintable(watchdog.texts[0]));
  }
  QCOMPARE(ResultLabels(*form), before);
  // The form goes on working.
  Press(form->Command[1]);
  QCOMPARE(form->Label[14]->text(), QString("114-12-38.38554"));
}

QTEST_MAIN(TestConverterPrint)
#include "tst_converter_print.moc"
