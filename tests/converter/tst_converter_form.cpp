// The converter form end to end through its window (offscreen): its layout, clicks and
// typed text, the result frame, the result cycle, and bad input answered by a message box
// with the form left as it was.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>

#include "converter/converter_form.h"
#include "form_driver.h"
#include "platform/platform.h"

using namespace formdriver;

class TestConverterForm : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void layout_data();
  void layout();
  void startState();
  void tabOrder();
  void colours();
  void calculateAtStart();
  void workedExample_data();
  void workedExample();
  void nextResultCycles();
  void geodeticInput();
  void geodeticOptionResetsTicks();
  void textBoxSelectsAllOnFocus();
  void nextResultBeforeCalculate();
  void absentInputShowsNotAvailable();
  void nothingTickedDoesNothing();
  void badInput_data();
  void badInput();
  void longTypedText_data();
  void longTypedText();
  void typedMarkupIsPlainText();
  void aboutBox();
  void screenshot();
  void quitCloses();

 private:
  std::unique_ptr<ConverterForm> form;
  void TypeGrid(const QString& n, const QString& e) {
    TypeInto(form->Text[1], n);
    TypeInto(form->Text[2], e);
  }
  void TickOnly(std::initializer_list<int> boxes) {
    for (int i = 1; i <= 6; ++i) {
      const bool want = std::find(boxes.begin(), boxes.end(), i) != boxes.end();
      if (form->Check[i]->isChecked() != want) ClickBox(form->Check[i]);
    }
  }
  QString Result() const {
    return form->Label[6]->text() + "|" + form->Label[11]->text() + form->Label[13]->text() + "|" +
           form->Label[12]->text() + form->Label[14]->text();
  }
};

void TestConverterForm::init() {
  form = std::make_unique<ConverterForm>();
  QVERIFY(ShowAndActivate(*form));
}

void TestConverterForm::cleanup() { form.reset(); }

void TestConverterForm::layout_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("parent");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QRect>("twips");
  auto row = [](const char* name, const char* parent, const char* caption, int l, int t, int w,
                int h) { QTest::newRow(name) << name << parent << caption << QRect(l, t, w, h); };
  row("Frame1", "", "Input ", 120, 120, 3135, 3135);
  row("Option1", "Frame1", "80 Grid", 240, 240, 1095, 195);
  row("Option2", "Frame1", "84 Grid", 240, 480, 1095, 195);
  row("Option3", "Frame1", "UTM 80", 1800, 240, 1215, 195);
  row("Option4", "Frame1", "UTM 84", 1800, 480, 1215, 195);
  row("Label1", "Frame1", "Northing :", 240, 840, 855, 255);
  row("Text1", "Frame1", "", 1200, 840, 1575, 285);
  row("Label2", "Frame1", "Easting : ", 240, 1200, 855, 255);
  row("Text2", "Frame1", "", 1200, 1200, 1575, 285);
  row("Option5", "Frame1", "80 Geodetic Datumn", 240, 1680, 2535, 195);
  row("Option6", "Frame1", "norvane", 240, 1920, 2655, 195);
  row("Label3", "Frame1", "Lat :", 240, 2280, 855, 255);
  row("Text3", "Frame1", "", 1200, 2280, 1575, 285);
  row("Label4", "Frame1", "Lon :", 240, 2640, 735, 255);
  row("Text4", "Frame1", "", 1200, 2640, 1575, 285);
  row("Frame2", "", "Calculate ", 3360, 120, 3015, 1815);
  row("Check1", "Frame2", "80 Grid", 120, 360, 975, 195);
  row("Check2", "Frame2", "84 Grid", 120, 600, 975, 255);
  row("Check3", "Frame2", "UTM 80", 1680, 360, 1215, 255);
  row("Check4", "Frame2", "UTM 84", 1680, 600, 1215, 255);
  row("Check5", "Frame2", "80 Geodetic Datumn", 120, 840, 2775, 255);
  row("Check6", "Frame2", "norvane", 120, 1080, 2775, 255);
  row("Command1", "Frame2", "&Calculate", 360, 1440, 2415, 255);
  row("Command2", "", "&Next Result", 3480, 2040, 2895, 375);
  row("Command3", "", "&Print Result", 3480, 2520, 2895, 375);
  row("Command4", "", "&Quit", 3480, 3000, 1695, 375);
  row("Command5", "", "&About", 5400, 3000, 975, 375);
  row("Frame3", "", "Result :", 120, 3360, 6255, 1335);
  row("Label5", "Frame3", "", 120, 240, 2775, 255);
  row("Label7", "Frame3", "", 120, 600, 615, 255);
  row("Label8", "Frame3", "", 120, 960, 615, 255);
  row("Label9", "Frame3", "", 720, 600, 2055, 255);
  row("Label10", "Frame3", "", 720, 960, 2055, 255);
  row("Label15", "Frame3", ">>>", 2880, 600, 375, 255);
  row("Label6", "Frame3", "", 3360, 240, 2775, 255);
  row("Label11", "Frame3", "", 3360, 600, 615, 255);
  row("Label12", "Frame3", "", 3360, 960, 615, 255);
  row("Label13", "Frame3", "", 3960, 600, 2175, 255);
  row("Label14", "Frame3", "", 3960, 960, 2175, 255);
}

void TestConverterForm::layout() {
  QFETCH(QString, name);
  QFETCH(QString, parent);
  QFETCH(QString, caption);
  QFETCH(QRect, twips);
  QWidget* w = form->findChild<QWidget*>(name);
  QVERIFY(w);
  QCOMPARE(w->parentWidget()->objectName(), parent.isEmpty() ? QString() : parent);
  if (parent.isEmpty()) QCOMPARE(w->parentWidget(), form.get());
  QCOMPARE(w->geometry(),
           QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
  QString text;
  if (auto* b = qobject_cast<QAbstractButton*>(w))
    text = b->text();
  else if (auto* l = qobject_cast<QLabel*>(w))
    text = l->text();
  else if (auto* g = qobject_cast<QGroupBox*>(w))
    text = g->title();
  else if (auto* e = qobject_cast<QLineEdit*>(w))
    text = e->text();
  QCOMPARE(text, caption);
  QCOMPARE(w->font().family(), QString("MS Sans Serif"));
  QVERIFY(w->font().bold());
  QCOMPARE(w->font().pointSizeF(), 8.25);
}

void TestConverterForm::startState() {
  QCOMPARE(form->windowTitle(), QString("Conversion of coordinates between WGS 84, HK80 & ...."));
  QCOMPARE(form->size(), QSize(437, 321));  // 6555 x 4815 twips
  QVERIFY(form->Option[1]->isChecked());
  for (int i = 1; i <= 6; ++i) QCOMPARE(form->Check[i]->isChecked(), i == 5);
  QVERIFY(form->Text[1]->isEnabled() && form->Text[2]->isEnabled());
  QVERIFY(!form->Text[3]->isEnabled() && !form->Text[4]->isEnabled());
  QVERIFY(!form->Label[3]->isEnabled() && !form->Label[4]->isEnabled());
  QCOMPARE(ResultLabels(*form).join(""), QString());
  QCOMPARE(form->Label[15]->text(), QString(">>>"));
  QCOMPARE(form->state.resultIndex, int16_t(0));
}

void TestConverterForm::tabOrder() {
  // The focus chain through the controls of the form (labels and frames take no focus; as
  // in any group of option buttons, Tab stops only at the selected one).
  const QStringList expected{"Option1",  "Option2",  "Option3", "Option4", "Text1",    "Text2",
                             "Option5",  "Option6",  "Text3",   "Text4",   "Check1",   "Check2",
                             "Check3",   "Check4",   "Check5",  "Check6",  "Command1", "Command2",
                             "Command3", "Command4", "Command5"};
  QStringList chain;
  QWidget* w = form->Option[1];
  for (int guard = 0; guard < 200 && chain.size() < expected.size(); ++guard) {
    if (expected.contains(w->objectName())) chain << w->objectName();
    w = w->nextInFocusChain();
  }
  QCOMPARE(chain, expected);
  QVERIFY(form->Option[1]->focusPolicy() & Qt::TabFocus);
  QVERIFY(!(form->Label[1]->focusPolicy() & Qt::TabFocus));
}

void TestConverterForm::colours() {
  QCOMPARE(form->Label[9]->palette().color(QPalette::WindowText), QColor(Qt::blue));
  QCOMPARE(form->Label[10]->palette().color(QPalette::WindowText), QColor(Qt::blue));
  QCOMPARE(form->Label[13]->palette().color(QPalette::WindowText), QColor(Qt::red));
  QCOMPARE(form->Label[14]->palette().color(QPalette::WindowText), QColor(Qt::red));
  QCOMPARE(form->Label[5]->palette().color(QPalette::WindowText), platform::SystemWindowText());
  const QImage shot = form->grab().toImage();
  // Inside the result frame (below its caption, away from the labels) the paper is white.
  const QPoint inside = form->Frame[3]->geometry().topLeft() + QPoint(200, 80);
  QCOMPARE(QColor(shot.pixel(inside)), QColor(Qt::white));
  // The caption "Result :" is drawn in red.
  const QImage frame = form->Frame[3]->grab().toImage();
  bool red = false;
  for (int y = 0; y < 16 && !red; ++y)
    for (int x = 0; x < 80 && !red; ++x) {
      const QColor c = frame.pixelColor(x, y);
      red = c.red() > 180 && c.green() < 90 && c.blue() < 90;
    }
  QVERIFY(red);
}

void TestConverterForm::calculateAtStart() {
  TypeGrid("830000", "840000");
  Press(form->Command[1]);
  QCOMPARE(form->Label[5]->text(), QString("1980 HK Grid"));
  QCOMPARE(form->Label[7]->text(), QString("N :"));
  QCOMPARE(form->Label[8]->text(), QString("E :"));
  QCOMPARE(form->Label[9]->text(), QString("830000"));
  QCOMPARE(form->Label[10]->text(), QString("840000"));
  QCOMPARE(Result(), QString("1980 HK Geodetic Datumn|Lat :22-24-39.0032 |Lon :114-12-38.38554"));
}

void TestConverterForm::workedExample_data() {
  QTest::addColumn<int>("box");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<int>("option");  // the input system; its two texts follow
  QTest::addColumn<QString>("first");
  QTest::addColumn<QString>("second");
  const QString n = "830000", e = "840000";
  QTest::newRow("80 Grid") << 1 << "1980 HK Grid|N :830000.|E :840000." << 1 << n << e;
  QTest::newRow("84 Grid") << 2 << "1984 HK Grid|N :829999.8326|E :840000.109" << 1 << n << e;
  QTest::newRow("UTM 80") << 3 << "UTM80    Zone 50|N :2481000.2893|E :212826.0121" << 1 << n << e;
  QTest::newRow("UTM 84") << 4 << "UTM84    Zone 50|N :2480793.782|E :213088.1976" << 1 << n << e;
  QTest::newRow("80 Geodetic Datumn")
      << 5 << "1980 HK Geodetic Datumn|Lat :22-24-39.0032 |Lon :114-12-38.38554" << 1 << n << e;
  QTest::newRow("WGS 84") << 6 << "norvane|Lat :22-24-33.49387|Lon :114-12-47.24287" << 1 << n << e;
  // A blank inside a typed angle took the place of a digit (22-18-04.368).
  QTest::newRow("typed angles with blanks")
      << 5 << "1980 HK Geodetic Datumn|Lat :22-18-43.68   |Lon :114-10-42.8   " << 5 << "22.18 4368"
      << "114.10 428";
}

void TestConverterForm::workedExample() {
  QFETCH(int, box);
  QFETCH(QString, shown);
  QFETCH(int, option);
  QFETCH(QString, first);
  QFETCH(QString, second);
  if (option == 1) {
    TypeGrid(first, second);
  } else {
    ClickBox(form->Option[option]);
    TypeInto(form->Text[3], first);
    TypeInto(form->Text[4], second);
  }
  TickOnly({box});
  Press(form->Command[1]);
  QCOMPARE(Result(), shown);
}

void TestConverterForm::nextResultCycles() {
  TypeGrid("830000", "840000");
  TickOnly({1, 4, 6});
  Press(form->Command[1]);
  QCOMPARE(form->Label[6]->text(), QString("1980 HK Grid"));
  Press(form->Command[2]);
  QCOMPARE(form->Label[6]->text(), QString("UTM84    Zone 50"));
  QCOMPARE(form->Label[13]->text(), QString("2480793.782"));
  Press(form->Command[2]);
  QCOMPARE(form->Label[6]->text(), QString("norvane"));
  QCOMPARE(form->Label[14]->text(), QString("114-12-47.24287"));
  Press(form->Command[2]);
  QCOMPARE(form->Label[6]->text(), QString("1980 HK Grid"));
  // Next Result does not read the boxes again: a changed text shows only on Calculate.
  TypeInto(form->Text[1], "819069.8");
  Press(form->Command[2]);
  QCOMPARE(form->Label[6]->text(), QString("UTM84    Zone 50"));
  QCOMPARE(form->Label[9]->text(), QString("830000"));
}

void TestConverterForm::geodeticInput() {
  ClickBox(form->Option[5]);
  TypeInto(form->Text[3], "22.184368");
  TypeInto(form->Text[4], "114.10428");
  TickOnly({1});
  Press(form->Command[1]);
  QCOMPARE(form->Label[5]->text(), QString("1980 Geodetic Datumn"));
  QCOMPARE(form->Label[7]->text(), QString("Lat :"));
  QCOMPARE(form->Label[9]->text(), QString("22.184368"));
  QCOMPARE(Result(), QString("1980 HK Grid|N :819069.8|E :836694.05"));
  // With "80 Grid" selected the latitude and longitude pass the input test, but the empty
  // northing and easting are read: no numbers can be given.
  ClickBox(form->Option[1]);
  Press(form->Command[1]);
  QCOMPARE(form->Label[5]->text(), QString("1980 HK Grid"));
  QCOMPARE(form->Label[13]->text(), QString(norvane::kNotAvailable1));
}

void TestConverterForm::geodeticOptionResetsTicks() {
  TickOnly({2, 3, 4, 5, 6});
  TypeGrid("830000", "840000");
  ClickBox(form->Option[3]);  // UTM 80 leaves the ticks alone
  for (int i = 1; i <= 6; ++i) QCOMPARE(form->Check[i]->isChecked(), i != 1);
  ClickBox(form->Option[6]);
  for (int i = 1; i <= 6; ++i) QCOMPARE(form->Check[i]->isChecked(), i == 1);
  QVERIFY(form->Text[3]->isEnabled() && form->Text[4]->isEnabled() && form->Label[3]->isEnabled());
  QVERIFY(!form->Text[1]->isEnabled() && !form->Label[2]->isEnabled());
  QCOMPARE(form->Text[1]->text(), QString("830000"));  // a disabled box keeps its text
  ClickBox(form->Option[2]);
  QVERIFY(form->Text[1]->isEnabled() && !form->Text[4]->isEnabled());
  for (int i = 1; i <= 6; ++i) QCOMPARE(form->Check[i]->isChecked(), i == 1);
}

void TestConverterForm::textBoxSelectsAllOnFocus() {
  TypeGrid("830000", "840000");
  QTest::mouseClick(form->Text[1], Qt::LeftButton);  // focus comes back by a click
  QCOMPARE(form->Text[1]->selectedText(), QString("830000"));
  QTest::keyClicks(form->Text[1], "819069.8");
  QCOMPARE(form->Text[1]->text(), QString("819069.8"));
  QTest::keyClick(form->Text[1], Qt::Key_Tab);  // and by the Tab key
  QCOMPARE(QApplication::focusWidget(), form->Text[2]);
  QCOMPARE(form->Text[2]->selectedText(), QString("840000"));
}

void TestConverterForm::nextResultBeforeCalculate() {
  TypeGrid("830000", "840000");
  Press(form->Command[2]);
  // Index 1 first; only Geo80 is ticked, the store is empty: no numbers.
  QCOMPARE(form->state.resultIndex, int16_t(5));
  QCOMPARE(form->Label[6]->text(), QString("1980 HK Geodetic Datumn"));
  QCOMPARE(form->Label[13]->text(), QString(norvane::kNotAvailable1));
  QCOMPARE(form->Label[14]->text(), QString(norvane::kNotAvailable2));
}

void TestConverterForm::absentInputShowsNotAvailable() {
  TypeGrid("north", "0");
  TickOnly({1, 4});
  Press(form->Command[1]);
  QCOMPARE(form->Label[9]->text(), QString("north"));
  QCOMPARE(form->Label[6]->text(), QString("1980 HK Grid"));
  QCOMPARE(form->Label[13]->text(), QString(norvane::kNotAvailable1));
  Press(form->Command[2]);
  QCOMPARE(form->Label[6]->text(), QString("UTM84"));
  QCOMPARE(form->Label[14]->text(), QString(norvane::kNotAvailable2));
  QVERIFY(!form->state.conversion.store.AnyUsable());
}

void TestConverterForm::nothingTickedDoesNothing() {
  TypeGrid("830000", "840000");
  TickOnly({});
  Press(form->Command[1]);
  Press(form->Command[2]);
  QCOMPARE(ResultLabels(*form).join(""), QString());
  // One box filled only: the input is not present.
  TickOnly({5});
  TypeInto(form->Text[2], "");
  Press(form->Command[1]);
  QCOMPARE(ResultLabels(*form).join(""), QString());
}

void TestConverterForm::badInput_data() {
  QTest::addColumn<int>("option");
  QTest::addColumn<QString>("first");
  QTest::addColumn<QString>("second");
  QTest::addColumn<QString>("words");
  QTest::newRow("1E999") << 1 << "1E999"
                         << "840000"
                         << "too large";
  QTest::newRow("easting 1E999") << 2 << "829999"
                                 << "-1E999"
                                 << "too large";
  QTest::newRow("northing 1E10") << 1 << "1E10"
                                 << "840000"
                                 << "outside";
  QTest::newRow("northing 1E30") << 4 << "1E30"
                                 << "200000"
                                 << "";
  QTest::newRow("latitude 95") << 5 << "95"
                               << "114.1"
                               << "outside";
  QTest::newRow("longitude far west") << 6 << "22.3"
                                      << "40"
                                      << "outside";
}

void TestConverterForm::badInput() {
  QFETCH(int, option);
  QFETCH(QString, first);
  QFETCH(QString, second);
  QFETCH(QString, words);
  // A good result first, so that "unchanged" means something.
  TypeGrid("830000", "840000");
  TickOnly({5, 6});
  Press(form->Command[1]);
  Press(form->Command[2]);
  const QStringList before = ResultLabels(*form);
  const norvane::CoordinateStore store = form->state.conversion.store;
  const int16_t index = form->state.resultIndex;
  QCOMPARE(form->Label[6]->text(), QString("norvane"));

  ClickBox(form->Option[option]);
  TickOnly({5, 6});
  const bool geodetic = option >= 5;
  TypeInto(form->Text[geodetic ? 3 : 1], first);
  TypeInto(form->Text[geodetic ? 4 : 2], second);
  {
    BoxWatchdog watchdog;
    Press(form->Command[1]);
    QCOMPARE(watchdog.count(), 1);
    QCOMPARE(watchdog.titles[0], QString(norvane::kFaultTitle));
    QVERIFY2(watchdog.texts[0].contains(words), qPrintable(watchdog.texts[0]));
    QVERIFY(watchdog.texts[0].contains("unchanged"));
  }
  QCOMPARE(ResultLabels(*form), before);
  QVERIFY(std::memcmp(&store, &form->state.conversion.store, sizeof store) == 0);
  QCOMPARE(form->state.resultIndex, index);
  // The program goes on: Next Result still pages the last good results.
  Press(form->Command[2]);
  QCOMPARE(form->Label[6]->text(), QString("1980 HK Geodetic Datumn"));
}

void TestConverterForm::longTypedText_data() {
  QTest::addColumn<QString>("text");
  QTest::newRow("300 digits") << QString(300, '9');
  QTest::newRow("300 letters") << QString(300, 'x');
  QTest::newRow("300 mixed") << QString("8.3e1 ").repeated(50);
}

void TestConverterForm::longTypedText() {
  QFETCH(QString, text);
  for (int option : {1, 5}) {
    ClickBox(form->Option[option]);
    const int box = option == 5 ? 3 : 1;
    TypeInto(form->Text[box], text);
    TypeInto(form->Text[box + 1], text);
    QCOMPARE(form->Text[box]->text(), text);
    TickOnly({1, 2, 3, 4, 5, 6});
    BoxWatchdog watchdog;
    Press(form->Command[1]);
    for (int i = 0; i < 6; ++i) Press(form->Command[2]);
    QVERIFY(watchdog.count() <= 7);
    QVERIFY(form->isVisible());
  }
}

void TestConverterForm::typedMarkupIsPlainText() {
  TypeGrid("<b>830000</b>", "<i>840000</i>");
  Press(form->Command[1]);
  QCOMPARE(form->Label[9]->textFormat(), Qt::PlainText);
  QCOMPARE(form->Label[9]->text(), QString("<b>830000</b>"));
  QCOMPARE(form->Label[13]->text(), QString(norvane::kNotAvailable1));  // Val("<b>..") is 0
}

void TestConverterForm::aboutBox() {
  BoxWatchdog watchdog;
  Press(form->Command[5]);
  QCOMPARE(watchdog.count(), 1);
  QCOMPARE(watchdog.titles[0], QString("About"));
  QCOMPARE(watchdog.texts[0], QString::fromStdString(norvane::AboutText()));
  QVERIFY(watchdog.texts[0].startsWith(
      "This program is used to converse coordinates from \rone system"));
}

void TestConverterForm::screenshot() {
  TypeGrid("830000", "840000");
  TickOnly({1, 4, 6});
  Press(form->Command[1]);
  Press(form->Command[2]);
  const QImage shot = form->grab().toImage();
  QVERIFY(!shot.isNull());
  QVERIFY(shot.save("norvane.png"));
}

void TestConverterForm::quitCloses() {
  QPointer<ConverterForm> f(form.get());
  Press(form->Command[4]);
  QVERIFY(f && !f->isVisible());
}

QTEST_MAIN(TestConverterForm)
#include "tst_converter_form.moc"
