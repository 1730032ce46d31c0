// Print Result through the system's default printer: the blocks of one run collect in one
// document, handed to the printer when the program ends; without a printer, a message.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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
  void noPrinter();

 private:
  static void TickOnly(ConverterForm& f, std::initializer_list<int> boxes) {
    for (int i = 1; i <= 6; ++i) {
      const bool want = std::find(boxes.begin(), boxes.end(), i) != boxes.end();
      if (f.Check[i]->isChecked() != want) ClickBox(f.Check[i]);
    }
  }
  // The printed lines that carry text, with the column (0-based) where each text starts.
  static QStringList Lines(const QString& text) { return text.split('\n'); }
};

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
  QStringList lines = Lines(pages[0]);
  while (!lines.isEmpty() && lines.first().trimmed().isEmpty()) lines.removeFirst();
  const QStringList expected{
      "1980 HK Grid|1980 HK Grid",
      "N :830000|N :830000.",
      "E :840000|E :840000.",
      "1980 HK Grid|UTM84    Zone 50",
      "N :830000|N :2480793.782",
      "E :840000|E :213088.1976",
      "1980 HK Grid|WGS 84",
      "N :830000|Lat :22-24-33.49387",
      "E :840000|Lon :114-12-47.24287",
      "",  // the empty line after the first Print Result
      "1980 HK Grid|1980 HK Geodetic Datumn",
      "N :819069.8|Lat :22-18-43.68",
      "E :836694.05|Lon :114-10-42.8",
  };
  QVERIFY2(lines.size() >= expected.size(), qPrintable(pages[0]));
  int inputColumn = -1;
  for (int i = 0; i < expected.size(); ++i) {
    const QString& line = lines[i];
    if (expected[i].isEmpty()) {
      QVERIFY2(line.trimmed().isEmpty(), qPrintable(line));
      continue;
    }
    const QString input = expected[i].section('|', 0, 0);
    const QString result = expected[i].section('|', 1, 1);
    const int at = line.indexOf(input);
    const int resultAt = line.indexOf(result, at + input.size());
    QVERIFY2(at >= 0 && resultAt > at, qPrintable(line));
    if (inputColumn < 0) inputColumn = at;
    // Input at column 5 and results at column 35 of the fixed-pitch line: every input
    // text starts in the same place and every result 30 columns to its right.
    QCOMPARE(at, inputColumn);
    QCOMPARE(resultAt - at, 30);
    QCOMPARE(line.mid(resultAt).trimmed(), result);
  }
  for (int i = expected.size(); i < lines.size(); ++i) QVERIFY2(lines[i].trimmed().isEmpty(), qPrintable(lines[i]));
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

void TestConverterPrint::noPrinter() {
  testsupport::RemovePrinter();
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
    QVERIFY2(watchdog.texts[0].contains("No printer"), qPrintable(watchdog.texts[0]));
  }
  QCOMPARE(ResultLabels(*form), before);
  // The form goes on working.
  Press(form->Command[1]);
  QCOMPARE(form->Label[14]->text(), QString("114-12-38.38554"));
}

QTEST_MAIN(TestConverterPrint)
#include "tst_converter_print.moc"
